#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "sync/thread_basic.h"
#include "sync/work_queue.h"

namespace {

TEST(WorkQueueTest, FifoWithDuplicatesAndTags) {
  WorkQueue q;
  int code = 0;
  EXPECT_FALSE(q.TryPop(code));
  q.Push(kCmdWriteAll, 7);
  q.Push(kCmdWriteAll);
  q.Push(kCmdReadBack);
  WorkItem item;
  ASSERT_TRUE(q.TryPop(item));
  EXPECT_EQ(item.code, kCmdWriteAll);
  EXPECT_EQ(item.busyTag, 7u);
  ASSERT_TRUE(q.TryPop(item));
  EXPECT_EQ(item.code, kCmdWriteAll);
  EXPECT_EQ(item.busyTag, 0u);
  ASSERT_TRUE(q.TryPop(code));
  EXPECT_EQ(code, kCmdReadBack);
  EXPECT_FALSE(q.TryPop(item));
}

TEST(WorkQueueTest, TwoThreadsLoseNothing) {
  WorkQueue q;
  constexpr int kCount = 20000;
  std::thread producer([&] {
    for (int i = 1; i <= kCount; ++i) q.Push(i);
  });
  std::vector<int> seen;
  while (static_cast<int>(seen.size()) < kCount) {
    int code;
    if (q.TryPop(code)) seen.push_back(code);
  }
  producer.join();
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(seen[i], i + 1);
}

TEST(WorkCommandTest, BusyCloseAndKnownCodes) {
  for (int code : {4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 17}) EXPECT_TRUE(IsBusyCloseCode(code)) << code;
  for (int code : {0, 1, 2, 3, 13, 14, 16, 18, -1}) EXPECT_FALSE(IsBusyCloseCode(code)) << code;
  for (int code : {0, 14, 18, 100, -3}) EXPECT_FALSE(IsKnownWorkCommand(code)) << code;
}

class CountingThread : public CThreadBasic {
 public:
  ~CountingThread() { JoinThread(); }
  std::atomic<int> steps{0};
  std::atomic<bool> block{false};

 protected:
  void ThreadStep() override {
    ++steps;
    while (block.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

TEST(CThreadBasicTest, StepsUntilStopped) {
  platform::ScopedVirtualClock clock(5000);
  CountingThread t;
  t.StartThread();
  EXPECT_EQ(t.StartTick(), 5000u);
  while (t.steps.load() < 3) std::this_thread::yield();
  EXPECT_TRUE(t.StopThread());
  const int after = t.steps.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(t.steps.load(), after);
  EXPECT_FALSE(t.IsRunning());
}

TEST(CThreadBasicTest, StartTwiceKeepsOneThreadAndRestartsAfterStop) {
  platform::ScopedVirtualClock clock;
  CountingThread t;
  t.StartThread();
  t.StartThread();
  EXPECT_TRUE(t.StopThread());
  t.StartThread();
  while (t.steps.load() < 2) std::this_thread::yield();
  EXPECT_TRUE(t.StopThread());
}

TEST(CThreadBasicTest, StopGivesUpOnALongStep) {
  platform::ScopedVirtualClock clock;
  CountingThread t;
  t.block = true;
  t.StartThread();
  while (t.steps.load() < 1) std::this_thread::yield();
  EXPECT_FALSE(t.StopThread(20));
  t.block = false;  // the destructor then waits for the step
}

}  // namespace
