#include "ImageEditorSetupDlg.h"

#include "Prompts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The first dropped item when it is a local file.
QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return QString();
    const QUrl first = data->urls().first();
    return first.isLocalFile() ? first.toLocalFile() : QString();
}

}  // namespace

CImageEditorSetupDlg::CImageEditorSetupDlg(Prompts &prompts, const ImageEditorSetup &values, QWidget *parent)
    : QDialog(parent), m_prompts(prompts), m_values(values)
{
    setObjectName(QStringLiteral("imageEditorSetupDialog"));
    setWindowTitle(QStringLiteral("Image Editor Setup"));
    setModal(true);
    setAcceptDrops(true);

    m_useShellRadio = new QRadioButton(QStringLiteral("Use the Windows Explorer 'Open' command"), this);
    m_useShellRadio->setObjectName(QStringLiteral("useShellRadio"));
    m_useCommandLineRadio = new QRadioButton(QStringLiteral("Use the command line below:"), this);
    m_useCommandLineRadio->setObjectName(QStringLiteral("useCommandLineRadio"));

    m_commandLineEdit = new QLineEdit(m_values.commandLine, this);
    m_commandLineEdit->setObjectName(QStringLiteral("commandLineEdit"));
    m_commandLineEdit->setMinimumWidth(m_commandLineEdit->fontMetrics().horizontalAdvance(QString(48, QLatin1Char('x'))));
    // A file dropped on the edit is a program for the whole line, as
    // anywhere else on the dialog, not text to insert.
    m_commandLineEdit->setAcceptDrops(false);
    auto *browseButton = new QPushButton(QStringLiteral("..."), this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);
    browseButton->setFixedWidth(browseButton->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);

    m_autoEditCheck = new QCheckBox(QStringLiteral("Automatically edit image when a photo is taken"), this);
    m_autoEditCheck->setObjectName(QStringLiteral("autoEditCheck"));
    m_autoEditCheck->setChecked(m_values.autoEdit);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));

    auto *commandRow = new QHBoxLayout;
    commandRow->addSpacing(18);
    commandRow->addWidget(m_commandLineEdit, 1);
    commandRow->addWidget(browseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_useShellRadio);
    layout->addWidget(m_useCommandLineRadio);
    layout->addLayout(commandRow);
    layout->addSpacing(8);
    layout->addWidget(m_autoEditCheck);
    layout->addStretch();
    layout->addWidget(buttons);

    (m_values.useShell ? m_useShellRadio : m_useCommandLineRadio)->setChecked(true);
    m_commandLineEdit->setEnabled(!m_values.useShell);

    connect(m_useShellRadio, &QRadioButton::clicked, this, [this] { useShell(true); });
    connect(m_useCommandLineRadio, &QRadioButton::clicked, this, [this] { useShell(false); });
    connect(browseButton, &QPushButton::clicked, this, &CImageEditorSetupDlg::browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &CImageEditorSetupDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CImageEditorSetupDlg::reject);
}

QString CImageEditorSetupDlg::commandLineForProgram(const QString &path)
{
    return path.contains(QLatin1Char(' ')) ? QLatin1Char('"') + path + QLatin1Char('"') : path;
}

void CImageEditorSetupDlg::useShell(bool on)
{
    m_commandLineEdit->setEnabled(!on);
}

void CImageEditorSetupDlg::browse()
{
    const std::optional<QString> chosen =
        m_prompts.chooseFile(this, QStringLiteral("Open"), QString(), QStringLiteral("All Files (*)"));
    if (!chosen || chosen->isEmpty())
        return;
    const QFileInfo file(*chosen);
    if (!file.isFile() || !file.isExecutable()) {
        m_prompts.message(this, Prompts::Icon::Refusal, Prompts::programCaption(),
                          QStringLiteral("This file is not a program that can be run:\n") + *chosen);
        return;
    }
    m_commandLineEdit->setText(commandLineForProgram(*chosen));
}

void CImageEditorSetupDlg::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CImageEditorSetupDlg::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    m_commandLineEdit->setText(commandLineForProgram(path));
    event->acceptProposedAction();
}

void CImageEditorSetupDlg::accept()
{
    m_values.useShell = m_useShellRadio->isChecked();
    m_values.commandLine = m_commandLineEdit->text();
    m_values.autoEdit = m_autoEditCheck->isChecked();
    QDialog::accept();
}
