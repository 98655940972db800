// The simulated camera's own settings dialog, opened the way the program opens
// it (psCameraConnection::settingsDialog over its window) and driven as a user
// would, on the offscreen platform: what it changes is what the camera reports
// afterwards, and Cancel changes nothing.
#include "SimTestSupport.h"

#include <Pscamera.h>
#include <Pscstrms.h>
#include <psError.h>
#include <psRels.h>

#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <thread>

namespace simcam::test {
namespace {

// A connection that keeps the image records of releases, like the program's session.
class ShootingConnection : public psCameraConnection {
public:
    ShootingConnection() : psCameraConnection(PS_PORT_TYPE_USB, nullptr) {}
    ~ShootingConnection() override { disconnect(); }

    bool waitForComplete()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60), [&] { return m_complete; });
    }
    std::vector<psImageEventRecord> images()
    {
        std::lock_guard lock(m_mutex);
        return m_images;
    }

protected:
    void eventNotification(uint32_t code, const void *data, uint32_t) override
    {
        if ((code & PS_EVENT_SEVERITY_MASK) != 0 || !data)
            return;
        std::lock_guard lock(m_mutex);
        const uint32_t event = code & PS_EVENT_MASK;
        if (event == PS_EVENT_THUMBNAIL_ON_RELEASE || event == PS_EVENT_FULLVIEW_ON_RELEASE)
            m_images.push_back(*static_cast<const psImageEventRecord *>(data));
        if (event == PS_EVENT_RELEASE_CONTROL
            && *static_cast<const uint32_t *>(data) == PS_RELEASE_EVENT_RELEASE_COMPLETE)
            m_complete = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<psImageEventRecord> m_images;
    bool m_complete = false;
};

// Waits for the camera's settings dialog to come up modally, lets `edit` work
// on it, then clicks `button`. A dialog that never comes up, or is left open,
// is closed after a generous time so that a failing test cannot hang.
class DialogDriver {
public:
    DialogDriver(std::function<void(QDialog &)> edit, const char *button)
        : m_edit(std::move(edit)), m_button(button)
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(10);
        QObject::connect(&m_deadline, &QTimer::timeout, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        m_deadline.setSingleShot(true);
        m_deadline.start(30000);
    }

    bool seen() const { return m_seen; }

private:
    void poll()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("cameraSettingsDialog"))
            return;
        m_poll.stop();
        m_seen = true;
        m_edit(*dialog);
        auto *button = dialog->findChild<QPushButton *>(QString::fromLatin1(m_button));
        EXPECT_NE(button, nullptr) << m_button;
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
        else
            dialog->reject();
    }

    std::function<void(QDialog &)> m_edit;
    const char *m_button;
    QTimer m_poll;
    QTimer m_deadline;
    bool m_seen = false;
};

template <typename T>
T *child(QDialog &dialog, const char *name)
{
    T *widget = dialog.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Types text as key presses; characters beyond ASCII arrive as a keyboard
// layout would send them, with their text and no key code.
void typeInto(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(edit, static_cast<char>(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QDateTime cameraTime(const char *text)
{
    QDateTime time = QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    time.setTimeSpec(Qt::UTC);
    return time;
}

psParameterSetRecord parameterSet(psCameraConnection &camera, uint32_t number)
{
    psParameterSetRecord record{};
    record.fields[0] = number;
    camera.readParameterSet(record);
    return record;
}

// Takes one Large/Fine JPEG through release control and returns its bytes.
std::vector<uint8_t> shoot(ShootingConnection &camera, psReleaseControl &release)
{
    ReleaseTransferFlags flags = PS_TRANSFER_PC_ONLY;
    release.setTransferFlags(&flags);
    release.release();
    EXPECT_TRUE(camera.waitForComplete());
    const auto records = camera.images();
    const auto full = std::find_if(records.begin(), records.end(),
                                   [](const psImageEventRecord &r) { return r.format == PS_IMAGE_FORMAT_JPEG; });
    if (records.size() < 2 || full == records.end()) {
        ADD_FAILURE() << "no JPEG was announced";
        return {};
    }
    psMemoryStream stream;
    release.getReleasedImage(&records.back(), stream.stream(), PS_IMAGE_KIND_FULLVIEW);
    return stream.takeData();
}

bool containsText(const std::vector<uint8_t> &bytes, const std::string &text)
{
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::remove(registrationRecordPath());
        m_window.setObjectName(QStringLiteral("programWindow"));
        m_window.resize(400, 300);
        m_window.show();
    }
    void configure(const std::string &model, const std::string &settings = {})
    {
        SimConfig config = testConfig(model);
        ASSERT_TRUE(config.apply(settings));
        configureCamera(config);
    }

    QWidget m_window;
};

TEST_F(SettingsDialog, ShowsWhatTheCameraHoldsOverTheProgramsWindow)
{
    configure("EOS D30", "owner=Ada Lovelace;cfn=3:1,7:2;pset1=none;pset2=1,-1,2,0");
    ShootingConnection camera;
    DialogDriver driver(
        [this](QDialog &dialog) {
            EXPECT_EQ(dialog.parentWidget(), &m_window);
            EXPECT_TRUE(dialog.windowTitle().contains(QLatin1String("EOS D30")));
            EXPECT_EQ(child<QLabel>(dialog, "modelLabel")->text(), "EOS D30");
            EXPECT_EQ(child<QLineEdit>(dialog, "ownerEdit")->text(), "Ada Lovelace");
            EXPECT_EQ(child<QDateTimeEdit>(dialog, "clockEdit")->dateTime(), cameraTime("2002-06-02 08:30:00"));
            EXPECT_EQ(child<QSpinBox>(dialog, "customFunction3")->value(), 1);
            EXPECT_EQ(child<QSpinBox>(dialog, "customFunction7")->value(), 2);
            EXPECT_EQ(child<QSpinBox>(dialog, "customFunction15")->value(), 0);
            EXPECT_FALSE(child<QCheckBox>(dialog, "parameterSet1Defined")->isChecked());
            EXPECT_TRUE(child<QCheckBox>(dialog, "parameterSet2Defined")->isChecked());
            EXPECT_EQ(child<QSpinBox>(dialog, "parameterSet2Contrast")->value(), 1);
            EXPECT_EQ(child<QSpinBox>(dialog, "parameterSet2Sharpness")->value(), -1);
            EXPECT_EQ(child<QSpinBox>(dialog, "parameterSet2Saturation")->value(), 2);
            EXPECT_FALSE(child<QSpinBox>(dialog, "parameterSet1Contrast")->isEnabled());
        },
        "cancelButton");
    camera.settingsDialog(&m_window);
    EXPECT_TRUE(driver.seen());
}

TEST_F(SettingsDialog, OkChangesWhatTheD30Reports)
{
    configure("EOS D30");  // sets 1 and 2 defined, 3 not
    ShootingConnection camera;
    psReleaseControl release(camera);
    DialogDriver driver(
        [](QDialog &dialog) {
            typeInto(child<QLineEdit>(dialog, "ownerEdit"), QStringLiteral("Grace Hopper"));
            child<QDateTimeEdit>(dialog, "clockEdit")->setDateTime(cameraTime("2003-03-04 05:06:07"));
            child<QSpinBox>(dialog, "customFunction3")->setValue(1);
            child<QCheckBox>(dialog, "parameterSet1Defined")->setChecked(false);
            child<QCheckBox>(dialog, "parameterSet3Defined")->setChecked(true);
            child<QSpinBox>(dialog, "parameterSet3Contrast")->setValue(2);
            child<QSpinBox>(dialog, "parameterSet3Sharpness")->setValue(-1);
            child<QSpinBox>(dialog, "parameterSet3Saturation")->setValue(1);
            child<QSpinBox>(dialog, "parameterSet3ColorTone")->setValue(-2);
        },
        "okButton");
    camera.settingsDialog(&m_window);
    ASSERT_TRUE(driver.seen());

    EXPECT_EQ(release.readCameraSettingValue(PS_SETTING_MIRROR_LOCKUP), 1u);
    EXPECT_EQ(release.readCameraSettingValue(PS_SETTING_EXPOSURE_INCREMENTS), 0u);
    const psParameterSetRecord set3 = parameterSet(camera, 3);
    EXPECT_EQ(set3.fields[1], 1u);
    EXPECT_EQ(static_cast<int32_t>(set3.fields[5]), 2);   // contrast
    EXPECT_EQ(static_cast<int32_t>(set3.fields[2]), -1);  // sharpness
    EXPECT_EQ(static_cast<int32_t>(set3.fields[4]), 1);   // saturation
    EXPECT_EQ(static_cast<int32_t>(set3.fields[3]), -2);  // tone
    EXPECT_EQ(parameterSet(camera, 1).fields[1], 0u);
    const psParameterSetRecord set2 = parameterSet(camera, 2);  // untouched
    EXPECT_EQ(set2.fields[1], 1u);
    EXPECT_EQ(static_cast<int32_t>(set2.fields[5]), -1);
    EXPECT_EQ(static_cast<int32_t>(set2.fields[4]), 1);

    // The next image carries the new owner and the new clock.
    const std::vector<uint8_t> jpeg = shoot(camera, release);
    ASSERT_FALSE(jpeg.empty());
    EXPECT_TRUE(containsText(jpeg, "Grace Hopper"));
    EXPECT_FALSE(containsText(jpeg, "Quillomat\0"));
    EXPECT_TRUE(containsText(jpeg, "2003:03:04 05:06:07"));
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed; the image's metadata was checked by its bytes only";
    const std::filesystem::path file = testFolder() / "IMG_0001.JPG";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char *>(jpeg.data()),
                                                static_cast<std::streamsize>(jpeg.size()));
    const auto tags = exiftool(file, false);
    ASSERT_TRUE(tags.count("Canon:OwnerName")) << "no owner in the maker note";
    EXPECT_EQ(tags.at("Canon:OwnerName"), "Grace Hopper");
    ASSERT_TRUE(tags.count("ExifIFD:DateTimeOriginal"));
    EXPECT_EQ(tags.at("ExifIFD:DateTimeOriginal"), "2003:03:04 05:06:07");
}

TEST_F(SettingsDialog, CancelChangesNothing)
{
    configure("EOS D30", "owner=Ada Lovelace;pset1=0,1,0,-1");
    const SimConfig before = simulatedCamera()->config();
    ShootingConnection camera;
    psReleaseControl release(camera);
    DialogDriver driver(
        [](QDialog &dialog) {
            typeInto(child<QLineEdit>(dialog, "ownerEdit"), QStringLiteral("Somebody Else"));
            child<QDateTimeEdit>(dialog, "clockEdit")->setDateTime(cameraTime("2010-01-01 00:00:00"));
            child<QSpinBox>(dialog, "customFunction3")->setValue(1);
            child<QSpinBox>(dialog, "customFunction4")->setValue(1);
            child<QCheckBox>(dialog, "parameterSet1Defined")->setChecked(false);
            child<QCheckBox>(dialog, "parameterSet3Defined")->setChecked(true);
        },
        "cancelButton");
    camera.settingsDialog(&m_window);
    ASSERT_TRUE(driver.seen());

    const SimConfig after = simulatedCamera()->config();
    EXPECT_EQ(after.owner, before.owner);
    EXPECT_EQ(after.clock, before.clock);
    EXPECT_EQ(after.state.customFunctions, before.state.customFunctions);
    EXPECT_EQ(release.readCameraSettingValue(PS_SETTING_MIRROR_LOCKUP), 0u);
    EXPECT_EQ(release.readCameraSettingValue(PS_SETTING_EXPOSURE_INCREMENTS), 0u);
    const psParameterSetRecord set1 = parameterSet(camera, 1);
    EXPECT_EQ(set1.fields[1], 1u);
    EXPECT_EQ(static_cast<int32_t>(set1.fields[2]), 1);    // sharpness
    EXPECT_EQ(static_cast<int32_t>(set1.fields[3]), -1);   // tone
    EXPECT_EQ(parameterSet(camera, 3).fields[1], 0u);
    const std::vector<uint8_t> jpeg = shoot(camera, release);
    EXPECT_TRUE(containsText(jpeg, "Ada Lovelace"));
    EXPECT_TRUE(containsText(jpeg, "2002:06:02 08:30:00"));
}

TEST_F(SettingsDialog, D60OffersNoParameterSetsAndTakesCustomFunctions)
{
    configure("EOS D60");
    ShootingConnection camera;
    psReleaseControl release(camera);
    DialogDriver driver(
        [](QDialog &dialog) {
            EXPECT_EQ(dialog.findChild<QCheckBox *>(QStringLiteral("parameterSet1Defined")), nullptr);
            EXPECT_EQ(dialog.findChild<QSpinBox *>(QStringLiteral("parameterSet1Contrast")), nullptr);
            child<QSpinBox>(dialog, "customFunction4")->setValue(1);
        },
        "okButton");
    camera.settingsDialog(&m_window);
    ASSERT_TRUE(driver.seen());
    EXPECT_EQ(release.readCameraSettingValue(PS_SETTING_EXPOSURE_INCREMENTS), 1u);
    EXPECT_EQ(release.readCameraSettingValue(PS_SETTING_MIRROR_LOCKUP), 0u);
    EXPECT_EQ(simulatedCamera()->config().owner, "Quillomat");  // untouched fields stay
}

TEST_F(SettingsDialog, UndefiningTheSetInUseFallsBackToStandard)
{
    configure("EOS D30");
    ShootingConnection camera;
    psReleaseControl release(camera);
    ReleaseParams params;
    release.getReleaseParams(&params);
    params.bytes[24] = 2;  // parameter set 2
    release.setReleaseParams(&params);
    release.getReleaseParams(&params);
    ASSERT_EQ(params.bytes[24], 2);
    DialogDriver driver([](QDialog &dialog) { child<QCheckBox>(dialog, "parameterSet2Defined")->setChecked(false); },
                        "okButton");
    camera.settingsDialog(&m_window);
    ASSERT_TRUE(driver.seen());
    release.getReleaseParams(&params);
    EXPECT_EQ(params.bytes[24], 0);
    EXPECT_EQ(parameterSet(camera, 2).fields[1], 0u);
}

TEST_F(SettingsDialog, OwnerTakesAtMost31PrintableAsciiCharacters)
{
    configure("EOS D60");
    ShootingConnection camera;
    DialogDriver driver(
        [](QDialog &dialog) {
            QLineEdit *owner = child<QLineEdit>(dialog, "ownerEdit");
            typeInto(owner, QStringLiteral("Zo\u00EB \u6771 Tester"));
            EXPECT_EQ(owner->text(), "Zo  Tester");
            typeInto(owner, QString(40, QLatin1Char('x')));
            EXPECT_EQ(owner->text().size(), 31);
        },
        "okButton");
    camera.settingsDialog(&m_window);
    ASSERT_TRUE(driver.seen());
    EXPECT_EQ(simulatedCamera()->config().owner, std::string(31, 'x'));
}

TEST_F(SettingsDialog, RunningClockIsSetAndKeepsRunning)
{
    SimConfig config = testConfig("EOS D60");
    config.clock.reset();
    configureCamera(config);
    ShootingConnection camera;
    psReleaseControl release(camera);
    DialogDriver driver(
        [](QDialog &dialog) {
            child<QDateTimeEdit>(dialog, "clockEdit")->setDateTime(cameraTime("2011-11-11 11:11:00"));
        },
        "okButton");
    camera.settingsDialog(&m_window);
    ASSERT_TRUE(driver.seen());
    const std::vector<uint8_t> jpeg = shoot(camera, release);
    // Taken within seconds of setting the clock.
    EXPECT_TRUE(containsText(jpeg, "2011:11:11 11:11:0") || containsText(jpeg, "2011:11:11 11:11:1"));
}

TEST_F(SettingsDialog, ClockOutsideTheEditsRangeStaysUnlessChanged)
{
    SimConfig config = testConfig("EOS D30");
    config.clock = *parseCameraTime("1999:12:31 23:00:00");
    configureCamera(config);
    ShootingConnection camera;
    DialogDriver driver([](QDialog &dialog) { child<QSpinBox>(dialog, "customFunction5")->setValue(2); },
                        "okButton");
    camera.settingsDialog(&m_window);
    ASSERT_TRUE(driver.seen());
    EXPECT_EQ(simulatedCamera()->config().clock, config.clock);
    EXPECT_EQ(simulatedCamera()->state().customFunctions[5], 2);
}

TEST_F(SettingsDialog, OutsideTheUserInterfaceThreadIsRefusedCleanly)
{
    configure("EOS D30", "owner=Ada Lovelace");
    ShootingConnection camera;
    uint32_t code = 0;
    std::thread other([&] {
        try {
            camera.settingsDialog(nullptr);
        } catch (const psCException &e) {
            code = e.code;
        }
    });
    other.join();
    EXPECT_EQ(psErrorCode(code), psERR_NOT_SUPPORTED);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(simulatedCamera()->config().owner, "Ada Lovelace");
    EXPECT_EQ(parameterSet(camera, 1).fields[0], 1u);  // the camera still answers
}

TEST_F(SettingsDialog, NoParentWindowIsAllowed)
{
    configure("EOS D30");
    ShootingConnection camera;
    DialogDriver driver([](QDialog &dialog) { EXPECT_EQ(dialog.parentWidget(), nullptr); }, "okButton");
    camera.settingsDialog(nullptr);
    EXPECT_TRUE(driver.seen());
}

TEST_F(SettingsDialog, PointerThatIsNoWidgetIsNotUsedAsParent)
{
    configure("EOS D30");
    ShootingConnection camera;
    int notAWidget = 0;
    DialogDriver driver([](QDialog &dialog) { EXPECT_EQ(dialog.parentWidget(), nullptr); }, "cancelButton");
    camera.settingsDialog(&notAWidget);
    EXPECT_TRUE(driver.seen());
}

} // namespace
} // namespace simcam::test

// Widgets need one application object for the whole run.
int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
