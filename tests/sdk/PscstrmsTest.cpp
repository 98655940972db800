#include "Pscstrms.h"
#include "psError.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Writes through the runtime's side of the stream, as a driver does.
psResult write(psMemoryStream &stream, const void *data, uint32_t size)
{
    pslStream *s = stream.stream();
    return s->ops->write(s, data, size);
}

psResult progress(psMemoryStream &stream, uint32_t percent)
{
    pslStream *s = stream.stream();
    return s->ops->progress(s, percent);
}

TEST(psMemoryStream, FirstCapacityIsFourMebibytes)
{
    psMemoryStream stream;
    const uint8_t byte = 1;
    EXPECT_EQ(write(stream, &byte, 1), 0u);
    EXPECT_EQ(stream.capacity(), 4u * 1024 * 1024);
    EXPECT_EQ(stream.size(), 1u);
}

TEST(psMemoryStream, SmallWritesGrowTheBufferGeometrically)
{
    psMemoryStream stream;
    const std::vector<uint8_t> chunk(1024, 0xAB);
    std::set<size_t> capacities;
    const size_t total = 48u * 1024 * 1024;
    for (size_t written = 0; written < total; written += chunk.size()) {
        ASSERT_EQ(write(stream, chunk.data(), static_cast<uint32_t>(chunk.size())), 0u);
        capacities.insert(stream.capacity());
    }
    EXPECT_EQ(stream.size(), total);
    // 4, 8, 16, 32, 64 MiB: a handful of copies instead of one per 10 KiB.
    EXPECT_LE(capacities.size(), 5u);
    EXPECT_EQ(stream.data()[total - 1], 0xAB);
}

TEST(psMemoryStream, OneLargeWriteGetsAtLeastTheMissingAmount)
{
    psMemoryStream stream;
    const std::vector<uint8_t> first(5u * 1024 * 1024, 1);
    ASSERT_EQ(write(stream, first.data(), static_cast<uint32_t>(first.size())), 0u);
    EXPECT_GE(stream.capacity(), first.size());

    const std::vector<uint8_t> second(30u * 1024 * 1024, 2);
    ASSERT_EQ(write(stream, second.data(), static_cast<uint32_t>(second.size())), 0u);
    EXPECT_GE(stream.capacity(), first.size() + second.size());
    EXPECT_EQ(stream.size(), first.size() + second.size());
    EXPECT_EQ(stream.data()[first.size() - 1], 1);
    EXPECT_EQ(stream.data()[first.size()], 2);
}

TEST(psMemoryStream, AnnouncedSizeIsReceivedWithoutRegrowing)
{
    psMemoryStream stream;
    const size_t announced = 20u * 1024 * 1024;
    ASSERT_TRUE(stream.reserve(announced));
    const uint8_t *buffer = nullptr;
    const std::vector<uint8_t> chunk(4096, 0x5A);
    for (size_t written = 0; written < announced; written += chunk.size()) {
        ASSERT_EQ(write(stream, chunk.data(), static_cast<uint32_t>(chunk.size())), 0u);
        if (buffer == nullptr)
            buffer = stream.data().data();
        ASSERT_EQ(stream.data().data(), buffer) << "regrown after " << written << " bytes";
    }
    EXPECT_EQ(stream.size(), announced);
}

TEST(psMemoryStream, ImplausibleSizeHintIsNotTrusted)
{
    psMemoryStream stream;
    EXPECT_TRUE(stream.reserve(0xFFFFFFF0u));
    EXPECT_LT(stream.capacity(), psMemoryStream::kMaximumSizeHint);
    // A small hint still gives the usual first capacity.
    EXPECT_TRUE(stream.reserve(100));
    EXPECT_EQ(stream.capacity(), psMemoryStream::kInitialCapacity);
}

TEST(psMemoryStream, TakingTheDataHandsOverTheSameBuffer)
{
    psMemoryStream stream;
    const std::vector<uint8_t> bytes(1000, 9);
    write(stream, bytes.data(), 1000);
    const uint8_t *before = stream.data().data();
    std::vector<uint8_t> taken = stream.takeData();
    EXPECT_EQ(taken.data(), before);
    EXPECT_EQ(taken, bytes);
    EXPECT_EQ(stream.size(), 0u);
}

TEST(psMemoryStream, CancelledStreamRefusesTheNextWrite)
{
    psMemoryStream stream;
    const std::vector<uint8_t> bytes(100, 3);
    ASSERT_EQ(write(stream, bytes.data(), 100), 0u);
    std::thread other([&] { stream.cancel(); });
    other.join();
    EXPECT_TRUE(stream.isCancelled());
    EXPECT_EQ(write(stream, bytes.data(), 100), psHLSDK_OPERATION_CANCELLED);
    EXPECT_EQ(stream.size(), 100u);
}

TEST(psMemoryStream, ForwardsEveryProgressValue)
{
    psMemoryStream stream;
    std::vector<uint32_t> seen;
    stream.setProgressListener([&](uint32_t percent) { seen.push_back(percent); });
    for (uint32_t p : {0u, 0u, 17u, 50u, 100u})
        EXPECT_EQ(progress(stream, p), 0u);
    EXPECT_EQ(seen, (std::vector<uint32_t>{0, 0, 17, 50, 100}));
}

TEST(psMemoryStream, ListenerExceptionsNeverReachTheRuntime)
{
    psMemoryStream stream;
    stream.setProgressListener([](uint32_t percent) {
        if (percent == 1)
            throw psCException(0x030000A8, nullptr, 0);
        throw std::runtime_error("listener broke");
    });
    EXPECT_EQ(progress(stream, 1), 0x030000A8u);
    EXPECT_EQ(progress(stream, 2), psHLSDK_UNEXPECTED_EXCEPTION);
}

TEST(psMemoryStream, EmptyAndNullWrites)
{
    psMemoryStream stream;
    EXPECT_EQ(write(stream, nullptr, 0), 0u);
    EXPECT_EQ(write(stream, nullptr, 10), psHLSDK_INVALID_POINTER);
    EXPECT_EQ(stream.size(), 0u);
}

} // namespace
