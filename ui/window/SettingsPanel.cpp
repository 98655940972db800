#include "SettingsPanel.h"

#include "ApertureLimits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

uint16_t word(const ReleaseParams &params, size_t offset)
{
    return static_cast<uint16_t>(params.bytes[offset] | (params.bytes[offset + 1] << 8));
}

QLabel *textLabel(const QString &text, const char *objectName, int controlId, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setProperty("controlId", controlId);
    return label;
}

}  // namespace

SettingsPanel::SettingsPanel(QWidget *parent)
    : QGroupBox(QStringLiteral("Camera Settings"), parent)
{
    setObjectName(QStringLiteral("cameraSettingsGroup"));
    auto *column = new QVBoxLayout(this);
    m_mode = textLabel(QStringLiteral("Mode"), "modeText", 1087, this);
    m_lens = textLabel(QStringLiteral("Lens:"), "lensText", 1090, this);
    m_custom = textLabel(QStringLiteral("(Custom settings)"), "customSettingsText", 1093, this);
    auto *modeRow = new QHBoxLayout;
    modeRow->addWidget(m_mode);
    modeRow->addStretch();
    modeRow->addWidget(m_lens);
    column->addLayout(modeRow);
    column->addWidget(m_custom);

    m_form = new QFormLayout;
    m_form->setLabelAlignment(Qt::AlignRight);
    m_form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_columns = new QHBoxLayout;
    m_columns->addLayout(m_form);
    column->addLayout(m_columns);
    tv = addList("Tv:", "tvList", 1022);
    av = addList("Av:", "avList", 1021);
    exposureCompensation = addList("Exposure Compensation:", "exposureCompensationList", 1026);
    flashCompensation = addList("Flash Compensation:", "flashCompensationList", 1028);
    sizeQuality = addList("Size/Quality:", "sizeQualityList", 1004);
    whiteBalance = addList("White Balance:", "whiteBalanceList", 1024);
    meteringMode = addList("Metering Mode:", "meteringModeList", 1097);
    driveMode = addList("Drive Mode:", "driveModeList", 1098);
    iso = addList("ISO:", "isoList", 1025);
    afPoint = addList("AF Point:", "afPointList", 1088);
    afMode = addList("AF Mode:", "afModeList", 1089);
    parameterSet = addList("Parameter Set:", "parameterSetList", 1114);
    storeImagesOn = addList("Store images on:", "storeImagesOnList", 1120);
    cameraBeep = new QCheckBox(QStringLiteral("Camera beep"), this);
    cameraBeep->setObjectName(QStringLiteral("cameraBeepCheck"));
    cameraBeep->setProperty("controlId", 1096);
    m_form->addRow(QString(), cameraBeep);
    column->addStretch();
}

QComboBox *SettingsPanel::addList(const char *label, const char *objectName, int controlId)
{
    auto *list = new QComboBox(this);
    list->setObjectName(QString::fromLatin1(objectName));
    list->setProperty("controlId", controlId);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    list->setMinimumContentsLength(10);
    auto *caption = new QLabel(QString::fromLatin1(label), this);
    caption->setBuddy(list);
    m_form->addRow(caption, list);
    return list;
}

void SettingsPanel::arrangeInColumns(int columns)
{
    if (columns < 2)
        return;
    m_form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    const int perColumn = (m_form->rowCount() + columns - 1) / columns;
    for (int c = 1; c < columns; ++c) {
        auto *form = new QFormLayout;
        form->setLabelAlignment(Qt::AlignRight);
        form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
        m_columns->addLayout(form);
        // The rows beyond the first column's share move on, in order.
        while (m_form->rowCount() > perColumn && form->rowCount() < perColumn) {
            const QFormLayout::TakeRowResult row = m_form->takeRow(perColumn);
            QWidget *label = row.labelItem ? row.labelItem->widget() : nullptr;
            QWidget *field = row.fieldItem ? row.fieldItem->widget() : nullptr;
            delete row.labelItem;
            delete row.fieldItem;
            if (label)
                form->addRow(label, field);
            else
                form->addRow(field);
        }
    }
    m_columns->addStretch();
}

void SettingsPanel::fill(QComboBox *list, const ListEntries &entries)
{
    const QSignalBlocker quiet(list);
    list->clear();
    for (const ListEntry &entry : entries) {
        if (entry.value)
            list->addItem(entry.text, QVariant::fromValue<uint>(*entry.value));
        else
            list->addItem(entry.text);
    }
}

void SettingsPanel::fillStartupLists()
{
    fill(whiteBalance, SettingsLists::whiteBalance());
    fill(meteringMode, SettingsLists::meteringMode());
    fill(driveMode, SettingsLists::driveMode());
    fill(afPoint, SettingsLists::afPoint());
    fill(afMode, SettingsLists::afMode());
    fill(storeImagesOn, SettingsLists::storeImagesOn());
    fill(iso, SettingsLists::iso(CameraModelKind::D30));
    fill(sizeQuality, SettingsLists::sizeQuality(CameraModelKind::D30));
    fill(exposureCompensation, SettingsLists::startupCompensation());
    fill(flashCompensation, SettingsLists::startupCompensation());
    fill(av, SettingsLists::startupAperture());
    fill(tv, {});
    fill(parameterSet, {});
}

void SettingsPanel::fillModelLists(CameraModelKind model)
{
    const int quality = sizeQuality->currentIndex();
    const int isoPosition = iso->currentIndex();
    fill(sizeQuality, SettingsLists::sizeQuality(model));
    fill(iso, SettingsLists::iso(model));
    const QSignalBlocker quietQuality(sizeQuality);
    const QSignalBlocker quietIso(iso);
    sizeQuality->setCurrentIndex(quality < sizeQuality->count() ? quality : -1);
    iso->setCurrentIndex(isoPosition < iso->count() ? isoPosition : -1);
}

void SettingsPanel::fillStepLists(IncrementMode mode, uint16_t &lowLimit, uint16_t &highLimit)
{
    const ApertureChoice choice = apertureLimitsForMode({lowLimit, highLimit}, mode);
    lowLimit = static_cast<uint16_t>(choice.limits.low);
    highLimit = static_cast<uint16_t>(choice.limits.high);
    fill(av, choice.entries);
    fill(tv, SettingsLists::shutterSpeeds(mode));
    fill(exposureCompensation, SettingsLists::compensation(mode));
    fill(flashCompensation, SettingsLists::compensation(mode));
}

bool SettingsPanel::selectByValue(QComboBox *list, uint32_t value)
{
    for (int i = 0; i < list->count(); ++i) {
        const QVariant data = list->itemData(i);
        if (data.isValid() && data.toUInt() == value) {
            const QSignalBlocker quiet(list);
            list->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

std::optional<uint32_t> SettingsPanel::selectedValue(const QComboBox *list)
{
    const QVariant data = list->currentData();
    if (!data.isValid())
        return std::nullopt;
    return data.toUInt();
}

namespace {

constexpr uint16_t kUnknownWord = PS_FIELD_VALUE_UNKNOWN | (PS_FIELD_VALUE_UNKNOWN << 8);
const QString kUnknownText = QStringLiteral("Unknown");
const QString kUnreachableText = QStringLiteral("N/A");

// A value the runtime could not read selects nothing and says so, instead of
// leaving an earlier value on show.
bool showUnknown(QComboBox *list, bool unknown)
{
    if (!unknown)
        return false;
    const QSignalBlocker quiet(list);
    list->setPlaceholderText(kUnknownText);
    list->setCurrentIndex(-1);
    return true;
}

} // namespace

void SettingsPanel::showReleaseParams(const ReleaseParams &params, CameraModelKind model)
{
    const auto &b = params.bytes;
    if (!showUnknown(tv, word(params, 30) == kUnknownWord))
        selectByValue(tv, word(params, 30));
    if (!showUnknown(av, word(params, 28) == kUnknownWord))
        selectByValue(av, word(params, 28));
    if (!showUnknown(iso, word(params, 26) == kUnknownWord))
        selectByValue(iso, word(params, 26));
    selectByValue(whiteBalance, b[16]);
    selectByValue(meteringMode, b[12]);
    selectByValue(driveMode, b[10]);
    selectByValue(flashCompensation, static_cast<uint8_t>(b[33] - 24));
    if (!showUnknown(exposureCompensation, b[32] == PS_FIELD_VALUE_UNKNOWN))
        selectByValue(exposureCompensation, b[32]);
    selectByValue(afPoint, word(params, 14));
    if (!showUnknown(afMode, b[18] == PS_FIELD_VALUE_UNKNOWN))
        selectByValue(afMode, b[18]);
    selectByValue(parameterSet, word(params, 24) & 0x7u);
    if (!showUnknown(sizeQuality, b[ReleaseParams::kQuality] == PS_FIELD_VALUE_UNKNOWN)) {
        const QSignalBlocker quiet(sizeQuality);
        sizeQuality->setCurrentIndex(sizeQualityPosition(model, b[ReleaseParams::kQuality], b[ReleaseParams::kImageSize]));
    }
    const QSignalBlocker quiet(cameraBeep);
    cameraBeep->setChecked(b[7] != 0);
}

void SettingsPanel::markUnreachable(uint32_t reachable)
{
    const std::pair<QComboBox *, uint32_t> lists[] = {
        {tv, PS_FIELD_TV},
        {av, PS_FIELD_AV},
        {iso, PS_FIELD_ISO},
        {sizeQuality, PS_FIELD_SIZE_QUALITY},
        {whiteBalance, PS_FIELD_WHITE_BALANCE},
        {meteringMode, PS_FIELD_METERING_MODE},
        {driveMode, PS_FIELD_DRIVE_MODE},
        {flashCompensation, PS_FIELD_FLASH_COMPENSATION},
        {exposureCompensation, PS_FIELD_EXPOSURE_COMPENSATION},
        {afPoint, PS_FIELD_AF_POINT},
        {afMode, PS_FIELD_AF_MODE},
        {parameterSet, PS_FIELD_PARAMETER_SET},
    };
    for (const auto &[list, field] : lists)
        if ((reachable & field) == 0)
            fill(list, {{kUnreachableText, std::nullopt}});
    if ((reachable & PS_FIELD_LENS) == 0)
        m_lens->setText(QStringLiteral("Lens: ") + kUnreachableText);
}

void SettingsPanel::setModeText(const QString &text) { m_mode->setText(text); }
void SettingsPanel::setLensText(const QString &text) { m_lens->setText(text); }
void SettingsPanel::setCustomText(const QString &text) { m_custom->setText(text); }
QString SettingsPanel::modeText() const { return m_mode->text(); }
