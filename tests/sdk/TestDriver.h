// A scriptable camera runtime for tests.
//
// Linking quillomat_test_driver gives a program the runtime's setup calls
// (PSUGetDevicePort, PSULoadDriver, PSUGetInstalledCameraModelsEx2,
// PSSetLastModel, PSUUnloadDriver) and a pslBASE_API driver object. Every
// call is recorded as one line of text ("releaseControl 9", see calls()), and
// every answer comes from the public fields below, which a test sets before
// it acts. The runtime is process-wide, like a real one: call
// TestDriver::reset() at the start of each test.
//
//     TestDriver &driver = TestDriver::reset();
//     driver.capabilities = PS_CAP_RELEASE_CONTROL;
//     driver.results["getDeviceInfo"] = psMakeError(psCOMPONENT_LLSDK, psERR_COMM_DISCONNECTED);
//     EXPECT_THROW(psCameraConnection(PS_PORT_TYPE_USB, nullptr), psCException);
//     EXPECT_EQ(driver.calls().back(), "PSUUnloadDriver 0 1");
//
// Lines recorded (numbers in decimal):
//     PSUGetDevicePort <portType>          PSULoadDriver <modelId> <flags>
//     PSUGetInstalledCameraModelsEx2       PSSetLastModel <modelId>
//     PSUUnloadDriver <modelId> <flags>
//     openDevice <portType>                closeDevice <handle>
//     getDeviceProperty <property> <size>  getPropertyCount
//     getDeviceInfo                        releaseControl <command>
//     getReleasedImage <kind> <sequence>   settingsDialog
//     readParameterSet <set>               lockControls <mode>
//     unlockControls
#ifndef QUILLOMAT_TESTS_SDK_TESTDRIVER_H
#define QUILLOMAT_TESTS_SDK_TESTDRIVER_H

#include "psLLAPI.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class TestDriver {
public:
    // One release-control command as the driver received it.
    struct ReleaseCommand {
        uint32_t command;
        std::vector<uint8_t> input;
        uint32_t outSize;
    };

    // Puts every answer back to its default (a connectable EOS D60 with
    // release control, control lock and camera-setting reads) and forgets
    // every recorded call. Returns the runtime.
    static TestDriver &reset();
    static TestDriver &instance();

    // The recorded calls, oldest first.
    std::vector<std::string> calls() const;
    // How many recorded lines equal line.
    size_t count(const std::string &line) const;
    std::vector<ReleaseCommand> releaseCommands() const;

    // Calls the event callback the layer gave openDevice, as the driver's
    // thread would, and returns the layer's answer.
    psResult fireEvent(uint32_t eventCode, const void *eventData = nullptr, uint32_t contextWord = 0);
    bool isDeviceOpen() const { return m_callback != nullptr; }

    // The driver object PSULoadDriver hands out. A test may null an operation
    // or change structSize/version before connecting.
    pslBASE_API api{};

    // Answers: a non-zero entry makes the named call fail with that status.
    // Keys are the call names of the recorded lines; release-control commands
    // also take "releaseControl <command>".
    std::map<std::string, psResult> results;
    // Makes PSULoadDriver succeed without handing out a driver.
    bool loadDriverReturnsNull = false;

    psPortDescrip port{};
    psDeviceHandle handle = 1;
    uint32_t capabilities = 0;
    uint32_t propertyCount = 40;
    std::string cameraModelName = "EOS D60";
    std::vector<psModelDescripEx2> installedModels;

    // Consumed one per lockControls call; 0 once empty.
    std::deque<psResult> lockResults;

    // Release control state.
    std::array<uint8_t, PS_RELEASE_PARAMS_SIZE> releaseParams{};
    uint32_t shotsRemaining = 0;
    std::map<uint16_t, uint16_t> cameraSettings;
    psParameterSetRecord parameterSet{};

    // Released images by (kind, sequence word), written in pieces of
    // chunkSize bytes with a progress value after each piece.
    std::map<std::pair<uint32_t, uint32_t>, std::vector<uint8_t>> images;
    uint32_t chunkSize = 4096;

    // Runs inside the named call before it answers (e.g. to fire an event).
    std::map<std::string, std::function<void()>> hooks;

    // Internal: the runtime entry points record and answer through these.
    void record(const std::string &line);
    psResult answer(const std::string &name) const;
    void runHook(const std::string &name);
    psResult releaseControl(uint32_t command, uint32_t inSize, const void *in, uint32_t outSize, void *out);
    psResult releasedImage(uint32_t kind, uint32_t sequence, pslStream *stream);
    void setCallback(psEventCallback callback, void *context);

    static psModelDescripEx2 makeModel(uint32_t modelId, const char *name);

private:
    TestDriver() = default;
    void setDefaults();

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::vector<ReleaseCommand> m_releaseCommands;
    psEventCallback m_callback = nullptr;
    void *m_context = nullptr;
};

#endif
