#include "PreferencesDlg.h"

#include "Prompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

bool isSet(uint32_t flag)
{
    return flag != 0;
}

QCheckBox *makeCheck(const QString &caption, const char *name, QWidget *parent)
{
    auto *check = new QCheckBox(caption, parent);
    check->setObjectName(QLatin1String(name));
    return check;
}

}  // namespace

CPreferencesDlg::CPreferencesDlg(Settings &settings, Prompts &prompts, std::function<LocalDate()> today,
                                 QWidget *parent)
    : QDialog(parent), m_settings(settings), m_prompts(prompts), m_today(std::move(today))
{
    setObjectName(QStringLiteral("preferencesDialog"));
    setWindowTitle(QStringLiteral("Quillomat Preferences"));
    setModal(true);
    buildControls();
    readSettings();
    loadControls();
}

QStringList CPreferencesDlg::mouseActions()
{
    return {QStringLiteral("None"), QStringLiteral("Preview"), QStringLiteral("Release"),
            QStringLiteral("Edit Comment"), QStringLiteral("Edit Image")};
}

bool CPreferencesDlg::isValidFilenamePrefix(const QString &prefix)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (const QChar c : prefix) {
        if (forbidden.contains(c))
            return false;
    }
    return true;
}

QString CPreferencesDlg::invalidPrefixMessage()
{
    return QStringLiteral("Filename prefix must not contain any of the following characters:\n\\/:*?\"<>|");
}

QString CPreferencesDlg::exampleImageName() const
{
    Settings edited = m_settings;
    apply(edited);
    const std::string base = imageFileBase(imageDirectorySettings(edited), m_today());
    return QFile::decodeName(QByteArray::fromStdString(base)) + QStringLiteral("CRW_0001.CRW");
}

void CPreferencesDlg::buildControls()
{
    auto *mouseGroup = new QGroupBox(QStringLiteral("Mouse button actions"), this);
    mouseGroup->setObjectName(QStringLiteral("mouseGroup"));
    m_middleButtonCombo = new QComboBox(mouseGroup);
    m_middleButtonCombo->setObjectName(QStringLiteral("middleButtonCombo"));
    m_middleButtonCombo->addItems(mouseActions());
    m_rightButtonCombo = new QComboBox(mouseGroup);
    m_rightButtonCombo->setObjectName(QStringLiteral("rightButtonCombo"));
    m_rightButtonCombo->addItems(mouseActions());
    auto *mouseLayout = new QFormLayout(mouseGroup);
    mouseLayout->addRow(QStringLiteral("&Middle button:"), m_middleButtonCombo);
    mouseLayout->addRow(QStringLiteral("&Right button:"), m_rightButtonCombo);

    auto *imageGroup = new QGroupBox(QStringLiteral("Saved image settings"), this);
    imageGroup->setObjectName(QStringLiteral("imageGroup"));
    m_prefixEdit = new QLineEdit(imageGroup);
    m_prefixEdit->setObjectName(QStringLiteral("prefixEdit"));
    auto *prefixLabel = new QLabel(QStringLiteral("Filename &prefix:"), imageGroup);
    prefixLabel->setBuddy(m_prefixEdit);

    m_directoryEdit = new QLineEdit(imageGroup);
    m_directoryEdit->setObjectName(QStringLiteral("directoryEdit"));
    auto *directoryLabel = new QLabel(QStringLiteral("&Directory in which to save images:"), imageGroup);
    directoryLabel->setBuddy(m_directoryEdit);
    auto *browseButton = new QPushButton(QStringLiteral("..."), imageGroup);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);
    browseButton->setFixedWidth(browseButton->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);

    m_yearCheck = makeCheck(QStringLiteral("&Year"), "yearCheck", imageGroup);
    m_monthCheck = makeCheck(QStringLiteral("M&onth"), "monthCheck", imageGroup);
    m_dayCheck = makeCheck(QStringLiteral("D&ay"), "dayCheck", imageGroup);
    m_flattenCheck = makeCheck(QStringLiteral("&Flatten date (e.g. 2001-10-29)"), "flattenCheck", imageGroup);

    m_exampleEdit = new QLineEdit(imageGroup);
    m_exampleEdit->setObjectName(QStringLiteral("exampleEdit"));
    m_exampleEdit->setReadOnly(true);
    m_exampleEdit->setMinimumWidth(420);
    auto *exampleLabel = new QLabel(QStringLiteral("Example image name:"), imageGroup);

    auto *imageLayout = new QGridLayout(imageGroup);
    imageLayout->addWidget(prefixLabel, 0, 0, 1, 3);
    imageLayout->addWidget(m_prefixEdit, 1, 0, 1, 2);
    imageLayout->addWidget(directoryLabel, 2, 0, 1, 3);
    imageLayout->addWidget(m_directoryEdit, 3, 0, 1, 2);
    imageLayout->addWidget(browseButton, 3, 2);
    auto *separate = new QHBoxLayout;
    separate->addWidget(new QLabel(QStringLiteral("Separate directory for:"), imageGroup));
    separate->addWidget(m_yearCheck);
    separate->addWidget(m_monthCheck);
    separate->addWidget(m_dayCheck);
    separate->addStretch();
    imageLayout->addLayout(separate, 4, 0, 1, 3);
    imageLayout->addWidget(m_flattenCheck, 5, 0, 1, 3);
    imageLayout->addWidget(exampleLabel, 6, 0, 1, 3);
    imageLayout->addWidget(m_exampleEdit, 7, 0, 1, 3);
    imageLayout->setColumnStretch(0, 1);

    auto *aidsGroup = new QGroupBox(QStringLiteral("While shooting"), this);
    aidsGroup->setObjectName(QStringLiteral("aidsGroup"));
    m_thumbnailFirstCheck = makeCheck(QStringLiteral("Show the camera's &thumbnail while the image transfers"),
                                      "thumbnailFirstCheck", aidsGroup);
    m_autoReconnectCheck = makeCheck(QStringLiteral("Re&connect by itself when the camera comes back"),
                                     "autoReconnectCheck", aidsGroup);
    m_clippingMarksCheck = makeCheck(QStringLiteral("Offer clipping mar&ks (Image menu, Show Clipping)"),
                                     "clippingMarksCheck", aidsGroup);
    auto *aidsLayout = new QVBoxLayout(aidsGroup);
    aidsLayout->addWidget(m_thumbnailFirstCheck);
    aidsLayout->addWidget(m_autoReconnectCheck);
    aidsLayout->addWidget(m_clippingMarksCheck);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));

    m_sessionStripCheck = makeCheck(QStringLiteral("Show the &Session strip beside the main window"),
                                    "sessionStripCheck", this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(mouseGroup);
    layout->addWidget(imageGroup);
    layout->addWidget(aidsGroup);
    layout->addWidget(m_sessionStripCheck);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CPreferencesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPreferencesDlg::reject);
    connect(browseButton, &QPushButton::clicked, this, &CPreferencesDlg::browse);
    connect(m_middleButtonCombo, &QComboBox::currentIndexChanged, this,
            [this] { actionChosen(m_middleButtonCombo, &Edited::middleButtonAction); });
    connect(m_rightButtonCombo, &QComboBox::currentIndexChanged, this,
            [this] { actionChosen(m_rightButtonCombo, &Edited::rightButtonAction); });

    // Every change is taken at once so that the example follows it.
    const auto onText = [this](QLineEdit *edit, QString Edited::*field) {
        connect(edit, &QLineEdit::textChanged, this, [this, field](const QString &text) {
            if (m_loading)
                return;
            m_edited.*field = text;
            updateExample();
        });
    };
    onText(m_prefixEdit, &Edited::filenamePrefix);
    onText(m_directoryEdit, &Edited::baseDirectory);

    const auto onCheck = [this](QCheckBox *check, uint32_t Edited::*field) {
        connect(check, &QCheckBox::toggled, this, [this, field](bool on) {
            if (m_loading)
                return;
            m_edited.*field = on ? 1 : 0;
            updateExample();
        });
    };
    onCheck(m_yearCheck, &Edited::yearSubDir);
    onCheck(m_monthCheck, &Edited::monthSubDir);
    onCheck(m_dayCheck, &Edited::daySubDir);
    onCheck(m_flattenCheck, &Edited::flattenDate);
    onCheck(m_sessionStripCheck, &Edited::sessionStrip);
    onCheck(m_thumbnailFirstCheck, &Edited::thumbnailFirst);
    onCheck(m_autoReconnectCheck, &Edited::autoReconnect);
    onCheck(m_clippingMarksCheck, &Edited::clippingMarks);
}

void CPreferencesDlg::loadControls()
{
    m_loading = true;
    // A text that is none of the list's entries shows no selection and stays
    // as it is unless the user picks an entry.
    m_middleButtonCombo->setCurrentIndex(m_middleButtonCombo->findText(m_edited.middleButtonAction));
    m_rightButtonCombo->setCurrentIndex(m_rightButtonCombo->findText(m_edited.rightButtonAction));
    m_prefixEdit->setText(m_edited.filenamePrefix);
    m_directoryEdit->setText(m_edited.baseDirectory);
    m_yearCheck->setChecked(isSet(m_edited.yearSubDir));
    m_monthCheck->setChecked(isSet(m_edited.monthSubDir));
    m_dayCheck->setChecked(isSet(m_edited.daySubDir));
    m_flattenCheck->setChecked(isSet(m_edited.flattenDate));
    m_sessionStripCheck->setChecked(isSet(m_edited.sessionStrip));
    m_thumbnailFirstCheck->setChecked(isSet(m_edited.thumbnailFirst));
    m_autoReconnectCheck->setChecked(isSet(m_edited.autoReconnect));
    m_clippingMarksCheck->setChecked(isSet(m_edited.clippingMarks));
    m_loading = false;
    updateExample();
}

void CPreferencesDlg::actionChosen(QComboBox *combo, QString Edited::*setting)
{
    if (m_loading || combo->currentIndex() < 0)
        return;
    m_edited.*setting = combo->currentText();
}

void CPreferencesDlg::updateExample()
{
    m_exampleEdit->setText(exampleImageName());
}

void CPreferencesDlg::browse()
{
    const std::optional<QString> folder = m_prompts.chooseFolder(
        this, QStringLiteral("Select folder in which to save images"), m_directoryEdit->text());
    if (!folder || folder->isEmpty())
        return;
    m_directoryEdit->setText(*folder);  // the edited directory and the example follow
    updateExample();
}

void CPreferencesDlg::showEvent(QShowEvent *event)
{
    // The caller may keep the dialog and show it again: each opening starts
    // from the settings as they are then.
    if (!m_open) {
        m_open = true;
        readSettings();
        loadControls();
    }
    QDialog::showEvent(event);
}

void CPreferencesDlg::readSettings()
{
    m_edited = Edited{m_settings.middleButtonAction, m_settings.rightButtonAction, m_settings.filenamePrefix,
                      m_settings.baseDirectory,      m_settings.yearSubDir,        m_settings.monthSubDir,
                      m_settings.daySubDir,          m_settings.flattenDate,       m_settings.thumbnailFirst,
                      m_settings.autoReconnect,      m_settings.clippingMarks, m_settings.sessionStrip};
}

void CPreferencesDlg::apply(Settings &settings) const
{
    settings.middleButtonAction = m_edited.middleButtonAction;
    settings.rightButtonAction = m_edited.rightButtonAction;
    settings.filenamePrefix = m_edited.filenamePrefix;
    settings.baseDirectory = m_edited.baseDirectory;
    settings.yearSubDir = m_edited.yearSubDir;
    settings.monthSubDir = m_edited.monthSubDir;
    settings.daySubDir = m_edited.daySubDir;
    settings.flattenDate = m_edited.flattenDate;
    settings.sessionStrip = m_edited.sessionStrip;
    settings.thumbnailFirst = m_edited.thumbnailFirst;
    settings.autoReconnect = m_edited.autoReconnect;
    settings.clippingMarks = m_edited.clippingMarks;
}

void CPreferencesDlg::accept()
{
    if (!isValidFilenamePrefix(m_prefixEdit->text())) {
        m_prompts.message(this, Prompts::Icon::Error, Prompts::programCaption(), invalidPrefixMessage());
        m_prefixEdit->setFocus();
        return;
    }
    apply(m_settings);
    QDialog::accept();
}

void CPreferencesDlg::done(int result)
{
    m_open = false;
    QDialog::done(result);
}
