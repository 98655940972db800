#include "DebugCapture.h"
#include "Pscamera.h"
#include "TestDriver.h"
#include "psError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr uint32_t kEosD60 = 0x01168000;
constexpr uint32_t kPowerShot350 = 0x01030000;

std::string n(uint32_t value)
{
    return std::to_string(value);
}

// Raises the connection's word and returns it, or 0 if nothing was raised.
template <typename F>
psErrorWord raisedWord(F &&f)
{
    try {
        f();
    } catch (const psCException &e) {
        return e.code;
    }
    return 0;
}

class psCameraConnectionTest : public testing::Test {
protected:
    void SetUp() override { driver = &TestDriver::reset(); }
    TestDriver *driver = nullptr;
};

TEST_F(psCameraConnectionTest, ConnectsStepByStepAndIdentifiesTheModel)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);

    const std::vector<std::string> expected = {
        "PSUGetDevicePort 3",
        "PSULoadDriver 0 1",
        "openDevice 3",
        "getDeviceProperty 7 4",
        "getDeviceProperty 16 4",   // the fields the runtime reaches
        "getDeviceProperty 9 " + n(40 * 4 + 656),
        "getDeviceInfo",
        "PSUGetInstalledCameraModelsEx2",
        "PSSetLastModel " + n(kEosD60),
    };
    EXPECT_EQ(driver->calls(), expected);
    EXPECT_EQ(camera.modelDescriptor().modelId, kEosD60);
    EXPECT_EQ(camera.modelName(), "EOS D60");
    EXPECT_TRUE(camera.isDeviceActive());
    EXPECT_EQ(camera.busyTimeout(), 10000ms);
    EXPECT_EQ(camera.capabilities(), driver->capabilities);
    EXPECT_EQ(camera.deviceHandle(), driver->handle);
    EXPECT_STREQ(camera.portDescriptor().portName, "usb:001,004");
    EXPECT_EQ(0, std::memcmp(camera.portDescriptor().portData, driver->port.portData, PS_PORT_DATA_SIZE));
    ASSERT_EQ(camera.propertyTable().size(), 40u * 4 + 656);
    EXPECT_EQ(camera.propertyTable()[815], static_cast<uint8_t>(815 * 7 + 1));
}

TEST_F(psCameraConnectionTest, DestructionClosesTheDeviceThenUnloadsWithTheMatchedModel)
{
    {
        psCameraConnection camera(PS_PORT_TYPE_SERIAL, nullptr);
        EXPECT_TRUE(driver->isDeviceOpen());
    }
    const auto calls = driver->calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "closeDevice 1");
    EXPECT_EQ(calls.back(), "PSUUnloadDriver " + n(kEosD60) + " 1");
    EXPECT_EQ(calls.front(), "PSUGetDevicePort 2");
    EXPECT_FALSE(driver->isDeviceOpen());
}

TEST_F(psCameraConnectionTest, DisconnectIsDoneOnceAndStopsDriverAccess)
{
    auto camera = std::make_unique<psCameraConnection>(PS_PORT_TYPE_USB, nullptr);
    camera->disconnect();
    camera->disconnect();
    EXPECT_EQ(camera->driver(), nullptr);
    EXPECT_EQ(camera->deviceHandle(), 0u);
    EXPECT_EQ(raisedWord([&] { camera->lockControls(); }), psHLSDK_NOT_SUPPORTED);
    camera.reset();
    EXPECT_EQ(driver->count("closeDevice 1"), 1u);
    EXPECT_EQ(driver->count("PSUUnloadDriver " + n(kEosD60) + " 1"), 1u);
}

TEST_F(psCameraConnectionTest, OldCameraGetsFortyPropertiesWithoutCountQuery)
{
    driver->capabilities = 0x5FF;
    driver->propertyCount = 99;
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    EXPECT_EQ(driver->count("getPropertyCount"), 0u);
    EXPECT_EQ(camera.propertyTable().size(), 40u * 4 + 656);
}

TEST_F(psCameraConnectionTest, NewerCameraIsAskedForItsPropertyCount)
{
    driver->capabilities = 0x600;
    driver->propertyCount = 99;
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    EXPECT_EQ(driver->count("getPropertyCount"), 1u);
    EXPECT_EQ(camera.propertyTable().size(), 99u * 4 + 656);
    EXPECT_EQ(driver->count("getDeviceProperty 9 " + n(99 * 4 + 656)), 1u);
}

TEST_F(psCameraConnectionTest, FailedCapabilityReadLeavesNoCapabilities)
{
    driver->results["getDeviceProperty 7"] = psMakeError(psCOMPONENT_LLSDK, psERR_DEVICE_INVALID);
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    EXPECT_EQ(camera.capabilities(), 0u);
    // Without the lock bit, locking asks nothing of the camera.
    camera.lockControls();
    camera.unlockControls();
    EXPECT_EQ(driver->count("lockControls 6"), 0u);
    EXPECT_EQ(driver->count("unlockControls"), 0u);
}

// One failing construction step: what is raised, and the calls that must
// (or must not) follow it.
struct FailingStep {
    const char *name;
    std::function<void(TestDriver &)> script;
    psErrorWord expected;
    bool expectClose;
    bool expectUnload;
};

void PrintTo(const FailingStep &step, std::ostream *os)
{
    *os << step.name;
}

class psCameraConstructionTeardown : public testing::TestWithParam<FailingStep> {};

TEST_P(psCameraConstructionTeardown, LeavesNothingOpenOrLoaded)
{
    TestDriver &driver = TestDriver::reset();
    driver.capabilities = 0x600 | PS_CAP_RELEASE_CONTROL;
    const FailingStep &step = GetParam();
    step.script(driver);

    EXPECT_EQ(raisedWord([] { psCameraConnection camera(PS_PORT_TYPE_USB, nullptr); }), step.expected);

    EXPECT_EQ(driver.count("closeDevice 1"), step.expectClose ? 1u : 0u);
    EXPECT_EQ(driver.count("PSUUnloadDriver 0 1"), step.expectUnload ? 1u : 0u);
    EXPECT_FALSE(driver.isDeviceOpen());
    const auto calls = driver.calls();
    if (step.expectUnload) {
        EXPECT_EQ(calls.back(), "PSUUnloadDriver 0 1");
    }
    if (step.expectClose) {
        EXPECT_EQ(calls[calls.size() - 2], "closeDevice 1");
    }
    // Identification never starts on a connection that already failed.
    if (step.expectUnload) {
        EXPECT_EQ(driver.count("PSSetLastModel " + n(kEosD60)), 0u);
    }
}

constexpr psErrorWord kFault = psMakeError(psCOMPONENT_LLSDK, psERR_COMM_DISCONNECTED);

INSTANTIATE_TEST_SUITE_P(
    EachStep, psCameraConstructionTeardown,
    testing::Values(
        FailingStep{"Port", [](TestDriver &d) { d.results["PSUGetDevicePort"] = psMakeError(9, psERR_DEVICE_NOT_FOUND); },
                    psMakeError(9, psERR_DEVICE_NOT_FOUND), false, false},
        FailingStep{"Load", [](TestDriver &d) { d.results["PSULoadDriver"] = psMakeError(9, psERR_MISSING_SUBCOMPONENT); },
                    psMakeError(9, psERR_MISSING_SUBCOMPONENT), false, false},
        FailingStep{"LoadGivesNoDriver", [](TestDriver &d) { d.loadDriverReturnsNull = true; },
                    psHLSDK_INVALID_POINTER, false, false},
        FailingStep{"DriverOfOtherSize", [](TestDriver &d) { d.api.structSize -= 8; },
                    psHLSDK_INCOMPATIBLE_VERSION, false, true},
        FailingStep{"DriverOfOtherVersion", [](TestDriver &d) { d.api.version = PSL_API_VERSION + 1; },
                    psHLSDK_INCOMPATIBLE_VERSION, false, true},
        FailingStep{"DriverWithoutOpen", [](TestDriver &d) { d.api.openDevice = nullptr; },
                    psHLSDK_NOT_SUPPORTED, false, true},
        FailingStep{"Open", [](TestDriver &d) { d.results["openDevice"] = kFault; }, kFault, false, true},
        FailingStep{"PropertyCount", [](TestDriver &d) { d.results["getPropertyCount"] = kFault; }, kFault, true, true},
        FailingStep{"PropertyTable", [](TestDriver &d) { d.results["getDeviceProperty 9"] = kFault; }, kFault, true,
                    true},
        FailingStep{"PropertyTableTooLarge", [](TestDriver &d) { d.propertyCount = 0xFFFFFFFF; },
                    psERR_UNIMPLEMENTED, true, true},
        FailingStep{"DeviceInfo", [](TestDriver &d) { d.results["getDeviceInfo"] = kFault; }, kFault, true, true},
        FailingStep{"DriverWithoutDeviceInfo", [](TestDriver &d) { d.api.getDeviceInfo = nullptr; },
                    psHLSDK_NOT_SUPPORTED, true, true},
        FailingStep{"InstalledModels", [](TestDriver &d) { d.results["PSUGetInstalledCameraModelsEx2"] = kFault; },
                    kFault, true, true},
        FailingStep{"SetLastModel", [](TestDriver &d) { d.results["PSSetLastModel"] = psMakeError(2, 0x20); },
                    psMakeError(2, 0x20), true, false}),
    [](const testing::TestParamInfo<FailingStep> &info) { return std::string(info.param.name); });

TEST_F(psCameraConnectionTest, FailedSetLastModelUnloadsWithTheMatchedModel)
{
    driver->results["PSSetLastModel"] = kFault;
    EXPECT_EQ(raisedWord([] { psCameraConnection camera(PS_PORT_TYPE_USB, nullptr); }), kFault);
    const auto calls = driver->calls();
    EXPECT_EQ(calls[calls.size() - 2], "closeDevice 1");
    EXPECT_EQ(calls.back(), "PSUUnloadDriver " + n(kEosD60) + " 1");
}

TEST_F(psCameraConnectionTest, FailedConstructionTracesTheDriversStatus)
{
    DebugCapture capture;
    driver->results["openDevice"] = kFault;
    EXPECT_EQ(raisedWord([] { psCameraConnection camera(PS_PORT_TYPE_USB, nullptr); }), kFault);
    EXPECT_NE(capture.text().find("\npsError [llsdk generic: COMM_DISCONNECTED]  Pscamera line "), std::string::npos)
        << capture.text();
}

struct ModelCase {
    const char *cameraName;
    uint32_t expectedId;
};

void PrintTo(const ModelCase &c, std::ostream *os)
{
    *os << '"' << c.cameraName << '"';
}

class psCameraModelMatching : public testing::TestWithParam<ModelCase> {};

TEST_P(psCameraModelMatching, ComparesNamesExactlyExceptThePowerShot350Prefix)
{
    TestDriver &driver = TestDriver::reset();
    driver.cameraModelName = GetParam().cameraName;
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    EXPECT_EQ(camera.modelDescriptor().modelId, GetParam().expectedId);
    EXPECT_EQ(driver.count("PSSetLastModel " + n(GetParam().expectedId)), 1u);
}

INSTANTIATE_TEST_SUITE_P(Names, psCameraModelMatching,
                         testing::Values(ModelCase{"EOS D60", kEosD60}, ModelCase{"EOS D30", 0x01140000},
                                         ModelCase{"PowerShot 350", kPowerShot350},
                                         ModelCase{"PowerShot 350 Digital ELPH", kPowerShot350},
                                         ModelCase{"EOS D30 ", 0}, ModelCase{"eos d60", 0},
                                         ModelCase{"EOS D6", 0}, ModelCase{"PowerShot G2 X", 0},
                                         ModelCase{"PowerShot 35", 0}, ModelCase{"", 0},
                                         // A name that fills its whole field without a terminator.
                                         ModelCase{"EOS D60 with a name far longer than the field it is sent in", 0}));

TEST_F(psCameraConnectionTest, FirstMatchingInstalledModelWins)
{
    driver->installedModels = {TestDriver::makeModel(0x111, "PowerShot 350"),
                               TestDriver::makeModel(0x222, "PowerShot 350 Digital"),
                               TestDriver::makeModel(0x333, "PowerShot 350 Digital")};
    driver->cameraModelName = "PowerShot 350 Digital";
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    EXPECT_EQ(camera.modelDescriptor().modelId, 0x111u);

    TestDriver::reset().installedModels = {TestDriver::makeModel(0x222, "EOS D60"),
                                           TestDriver::makeModel(0x333, "EOS D60")};
    psCameraConnection second(PS_PORT_TYPE_USB, nullptr);
    EXPECT_EQ(second.modelDescriptor().modelId, 0x222u);
}

// A connection that writes down what it saw when its event operation ran.
class RecordingConnection : public psCameraConnection {
public:
    RecordingConnection() : psCameraConnection(PS_PORT_TYPE_USB, nullptr) {}
    ~RecordingConnection() override { disconnect(); }

    std::vector<std::string> log;
    std::function<void()> fail;

protected:
    void eventNotification(uint32_t eventCode, const void *, uint32_t contextWord) override
    {
        log.push_back("notify " + n(eventCode) + " ctx " + n(contextWord) + " active " +
                      (isDeviceActive() ? "1" : "0") + " lastEvent " + n(lastEventCode()));
        if (fail)
            fail();
    }
};

struct ListenerLog {
    std::vector<std::string> *log;
    std::string name;
    std::function<void()> fail;
};

void listenerEntry(void *userData, uint32_t eventCode, const void *, uint32_t)
{
    auto *listener = static_cast<ListenerLog *>(userData);
    listener->log->push_back(listener->name + " " + n(eventCode));
    if (listener->fail)
        listener->fail();
}

class psCameraEventEntryTest : public psCameraConnectionTest {};

TEST_F(psCameraEventEntryTest, ShutdownClearsDeviceActiveBeforeNotification)
{
    RecordingConnection camera;
    const uint32_t shutdown = PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_DISCONNECTED;
    EXPECT_EQ(driver->fireEvent(shutdown, nullptr, 7), 0u);
    ASSERT_EQ(camera.log.size(), 1u);
    EXPECT_EQ(camera.log[0], "notify " + n(shutdown) + " ctx 7 active 0 lastEvent " + n(shutdown));
    EXPECT_FALSE(camera.isDeviceActive());
}

TEST_F(psCameraEventEntryTest, WarningAndOrdinaryEventsKeepTheDeviceActive)
{
    RecordingConnection camera;
    driver->fireEvent(PS_EVENT_SEVERITY_WARNING | PS_WARNING_ABOUT_TO_SHUTDOWN);
    driver->fireEvent(PS_EVENT_RELEASE_CONTROL);
    EXPECT_TRUE(camera.isDeviceActive());
    EXPECT_EQ(camera.log.size(), 2u);
}

TEST_F(psCameraEventEntryTest, ListenersRunInOrderBeforeNotification)
{
    RecordingConnection camera;
    ListenerLog first{&camera.log, "first", {}};
    ListenerLog second{&camera.log, "second", {}};
    camera.addEventListener(&listenerEntry, &first);
    camera.addEventListener(&listenerEntry, &second);
    EXPECT_EQ(driver->fireEvent(10, nullptr, 0), 0u);
    ASSERT_EQ(camera.log.size(), 3u);
    EXPECT_EQ(camera.log[0], "first 10");
    EXPECT_EQ(camera.log[1], "second 10");
    EXPECT_EQ(camera.log[2].substr(0, 9), "notify 10");

    camera.removeEventListener(&listenerEntry, &first);
    camera.log.clear();
    driver->fireEvent(10);
    EXPECT_EQ(camera.log.front(), "second 10");
}

TEST_F(psCameraEventEntryTest, FailingListenerEndsTheWalkButNotificationStillRuns)
{
    RecordingConnection camera;
    ListenerLog first{&camera.log, "first", [] { psRaiseIfError(0x02000022, nullptr, 0); }};
    ListenerLog second{&camera.log, "second", {}};
    camera.addEventListener(&listenerEntry, &first);
    camera.addEventListener(&listenerEntry, &second);
    EXPECT_EQ(driver->fireEvent(10), 0x02000022u);
    ASSERT_EQ(camera.log.size(), 2u);
    EXPECT_EQ(camera.log[0], "first 10");
    EXPECT_EQ(camera.log[1].substr(0, 9), "notify 10");
}

struct MappingCase {
    const char *name;
    std::function<void()> fail;
    psResult expected;
};

void PrintTo(const MappingCase &c, std::ostream *os)
{
    *os << c.name;
}

class psCameraEventResult : public testing::TestWithParam<MappingCase> {};

TEST_P(psCameraEventResult, FromNotification)
{
    TestDriver &driver = TestDriver::reset();
    RecordingConnection camera;
    camera.fail = GetParam().fail;
    EXPECT_EQ(driver.fireEvent(PS_EVENT_SEVERITY_WARNING | PS_WARNING_ABOUT_TO_SHUTDOWN), GetParam().expected);
}

TEST_P(psCameraEventResult, FromListener)
{
    TestDriver &driver = TestDriver::reset();
    RecordingConnection camera;
    ListenerLog listener{&camera.log, "listener", GetParam().fail};
    camera.addEventListener(&listenerEntry, &listener);
    EXPECT_EQ(driver.fireEvent(10), GetParam().expected);
    EXPECT_EQ(camera.log.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Exceptions, psCameraEventResult,
    testing::Values(
        // The session keeps the camera awake with a plain exception of word 140.
        MappingCase{"StayAwake", [] { throw psCException(psSTAY_AWAKE, nullptr, 0); }, 140},
        // Any device exception answers 140, whatever its word.
        MappingCase{"DeviceException", [] { psRaiseIfError(0x03000087, "Pscamera", 1); }, 140},
        MappingCase{"DeviceBusy", [] { throw psCDeviceException(0x02000081, nullptr, 0); }, 140},
        MappingCase{"OwnCode", [] { psRaiseIfError(0x030000A8, "Pscamera", 1); }, 0x030000A8},
        MappingCase{"SpecificCode", [] { psRaiseIfError(0x82001234, "Pscamera", 1); }, 0x82001234},
        MappingCase{"StandardException", [] { throw std::runtime_error("boom"); }, 0x03000008},
        MappingCase{"Integer", [] { throw 42; }, 0x03000008}),
    [](const testing::TestParamInfo<MappingCase> &info) { return std::string(info.param.name); });

TEST_F(psCameraEventEntryTest, NotificationFailureOverridesListenerFailure)
{
    RecordingConnection camera;
    ListenerLog listener{&camera.log, "listener", [] { throw psCException(0x02000022, nullptr, 0); }};
    camera.addEventListener(&listenerEntry, &listener);
    camera.fail = [] { throw psCException(0x030000A3, nullptr, 0); };
    EXPECT_EQ(driver->fireEvent(10), 0x030000A3u);
}

TEST_F(psCameraEventEntryTest, LockStatusKeepsLow24BitsAndLastEventIsRemembered)
{
    RecordingConnection camera;
    const uint32_t status = 0xAB123456;
    driver->fireEvent(PS_EVENT_CHANGE_LOCK_STATUS, &status);
    EXPECT_EQ(psCameraConnection::lastLockStatus(), 0x123456u);
    EXPECT_EQ(psCameraConnection::lastEventCode(), PS_EVENT_CHANGE_LOCK_STATUS);
    // Other events leave the lock status alone.
    const uint32_t other = 0x00FFFFFF;
    driver->fireEvent(PS_EVENT_RELEASE_CONTROL, &other);
    EXPECT_EQ(psCameraConnection::lastLockStatus(), 0x123456u);
    EXPECT_EQ(psCameraConnection::lastEventCode(), PS_EVENT_RELEASE_CONTROL);
    // A lock-status event without data changes nothing and does not crash.
    EXPECT_EQ(driver->fireEvent(PS_EVENT_CHANGE_LOCK_STATUS, nullptr), 0u);
    EXPECT_EQ(psCameraConnection::lastLockStatus(), 0x123456u);
}

TEST_F(psCameraEventEntryTest, TemporaryFilesEventRemovesRememberedFiles)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("pscamera-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                       "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(dir);
    const auto kept = dir / "kept.tmp";
    const auto temporary = dir / "thumb.tmp";
    std::ofstream(kept) << "x";
    std::ofstream(temporary) << "x";

    RecordingConnection camera;
    camera.rememberTemporaryFile(temporary.string());
    driver->fireEvent(PS_EVENT_RELEASE_CONTROL);
    EXPECT_TRUE(std::filesystem::exists(temporary));
    driver->fireEvent(PS_EVENT_TEMPORARY_FILES);
    EXPECT_FALSE(std::filesystem::exists(temporary));
    EXPECT_TRUE(std::filesystem::exists(kept));
    EXPECT_EQ(camera.log.size(), 2u);
    std::filesystem::remove_all(dir);
}

TEST_F(psCameraEventEntryTest, EventsFromAnotherThreadReachTheConnection)
{
    RecordingConnection camera;
    psResult answer = 1;
    std::thread thread([&] { answer = driver->fireEvent(PS_EVENT_SEVERITY_SHUTDOWN | PS_SHUTDOWN_AUTO_POWER_OFF); });
    thread.join();
    EXPECT_EQ(answer, 0u);
    EXPECT_FALSE(camera.isDeviceActive());
}

// A clock that only moves when the connection sleeps (or the driver takes time).
struct FakeTime {
    std::chrono::steady_clock::time_point now{};
    std::vector<long> sleeps;

    void install(psCameraConnection &camera)
    {
        camera.setRetryClock([this] { return now; },
                             [this](std::chrono::milliseconds d) {
                                 sleeps.push_back(static_cast<long>(d.count()));
                                 now += d;
                             });
    }
};

constexpr psResult kBusy = psMakeError(psCOMPONENT_LLSDK, psERR_DEVICE_BUSY);

class psCameraLockRetryTest : public psCameraConnectionTest {};

TEST_F(psCameraLockRetryTest, FreeCameraIsLockedAtOnceWithMode6)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    FakeTime time;
    time.install(camera);
    camera.lockControls();
    camera.unlockControls();
    EXPECT_EQ(driver->count("lockControls 6"), 1u);
    EXPECT_EQ(driver->count("unlockControls"), 1u);
    EXPECT_TRUE(time.sleeps.empty());
}

TEST_F(psCameraLockRetryTest, BusyCameraIsAskedAboutOnceASecondUntilTheTimeOutThenBusyIsRaised)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    camera.setBusyTimeout(5000ms);
    FakeTime time;
    time.install(camera);
    driver->lockResults.assign(20, kBusy);

    try {
        camera.lockControls();
        FAIL() << "busy not raised";
    } catch (const psCDeviceException &e) {
        EXPECT_EQ(e.code, kBusy);
    }
    EXPECT_EQ(time.sleeps, (std::vector<long>{1000, 1000, 1000, 1000, 1000, 0}));
    EXPECT_EQ(driver->count("lockControls 6"), 7u);
}

TEST_F(psCameraLockRetryTest, SlowDriverShortensTheLastWait)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    camera.setBusyTimeout(2500ms);
    FakeTime time;
    time.install(camera);
    driver->lockResults.assign(20, kBusy);
    // Each lock call takes 300 ms of the time-out.
    driver->hooks["lockControls"] = [&time] { time.now += 300ms; };

    EXPECT_EQ(raisedWord([&] { camera.lockControls(); }), kBusy);
    // 2200 ms left after the first call, 900 after the second: that short wait is the last.
    EXPECT_EQ(time.sleeps, (std::vector<long>{1000, 900}));
    EXPECT_EQ(driver->count("lockControls 6"), 3u);
}

TEST_F(psCameraLockRetryTest, CameraThatBecomesFreeEndsTheRetry)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    camera.setBusyTimeout(5000ms);
    FakeTime time;
    time.install(camera);
    driver->lockResults = {kBusy, kBusy, 0};
    camera.lockControls();
    EXPECT_EQ(driver->count("lockControls 6"), 3u);
    EXPECT_EQ(time.sleeps, (std::vector<long>{1000, 1000}));
}

TEST_F(psCameraLockRetryTest, OtherErrorDuringRetryIsRaisedAtOnce)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    FakeTime time;
    time.install(camera);
    driver->lockResults = {kBusy, kFault, kBusy};
    EXPECT_EQ(raisedWord([&] { camera.lockControls(); }), kFault);
    EXPECT_EQ(driver->count("lockControls 6"), 2u);
}

TEST_F(psCameraLockRetryTest, BusyIsRecognisedByItsLow16BitsOnly)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    FakeTime time;
    time.install(camera);
    driver->lockResults = {0x82000081, 0};
    camera.lockControls();
    EXPECT_EQ(driver->count("lockControls 6"), 2u);
}

TEST_F(psCameraLockRetryTest, ZeroTimeOutDoesNotRetry)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    camera.setBusyTimeout(0ms);
    FakeTime time;
    time.install(camera);
    driver->lockResults = {kBusy, 0};
    EXPECT_EQ(raisedWord([&] { camera.lockControls(); }), kBusy);
    EXPECT_EQ(driver->count("lockControls 6"), 1u);
    EXPECT_TRUE(time.sleeps.empty());
}

TEST_F(psCameraLockRetryTest, ClockThatStandsStillCannotHangTheLock)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    camera.setBusyTimeout(3000ms);
    std::vector<long> sleeps;
    camera.setRetryClock([] { return std::chrono::steady_clock::time_point{}; },
                         [&](std::chrono::milliseconds d) { sleeps.push_back(static_cast<long>(d.count())); });
    driver->lockResults.assign(100, kBusy);
    EXPECT_EQ(raisedWord([&] { camera.lockControls(); }), kBusy);
    EXPECT_LE(sleeps.size(), 5u);
}

TEST_F(psCameraLockRetryTest, CameraWithoutLockCapabilityIsNeverAsked)
{
    driver->capabilities = PS_CAP_RELEASE_CONTROL;
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    camera.lockControls();
    camera.unlockControls();
    EXPECT_EQ(driver->count("lockControls 6"), 0u);
}

TEST_F(psCameraLockRetryTest, MissingLockOperationIsNotSupported)
{
    driver->api.lockControls = nullptr;
    driver->api.unlockControls = nullptr;
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    try {
        camera.lockControls();
        FAIL();
    } catch (const psCMiscException &e) {
        EXPECT_EQ(e.code, psHLSDK_NOT_SUPPORTED);
    }
    EXPECT_EQ(raisedWord([&] { camera.unlockControls(); }), psHLSDK_NOT_SUPPORTED);
}

TEST_F(psCameraLockRetryTest, UnlockFailureIsRaised)
{
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    driver->results["unlockControls"] = kFault;
    EXPECT_EQ(raisedWord([&] { camera.unlockControls(); }), kFault);
}

TEST_F(psCameraConnectionTest, SettingsDialogAndParameterSetsGoToTheDriver)
{
    driver->parameterSet.fields[1] = 1;
    driver->parameterSet.fields[2] = 55;
    psCameraConnection camera(PS_PORT_TYPE_USB, nullptr);
    camera.settingsDialog(nullptr);
    psParameterSetRecord record{};
    record.fields[0] = 2;
    camera.readParameterSet(record);
    EXPECT_EQ(record.fields[0], 2u);
    EXPECT_EQ(record.fields[2], 55u);
    EXPECT_EQ(driver->count("settingsDialog"), 1u);
    EXPECT_EQ(driver->count("readParameterSet 2"), 1u);

    driver->results["settingsDialog"] = kFault;
    EXPECT_EQ(raisedWord([&] { camera.settingsDialog(nullptr); }), kFault);
    driver->api.readParameterSet = nullptr;
    EXPECT_EQ(raisedWord([&] { camera.readParameterSet(record); }), psHLSDK_NOT_SUPPORTED);
}

} // namespace
