// Cancelling a paced transfer: a refused write or a closed device ends it at
// once, however slow the cable. The waits here are only hang guards.
#include "SimTestSupport.h"

#include <psError.h>

#include <future>
#include <thread>

namespace simcam::test {
namespace {

const uint32_t kComplete = PS_RELEASE_EVENT_RELEASE_COMPLETE;
constexpr auto kHangGuard = std::chrono::seconds(60);

// A stream the program cancels from another thread, as psMemoryStream does.
struct CancellableStream : pslStream {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint32_t> pieces;
    std::atomic<bool> cancelled{false};

    CancellableStream()
    {
        static const pslStreamOps kOps = {&CancellableStream::onWrite, nullptr};
        ops = &kOps;
    }
    static psResult onWrite(pslStream *stream, const void *, uint32_t size)
    {
        auto *self = static_cast<CancellableStream *>(stream);
        if (self->cancelled)
            return driverCancelled();
        {
            std::lock_guard lock(self->mutex);
            self->pieces.push_back(size);
        }
        self->changed.notify_all();
        return 0;
    }
    static psResult driverCancelled() { return psMakeError(psCOMPONENT_LLSDK, psERR_OPERATION_CANCELLED); }
    bool waitForPiece()
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kHangGuard, [&] { return !pieces.empty(); });
    }
};

// The first shot's full-view sequence word, on a camera paced at `transfer`.
uint32_t shoot(Device &device)
{
    EXPECT_EQ(device.release(), 0u);
    EXPECT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    for (const Event &event : device.recorder.events())
        if ((event.code & PS_EVENT_MASK) == PS_EVENT_FULLVIEW_ON_RELEASE)
            return event.record.sequence;
    ADD_FAILURE() << "no full view";
    return 0;
}

TEST(SimTransferCancel, RefusedWriteEndsASlowTransferWithinOnePiece)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("transfer=1000"));
    Device device(config);
    const uint32_t sequence = shoot(device);
    CancellableStream stream;
    auto fetch = std::async(std::launch::async, [&] {
        return device.driver->getReleasedImage(device.driver, device.handle, PS_IMAGE_KIND_FULLVIEW, sequence,
                                               &stream);
    });
    ASSERT_TRUE(stream.waitForPiece());
    stream.cancelled = true;
    ASSERT_EQ(fetch.wait_for(kHangGuard), std::future_status::ready) << "the transfer went on";
    EXPECT_EQ(fetch.get(), CancellableStream::driverCancelled());
    // At 1000 bytes a second a piece is what the cable carries in 50 ms.
    std::lock_guard lock(stream.mutex);
    ASSERT_FALSE(stream.pieces.empty());
    for (uint32_t piece : stream.pieces)
        EXPECT_EQ(piece, 50u);
}

TEST(SimTransferCancel, SlowestRateSendsOneBytePieces)
{
    SimConfig config = testConfig();
    config.transferBytesPerSecond = 1;   // below the slowest pace: taken as the slowest
    Device device(config);
    const uint32_t sequence = shoot(device);
    CancellableStream stream;
    auto fetch = std::async(std::launch::async, [&] {
        return device.driver->getReleasedImage(device.driver, device.handle, PS_IMAGE_KIND_THUMBNAIL, sequence,
                                               &stream);
    });
    ASSERT_TRUE(stream.waitForPiece());
    stream.cancelled = true;
    ASSERT_EQ(fetch.wait_for(kHangGuard), std::future_status::ready) << "the transfer went on";
    EXPECT_EQ(fetch.get(), CancellableStream::driverCancelled());
    std::lock_guard lock(stream.mutex);
    EXPECT_EQ(stream.pieces.front(), 1u);
}

TEST(SimTransferCancel, ClosingDuringAVerySlowTransferReturnsAtOnce)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("transfer=20"));
    Device device(config);
    const uint32_t sequence = shoot(device);
    CancellableStream stream;
    auto fetch = std::async(std::launch::async, [&] {
        return device.driver->getReleasedImage(device.driver, device.handle, PS_IMAGE_KIND_FULLVIEW, sequence,
                                               &stream);
    });
    ASSERT_TRUE(stream.waitForPiece());
    device.close();
    ASSERT_EQ(fetch.wait_for(kHangGuard), std::future_status::ready) << "the transfer went on";
    EXPECT_EQ(psErrorCode(fetch.get()), psERR_OPERATION_CANCELLED);
    EXPECT_FALSE(device.camera->deviceOpen());
}

TEST(SimTransferCancel, ClosingEndsASlowTransferOnTheDriversThreadAndJoinsIt)
{
    // The program may fetch from inside the image event; closing must still
    // end that transfer and join the driver's thread.
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("transfer=20"));
    Device device(config);
    CancellableStream stream;
    std::atomic<psResult> status{0};
    device.recorder.setAction([&](const Event &event) {
        if ((event.code & PS_EVENT_MASK) == PS_EVENT_FULLVIEW_ON_RELEASE)
            status = device.driver->getReleasedImage(device.driver, device.handle, PS_IMAGE_KIND_FULLVIEW,
                                                     event.record.sequence, &stream);
    });
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(stream.waitForPiece());
    auto closing = std::async(std::launch::async, [&] { device.close(); });
    ASSERT_EQ(closing.wait_for(kHangGuard), std::future_status::ready) << "the driver's thread did not end";
    EXPECT_EQ(psErrorCode(status), psERR_OPERATION_CANCELLED);
    EXPECT_FALSE(device.camera->deviceOpen());
    // The release never completed: the device was gone before its end.
    const auto texts = device.recorder.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "release 29"), 0);
}

} // namespace
} // namespace simcam::test
