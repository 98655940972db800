// The IPC dispatcher on an arbitrary block, in every state of the window:
// connected or not, busy or idle, each exposure mode, lists of every size,
// the camera taking a value or not, the release starting or refused, with and
// without preferences. Whatever the block holds, the window is only asked
// for what its rules allow, the answer is well formed, and a block that holds
// no command is left exactly as it was.
#include "IpcDispatcher.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kWindowId = 4242;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

class FuzzWindow : public IpcWindow {
public:
    bool connected = false;
    bool busy = false;
    std::string mode;
    int tvSize = 0;
    int avSize = 0;
    bool cameraTakes = false;
    bool releaseStarts = false;
    bool preferences = false;

    bool isConnected() const override { return connected; }
    bool isBusy() const override { return busy; }
    std::string cameraModelName() const override { return "EOS D30"; }
    std::string modeText() const override { return mode; }
    bool release() override
    {
        check(connected && !busy);
        return releaseStarts;
    }
    int listSize(StepList list) const override { return list == StepList::ShutterSpeed ? tvSize : avSize; }
    bool selectListPosition(StepList list, int position) override
    {
        check(connected && !busy);
        check(position >= 0 && position < listSize(list));
        return cameraTakes;
    }
    void setBaseDirectory(const std::string &path) override
    {
        check(!(connected && busy));
        check(!path.empty() && path.front() == '/' && (path.size() == 1 || path.back() != '/'));
        check(isValidUtf8(path) && path.find('\0') == std::string::npos);
    }
    std::optional<ImageDirectorySettings> imageDirectorySettings() const override
    {
        if (!preferences)
            return std::nullopt;
        return ImageDirectorySettings{"/photos/" + mode, "", true, !busy, connected, cameraTakes};
    }
    LocalDate today() const override { return {2002, 5, 17}; }
    void setComment(const std::string &text) override { check(text.size() <= 255 && isValidUtf8(text)); }
    uint32_t windowId() const override { return kWindowId; }
};

const char *const kModes[] = {"Mode: Manual", "Mode: Tv", "Mode: Av", "Mode: Program",
                              "Mode: A-DEP",  "Mode: Sport", "Mode",   ""};
const int kListSizes[] = {0, 1, 37, 54};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > IpcBlock::kSize)
        return 0;
    alignas(4) std::array<unsigned char, IpcBlock::kSize> input{};
    std::memcpy(input.data(), data, size);
    const int32_t command = IpcBlockView(input.data()).signedWord(IpcBlock::kCommand);
    const bool isCommand = command >= 1 && command <= 8;

    FuzzWindow window;
    // Directories are judged by their length: nothing on disk is touched.
    IpcDispatcher dispatcher(window, [](const std::string &path) { return path.size() % 3 != 0; });
    for (unsigned state = 0; state < 128 * std::size(kModes); ++state) {
        window.connected = state & 1u;
        window.busy = state & 2u;
        window.cameraTakes = state & 4u;
        window.releaseStarts = state & 8u;
        window.preferences = state & 16u;
        const unsigned lists = (state >> 5) & 3u;
        window.tvSize = kListSizes[lists];
        window.avSize = kListSizes[3 - lists];
        window.mode = kModes[state / 128];

        alignas(4) std::array<unsigned char, IpcBlock::kSize> block = input;
        IpcChannel channel{std::span<unsigned char, IpcBlock::kSize>(block)};
        check(dispatcher.handle(channel) == 1);
        if (!isCommand) {
            check(block == input);
            continue;
        }
        const IpcBlockView view(block.data());
        const IpcAnswer answer = view.readAnswer();
        check(answer.status >= 1 && answer.status <= 7 && answer.status != 4);
        check(answer.window == kWindowId);
        check((answer.sequence & 1u) == 0);
        check(std::memchr(block.data() + IpcBlock::kText, 0, IpcBlock::kTextSize) != nullptr);
        // The client's own fields stay the client's.
        check(std::memcmp(block.data(), input.data(), 8) == 0);
        // What follows the fields is nobody's.
        check(std::memcmp(block.data() + IpcBlock::kSequence + 4, input.data() + IpcBlock::kSequence + 4,
                          IpcBlock::kSize - IpcBlock::kSequence - 4) == 0);
    }
    return 0;
}
