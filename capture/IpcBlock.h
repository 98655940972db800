// The 1024-byte block another program and Quillomat share to drive the
// program: its fields, the command and status codes, and whole-field access
// to one mapped copy. Quillomat and its clients (quillomat-ipc) both use this
// header, so the layout lives in one place.
//
// Fields are little-endian and 4-byte aligned. The client fills in command,
// parameter and text, then sends one word on the socket; Quillomat answers
// with status, window and text, and on its own writes the progress field and
// the status-4 notification after each photo.
//
// Clients take turns with a lock on the shared object (IpcSharedBlock), which
// Quillomat only ever tries, to keep its notifications from overwriting a
// command being filled in. Quillomat keeps a sequence word (in the part
// the original layout leaves unused): odd while it writes status, window and
// text, even once they are complete, and two higher after every such write.
// A reader copies the fields between two equal, even readings, so it never
// sees half an answer, and a change of the word tells it that something new
// was written even when the status and text are the same as before.
#ifndef QUILLOMAT_CAPTURE_IPCBLOCK_H
#define QUILLOMAT_CAPTURE_IPCBLOCK_H

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

struct IpcBlock {
    static constexpr std::size_t kSize = 1024;

    static constexpr std::size_t kCommand = 0;    // int32, client
    static constexpr std::size_t kParameter = 4;  // int32, client: list position of commands 4 and 5
    static constexpr std::size_t kStatus = 8;     // int32, Quillomat
    static constexpr std::size_t kText = 12;      // 768 bytes, zero-terminated, both
    static constexpr std::size_t kWindow = 780;   // uint32, Quillomat: its process id
    static constexpr std::size_t kProgress = 784; // int32, Quillomat: transfer progress 0 to 100
    static constexpr std::size_t kSequence = 788; // uint32, Quillomat: see above

    static constexpr std::size_t kTextSize = 768;
    // The longest text: the last byte is kept for the terminating zero, and
    // a text without one is read as this many bytes.
    static constexpr std::size_t kMaxText = kTextSize - 1;
    // Command 8 takes comments of at most this many bytes.
    static constexpr std::size_t kMaxComment = 255;
};

enum class IpcCommand : int32_t {
    ReportState = 1,
    Release = 2,
    NoOperation = 3,  // kept for the old protocol: refused while connected
    SetShutterSpeed = 4,
    SetAperture = 5,
    SetImageDirectory = 6,
    ReportImageDirectory = 7,
    SetComment = 8,
};

enum class IpcStatus : int32_t {
    NotConnected = 1,
    Idle = 2,            // text: the camera's model
    ReleaseStarted = 3,
    PhotoSaved = 4,      // notification: the saved file's path, empty when nothing was saved
    Busy = 5,            // also: command 4 outside Tv and Manual
    Done = 6,            // command 7: text is the image directory
    NotDone = 7,
};

// What a status code means, for people reading a client's output.
inline const char *ipcStatusMeaning(int32_t status)
{
    switch (status) {
    case 1: return "no camera connected";
    case 2: return "connected and idle";
    case 3: return "release started";
    case 4: return "photo taken";
    case 5: return "camera busy or not in a suitable mode";
    case 6: return "done";
    case 7: return "not done";
    default: return "unknown status";
    }
}

// One consistent reading of what Quillomat last wrote.
struct IpcAnswer {
    int32_t status = 0;
    uint32_t window = 0;
    std::string text;
    uint32_t sequence = 0;
};

// The fields of one block in memory (a mapping, or a buffer in tests).
// Words are read and written whole, so the other side never sees half of
// one; the text is copied out before it is looked at, so bytes changing
// underneath never lead outside the block.
class IpcBlockView {
public:
    explicit IpcBlockView(unsigned char *bytes) : m_bytes(bytes) {}

    unsigned char *bytes() const { return m_bytes; }

    uint32_t word(std::size_t offset) const
    {
        uint32_t value;
        std::memcpy(&value, m_bytes + offset, sizeof value);
        return fromLittleEndian(value);
    }

    void setWord(std::size_t offset, uint32_t value)
    {
        const uint32_t little = fromLittleEndian(value);
        std::memcpy(m_bytes + offset, &little, sizeof little);
    }

    int32_t signedWord(std::size_t offset) const { return static_cast<int32_t>(word(offset)); }
    void setSignedWord(std::size_t offset, int32_t value) { setWord(offset, static_cast<uint32_t>(value)); }

    // The text up to its terminating zero, at most kMaxText bytes.
    std::string text() const
    {
        char copy[IpcBlock::kTextSize];
        std::memcpy(copy, m_bytes + IpcBlock::kText, sizeof copy);
        const char *end = std::find(copy, copy + IpcBlock::kMaxText, '\0');
        return std::string(copy, static_cast<std::size_t>(end - copy));
    }

    // Writes the text with its terminating zero; false, with nothing
    // written, when it is longer than kMaxText or holds a zero byte.
    bool setText(std::string_view text)
    {
        if (text.size() > IpcBlock::kMaxText || text.find('\0') != std::string_view::npos)
            return false;
        if (!text.empty())
            std::memcpy(m_bytes + IpcBlock::kText, text.data(), text.size());
        m_bytes[IpcBlock::kText + text.size()] = 0;
        return true;
    }

    // Quillomat's answer or notification, inside one odd-even step of the
    // sequence word (`sequence` is the writer's own count, kept even).
    // False, with nothing written, when the text does not fit.
    bool writeAnswer(uint32_t &sequence, uint32_t window, int32_t status, std::string_view text)
    {
        if (text.size() > IpcBlock::kMaxText || text.find('\0') != std::string_view::npos)
            return false;
        setWord(IpcBlock::kSequence, sequence + 1);
        std::atomic_thread_fence(std::memory_order_release);
        setText(text);
        setWord(IpcBlock::kWindow, window);
        setSignedWord(IpcBlock::kStatus, status);
        std::atomic_thread_fence(std::memory_order_release);
        sequence += 2;
        setWord(IpcBlock::kSequence, sequence);
        return true;
    }

    // Copies status, window and text between two equal, even readings of
    // the sequence word. A writer that never finishes (a block scribbled on
    // by someone else) gives the last copy after a bounded number of tries.
    IpcAnswer readAnswer() const
    {
        IpcAnswer answer;
        for (int attempt = 0; attempt < 10000; ++attempt) {
            const uint32_t before = word(IpcBlock::kSequence);
            std::atomic_thread_fence(std::memory_order_acquire);
            answer.status = signedWord(IpcBlock::kStatus);
            answer.window = word(IpcBlock::kWindow);
            answer.text = text();
            std::atomic_thread_fence(std::memory_order_acquire);
            answer.sequence = word(IpcBlock::kSequence);
            if (answer.sequence == before && (before & 1u) == 0)
                break;
        }
        return answer;
    }

private:
    static uint32_t fromLittleEndian(uint32_t value)
    {
        if constexpr (std::endian::native == std::endian::little)
            return value;
        else
            return ((value & 0xFFu) << 24) | ((value & 0xFF00u) << 8) | ((value >> 8) & 0xFF00u) | (value >> 24);
    }

    unsigned char *m_bytes;
};

#endif
