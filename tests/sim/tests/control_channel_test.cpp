// The preloaded simulator driven over its control socket, with the real
// hidapi and the platform's hot-plug monitor in front of it: what an
// end-to-end test of the program relies on.
#include <gtest/gtest.h>
#include <hidapi/hidapi.h>
#include <libudev.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "platform/hotplug.h"
#include "sim/sim_client.h"

namespace {

const char* SocketPath() { return std::getenv("TGM_SIM_CONTROL"); }

bool Readable(int fd, int timeout_ms = 0) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeout_ms) == 1 && (p.revents & POLLIN) != 0;
}

// Every enumerated path whose text contains `part`, each once, in order.
std::vector<std::string> Paths(const std::string& part) {
  std::vector<std::string> out;
  hid_device_info* all = hid_enumerate(0, 0);
  for (hid_device_info* d = all; d != nullptr; d = d->next) {
    const std::string path = d->path;
    if (path.find(part) != std::string::npos && std::find(out.begin(), out.end(), path) == out.end()) {
      out.push_back(path);
    }
  }
  hid_free_enumeration(all);
  return out;
}

// Reads notices while the descriptor is readable.
std::vector<platform::HotplugNotice> Drain(platform::HotplugMonitor& monitor) {
  std::vector<platform::HotplugNotice> out;
  while (Readable(monitor.Fd(), 200)) {
    auto notice = monitor.Read();
    if (!notice) break;
    out.push_back(*notice);
  }
  return out;
}

std::string VendorPath() {
  hid_device_info* all = hid_enumerate(0x3A1C, 0x1001);
  std::string path;
  for (hid_device_info* d = all; d != nullptr; d = d->next) {
    if (d->usage_page == 0xFF01 && d->usage == 0x10 && std::string(d->path).rfind("\\\\?\\", 0) == 0) path = d->path;
  }
  hid_free_enumeration(all);
  return path;
}

class ControlChannel : public ::testing::Test {
 protected:
  void SetUp() override {
    if (SocketPath() == nullptr) GTEST_SKIP() << "run through ctest, which preloads the simulator";
    ASSERT_EQ(hid_init(), 0);
    ASSERT_TRUE(client_.Connect(SocketPath()));
  }
  void TearDown() override {
    // Leave every interface plugged in for the next test.
    if (client_.Connected()) {
      client_.Command("fault wired clear");
      client_.Command("replug wired");
      client_.Command("replug hidraw");
      client_.Command("replug receiver");
    }
  }
  sim::ControlClient client_;
};

TEST_F(ControlChannel, UnplugAndReplugReachTheHotplugMonitorAndTheEnumeration) {
  platform::HotplugMonitor monitor;
  ASSERT_TRUE(monitor.Start());
  ASSERT_GE(monitor.Fd(), 0);
  EXPECT_FALSE(Readable(monitor.Fd()));

  const std::vector<std::string> wired = Paths("pid_1001");
  ASSERT_EQ(wired.size(), 5u);  // the vendor interface and four other collections
  const size_t receiver_paths = Paths("pid_1002").size();
  ASSERT_GT(receiver_paths, 0u);

  EXPECT_EQ(client_.Command("unplug wired"), "ok 5");
  std::vector<platform::HotplugNotice> notices = Drain(monitor);
  ASSERT_EQ(notices.size(), 5u);
  for (size_t i = 0; i < notices.size(); ++i) {
    EXPECT_EQ(notices[i].kind, platform::HotplugNotice::Kind::kRemoval);
    EXPECT_EQ(notices[i].path, wired[i]);
  }
  EXPECT_FALSE(monitor.Read().has_value());
  EXPECT_TRUE(Paths("pid_1001").empty());
  EXPECT_EQ(Paths("pid_1002").size(), receiver_paths);

  // Nothing changes, nothing is announced.
  EXPECT_EQ(client_.Command("unplug wired"), "ok 0");
  EXPECT_FALSE(Readable(monitor.Fd(), 100));

  EXPECT_EQ(client_.Command("replug wired"), "ok 5");
  notices = Drain(monitor);
  ASSERT_EQ(notices.size(), 5u);
  for (size_t i = 0; i < notices.size(); ++i) {
    EXPECT_EQ(notices[i].kind, platform::HotplugNotice::Kind::kArrival);
    EXPECT_EQ(notices[i].path, wired[i]);
  }
  EXPECT_EQ(Paths("pid_1001"), wired);
}

TEST_F(ControlChannel, EntriesAreNamedByKindOrPositionAndHidrawNodesKeepTheirPath) {
  platform::HotplugMonitor monitor;
  ASSERT_TRUE(monitor.Start());
  const std::vector<std::string> nodes = Paths("/dev/hidraw");
  ASSERT_EQ(nodes.size(), 1u);

  EXPECT_EQ(client_.Command("unplug 1"), "ok 1");  // TGM_SIM_SETUP=wired,hidraw,receiver
  std::vector<platform::HotplugNotice> notices = Drain(monitor);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].kind, platform::HotplugNotice::Kind::kRemoval);
  EXPECT_EQ(notices[0].path, nodes[0]);
  EXPECT_TRUE(Paths("/dev/hidraw").empty());
  EXPECT_EQ(Paths("pid_1001").size(), 5u);

  EXPECT_EQ(client_.Command("replug hidraw"), "ok 1");
  notices = Drain(monitor);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].kind, platform::HotplugNotice::Kind::kArrival);
  EXPECT_EQ(notices[0].path, nodes[0]);

  EXPECT_EQ(client_.Command("unplug 3"), "error no such set-up entry: 3");
  EXPECT_EQ(client_.Command("unplug ble"), "error no such set-up entry: ble");
  EXPECT_EQ(client_.Command("unplug"), "error usage: unplug <kind|index> [main]");
  EXPECT_FALSE(Readable(monitor.Fd(), 100));
}

TEST_F(ControlChannel, OnlyReceivingHidrawMonitorsHearNotices) {
  udev* u = udev_new();
  ASSERT_NE(u, nullptr);
  udev_monitor* hidraw = udev_monitor_new_from_netlink(u, "udev");
  udev_monitor* late = udev_monitor_new_from_netlink(u, "udev");
  udev_monitor* other = udev_monitor_new_from_netlink(u, "udev");
  ASSERT_TRUE(hidraw && late && other);
  ASSERT_EQ(udev_monitor_filter_add_match_subsystem_devtype(hidraw, "hidraw", nullptr), 0);
  ASSERT_EQ(udev_monitor_enable_receiving(hidraw), 0);
  ASSERT_EQ(udev_monitor_filter_add_match_subsystem_devtype(late, "hidraw", nullptr), 0);
  // `other` watches a subsystem the simulator has nothing to say about; it
  // may be a real monitor, whose descriptor then stays libudev's.
  udev_monitor_filter_add_match_subsystem_devtype(other, "sound", nullptr);
  udev_monitor_enable_receiving(other);

  ASSERT_EQ(client_.Command("unplug hidraw"), "ok 1");
  ASSERT_TRUE(Readable(udev_monitor_get_fd(hidraw), 1000));
  EXPECT_FALSE(Readable(udev_monitor_get_fd(late)));  // not receiving when it happened
  ASSERT_EQ(udev_monitor_enable_receiving(late), 0);
  EXPECT_FALSE(Readable(udev_monitor_get_fd(late)));
  if (udev_monitor_get_fd(other) >= 0) {
    EXPECT_FALSE(Readable(udev_monitor_get_fd(other), 100));
  }

  udev_device* dev = udev_monitor_receive_device(hidraw);
  ASSERT_NE(dev, nullptr);
  EXPECT_STREQ(udev_device_get_action(dev), "remove");
  EXPECT_STREQ(udev_device_get_devnode(dev), "/dev/hidraw11");
  EXPECT_EQ(udev_device_unref(dev), nullptr);
  EXPECT_FALSE(Readable(udev_monitor_get_fd(hidraw)));
  EXPECT_EQ(udev_monitor_receive_device(hidraw), nullptr);

  ASSERT_EQ(client_.Command("replug hidraw"), "ok 1");
  EXPECT_TRUE(Readable(udev_monitor_get_fd(hidraw), 1000));
  EXPECT_TRUE(Readable(udev_monitor_get_fd(late), 1000));

  EXPECT_EQ(udev_monitor_unref(hidraw), nullptr);
  EXPECT_EQ(udev_monitor_unref(late), nullptr);
  udev_monitor_unref(other);
  udev_unref(u);
  // Nobody listens any more: announcing must not touch the freed monitors.
  EXPECT_EQ(client_.Command("unplug hidraw"), "ok 1");
  EXPECT_EQ(client_.Command("ping"), "pong");
}

TEST_F(ControlChannel, CommandReportsShowInStateAndInTheLogCounts) {
  const std::string path = VendorPath();
  ASSERT_FALSE(path.empty());
  hid_device* dev = hid_open_path(path.c_str());
  ASSERT_NE(dev, nullptr);

  auto before = client_.Command("log");
  ASSERT_TRUE(before.has_value());
  int writes = -1, reads = -1, framing = -1;
  ASSERT_EQ(std::sscanf(before->c_str(), "ok writes %d reads %d framing-errors %d", &writes, &reads, &framing), 3)
      << *before;

  // SetCurrentDpi for profile 1: level 3, 30000 DPI.
  unsigned char report[65] = {0x00, 0x55, 0x22, 0xAE, 0xAC, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x03, 0x30, 0x75};
  ASSERT_EQ(hid_write(dev, report, sizeof report), 65);
  unsigned char reply[64] = {};
  ASSERT_EQ(hid_read_timeout(dev, reply, sizeof reply, 1000), 64);
  EXPECT_EQ(reply[0], 0xAA);
  EXPECT_EQ(reply[1], 0x22);

  const auto lines = client_.Block("state");
  ASSERT_TRUE(lines.has_value()) << client_.LastError();
  const auto state = sim::ParseState(*lines);
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(state->profile, 1);
  EXPECT_EQ(state->dpi_level, 3);
  EXPECT_EQ(state->dpi, 30000);
  ASSERT_EQ(state->key_maps.size(), 6u);
  ASSERT_EQ(state->settings.size(), 6u);
  for (const auto& map : state->key_maps) EXPECT_EQ(map.size(), 8u);
  for (const auto& block : state->settings) EXPECT_EQ(block.size(), 45u);
  EXPECT_EQ(state->light_modes.size(), 6u);

  // A broken checksum is counted as a framing error and left unanswered.
  report[4] ^= 0xFF;
  ASSERT_EQ(hid_write(dev, report, sizeof report), 65);
  EXPECT_EQ(hid_read_timeout(dev, reply, sizeof reply, 50), 0);
  char expected[96];
  std::snprintf(expected, sizeof expected, "ok writes %d reads %d framing-errors %d", writes + 2, reads + 1,
                framing + 1);
  EXPECT_EQ(client_.Command("log"), expected);
  hid_close(dev);
}

TEST_F(ControlChannel, NotifyQueuesTheModelsNotificationOnThePluggedInterface) {
  const std::string path = VendorPath();
  hid_device* dev = hid_open_path(path.c_str());
  ASSERT_NE(dev, nullptr);

  EXPECT_EQ(client_.Command("notify 0x10 4 0x02 wired"), "ok " + path);
  unsigned char report[64] = {};
  ASSERT_EQ(hid_read_timeout(dev, report, sizeof report, 1000), 64);
  EXPECT_EQ(report[0], 0xAA);
  EXPECT_EQ(report[1], 0xFA);
  EXPECT_EQ(report[8], 0x10);
  EXPECT_EQ(report[9], 4);
  EXPECT_EQ(report[10], 2);
  const auto state = sim::ParseState(client_.Block("state").value_or(std::vector<std::string>{}));
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(state->dpi_level, 4);
  EXPECT_EQ(state->report_rate, 2);

  // Without a target the first plugged-in item of the set-up gets it.
  ASSERT_EQ(client_.Command("unplug wired"), "ok 5");
  const auto receiver = client_.Command("notify 0x11 1 0");
  ASSERT_TRUE(receiver.has_value());
  EXPECT_NE(receiver->find("/dev/hidraw11"), std::string::npos) << *receiver;
  EXPECT_EQ(client_.Command("notify 0x11 1 0 wired"), "error nothing plugged in to notify");
  ASSERT_EQ(client_.Command("replug wired"), "ok 5");
  // Nothing queued while it was away turns up after it is back.
  EXPECT_EQ(hid_read_timeout(dev, report, sizeof report, 50), -1);  // the old handle died with the unplug
  hid_close(dev);
  dev = hid_open_path(path.c_str());
  ASSERT_NE(dev, nullptr);
  EXPECT_EQ(hid_read_timeout(dev, report, sizeof report, 50), 0);
  hid_close(dev);

  for (const char* bad : {"notify 0x100 0 0", "notify 1 2", "notify -1 0 0", "notify 1 2 3 4 5", "notify x 0 0"}) {
    const auto answer = client_.Command(bad);
    ASSERT_TRUE(answer.has_value()) << bad;
    EXPECT_EQ(answer->rfind("error usage: notify", 0), 0u) << bad << " -> " << *answer;
  }
}

TEST_F(ControlChannel, TheMouseLeavesItsReceiverAndComesBack) {
  const std::vector<std::string> receivers = Paths("pid_1002&mi_02");
  ASSERT_EQ(receivers.size(), 1u);
  hid_device* dev = hid_open_path(receivers[0].c_str());
  ASSERT_NE(dev, nullptr);
  // The receiver's status report, sent as the mouse goes and comes; a second word of the same is no news.
  for (const auto& [command, reply, online] : {std::tuple{"mouse receiver offline", "ok 1", 0x00},
                                               {"mouse receiver offline", "ok 0", -1},
                                               {"mouse receiver online", "ok 1", 0x08}}) {
    EXPECT_EQ(client_.Command(command), reply) << command;
    unsigned char report[64] = {};
    const int got = hid_read_timeout(dev, report, sizeof report, 50);
    if (online < 0) {
      EXPECT_EQ(got, 0) << command;
      continue;
    }
    ASSERT_EQ(got, 64) << command;
    EXPECT_EQ(report[0], 0x01);
    EXPECT_EQ(report[2], 0x8C);
    EXPECT_EQ(report[4], online) << command;
  }
  hid_close(dev);
  EXPECT_EQ(client_.Command("mouse wired offline"), "ok 0");
  EXPECT_EQ(client_.Command("mouse receiver away"), "error usage: mouse <kind|index> online|offline");
  EXPECT_EQ(client_.Command("mouse ble online"), "error no such set-up entry: ble");
}

TEST_F(ControlChannel, FaultsReachTheInterfaceTheProgramTalksTo) {
  const std::string path = VendorPath();
  ASSERT_FALSE(path.empty());
  // SetCurrentDpi for profile 1: level 3, 3000 DPI (0x0BB8).
  unsigned char request[65] = {0x00, 0x55, 0x22, 0xAE, 0xC9, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0xB8, 0x0B};
  unsigned char reply[64] = {};
  hid_device* dev = hid_open_path(path.c_str());
  ASSERT_NE(dev, nullptr);
  // One line per step: the command, then what three exchanges give (reply
  // length, 0 for none within `readMs`, -1 for a failed write), and the
  // least time they take.
  const struct {
    const char* command;
    int readMs;
    std::vector<int> exchanges;
    int leastMs = 0;
  } steps[] = {
      {"fault wired fail-writes 2", 100, {-1, -1, 64}},
      {"fault wired silent on", 100, {0, 0, 0}},
      {"fault wired silent off", 100, {64, 64, 64}},
      {"fault wired silent-after 2", 100, {64, 64, 0}},
      {"fault wired clear", 100, {64, 64, 64}},
      {"fault 0 drop-replies 2", 100, {0, 0, 64}},
      {"fault 0 delay 300", 1000, {64, 64, 64}, 900},
      {"fault 0 delays 100,400", 1000, {64, 64, 64}, 100 + 400 + 100},
      {"fault wired clear", 100, {64, 64, 64}},
  };
  for (const auto& step : steps) {
    ASSERT_EQ(client_.Command(step.command), "ok 1") << step.command;
    std::vector<int> got;
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < step.exchanges.size(); ++i) {
      got.push_back(hid_write(dev, request, sizeof request) < 0 ? -1
                                                                 : hid_read_timeout(dev, reply, sizeof reply, step.readMs));
    }
    EXPECT_EQ(got, step.exchanges) << step.command;
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(step.leastMs)) << step.command;
  }

  // Only the interface the program talks to leaves; the mouse's other collections stay.
  EXPECT_EQ(client_.Command("fault wired unplug-after 1"), "ok 1");
  ASSERT_EQ(hid_write(dev, request, sizeof request), 65);
  EXPECT_EQ(hid_write(dev, request, sizeof request), -1);
  EXPECT_EQ(Paths("pid_1001").size(), 4u);
  EXPECT_EQ(client_.Command("replug wired main"), "ok 1");
  EXPECT_EQ(client_.Command("unplug wired main"), "ok 1");
  EXPECT_EQ(Paths("pid_1001").size(), 4u);
  EXPECT_EQ(client_.Command("replug wired"), "ok 1");
  EXPECT_EQ(Paths("pid_1001").size(), 5u);
  hid_close(dev);

  for (const char* bad : {"fault wired", "fault wired silent maybe", "fault wired delay", "fault wired fail-writes -1",
                          "fault wired clear now", "fault wired louder 3", "fault wired delays 100,",
                          "fault wired delays 100,,200", "fault wired delays -5"}) {
    const auto answer = client_.Command(bad);
    ASSERT_TRUE(answer.has_value()) << bad;
    EXPECT_EQ(answer->rfind("error usage: fault", 0), 0u) << bad << " -> " << *answer;
  }
  EXPECT_EQ(client_.Command("fault ble clear"), "error no such set-up entry: ble");
  EXPECT_EQ(client_.Command("unplug wired all"), "error usage: unplug <kind|index> [main]");
}

TEST_F(ControlChannel, MalformedLinesGetAnErrorAndTheChannelStaysUsable) {
  EXPECT_EQ(client_.Command(""), "error empty command");
  EXPECT_EQ(client_.Command("frobnicate"), "error unknown command: frobnicate");
  EXPECT_EQ(client_.Command("ping extra"), "error unknown command: ping extra");
  EXPECT_EQ(client_.Command("ping\r"), "pong");
  EXPECT_EQ(client_.Command(std::string(10000, 'x')), "error line too long");
  EXPECT_EQ(client_.Command("ping"), "pong");

  // A second client is served while the first stays connected.
  sim::ControlClient second;
  ASSERT_TRUE(second.Connect(SocketPath()));
  EXPECT_EQ(second.Command("ping"), "pong");
  EXPECT_EQ(client_.Command("ping"), "pong");
}

TEST_F(ControlChannel, ProcessesThatOnlyInheritTheEnvironmentLeaveTheSocketAlone) {
  // The child inherits LD_PRELOAD and TGM_SIM_CONTROL and loads the drop-in too.
  ASSERT_EQ(std::system("exit 0"), 0);
  client_.Close();
  ASSERT_TRUE(client_.Connect(SocketPath(), 1000));
  EXPECT_EQ(client_.Command("ping"), "pong");

  // A wrapper that never touches hidapi (a shell, xvfb-run) opens no channel,
  // leaving it to the program it starts.
  const std::string other = std::string(SocketPath()) + ".wrapper";
  const std::string script = "TGM_SIM_CONTROL='" + other + "' sh -c 'sleep 0.2; test ! -e \"$TGM_SIM_CONTROL\"'";
  EXPECT_EQ(std::system(script.c_str()), 0);
}

TEST(StateParsing, RejectsLinesThatDoNotRead) {
  EXPECT_TRUE(sim::ParseState({"profile 2", "keymap 0 20010000", "settings 0 00FF"}).has_value());
  EXPECT_FALSE(sim::ParseState({"profile x"}).has_value());
  EXPECT_FALSE(sim::ParseState({"keymap 0 2001000"}).has_value());   // not whole bytes
  EXPECT_FALSE(sim::ParseState({"keymap 1 20010000"}).has_value());  // profiles come in order
  EXPECT_FALSE(sim::ParseState({"settings 0 0G"}).has_value());
  EXPECT_FALSE(sim::ParseState({"record key-down flags 42 code 04 delay 5"}).has_value());  // no macro yet
  const auto st = sim::ParseState({"macro 3 offset 0040 records 2 terminated",
                                   "record move flags 46 code 32 delay 10 x -3 y 2",
                                   "record key-up flags 82 code 04 delay 0 last"});
  ASSERT_TRUE(st.has_value());
  ASSERT_EQ(st->macros.size(), 1u);
  EXPECT_EQ(st->macros[0].offset, 0x40);
  ASSERT_EQ(st->macros[0].records.size(), 2u);
  EXPECT_EQ(st->macros[0].records[0].x, -3);
  EXPECT_TRUE(st->macros[0].records[1].last);
}

}  // namespace
