#include "SimTestSupport.h"

#include <psError.h>

#include <atomic>
#include <cstdio>
#include <sstream>

namespace simcam::test {

std::string Event::text() const
{
    const uint32_t severity = code & PS_EVENT_SEVERITY_MASK;
    const uint32_t event = code & PS_EVENT_MASK;
    if (severity == PS_EVENT_SEVERITY_SHUTDOWN)
        return "shutdown " + std::to_string(event);
    if (severity == PS_EVENT_SEVERITY_WARNING)
        return "warning " + std::to_string(event);
    switch (event) {
    case PS_EVENT_RELEASE_CONTROL: return "release " + std::to_string(subEvent);
    case PS_EVENT_THUMBNAIL_ON_RELEASE: return "thumbnail";
    case PS_EVENT_FULLVIEW_ON_RELEASE: return "fullview";
    default: return "event " + std::to_string(event);
    }
}

psResult EventRecorder::callback(uint32_t code, const void *data, uint32_t, void *context)
{
    auto *self = static_cast<EventRecorder *>(context);
    Event event;
    event.code = code;
    const uint32_t number = code & PS_EVENT_MASK;
    const bool plain = (code & PS_EVENT_SEVERITY_MASK) == 0;
    if (plain && data && (number == PS_EVENT_RELEASE_CONTROL || number == PS_EVENT_CHANGE_LOCK_STATUS))
        std::memcpy(&event.subEvent, data, sizeof event.subEvent);
    if (plain && data && (number == PS_EVENT_THUMBNAIL_ON_RELEASE || number == PS_EVENT_FULLVIEW_ON_RELEASE))
        std::memcpy(&event.record, data, sizeof event.record);
    std::function<void(const Event &)> action;
    psResult answer = 0;
    {
        std::lock_guard lock(self->m_mutex);
        action = self->m_action;
        if (self->m_answerCode == code)
            answer = self->m_answer;
    }
    if (action)
        action(event);
    {
        std::lock_guard lock(self->m_mutex);
        self->m_events.push_back(event);
    }
    self->m_changed.notify_all();
    return answer;
}

std::vector<Event> EventRecorder::events() const
{
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<std::string> EventRecorder::texts() const
{
    std::vector<std::string> texts;
    for (const Event &event : events())
        texts.push_back(event.text());
    return texts;
}

bool EventRecorder::waitFor(uint32_t code, uint32_t subEvent, size_t count)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(60), [&] {
        size_t seen = 0;
        for (const Event &event : m_events)
            if (event.code == code && event.subEvent == subEvent)
                ++seen;
        return seen >= count;
    });
}

void EventRecorder::setAnswer(uint32_t code, psResult answer)
{
    std::lock_guard lock(m_mutex);
    m_answerCode = code;
    m_answer = answer;
}

void EventRecorder::setAction(std::function<void(const Event &)> action)
{
    std::lock_guard lock(m_mutex);
    m_action = std::move(action);
}

SimConfig testConfig(const std::string &model)
{
    SimConfig config = SimConfig::forModel(model);
    config.exposureCap = config.mirrorDelay = config.processingDelay = std::chrono::milliseconds(0);
    config.clock = *parseCameraTime("2002:06:02 08:30:00");
    return config;
}

Device::Device(const SimConfig &config, bool enterReleaseControl)
{
    configureCamera(config);
    camera = simulatedCamera();
    psPortDescrip port{};
    EXPECT_EQ(PSUGetDevicePort(PS_PORT_TYPE_USB, 0, nullptr, &port, 0, 1), 0u);
    EXPECT_EQ(PSULoadDriver(0, &driver, 1), 0u);
    if (!driver)
        return;
    EXPECT_EQ(driver->openDevice(driver, &port, &EventRecorder::callback, &recorder, &handle), 0u);
    if (enterReleaseControl) {
        EXPECT_EQ(command(PS_RC_ENTER), 0u);
    }
}

Device::~Device()
{
    close();
}

void Device::close()
{
    if (driver && handle) {
        driver->closeDevice(driver, handle);
        handle = 0;
    }
    if (driver) {
        PSUUnloadDriver(0, driver, 1);
        driver = nullptr;
    }
}

psResult Device::command(uint32_t number, uint32_t inSize, const void *in, uint32_t outSize, void *out)
{
    return driver->releaseControl(driver, handle, number, inSize, in, outSize, out);
}

std::array<uint8_t, 48> Device::params()
{
    std::array<uint8_t, 48> block{};
    EXPECT_EQ(command(PS_RC_GET_RELEASE_PARAMS, 0, nullptr, 48, block.data()), 0u);
    return block;
}

psResult Device::setParams(const std::array<uint8_t, 48> &block)
{
    return command(PS_RC_SET_RELEASE_PARAMS, 48, block.data());
}

psResult Device::setTransferFlags(uint16_t flags)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(flags & 0xFF), static_cast<uint8_t>(flags >> 8), 0, 0};
    return command(PS_RC_SET_TRANSFER_FLAGS, 4, bytes);
}

psResult Device::release()
{
    return command(PS_RC_RELEASE);
}

psResult Device::fetch(uint32_t kind, uint32_t sequence, MemoryStream &stream)
{
    return driver->getReleasedImage(driver, handle, kind, sequence, &stream);
}

uint32_t Device::shotsRemaining(psResult *status)
{
    uint32_t shots = 0;
    const psResult result = command(PS_RC_GET_SHOTS_REMAINING, 0, nullptr, 4, &shots);
    if (status)
        *status = result;
    return shots;
}

uint16_t word(const std::array<uint8_t, 48> &block, int offset)
{
    return static_cast<uint16_t>(block[static_cast<size_t>(offset)] | (block[static_cast<size_t>(offset) + 1] << 8));
}

void putWord(std::array<uint8_t, 48> &block, int offset, uint16_t value)
{
    block[static_cast<size_t>(offset)] = static_cast<uint8_t>(value & 0xFF);
    block[static_cast<size_t>(offset) + 1] = static_cast<uint8_t>(value >> 8);
}

std::filesystem::path testFolder()
{
    static std::atomic<int> counter{0};
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "_" + info->name() : "simcam";
    for (char &c : name)
        if (c == '/')
            c = '_';
    const std::filesystem::path path = std::filesystem::path(QUILLOMAT_TEST_BINARY_DIR) / "test-output" / "simcam" /
                                       (name + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

bool haveExiftool()
{
    return std::system("exiftool -ver > /dev/null 2>&1") == 0;
}

std::map<std::string, std::string> exiftool(const std::filesystem::path &file, bool numeric)
{
    std::map<std::string, std::string> tags;
    const std::string command =
        std::string("exiftool -S -a -G1 ") + (numeric ? "-n " : "") + "'" + file.string() + "' 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return tags;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        const auto close = text.find("] ");
        const auto colon = text.find(": ", close == std::string::npos ? 0 : close);
        if (text.empty() || text[0] != '[' || close == std::string::npos || colon == std::string::npos)
            continue;
        const std::string group = text.substr(1, close - 1);
        const std::string name = text.substr(close + 2, colon - close - 2);
        tags[group + ":" + name] = text.substr(colon + 2);
    }
    ::pclose(pipe);
    return tags;
}

} // namespace simcam::test
