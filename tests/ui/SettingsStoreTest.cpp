#include "SettingsStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using List = SettingsControls::List;
using CheckBox = SettingsControls::CheckBox;

const char *nameOf(List list)
{
    switch (list) {
    case List::ShutterSpeed: return "Tv";
    case List::Aperture: return "Av";
    case List::MeteringMode: return "MeteringMode";
    case List::DriveMode: return "DriveMode";
    case List::Iso: return "ISO";
    case List::Quality: return "Quality";
    case List::WhiteBalance: return "WhiteBalance";
    case List::ExposureCompensation: return "ExposureCompensation";
    case List::FlashCompensation: return "FlashCompensation";
    case List::Store: return "Store";
    }
    return "?";
}

const char *nameOf(CheckBox box)
{
    switch (box) {
    case CheckBox::HistogramRed: return "HistogramRed";
    case CheckBox::HistogramGreen: return "HistogramGreen";
    case CheckBox::HistogramBlue: return "HistogramBlue";
    case CheckBox::HistogramIntensity: return "HistogramIntensity";
    case CheckBox::CameraBeep: return "CameraBeep";
    }
    return "?";
}

// Lists of the window's sizes at start-up; records every call in order.
class RecordingControls : public SettingsControls {
public:
    int listPosition(List list) const override
    {
        calls.push_back(std::string("get ") + nameOf(list));
        const auto it = positions.find(list);
        return it == positions.end() ? -1 : it->second;
    }
    void setListPosition(List list, int position) override
    {
        calls.push_back(std::string("set ") + nameOf(list) + '=' + std::to_string(position));
        positions[list] = position >= 0 && position < sizeOf(list) ? position : -1;
    }
    bool isChecked(CheckBox box) const override
    {
        calls.push_back(std::string("get ") + nameOf(box));
        const auto it = checks.find(box);
        return it != checks.end() && it->second;
    }
    void setChecked(CheckBox box, bool checked) override
    {
        calls.push_back(std::string("set ") + nameOf(box) + '=' + (checked ? "1" : "0"));
        checks[box] = checked;
    }

    static int sizeOf(List list)
    {
        switch (list) {
        case List::Iso: return 5;
        case List::Quality: return 5;
        case List::WhiteBalance: return 7;
        case List::ExposureCompensation:
        case List::FlashCompensation: return 13;
        case List::Store: return 3;
        default: return 20;
        }
    }

    std::map<List, int> positions;
    std::map<CheckBox, bool> checks;
    mutable std::vector<std::string> calls;
};

class SettingsStoreTest : public ::testing::Test {
protected:
    QString fileName() const { return m_dir.filePath(QStringLiteral("Quillomat.conf")); }
    SettingsStore store() const { return SettingsStore(fileName()); }
    // Writes values as another tool (or an earlier run) would.
    void storeRaw(const std::map<QString, QString> &values) const
    {
        QSettings raw(fileName(), QSettings::NativeFormat);
        raw.beginGroup(QStringLiteral("100"));
        for (const auto &[name, value] : values)
            raw.setValue(name, value);
        raw.endGroup();
        raw.sync();
    }
    QString readRaw(const QString &name) const
    {
        QSettings raw(fileName(), QSettings::NativeFormat);
        return raw.value(QStringLiteral("100/") + name).toString();
    }

    QTemporaryDir m_dir;
};

TEST_F(SettingsStoreTest, FirstRunGivesEveryDefault)
{
    Settings settings;
    settings.shutterSpeed = 99;
    settings.baseDirectory = QStringLiteral("/elsewhere");
    RecordingControls controls;
    EXPECT_TRUE(store().loadSettings(settings, controls));

    EXPECT_EQ(settings.shutterSpeed, 31u);
    EXPECT_EQ(settings.aperture, 4u);
    EXPECT_EQ(settings.middleButtonAction, QStringLiteral("None"));
    EXPECT_EQ(settings.contrast, QStringLiteral("Normal"));
    EXPECT_EQ(settings.yearSubDir, 1u);
    EXPECT_EQ(settings.flattenDate, 1u);
    EXPECT_TRUE(settings.baseDirectory.startsWith(QDir::homePath() + QLatin1Char('/')));
    EXPECT_TRUE(settings.baseDirectory.endsWith(QStringLiteral("/Quillomat")));
    EXPECT_TRUE(settings.filenamePrefix.isEmpty());
    EXPECT_EQ(settings.shellOpenEditor, 1u);
    EXPECT_EQ(settings.numHorzGridDivisions, 3u);
    EXPECT_EQ(settings.gridColour, 65280u);
    // The shooting aids are on until turned off; the clipping marks wait for "Show Clipping".
    EXPECT_EQ(settings.thumbnailFirst, 1u);
    EXPECT_EQ(settings.autoReconnect, 1u);
    EXPECT_EQ(settings.clippingMarks, 1u);
    EXPECT_EQ(settings.showClipping, 0u);

    const std::map<List, int> positions{{List::ShutterSpeed, 0}, {List::Aperture, 0}, {List::MeteringMode, 0},
                                        {List::DriveMode, 0},    {List::Iso, 0},      {List::Quality, 2},
                                        {List::WhiteBalance, 0}, {List::ExposureCompensation, 6},
                                        {List::FlashCompensation, 6}, {List::Store, 0}};
    EXPECT_EQ(controls.positions, positions);
    const std::map<CheckBox, bool> checks{{CheckBox::HistogramRed, true},  {CheckBox::HistogramGreen, true},
                                          {CheckBox::HistogramBlue, true}, {CheckBox::HistogramIntensity, true},
                                          {CheckBox::CameraBeep, false}};
    EXPECT_EQ(controls.checks, checks);
}

TEST_F(SettingsStoreTest, SavedSettingsComeBackOnNextLoad)
{
    Settings saved;
    saved.shutterSpeed = 12;
    saved.aperture = 9;
    saved.middleButtonAction = QStringLiteral("Preview");
    saved.rightButtonAction = QStringLiteral("Edit Comment");
    saved.mouseWheelAction = QStringLiteral("Release");
    saved.contrast = QStringLiteral("High");
    saved.sharpness = QStringLiteral("Low");
    saved.saturation = QStringLiteral("Vivid");
    // Distinct values, so that two settings read into each other's place show.
    saved.yearSubDir = 10;
    saved.monthSubDir = 3;
    saved.daySubDir = 7;
    saved.flattenDate = 6;
    saved.baseDirectory = QStringLiteral("/srv/shots, studio \"A\"");
    saved.filenamePrefix = QStringLiteral("Studio_");
    saved.orientation = 270;
    saved.shellOpenEditor = 0;
    saved.openEditorCmdLine = QStringLiteral("gimp --new-instance");
    saved.displayGrid = 1;
    saved.autoEdit = 2;
    saved.blankScreenWhenTakingPhoto = 3;
    saved.numHorzGridDivisions = 4;
    saved.numVertGridDivisions = 5;
    saved.gridColour = 0x0000FF;
    saved.thumbnailFirst = 0;
    saved.autoReconnect = 8;
    saved.clippingMarks = 0;
    saved.showClipping = 11;
    RecordingControls before;
    before.positions = {{List::Iso, 3},          {List::Quality, 0},          {List::WhiteBalance, 5},
                        {List::ExposureCompensation, 12}, {List::FlashCompensation, 1}, {List::Store, 2}};
    before.checks = {{CheckBox::HistogramRed, false},  {CheckBox::HistogramGreen, true},
                     {CheckBox::HistogramBlue, false}, {CheckBox::HistogramIntensity, false},
                     {CheckBox::CameraBeep, true}};
    ASSERT_TRUE(store().saveSettings(saved, before));

    Settings loaded;
    RecordingControls after;
    ASSERT_TRUE(store().loadSettings(loaded, after));
    EXPECT_TRUE(loaded == saved);
    for (const auto &[list, position] : before.positions)
        EXPECT_EQ(after.positions[list], position) << nameOf(list);
    EXPECT_EQ(after.checks, before.checks);
}

TEST_F(SettingsStoreTest, TheShootingAidsHaveKeysOfTheirOwn)
{
    const struct {
        const char *key;
        uint32_t Settings::*field;
    } keys[] = {{"ThumbnailFirst", &Settings::thumbnailFirst},
                {"AutoReconnect", &Settings::autoReconnect},
                {"ClippingMarks", &Settings::clippingMarks},
                {"ShowClipping", &Settings::showClipping}};
    for (const auto &k : keys) {
        storeRaw({{QString::fromLatin1(k.key), QStringLiteral("5")}});
        Settings loaded;
        RecordingControls controls;
        ASSERT_TRUE(store().loadSettings(loaded, controls));
        EXPECT_EQ(loaded.*k.field, 5u) << k.key;
        loaded.*k.field = 0;
        EXPECT_TRUE(store().saveSettings(loaded, controls));
        EXPECT_EQ(readRaw(QString::fromLatin1(k.key)), QStringLiteral("0")) << k.key;
    }
}

TEST_F(SettingsStoreTest, LoadSetsControlsInReadOrderWithIsoLast)
{
    storeRaw({{QStringLiteral("ISO"), QStringLiteral("2")},
              {QStringLiteral("Quality"), QStringLiteral("1")},
              {QStringLiteral("WhiteBalance"), QStringLiteral("3")},
              {QStringLiteral("ExposureCompensation"), QStringLiteral("4")},
              {QStringLiteral("FlashCompensation"), QStringLiteral("5")},
              {QStringLiteral("HistogramRed"), QStringLiteral("0")},
              {QStringLiteral("HistogramGreen"), QStringLiteral("0")},
              {QStringLiteral("HistogramBlue"), QStringLiteral("1")},
              {QStringLiteral("HistogramIntensity"), QStringLiteral("0")},
              {QStringLiteral("Store"), QStringLiteral("1")},
              {QStringLiteral("CameraBeep"), QStringLiteral("1")}});
    Settings settings;
    RecordingControls controls;
    ASSERT_TRUE(store().loadSettings(settings, controls));

    const std::vector<std::string> defaults{
        "set Tv=0", "set Av=0", "set MeteringMode=0", "set DriveMode=0", "set Quality=2",
        "set WhiteBalance=0", "set ExposureCompensation=6", "set FlashCompensation=6", "set HistogramRed=1",
        "set HistogramGreen=1", "set HistogramBlue=1", "set HistogramIntensity=1", "set Store=0",
        "set CameraBeep=0"};
    const std::vector<std::string> stored{
        "set Quality=1", "set WhiteBalance=3", "set ExposureCompensation=4", "set FlashCompensation=5",
        "set HistogramRed=0", "set HistogramGreen=0", "set HistogramBlue=1", "set HistogramIntensity=0",
        "set Store=1", "set CameraBeep=1", "set ISO=2"};
    ASSERT_EQ(controls.calls.size(), defaults.size() + stored.size());
    // The defaults may come in any order; the stored values must follow the table.
    EXPECT_EQ(std::vector<std::string>(controls.calls.begin() + defaults.size(), controls.calls.end()), stored);
}

TEST_F(SettingsStoreTest, SaveReadsControlsInWriteOrder)
{
    RecordingControls controls;
    ASSERT_TRUE(store().saveSettings(Settings{}, controls));
    const std::vector<std::string> expected{
        "get ISO", "get Quality", "get WhiteBalance", "get ExposureCompensation", "get FlashCompensation",
        "get HistogramRed", "get HistogramGreen", "get HistogramBlue", "get HistogramIntensity", "get Store",
        "get CameraBeep"};
    EXPECT_EQ(controls.calls, expected);
}

TEST_F(SettingsStoreTest, PositionBeyondListLeavesNoSelectionAndSavesAllOnes)
{
    storeRaw({{QStringLiteral("Quality"), QStringLiteral("7")}});
    Settings settings;
    RecordingControls controls;
    ASSERT_TRUE(store().loadSettings(settings, controls));
    EXPECT_EQ(controls.positions[List::Quality], -1);

    ASSERT_TRUE(store().saveSettings(settings, controls));
    EXPECT_EQ(readRaw(QStringLiteral("Quality")), QStringLiteral("4294967295"));
    RecordingControls again;
    ASSERT_TRUE(store().loadSettings(settings, again));
    EXPECT_EQ(again.positions[List::Quality], -1);
}

TEST_F(SettingsStoreTest, OverlongTextKeepsTheDefault)
{
    storeRaw({{QStringLiteral("BaseDirectory"), QString(600, QLatin1Char('d'))},
              {QStringLiteral("FilenamePrefix"), QString(511, QLatin1Char('p'))}});
    Settings settings;
    RecordingControls controls;
    ASSERT_TRUE(store().loadSettings(settings, controls));
    EXPECT_EQ(settings.baseDirectory, defaultBaseDirectory());
    EXPECT_EQ(settings.filenamePrefix, QString(511, QLatin1Char('p')));
}

TEST_F(SettingsStoreTest, UnreadableNumbersKeepTheirDefaults)
{
    storeRaw({{QStringLiteral("YearSubDir"), QStringLiteral("yes")},
              {QStringLiteral("GridColour"), QStringLiteral("-5")},
              {QStringLiteral("Orientation"), QStringLiteral("4294967296")},
              {QStringLiteral("Store"), QStringLiteral("one")},
              {QStringLiteral("NumVertGridDivisions"), QStringLiteral("8")}});
    Settings settings;
    RecordingControls controls;
    ASSERT_TRUE(store().loadSettings(settings, controls));
    EXPECT_EQ(settings.yearSubDir, 1u);
    EXPECT_EQ(settings.gridColour, 65280u);
    EXPECT_EQ(settings.orientation, 0u);
    EXPECT_EQ(controls.positions[List::Store], 0);
    EXPECT_EQ(settings.numVertGridDivisions, 8u);
}

TEST_F(SettingsStoreTest, ValuesNothingReadsComeBackUnchanged)
{
    storeRaw({{QStringLiteral("ShutterSpeed"), QStringLiteral("4000000000")},
              {QStringLiteral("Aperture"), QStringLiteral("0")},
              {QStringLiteral("Contrast"), QStringLiteral("Very high")},
              {QStringLiteral("Sharpness"), QString()},
              {QStringLiteral("Saturation"), QStringLiteral("Low")}});
    Settings settings;
    RecordingControls controls;
    ASSERT_TRUE(store().loadSettings(settings, controls));
    ASSERT_TRUE(store().saveSettings(settings, controls));
    EXPECT_EQ(readRaw(QStringLiteral("ShutterSpeed")), QStringLiteral("4000000000"));
    EXPECT_EQ(readRaw(QStringLiteral("Aperture")), QStringLiteral("0"));
    EXPECT_EQ(readRaw(QStringLiteral("Contrast")), QStringLiteral("Very high"));
    EXPECT_EQ(readRaw(QStringLiteral("Sharpness")), QString());
    EXPECT_EQ(readRaw(QStringLiteral("Saturation")), QStringLiteral("Low"));
}

TEST_F(SettingsStoreTest, UnopenableStoreKeepsDefaultsAndWritesNothing)
{
    // A folder where the settings file should be cannot be read or written, even by root.
    ASSERT_TRUE(QDir().mkpath(fileName()));
    Settings settings;
    settings.aperture = 11;
    RecordingControls controls;
    EXPECT_FALSE(store().loadSettings(settings, controls));
    EXPECT_EQ(settings.aperture, 4u);
    ASSERT_FALSE(controls.calls.empty());
    EXPECT_EQ(controls.calls.back(), "set ISO=0");

    EXPECT_FALSE(store().saveSettings(settings, controls));
    EXPECT_TRUE(QFileInfo(fileName()).isDir());
}

TEST(SettingsStoreLocation, UserSettingsGoToVantorelSystemsQuillomatGroup100)
{
    QTemporaryDir config;
    ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    Settings settings;
    settings.filenamePrefix = QStringLiteral("Mine_");
    RecordingControls controls;
    ASSERT_TRUE(SettingsStore().saveSettings(settings, controls));

    QSettings written(config.filePath(QStringLiteral("VantorelSystems/Quillomat.conf")), QSettings::NativeFormat);
    EXPECT_EQ(written.value(QStringLiteral("100/FilenamePrefix")).toString(), QStringLiteral("Mine_"));
}

TEST(Settings, ImageDirectorySettingsFollowTheFlags)
{
    Settings settings;
    settings.baseDirectory = QStringLiteral("/srv/shots");
    settings.filenamePrefix = QStringLiteral("Studio_");
    settings.monthSubDir = 0;
    settings.daySubDir = 5;
    const ImageDirectorySettings naming = imageDirectorySettings(settings);
    EXPECT_EQ(naming.baseDirectory, "/srv/shots");
    EXPECT_EQ(naming.filenamePrefix, "Studio_");
    EXPECT_TRUE(naming.yearSubDir);
    EXPECT_FALSE(naming.monthSubDir);
    EXPECT_TRUE(naming.daySubDir);
    EXPECT_TRUE(naming.flattenDate);
}

} // namespace
