// The scriptable runtime: the setup calls and the driver object's operations
// live in this one file with the TestDriver class, so that a program that
// uses the class always gets the whole runtime from the archive.
#include "TestDriver.h"

#include "psError.h"

#include <algorithm>
#include <cstring>

namespace {

// What the tests' runtime answers for a call nobody scripted an image for.
constexpr psResult kNoSuchImage = psMakeError(psCOMPONENT_LLSDK, psERR_INVALID_INDEX);

TestDriver &driverOf(pslBASE_API *)
{
    return TestDriver::instance();
}

psResult openDevice(pslBASE_API *api, const psPortDescrip *port, psEventCallback callback, void *context,
                    psDeviceHandle *handle)
{
    TestDriver &d = driverOf(api);
    d.record("openDevice " + std::to_string(port != nullptr ? port->portType : 0));
    d.runHook("openDevice");
    if (psResult status = d.answer("openDevice"))
        return status;
    d.setCallback(callback, context);
    *handle = d.handle;
    return 0;
}

psResult closeDevice(pslBASE_API *api, psDeviceHandle handle)
{
    TestDriver &d = driverOf(api);
    d.record("closeDevice " + std::to_string(handle));
    d.runHook("closeDevice");
    d.setCallback(nullptr, nullptr);
    return d.answer("closeDevice");
}

psResult getDeviceProperty(pslBASE_API *api, psDeviceHandle, uint32_t property, void *buffer, uint32_t size)
{
    TestDriver &d = driverOf(api);
    d.record("getDeviceProperty " + std::to_string(property) + " " + std::to_string(size));
    d.runHook("getDeviceProperty");
    if (psResult status = d.answer("getDeviceProperty " + std::to_string(property)))
        return status;
    if (property == PS_PROP_CAPABILITIES) {
        std::memcpy(buffer, &d.capabilities, std::min<uint32_t>(size, sizeof d.capabilities));
    } else if (property == PS_PROP_PROPERTY_TABLE) {
        // A recognisable pattern, so a test can see the whole buffer was handed over.
        auto *bytes = static_cast<uint8_t *>(buffer);
        for (uint32_t i = 0; i < size; ++i)
            bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    return 0;
}

psResult getPropertyCount(pslBASE_API *api, psDeviceHandle, uint32_t *count)
{
    TestDriver &d = driverOf(api);
    d.record("getPropertyCount");
    if (psResult status = d.answer("getPropertyCount"))
        return status;
    *count = d.propertyCount;
    return 0;
}

psResult getDeviceInfo(pslBASE_API *api, psDeviceHandle, psDeviceInfo *info)
{
    TestDriver &d = driverOf(api);
    d.record("getDeviceInfo");
    if (psResult status = d.answer("getDeviceInfo"))
        return status;
    *info = psDeviceInfo{};
    // Copied without a terminator when the name fills the field, as a careless camera might.
    std::memcpy(info->modelName, d.cameraModelName.data(),
                std::min<size_t>(d.cameraModelName.size(), sizeof info->modelName));
    std::strcpy(info->firmwareVersion, "1.0.3");
    return 0;
}

psResult releaseControl(pslBASE_API *api, psDeviceHandle, uint32_t command, uint32_t inSize, const void *in,
                        uint32_t outSize, void *out)
{
    return driverOf(api).releaseControl(command, inSize, in, outSize, out);
}

psResult getReleasedImage(pslBASE_API *api, psDeviceHandle, uint32_t kind, uint32_t sequence, pslStream *stream)
{
    return driverOf(api).releasedImage(kind, sequence, stream);
}

psResult settingsDialog(pslBASE_API *api, psDeviceHandle, void *)
{
    TestDriver &d = driverOf(api);
    d.record("settingsDialog");
    return d.answer("settingsDialog");
}

psResult readParameterSet(pslBASE_API *api, psDeviceHandle, psParameterSetRecord *record)
{
    TestDriver &d = driverOf(api);
    d.record("readParameterSet " + std::to_string(record->fields[0]));
    if (psResult status = d.answer("readParameterSet"))
        return status;
    const uint32_t set = record->fields[0];
    *record = d.parameterSet;
    record->fields[0] = set;
    return 0;
}

psResult lockControls(pslBASE_API *api, psDeviceHandle, uint32_t mode)
{
    TestDriver &d = driverOf(api);
    d.record("lockControls " + std::to_string(mode));
    d.runHook("lockControls");
    if (psResult status = d.answer("lockControls"))
        return status;
    if (d.lockResults.empty())
        return 0;
    const psResult status = d.lockResults.front();
    d.lockResults.pop_front();
    return status;
}

psResult unlockControls(pslBASE_API *api, psDeviceHandle)
{
    TestDriver &d = driverOf(api);
    d.record("unlockControls");
    return d.answer("unlockControls");
}

} // namespace

TestDriver &TestDriver::instance()
{
    static TestDriver driver;
    return driver;
}

TestDriver &TestDriver::reset()
{
    TestDriver &d = instance();
    d.setDefaults();
    return d;
}

psModelDescripEx2 TestDriver::makeModel(uint32_t modelId, const char *name)
{
    psModelDescripEx2 model{};
    model.modelId = modelId;
    std::strncpy(model.modelName, name, sizeof model.modelName - 1);
    return model;
}

void TestDriver::setDefaults()
{
    std::lock_guard lock(m_mutex);
    m_calls.clear();
    m_releaseCommands.clear();
    m_callback = nullptr;
    m_context = nullptr;

    api = pslBASE_API{};
    api.structSize = sizeof(pslBASE_API);
    api.version = PSL_API_VERSION;
    api.openDevice = &::openDevice;
    api.closeDevice = &::closeDevice;
    api.getDeviceProperty = &::getDeviceProperty;
    api.getPropertyCount = &::getPropertyCount;
    api.getDeviceInfo = &::getDeviceInfo;
    api.releaseControl = &::releaseControl;
    api.getReleasedImage = &::getReleasedImage;
    api.settingsDialog = &::settingsDialog;
    api.readParameterSet = &::readParameterSet;
    api.lockControls = &::lockControls;
    api.unlockControls = &::unlockControls;

    results.clear();
    loadDriverReturnsNull = false;
    port = psPortDescrip{};
    port.portType = PS_PORT_TYPE_USB;
    std::strcpy(port.portName, "usb:001,004");
    for (size_t i = 0; i < sizeof port.portData; ++i)
        port.portData[i] = static_cast<uint8_t>(0xA0 + i);
    handle = 1;
    capabilities = PS_CAP_RELEASE_CONTROL | PS_CAP_CONTROL_LOCK | PS_CAP_READ_CAMERA_SETTING | 0x500u;
    propertyCount = 40;
    cameraModelName = "EOS D60";
    installedModels = {
        makeModel(0x01140000, "EOS D30"),
        makeModel(0x01168000, "EOS D60"),
        makeModel(0x01100000, "EOS-1D"),
        makeModel(0x01110000, "PowerShot G2"),
        makeModel(0x01090000, "PowerShot Pro90 IS"),
        makeModel(0x01030000, "PowerShot 350"),
    };
    lockResults.clear();
    releaseParams = {};
    releaseParams[1] = 3;
    releaseParams[2] = 1;
    shotsRemaining = 0;
    cameraSettings.clear();
    parameterSet = psParameterSetRecord{};
    images.clear();
    chunkSize = 4096;
    hooks.clear();
}

std::vector<std::string> TestDriver::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

size_t TestDriver::count(const std::string &line) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<size_t>(std::count(m_calls.begin(), m_calls.end(), line));
}

std::vector<TestDriver::ReleaseCommand> TestDriver::releaseCommands() const
{
    std::lock_guard lock(m_mutex);
    return m_releaseCommands;
}

void TestDriver::record(const std::string &line)
{
    std::lock_guard lock(m_mutex);
    m_calls.push_back(line);
}

psResult TestDriver::answer(const std::string &name) const
{
    const auto it = results.find(name);
    return it == results.end() ? 0 : it->second;
}

void TestDriver::runHook(const std::string &name)
{
    const auto it = hooks.find(name);
    if (it != hooks.end() && it->second)
        it->second();
}

void TestDriver::setCallback(psEventCallback callback, void *context)
{
    std::lock_guard lock(m_mutex);
    m_callback = callback;
    m_context = context;
}

psResult TestDriver::fireEvent(uint32_t eventCode, const void *eventData, uint32_t contextWord)
{
    psEventCallback callback;
    void *context;
    {
        std::lock_guard lock(m_mutex);
        callback = m_callback;
        context = m_context;
    }
    if (callback == nullptr)
        return psHLSDK_INTERNAL_ERROR;
    return callback(eventCode, eventData, contextWord, context);
}

psResult TestDriver::releaseControl(uint32_t command, uint32_t inSize, const void *in, uint32_t outSize, void *out)
{
    const std::string name = "releaseControl " + std::to_string(command);
    record(name);
    {
        std::lock_guard lock(m_mutex);
        ReleaseCommand received{command, {}, outSize};
        if (in != nullptr)
            received.input.assign(static_cast<const uint8_t *>(in), static_cast<const uint8_t *>(in) + inSize);
        m_releaseCommands.push_back(std::move(received));
    }
    runHook(name);
    if (psResult status = answer(name))
        return status;
    if (psResult status = answer("releaseControl"))
        return status;

    switch (command) {
    case PS_RC_SET_RELEASE_PARAMS:
        if (in == nullptr || inSize != PS_RELEASE_PARAMS_SIZE)
            return psMakeError(psCOMPONENT_LLSDK, psERR_INVALID_LENGTH);
        std::memcpy(releaseParams.data(), in, PS_RELEASE_PARAMS_SIZE);
        return 0;
    case PS_RC_GET_RELEASE_PARAMS:
        if (out == nullptr || outSize != PS_RELEASE_PARAMS_SIZE)
            return psMakeError(psCOMPONENT_LLSDK, psERR_INVALID_LENGTH);
        std::memcpy(out, releaseParams.data(), PS_RELEASE_PARAMS_SIZE);
        return 0;
    case PS_RC_GET_SHOTS_REMAINING:
        if (out == nullptr || outSize != sizeof(uint32_t))
            return psMakeError(psCOMPONENT_LLSDK, psERR_INVALID_LENGTH);
        std::memcpy(out, &shotsRemaining, sizeof shotsRemaining);
        return 0;
    case PS_RC_READ_CAMERA_SETTING: {
        if (in == nullptr || out == nullptr || inSize != PS_CAMERA_SETTING_SIZE || outSize != PS_CAMERA_SETTING_SIZE)
            return psMakeError(psCOMPONENT_LLSDK, psERR_INVALID_LENGTH);
        uint8_t block[PS_CAMERA_SETTING_SIZE];
        std::memcpy(block, in, sizeof block);
        uint16_t item;
        std::memcpy(&item, block, sizeof item);
        const auto it = cameraSettings.find(item);
        if (it == cameraSettings.end())
            return psMakeError(psCOMPONENT_LLSDK, psERR_INVALID_PARAMETER);
        std::memcpy(block + 4, &it->second, sizeof it->second);
        std::memcpy(out, block, sizeof block);
        return 0;
    }
    default:
        return 0;
    }
}

psResult TestDriver::releasedImage(uint32_t kind, uint32_t sequence, pslStream *stream)
{
    record("getReleasedImage " + std::to_string(kind) + " " + std::to_string(sequence));
    runHook("getReleasedImage");
    if (psResult status = answer("getReleasedImage"))
        return status;
    const auto it = images.find({kind, sequence});
    if (it == images.end())
        return kNoSuchImage;
    const std::vector<uint8_t> &bytes = it->second;
    const size_t chunk = std::max<uint32_t>(chunkSize, 1);
    for (size_t offset = 0; offset < bytes.size(); offset += chunk) {
        const size_t size = std::min(chunk, bytes.size() - offset);
        if (psResult status = stream->ops->write(stream, bytes.data() + offset, static_cast<uint32_t>(size)))
            return status;
        stream->ops->progress(stream, static_cast<uint32_t>((offset + size) * 100 / bytes.size()));
    }
    return 0;
}

extern "C" {

psResult PSUGetDevicePort(uint16_t portType, uint32_t, void *, psPortDescrip *port, uint32_t, uint32_t)
{
    TestDriver &d = TestDriver::instance();
    d.record("PSUGetDevicePort " + std::to_string(portType));
    d.runHook("PSUGetDevicePort");
    if (psResult status = d.answer("PSUGetDevicePort"))
        return status;
    *port = d.port;
    port->portType = portType;
    return 0;
}

psResult PSULoadDriver(uint32_t modelId, pslBASE_API **driver, uint32_t flags)
{
    TestDriver &d = TestDriver::instance();
    d.record("PSULoadDriver " + std::to_string(modelId) + " " + std::to_string(flags));
    if (psResult status = d.answer("PSULoadDriver"))
        return status;
    *driver = d.loadDriverReturnsNull ? nullptr : &d.api;
    return 0;
}

psResult PSUGetInstalledCameraModelsEx2(pslStream *stream)
{
    TestDriver &d = TestDriver::instance();
    d.record("PSUGetInstalledCameraModelsEx2");
    if (psResult status = d.answer("PSUGetInstalledCameraModelsEx2"))
        return status;
    for (const psModelDescripEx2 &model : d.installedModels) {
        if (psResult status = stream->ops->write(stream, &model, sizeof model))
            return status;
    }
    return 0;
}

psResult PSSetLastModel(uint32_t modelId)
{
    TestDriver &d = TestDriver::instance();
    d.record("PSSetLastModel " + std::to_string(modelId));
    return d.answer("PSSetLastModel");
}

psResult PSUUnloadDriver(uint32_t modelId, pslBASE_API *, uint32_t flags)
{
    TestDriver &d = TestDriver::instance();
    d.record("PSUUnloadDriver " + std::to_string(modelId) + " " + std::to_string(flags));
    d.setCallback(nullptr, nullptr);
    return d.answer("PSUUnloadDriver");
}

} // extern "C"
