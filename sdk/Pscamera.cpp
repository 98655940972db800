#include "Pscamera.h"

#include "Pscstrms.h"
#include "psRuntime.h"
#include "psError.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <thread>

namespace {

const char kFile[] = "Pscamera";

std::atomic<uint32_t> g_lastEventCode{0};
std::atomic<uint32_t> g_lastLockStatus{0};

// Raises hlsdk NOT_SUPPORTED when the runtime left an operation out.
template <typename Op>
void requireOperation(Op op, long line)
{
    if (op == nullptr)
        throw psCMiscException(psHLSDK_NOT_SUPPORTED, kFile, line);
}

// Receives the installed models, one descriptor per write.
class ModelListStream : public psStream {
public:
    std::vector<psModelDescripEx2> models;

protected:
    psResult write(const void *data, uint32_t size) override
    {
        if (data == nullptr)
            return psHLSDK_INVALID_POINTER;
        if (size != sizeof(psModelDescripEx2))
            return psHLSDK_INVALID_LENGTH;
        psModelDescripEx2 model;
        std::memcpy(&model, data, sizeof model);
        model.modelName[PS_MODEL_NAME_SIZE - 1] = '\0';
        models.push_back(model);
        return 0;
    }
};

bool modelMatches(const psModelDescripEx2 &entry, const char *cameraName)
{
    if (std::strcmp(entry.modelName, PS_MODEL_PREFIX_MATCH) == 0)
        return std::strncmp(cameraName, entry.modelName, std::strlen(entry.modelName)) == 0;
    return std::strcmp(cameraName, entry.modelName) == 0;
}

} // namespace

psCameraConnection::psCameraConnection(uint16_t portType, void *window)
    : m_window(window),
      m_clock([] { return std::chrono::steady_clock::now(); }),
      m_sleeper([](std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); })
{
    try {
        connect(portType);
    } catch (...) {
        // A constructor that throws runs no destructor: undo every step here.
        disconnect();
        throw;
    }
}

psCameraConnection::~psCameraConnection()
{
    disconnect();
}

void psCameraConnection::connect(uint16_t portType)
{
    psPortDescrip port{};
    psRaiseIfError(psRuntime().getDevicePort(portType, 0, m_window, &port, 0, 1), kFile, __LINE__);
    m_port.portType = port.portType;
    std::memcpy(m_port.portName, port.portName, sizeof m_port.portName);
    m_port.portName[PS_PORT_NAME_SIZE - 1] = '\0';
    std::memcpy(m_port.portData, port.portData, sizeof m_port.portData);

    pslBASE_API *driver = nullptr;
    psRaiseIfError(psRuntime().loadDriver(m_model.modelId, &driver, 1), kFile, __LINE__);
    if (driver == nullptr)
        throw psCParamException(psHLSDK_INVALID_POINTER, kFile, __LINE__);
    m_driver = driver;
    if (driver->structSize != sizeof(pslBASE_API) || driver->version != PSL_API_VERSION)
        throw psCMiscException(psHLSDK_INCOMPATIBLE_VERSION, kFile, __LINE__);

    requireOperation(m_driver->openDevice, __LINE__);
    psDeviceHandle handle = 0;
    beginAccess();
    const psResult opened = m_driver->openDevice(m_driver, &m_port, &psCameraConnection::onDriverEvent,
                                                 this, &handle);
    endAccess();
    if (opened != 0)
        psRaiseIfError(opened, kFile, __LINE__);
    m_handle = handle;

    requireOperation(m_driver->getDeviceProperty, __LINE__);
    uint32_t capabilities = 0;
    beginAccess();
    // A camera that cannot tell its capabilities simply has none.
    if (m_driver->getDeviceProperty(m_driver, m_handle, PS_PROP_CAPABILITIES, &capabilities,
                                    sizeof capabilities) != 0)
        capabilities = 0;
    // A runtime that cannot say which fields it reaches reaches them all.
    uint32_t reachable = PS_FIELD_ALL;
    if (m_driver->getDeviceProperty(m_driver, m_handle, PS_PROP_REACHABLE_FIELDS, &reachable, sizeof reachable) != 0)
        reachable = PS_FIELD_ALL;
    endAccess();
    m_capabilities = capabilities;
    m_reachableFields = reachable;

    uint32_t count = PS_DEFAULT_PROPERTY_COUNT;
    if ((m_capabilities & PS_CAP_VERSION_MASK) >= PS_CAP_VERSION_WITH_PROPERTY_COUNT) {
        requireOperation(m_driver->getPropertyCount, __LINE__);
        beginAccess();
        const psResult status = m_driver->getPropertyCount(m_driver, m_handle, &count);
        endAccess();
        psRaiseIfError(status, kFile, __LINE__);
    }

    const uint64_t tableSize = uint64_t{count} * 4u + PS_PROPERTY_TABLE_HEADER_SIZE;
    if (tableSize > std::numeric_limits<uint32_t>::max())
        psRaiseIfError(psERR_UNIMPLEMENTED, kFile, __LINE__);
    try {
        m_propertyTable.assign(static_cast<size_t>(tableSize), 0);
    } catch (const std::bad_alloc &) {
        psRaiseIfError(psERR_UNIMPLEMENTED, kFile, __LINE__);
    }
    beginAccess();
    const psResult tableStatus = m_driver->getDeviceProperty(
        m_driver, m_handle, PS_PROP_PROPERTY_TABLE, m_propertyTable.data(), static_cast<uint32_t>(tableSize));
    endAccess();
    psRaiseIfError(tableStatus, kFile, __LINE__);

    requireOperation(m_driver->getDeviceInfo, __LINE__);
    psDeviceInfo info{};
    beginAccess();
    const psResult infoStatus = m_driver->getDeviceInfo(m_driver, m_handle, &info);
    endAccess();
    psRaiseIfError(infoStatus, kFile, __LINE__);
    info.modelName[PS_MODEL_NAME_SIZE - 1] = '\0';
    info.firmwareVersion[sizeof info.firmwareVersion - 1] = '\0';
    info.ownerName[sizeof info.ownerName - 1] = '\0';
    m_deviceInfo = info;

    matchInstalledModel();

    psRaiseIfError(psRuntime().setLastModel(m_model.modelId), kFile, __LINE__);
}

void psCameraConnection::matchInstalledModel()
{
    ModelListStream installed;
    psRaiseIfError(psRuntime().getInstalledModels(installed.stream()), kFile, __LINE__);
    for (const psModelDescripEx2 &entry : installed.models) {
        if (modelMatches(entry, m_deviceInfo.modelName)) {
            m_model = entry;
            return;
        }
    }
}

void psCameraConnection::disconnect()
{
    {
        std::lock_guard lock(m_listenerMutex);
        m_listeners.clear();
    }
    if (m_driver != nullptr) {
        if (m_handle != 0 && m_closeFlag != 0 && m_driver->closeDevice != nullptr) {
            beginAccess();
            m_driver->closeDevice(m_driver, m_handle);
            endAccess();
        }
        m_handle = 0;
        // The runtime takes the driver back whatever the outcome.
        psRuntime().unloadDriver(m_model.modelId, m_driver, m_unloadFlag);
        m_driver = nullptr;
    }
    m_propertyTable.clear();
    m_propertyTable.shrink_to_fit();
    removeTemporaryFiles();
}

std::string psCameraConnection::modelName() const
{
    return std::string(m_model.modelName, strnlen(m_model.modelName, PS_MODEL_NAME_SIZE));
}

void psCameraConnection::lockControls()
{
    if ((m_capabilities & PS_CAP_CONTROL_LOCK) == 0)
        return;
    if (m_driver == nullptr)
        throw psCMiscException(psHLSDK_NOT_SUPPORTED, kFile, __LINE__);
    requireOperation(m_driver->lockControls, __LINE__);

    auto lock = [this] {
        beginAccess();
        const psResult status = m_driver->lockControls(m_driver, m_handle, PS_LOCK_MODE_UI);
        endAccess();
        return status;
    };

    using std::chrono::milliseconds;
    const auto start = m_clock();
    psResult status = lock();
    if (psErrorCode(status) == psERR_DEVICE_BUSY && m_busyTimeoutMs != 0) {
        const milliseconds timeout(m_busyTimeoutMs);
        // A clock that stands still must not keep us here for ever.
        const uint32_t maxRetries = m_busyTimeoutMs / 1000u + 2u;
        for (uint32_t retry = 0; retry < maxRetries; ++retry) {
            const auto elapsed = std::chrono::duration_cast<milliseconds>(m_clock() - start);
            const milliseconds wait = std::clamp(timeout - elapsed, milliseconds(0), milliseconds(1000));
            m_sleeper(wait);
            status = lock();
            if (psErrorCode(status) != psERR_DEVICE_BUSY || wait < milliseconds(1000))
                break;
        }
    }
    psRaiseIfError(status, kFile, __LINE__);
}

void psCameraConnection::unlockControls()
{
    if ((m_capabilities & PS_CAP_CONTROL_LOCK) == 0)
        return;
    if (m_driver == nullptr)
        throw psCMiscException(psHLSDK_NOT_SUPPORTED, kFile, __LINE__);
    requireOperation(m_driver->unlockControls, __LINE__);
    beginAccess();
    const psResult status = m_driver->unlockControls(m_driver, m_handle);
    endAccess();
    psRaiseIfError(status, kFile, __LINE__);
}

void psCameraConnection::setBusyTimeout(std::chrono::milliseconds timeout)
{
    m_busyTimeoutMs = static_cast<uint32_t>(std::clamp<int64_t>(timeout.count(), 0, std::numeric_limits<uint32_t>::max()));
}

void psCameraConnection::setRetryClock(Clock clock, Sleeper sleeper)
{
    if (clock)
        m_clock = std::move(clock);
    if (sleeper)
        m_sleeper = std::move(sleeper);
}

void psCameraConnection::settingsDialog(void *window)
{
    if (m_driver == nullptr)
        throw psCMiscException(psHLSDK_NOT_SUPPORTED, kFile, __LINE__);
    requireOperation(m_driver->settingsDialog, __LINE__);
    beginAccess();
    const psResult status = m_driver->settingsDialog(m_driver, m_handle, window);
    endAccess();
    psRaiseIfError(status, kFile, __LINE__);
}

void psCameraConnection::readParameterSet(psParameterSetRecord &record)
{
    if (m_driver == nullptr)
        throw psCMiscException(psHLSDK_NOT_SUPPORTED, kFile, __LINE__);
    requireOperation(m_driver->readParameterSet, __LINE__);
    beginAccess();
    const psResult status = m_driver->readParameterSet(m_driver, m_handle, &record);
    endAccess();
    psRaiseIfError(status, kFile, __LINE__);
}

void psCameraConnection::addEventListener(EventListener listener, void *userData)
{
    if (listener == nullptr)
        return;
    std::lock_guard lock(m_listenerMutex);
    m_listeners.push_back({listener, userData});
}

void psCameraConnection::removeEventListener(EventListener listener, void *userData)
{
    std::lock_guard lock(m_listenerMutex);
    std::erase_if(m_listeners, [&](const Listener &entry) {
        return entry.callback == listener && entry.userData == userData;
    });
}

void psCameraConnection::rememberTemporaryFile(const std::string &path)
{
    std::lock_guard lock(m_temporaryMutex);
    m_temporaryFiles.push_back(path);
}

void psCameraConnection::removeTemporaryFiles()
{
    std::vector<std::string> files;
    {
        std::lock_guard lock(m_temporaryMutex);
        files.swap(m_temporaryFiles);
    }
    for (const std::string &path : files)
        std::remove(path.c_str());
}

uint32_t psCameraConnection::lastEventCode()
{
    return g_lastEventCode.load();
}

uint32_t psCameraConnection::lastLockStatus()
{
    return g_lastLockStatus.load();
}

void psCameraConnection::eventNotification(uint32_t, const void *, uint32_t)
{
}

psResult psCameraConnection::onDriverEvent(uint32_t eventCode, const void *eventData, uint32_t contextWord,
                                           void *context)
{
    try {
        g_lastEventCode.store(eventCode);
        if (context == nullptr)
            return 0;
        return static_cast<psCameraConnection *>(context)->handleEvent(eventCode, eventData, contextWord);
    } catch (const psCDeviceException &) {
        return psSTAY_AWAKE;
    } catch (const psCException &e) {
        return e.code;
    } catch (...) {
        return psHLSDK_UNEXPECTED_EXCEPTION;
    }
}

psResult psCameraConnection::handleEvent(uint32_t eventCode, const void *eventData, uint32_t contextWord)
{
    if ((eventCode & PS_EVENT_SEVERITY_MASK) == PS_EVENT_SEVERITY_SHUTDOWN)
        m_deviceActive.store(0);
    if ((eventCode & PS_EVENT_MASK) == PS_EVENT_CHANGE_LOCK_STATUS && eventData != nullptr) {
        uint32_t status;
        std::memcpy(&status, eventData, sizeof status);
        g_lastLockStatus.store(status & 0xFFFFFFu);
    }

    // A listener's failure is the answer, but the temporary files and the
    // connection's own handling still run.
    psResult result = 0;
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(m_listenerMutex);
        listeners = m_listeners;
    }
    try {
        for (const Listener &listener : listeners)
            listener.callback(listener.userData, eventCode, eventData, contextWord);
    } catch (const psCDeviceException &) {
        result = psSTAY_AWAKE;
    } catch (const psCException &e) {
        result = e.code;
    } catch (...) {
        result = psHLSDK_UNEXPECTED_EXCEPTION;
    }

    if ((eventCode & PS_EVENT_MASK) == PS_EVENT_TEMPORARY_FILES)
        removeTemporaryFiles();

    eventNotification(eventCode, eventData, contextWord);
    return result;
}
