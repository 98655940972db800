// The time-lapse rules against a fake clock: each case starts a sequence at
// a given second and then ticks it second by second with the camera busy or
// idle, checking what each tick asks for and shows.
#include "TimeLapseClock.h"
#include "TimeLapseSchedule.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using Action = TimeLapseSchedule::Action;

struct Step {
    int64_t now;
    bool busy;
    Action action;
    std::string status;
};

struct Case {
    const char *name;
    int32_t interval;
    int32_t shotCount;
    int32_t initialDelay;
    int64_t start;
    std::vector<Step> steps;
};

constexpr bool kIdle = false;
constexpr bool kBusy = true;

std::string toNext(int seconds, int remaining)
{
    return std::to_string(seconds) + " secs to next shot, " + std::to_string(remaining) + " shots remaining";
}

std::string late(int seconds, int remaining)
{
    return "Running " + std::to_string(seconds) + " secs late, " + std::to_string(remaining) + " shots remaining";
}

const std::string kCompleted = "Time-lapse sequence completed.";
const std::string kLastPhoto = "Taking the last photo in the sequence...";

Step release(int64_t now, bool busy = kIdle)
{
    return {now, busy, Action::Release, ""};
}

Step shows(int64_t now, bool busy, std::string status)
{
    return {now, busy, Action::None, std::move(status)};
}

Step completes(int64_t now)
{
    return {now, kIdle, Action::Completed, kCompleted};
}

std::vector<Case> cases()
{
    std::vector<Case> all;

    // Always idle: shots at start+1, +10 and +20, then completion.
    {
        Case c{"ThreeShotsEveryTenSeconds", 10, 3, 0, 1000, {}};
        c.steps.push_back(shows(1000, kIdle, toNext(0, 3)));
        c.steps.push_back(release(1001));
        for (int t = 1002; t < 1010; ++t)
            c.steps.push_back(shows(t, kIdle, toNext(1010 - t, 2)));
        c.steps.push_back(release(1010));
        for (int t = 1011; t < 1020; ++t)
            c.steps.push_back(shows(t, kIdle, toNext(1020 - t, 1)));
        c.steps.push_back(release(1020));
        c.steps.push_back(completes(1021));
        all.push_back(std::move(c));
    }

    // The first shot keeps the camera busy for 25 seconds: the second is
    // late, fires in the second after the camera was first seen idle, and
    // the third, already due, as soon as the camera has been idle a tick.
    {
        Case c{"ABusyReleaseMakesTheNextShotLateAndTheOneAfterCatchUp", 10, 3, 0, 1000, {}};
        c.steps.push_back(shows(1000, kIdle, toNext(0, 3)));
        c.steps.push_back(release(1001));
        for (int t = 1002; t < 1010; ++t)
            c.steps.push_back(shows(t, kBusy, toNext(1010 - t, 2)));
        c.steps.push_back(shows(1010, kBusy, toNext(0, 2)));
        for (int t = 1011; t <= 1026; ++t)
            c.steps.push_back(shows(t, kBusy, late(t - 1010, 2)));
        c.steps.push_back(shows(1027, kIdle, late(17, 2)));  // first seen idle: not yet
        c.steps.push_back(release(1028));                    // next due 1020, past already
        c.steps.push_back(shows(1029, kBusy, late(9, 1)));
        c.steps.push_back(shows(1030, kIdle, late(10, 1)));
        c.steps.push_back(release(1031));
        c.steps.push_back(shows(1032, kBusy, kLastPhoto));
        c.steps.push_back(completes(1033));
        all.push_back(std::move(c));
    }

    // A shot that leaves the camera idle again before the next tick never
    // shows as busy, so the caught-up shot after it fires on the next tick.
    {
        Case c{"AQuickShotAfterALateOneFiresOnTheNextTick", 10, 3, 0, 1000, {}};
        c.steps.push_back(release(1001));
        for (int t = 1002; t <= 1024; ++t)
            c.steps.push_back(shows(t, kBusy, t <= 1010 ? toNext(1010 - t, 2) : late(t - 1010, 2)));
        c.steps.push_back(shows(1025, kIdle, late(15, 2)));
        c.steps.push_back(release(1026));
        c.steps.push_back(release(1027));  // due 1020, idle since 1025
        c.steps.push_back(completes(1028));
        all.push_back(std::move(c));
    }

    // A negative delay: the first shot is late and fires on the first tick.
    {
        Case c{"NegativeDelayFiresAtTheFirstTick", 10, 2, -5, 1000, {}};
        c.steps.push_back(release(1000));
        c.steps.push_back(shows(1001, kIdle, toNext(4, 1)));
        c.steps.push_back(release(1005));
        c.steps.push_back(completes(1006));
        all.push_back(std::move(c));
    }

    // An initial delay: the first shot one second after it.
    {
        Case c{"InitialDelayThenOneSecond", 5, 2, 3, 1000, {}};
        c.steps.push_back(shows(1000, kIdle, toNext(3, 2)));
        c.steps.push_back(shows(1002, kIdle, toNext(1, 2)));
        c.steps.push_back(shows(1003, kIdle, toNext(0, 2)));
        c.steps.push_back(release(1004));
        c.steps.push_back(shows(1005, kIdle, toNext(3, 1)));
        c.steps.push_back(release(1008));
        c.steps.push_back(completes(1009));
        all.push_back(std::move(c));
    }

    // Interval 0: as fast as the camera allows, one shot a tick at most.
    {
        Case c{"IntervalZeroFollowsTheCamera", 0, 4, 0, 1000, {}};
        c.steps.push_back(release(1001));
        c.steps.push_back(release(1002));  // the camera was done before this tick
        // Every shot stays due at the start: the lateness counts from there.
        c.steps.push_back(shows(1003, kBusy, late(3, 2)));
        c.steps.push_back(shows(1004, kIdle, late(4, 2)));
        c.steps.push_back(release(1005));
        c.steps.push_back(shows(1006, kBusy, late(6, 1)));
        c.steps.push_back(shows(1007, kIdle, late(7, 1)));
        c.steps.push_back(release(1008));
        c.steps.push_back(completes(1009));
        all.push_back(std::move(c));
    }

    // A negative interval: every shot is already due.
    {
        Case c{"NegativeIntervalShootsAtEveryIdleTick", -10, 3, 0, 1000, {}};
        c.steps.push_back(release(1001));
        c.steps.push_back(release(1002));
        c.steps.push_back(release(1003));
        c.steps.push_back(completes(1004));
        all.push_back(std::move(c));
    }

    // The last shot: its text for as long as the camera is busy.
    {
        Case c{"TheLastPhotoIsShownWhileBusy", 10, 1, 0, 1000, {}};
        c.steps.push_back(release(1001));
        c.steps.push_back(shows(1002, kBusy, kLastPhoto));
        c.steps.push_back(shows(1003, kBusy, kLastPhoto));
        c.steps.push_back(shows(1004, kBusy, kLastPhoto));
        c.steps.push_back(completes(1005));
        c.steps.push_back({1006, kIdle, Action::None, ""});  // stopped: ticks do nothing
        all.push_back(std::move(c));
    }

    // Ticks that come twice in a second or skip one: one shot per due time.
    {
        Case c{"TwoTicksInASecondFireOnce", 2, 3, 0, 1000, {}};
        c.steps.push_back(release(1001));
        c.steps.push_back(shows(1001, kIdle, toNext(1, 2)));
        c.steps.push_back(release(1003));  // 1002 skipped: late, fires at once
        c.steps.push_back(shows(1003, kIdle, toNext(1, 1)));
        c.steps.push_back(release(1004));
        c.steps.push_back(completes(1004));
        all.push_back(std::move(c));
    }

    // A camera busy at the start (a shot from its own button): nothing until
    // it has been idle for a tick.
    {
        Case c{"BusyAtTheStartWaitsForAnIdleSecond", 10, 1, 0, 1000, {}};
        c.steps.push_back(shows(1001, kBusy, late(1, 1)));
        c.steps.push_back(shows(1002, kIdle, late(2, 1)));
        c.steps.push_back(release(1003));
        c.steps.push_back(completes(1004));
        all.push_back(std::move(c));
    }

    // The largest values the fields take neither overflow nor wrap.
    {
        Case c{"TheLargestDelayDoesNotOverflow", INT_MAX, 2, INT_MAX, 1000, {}};
        c.steps.push_back(shows(1001, kIdle, toNext(INT_MAX - 1, 2)));
        all.push_back(std::move(c));
    }
    {
        Case c{"TheMostNegativeValuesDoNotOverflow", INT_MIN, 3, INT_MIN, 1000, {}};
        c.steps.push_back(release(1000));
        c.steps.push_back(release(1001));
        c.steps.push_back(release(1002));
        c.steps.push_back(completes(1003));
        all.push_back(std::move(c));
    }
    return all;
}

const char *actionName(Action action)
{
    switch (action) {
    case Action::None: return "None";
    case Action::Release: return "Release";
    case Action::Completed: return "Completed";
    }
    return "?";
}

class TimeLapseScheduleCase : public ::testing::TestWithParam<Case> {};

TEST_P(TimeLapseScheduleCase, TicksAsExpected)
{
    const Case &c = GetParam();
    int64_t now = c.start;
    bool busy = false;
    TimeLapseSchedule schedule([&] { return now; }, [&] { return busy; });
    ASSERT_TRUE(schedule.start(c.interval, c.shotCount, c.initialDelay));
    int released = 0;
    for (const Step &step : c.steps) {
        now = step.now;
        busy = step.busy;
        const TimeLapseSchedule::Tick tick = schedule.tick();
        EXPECT_STREQ(actionName(tick.action), actionName(step.action)) << "at " << step.now;
        EXPECT_EQ(tick.status, step.status) << "at " << step.now;
        if (tick.action == Action::Release)
            ++released;
        EXPECT_EQ(schedule.shotsTaken(), released) << "at " << step.now;
    }
}

INSTANTIATE_TEST_SUITE_P(Sequences, TimeLapseScheduleCase, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

}  // namespace

TEST(TimeLapseSchedule, NoShotsStartsNothing)
{
    int64_t now = 1000;
    TimeLapseSchedule schedule([&] { return now; }, [] { return false; });
    for (int32_t count : {0, -1, INT_MIN}) {
        EXPECT_FALSE(schedule.start(10, count, 0)) << count;
        EXPECT_FALSE(schedule.isRunning());
        now += 5;
        const TimeLapseSchedule::Tick tick = schedule.tick();
        EXPECT_EQ(tick.action, Action::None);
        EXPECT_TRUE(tick.status.empty());
    }
    EXPECT_EQ(TimeLapseSchedule::noShotsText(), "Error: you must specify at least 1 shot in the sequence");
}

TEST(TimeLapseSchedule, StopDuringTheCountdownEndsTheSequence)
{
    int64_t now = 1000;
    TimeLapseSchedule schedule([&] { return now; }, [] { return false; });
    ASSERT_TRUE(schedule.start(10, 3, 5));
    now = 1002;
    EXPECT_EQ(schedule.tick().status, toNext(3, 3));
    schedule.stop();
    EXPECT_FALSE(schedule.isRunning());
    now = 1006;
    EXPECT_EQ(schedule.tick().action, Action::None);
    EXPECT_EQ(schedule.shotsTaken(), 0);
    EXPECT_EQ(TimeLapseSchedule::abandonedText(), "Time-lapse sequence abandoned");
}

TEST(TimeLapseSchedule, EachStartBeginsAFreshSequence)
{
    int64_t now = 1000;
    TimeLapseSchedule schedule([&] { return now; }, [] { return false; });
    ASSERT_TRUE(schedule.start(10, 2, 0));
    now = 1001;
    ASSERT_EQ(schedule.tick().action, Action::Release);
    schedule.stop();
    EXPECT_EQ(schedule.shotsTaken(), 1);
    EXPECT_EQ(TimeLapseSchedule::errorAbandonText(schedule.shotsTaken()),
              "Sequence abandoned due to error after 1 shots");

    now = 2000;
    ASSERT_TRUE(schedule.start(3, 2, 1));
    EXPECT_EQ(schedule.shotsTaken(), 0);
    EXPECT_EQ(schedule.nextDue(), 2001);
    now = 2001;
    EXPECT_EQ(schedule.tick().status, toNext(0, 2));
    now = 2002;
    EXPECT_EQ(schedule.tick().action, Action::Release);
    EXPECT_EQ(schedule.shotsRemaining(), 1);
}

TEST(TimeLapseSchedule, AWithdrawnShotIsNotCounted)
{
    int64_t now = 1000;
    TimeLapseSchedule schedule([&] { return now; }, [] { return false; });
    schedule.withdrawLastShot();
    EXPECT_EQ(schedule.shotsTaken(), 0);
    ASSERT_TRUE(schedule.start(1, 3, 0));
    now = 1001;
    ASSERT_EQ(schedule.tick().action, Action::Release);
    now = 1002;
    ASSERT_EQ(schedule.tick().action, Action::Release);
    schedule.withdrawLastShot();
    schedule.stop();
    EXPECT_EQ(schedule.shotsTaken(), 1);
    schedule.withdrawLastShot();
    schedule.withdrawLastShot();
    EXPECT_EQ(schedule.shotsTaken(), 0);
}

TEST(TimeLapseClock, TicksFallInTheMiddleOfTheirSecond)
{
    using namespace std::chrono_literals;
    const TimeLapseClock::Clock::time_point start{100s};
    const TimeLapseClock clock(start);
    EXPECT_EQ(clock.seconds(start), 0);
    EXPECT_EQ(clock.seconds(start - 500ms), 0);
    EXPECT_EQ(clock.seconds(start - 501ms), -1);
    EXPECT_EQ(clock.seconds(start + 499ms), 0);
    EXPECT_EQ(clock.seconds(start + 500ms), 1);
    for (int64_t n : {1, 2, 99, 3600}) {
        EXPECT_EQ(clock.tickTime(n), start + std::chrono::seconds(n));
        // Up to almost half a second early or late, a tick reads its own second.
        EXPECT_EQ(clock.seconds(clock.tickTime(n) - 499ms), n);
        EXPECT_EQ(clock.seconds(clock.tickTime(n) + 499ms), n);
    }
}
