#include "SettingsStore.h"

#include <QSettings>

#include <limits>

namespace {

using List = SettingsControls::List;
using CheckBox = SettingsControls::CheckBox;

const QString kGroup = QStringLiteral("100");

// A stored number: decimal text of a 32-bit unsigned value. Anything else
// counts as a failed read.
bool readNumber(const QSettings &store, const QString &name, uint32_t &value)
{
    const QVariant stored = store.value(name);
    if (!stored.isValid() || stored.metaType().id() == QMetaType::QStringList || !stored.canConvert<QString>())
        return false;
    bool ok = false;
    const qulonglong number = stored.toString().toULongLong(&ok, 10);
    if (!ok || number > std::numeric_limits<uint32_t>::max())
        return false;
    value = static_cast<uint32_t>(number);
    return true;
}

bool readText(const QSettings &store, const QString &name, QString &value)
{
    const QVariant stored = store.value(name);
    if (!stored.isValid() || stored.metaType().id() == QMetaType::QStringList || !stored.canConvert<QString>())
        return false;
    const QString text = stored.toString();
    if (text.size() > SettingsStore::kMaxTextLength)
        return false;
    value = text;
    return true;
}

// List positions are stored as unsigned numbers: "nothing selected" (-1) is 4294967295.
int toPosition(uint32_t stored)
{
    return static_cast<int>(static_cast<int32_t>(stored));
}

uint32_t fromPosition(int position)
{
    return static_cast<uint32_t>(position);
}

void readListPosition(const QSettings &store, const QString &name, SettingsControls &controls, List list)
{
    uint32_t stored = 0;
    if (readNumber(store, name, stored))
        controls.setListPosition(list, toPosition(stored));
}

void readCheckBox(const QSettings &store, const QString &name, SettingsControls &controls, CheckBox box)
{
    uint32_t stored = 0;
    if (readNumber(store, name, stored))
        controls.setChecked(box, stored != 0);
}

void writeNumber(QSettings &store, const QString &name, uint32_t value)
{
    store.setValue(name, QVariant::fromValue<quint32>(value));
}

void writeText(QSettings &store, const QString &name, const QString &value)
{
    store.setValue(name, value);
}

void setControlDefaults(SettingsControls &controls)
{
    controls.setListPosition(List::ShutterSpeed, 0);
    controls.setListPosition(List::Aperture, 0);
    controls.setListPosition(List::MeteringMode, 0);
    controls.setListPosition(List::DriveMode, 0);
    controls.setListPosition(List::Quality, 2);  // "Large/Normal"
    controls.setListPosition(List::WhiteBalance, 0);
    controls.setListPosition(List::ExposureCompensation, 6);  // "0"
    controls.setListPosition(List::FlashCompensation, 6);
    controls.setChecked(CheckBox::HistogramRed, true);
    controls.setChecked(CheckBox::HistogramGreen, true);
    controls.setChecked(CheckBox::HistogramBlue, true);
    controls.setChecked(CheckBox::HistogramIntensity, true);
    controls.setListPosition(List::Store, 0);
    controls.setChecked(CheckBox::CameraBeep, false);
}

} // namespace

SettingsStore::SettingsStore() = default;

SettingsStore::SettingsStore(QString fileName)
    : m_fileName(std::move(fileName))
{
}

SettingsStore::~SettingsStore() = default;

std::unique_ptr<QSettings> SettingsStore::open() const
{
    if (m_fileName.isEmpty())
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("VantorelSystems"), QStringLiteral("Quillomat"));
    return std::make_unique<QSettings>(m_fileName, QSettings::NativeFormat);
}

bool SettingsStore::loadSettings(Settings &settings, SettingsControls &controls) const
{
    settings = Settings{};
    setControlDefaults(controls);
    uint32_t iso = 0;  // applied to its list only once everything is read

    const std::unique_ptr<QSettings> store = open();
    const bool opened = store->status() == QSettings::NoError;
    if (opened) {
        store->beginGroup(kGroup);
        readNumber(*store, QStringLiteral("ShutterSpeed"), settings.shutterSpeed);
        readNumber(*store, QStringLiteral("Aperture"), settings.aperture);
        readNumber(*store, QStringLiteral("ISO"), iso);
        readText(*store, QStringLiteral("MiddleButtonAction"), settings.middleButtonAction);
        readText(*store, QStringLiteral("RightButtonAction"), settings.rightButtonAction);
        readText(*store, QStringLiteral("MouseWheelAction"), settings.mouseWheelAction);
        readText(*store, QStringLiteral("Contrast"), settings.contrast);
        readText(*store, QStringLiteral("Sharpness"), settings.sharpness);
        readText(*store, QStringLiteral("Saturation"), settings.saturation);
        readNumber(*store, QStringLiteral("YearSubDir"), settings.yearSubDir);
        readNumber(*store, QStringLiteral("MonthSubDir"), settings.monthSubDir);
        readNumber(*store, QStringLiteral("DaySubDir"), settings.daySubDir);
        readNumber(*store, QStringLiteral("FlattenDate"), settings.flattenDate);
        readText(*store, QStringLiteral("BaseDirectory"), settings.baseDirectory);
        readText(*store, QStringLiteral("FilenamePrefix"), settings.filenamePrefix);
        readListPosition(*store, QStringLiteral("Quality"), controls, List::Quality);
        readListPosition(*store, QStringLiteral("WhiteBalance"), controls, List::WhiteBalance);
        readListPosition(*store, QStringLiteral("ExposureCompensation"), controls, List::ExposureCompensation);
        readListPosition(*store, QStringLiteral("FlashCompensation"), controls, List::FlashCompensation);
        readCheckBox(*store, QStringLiteral("HistogramRed"), controls, CheckBox::HistogramRed);
        readCheckBox(*store, QStringLiteral("HistogramGreen"), controls, CheckBox::HistogramGreen);
        readCheckBox(*store, QStringLiteral("HistogramBlue"), controls, CheckBox::HistogramBlue);
        readCheckBox(*store, QStringLiteral("HistogramIntensity"), controls, CheckBox::HistogramIntensity);
        readNumber(*store, QStringLiteral("Orientation"), settings.orientation);
        readListPosition(*store, QStringLiteral("Store"), controls, List::Store);
        readCheckBox(*store, QStringLiteral("CameraBeep"), controls, CheckBox::CameraBeep);
        readNumber(*store, QStringLiteral("ShellOpenEditor"), settings.shellOpenEditor);
        readText(*store, QStringLiteral("OpenEditorCmdLine"), settings.openEditorCmdLine);
        readNumber(*store, QStringLiteral("DisplayGrid"), settings.displayGrid);
        readNumber(*store, QStringLiteral("NumHorzGridDivisions"), settings.numHorzGridDivisions);
        readNumber(*store, QStringLiteral("NumVertGridDivisions"), settings.numVertGridDivisions);
        readNumber(*store, QStringLiteral("GridColour"), settings.gridColour);
        readNumber(*store, QStringLiteral("AutoEdit"), settings.autoEdit);
        readNumber(*store, QStringLiteral("BlankScreenWhenTakingPhoto"), settings.blankScreenWhenTakingPhoto);
        readNumber(*store, QStringLiteral("SessionStrip"), settings.sessionStrip);
        readNumber(*store, QStringLiteral("ThumbnailFirst"), settings.thumbnailFirst);
        readNumber(*store, QStringLiteral("AutoReconnect"), settings.autoReconnect);
        readNumber(*store, QStringLiteral("ClippingMarks"), settings.clippingMarks);
        readNumber(*store, QStringLiteral("ShowClipping"), settings.showClipping);
        store->endGroup();
    }
    controls.setListPosition(List::Iso, toPosition(iso));
    return opened;
}

bool SettingsStore::saveSettings(const Settings &settings, const SettingsControls &controls) const
{
    const std::unique_ptr<QSettings> store = open();
    if (store->status() != QSettings::NoError || !store->isWritable())
        return false;

    store->beginGroup(kGroup);
    writeNumber(*store, QStringLiteral("ShutterSpeed"), settings.shutterSpeed);
    writeNumber(*store, QStringLiteral("Aperture"), settings.aperture);
    writeNumber(*store, QStringLiteral("ISO"), fromPosition(controls.listPosition(List::Iso)));
    writeNumber(*store, QStringLiteral("Quality"), fromPosition(controls.listPosition(List::Quality)));
    writeNumber(*store, QStringLiteral("WhiteBalance"), fromPosition(controls.listPosition(List::WhiteBalance)));
    writeNumber(*store, QStringLiteral("ExposureCompensation"),
                fromPosition(controls.listPosition(List::ExposureCompensation)));
    writeNumber(*store, QStringLiteral("FlashCompensation"),
                fromPosition(controls.listPosition(List::FlashCompensation)));
    writeText(*store, QStringLiteral("MiddleButtonAction"), settings.middleButtonAction);
    writeText(*store, QStringLiteral("RightButtonAction"), settings.rightButtonAction);
    writeText(*store, QStringLiteral("MouseWheelAction"), settings.mouseWheelAction);
    writeText(*store, QStringLiteral("Contrast"), settings.contrast);
    writeText(*store, QStringLiteral("Sharpness"), settings.sharpness);
    writeText(*store, QStringLiteral("Saturation"), settings.saturation);
    writeNumber(*store, QStringLiteral("YearSubDir"), settings.yearSubDir);
    writeNumber(*store, QStringLiteral("MonthSubDir"), settings.monthSubDir);
    writeNumber(*store, QStringLiteral("DaySubDir"), settings.daySubDir);
    writeNumber(*store, QStringLiteral("FlattenDate"), settings.flattenDate);
    writeText(*store, QStringLiteral("BaseDirectory"), settings.baseDirectory);
    writeText(*store, QStringLiteral("FilenamePrefix"), settings.filenamePrefix);
    writeNumber(*store, QStringLiteral("HistogramRed"), controls.isChecked(CheckBox::HistogramRed) ? 1 : 0);
    writeNumber(*store, QStringLiteral("HistogramGreen"), controls.isChecked(CheckBox::HistogramGreen) ? 1 : 0);
    writeNumber(*store, QStringLiteral("HistogramBlue"), controls.isChecked(CheckBox::HistogramBlue) ? 1 : 0);
    writeNumber(*store, QStringLiteral("HistogramIntensity"), controls.isChecked(CheckBox::HistogramIntensity) ? 1 : 0);
    writeNumber(*store, QStringLiteral("Orientation"), settings.orientation);
    writeNumber(*store, QStringLiteral("Store"), fromPosition(controls.listPosition(List::Store)));
    writeNumber(*store, QStringLiteral("CameraBeep"), controls.isChecked(CheckBox::CameraBeep) ? 1 : 0);
    writeNumber(*store, QStringLiteral("ShellOpenEditor"), settings.shellOpenEditor);
    writeText(*store, QStringLiteral("OpenEditorCmdLine"), settings.openEditorCmdLine);
    writeNumber(*store, QStringLiteral("DisplayGrid"), settings.displayGrid);
    writeNumber(*store, QStringLiteral("NumHorzGridDivisions"), settings.numHorzGridDivisions);
    writeNumber(*store, QStringLiteral("NumVertGridDivisions"), settings.numVertGridDivisions);
    writeNumber(*store, QStringLiteral("GridColour"), settings.gridColour);
    writeNumber(*store, QStringLiteral("AutoEdit"), settings.autoEdit);
    writeNumber(*store, QStringLiteral("BlankScreenWhenTakingPhoto"), settings.blankScreenWhenTakingPhoto);
    writeNumber(*store, QStringLiteral("SessionStrip"), settings.sessionStrip);
    writeNumber(*store, QStringLiteral("ThumbnailFirst"), settings.thumbnailFirst);
    writeNumber(*store, QStringLiteral("AutoReconnect"), settings.autoReconnect);
    writeNumber(*store, QStringLiteral("ClippingMarks"), settings.clippingMarks);
    writeNumber(*store, QStringLiteral("ShowClipping"), settings.showClipping);
    store->endGroup();
    store->sync();
    return store->status() == QSettings::NoError;
}
