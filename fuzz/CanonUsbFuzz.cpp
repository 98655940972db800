// The served camera's side of the USB protocol on arbitrary host traffic:
// after the wake-up handshake, each input is a run of transfers (control
// reads and writes, commands with any header, bulk and interrupt reads).
// The camera must answer each as a camera does, never crash or hang.
#include "CanonUsbCamera.h"
#include "CardFolder.h"
#include "SimCamera.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

namespace {

struct Reader {
    const uint8_t *data;
    size_t size;
    size_t at = 0;

    bool more() const { return at < size; }
    uint32_t take(int bytes)
    {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= uint32_t{at < size ? data[at++] : uint8_t{0}} << (8 * i);
        return value;
    }
    simcam::Bytes bytes(size_t count)
    {
        count = std::min(count, size - at);
        simcam::Bytes out(data + at, data + at + count);
        at += count;
        return out;
    }
};

simcam::Bytes commandBlock(uint8_t cmd1, uint8_t cmd2, uint32_t cmd3, const simcam::Bytes &payload)
{
    simcam::Bytes block(0x50 + payload.size(), 0);
    const uint32_t length = 0x10 + static_cast<uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) {
        block[i] = static_cast<uint8_t>(length >> (8 * i));
        block[4 + i] = static_cast<uint8_t>(cmd3 >> (8 * i));
        block[0x48 + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    block[0x40] = 2;
    block[0x44] = cmd1;
    block[0x47] = cmd2;
    std::copy(payload.begin(), payload.end(), block.begin() + 0x50);
    return block;
}

std::shared_ptr<simcam::SimCamera> camera()
{
    static const auto camera = [] {
        simcam::SimConfig config = simcam::SimConfig::forModel("EOS D60");
        config.mirrorDelay = config.processingDelay = config.exposureCap = std::chrono::milliseconds(0);
        return std::make_shared<simcam::SimCamera>(config);
    }();
    return camera;
}

std::shared_ptr<simcam::CardFolder> card()
{
    // The card of this run, removed when the run ends.
    struct Removed {
        std::string root;
        ~Removed() { std::filesystem::remove_all(root); std::filesystem::remove_all(root + ".thumbnails"); }
    };
    static Removed removed;
    static const auto card = [] {
        const char *tmp = std::getenv("TMPDIR");
        auto folder = std::make_shared<simcam::CardFolder>(std::string(tmp && *tmp ? tmp : "/tmp") +
                                                           "/quillomat-canonusb-fuzz-" + std::to_string(getpid()));
        folder->prepare(nullptr);
        removed.root = folder->root();
        return folder;
    }();
    return card;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    simcam::CanonUsbCamera usb(camera(), card(), [](const std::string &) {});
    if (!usb.attach())
        return 0;
    usb.controlRead(0x0c, 0x55, 0, 1);
    usb.controlRead(0x04, 0x01, 0, 0x58);
    usb.controlWrite(0x04, 0x11, 0, simcam::Bytes(0x50, 0));
    usb.bulkRead(0x44);
    usb.interruptRead(0x10, std::chrono::milliseconds(0));

    Reader in{data, size};
    for (int step = 0; step < 64 && in.more(); ++step) {
        switch (in.take(1) % 6) {
        case 0: {
            const uint8_t request = static_cast<uint8_t>(in.take(1));
            const uint16_t value = static_cast<uint16_t>(in.take(2));
            usb.controlRead(request, value, 0, in.take(2) & 0x3FF);
            break;
        }
        case 1: {
            const uint8_t request = static_cast<uint8_t>(in.take(1));
            const uint16_t value = static_cast<uint16_t>(in.take(2));
            usb.controlWrite(request, value, 0, in.bytes(in.take(2) & 0x7FF));
            break;
        }
        case 2:
        case 3: {
            // A well-framed command, so that every handler is reached.
            const uint8_t cmd1 = static_cast<uint8_t>(in.take(1));
            const uint8_t cmd2 = (in.take(1) & 1) ? 0x12 : 0x11;
            const uint32_t cmd3 = (in.take(1) & 1) ? 0x202 : 0x201;
            usb.controlWrite(0x04, 0x10, 0, commandBlock(cmd1, cmd2, cmd3, in.bytes(in.take(1))));
            break;
        }
        case 4:
            usb.bulkRead(in.take(3) & 0xFFFFF);
            break;
        case 5:
            usb.interruptRead(0x40, std::chrono::milliseconds(0));
            break;
        }
    }
    usb.detach();
    return 0;
}
