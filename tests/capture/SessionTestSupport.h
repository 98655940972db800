// Shared set-up of the session tests on the scriptable driver: a connected
// session with no settling pauses, a recording window filing images into a
// private folder, and helpers that play the driver's events.
#ifndef QUILLOMAT_TESTS_CAPTURE_SESSIONTESTSUPPORT_H
#define QUILLOMAT_TESTS_CAPTURE_SESSIONTESTSUPPORT_H

#include "Camera.h"
#include "DebugCapture.h"
#include "RecordingWindow.h"
#include "TemporaryDirectory.h"
#include "TestDriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

inline uint32_t sequenceWord(uint32_t id)
{
    return id << PS_SEQUENCE_ID_SHIFT;
}

// A JPEG-shaped block of bytes: enough for the release thread, which never
// decodes the picture.
inline std::vector<uint8_t> fakeJpeg(uint8_t fill, size_t size = 3000)
{
    std::vector<uint8_t> bytes(size, fill);
    bytes[0] = 0xFF;
    bytes[1] = 0xD8;
    bytes[size - 2] = 0xFF;
    bytes[size - 1] = 0xD9;
    return bytes;
}

inline void putU16(std::vector<uint8_t> &data, size_t at, uint16_t value)
{
    data[at] = static_cast<uint8_t>(value);
    data[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void putU32(std::vector<uint8_t> &data, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A minimal CRW: a 26-byte header, the heap with an unrelated record and
// the embedded JPEG, and a root directory of two entries at the end.
inline std::vector<uint8_t> fakeCrw(const std::vector<uint8_t> &jpeg)
{
    const uint32_t header = 26;
    std::vector<uint8_t> data(header, 0);
    data[0] = 'I';
    data[1] = 'I';
    putU32(data, 2, header);
    std::memcpy(data.data() + 6, "HEAPCCDR", 8);
    const std::vector<uint8_t> other(40, 0x55);
    const uint32_t otherOffset = 0;
    data.insert(data.end(), other.begin(), other.end());
    const uint32_t jpegOffset = static_cast<uint32_t>(data.size() - header);
    data.insert(data.end(), jpeg.begin(), jpeg.end());
    const uint32_t directory = static_cast<uint32_t>(data.size() - header);
    data.resize(data.size() + 2 + 2 * 10 + 4, 0);
    const size_t at = header + directory;
    putU16(data, at, 2);
    putU16(data, at + 2, 0x2008);
    putU32(data, at + 4, static_cast<uint32_t>(other.size()));
    putU32(data, at + 8, otherOffset);
    putU16(data, at + 12, 0x2007);
    putU32(data, at + 14, static_cast<uint32_t>(jpeg.size()));
    putU32(data, at + 18, jpegOffset);
    putU32(data, data.size() - 4, directory);
    return data;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_driver = &TestDriver::reset();
        ImageDirectorySettings settings;
        settings.baseDirectory = m_folder.str();
        settings.yearSubDir = settings.monthSubDir = settings.daySubDir = false;
        m_window.setSettings(settings);
    }

    std::unique_ptr<Camera> connect(CameraConfig config = {})
    {
        config.settleTime = std::chrono::milliseconds(0);
        return std::make_unique<Camera>(m_window, PS_PORT_TYPE_USB, config);
    }

    void fireImage(uint32_t event, uint32_t id, uint8_t format = PS_IMAGE_FORMAT_JPEG, const char *name = "IMG_0001.JPG")
    {
        psImageEventRecord record{};
        record.sequence = sequenceWord(id);
        record.format = format;
        record.dataSize = 1234;
        std::strncpy(record.fileName, name, sizeof record.fileName - 1);
        EXPECT_EQ(m_driver->fireEvent(event, &record), 0u);
    }
    void fireReleaseEvent(uint32_t subEvent)
    {
        EXPECT_EQ(m_driver->fireEvent(PS_EVENT_RELEASE_CONTROL, &subEvent), 0u);
    }
    // One shot as the camera announces it: start, thumbnail, full view, complete.
    void fireShot(uint32_t id, uint8_t format = PS_IMAGE_FORMAT_JPEG)
    {
        fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_START);
        fireImage(PS_EVENT_THUMBNAIL_ON_RELEASE, id, format);
        fireImage(PS_EVENT_FULLVIEW_ON_RELEASE, id, format);
        fireReleaseEvent(PS_RELEASE_EVENT_RELEASE_COMPLETE);
    }
    void waitForReleaseComplete(size_t n = 1)
    {
        ASSERT_TRUE(m_window.waitForCount("WM_CAMERA_RELEASE_COMPLETE", n));
    }
    // The images the release thread asked for, as "kind sequenceID".
    std::vector<std::string> fetches() const
    {
        std::vector<std::string> result;
        for (const std::string &call : m_driver->calls()) {
            if (!call.starts_with("getReleasedImage "))
                continue;
            const size_t space = call.rfind(' ');
            const uint32_t word = static_cast<uint32_t>(std::stoul(call.substr(space + 1)));
            result.push_back(call.substr(17, space - 17) + " " + std::to_string(word >> PS_SEQUENCE_ID_SHIFT));
        }
        return result;
    }
    // The input bytes of every release-control command with that number.
    std::vector<std::vector<uint8_t>> commandInputs(uint32_t command) const
    {
        std::vector<std::vector<uint8_t>> result;
        for (const TestDriver::ReleaseCommand &c : m_driver->releaseCommands())
            if (c.command == command)
                result.push_back(c.input);
        return result;
    }
    static uint16_t flagsOf(const std::vector<uint8_t> &input)
    {
        return input.size() >= 2 ? static_cast<uint16_t>(input[0] | (input[1] << 8)) : 0xFFFF;
    }

    TemporaryDirectory m_folder;
    RecordingWindow m_window;
    DebugCapture m_debug;
    TestDriver *m_driver = nullptr;
};

#endif
