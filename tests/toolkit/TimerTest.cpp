#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/Wait.h"
#include "toolkit/Application.h"
#include "toolkit/VirtualClock.h"

namespace {

// Records the expiries of the timers under test, with their virtual time.
struct TTickLog : TObject {
  TVirtualClock* Clock = nullptr;
  std::vector<std::pair<std::string, TVirtualClock::TTime>> Ticks;
  void OnTick(TObject* Sender) {
    Ticks.emplace_back(static_cast<TComponent*>(Sender)->Name(), Clock ? Clock->Now() : 0);
  }
  TNotifyEvent Handler() { return TNotifyEvent::Of<&TTickLog::OnTick>(this); }
};

class VirtualTimerTest : public ::testing::Test {
 protected:
  VirtualTimerTest() { Log.Clock = &Clock; }
  TCustomTimer* Make(const std::string& Name, unsigned Interval) {
    TCustomTimer* t = Clock.CreateTimer(&Owner);
    t->SetName(Name);
    t->SetEnabled(false);
    t->SetInterval(Interval);
    t->SetOnTimer(Log.Handler());
    return t;
  }
  std::vector<TVirtualClock::TTime> TimesOf(const std::string& Name) const {
    std::vector<TVirtualClock::TTime> times;
    for (const auto& [n, t] : Log.Ticks)
      if (n == Name) times.push_back(t);
    return times;
  }
  TVirtualClock Clock;
  TComponent Owner{nullptr};
  TTickLog Log;
};

TEST_F(VirtualTimerTest, RepeatsUntilDisabled) {
  TCustomTimer* t = Make("t", 200);
  t->SetEnabled(true);
  Clock.Advance(650);
  EXPECT_EQ(TimesOf("t"), (std::vector<TVirtualClock::TTime>{200, 400, 600}));
  t->SetEnabled(false);
  Clock.Advance(1000);
  EXPECT_EQ(TimesOf("t").size(), 3u);
}

TEST_F(VirtualTimerTest, EnablingAnEnabledTimerDoesNotRestartIt) {
  TCustomTimer* t = Make("t", 500);
  t->SetEnabled(true);
  Clock.Advance(300);
  t->SetEnabled(true);
  Clock.Advance(250);
  EXPECT_EQ(TimesOf("t"), (std::vector<TVirtualClock::TTime>{500}));
}

TEST_F(VirtualTimerTest, NewIntervalRestartsAnEnabledTimerSameIntervalDoesNot) {
  TCustomTimer* t = Make("t", 500);
  t->SetEnabled(true);
  Clock.Advance(300);
  t->SetInterval(500);  // same value: keeps counting
  Clock.Advance(250);
  EXPECT_EQ(TimesOf("t"), (std::vector<TVirtualClock::TTime>{500}));
  Clock.AdvanceTo(800);
  t->SetInterval(1000);  // different: a full new interval from now
  Clock.AdvanceTo(1700);
  EXPECT_EQ(TimesOf("t"), (std::vector<TVirtualClock::TTime>{500}));
  Clock.AdvanceTo(1800);
  EXPECT_EQ(TimesOf("t"), (std::vector<TVirtualClock::TTime>{500, 1800}));
}

TEST_F(VirtualTimerTest, IntervalZeroNeverFiresAndDisabledIntervalChangeDoesNotStart) {
  TCustomTimer* t = Make("t", 0);
  t->SetEnabled(true);
  Clock.Advance(10000);
  EXPECT_TRUE(TimesOf("t").empty());
  EXPECT_FALSE(Clock.NextDeadline());
  t->SetEnabled(false);
  t->SetInterval(100);
  Clock.Advance(1000);
  EXPECT_TRUE(TimesOf("t").empty());
}

TEST_F(VirtualTimerTest, DisableAndEnableRestartsTheFullInterval) {
  TCustomTimer* t = Make("t", 100);
  t->SetEnabled(true);
  Clock.Advance(70);
  t->SetEnabled(false);
  t->SetEnabled(true);
  Clock.Advance(70);
  EXPECT_TRUE(TimesOf("t").empty());
  Clock.Advance(30);
  EXPECT_EQ(TimesOf("t"), (std::vector<TVirtualClock::TTime>{170}));
}

TEST_F(VirtualTimerTest, EnableSinceCountsFromAnEarlierInstantNeverEarly) {
  using std::chrono::microseconds;
  TCustomTimer* t = Make("t", 200);
  t->EnableSince(microseconds(30'900));   // whole milliseconds only: 30
  t->EnableSince(microseconds(150'000));  // enabled already: no restart
  Clock.Advance(450);
  EXPECT_EQ(TimesOf("t"), (std::vector<TVirtualClock::TTime>{170, 370}));
  t->SetEnabled(false);
  t->EnableSince(microseconds(5'000'000));  // long past: due at once
  Clock.Advance(0);
  EXPECT_EQ(TimesOf("t"), (std::vector<TVirtualClock::TTime>{170, 370, 450}));
}

// A one-shot pattern: each handler disables itself and arms the other, as
// the request sequencer and the reply time-out do.
struct TPingPong : TObject {
  TCustomTimer* A = nullptr;
  TCustomTimer* B = nullptr;
  TVirtualClock* Clock = nullptr;
  std::vector<std::string> Seen;
  int Round = 0;
  void OnA(TObject*) {
    Seen.push_back("A@" + std::to_string(Clock->Now()));
    A->SetEnabled(false);
    B->SetInterval(++Round % 2 ? 300 : 50);
    B->SetEnabled(true);
  }
  void OnB(TObject*) {
    Seen.push_back("B@" + std::to_string(Clock->Now()));
    B->SetEnabled(false);
    A->SetEnabled(true);
  }
};

TEST_F(VirtualTimerTest, HandlersMayRearmTimersWhileTheClockRuns) {
  TPingPong p;
  p.Clock = &Clock;
  p.A = Make("A", 200);
  p.B = Make("B", 1);
  p.A->SetOnTimer(TNotifyEvent::Of<&TPingPong::OnA>(&p));
  p.B->SetOnTimer(TNotifyEvent::Of<&TPingPong::OnB>(&p));
  p.A->SetEnabled(true);
  Clock.Advance(1000);
  EXPECT_EQ(p.Seen, (std::vector<std::string>{"A@200", "B@500", "A@700", "B@750", "A@950"}));
}

TEST_F(VirtualTimerTest, FiresInDeadlineOrderAndArmOrderOnTies) {
  TCustomTimer* late = Make("late", 300);
  TCustomTimer* first = Make("first", 100);
  TCustomTimer* second = Make("second", 100);
  late->SetEnabled(true);
  first->SetEnabled(true);
  second->SetEnabled(true);
  Clock.Advance(300);
  std::vector<std::string> order;
  for (const auto& [n, t] : Log.Ticks) order.push_back(n + "@" + std::to_string(t));
  EXPECT_EQ(order, (std::vector<std::string>{"first@100", "second@100", "first@200", "second@200",
                                             "late@300", "first@300", "second@300"}));
}

TEST_F(VirtualTimerTest, RunUntilStopsAtTheExpiryThatSatisfiesTheCondition) {
  TCustomTimer* t = Make("t", 200);
  t->SetEnabled(true);
  EXPECT_TRUE(Clock.RunUntil([&] { return Log.Ticks.size() == 2; }, 10000));
  EXPECT_EQ(Clock.Now(), 400);
  EXPECT_FALSE(Clock.RunUntil([] { return false; }, 100));
  EXPECT_EQ(Clock.Now(), 500);
}

struct TThrower : TObject {
  void Throw(TObject*) { throw Exception("boom"); }
};

TEST_F(VirtualTimerTest, ExceptionOfAHandlerGoesToTheApplication) {
  std::vector<std::string> shown;
  auto previous = Application().SetMessagePresenter(
      [&](const std::string&, const std::string& text) { shown.push_back(text); });
  TThrower thrower;
  TCustomTimer* t = Make("t", 10);
  t->SetOnTimer(TNotifyEvent::Of<&TThrower::Throw>(&thrower));
  t->SetEnabled(true);
  Clock.Advance(25);
  Application().SetMessagePresenter(previous);
  EXPECT_EQ(shown, (std::vector<std::string>{"boom", "boom"}));
}

// The event-loop timer keeps the same rules; here only what depends on the loop.
TEST(RealTimer, FiresRepeatedlyOnTheEventLoopUntilDisabled) {
  TComponent owner(nullptr);
  TTimer timer(&owner);
  TTickLog log;
  timer.SetName("real");
  timer.SetInterval(10);
  timer.SetOnTimer(log.Handler());
  ASSERT_TRUE(WaitFor([&] { return log.Ticks.size() >= 3; }, 5000));
  timer.SetEnabled(false);
  const auto count = log.Ticks.size();
  ServeLoopFor(50);
  EXPECT_EQ(log.Ticks.size(), count);
}

TEST(RealTimer, AnExpiryAlreadyDueFiresAtOnce) {
  TComponent owner(nullptr);
  TTimer timer(&owner);
  TTickLog log;
  timer.SetEnabled(false);
  timer.SetInterval(10000);
  timer.SetOnTimer(log.Handler());
  timer.EnableSince(std::chrono::hours(24 * 365));
  EXPECT_TRUE(WaitFor([&] { return !log.Ticks.empty(); }, 5000));
}

TEST(RealTimer, EnablingAgainDoesNotPostponeTheExpiry) {
  TComponent owner(nullptr);
  TTimer timer(&owner);
  TTickLog log;
  timer.SetEnabled(false);
  timer.SetInterval(300);
  timer.SetOnTimer(log.Handler());
  const auto start = std::chrono::steady_clock::now();
  timer.SetEnabled(true);
  // Re-enabling every 20 ms would postpone the expiry for ever if it restarted.
  while (log.Ticks.empty() && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    timer.SetEnabled(true);
    ServeLoopFor(20);
  }
  EXPECT_EQ(log.Ticks.size(), 1u);
}

}  // namespace
