// Helpers of the simulated camera's tests: a memory stream, an event
// recorder standing in for the program's callback, and a connected device.
#ifndef QUILLOMAT_TESTS_SIMCAM_SIMTESTSUPPORT_H
#define QUILLOMAT_TESTS_SIMCAM_SIMTESTSUPPORT_H

#include "SimControl.h"

#include <psLLAPI.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace simcam::test {

// A stream that keeps what the driver writes; it can refuse a write.
struct MemoryStream : pslStream {
    std::vector<uint8_t> data;
    std::vector<uint32_t> progress;
    std::atomic<uint32_t> writes{0};
    uint32_t failOnWrite = 0;        // 1-based write that fails; 0 never
    psResult failure = 0xA0000005;   // what the failing write answers

    MemoryStream()
    {
        static const pslStreamOps kOps = {&MemoryStream::onWrite, &MemoryStream::onProgress};
        ops = &kOps;
    }

    static psResult onWrite(pslStream *stream, const void *bytes, uint32_t size)
    {
        auto *self = static_cast<MemoryStream *>(stream);
        ++self->writes;
        if (self->failOnWrite && self->writes == self->failOnWrite)
            return self->failure;
        const auto *p = static_cast<const uint8_t *>(bytes);
        self->data.insert(self->data.end(), p, p + size);
        return 0;
    }
    static psResult onProgress(pslStream *stream, uint32_t percent)
    {
        static_cast<MemoryStream *>(stream)->progress.push_back(percent);
        return 0;
    }
};

// One event as the program's callback saw it.
struct Event {
    uint32_t code = 0;
    uint32_t subEvent = 0;                // release-control events
    psImageEventRecord record{};          // image events
    std::string text() const;
};

// The program's side of the events: records every event and answers with
// a configurable result (and an optional action run inside the callback).
class EventRecorder {
public:
    static psResult callback(uint32_t code, const void *data, uint32_t contextWord, void *context);

    std::vector<Event> events() const;
    std::vector<std::string> texts() const;
    // Waits (bounded, generously) until an event with this code has arrived count times.
    bool waitFor(uint32_t code, uint32_t subEvent = 0, size_t count = 1);
    void setAnswer(uint32_t code, psResult answer);
    void setAction(std::function<void(const Event &)> action);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
    uint32_t m_answerCode = 0xFFFFFFFF;
    psResult m_answer = 0;
    std::function<void(const Event &)> m_action;
};

// The configuration every test starts from: a D60 (or the given model) with no delays.
SimConfig testConfig(const std::string &model = "EOS D60");

// A device opened through the setup calls and the driver, as the program does.
class Device {
public:
    explicit Device(const SimConfig &config, bool enterReleaseControl = true);
    ~Device();
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    psResult command(uint32_t command, uint32_t inSize = 0, const void *in = nullptr, uint32_t outSize = 0,
                     void *out = nullptr);
    std::array<uint8_t, 48> params();
    psResult setParams(const std::array<uint8_t, 48> &block);
    psResult setTransferFlags(uint16_t flags);
    psResult release();
    psResult fetch(uint32_t kind, uint32_t sequence, MemoryStream &stream);
    uint32_t shotsRemaining(psResult *status = nullptr);
    void close();

    pslBASE_API *driver = nullptr;
    psDeviceHandle handle = 0;
    EventRecorder recorder;
    std::shared_ptr<SimCamera> camera;
};

uint16_t word(const std::array<uint8_t, 48> &block, int offset);
void putWord(std::array<uint8_t, 48> &block, int offset, uint16_t value);

// A fresh folder under the build tree for one test.
std::filesystem::path testFolder();

// exiftool's numeric and printed values of a file: tag name -> value (-n when numeric).
std::map<std::string, std::string> exiftool(const std::filesystem::path &file, bool numeric);
bool haveExiftool();

} // namespace simcam::test

#endif
