// psCameraConnection: one connected camera behind the runtime's driver.
//
// Constructing it finds the port, loads the driver, opens the device with the
// layer's event entry point, reads the capability word and the property table
// and identifies the model; a failing step raises a psCException and leaves
// nothing open or loaded. Destroying it closes the device and unloads the
// driver.
//
// The camera session derives from it and overrides eventNotification, which
// runs on the driver's thread. Such a class calls disconnect() first in its
// destructor, so that no event reaches a half-destroyed object.
#ifndef QUILLOMAT_SDK_PSCAMERA_H
#define QUILLOMAT_SDK_PSCAMERA_H

#include "psLLAPI.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

class psCameraConnection {
public:
    // Called for every driver event, before eventNotification, in the order
    // added; raise a psCException to answer the driver with an error.
    using EventListener = void (*)(void *userData, uint32_t eventCode, const void *eventData,
                                   uint32_t contextWord);
    // The clock and the sleep of the busy retry of lockControls (replaceable for tests).
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Sleeper = std::function<void(std::chrono::milliseconds)>;

    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{10000};

    // portType: PS_PORT_TYPE_USB or PS_PORT_TYPE_SERIAL; window: the main window, or null.
    psCameraConnection(uint16_t portType, void *window);
    virtual ~psCameraConnection();
    psCameraConnection(const psCameraConnection &) = delete;
    psCameraConnection &operator=(const psCameraConnection &) = delete;

    // Closes the device and unloads the driver; no event arrives afterwards.
    // Never raises; a second call does nothing.
    void disconnect();

    // The matched installed model (modelId 0 when none matched).
    psModelDescripEx2 modelDescriptor() const { return m_model; }
    std::string modelName() const;
    // What the camera reported about itself (its own model name among it).
    const psDeviceInfo &deviceInfo() const { return m_deviceInfo; }
    const psPortDescrip &portDescriptor() const { return m_port; }
    // Bits PS_CAP_*; the low 16 bits act as a version.
    uint32_t capabilities() const { return m_capabilities; }
    // PS_FIELD_* bits of the release-parameter fields the runtime reaches.
    uint32_t reachableFields() const { return m_reachableFields; }
    std::span<const uint8_t> propertyTable() const { return m_propertyTable; }
    // False once the driver reported a shutdown-severity event.
    bool isDeviceActive() const { return m_deviceActive.load() != 0; }

    // Locks the camera's own controls (mode 6) when the camera supports it.
    // A busy camera is asked again about once a second until the busy-retry
    // time-out has passed; then the busy status is raised.
    void lockControls();
    void unlockControls();
    void setBusyTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds busyTimeout() const { return std::chrono::milliseconds(m_busyTimeoutMs); }
    void setRetryClock(Clock clock, Sleeper sleeper);

    // The driver's own settings dialog, owned by window.
    void settingsDialog(void *window);
    // record.fields[0] holds the set number (1 to 3); the set's values come back in the rest.
    void readParameterSet(psParameterSetRecord &record);

    // Hooks around every driver call; nothing to do here.
    virtual psResult beginAccess() { return 0; }
    virtual psResult endAccess() { return 0; }

    // For psReleaseControl: the loaded driver (null once disconnected) and the open device.
    pslBASE_API *driver() const { return m_driver; }
    psDeviceHandle deviceHandle() const { return m_handle; }

    void addEventListener(EventListener listener, void *userData);
    void removeEventListener(EventListener listener, void *userData);

    // Files the layer made for a transfer; removed from disk when the driver
    // says temporary files are no longer needed, and at disconnection.
    void rememberTemporaryFile(const std::string &path);

    // The last event code seen by any connection, and the low 24 bits of the
    // last lock-status event's data.
    static uint32_t lastEventCode();
    static uint32_t lastLockStatus();

    // The entry point handed to the driver when the device is opened; context
    // is the connection. Never lets an exception out: a device exception
    // answers DEVICE_STAY_AWAKE (140), another SDK exception its word,
    // anything else hlsdk UNEXPECTED_EXCEPTION.
    static psResult onDriverEvent(uint32_t eventCode, const void *eventData, uint32_t contextWord,
                                  void *context);

protected:
    // Runs on the driver's thread for every event; may raise a psCException.
    virtual void eventNotification(uint32_t eventCode, const void *eventData, uint32_t contextWord);

private:
    struct Listener {
        EventListener callback;
        void *userData;
    };

    void connect(uint16_t portType);
    void matchInstalledModel();
    void removeTemporaryFiles();
    psResult handleEvent(uint32_t eventCode, const void *eventData, uint32_t contextWord);

    psModelDescripEx2 m_model{};
    psPortDescrip m_port{};
    psDeviceInfo m_deviceInfo{};
    void *m_window = nullptr;
    pslBASE_API *m_driver = nullptr;
    psDeviceHandle m_handle = 0;
    uint32_t m_unloadFlag = 1;
    uint16_t m_closeFlag = 1;
    uint32_t m_capabilities = 0;
    uint32_t m_reachableFields = PS_FIELD_ALL;
    std::vector<uint8_t> m_propertyTable;
    uint32_t m_busyTimeoutMs = static_cast<uint32_t>(kDefaultBusyTimeout.count());
    std::atomic<uint32_t> m_deviceActive{1};
    Clock m_clock;
    Sleeper m_sleeper;

    std::mutex m_listenerMutex;
    std::vector<Listener> m_listeners;
    std::mutex m_temporaryMutex;
    std::vector<std::string> m_temporaryFiles;
};

#endif
