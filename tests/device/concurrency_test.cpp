// The UI thread and the worker use the manager at once: rescans on one side,
// exchanges and lookups on the other. Run under ThreadSanitizer too.
#include <atomic>
#include <chrono>
#include <thread>

#include "device_test_support.h"

using namespace devtest;

namespace {

class ConcurrencyTest : public DeviceTest {};

TEST_F(ConcurrencyTest, RescansAndExchangesOnTwoThreadsNeverMeet) {
  const std::string wired = sim::AddWiredMouse(kVid, kWiredPid);
  sim::AddReceiver(kVid, kReceiverPid, kModeReceiver, true);
  sim::AddBleMouse(kVid, kBlePid);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();

  std::atomic<int> replies{0};
  std::atomic<int> modes_seen{0};
  std::thread scanner([&] {
    for (int i = 0; i < 60; ++i) {
      mgr.Rescan();
      std::vector<AttachedDevice> list;
      mgr.GetAttachedDevices(list);
      for (const AttachedDevice& entry : list) {
        if (mgr.FindDeviceIndex(entry.vid, entry.pid, entry.devMode) >= 0) modes_seen.fetch_add(1);
      }
    }
  });
  std::thread worker([&] {
    for (int i = 0; i < 60; ++i) {
      std::array<uint8_t, 128> buffer{};
      buffer[1] = 0x55;
      buffer[2] = static_cast<uint8_t>(i);
      if (mgr.SendCommand(buffer) && buffer[1] == static_cast<uint8_t>(i)) replies.fetch_add(1);
      std::array<uint8_t, 65> poll{};
      mgr.PollInput(poll);
      mgr.GetConnectionMode();
      AttachedDevice current;
      mgr.GetCurrentDevice(&current);
    }
  });
  scanner.join();
  worker.join();

  // Every exchange ran whole: its reply was its own.
  EXPECT_EQ(replies.load(), 60);
  EXPECT_GT(modes_seen.load(), 0);
  const sim::Counters c = sim::GetCounters();
  EXPECT_EQ(c.misuses, 0);  // no handle was used after a rescan closed it
  EXPECT_EQ(c.framing_errors, 0);
  EXPECT_EQ(c.open_handles, 2);
  EXPECT_EQ(c.enumerations, c.freed_enumerations);
}

TEST_F(ConcurrencyTest, HeldLockKeepsTheOtherThreadOutAndIsReentrant) {
  sim::AddWiredMouse(kVid, kWiredPid);
  HidDeviceManager& mgr = Manager();
  std::atomic<bool> done{false};
  std::thread other;
  mgr.Rescan();
  {
    auto hold = mgr.Lock();
    // The same thread may call in while holding it.
    EXPECT_EQ(mgr.GetConnectionMode(), kModeWired);
    other = std::thread([&] {
      mgr.GetConnectionMode();
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done.load());
  }
  other.join();
  EXPECT_TRUE(done.load());
}

}  // namespace
