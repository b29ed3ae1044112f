#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/Wait.h"
#include "toolkit/Application.h"
#include "toolkit/HandOver.h"

namespace {

TEST(HandOver, RunsTheRoutineOnTheMainThreadAndWaitsForIt) {
  THandOver handOver;
  const std::thread::id mainThread = std::this_thread::get_id();
  std::atomic<bool> workerDone{false};
  bool ranOnMain = false;
  int value = 0;
  bool result = false;
  std::thread worker([&] {
    result = handOver.Synchronize([&] {
      ranOnMain = std::this_thread::get_id() == mainThread;
      value = 42;
    });
    // The routine has run completely before Synchronize returns.
    EXPECT_EQ(value, 42);
    workerDone = true;
  });
  ASSERT_TRUE(WaitFor([&] { return workerDone.load(); }, 10000));
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_TRUE(ranOnMain);
}

TEST(HandOver, CarriesTheRoutinesExceptionBackToTheWorker) {
  THandOver handOver;
  std::atomic<bool> workerDone{false};
  std::string caught;
  std::thread worker([&] {
    try {
      handOver.Synchronize([] { throw Exception("Access is denied"); });
    } catch (const Exception& e) {
      caught = e.what();
    }
    workerDone = true;
  });
  ASSERT_TRUE(WaitFor([&] { return workerDone.load(); }, 10000));
  worker.join();
  EXPECT_EQ(caught, "Access is denied");
}

TEST(HandOver, CancelReleasesAWaitingWorkerAndTheRoutineNeverRuns) {
  THandOver handOver;
  std::atomic<bool> posted{false};
  bool ran = false;
  bool result = true;
  std::thread worker([&] {
    posted = true;
    result = handOver.Synchronize([&] { ran = true; });
  });
  // Not serving the event loop: the routine cannot start before the cancel.
  while (!posted) std::this_thread::yield();
  handOver.Cancel();
  worker.join();  // would hang if the cancel did not release the worker
  ServeLoopFor(10);
  EXPECT_FALSE(result);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(handOver.Cancelled());
  EXPECT_FALSE(handOver.Synchronize([&] { ran = true; })) << "refused after a cancel";
  EXPECT_FALSE(ran);
}

TEST(HandOver, RoutineMayCancelAndJoinItsOwnWorker) {
  // The situation of a port closed from inside an event it delivers: the
  // main thread stops the worker that waits for the routine now running.
  THandOver handOver;
  std::thread worker;
  std::atomic<bool> workerDone{false};
  bool result = true;
  bool joined = false;
  worker = std::thread([&] {
    result = handOver.Synchronize([&] {
      handOver.Cancel();
      worker.join();
      joined = true;
    });
    workerDone = true;
  });
  ASSERT_TRUE(WaitFor([&] { return joined; }, 10000));
  EXPECT_TRUE(workerDone);
  EXPECT_FALSE(result);
}

TEST(HandOver, ManyHandOversInARow) {
  THandOver handOver;
  std::atomic<bool> workerDone{false};
  int sum = 0;
  std::thread worker([&] {
    for (int i = 1; i <= 200; ++i) handOver.Synchronize([&sum, i] { sum += i; });
    workerDone = true;
  });
  ASSERT_TRUE(WaitFor([&] { return workerDone.load(); }, 20000));
  worker.join();
  EXPECT_EQ(sum, 200 * 201 / 2);
}

}  // namespace
