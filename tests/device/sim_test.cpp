// The simulator's own promises that the device tests rely on: virtual time,
// the receiver's answers, framing checks, unplugging and handle accounting.
#include <hidapi/hidapi.h>

#include "device_test_support.h"

using namespace devtest;

namespace {

class SimTest : public DeviceTest {};

std::vector<uint8_t> StatusQuery(bool good_checksum) {
  std::vector<uint8_t> report = Bytes({0x00, 0x01, 0x00, 0x81, 0x01}, 65);
  report[64] = good_checksum ? 0x1E : 0x1F;
  return report;
}

TEST_F(SimTest, ReadsWaitOnTheVirtualClockForLateReports) {
  const std::string path = sim::AddWiredMouse(kVid, kWiredPid);
  hid_device* dev = hid_open_path(path.c_str());
  ASSERT_NE(dev, nullptr);
  uint8_t buf[65];
  const uint32_t t0 = platform::GetTickCount();
  EXPECT_EQ(hid_read_timeout(dev, buf, sizeof buf, 250), 0);
  EXPECT_EQ(platform::GetTickCount(), t0 + 250);
  EXPECT_EQ(hid_read_timeout(dev, buf, sizeof buf, 0), 0);
  EXPECT_EQ(platform::GetTickCount(), t0 + 250);

  sim::QueueInput(path, Bytes({0x01}, 64), 700);
  sim::QueueInput(path, Bytes({0x02}, 64), 300);
  EXPECT_EQ(hid_read_timeout(dev, buf, sizeof buf, 200), 0);  // nothing due yet
  EXPECT_EQ(hid_read_timeout(dev, buf, sizeof buf, 1000), 64);
  EXPECT_EQ(buf[0], 0x02);  // the earlier due report first
  EXPECT_EQ(platform::GetTickCount(), t0 + 250 + 300);
  EXPECT_EQ(hid_read_timeout(dev, buf, 10, 1000), 10);  // cut to the caller's length
  EXPECT_EQ(buf[0], 0x01);
  EXPECT_EQ(platform::GetTickCount(), t0 + 250 + 700);
  hid_close(dev);
}

TEST_F(SimTest, RepliesTakeTheirDelaysInTurnAndNeverOvertakeAnEarlierOne) {
  const std::string path = sim::AddWiredMouse(kVid, kWiredPid);
  sim::Faults f;
  f.reply_delays_ms = {900, 0, 300};
  sim::SetFaults(path, f);
  hid_device* dev = hid_open_path(path.c_str());
  ASSERT_NE(dev, nullptr);
  const uint32_t t0 = platform::GetTickCount();
  auto writeAt = [&](uint32_t ms, int command) {
    platform::SleepMs(t0 + ms - platform::GetTickCount());
    const std::vector<uint8_t> report = Bytes({0x00, 0x55, command}, 65);  // checksum 0
    EXPECT_EQ(hid_write(dev, report.data(), report.size()), 65);
  };
  // (command answered, ms after t0)
  auto next = [&](int timeoutMs) {
    uint8_t buf[65] = {};
    EXPECT_EQ(hid_read_timeout(dev, buf, sizeof buf, timeoutMs), 64);
    return std::pair<int, uint32_t>(buf[1], platform::GetTickCount() - t0);
  };
  writeAt(0, 1);
  writeAt(100, 2);  // due at 100, held back behind the first
  writeAt(200, 3);  // due at 500, the same
  EXPECT_EQ(next(1000), std::pair(1, 900u));
  EXPECT_EQ(next(0), std::pair(2, 900u));
  EXPECT_EQ(next(0), std::pair(3, 900u));
  writeAt(1000, 4);  // the delays come round again
  EXPECT_EQ(next(2000), std::pair(4, 1900u));
  hid_close(dev);
}

TEST_F(SimTest, ReceiverAnswersItsStatusQueryOnlyWhenTheChecksumIsRight) {
  const std::string path = sim::AddReceiver(kVid, kReceiverPid, 1, true);
  hid_device* dev = hid_open_path(path.c_str());
  ASSERT_NE(dev, nullptr);
  EXPECT_EQ(hid_write(dev, StatusQuery(false).data(), 65), 65);
  EXPECT_EQ(sim::GetCounters().framing_errors, 1);
  EXPECT_EQ(sim::PendingInput(path), 0u);
  EXPECT_EQ(model_->writes, 0);

  EXPECT_EQ(hid_write(dev, StatusQuery(true).data(), 65), 65);
  uint8_t buf[65] = {};
  ASSERT_EQ(hid_read_timeout(dev, buf, sizeof buf, 100), 64);
  EXPECT_EQ(buf[2], 0x8C);
  EXPECT_EQ(buf[4] & 0x08, 0x08);

  // Anything else goes to the mouse behind it, with the receiver's mode.
  std::vector<uint8_t> command = Bytes({0x00, 0x55, 0x30, 0xA5}, 65);
  EXPECT_EQ(hid_write(dev, command.data(), 65), 65);
  EXPECT_EQ(model_->writes, 1);
  EXPECT_EQ(model_->last_dev_mode, 1);

  // With the mouse away only the receiver itself answers.
  sim::SetMouseOnline(path, false);
  while (hid_read_timeout(dev, buf, sizeof buf, 0) > 0) {
  }
  EXPECT_EQ(hid_write(dev, command.data(), 65), 65);
  EXPECT_EQ(model_->writes, 1);
  EXPECT_EQ(hid_write(dev, StatusQuery(true).data(), 65), 65);
  ASSERT_EQ(hid_read_timeout(dev, buf, sizeof buf, 100), 64);
  EXPECT_EQ(buf[4] & 0x08, 0x00);
  EXPECT_EQ(sim::PendingInput(path), 0u);
  hid_close(dev);
}

TEST_F(SimTest, UnpluggedInterfacesLeaveTheEnumerationAndFailTheirHandles) {
  const std::string path = sim::AddWiredMouse(kVid, kWiredPid);
  hid_device* dev = hid_open_path(path.c_str());
  ASSERT_NE(dev, nullptr);
  sim::Unplug(path);
  uint8_t buf[65] = {};
  EXPECT_EQ(hid_write(dev, buf, 65), -1);
  EXPECT_EQ(hid_read_timeout(dev, buf, 65, 10), -1);
  EXPECT_EQ(hid_open_path(path.c_str()), nullptr);
  int listed = 0;
  hid_device_info* list = hid_enumerate(0, 0);
  for (hid_device_info* i = list; i != nullptr; i = i->next) listed += std::string(i->path) == path;
  hid_free_enumeration(list);
  EXPECT_EQ(listed, 0);
  hid_close(dev);

  sim::Replug(path);
  EXPECT_EQ(sim::OpenCount(path), 1);
  dev = hid_open_path(path.c_str());
  EXPECT_NE(dev, nullptr);
  hid_close(dev);
  EXPECT_EQ(sim::OpenCount(path), 2);
}

TEST_F(SimTest, ClosedHandlesAreCountedAsMisuseNotReused) {
  const std::string path = sim::AddWiredMouse(kVid, kWiredPid);
  hid_device* dev = hid_open_path(path.c_str());
  hid_close(dev);
  uint8_t buf[65] = {};
  EXPECT_EQ(hid_write(dev, buf, 65), -1);
  hid_close(dev);
  const sim::Counters c = sim::GetCounters();
  EXPECT_EQ(c.misuses, 2);
  EXPECT_EQ(c.closes, 1);
  EXPECT_EQ(c.open_handles, 0);
}

TEST_F(SimTest, EveryReportIsLoggedWithItsDirectionAndTime) {
  const std::string path = sim::AddWiredMouse(kVid, kWiredPid);
  hid_device* dev = hid_open_path(path.c_str());
  std::vector<uint8_t> command = Bytes({0x00, 0x55, 0x30, 0xA5, 0x00}, 65);
  platform::SleepMs(5);
  const uint32_t t = platform::GetTickCount();
  hid_write(dev, command.data(), 65);
  uint8_t buf[65] = {};
  hid_read_timeout(dev, buf, sizeof buf, 100);
  const auto log = sim::Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].direction, sim::Direction::kWrite);
  EXPECT_EQ(log[0].bytes, command);
  EXPECT_EQ(log[0].time, t);
  EXPECT_EQ(log[1].direction, sim::Direction::kRead);
  EXPECT_EQ(log[1].bytes.size(), 64u);
  EXPECT_EQ(log[1].bytes[0], 0xAA);

  // A wrong checksum is the model's to judge and shows in the log.
  command[4] = 0x01;
  hid_write(dev, command.data(), 65);
  EXPECT_FALSE(sim::Log().back().framing_ok);
  hid_close(dev);
}

}  // namespace
