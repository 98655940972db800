// Releases from the PC and from the camera: the events, the records and the bytes.
#include "SimTestSupport.h"

#include "ShotImages.h"

#include <psError.h>

#include <thread>

namespace simcam::test {
namespace {

const uint32_t kStart = PS_RELEASE_EVENT_RELEASE_START;
const uint32_t kComplete = PS_RELEASE_EVENT_RELEASE_COMPLETE;

struct TransferCase {
    const char *model;
    const char *quality;
    uint16_t flags;
};

std::string caseName(const ::testing::TestParamInfo<TransferCase> &info)
{
    std::string name = std::string(info.param.model) + "_" + info.param.quality + "_" + std::to_string(info.param.flags);
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class SimReleaseTransfer : public ::testing::TestWithParam<TransferCase> {};

TEST_P(SimReleaseTransfer, EventsInOrderAndTheBytesOfTheShot)
{
    const TransferCase &c = GetParam();
    SimConfig config = testConfig(c.model);
    ASSERT_TRUE(config.apply(std::string("quality=") + c.quality + ";card=10;counter=42"));
    Device device(config);
    ASSERT_EQ(device.setTransferFlags(c.flags), 0u);
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));

    const bool fullView = c.flags & PS_TRANSFER_FULLVIEW_TO_PC;
    const bool toCard = c.flags & PS_TRANSFER_TO_CARD;
    std::vector<std::string> expected = {"release 28", "thumbnail"};
    if (fullView)
        expected.push_back("fullview");
    expected.push_back("release 29");
    EXPECT_EQ(device.recorder.texts(), expected);

    const bool raw = std::string(c.quality) == "raw";
    const auto events = device.recorder.events();
    const psImageEventRecord thumb = events[1].record;
    EXPECT_EQ(thumb.sequence & ((1u << PS_SEQUENCE_ID_SHIFT) - 1), 0u);
    EXPECT_NE(thumb.sequence, 0u);
    EXPECT_EQ(thumb.format, raw ? PS_IMAGE_FORMAT_RAW : PS_IMAGE_FORMAT_JPEG);
    EXPECT_EQ(std::string(thumb.fileName), raw ? "CRW_0042.THM" : "IMG_0042.JPG");

    MemoryStream thumbnail;
    ASSERT_EQ(device.fetch(PS_IMAGE_KIND_THUMBNAIL, thumb.sequence, thumbnail), 0u);
    EXPECT_EQ(thumbnail.data.size(), thumb.dataSize);
    ASSERT_GE(thumbnail.data.size(), 4u);
    EXPECT_EQ(thumbnail.data[0], 0xFF);
    EXPECT_EQ(thumbnail.data[1], 0xD8);
    EXPECT_EQ(thumbnail.progress.back(), 100u);

    if (fullView) {
        const psImageEventRecord full = events[2].record;
        EXPECT_EQ(full.sequence, thumb.sequence);
        EXPECT_EQ(std::string(full.fileName), raw ? "CRW_0042.CRW" : "IMG_0042.JPG");
        MemoryStream image;
        ASSERT_EQ(device.fetch(PS_IMAGE_KIND_FULLVIEW, full.sequence, image), 0u);
        ASSERT_EQ(image.data.size(), full.dataSize);
        if (raw) {
            EXPECT_EQ(std::string(image.data.begin(), image.data.begin() + 2), "II");
            EXPECT_EQ(std::string(image.data.begin() + 6, image.data.begin() + 14), "HEAPCCDR");
        } else {
            EXPECT_EQ(image.data[0], 0xFF);
            EXPECT_EQ(image.data[1], 0xD8);
        }
        // The bytes are the camera's shot: the same as generating that shot directly.
        ShotPlan plan;
        plan.state = device.camera->state();
        plan.fileNumber = 42;
        plan.owner = config.owner;
        plan.unixTime = *config.clock;
        EXPECT_EQ(image.data, raw ? makeCrw(plan) : makeJpeg(plan));
        EXPECT_GT(image.progress.size(), 0u);
        EXPECT_TRUE(std::is_sorted(image.progress.begin(), image.progress.end()));
    }
    EXPECT_EQ(device.shotsRemaining(), toCard ? 9u : 10u);
    EXPECT_EQ(device.camera->nextFileNumber(), 43u);
}

INSTANTIATE_TEST_SUITE_P(Modes, SimReleaseTransfer,
                         ::testing::Values(TransferCase{"EOS D60", "large/fine", PS_TRANSFER_PC_ONLY},
                                           TransferCase{"EOS D60", "small/normal", PS_TRANSFER_PC_AND_CARD},
                                           TransferCase{"EOS D60", "medium/fine", PS_TRANSFER_CARD_ONLY},
                                           TransferCase{"EOS D60", "raw", PS_TRANSFER_PC_ONLY},
                                           TransferCase{"EOS D60", "raw", PS_TRANSFER_CARD_ONLY},
                                           TransferCase{"EOS D30", "large/normal", PS_TRANSFER_PC_ONLY},
                                           TransferCase{"EOS D30", "small/fine", PS_TRANSFER_CARD_ONLY},
                                           TransferCase{"EOS D30", "raw", PS_TRANSFER_PC_AND_CARD}),
                         caseName);

TEST(SimRelease, EventsComeOnTheDriversThread)
{
    Device device(testConfig());
    std::mutex mutex;
    std::vector<std::thread::id> threads;
    device.recorder.setAction([&](const Event &) {
        std::lock_guard lock(mutex);
        threads.push_back(std::this_thread::get_id());
    });
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    std::lock_guard lock(mutex);
    ASSERT_FALSE(threads.empty());
    for (const auto &id : threads)
        EXPECT_NE(id, std::this_thread::get_id());
}

TEST(SimRelease, CallbackMayFetchTheImageWhileEventsFlow)
{
    Device device(testConfig());
    std::vector<uint8_t> fetched;
    psResult status = 1;
    device.recorder.setAction([&](const Event &event) {
        if ((event.code & PS_EVENT_MASK) == PS_EVENT_FULLVIEW_ON_RELEASE) {
            MemoryStream stream;
            status = device.fetch(PS_IMAGE_KIND_FULLVIEW, event.record.sequence, stream);
            fetched = stream.data;
        }
    });
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    EXPECT_EQ(status, 0u);
    EXPECT_GT(fetched.size(), 100000u);
}

TEST(SimRelease, ImagesStayAvailableAndCanBeFetchedAgain)
{
    Device device(testConfig());
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete, 2));
    const auto events = device.recorder.events();
    std::vector<uint32_t> sequences;
    for (const Event &event : events)
        if ((event.code & PS_EVENT_MASK) == PS_EVENT_FULLVIEW_ON_RELEASE)
            sequences.push_back(event.record.sequence);
    ASSERT_EQ(sequences.size(), 2u);
    EXPECT_NE(sequences[0], sequences[1]);
    MemoryStream first, again;
    ASSERT_EQ(device.fetch(PS_IMAGE_KIND_FULLVIEW, sequences[0], first), 0u);
    ASSERT_EQ(device.fetch(PS_IMAGE_KIND_FULLVIEW, sequences[0], again), 0u);
    EXPECT_EQ(first.data, again.data);
    MemoryStream second;
    ASSERT_EQ(device.fetch(PS_IMAGE_KIND_FULLVIEW, sequences[1], second), 0u);
    EXPECT_NE(first.data, second.data);
}

TEST(SimRelease, UnknownSequenceIsAnError)
{
    Device device(testConfig());
    MemoryStream stream;
    EXPECT_NE(device.fetch(PS_IMAGE_KIND_FULLVIEW, 77u << PS_SEQUENCE_ID_SHIFT, stream), 0u);
    EXPECT_TRUE(stream.data.empty());
}

TEST(SimRelease, RefusedStreamWriteAbortsTheTransferWithItsStatus)
{
    Device device(testConfig());
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    const auto events = device.recorder.events();
    MemoryStream stream;
    stream.failOnWrite = 2;
    stream.failure = 0xA00000A8;
    EXPECT_EQ(device.fetch(PS_IMAGE_KIND_FULLVIEW, events[2].record.sequence, stream), 0xA00000A8u);
    EXPECT_EQ(stream.writes, 2u);
}

TEST(SimRelease, ReleaseOutsideReleaseControlIsRefused)
{
    Device device(testConfig(), false);
    EXPECT_NE(device.release(), 0u);
    device.camera->waitIdle();
    EXPECT_TRUE(device.recorder.events().empty());
}

TEST(SimRelease, NoCardRefusesAReleaseToTheCard)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("card=none"));
    Device device(config);
    psResult status = 0;
    device.shotsRemaining(&status);
    EXPECT_EQ(psErrorCode(status), psERR_DEVICE_NO_DISK);
    ASSERT_EQ(device.setTransferFlags(PS_TRANSFER_PC_AND_CARD), 0u);
    EXPECT_EQ(psErrorCode(device.release()), psERR_DEVICE_NO_DISK);
    // To the PC only the camera needs no card.
    ASSERT_EQ(device.setTransferFlags(PS_TRANSFER_PC_ONLY), 0u);
    EXPECT_EQ(device.release(), 0u);
    EXPECT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
}

TEST(SimRelease, FullCardRefusesAReleaseToTheCard)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("card=1"));
    Device device(config);
    ASSERT_EQ(device.setTransferFlags(PS_TRANSFER_CARD_ONLY), 0u);
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    EXPECT_EQ(device.shotsRemaining(), 0u);
    EXPECT_EQ(psErrorCode(device.release()), psERR_FILE_DISK_FULL_ERROR);
    device.camera->waitIdle();
    EXPECT_EQ(device.recorder.texts().size(), 3u);   // start, thumbnail, complete of the first shot only
}

TEST(SimRelease, AfFailureGivesStartAndCompleteWithoutImages)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("affail=1;card=5"));
    Device device(config);
    ASSERT_EQ(device.setTransferFlags(PS_TRANSFER_PC_AND_CARD), 0u);
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    EXPECT_EQ(device.recorder.texts(), (std::vector<std::string>{"release 28", "release 29"}));
    EXPECT_EQ(device.shotsRemaining(), 5u);
    EXPECT_EQ(device.camera->nextFileNumber(), 1u);
}

TEST(SimRelease, CameraShutterButtonRunsTheWholeSequence)
{
    SimConfig config = testConfig("EOS D30");
    ASSERT_TRUE(config.apply("card=3"));
    Device device(config);
    ASSERT_EQ(device.setTransferFlags(PS_TRANSFER_PC_AND_CARD), 0u);
    std::string why;
    ASSERT_TRUE(device.camera->pressShutter(&why)) << why;
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    EXPECT_EQ(device.recorder.texts(),
              (std::vector<std::string>{"release 28", "thumbnail", "fullview", "release 29"}));
    EXPECT_EQ(device.shotsRemaining(), 2u);
}

TEST(SimRelease, CameraShutterIsLockedWhileThePcHoldsTheControls)
{
    Device device(testConfig());
    ASSERT_EQ(device.driver->lockControls(device.driver, device.handle, PS_LOCK_MODE_UI), 0u);
    std::string why;
    EXPECT_FALSE(device.camera->pressShutter(&why));
    EXPECT_FALSE(why.empty());
    ASSERT_EQ(device.driver->unlockControls(device.driver, device.handle), 0u);
    EXPECT_TRUE(device.camera->pressShutter(&why));
    EXPECT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
}

TEST(SimRelease, CameraShutterWithoutAProgramStoresOnTheCard)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("card=4"));
    configureCamera(config);
    const auto camera = simulatedCamera();
    std::string why;
    ASSERT_TRUE(camera->pressShutter(&why)) << why;
    EXPECT_EQ(camera->shotsRemaining(), 3u);
    EXPECT_EQ(camera->nextFileNumber(), 2u);
    camera->setCard(false, 0);
    EXPECT_FALSE(camera->pressShutter(&why));
}

TEST(SimRelease, ClosingInTheMiddleOfASlowTransferEndsIt)
{
    SimConfig config = testConfig();
    ASSERT_TRUE(config.apply("transfer=20000;quality=small/normal"));
    Device device(config);
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kComplete));
    const uint32_t sequence = device.recorder.events()[2].record.sequence;
    psResult status = 0;
    MemoryStream stream;
    std::thread fetcher([&] { status = device.fetch(PS_IMAGE_KIND_FULLVIEW, sequence, stream); });
    // At 20 kB/s the image takes seconds; the device closes after its first piece.
    while (stream.writes == 0)
        std::this_thread::yield();
    device.close();
    fetcher.join();
    EXPECT_NE(status, 0u);
    EXPECT_LT(stream.data.size(), device.recorder.events()[2].record.dataSize);
}

TEST(SimRelease, ClosingDuringAReleaseJoinsTheDriversThread)
{
    SimConfig config = testConfig();
    config.mirrorDelay = std::chrono::milliseconds(600000);
    Device device(config);
    ASSERT_EQ(device.release(), 0u);
    ASSERT_TRUE(device.recorder.waitFor(PS_EVENT_RELEASE_CONTROL, kStart));
    device.close();
    EXPECT_FALSE(device.camera->deviceOpen());
    EXPECT_EQ(device.recorder.texts(), (std::vector<std::string>{"release 28"}));
}

TEST(SimRelease, SecondReleaseWhileOneRunsIsBusy)
{
    SimConfig config = testConfig();
    config.mirrorDelay = std::chrono::milliseconds(600000);
    Device device(config);
    ASSERT_EQ(device.release(), 0u);
    EXPECT_EQ(psErrorCode(device.release()), psERR_DEVICE_BUSY);
}

} // namespace
} // namespace simcam::test
