// The window thread and the worker at once: codes pushed, the profile changed
// and rows written while the worker reads back, writes and polls. No windows:
// this binary also runs under ThreadSanitizer.
#include "worker_test_support.h"

#include <chrono>
#include <thread>

#include "device/hid_device_manager.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "sync/work_queue.h"

using namespace synctest;

namespace {

class WorkerThreadTest : public WorkerTest {
 protected:
  // Pumps the UI queue until `entry` has been noted `count` times.
  bool PumpUntil(const std::string& entry, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      worker_->RunUi();
      if (worker_->Count(entry) >= count) return true;
      std::this_thread::yield();
    }
    return false;
  }
};

TEST_F(WorkerThreadTest, WindowThreadAndWorkerShareStateSafely) {
  AddMacro(u"m", {{2, 65}, {1, 30}, {3, 65}});
  worker_->StartThread();
  size_t busy = 0;
  size_t writeAlls = 0;
  for (int round = 0; round < 30; ++round) {
    const int profile = 1 + round % 5;
    worker_->currentProfile = profile;  // as the window's profile choice does
    db_.SetActiveProfile(profile);
    db_.SetConfigValue(profile, u"light_mode", platform::FormatDecimal(round % 7));
    if (round % 3 == 0) sim::QueueNotification(path_, 0x10, static_cast<uint8_t>(1 + round % 6), 2);
    switch (round % 5) {
      case 0:
        worker_->QueueWithBusyDialog(kCmdWriteAll);
        ++busy;
        ++writeAlls;
        // The window sits in the busy dialog until the worker closes it.
        ASSERT_TRUE(PumpUntil("busy closed", busy)) << round;
        break;
      case 1:
        worker_->QueueWithBusyDialog(kCmdReadBack);
        ++busy;
        ASSERT_TRUE(PumpUntil("busy closed", busy)) << round;
        break;
      case 2:
        worker_->workQueue.Push(kCmdWriteLighting);
        break;
      case 3:
        worker_->workQueue.Push(kCmdWriteCurrentDpi);
        worker_->selectedButton = round;
        break;
      default:
        worker_->workQueue.Push(kCmdSelectProfile);
        break;
    }
    worker_->RunUi();
  }
  ASSERT_TRUE(PumpUntil("worker done 1", writeAlls));
  EXPECT_TRUE(worker_->StopThread());
  worker_->RunUi();
  EXPECT_EQ(worker_->Count("busy closed"), busy);
  EXPECT_EQ(worker_->currentProfile.load(), 5);
  EXPECT_EQ(mouse_->IgnoredReports(), 0);
}

TEST_F(WorkerThreadTest, TheWindowThreadNeverWaitsForTheIdlePoll) {
  // The real clock: the idle poll's read really waits out its time-out.
  platform::SetClock(nullptr);
  sim::QueueNotification(path_, 0x11, 3, 0, 600);  // read by a poll in the middle of the calls
  worker_->StartThread();
  using std::chrono::steady_clock;
  steady_clock::duration worst{};
  for (int i = 0; i < 100; ++i) {
    const auto start = steady_clock::now();
    EXPECT_EQ(devices_->GetConnectionMode(), kModeWired);
    worst = std::max(worst, steady_clock::now() - start);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_LT(worst, std::chrono::milliseconds(20));
  EXPECT_EQ(sim::PendingInput(path_), 0u) << "the worker did not poll";
  worker_->StopThread(0);
}

}  // namespace
