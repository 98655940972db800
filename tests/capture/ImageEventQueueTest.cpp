#include "ImageEventQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

ReleasedImageRecord record(uint32_t sequenceId)
{
    ReleasedImageRecord r;
    r.sequence = sequenceId << PS_SEQUENCE_ID_SHIFT;
    return r;
}

TEST(ReleasedImageRecord, IsTheFirstSixteenBytesOfTheDriverRecord)
{
    psImageEventRecord event{};
    event.sequence = 42u << PS_SEQUENCE_ID_SHIFT | 0x15;
    event.format = PS_IMAGE_FORMAT_RAW;
    event.dataSize = 3456789;
    std::strcpy(event.fileName, "CRW_0042.CRW");

    const ReleasedImageRecord r = ReleasedImageRecord::fromEvent(event);
    EXPECT_EQ(r.sequence, event.sequence);
    EXPECT_EQ(r.sequenceId(), 42u);
    EXPECT_TRUE(r.isRaw());
    EXPECT_EQ(r.dataSize, 3456789u);
    EXPECT_EQ(std::string(r.fileNameStart, sizeof r.fileNameStart), "CRW_");
}

TEST(ImageEventQueue, TakesEntriesInTheOrderAppended)
{
    ImageEventQueue queue;
    ImageEvent event;
    EXPECT_FALSE(queue.takeFirst(event));

    queue.append(ImageEventKind::Thumbnail, record(1));
    queue.append(ImageEventKind::FullView, record(1));
    queue.append(ImageEventKind::Thumbnail, record(2));
    ASSERT_TRUE(queue.takeFirst(event));
    EXPECT_EQ(event.kind, ImageEventKind::Thumbnail);
    EXPECT_EQ(event.record.sequenceId(), 1u);
    ASSERT_TRUE(queue.takeFirst(event));
    EXPECT_EQ(event.kind, ImageEventKind::FullView);
    ASSERT_TRUE(queue.takeFirst(event));
    EXPECT_EQ(event.record.sequenceId(), 2u);
    EXPECT_FALSE(queue.takeFirst(event));
}

TEST(ImageEventQueue, CountsOnlyFullViewsAndClears)
{
    ImageEventQueue queue;
    queue.append(ImageEventKind::Thumbnail, record(1));
    queue.append(ImageEventKind::FullView, record(1));
    queue.append(ImageEventKind::Thumbnail, record(2));
    queue.append(ImageEventKind::FullView, record(2));
    queue.append(ImageEventKind::Thumbnail, record(3));
    EXPECT_EQ(queue.countFullViews(), 2u);
    queue.clear();
    EXPECT_EQ(queue.countFullViews(), 0u);
    EXPECT_EQ(queue.size(), 0u);
}

TEST(ImageEventQueue, AppendAllKeepsOrderBehindExistingEntries)
{
    ImageEventQueue ready;
    ImageEventQueue pending;
    ready.append(ImageEventKind::FullView, record(1));
    pending.append(ImageEventKind::Thumbnail, record(2));
    pending.append(ImageEventKind::FullView, record(2));
    ready.appendAll(pending);
    EXPECT_EQ(pending.size(), 2u);  // the caller clears the source

    ImageEvent event;
    std::vector<uint32_t> ids;
    while (ready.takeFirst(event))
        ids.push_back(event.record.sequenceId());
    EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2, 2}));
}

TEST(ImageEventQueue, AppendAllOfItselfDoublesTheEntries)
{
    ImageEventQueue queue;
    queue.append(ImageEventKind::Thumbnail, record(7));
    queue.append(ImageEventKind::FullView, record(7));
    queue.appendAll(queue);
    EXPECT_EQ(queue.size(), 4u);
    EXPECT_EQ(queue.countFullViews(), 2u);
}

// A reader must never see half of a moved release.
TEST(ImageEventQueue, ReaderSeesWholeMovesOnly)
{
    constexpr int kMoves = 2000;
    ImageEventQueue ready;
    std::atomic<bool> done{false};
    std::atomic<bool> sawHalf{false};
    std::thread reader([&] {
        while (!done) {
            if (ready.size() % 3 != 0)
                sawHalf = true;
        }
    });
    for (int i = 0; i < kMoves; ++i) {
        ImageEventQueue pending;
        pending.append(ImageEventKind::Thumbnail, record(i));
        pending.append(ImageEventKind::FullView, record(i));
        pending.append(ImageEventKind::FullView, record(i));
        ready.appendAll(pending);
    }
    done = true;
    reader.join();
    EXPECT_FALSE(sawHalf);
    EXPECT_EQ(ready.countFullViews(), 2u * kMoves);
}

} // namespace
