// The USB runtime's camera thread: jobs run there in order, a caller on the
// thread runs inline, and a job that never ends costs its caller only the
// time-out.
#include "CameraThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace std::chrono_literals;
using usbcam::CameraThread;

TEST(CameraThread, RunsJobsInOrderAndInlineFromItsOwnThread)
{
    std::atomic<int> idles{0};
    CameraThread thread([&] {
        ++idles;
        return false;
    });
    std::vector<int> order;
    thread.post([&] { order.push_back(1); });
    bool nestedInline = false;
    ASSERT_TRUE(thread.run(
        [&] {
            order.push_back(2);
            // A job calling back into the thread would wait for itself for ever.
            nestedInline = thread.run([&] { order.push_back(3); }, 1s);
        },
        5s));
    EXPECT_TRUE(nestedInline);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(thread.abandoned());
}

TEST(CameraThread, AStuckJobIsAbandonedAndNothingWaitsForItAgain)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto thread = std::make_unique<CameraThread>([] { return false; });
    EXPECT_FALSE(thread->run([released] { released.wait(); }, 200ms));
    EXPECT_TRUE(thread->abandoned());

    // Neither another job nor closing waits for the stuck call (were they to,
    // this test would never get to release it).
    EXPECT_FALSE(thread->run([] {}, 1h));
    thread.reset();
    release.set_value();  // the call returns at last; the thread ends by itself
}
