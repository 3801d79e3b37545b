#include <gtest/gtest.h>

#include <map>
#include <set>

#include "ui/device_scan_rules.h"

TEST(ConnectionView, EveryRowOfTheStateTable) {
  struct Row {
    bool attached;
    int mode;
    int text;
    bool usable;
    int ready;
    bool battery;
  };
  const Row rows[] = {
      {false, 0, 50, false, 0, false},  // nothing attached, whatever the mode says
      {true, -1, 53, false, 0, false},  // a receiver whose mouse is offline
      {true, 0, 51, true, 1, false},    // wired
      {true, 1, 52, true, 1, false},    // receiver
      {true, 3, 52, true, 1, false},    // receiver of the second kind
      {true, 2, 54, false, 0, true},    // Bluetooth LE: ready once the battery service is opened
  };
  for (const Row& r : rows) {
    const ConnectionView v = ConnectionViewFor(r.attached, r.mode);
    EXPECT_EQ(v.stateText, r.text) << r.attached << " " << r.mode;
    EXPECT_EQ(v.usable, r.usable) << r.mode;
    EXPECT_EQ(v.deviceReady, r.ready) << r.mode;
    EXPECT_EQ(v.openBatteryService, r.battery) << r.mode;
  }
}

namespace {

DeviceModeInfo Row(int mode, int pid, std::u16string iface = u"") {
  DeviceModeInfo r;
  r.device_type = 101;
  r.value = mode;
  r.vid = 0x3A1C;
  r.pid = pid;
  r.hid_interface = std::move(iface);
  return r;
}

struct Machine {
  std::map<std::string, std::pair<int, int>> listed;  // path -> (vid, pid) of a vendor or receiver interface
  std::map<int, int> attached;                 // mode -> index
  std::map<std::string, int> bluetooth;        // path -> pid of a node on the Bluetooth bus
  std::set<std::string> attachedPaths;         // paths of the last scan's attached entries
  NoticeContext Context() {
    return {[this](const std::string& p, int vid, int pid) { return listed.count(p) && listed[p] == std::pair{vid, pid}; },
            [this](int, int, int mode) { return attached.count(mode) ? attached[mode] : -1; },
            [this](const std::string& p, int vid, int pid) {
              return vid == 0x3A1C && bluetooth.count(p) && bluetooth[p] == pid;
            },
            [this](const std::string& p) { return attachedPaths.count(p) > 0; }};
  }
};

const std::string kWired = "\\\\?\\hid#vid_3a1c&pid_1001&mi_01&col04#8&1&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
const std::string kBle =
    "\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&023a1c_pid&1003#9&1&0&0000#{4d1e55b2}\\kbd";

}  // namespace

TEST(DeviceNotices, ArrivalOfAnInterfaceOfARowWhoseModeIsNotAttached) {
  const std::string receiver = "\\\\?\\hid#vid_3a1c&pid_1002&mi_02&col01#8&1&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  const std::string other = "\\\\?\\hid#vid_1111&pid_2222&mi_01&col01#8&1&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  const std::vector<DeviceModeInfo> rows = {Row(0, 0x1001), Row(1, 0x1002)};
  const struct {
    const char* what;
    std::string path;
    std::map<int, int> attachedModes;
    int code;
  } cases[] = {
      {"the cable, nothing attached", kWired, {}, 2},
      {"the receiver, the cable attached", receiver, {{0, 0}}, 2},
      {"the cable while the receiver is not attached", kWired, {{0, 0}}, 0},
      {"the receiver while it is attached", receiver, {{1, 0}}, 0},
      {"another maker's vendor interface", other, {}, 0},
      {"no vendor or receiver interface", "/dev/hidraw9", {}, 0},
  };
  for (const auto& c : cases) {
    Machine m;
    m.listed = {{kWired, {0x3A1C, 0x1001}}, {receiver, {0x3A1C, 0x1002}}, {other, {0x1111, 0x2222}}};
    m.attached = c.attachedModes;
    EXPECT_EQ(WorkCommandForNotice(kDeviceArrival, c.path, rows, !c.attachedModes.empty(), m.Context()), c.code)
        << c.what;
  }
  Machine m;
  m.listed[kWired] = {0x3A1C, 0x1001};
  EXPECT_EQ(WorkCommandForNotice(kDeviceArrival, kWired, {}, false, m.Context()), 0) << "no supported rows";
  // Two modes under the same ids: the cable attached, the other mode not yet.
  m.attached = {{0, 0}};
  EXPECT_EQ(WorkCommandForNotice(kDeviceArrival, kWired, {Row(0, 0x1001), Row(1, 0x1001)}, true, m.Context()), 2)
      << "another mode of the same ids";
}

TEST(DeviceNotices, BluetoothArrivalMatchesByServiceInterfaceTextAndKbd) {
  Machine m;
  const std::vector<DeviceModeInfo> rows = {Row(2, 0x1003, u"VID&023A1C")};
  EXPECT_EQ(WorkCommandForNotice(kDeviceArrival, kBle, rows, false, m.Context()), 2);
  std::string noKbd = kBle.substr(0, kBle.size() - 4);
  EXPECT_EQ(WorkCommandForNotice(kDeviceArrival, noKbd, rows, false, m.Context()), 0);
  // Interface texts are compared with the upper-cased path: a lower-case text never matches.
  const std::vector<DeviceModeInfo> lower = {Row(2, 0x1003, u"vid&023a1c")};
  EXPECT_EQ(WorkCommandForNotice(kDeviceArrival, kBle, lower, false, m.Context()), 0);
}

TEST(DeviceNotices, BluetoothArrivalOfAHidrawNodeMatchesByItsBusAndIds) {
  Machine m;
  m.bluetooth["/dev/hidraw4"] = 0x1003;
  const std::vector<DeviceModeInfo> rows = {Row(0, 0x1001), Row(2, 0x1003)};
  EXPECT_EQ(WorkCommandForNotice(kDeviceArrival, "/dev/hidraw4", rows, false, m.Context()), 2);
  // Another model's node on the bus, or a row whose interface text is not in the path: nothing.
  EXPECT_EQ(WorkCommandForNotice(kDeviceArrival, "/dev/hidraw5", rows, false, m.Context()), 0);
  const std::vector<DeviceModeInfo> narrow = {Row(2, 0x1003, u"VID&023A1C")};
  EXPECT_EQ(WorkCommandForNotice(kDeviceArrival, "/dev/hidraw4", narrow, false, m.Context()), 0);
  // Without the bus test only the other rules apply.
  NoticeContext noBus = m.Context();
  noBus.isBluetoothInterface = nullptr;
  EXPECT_EQ(WorkCommandForNotice(kDeviceArrival, "/dev/hidraw4", rows, false, noBus), 0);
}

TEST(DeviceNotices, RemovalOnlyWhileConnectedAndOnlyForWhatIsAttached) {
  const std::vector<DeviceModeInfo> both = {Row(0, 0x1001), Row(1, 0x1002)};
  const std::vector<DeviceModeInfo> narrow = {Row(1, 0x1002, u"MI_02")};
  const std::vector<DeviceModeInfo> ble = {Row(2, 0x1003)};
  const struct {
    const char* what;
    std::string path;
    std::vector<DeviceModeInfo> rows;
    bool connected;
    std::map<int, int> attachedModes;
    std::set<std::string> attachedPaths;
    int code;
  } cases[] = {
      {"nothing connected", kWired, both, false, {{1, 0}}, {}, 0},
      {"mode not attached", kWired, both, true, {}, {}, 0},
      {"receiver still listed", kWired, both, true, {{1, 0}}, {}, 3},
      {"interface text not in the path", kWired, narrow, true, {{1, 0}}, {}, 0},
      {"Bluetooth LE by text and KBD", kBle, ble, true, {}, {}, 3},
      // Device nodes carry no interface texts: only the attached node's own removal counts.
      {"the mouse's node", "/dev/hidraw3", both, true, {{0, 0}}, {"/dev/hidraw3"}, 3},
      {"another node", "/dev/hidraw9", both, true, {{0, 0}}, {"/dev/hidraw3"}, 0},
      {"the mouse's node, nothing connected", "/dev/hidraw3", both, false, {{0, 0}}, {"/dev/hidraw3"}, 0},
  };
  for (const auto& c : cases) {
    Machine m;
    m.attached = c.attachedModes;
    m.attachedPaths = c.attachedPaths;
    EXPECT_EQ(WorkCommandForNotice(kDeviceRemoveComplete, c.path, c.rows, c.connected, m.Context()), c.code) << c.what;
  }
  Machine m;
  m.attached[0] = 0;
  EXPECT_EQ(WorkCommandForNotice(0x0007, kWired, both, true, m.Context()), 0);
}
