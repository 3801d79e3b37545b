// Which interfaces the enumeration keeps, and which one becomes the device in use.
#include "device_test_support.h"

using namespace devtest;

namespace {

class ConnectionTest : public DeviceTest {};

std::vector<AttachedDevice> Attached(HidDeviceManager& mgr) {
  std::vector<AttachedDevice> list;
  mgr.GetAttachedDevices(list);
  return list;
}

TEST_F(ConnectionTest, WiredBeatsAnOnlineReceiverAndIsTheCurrentDevice) {
  const std::string receiver = sim::AddReceiver(kVid, kReceiverPid, kModeReceiver, true);
  const std::string wired = sim::AddWiredMouse(kVid, kWiredPid);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  EXPECT_EQ(mgr.GetConnectionMode(), kModeWired);
  AttachedDevice current;
  ASSERT_TRUE(mgr.GetCurrentDevice(&current));
  EXPECT_EQ(current.path, wired);
  EXPECT_EQ(current.devMode, kModeWired);
  EXPECT_EQ(current.product, u"Tarsel-Game mouse");
  EXPECT_EQ(current.manufacturer, u"Tarsel-Game");
  EXPECT_EQ(current.device, nullptr);  // copies never carry the handle
  EXPECT_TRUE(current.hasDevice);

  // Both kept, in enumeration order; the receiver was asked and is online.
  const auto list = Attached(mgr);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].path, receiver);
  EXPECT_EQ(list[0].online, 1);
  EXPECT_EQ(list[1].path, wired);
}

TEST_F(ConnectionTest, ReceiverStatusQueryGoesOutWithItsChecksumAndDecidesOnline) {
  const std::string receiver = sim::AddReceiver(kVid, kReceiverPid, kModeReceiver, true);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  const auto writes = sim::Writes(receiver);
  ASSERT_EQ(writes.size(), 1u);
  // 00 | 01 00 81 01 | zeros | 1E (0xA1 - 0x83)
  std::vector<uint8_t> expected = Bytes({0x00, 0x01, 0x00, 0x81, 0x01}, 65);
  expected[64] = 0x1E;
  EXPECT_EQ(writes[0].bytes, expected);
  EXPECT_TRUE(writes[0].framing_ok);
  EXPECT_EQ(mgr.GetConnectionMode(), kModeReceiver);
  AttachedDevice current;
  ASSERT_TRUE(mgr.GetCurrentDevice(&current));
  EXPECT_EQ(current.path, receiver);
}

TEST_F(ConnectionTest, OfflineReceiverAloneGivesNoUsableDevice) {
  const std::string receiver = sim::AddReceiver(kVid, kReceiverPid, kModeReceiver, false);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  EXPECT_EQ(mgr.GetConnectionMode(), kNoDevice);
  EXPECT_FALSE(mgr.GetCurrentDevice());
  const auto list = Attached(mgr);
  ASSERT_EQ(list.size(), 1u);  // still listed: a removal is matched against it
  EXPECT_EQ(list[0].online, 0);
  EXPECT_EQ(mgr.FindDeviceIndex(kVid, kReceiverPid, kModeReceiver), 0);
}

TEST_F(ConnectionTest, OnlyTheFirstReceiverOfEachKindIsConsidered) {
  sim::AddReceiver(kVid, 0x2001, kModeReceiver, false, 0);
  sim::AddReceiver(kVid, 0x2002, kModeReceiver, true, 1);
  HidDeviceManager& mgr = Manager(false);
  mgr.AddSupportedDevice(kVid, 0x2001, u"", kType, kModeReceiver);
  mgr.AddSupportedDevice(kVid, 0x2002, u"", kType, kModeReceiver);
  mgr.Rescan();
  EXPECT_EQ(mgr.GetConnectionMode(), kNoDevice);
  EXPECT_FALSE(mgr.GetCurrentDevice());

  // A mode-3 receiver that is online is chosen after the offline mode-1 one.
  const std::string third = sim::AddReceiver(kVid, 0x2003, kModeReceiver2, true, 2);
  mgr.AddSupportedDevice(kVid, 0x2003, u"", kType, kModeReceiver2);
  mgr.Rescan();
  EXPECT_EQ(mgr.GetConnectionMode(), kModeReceiver2);
  AttachedDevice current;
  ASSERT_TRUE(mgr.GetCurrentDevice(&current));
  EXPECT_EQ(current.path, third);
}

TEST_F(ConnectionTest, BluetoothLeBeatsAReceiverAndLeavesNoCurrentDevice) {
  sim::AddReceiver(kVid, kReceiverPid, kModeReceiver, true);
  const std::string ble = sim::AddBleMouse(kVid, kBlePid);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  EXPECT_EQ(mgr.GetConnectionMode(), kModeBluetoothLe);
  EXPECT_FALSE(mgr.GetCurrentDevice());
  const auto list = Attached(mgr);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].path, ble);
  EXPECT_EQ(list[1].devMode, kModeBluetoothLe);
  EXPECT_EQ(list[1].online, 1);
  EXPECT_FALSE(list[1].hasDevice);
  EXPECT_TRUE(list[1].product.empty());
  // With no device every exchange refuses.
  sim::ClearLog();
  std::array<uint8_t, 128> buffer{};
  EXPECT_FALSE(mgr.SendCommand(buffer));
  EXPECT_TRUE(sim::Writes().empty());
}

TEST_F(ConnectionTest, BluetoothLePathsAreRecognisedInAnyCaseAndWhenTheyCannotBeOpened) {
  HidDeviceManager& mgr = Manager();
  sim::AddBleMouse(kVid, kBlePid, /*lower_case=*/true);
  mgr.Rescan();
  EXPECT_EQ(mgr.GetConnectionMode(), kModeBluetoothLe);
  EXPECT_EQ(mgr.AttachedCount(), 1u);  // the mouse collection's path has no "KBD"
  EXPECT_EQ(sim::GetCounters().open_handles, 0);

  sim::Reset();
  sim::InterfaceSpec spec;
  spec.path = "\\\\?\\HID#{00001812-0000-1000-8000-00805f9b34fb}_Dev_VID&023A1C_PID&1003#x#{884b96c3}\\KBD";
  spec.vid = kVid;
  spec.pid = kBlePid;
  spec.usages = {{0x01, 0x06}};
  spec.open_fails = true;
  sim::AddInterface(spec);
  mgr.Rescan();
  EXPECT_EQ(mgr.GetConnectionMode(), kModeBluetoothLe);
}

TEST_F(ConnectionTest, BluetoothBusOnHidrawCountsAsBluetoothLe) {
  sim::AddHidrawMouse(kVid, kBlePid, 3, /*bluetooth=*/true);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  EXPECT_EQ(mgr.GetConnectionMode(), kModeBluetoothLe);
  for (const AttachedDevice& entry : Attached(mgr)) EXPECT_EQ(entry.devMode, kModeBluetoothLe);
  EXPECT_EQ(sim::GetCounters().open_handles, 0);
}

TEST_F(ConnectionTest, HidrawNodeWithSeveralUsagesKeepsOneHandleForTheVendorUsage) {
  const std::string node = sim::AddHidrawMouse(kVid, kWiredPid, 0);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  EXPECT_EQ(mgr.GetConnectionMode(), kModeWired);
  EXPECT_EQ(mgr.AttachedCount(), 1u);
  EXPECT_EQ(sim::OpenCount(node), 3);  // once per listed usage
  EXPECT_EQ(sim::GetCounters().open_handles, 1);
  std::array<uint8_t, 128> buffer{};
  buffer[1] = 0x55;
  EXPECT_TRUE(mgr.SendCommand(buffer));
}

TEST_F(ConnectionTest, ModeZeroRowsSkipTheStatusQuery) {
  // A receiver interface whose (vid, pid) belongs to a wired row.
  const std::string receiver = sim::AddReceiver(kVid, kWiredPid, kModeWired, false);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  EXPECT_TRUE(sim::Writes(receiver).empty());
  const auto list = Attached(mgr);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].online, 1);
  EXPECT_EQ(list[0].devMode, kModeWired);
  EXPECT_EQ(mgr.GetConnectionMode(), kModeWired);
  EXPECT_EQ(mgr.QueryOnline(0), 1);
  EXPECT_TRUE(sim::Writes(receiver).empty());
}

TEST_F(ConnectionTest, ModeComesFromTheFirstRowOfTheVidPidNotFromTheUsage) {
  // One (vid, pid) for both interfaces: both get the first row's mode.
  sim::AddWiredMouse(kVid, 0x3000);
  sim::AddReceiver(kVid, 0x3000, kModeReceiver, true);
  HidDeviceManager& mgr = Manager(false);
  mgr.AddSupportedDevice(kVid, 0x3000, u"", kType, kModeReceiver);
  mgr.AddSupportedDevice(kVid, 0x3000, u"", kType, kModeWired);
  mgr.Rescan();
  for (const AttachedDevice& entry : Attached(mgr)) EXPECT_EQ(entry.devMode, kModeReceiver);
  EXPECT_EQ(mgr.GetDevMode(kVid, 0x3000), kModeReceiver);
  EXPECT_EQ(mgr.GetConnectionMode(), kModeReceiver);
}

TEST_F(ConnectionTest, UnsupportedDevicesAreNeverOpenedAndOtherCollectionsAreClosedAtOnce) {
  const std::string other = sim::AddUnsupportedDevice();
  const std::string wired = sim::AddWiredMouse(kVid, kWiredPid);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  EXPECT_EQ(sim::OpenCount(other), 0);
  // All five collections of the mouse were opened; only the vendor one stays.
  EXPECT_EQ(sim::GetCounters().opens, 5);
  EXPECT_EQ(sim::GetCounters().open_handles, 1);
  const auto list = Attached(mgr);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].path, wired);
}

TEST_F(ConnectionTest, VendorCollectionWithUsageOneIsNotListed) {
  sim::InterfaceSpec spec;
  spec.path = "\\\\?\\hid#vid_3a1c&pid_1001&mi_01&col03#x";
  spec.vid = kVid;
  spec.pid = kWiredPid;
  spec.usages = {{0xFF01, 0x01}};
  spec.role = sim::Role::kVendor;
  sim::AddInterface(spec);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  EXPECT_EQ(sim::OpenCount(spec.path), 1);
  EXPECT_EQ(sim::GetCounters().open_handles, 0);
  EXPECT_EQ(mgr.AttachedCount(), 0u);
  EXPECT_EQ(mgr.GetConnectionMode(), kNoDevice);
}

TEST_F(ConnectionTest, RescansLeaveNoHandleBehind) {
  sim::AddWiredMouse(kVid, kWiredPid);
  sim::AddReceiver(kVid, kReceiverPid, kModeReceiver, true);
  sim::AddBleMouse(kVid, kBlePid);
  sim::AddHidrawMouse(kVid, kWiredPid, 7);
  HidDeviceManager& mgr = Manager();
  for (int i = 0; i < 20; ++i) mgr.Rescan();
  // Enumerating again without CloseAll closes the earlier entries too.
  for (int i = 0; i < 5; ++i) mgr.EnumerateDevice();
  sim::Counters c = sim::GetCounters();
  EXPECT_EQ(c.open_handles, 3);  // wired, receiver, hidraw vendor usage
  EXPECT_EQ(c.enumerations, 25);
  EXPECT_EQ(c.freed_enumerations, 25);
  mgr.CloseAll();
  c = sim::GetCounters();
  EXPECT_EQ(c.open_handles, 0);
  EXPECT_EQ(c.opens, c.closes);
  EXPECT_EQ(c.misuses, 0);
  EXPECT_EQ(mgr.AttachedCount(), 0u);
  EXPECT_EQ(mgr.IsOpened(), 0);
}

TEST_F(ConnectionTest, CloseAllDoesNothingBeforeTheManagerIsOpened) {
  sim::AddWiredMouse(kVid, kWiredPid);
  HidDeviceManager& mgr = Manager();
  mgr.EnumerateDevice();  // opened stays 0
  mgr.CloseAll();
  EXPECT_EQ(mgr.AttachedCount(), 1u);
  EXPECT_EQ(sim::GetCounters().open_handles, 1);
  mgr_.reset();  // a manager of our own closes what it holds
  EXPECT_EQ(sim::GetCounters().open_handles, 0);
}

TEST_F(ConnectionTest, CachedReceiverStaysCurrentUntilResetOnline) {
  const std::string receiver = sim::AddReceiver(kVid, kReceiverPid, kModeReceiver, true);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  ASSERT_TRUE(mgr.GetCurrentDevice());
  sim::SetMouseOnline(receiver, false);
  EXPECT_EQ(mgr.QueryOnline(0), 0);
  EXPECT_EQ(mgr.GetConnectionMode(), kNoDevice);
  EXPECT_TRUE(mgr.GetCurrentDevice());  // still cached
  mgr.ResetOnline();
  EXPECT_FALSE(mgr.GetCurrentDevice());

  // SetDeviceType forgets the cache as well.
  sim::SetMouseOnline(receiver, true);
  EXPECT_EQ(mgr.QueryOnline(0), 1);
  ASSERT_TRUE(mgr.GetCurrentDevice());
  sim::SetMouseOnline(receiver, false);
  mgr.QueryOnline(0);
  mgr.SetDeviceType(kType);
  EXPECT_FALSE(mgr.GetCurrentDevice());
}

TEST_F(ConnectionTest, StatusQueryIsAskedTwiceAndTwoFailuresKeepTheReceiverOnline) {
  const std::string receiver = sim::AddReceiver(kVid, kReceiverPid, kModeReceiver, false);
  sim::Faults f;
  f.fail_writes = 1;
  sim::SetFaults(receiver, f);
  HidDeviceManager& mgr = Manager();
  const uint32_t t0 = platform::GetTickCount();
  mgr.Rescan();
  // First: flush 100, failed write. Then 100 ms, flush 100, write.
  EXPECT_EQ(WriteTimes(receiver), (std::vector<uint32_t>{t0 + 100, t0 + 300}));
  EXPECT_EQ(Attached(mgr)[0].online, 0);

  f.fail_writes = 0;
  f.silent = true;
  sim::SetFaults(receiver, f);
  sim::ClearLog();
  mgr.Rescan();
  EXPECT_EQ(sim::Writes(receiver).size(), 2u);
  EXPECT_EQ(Attached(mgr)[0].online, 1);
  EXPECT_EQ(mgr.GetConnectionMode(), kModeReceiver);
}

TEST_F(ConnectionTest, PollInputWithoutCurrentDeviceAsksTheReceiversAndUpdatesOnline) {
  const std::string receiver = sim::AddReceiver(kVid, kReceiverPid, kModeReceiver, false);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  ASSERT_FALSE(mgr.GetCurrentDevice());
  std::array<uint8_t, 65> buffer{};
  EXPECT_FALSE(mgr.PollInput(buffer));
  sim::QueueInput(receiver, Bytes({0x01, 0x00, 0x8C, 0x01, 0x08}, 64));
  EXPECT_TRUE(mgr.PollInput(buffer));
  EXPECT_EQ(mgr.GetConnectionMode(), kModeReceiver);
}

TEST_F(ConnectionTest, AttachedDevicesOfAnotherTypeLeaveTheCallersListAlone) {
  sim::AddWiredMouse(kVid, kWiredPid);
  HidDeviceManager& mgr = Manager(false);
  mgr.AddSupportedDevice(kVid, kWiredPid, u"", 102, kModeWired);
  mgr.Rescan();
  std::vector<AttachedDevice> list(1);
  list[0].path = "mine";
  EXPECT_TRUE(mgr.GetAttachedDevices(list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].path, "mine");
  EXPECT_EQ(mgr.GetConnectionMode(), kNoDevice);

  // With type 0 the caller's list is replaced by every entry.
  mgr.SetDeviceType(0);
  EXPECT_TRUE(mgr.GetAttachedDevices(list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].devType, 102);

  mgr.CloseAll();
  EXPECT_FALSE(mgr.GetAttachedDevices(list));
}

TEST_F(ConnectionTest, SupportedTableLookupsTakeTheFirstRow) {
  HidDeviceManager& mgr = Manager(false);
  mgr.AddSupportedDevice(1, 2, u"", 101, 1);
  mgr.AddSupportedDevice(1, 2, u"", 202, 3);
  EXPECT_EQ(mgr.IsSupported(1, 2), 1);
  EXPECT_EQ(mgr.IsSupported(2, 1), 0);
  EXPECT_EQ(mgr.GetDevType(1, 2), 101);
  EXPECT_EQ(mgr.GetDevMode(1, 2), 1);
  EXPECT_EQ(mgr.GetDevType(9, 9), 0);
  mgr.ClearSupportedDevices();
  EXPECT_EQ(mgr.IsSupported(1, 2), 0);
}

TEST_F(ConnectionTest, FailedInitialisationFindsNothingAndNeverEnumerates) {
  sim::AddWiredMouse(kVid, kWiredPid);
  sim::SetInitFails(true);
  HidDeviceManager& mgr = Manager();
  EXPECT_FALSE(mgr.InitSucceeded());
  mgr.Rescan();
  EXPECT_EQ(mgr.AttachedCount(), 0u);
  EXPECT_EQ(mgr.GetConnectionMode(), kNoDevice);
  EXPECT_EQ(sim::GetCounters().enumerations, 0);
}

TEST_F(ConnectionTest, StringsAreConvertedToUtf16AndRefusalsLeaveThemEmpty) {
  sim::InterfaceSpec spec;
  spec.path = std::string("\\\\?\\hid#vid_3a1c&pid_1001#") + std::string(1100, 'p');
  spec.vid = kVid;
  spec.pid = kWiredPid;
  spec.usages = {{0xFF01, 0x10}};
  spec.role = sim::Role::kVendor;
  spec.product = u"Maus \U0001F5B1 \u00E9";
  spec.manufacturer = u"T\u00E4rsel";
  sim::AddInterface(spec);
  HidDeviceManager& mgr = Manager();
  mgr.Rescan();
  auto list = Attached(mgr);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].product, u"Maus \U0001F5B1 \u00E9");
  EXPECT_EQ(list[0].manufacturer, u"T\u00E4rsel");
  EXPECT_EQ(list[0].path.size(), 1023u);
  EXPECT_EQ(list[0].path, spec.path.substr(0, 1023));

  sim::Reset();
  spec.strings_refused = true;
  sim::AddInterface(spec);
  mgr.Rescan();
  list = Attached(mgr);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_TRUE(list[0].product.empty());
  EXPECT_TRUE(list[0].manufacturer.empty());
}

}  // namespace
