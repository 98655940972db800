// The main window's commands on the images saved in this run: stepping
// through them, deleting, renaming, the comment kept in the file, the
// external editor, the image area's context menu and the graying of the
// File and Image menus.
#include "CDezedoRavovadDlg.h"

#include "DiagnosticLog.h"
#include "EditCommentsDlg.h"
#include "EditorCommandLine.h"
#include "EditorLauncher.h"
#include "GridOverlay.h"
#include "ImageAttributesDialog.h"
#include "ImageComment.h"
#include "ImageEditorSetupDlg.h"
#include "ImageInfo.h"
#include "ImageRotation.h"
#include "InfoText.h"
#include "LoadImageJpeg.h"
#include "PreviewDecoder.h"
#include "PreviewWindow.h"
#include "Prompts.h"
#include "RenameImageDlg.h"
#include "RenameRules.h"
#include "SessionStrip.h"
#include "SettingsPanel.h"
#include "WaitCursor.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>

#include <functional>
#include <utility>
#include <vector>

namespace {

std::string localPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

// Line feeds as the information box shows them.
QString withCrLf(const std::string &text)
{
    QString result = QString::fromStdString(text);
    result.remove(QLatin1Char('\r'));
    result.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return result;
}

// 0, 90, 180 or 270; anything else read from a file shows unturned.
int quarterTurn(int32_t degrees)
{
    const int angle = static_cast<int>(((degrees % 360) + 360) % 360);
    return angle == 90 || angle == 180 || angle == 270 ? angle : 0;
}

// The comment's bytes, never ending in part of a character: the file holds
// at most 256 bytes.
std::string commentBytes(const QString &comment)
{
    QByteArray bytes = comment.toUtf8();
    qsizetype cut = bytes.size();
    if (cut > CEditCommentsDlg::maximumLength) {
        cut = CEditCommentsDlg::maximumLength;
        while (cut > 0 && (static_cast<unsigned char>(bytes.at(cut)) & 0xC0) == 0x80)
            --cut;
    }
    return bytes.left(cut).toStdString();
}

QPixmap blankPreview(QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::white);
    return pixmap;
}

// Calls back when the right button is released over the watched widget.
class RightReleaseWatcher : public QObject {
public:
    RightReleaseWatcher(QWidget *watched, std::function<void(QPoint)> onRelease)
        : QObject(watched), m_watched(watched), m_onRelease(std::move(onRelease))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (object == m_watched && event->type() == QEvent::MouseButtonRelease) {
            const auto *release = static_cast<QMouseEvent *>(event);
            if (release->button() == Qt::RightButton && m_watched->rect().contains(release->position().toPoint()))
                m_onRelease(release->globalPosition().toPoint());
        }
        return QObject::eventFilter(object, event);
    }

private:
    QWidget *m_watched;
    std::function<void(QPoint)> m_onRelease;
};

// While a menu is open some of its commands are grayed; once it closes, the
// ones it grayed are enabled again so that their keys keep working (each
// command checks for itself whether it applies).
class MenuGraying : public QObject {
public:
    MenuGraying(QObject *parent, std::vector<QAction *> actions, std::function<void()> gray)
        : QObject(parent), m_actions(std::move(actions)), m_gray(std::move(gray))
    {
    }

    void watch(QMenu *menu)
    {
        connect(menu, &QMenu::aboutToShow, this, [this] { opened(); });
        connect(menu, &QMenu::aboutToHide, this, [this] { closed(); });
    }

    void opened()
    {
        // Moving along the menu bar may open the next menu before the last one closes.
        if (m_openMenus++ == 0)
            m_grayed.clear();
        std::vector<QAction *> enabled;
        for (QAction *action : m_actions)
            if (action->isEnabled())
                enabled.push_back(action);
        m_gray();
        for (QAction *action : enabled)
            if (!action->isEnabled())
                m_grayed.push_back(action);
    }

    void closed()
    {
        if (m_openMenus == 0 || --m_openMenus > 0)
            return;
        for (QAction *action : m_grayed)
            action->setEnabled(true);
        m_grayed.clear();
    }

private:
    std::vector<QAction *> m_actions;
    std::vector<QAction *> m_grayed;
    std::function<void()> m_gray;
    int m_openMenus = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
// Wiring

void CDezedoRavovadDlg::connectImageCommands()
{
    const WindowActions &a = m_actions;
    connect(a.renameImage, &QAction::triggered, this, &CDezedoRavovadDlg::renameImage);
    connect(a.deleteImage, &QAction::triggered, this, &CDezedoRavovadDlg::deleteImage);
    connect(a.setupImageEditor, &QAction::triggered, this, &CDezedoRavovadDlg::setupImageEditor);
    connect(a.editComment, &QAction::triggered, this, &CDezedoRavovadDlg::editComment);
    connect(a.editImage, &QAction::triggered, this, &CDezedoRavovadDlg::editImage);
    connect(a.previousImage, &QAction::triggered, this, &CDezedoRavovadDlg::previousImage);
    connect(a.nextImage, &QAction::triggered, this, &CDezedoRavovadDlg::nextImage);
    connect(m_previousButton, &QPushButton::clicked, this, &CDezedoRavovadDlg::previousImage);
    connect(m_nextButton, &QPushButton::clicked, this, &CDezedoRavovadDlg::nextImage);
    connect(a.sessionStrip, &QAction::triggered, this, &CDezedoRavovadDlg::showSessionStrip);

    auto *graying = new MenuGraying(
        this, {a.renameImage, a.editComment, a.editImage, a.viewImage, a.rotate, a.properties},
        [this] { updateImageMenus(); });
    graying->watch(a.fileMenu);
    graying->watch(a.imageMenu);

    // The image area's own menu opens when the right button is let go over
    // it; the press is the mouse action's.
    m_previewPicture->setContextMenuPolicy(Qt::PreventContextMenu);
    new RightReleaseWatcher(m_previewPicture, [this](QPoint at) { showImageContextMenu(at); });
}

void CDezedoRavovadDlg::showSessionStrip(bool open)
{
    m_settings.sessionStrip = open ? 1 : 0;
    m_actions.sessionStrip->setChecked(open);
    if (!open) {
        if (m_sessionStrip)
            m_sessionStrip->hide();
        return;
    }
    if (!m_sessionStrip) {
        m_sessionStrip = new SessionStrip(m_images, this);
        connect(m_sessionStrip, &SessionStrip::imageChosen, this, &CDezedoRavovadDlg::goToImage);
        connect(m_sessionStrip, &SessionStrip::closed, this, [this] { showSessionStrip(false); });
        // Its keys while it has the focus: stepping and closing it again.
        m_sessionStrip->addActions({m_actions.previousImage, m_actions.nextImage, m_actions.sessionStrip});
        // Below the main window, where it covers none of it.
        m_sessionStrip->move(frameGeometry().bottomLeft() + QPoint(0, 1));
    }
    m_sessionStrip->show();
}

void CDezedoRavovadDlg::updateImageMenus()
{
    const bool current = m_images.hasCurrent();
    const bool held = !m_heldJpeg.empty();
    if (!current) {
        m_actions.renameImage->setEnabled(false);
        m_actions.editComment->setEnabled(false);
        m_actions.editImage->setEnabled(false);
    }
    if (!held) {
        m_actions.viewImage->setEnabled(false);
        m_actions.rotate->setEnabled(false);
        m_actions.properties->setEnabled(false);
    }
}

void CDezedoRavovadDlg::showImageContextMenu(const QPoint &globalPosition)
{
    const bool current = m_images.hasCurrent();
    const bool held = !m_heldJpeg.empty();
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("imageContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Each item runs its main-menu twin's command; the text after the tab
    // shows the twin's key.
    const auto add = [this, menu](const char *text, const char *name, void (CDezedoRavovadDlg::*command)(),
                                  bool enabled) {
        QAction *item = menu->addAction(QString::fromUtf8(text));
        item->setObjectName(QString::fromLatin1(name));
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, this, [this, command] { (this->*command)(); });
        return item;
    };
    if (current)
        add("&Rename File...\tCtrl+R", "contextRenameAction", &CDezedoRavovadDlg::renameImage, true);
    add("&View Image...\tF7", "contextViewImageAction", &CDezedoRavovadDlg::onViewImage, held);
    menu->addSeparator();
    if (current) {
        add("&Edit Comment...\tCtrl+E", "contextEditCommentAction", &CDezedoRavovadDlg::editComment, true);
        add("E&dit Image\tF3", "contextEditImageAction", &CDezedoRavovadDlg::editImage, true);
        menu->addSeparator();
    }
    QAction *grid = add("Display &Grid\tCtrl+G", "contextDisplayGridAction", &CDezedoRavovadDlg::onDisplayGrid,
                        m_actions.displayGrid->isEnabled());
    grid->setCheckable(true);
    grid->setChecked(m_settings.displayGrid != 0);
    add("Grid &Settings...", "contextGridSettingsAction", &CDezedoRavovadDlg::onGridSettings, true);
    menu->addSeparator();
    add("&Properties...", "contextPropertiesAction", &CDezedoRavovadDlg::onProperties, held);
    add("&Delete\tDel", "contextDeleteAction", &CDezedoRavovadDlg::deleteImage, m_actions.deleteImage->isEnabled());
    menu->popup(globalPosition);
}

void CDezedoRavovadDlg::imageSavedFollowUp(const QString &)
{
    if (m_settings.autoEdit)
        editImage();
}

// ---------------------------------------------------------------------------
// Showing a saved image

bool CDezedoRavovadDlg::showSavedImage(int index)
{
    if (index < 0 || index >= m_images.count())
        return false;
    const std::string path = localPath(m_images.entries()[static_cast<size_t>(index)].path);
    m_heldJpeg.clear();
    std::vector<uint8_t> bytes = loadImageJpeg(path);
    if (bytes.empty())
        return false;

    WaitCursor wait;
    const int rotation = quarterTurn(readImageRotation(path));
    Histogram histogram;
    QImage bitmap;
    QString error;
    // A file that no longer decodes leaves the picture on show as it was.
    if (!decodePreviewBitmap(bytes.data(), bytes.size(), histogram, rotation, bitmap, error))
        return false;
    m_heldJpeg = std::move(bytes);
    m_heldRotation = rotation;

    showPreviewBitmap(bitmap, histogram);

    ImageInfo info(path);
    m_imageInfo->setPlainText(withCrLf(shotInfoText(info)));
    m_cameraInfoText = QString::fromStdString(cameraInfoText(info));
    if (m_attributesDialog)
        m_attributesDialog->setText(m_cameraInfoText);
    return true;
}

void CDezedoRavovadDlg::goToImage(int index)
{
    m_images.setCurrentIndex(index);
    showSavedImage(index);
    updateTitle();
    updateControls();
}

void CDezedoRavovadDlg::previousImage()
{
    if (const std::optional<int> index = m_images.previousIndex())
        goToImage(*index);
}

void CDezedoRavovadDlg::nextImage()
{
    if (const std::optional<int> index = m_images.nextIndex())
        goToImage(*index);
}

void CDezedoRavovadDlg::clearImageDisplay()
{
    m_previewPicture->setPixmap(blankPreview(m_previewPicture->size()));
    m_previewBitmap = QImage();
    m_previewHoldsImage = false;
    m_heldJpeg.clear();
    if (m_previewWindow->isPreviewVisible()) {
        QString error;
        m_previewWindow->showImage(nullptr, 0, m_heldRotation, error);
    }
    m_histogram.clear();
    redrawHistogram();
    m_clippingText->hide();
    m_imageInfo->clear();
    m_cameraInfoText.clear();
    if (m_attributesDialog)
        m_attributesDialog->setText(QString());
    m_images.setCurrentIndex(-1);
    // Nothing to look at: the compact layout goes back to the settings lists.
    if (m_compactLayout && m_compactStack->currentWidget() == m_previewPicture)
        onCompactToggle();
    updateControls();
    updateTitle();
}

// ---------------------------------------------------------------------------
// Delete and rename

void CDezedoRavovadDlg::deleteImage()
{
    if (!m_images.hasCurrent()) {
        // An unsaved preview shot: only the display goes.
        if (m_previewHoldsImage)
            m_statusLine->setText(QStringLiteral("Image deleted"));
        clearImageDisplay();
        return;
    }
    const int asked = m_images.currentIndex();
    const QString path = m_images.currentPath();
    if (!QFileInfo::exists(path)) {
        clearImageDisplay();
        return;
    }
    if (!m_prompts->askYesNo(this, Prompts::programCaption(),
                             QStringLiteral("Are you sure you wish to delete:\n") + path))
        return;

    const DeleteImageResult result = m_images.deleteImage(path, asked, logMessage);
    if (!result.deleted) {
        m_prompts->message(this, Prompts::Icon::Error, QStringLiteral("Error"),
                           QStringLiteral("Error deleting file: ") + path);
        clearImageDisplay();
        return;
    }
    m_statusLine->setText(QStringLiteral("Deleted ") + path);
    updateDiskSpace();

    // The list stands before the entry that moved into the deleted place:
    // that one shows next; after the last one, the first.
    if (m_images.count() == 0)
        clearImageDisplay();
    else
        nextImage();
    updateControls();
}

void CDezedoRavovadDlg::renameImage()
{
    if (!m_images.hasCurrent())
        return;
    const int asked = m_images.currentIndex();
    const QString path = m_images.currentPath();
    const ImagePathParts parts = splitImagePath(path);

    CRenameImageDlg dialog(*m_prompts, parts.name(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString newName = dialog.newName();
    if (newName.compare(parts.name(), Qt::CaseInsensitive) == 0)
        return;

    const RenameImageResult result = m_images.renameImage(path, asked, newName);
    const auto refuse = [this](const QString &text) {
        m_prompts->message(this, Prompts::Icon::Error, Prompts::programCaption(), text);
    };
    switch (result.outcome) {
    case RenameOutcome::ImageNameTaken:
        refuse(RenameTexts::imageExists);
        return;
    case RenameOutcome::ThmNameTaken:
        refuse(RenameTexts::thmExists);
        return;
    case RenameOutcome::ImageFailed:
        refuse(RenameTexts::failed);
        return;
    case RenameOutcome::Renamed:
    case RenameOutcome::ThmFailed:
        break;
    }
    m_statusLine->setText(RenameTexts::renamedTo + result.newPath);
    updateTitle();
    if (result.outcome == RenameOutcome::ThmFailed)
        refuse(RenameTexts::failed);
}

// ---------------------------------------------------------------------------
// The comment

void CDezedoRavovadDlg::editComment()
{
    if (!m_images.hasCurrent())
        return;
    const QString path = m_images.currentPath();
    CEditCommentsDlg dialog(QString::fromStdString(readImageComment(localPath(path))), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!writeImageComment(localPath(path), commentBytes(dialog.comment()))) {
        m_prompts->message(this, Prompts::Icon::Error, Prompts::programCaption(),
                           QStringLiteral("Error writing comment"));
        return;
    }
    // The attributes are the current image's: a shot saved meanwhile keeps its own.
    if (m_images.currentPath() != path)
        return;
    ImageInfo info(localPath(path));
    m_cameraInfoText = QString::fromStdString(cameraInfoText(info));
    m_actions.properties->setEnabled(!m_cameraInfoText.isEmpty());
    if (m_attributesDialog)
        m_attributesDialog->setText(m_cameraInfoText);
}

// ---------------------------------------------------------------------------
// The external editor

void CDezedoRavovadDlg::editImage()
{
    if (!m_images.hasCurrent())
        return;
    const QString path = m_images.currentPath();
    if (m_settings.shellOpenEditor) {
        // The desktop's program for the file's type; a failure is not reported.
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        return;
    }
    const EditorCommand command = parseEditorCommandLine(m_settings.openEditorCmdLine, path);
    if (!command.isValid()) {
        m_prompts->message(this, Prompts::Icon::Error, Prompts::programCaption(), command.error);
        return;
    }
    if (const int error = startDetachedProgram(command.program, command.arguments); error != 0)
        m_prompts->message(this, Prompts::Icon::Error, Prompts::programCaption(),
                           editorStartFailureText(error, command));
}

void CDezedoRavovadDlg::setupImageEditor()
{
    const ImageEditorSetup current{m_settings.shellOpenEditor != 0, m_settings.openEditorCmdLine,
                                   m_settings.autoEdit != 0};
    CImageEditorSetupDlg dialog(*m_prompts, current, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ImageEditorSetup chosen = dialog.values();
    m_settings.shellOpenEditor = chosen.useShell ? 1 : 0;
    m_settings.openEditorCmdLine = chosen.commandLine;
    m_settings.autoEdit = chosen.autoEdit ? 1 : 0;
}
