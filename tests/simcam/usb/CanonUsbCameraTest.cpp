// The camera's side of the protocol on its own: the handshake, and the
// answers a camera gives to requests it cannot take.
#include "CanonUsbCamera.h"
#include "CardFolder.h"
#include "SimCamera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using simcam::Bytes;

constexpr uint32_t kBadParameters = 0x02000086;

Bytes command(uint8_t cmd1, uint8_t cmd2, uint32_t cmd3, const Bytes &payload = {})
{
    Bytes block(0x50 + payload.size(), 0);
    auto put32 = [&block](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            block[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, 0x10 + static_cast<uint32_t>(payload.size()));
    put32(4, cmd3);
    block[0x40] = 2;
    block[0x44] = cmd1;
    block[0x47] = cmd2;
    put32(0x48, 0x10 + static_cast<uint32_t>(payload.size()));
    std::copy(payload.begin(), payload.end(), block.begin() + 0x50);
    return block;
}

uint32_t status(const Bytes &reply)
{
    return reply.size() < 0x54 ? 0xFFFFFFFF
                               : reply[0x50] | (reply[0x51] << 8) | (reply[0x52] << 16) | (uint32_t{reply[0x53]} << 24);
}

class CanonUsbCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = std::filesystem::path(QUILLOMAT_TEST_BINARY_DIR) / "test-home" /
                 ("usb-unit-" + std::to_string(::getpid()));
        m_camera = std::make_shared<simcam::SimCamera>(simcam::SimConfig::forModel("EOS D60"));
        m_card = std::make_shared<simcam::CardFolder>((m_root / "card").string());
        m_usb = std::make_unique<simcam::CanonUsbCamera>(m_camera, m_card,
                                                         [this](const std::string &name) { m_unknown.push_back(name); });
        ASSERT_TRUE(m_usb->attach());
    }
    void TearDown() override
    {
        m_usb.reset();
        std::filesystem::remove_all(m_root);
    }

    void wakeUp()
    {
        ASSERT_EQ(m_usb->controlRead(0x0c, 0x55, 0, 1), Bytes{'C'});
        auto block = m_usb->controlRead(0x04, 0x01, 0, 0x58);
        ASSERT_TRUE(block && block->size() == 0x58);
        ASSERT_TRUE(m_usb->controlWrite(0x04, 0x11, 0, Bytes(0x50, 0)));
        EXPECT_EQ(m_usb->bulkRead(0x40).size() + m_usb->bulkRead(4).size(), 0x44u);
        EXPECT_EQ(m_usb->interruptRead(0x10, std::chrono::milliseconds(0))->size(), 0x10u);
    }

    Bytes ask(const Bytes &block)
    {
        if (!m_usb->controlWrite(0x04, 0x10, 0, block))
            return {};
        return m_usb->bulkRead(0x10000);
    }

    std::filesystem::path m_root;
    std::shared_ptr<simcam::SimCamera> m_camera;
    std::shared_ptr<simcam::CardFolder> m_card;
    std::unique_ptr<simcam::CanonUsbCamera> m_usb;
    std::vector<std::string> m_unknown;
};

TEST_F(CanonUsbCameraTest, IdentifiesItselfAfterTheHandshake)
{
    wakeUp();
    const Bytes reply = ask(command(0x01, 0x12, 0x201));
    ASSERT_EQ(reply.size(), 0x9cu);
    EXPECT_EQ(status(reply), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(reply.data() + 0x5c)), "Canon EOS D60");
    EXPECT_TRUE(m_unknown.empty());
}

TEST_F(CanonUsbCameraTest, RequestsItCannotTakeGetACameraAnswerAndAreNamed)
{
    // Before the handshake a camera takes no command.
    EXPECT_FALSE(m_usb->controlWrite(0x04, 0x10, 0, command(0x01, 0x12, 0x201)));
    wakeUp();

    Bytes wrongLength = command(0x01, 0x12, 0x201);
    wrongLength[0] = 0x30;
    struct Case {
        const char *what;
        Bytes block;
        bool taken;          // the control transfer itself succeeds
        const char *logged;  // the name the camera's log gives it
    };
    const std::vector<Case> cases = {
        {"too short", Bytes(0x20, 0), false, nullptr},
        {"lengths disagree", wrongLength, true, "malformed command block"},
        {"unknown command", command(0x42, 0x12, 0x201), true, "command 0x42 0x12 0x201"},
        {"unknown remote subcommand", command(0x13, 0x12, 0x201, Bytes{0x33, 0, 0, 0, 0, 0, 0, 0}), true,
         "remote camera control subcommand 0x33"},
        {"owner without its end", command(0x05, 0x12, 0x201, Bytes(40, 'x')), true, nullptr},
        {"file outside the card", command(0x01, 0x11, 0x202, Bytes{0, 0, 0, 0, 0, 0, 0, 0, 'C', ':', '\\', 0}), true,
         nullptr},
    };
    for (const Case &c : cases) {
        m_unknown.clear();
        const bool taken = m_usb->controlWrite(0x04, 0x10, 0, c.block);
        EXPECT_EQ(taken, c.taken) << c.what;
        const Bytes reply = m_usb->bulkRead(0x10000);
        if (c.logged) {
            ASSERT_EQ(m_unknown.size(), 1u) << c.what;
            EXPECT_EQ(m_unknown[0], c.logged);
            EXPECT_EQ(status(reply), kBadParameters) << c.what;
        } else if (taken) {
            EXPECT_TRUE(m_unknown.empty()) << c.what;
            EXPECT_FALSE(reply.empty()) << c.what << ": the host waits for an answer";
        }
    }
    // The camera still answers after all of that.
    EXPECT_EQ(status(ask(command(0x01, 0x12, 0x201))), 0u);
}

} // namespace
