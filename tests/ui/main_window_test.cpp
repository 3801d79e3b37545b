// The main window against the simulated mouse: what a device scan shows,
// which hot-plug notices become work, the model's database, the routing of
// window messages and control events, and the window's device commands with
// their confirmations, busy dialog and result boxes.
#include "main_window_test_support.h"

#include <sqlite3.h>

#include <chrono>
#include <cmath>

#include <QLineEdit>
#include <QMenu>

#include "uikit/image.h"

using namespace mainwintest;

namespace {

// ---------------------------------------------------------------------------
// What a scan shows

TEST_F(MainWindowTest, LanguageTextsOfTheConnectionStatesAreDistinct) {
  // The scan checks below compare texts; they mean something only if these differ.
  std::vector<std::u16string> texts;
  for (int n : {50, 51, 52, 53, 54, 56}) {
    texts.push_back(GetLangText(n));
    EXPECT_FALSE(texts.back().empty()) << n;
  }
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(std::unique(texts.begin(), texts.end()), texts.end());
}

TEST_F(MainWindowTest, ScanShowsTheNoDeviceStateWhenNoRowIsOfTheSupportedType) {
  sim::AddWiredMouse(kVid, kWiredPid);  // attached, but config.xml lists it under another type
  TestWindow& w = MakeWindow({Row(0, kWiredPid, u"", 102)});
  w.ScanDevices();
  EXPECT_EQ(StateText(), GetLangText(50));
  EXPECT_EQ(w.deviceConnected.load(), 0);
  EXPECT_EQ(w.deviceReady.load(), 0);
  EXPECT_EQ(w.deviceType.load(), 101);
  EXPECT_EQ(Tabs().GetSelectItem(), 0);
  EXPECT_FALSE(Tabs().IsEnabled());
  EXPECT_TRUE(Shown(53));
  EXPECT_TRUE(Shown(54));
  for (int id : {88, 89, 90, 91, 92}) EXPECT_FALSE(Shown(id)) << id;
  std::lock_guard lock(w.supportedRowsLock);
  EXPECT_TRUE(w.supportedRows.empty());
}

TEST_F(MainWindowTest, ScanOfAWiredOrReceiverMouseMakesThePagesUsable) {
  struct Case {
    const char* name;
    std::function<void()> plug;
    int text;
  } cases[] = {
      {"wired", [] { sim::AddWiredMouse(kVid, kWiredPid); }, 51},
      {"receiver", [] { sim::AddReceiver(kVid, kReceiverPid, 1, true); }, 52},
      {"receiver of the second kind", [] { sim::AddReceiver(kVid, kReceiverPid, 3, true); }, 52},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Reset();
    c.plug();
    std::vector<DeviceModeInfo> rows = ModelRows();
    rows.push_back(Row(3, kReceiverPid));
    TestWindow& w = MakeWindow(rows);
    auto* battery = w.GetControlAs<BatteryCtrl>(40);
    battery->SetBatteryInfo(80, 1);
    w.ScanDevices();
    EXPECT_EQ(StateText(), GetLangText(c.text));
    EXPECT_EQ(w.deviceConnected.load(), 1);
    EXPECT_EQ(w.deviceReady.load(), 1);
    EXPECT_TRUE(Tabs().IsEnabled());
    EXPECT_EQ(Tabs().GetSelectItem(), 1);
    EXPECT_FALSE(Shown(53));
    EXPECT_FALSE(Shown(54));
    for (int id : {88, 89, 90, 91, 92}) EXPECT_TRUE(Shown(id)) << id;
    EXPECT_EQ(battery->GetBatteryLevel(), 0);
    EXPECT_EQ(battery->GetBatteryState(), 2);
    EXPECT_EQ(w.GetMessageText(), u"");
    std::lock_guard lock(w.supportedRowsLock);
    EXPECT_EQ(w.supportedRows.size(), 4u);
  }
}

TEST_F(MainWindowTest, ScanOfAnOfflineReceiverShowsItConnectedButNotReady) {
  const std::string receiver = sim::AddReceiver(kVid, kReceiverPid, 1, false);
  TestWindow& w = MakeWindow();
  w.ScanDevices();
  EXPECT_EQ(StateText(), GetLangText(53));
  EXPECT_EQ(w.deviceConnected.load(), 1);
  EXPECT_EQ(w.deviceReady.load(), 0);
  EXPECT_FALSE(Tabs().IsEnabled());
  EXPECT_EQ(Tabs().GetSelectItem(), 0);
  EXPECT_TRUE(Shown(53));
  for (int id : {88, 89, 90, 91, 92}) EXPECT_FALSE(Shown(id)) << id;

  // Its removal is still a removal.
  sim::Unplug(receiver);
  w.UpdateUSBDevice(0x8004, receiver);
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{3});
}

TEST_F(MainWindowTest, ScanOfABluetoothMouseOpensTheBatteryServiceAndWarnsOnTheMessageLine) {
  sim::AddBleMouse(kVid, kBlePid);
  // Battery-service interfaces: only the one whose path names 1915_PID is opened.
  const fs::path other = home_ / "{0000180F}_dev_vid&02ffff_pid&0001";
  const fs::path battery = home_ / "{0000180F}_dev_vid&023a1c_1915_pid&1003";
  std::ofstream(other).put('x');
  std::ofstream(battery).put('x');
  std::vector<std::u16string> asked;
  TestWindow& w = MakeWindow();
  w.listServiceInterfaces = [&](std::u16string_view service) {
    asked.emplace_back(service);
    return std::vector<std::string>{other.string(), (home_ / "gone_1915_PID").string(), battery.string()};
  };
  w.ScanDevices();
  EXPECT_EQ(StateText(), GetLangText(54));
  EXPECT_EQ(w.deviceConnected.load(), 1);
  EXPECT_EQ(w.deviceReady.load(), 1);
  EXPECT_FALSE(Tabs().IsEnabled());
  EXPECT_EQ(Tabs().GetSelectItem(), 0);
  EXPECT_TRUE(Shown(53));
  EXPECT_TRUE(Shown(54));
  for (int id : {88, 89, 90, 91, 92}) EXPECT_FALSE(Shown(id)) << id;
  EXPECT_EQ(w.GetMessageText(), GetLangText(56));
  EXPECT_EQ(asked, std::vector<std::u16string>{u"{0000180F-0000-1000-8000-00805F9B34FB}"});

  auto target = [](int fd) {
    std::error_code ec;
    return fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
  };
  auto handlesOn = [&](const fs::path& file) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      if (fs::read_symlink(entry.path(), ec) == file) ++n;
    }
    return n;
  };
  ASSERT_GE(w.batteryServiceHandle, 0);
  EXPECT_EQ(target(w.batteryServiceHandle), battery);
  // A second scan replaces the handle; the first one is closed.
  w.ScanDevices();
  EXPECT_EQ(target(w.batteryServiceHandle), battery);
  EXPECT_EQ(handlesOn(battery), 1);
  EXPECT_EQ(handlesOn(other), 0);

  // Once the mouse is wired, the message line is cleared.
  sim::Reset();
  sim::AddWiredMouse(kVid, kWiredPid);
  w.ScanDevices();
  EXPECT_EQ(StateText(), GetLangText(51));
  EXPECT_EQ(w.GetMessageText(), u"");
  close(w.batteryServiceHandle);
  w.batteryServiceHandle = -1;
}

// ---------------------------------------------------------------------------
// Arrival and removal notices

TEST_F(MainWindowTest, ArrivalQueuesWorkOnlyForAnInterfaceOfARowWhoseModeIsNotAttached) {
  const std::string wired = sim::AddWiredMouse(kVid, kWiredPid);
  const std::string receiver = sim::AddReceiver(kVid, kReceiverPid, 1, true);
  const std::string other = sim::AddUnsupportedDevice();  // another maker's vendor collection
  std::string receiverMouse;  // the receiver's own mouse collection
  for (const std::string& path : sim::InterfacePaths())
    if (receiverMouse.empty() && path.find("pid_1002&mi_00") != std::string::npos) receiverMouse = path;
  TestWindow& w = MakeWindow({Row(0, kWiredPid), Row(1, kReceiverPid)});
  const struct {
    const char* what;
    std::vector<std::string> away;  // unplugged during the scan, back for the notice
    std::string arriving;
    std::vector<int> queued;
  } cases[] = {
      {"the receiver plugged back in", {receiver}, receiver, {2}},
      {"the cable plugged back in", {wired}, wired, {2}},
      {"the cable again while the receiver is away", {receiver}, wired, {}},
      {"another maker's device while the receiver is away", {receiver}, other, {}},
      {"the receiver's mouse collection", {receiver}, receiverMouse, {}},
      {"the receiver again while it is attached", {}, receiver, {}},
  };
  for (const auto& c : cases) {
    for (const std::string& path : c.away) sim::Unplug(path);
    w.ScanDevices();
    for (const std::string& path : c.away) sim::Replug(path);
    w.UpdateUSBDevice(0x8000, c.arriving);
    EXPECT_EQ(Drain(w.workQueue), c.queued) << c.what;
  }
  // Other collections of the mouse, a path that cannot be found and an empty one: nothing.
  for (const std::string& path : sim::InterfacePaths()) {
    if (path == wired || path == receiver) continue;
    w.UpdateUSBDevice(0x8000, path);
    EXPECT_TRUE(Drain(w.workQueue).empty()) << path;
  }
  w.UpdateUSBDevice(0x8000, "\\\\?\\hid#vid_9999&pid_9999#nothing");
  w.UpdateUSBDevice(0x8000, "");
  EXPECT_TRUE(Drain(w.workQueue).empty());
}

TEST_F(MainWindowTest, ArrivalOfAMouseAfterTheScanQueuesOneCommand) {
  TestWindow& w = MakeWindow();
  w.ScanDevices();
  ASSERT_EQ(w.deviceConnected.load(), 0);
  const std::string wired = sim::AddWiredMouse(kVid, kWiredPid);
  w.UpdateUSBDevice(0x8000, wired);
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{2});
  // An event that is neither arrival nor removal.
  w.UpdateUSBDevice(0x8001, wired);
  EXPECT_TRUE(Drain(w.workQueue).empty());
}

TEST_F(MainWindowTest, BluetoothArrivalIsMatchedByItsPathInEitherCase) {
  const std::string upper = sim::AddBleMouse(kVid, kBlePid);
  const std::string lower = sim::AddBleMouse(kVid, kBlePid + 1, true);
  TestWindow& w = MakeWindow({Row(2, kBlePid, u"VID&023A1C")});
  w.ScanDevices();
  w.UpdateUSBDevice(0x8000, upper);
  w.UpdateUSBDevice(0x8000, lower);
  EXPECT_EQ(Drain(w.workQueue), (std::vector<int>{2, 2}));
  // A hid_interface written in lower case never matches the upper-cased path.
  w.modeRows = {Row(2, kBlePid, u"vid&023a1c")};
  w.ScanDevices();
  w.UpdateUSBDevice(0x8000, upper);
  EXPECT_TRUE(Drain(w.workQueue).empty());
}

TEST_F(MainWindowTest, HidrawNodesArriveAndLeaveWhetherWiredOrOnTheBluetoothBus) {
  // hidraw nodes carry no service identifiers: a Bluetooth LE mouse shows by
  // its bus, and has no vendor collection.
  TestWindow& w = MakeWindow();
  w.ScanDevices();
  const std::string wired = sim::AddHidrawMouse(kVid, kWiredPid, 3);
  const std::string ble = sim::AddHidrawMouse(kVid, kBlePid, 4, true);
  const std::string keyboard = sim::AddHidrawMouse(0x1111, 0x2222, 5, true);
  w.UpdateUSBDevice(0x8000, wired);
  w.UpdateUSBDevice(0x8000, ble);
  EXPECT_EQ(Drain(w.workQueue), (std::vector<int>{2, 2}));
  // Some other Bluetooth device is none of ours.
  w.UpdateUSBDevice(0x8000, keyboard);
  EXPECT_TRUE(Drain(w.workQueue).empty());

  w.ScanDevices();
  EXPECT_EQ(w.deviceConnected.load(), 1);
  sim::Unplug(ble);
  w.UpdateUSBDevice(0x8004, ble);
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{3});
}

TEST_F(MainWindowTest, RemovalIsIgnoredWhileNoDeviceIsConnected) {
  const std::string wired = sim::AddWiredMouse(kVid, kWiredPid);
  TestWindow& w = MakeWindow();
  w.ScanDevices();
  ASSERT_EQ(w.deviceConnected.load(), 1);
  w.deviceConnected = 0;
  w.UpdateUSBDevice(0x8004, wired);
  EXPECT_TRUE(Drain(w.workQueue).empty());
  w.deviceConnected = 1;
  w.UpdateUSBDevice(0x8004, wired);
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{3});
}

TEST_F(MainWindowTest, RemovalMatchesByHidInterfaceAndAnEmptyOneMatchesEveryPath) {
  const std::string wired = sim::AddWiredMouse(kVid, kWiredPid);
  TestWindow& w = MakeWindow({Row(0, kWiredPid)});
  w.ScanDevices();
  for (const std::string& path : {wired, std::string("\\\\?\\hid#something#else")}) {
    w.UpdateUSBDevice(0x8004, path);
    EXPECT_EQ(Drain(w.workQueue), std::vector<int>{3}) << path;
  }
  // A row naming its interface matches only paths that contain it, upper-cased.
  w.modeRows = {Row(0, kWiredPid, u"VID_3A1C&PID_1001")};
  w.ScanDevices();
  w.UpdateUSBDevice(0x8004, wired);
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{3});
  w.UpdateUSBDevice(0x8004, "/dev/hidraw9");
  EXPECT_TRUE(Drain(w.workQueue).empty());
  // A row whose mode is not attached does not match, even with an empty text.
  w.modeRows = {Row(0, kWiredPid, u"NOT-IN-THE-PATH"), Row(1, kReceiverPid)};
  w.ScanDevices();
  ASSERT_EQ(w.deviceConnected.load(), 1);
  w.UpdateUSBDevice(0x8004, wired);
  EXPECT_TRUE(Drain(w.workQueue).empty());
}

TEST_F(MainWindowTest, RemovalOfAHidrawNodeCountsOnlyForTheMouseItself) {
  const std::string mouse = sim::AddHidrawMouse(kVid, kWiredPid, 3);
  TestWindow& w = MakeWindow({Row(0, kWiredPid)});
  w.ScanDevices();
  ASSERT_EQ(w.deviceConnected.load(), 1);
  // Some other USB device goes: no rescan, no read-back over the user's edits.
  w.UpdateUSBDevice(0x8004, "/dev/hidraw9");
  EXPECT_TRUE(Drain(w.workQueue).empty());
  EXPECT_EQ(w.deviceConnected.load(), 1);
  {
    std::lock_guard lock(w.supportedRowsLock);
    EXPECT_EQ(w.supportedRows.size(), 1u);
  }
  sim::Unplug(mouse);
  w.UpdateUSBDevice(0x8004, mouse);
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{3});
}

TEST_F(MainWindowTest, NoticesHandledByTheWorkerRescanAndTheWindowFollows) {
  TestWindow& w = MakeWindow();
  w.ScanDevices();
  ASSERT_EQ(StateText(), GetLangText(50));
  w.StartThread();

  const std::string wired = sim::AddWiredMouse(kVid, kWiredPid);
  w.UpdateUSBDevice(0x8000, wired);
  // The worker's rescan hands the view to the window thread.
  EXPECT_TRUE(QTest::qWaitFor([&] { return StateText() == GetLangText(51); }, 10000));
  EXPECT_EQ(w.deviceConnected.load(), 1);
  EXPECT_EQ(w.deviceReady.load(), 1);
  EXPECT_TRUE(Tabs().IsEnabled());
  EXPECT_TRUE(Shown(88));

  sim::Unplug(wired);
  w.UpdateUSBDevice(0x8004, wired);
  EXPECT_TRUE(QTest::qWaitFor([&] { return StateText() == GetLangText(50); }, 10000));
  EXPECT_EQ(w.deviceConnected.load(), 0);
  EXPECT_EQ(w.deviceReady.load(), 0);
  EXPECT_FALSE(Tabs().IsEnabled());
  EXPECT_FALSE(Shown(88));
  // A second removal of the same mouse finds nothing connected.
  w.UpdateUSBDevice(0x8004, wired);
  EXPECT_EQ(w.workQueue.Size(), 0u);
  w.JoinThread();
}

TEST_F(MainWindowTest, ABluetoothMouseSeenByTheWorkersRescanWarnsUntilItLeaves) {
  TestWindow& w = MakeWindow();
  w.ScanDevices();
  w.StartThread();
  const std::string ble = sim::AddBleMouse(kVid, kBlePid);
  w.UpdateUSBDevice(0x8000, ble);
  EXPECT_TRUE(QTest::qWaitFor([&] { return StateText() == GetLangText(54); }, 10000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.GetMessageText() == GetLangText(56); }, 10000));
  EXPECT_EQ(w.deviceReady.load(), 1);
  EXPECT_FALSE(Tabs().IsEnabled());

  sim::Unplug(ble);
  w.UpdateUSBDevice(0x8004, ble);
  EXPECT_TRUE(QTest::qWaitFor([&] { return StateText() == GetLangText(50); }, 10000));
  EXPECT_EQ(w.GetMessageText(), u"");
  EXPECT_EQ(w.deviceReady.load(), 0);
  w.JoinThread();
}

// ---------------------------------------------------------------------------
// The model's database and the device type

TEST_F(MainWindowTest, DatabaseIsNamedByTheFirstMouseOfTheDeviceTypeInForce) {
  TestWindow& w = MakeWindow();
  auto mouse = [](int type, std::u16string attr) {
    DeviceModeInfo row;
    row.device_type = type;
    row.device_attr = std::move(attr);
    return row;
  };
  w.mouseRows = {mouse(102, u"Other"), mouse(101, u"First"), mouse(101, u"Second")};
  w.OpenDeviceDatabase();
  EXPECT_TRUE(db_.IsOpen());
  EXPECT_EQ(db_.Path(), dataFolder_ + "db/First_data_qel.db");
  EXPECT_TRUE(fs::exists(dataFolder_ + "db/First_data_qel.db"));
  EXPECT_EQ(db_.DeviceType(), 101);

  // The type comes from the user store.
  WriteDeviceType(*store_, 102);
  w.OpenDeviceDatabase();
  EXPECT_EQ(db_.Path(), dataFolder_ + "db/Other_data_qel.db");
  EXPECT_EQ(db_.DeviceType(), 102);

  // No row of the type: an empty model part.
  WriteDeviceType(*store_, 103);
  w.OpenDeviceDatabase();
  EXPECT_EQ(db_.Path(), dataFolder_ + "db/_data_qel.db");

  // A store that cannot give the type back (its key could not be made): the
  // run keeps the type it decided and the user's database.
  platform::UserStore keyless((home_ / "keyless.ini").string());
  WriteDeviceType(keyless, 101);
  w.SetUserStore(&keyless);
  w.OpenDeviceDatabase();
  EXPECT_EQ(db_.Path(), dataFolder_ + "db/First_data_qel.db");
  EXPECT_EQ(db_.DeviceType(), 101);
  w.SetUserStore(store_.get());
}

TEST_F(MainWindowTest, ADeviceAttributeNeverPlacesTheDatabaseOutsideTheDataFolder) {
  TestWindow& w = MakeWindow();
  const fs::path before = fs::path(dataFolder_) / "db";
  for (const std::u16string attr : {u"../../escape", u"sub/dir", u"sub\\dir", u"..", u"a..b", u"/tmp/abs"}) {
    SCOPED_TRACE(platform::Utf16ToUtf8(attr));
    DeviceModeInfo row;
    row.device_type = 101;
    row.device_attr = attr;
    w.mouseRows = {row};
    w.OpenDeviceDatabase();
    const fs::path file = fs::weakly_canonical(db_.Path());
    EXPECT_EQ(file.parent_path(), fs::weakly_canonical(before));
  }
  // Nothing was made anywhere but in db/.
  for (const auto& entry : fs::recursive_directory_iterator(home_)) {
    if (entry.is_regular_file() && entry.path().extension() == ".db") {
      EXPECT_EQ(entry.path().parent_path(), before) << entry.path();
    }
  }
}

TEST_F(MainWindowTest, StartUpWritesTheDeviceTypeAndOpensTheDatabaseBeforeTheWorkerRuns) {
  WriteDeviceType(*store_, 7);
  db_.Close();
  window_ = std::make_unique<TestWindow>(db_, *devices_);
  window_->fullInit = true;
  window_->SetUserStore(store_.get());
  window_->Create(nullptr, GetProductName(), 0x96000000u, 0, CRect{0, 0, 1121, 780});
  EXPECT_EQ(ReadDeviceType(*store_), 101);
  EXPECT_EQ(window_->deviceType.load(), 101);
  EXPECT_EQ(devices_->GetDeviceType(), 101);
  EXPECT_TRUE(db_.IsOpen());
  EXPECT_EQ(fs::path(db_.Path()).parent_path(), fs::path(dataFolder_) / "db");
  // No config.xml beside the test: the no-device state.
  EXPECT_EQ(StateText(), GetLangText(50));
  EXPECT_FALSE(Tabs().IsEnabled());
  // The orderly close stops the worker, forgets the rows and ends with 0.
  window_->CloseDialog();
  EXPECT_EQ(window_->endedWith, std::vector<int>{0});
  EXPECT_FALSE(window_->IsCreated());
  std::lock_guard lock(window_->supportedRowsLock);
  EXPECT_TRUE(window_->supportedRows.empty());
}

// Started while another program holds the store: one box says it cannot be
// read, retries and the worker's refreshes say nothing more and show nothing
// the store did not give (no value, no choice), and once it answers the
// pages show it and take changes. A task of the worker that found it silent
// then is told once.
TEST_F(MainWindowTest, AStartTheStoreDoesNotAnswerIsToldOnceAndShowsTheStoreWhenItDoes) {
  ASSERT_TRUE(db_.SetConfigValue(1, u"dpi_group0_value", u"500"));
  ASSERT_GT(db_.AddMacro(u"kept"), 0);
  db_.Close();
  // Without config.xml beside the test the model's name is empty.
  const std::string file = dataFolder_ + "db/_data_qel.db";
  fs::copy_file(dataFolder_ + "db/TGM1_data_qel.db", file);
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> other(raw, sqlite3_close);
  ASSERT_EQ(sqlite3_exec(raw, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  ModalDriver driver;
  window_ = std::make_unique<TestWindow>(db_, *devices_);
  window_->fullInit = true;
  window_->SetUserStore(store_.get());
  window_->Create(nullptr, GetProductName(), 0x96000000u, 0, CRect{0, 0, 1121, 780});
  TestWindow& w = *window_;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !driver.boxes.empty(); }, 5000));
  // Controls that show what the store holds, each with what it shows or
  // takes that the store did not give.
  auto unread = [&] {
    std::string out;
    for (DPIControl* stage : w.dpiStages) {
      if (stage->GetDPIValue() != 0) out += " DPI value";
      if (stage->IsEnabled()) out += " DPI enabled";
    }
    if (w.dpiSlider->HasProgress() || w.dpiSlider->IsEnabled()) out += " slider";
    for (MComboBox* combo : w.buttonCombos) {
      if (combo->GetCurSel() >= 0) out += " button action";
      if (combo->IsEnabled()) out += " button enabled";
    }
    for (ColorButtonEx* rate : w.reportRateButtons) {
      if (rate->IsEnabled()) out += " rate enabled";
    }
    if (!w.responseTimeEdit->GetTitle().empty() || w.responseTimeEdit->IsEnabled()) out += " response time";
    if (w.lightModeCombo->GetCurSel() >= 0 || w.lightModeCombo->IsEnabled()) out += " light mode";
    if (w.leftButtonLockSwitch->IsEnabled() || w.profileCombo->IsEnabled()) out += " lock or profile";
    return out;
  };
  for (int retry = 0; retry < 3; ++retry) {
    clock_->Advance(2000);
    w.OnTimer(1);
    w.FillKeyCombos();
    w.ShowKeyAssignments();
    w.LoadPerformancePage();
    w.TellStoreUnanswered();
  }
  QTest::qWait(20);
  const Box silent{GetLangText(216), Tabs().GetItemText(Tabs().GetSelectItem()), 0};
  EXPECT_EQ(driver.boxes, std::vector<Box>{silent});
  EXPECT_EQ(w.macroList->GetItemCount(), 0);
  EXPECT_EQ(unread(), "");

  ASSERT_EQ(sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
  clock_->Advance(2000);
  w.OnTimer(1);
  EXPECT_EQ(w.dpiStages[0]->GetDPIValue(), 500);
  EXPECT_TRUE(w.dpiStages[0]->IsEnabled());
  EXPECT_EQ(w.buttonCombos[1]->GetTitle(), GetLangText(122)) << "button 2's factory action";
  EXPECT_TRUE(w.buttonCombos[1]->IsEnabled());
  EXPECT_FALSE(w.buttonCombos[0]->IsEnabled()) << "the left button is locked";
  EXPECT_EQ(w.macroList->GetItemCount(), 1);
  EXPECT_EQ(w.profileCombo->GetCount(), 5);
  EXPECT_EQ(w.unansweredPages, 0u);
  w.TellStoreUnanswered();
  w.TellStoreUnanswered();
  QTest::qWait(20);
  EXPECT_EQ(driver.boxes, (std::vector<Box>{silent, silent}));
  w.CloseDialog();
}

TEST_F(MainWindowTest, EveryWayOutEndsWithZeroWithoutWaitingLongForAStuckWorker) {
  platform::SetClock(nullptr);  // the silent mouse really keeps the worker waiting
  const std::string wired = sim::AddWiredMouse(kVid, kWiredPid);
  TestWindow& w = MakeWindow();
  w.ScanDevices();
  sim::Faults silent;
  silent.silent = true;
  sim::SetFaults(wired, silent);
  w.workQueue.Push(kCmdWriteAll);
  w.StartThread();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !sim::Writes(wired).empty(); }, 5000));

  // The first way out meets the worker inside its write; the others find it stopped.
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"window manager", [&] { w.GetWidget()->close(); }},
      {"close button", [&] { w.OnMessage(36, kEventClick, 0, 0); }},
      {"tray menu", [&] { w.SendMessage(WM_COMMAND, 100, 0); }},
      {"exit request", [&] { w.SendMessage(UM_EXIT_REQUEST, 0, 610); }},
      {"orderly close", [&] { w.CloseDialog(); }},
  };
  for (const auto& [way, leave] : ways) {
    const auto start = std::chrono::steady_clock::now();
    leave();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500)) << way;
    EXPECT_EQ(w.endedWith, std::vector<int>(w.endedWith.size(), 0)) << way;
  }
  EXPECT_EQ(w.endedWith.size(), 5u);
  EXPECT_FALSE(w.IsCreated());
  sim::SetFaults(wired, sim::Faults{});  // the write ends, and with it the worker
  w.JoinThread();
}

TEST_F(MainWindowTest, EveryWayOutStoresTheNumberBeingTyped) {
  const std::pair<const char*, std::function<void(TestWindow&)>> ways[] = {
      {"window manager", [](TestWindow& w) { w.GetWidget()->close(); }},
      {"close button", [](TestWindow& w) { w.OnMessage(36, kEventClick, 0, 0); }},
      {"tray menu", [](TestWindow& w) { w.SendMessage(WM_COMMAND, 100, 0); }},
      {"exit request", [](TestWindow& w) { w.SendMessage(UM_EXIT_REQUEST, 0, 610); }},
      {"orderly close", [](TestWindow& w) { w.CloseDialog(); }},
  };
  int typed = 10;
  for (const auto& [way, leave] : ways) {
    SCOPED_TRACE(way);
    TestWindow& w = MakeWindow();
    w.LoadPerformancePage();
    w.ShowWindow(SW_SHOW);
    Tabs().SetSelectItem(1);  // the button page with the response time
    QApplication::setActiveWindow(w.GetWidget());
    QLineEdit* edit = w.responseTimeEdit->Edit();
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, QString::number(++typed));
    ASSERT_NE(Config(1, u"button_respondtime"), platform::Utf8ToUtf16(std::to_string(typed)));
    leave(w);
    EXPECT_EQ(Config(1, u"button_respondtime"), platform::Utf8ToUtf16(std::to_string(typed)));
    EXPECT_EQ(w.endedWith, std::vector<int>{0});
  }
}

TEST_F(MainWindowTest, DeviceTypeIsNeverWrittenIntoAMissingKey) {
  platform::UserStore fresh((home_ / "fresh.ini").string());
  WriteDeviceType(fresh, 201);
  EXPECT_EQ(fresh.OpenKey(ProductKeyName(), false), platform::KeyStatus::kMissing);
  EXPECT_EQ(ReadDeviceType(fresh), 0);
  WriteDeviceType(*store_, 201);
  EXPECT_EQ(ReadDeviceType(*store_), 201);
  WriteDeviceType(*store_, 101);
  EXPECT_EQ(ReadDeviceType(*store_), 101);
}

// ---------------------------------------------------------------------------
// Routing of window messages and control events

TEST_F(MainWindowTest, TheTitleBarKeepsItsLineAndTheBatteryReadsAtEveryScale) {
  TestWindow& w = MakeWindow();
  w.ShowWindow(SW_SHOW);
  // Contrast ratio of two colours (1..21); text needs 4.5 to read well.
  auto contrast = [](QColor a, QColor b) {
    auto luminance = [](QColor c) {
      auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
      return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
  };
  const std::string line = "#3e556d";
  auto at = [](const QImage& shot, int x, int y) { return shot.pixelColor(x, y).name().toStdString(); };
  for (const int height : {780, 1170}) {
    SCOPED_TRACE(height);
    w.GetWidget()->resize(height * 1121 / 780, height);
    const QImage shot = w.GetWidget()->grab().toImage();
    // The line under the title bar, right of the title, above the tab strip's row.
    const int x = shot.width() - 200;
    EXPECT_EQ(at(shot, x, 40), line);
    for (int y = 41; y < 100; ++y) ASSERT_NE(at(shot, x, y), line) << y;
    // The percentage beside the gauge against the title bar behind it.
    EXPECT_GE(contrast(uikit::ColorFromArgb(w.battery->GetTextColor()), shot.pixelColor(300, 20)), 4.5);
  }
}

TEST_F(MainWindowTest, LeavingTheHomePageShowsPicture31AndComingBackHidesIt) {
  TestWindow& w = MakeWindow();
  MControl* picture = w.GetControl(31);
  ASSERT_NE(picture, nullptr);
  ASSERT_FALSE(picture->IsVisible());
  ASSERT_EQ(Tabs().GetItemID(0), 1);
  // Through the tab strip's own event, as a click reports it.
  EXPECT_EQ(w.ReportEvent(&Tabs(), kEventClick, 1), 1);  // buttons
  EXPECT_TRUE(picture->IsVisible());
  EXPECT_EQ(w.currentTabItem, 2);
  // Between two other pages the picture is left as it is, shown or hidden.
  EXPECT_EQ(w.OnMessage(45, kEventClick, 2, 0), 1);  // performance
  EXPECT_TRUE(picture->IsVisible());
  picture->SetVisible(false);
  EXPECT_EQ(w.OnMessage(45, 0, 4, 0), 1);  // settings, any event code
  EXPECT_FALSE(picture->IsVisible());
  EXPECT_EQ(w.currentTabItem, 6);
  picture->SetVisible(true);
  EXPECT_EQ(w.OnMessage(45, kEventClick, 0, 0), 1);  // home
  EXPECT_FALSE(picture->IsVisible());
  EXPECT_EQ(w.currentTabItem, 1);
  // Home to home: shown on leaving, hidden on arriving.
  EXPECT_EQ(w.OnMessage(45, kEventClick, 0, 0), 1);
  EXPECT_FALSE(picture->IsVisible());
}

TEST_F(MainWindowTest, MessagesWithoutAnActionChangeNothing) {
  TestWindow& w = MakeWindow();
  ModalDriver driver;
  for (WPARAM wParam : {0, 3}) EXPECT_EQ(w.SendMessage(UM_PROFILE_FILE, wParam, 2), 1);
  // Only lParam 610 ends the program; the test would not get past it.
  for (LPARAM lParam : {0, 609, 611, -610}) EXPECT_EQ(w.SendMessage(UM_EXIT_REQUEST, 0, lParam), 0);
  EXPECT_EQ(w.SendMessage(WM_COMMAND, 101, 0), 0);
  EXPECT_EQ(w.SendMessage(WM_DEVICECHANGE, 0x8000, 0), 0);
  EXPECT_EQ(w.SendMessage(UM_MOUSE_AT_EDGE, 1, 0), 0);
  // Device commands act on a click only; unknown controls do nothing.
  for (int id : {60, 88, 89, 90, 271}) EXPECT_EQ(w.OnMessage(id, kEventTextChanged, 0, 0), 0) << id;
  for (int id : {0, 100, 999}) EXPECT_EQ(w.OnMessage(id, kEventClick, 0, 0), 0) << id;
  QApplication::processEvents();
  EXPECT_TRUE(driver.boxes.empty());
  EXPECT_EQ(driver.busyDialogsSeen, 0);
  EXPECT_EQ(w.busyDialog, nullptr);
  EXPECT_EQ(w.workQueue.Size(), 0u);
  EXPECT_EQ(w.currentProfile.load(), 1);
  EXPECT_TRUE(w.IsCreated());
}

TEST_F(MainWindowTest, MaximiseButtonTogglesTheWindowAndItsImage) {
  TestWindow& w = MakeWindow();
  w.ShowWindow(SW_SHOW);
  MControl* button = w.GetControl(38);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(w.OnMessage(38, kEventTextChanged, 0, 0), 0);
  EXPECT_EQ(button->GetImage(), u"sysbtn_maximize.png");
  EXPECT_EQ(w.OnMessage(38, kEventClick, 0, 0), 1);
  EXPECT_TRUE(w.IsZoomed());
  EXPECT_EQ(button->GetImage(), u"sysbtn_restore.png");
  EXPECT_EQ(w.OnMessage(38, kEventClick, 0, 0), 1);
  EXPECT_FALSE(w.IsZoomed());
  EXPECT_EQ(button->GetImage(), u"sysbtn_maximize.png");
  w.ShowWindow(SW_HIDE);
}

TEST_F(MainWindowTest, TrayNoticesBringTheWindowForwardOrOfferTheExitItem) {
  TestWindow& w = MakeWindow();
  ASSERT_FALSE(w.IsWindowVisible());
  EXPECT_EQ(w.SendMessage(UM_TRAY_NOTIFY, 0, 0x0200), 0);  // a move: nothing
  EXPECT_FALSE(w.IsWindowVisible());
  EXPECT_EQ(w.SendMessage(UM_TRAY_NOTIFY, 0, 0x0201), 0);  // left button down
  EXPECT_TRUE(w.IsWindowVisible());
  w.ShowWindow(SW_HIDE);
  EXPECT_EQ(w.SendMessage(UM_TRAY_NOTIFY, 0, 0x0203), 0);  // double click
  EXPECT_TRUE(w.IsWindowVisible());

  // Right button up: a one-item menu; closed without a choice, the program goes on.
  QStringList items;
  bool menuSeen = false;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || menuSeen) return;
    menuSeen = true;
    for (QAction* action : menu->actions()) items << action->text();
    menu->close();
  });
  poll.start();
  EXPECT_EQ(w.SendMessage(UM_TRAY_NOTIFY, 0, 0x0205), 0);
  poll.stop();
  EXPECT_TRUE(menuSeen);
  EXPECT_EQ(items, QStringList{QString::fromStdU16String(GetLangText(12))});
  EXPECT_TRUE(w.IsCreated());
  w.ShowWindow(SW_HIDE);
}

// ---------------------------------------------------------------------------
// Device commands

TEST_F(MainWindowTest, ChoosingAProfileMakesItCurrentAndQueuesTheSwitch) {
  TestWindow& w = MakeWindow();
  auto* combo = w.GetControlAs<MComboBox>(60);
  ASSERT_NE(combo, nullptr);
  for (int p = 1; p <= 5; ++p) combo->AddItem(u"Profile " + platform::Utf8ToUtf16(std::to_string(p)), p);
  combo->UserChose(2);  // reported as a click, as the user's choice is
  EXPECT_EQ(w.currentProfile.load(), 3);
  EXPECT_EQ(db_.GetActiveProfile(), 3);
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{5});
  EXPECT_EQ(w.busyDialog, nullptr);

  // An empty combo chooses nothing.
  combo->DelAllItems();
  EXPECT_EQ(w.OnMessage(60, kEventClick, 0, 0), 1);
  EXPECT_EQ(w.currentProfile.load(), 3);
  EXPECT_EQ(db_.GetActiveProfile(), 3);
  EXPECT_TRUE(Drain(w.workQueue).empty());
}

TEST_F(MainWindowTest, RestoreDefaultsResetsOnlyTheCurrentProfile) {
  for (int p = 1; p <= 5; ++p) {
    Assign(p, 1, 10 + p);
    Assign(p, 4, 20 + p);
    ASSERT_TRUE(db_.SetConfigValue(p, u"report_rate", u"1"));
    ASSERT_TRUE(db_.SetConfigValue(p, u"dpi_index", u"5"));
    ASSERT_TRUE(db_.SetConfigValue(p, u"dpi_group0_value", u"12345"));
  }
  const std::string before = Dump();
  TestWindow& w = MakeWindow();
  w.currentProfile = 3;
  w.selectedButton = 4;
  auto* picture = w.GetControlAs<MouseCtrl>(87);
  for (int i = 0; i < 6; ++i) picture->AddItem(u"Button", i, 0, CPoint{0, 0}, CPoint{1, 1});
  picture->SetSelectItem(2);
  ModalDriver driver;
  std::string duringBusy;
  driver.whileBusy = [&] { duringBusy = Dump(); };

  EXPECT_EQ(w.OnMessage(90, kEventClick, 0, 0), 1);
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.boxes[0], LangBox(200, 201, kMessageBoxConfirmCancel));
  EXPECT_EQ(driver.busyDialogsSeen, 1);
  ASSERT_NE(w.busyDialog, nullptr);
  // The store was reset before the busy dialog showed, for the worker to send.
  EXPECT_EQ(duringBusy, Dump());
  EXPECT_EQ(KeyRows(3), 0u);
  EXPECT_EQ(Config(3, u"report_rate"), u"4");
  EXPECT_NE(Config(3, u"dpi_index"), u"5");
  EXPECT_NE(Config(3, u"dpi_group0_value"), u"12345");
  for (int p : {1, 2, 4, 5}) {
    EXPECT_EQ(KeyRows(p), 2u) << p;
    EXPECT_EQ(Config(p, u"report_rate"), u"1") << p;
    EXPECT_EQ(Config(p, u"dpi_index"), u"5") << p;
    EXPECT_EQ(Config(p, u"dpi_group0_value"), u"12345") << p;
  }
  EXPECT_NE(before, Dump());
  EXPECT_EQ(w.selectedButton.load(), 0);
  EXPECT_EQ(picture->GetSelectItem(), 0);
  EXPECT_EQ(w.restoreScope.load(), 1);
  // The code went to the worker tagged with the busy dialog it must close.
  WorkItem item;
  ASSERT_TRUE(w.workQueue.TryPop(item));
  EXPECT_EQ(item.code, 15);
  EXPECT_NE(item.busyTag, 0u);
  EXPECT_FALSE(w.workQueue.TryPop(item));
}

TEST_F(MainWindowTest, CancelledRestoreDefaultsChangesNothing) {
  Assign(1, 1, 11);
  ASSERT_TRUE(db_.SetConfigValue(1, u"report_rate", u"1"));
  const std::string before = Dump();
  TestWindow& w = MakeWindow();
  w.selectedButton = 4;
  ModalDriver driver;
  driver.answers = {false};
  EXPECT_EQ(w.OnMessage(90, kEventClick, 0, 0), 1);
  ASSERT_EQ(driver.boxes.size(), 1u);
  EXPECT_EQ(driver.busyDialogsSeen, 0);
  EXPECT_EQ(w.busyDialog, nullptr);
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(w.selectedButton.load(), 4);
  EXPECT_EQ(w.restoreScope.load(), 0);
  EXPECT_EQ(w.workQueue.Size(), 0u);
}

TEST_F(MainWindowTest, WriteAllTwiceKeepsOneBusyDialogAndReportsEachCompletion) {
  TestWindow& w = WindowWithWorker();
  ASSERT_EQ(w.deviceReady.load(), 1);
  ModalDriver driver;
  driver.endBusyDialogs = false;  // the worker ends them

  EXPECT_EQ(w.OnMessage(88, kEventClick, 0, 0), 1);
  MDialog* first = w.busyDialog;
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(first->IsWindowVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return driver.boxes.size() == 1; }, 10000));
  EXPECT_EQ(driver.boxes[0], LangBox(210, 115, kMessageBoxOk));

  EXPECT_EQ(w.OnMessage(88, kEventClick, 0, 0), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return driver.boxes.size() == 2; }, 10000));
  EXPECT_EQ(driver.boxes[1], LangBox(210, 115, kMessageBoxOk));
  w.StopThread(5000);
  w.JoinThread();

  int busyObjects = 0;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* host = dynamic_cast<UiHostWidget*>(widget);
    if (host != nullptr && dynamic_cast<WaitDlg*>(host->Owner()) != nullptr) {
      ++busyObjects;
      EXPECT_EQ(host->Owner(), w.busyDialog);
    }
  }
  EXPECT_EQ(busyObjects, 1);
  EXPECT_FALSE(w.busyDialog->IsWindowVisible());
  EXPECT_EQ(w.workQueue.Size(), 0u);
}

// What the store holds and the mouse cannot take, or a store that cannot be
// read, ends Apply in the failure box, which names the cause. An unread store
// sends nothing: its macros and buttons would reach the mouse as none.
TEST_F(MainWindowTest, WriteAllThatCannotSendTheWholeStoreEndsInTheFailureBox) {
  TestWindow& w = WindowWithWorker();
  ModalDriver driver;
  driver.endBusyDialogs = false;
  std::vector<int> macros;
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> other(raw, sqlite3_close);
  auto exec = [&](const char* sql) { EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql; };
  const struct {
    const char* name;
    std::function<void()> change;
    Box box;
    bool sends;
  } rows[] = {
      {"everything fits", [] {}, LangBox(210, 115, kMessageBoxOk), true},
      {"33 macros", [&] { while (macros.size() < 33) macros.push_back(db_.AddMacro(u"m")); },
       LangBox(214, 115, kMessageBoxOk), true},
      {"the store held by another program", [&] { exec("BEGIN EXCLUSIVE"); }, LangBox(216, 115, kMessageBoxOk),
       false},
      {"a profile missing a settings row", [&] {
         exec("ROLLBACK");
         for (int id : macros) db_.DeleteMacro(id);
         exec("DELETE FROM t_configdata WHERE profile = 1 AND key = 'sleep_light'");
       }, LangBox(214, 115, kMessageBoxOk), true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    row.change();
    driver.boxes.clear();
    const int commits = mouse_->MacroCommits();
    EXPECT_EQ(w.OnMessage(88, kEventClick, 0, 0), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return driver.boxes.size() == 1; }, 10000));
    EXPECT_EQ(driver.boxes[0], row.box);
    EXPECT_EQ(mouse_->MacroCommits() > commits, row.sends);
  }
  w.StopThread(5000);
  w.JoinThread();
}

TEST_F(MainWindowTest, RestoreDefaultsWithTheWorkerEndsInItsCompletionBox) {
  TestWindow& w = WindowWithWorker();
  ModalDriver driver;
  driver.endBusyDialogs = false;
  EXPECT_EQ(w.OnMessage(90, kEventClick, 0, 0), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return driver.boxes.size() == 2; }, 10000));
  EXPECT_EQ(driver.boxes[0], LangBox(200, 201, kMessageBoxConfirmCancel));
  EXPECT_EQ(driver.boxes[1], LangBox(212, 112, kMessageBoxOk));
  w.JoinThread();
  EXPECT_EQ(Config(1, u"report_rate"), u"4");
}

TEST_F(MainWindowTest, ReadBackRunsUnderTheBusyDialog) {
  TestWindow& w = MakeWindow();
  ModalDriver driver;
  EXPECT_EQ(w.OnMessage(89, kEventClick, 0, 0), 1);
  EXPECT_EQ(driver.busyDialogsSeen, 1);
  EXPECT_TRUE(driver.boxes.empty());
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{7});
}

// Read from Mouse while another program holds the store: the mouse is read,
// nothing of it is stored, one box says so, and the pages show the store
// (a writer's lock), or keep what they show (an exclusive lock).
TEST_F(MainWindowTest, AReadBackTheStoreRefusesIsToldOnceAndThePagesShowTheStore) {
  TestWindow& w = WindowWithWorker();
  ModalDriver driver;
  driver.endBusyDialogs = false;
  ASSERT_TRUE(db_.SetConfigValue(1, u"dpi_group0_value", u"500"));  // the mouse holds 800
  w.LoadPerformancePage();
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> other(raw, sqlite3_close);
  for (const char* lock : {"BEGIN IMMEDIATE", "BEGIN EXCLUSIVE"}) {
    SCOPED_TRACE(lock);
    driver.boxes.clear();
    w.dpiStages[0]->SetDPIValue(700);  // shown, not stored
    ASSERT_EQ(sqlite3_exec(raw, lock, nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(w.OnMessage(89, kEventClick, 0, 0), 1);
    // The worker posts its page refreshes before it closes the busy dialog.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !driver.boxes.empty() && !w.busyDialog->IsWindowVisible(); }, 10000));
    ASSERT_EQ(sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(driver.boxes, (std::vector<Box>{Box{GetLangText(218), Tabs().GetItemText(Tabs().GetSelectItem()), kMessageBoxOk}}));
    EXPECT_EQ(w.dpiStages[0]->GetDPIValue(), lock[6] == 'I' ? 500 : 700);
    EXPECT_EQ(Config(1, u"dpi_group0_value"), u"500");
    EXPECT_EQ(KeyRows(1), 0u);
  }
  w.StopThread(5000);
  w.JoinThread();
}

TEST_F(MainWindowTest, CompletionBoxesNameWhatFinishedAndNeverHideAFailure) {
  TestWindow& w = MakeWindow();
  ModalDriver driver;
  const struct {
    WPARAM outcome;
    LPARAM command;
    Box box;
  } cases[] = {
      {0, kWorkerDoneWriteAll, LangBox(210, 115, kMessageBoxOk)},
      {0, kWorkerDoneRestoreDefaults, LangBox(212, 112, kMessageBoxOk)},
      {kWorkerDoneFailed, kWorkerDoneWriteAll, LangBox(214, 115, kMessageBoxOk)},
      {kWorkerDoneFailed, kWorkerDoneRestoreDefaults, LangBox(214, 112, kMessageBoxOk)},
      {kWorkerDoneFailed, kWorkerDoneFactoryReset, LangBox(214, 670, kMessageBoxOk)},
      {kWorkerDoneStoreUnread, kWorkerDoneWriteAll, LangBox(216, 115, kMessageBoxOk)},
      {kWorkerDoneStoreUnread, kWorkerDoneFactoryReset, LangBox(216, 670, kMessageBoxOk)},
  };
  for (const auto& c : cases) {
    driver.boxes.clear();
    EXPECT_EQ(w.SendMessage(UM_WORKER_DONE, c.outcome, c.command), 1);
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0], c.box) << c.outcome << " " << c.command;
  }
  EXPECT_NE(GetLangText(210), GetLangText(212));
}

TEST_F(MainWindowTest, FactoryResetIsRefusedWithoutAReadyMouseAndOverBluetooth) {
  Assign(1, 1, 11);
  const std::string before = Dump();
  {
    TestWindow& w = MakeWindow();
    w.ScanDevices();
    ASSERT_EQ(w.deviceReady.load(), 0);
    ModalDriver driver;
    EXPECT_EQ(w.OnMessage(271, kEventClick, 0, 0), 1);
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0], LangBox(57, 676, kMessageBoxOk));
    EXPECT_EQ(w.workQueue.Size(), 0u);
  }
  {
    sim::AddBleMouse(kVid, kBlePid);
    TestWindow& w = MakeWindow();
    w.ScanDevices();
    ASSERT_EQ(w.deviceReady.load(), 1);
    ModalDriver driver;
    EXPECT_EQ(w.OnMessage(271, kEventClick, 0, 0), 1);
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0], LangBox(56, 676, kMessageBoxOk));
    EXPECT_EQ(w.workQueue.Size(), 0u);
  }
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(db_.Path(), dataFolder_ + "db/TGM1_data_qel.db");
}

TEST_F(MainWindowTest, ConfirmedFactoryResetWipesTheModelsDatabaseAndQueuesTheRewrite) {
  Assign(2, 1, 11);
  sim::AddWiredMouse(kVid, kWiredPid);
  TestWindow& w = MakeWindow();
  DeviceModeInfo mouse;
  mouse.device_type = 101;
  mouse.device_attr = u"TGM1";
  w.mouseRows = {mouse};
  w.ScanDevices();
  ModalDriver driver;
  driver.answers = {false};
  EXPECT_EQ(w.OnMessage(271, kEventClick, 0, 0), 1);
  EXPECT_EQ(KeyRows(2), 1u);
  EXPECT_EQ(w.workQueue.Size(), 0u);

  EXPECT_EQ(w.OnMessage(271, kEventClick, 0, 0), 1);
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_EQ(driver.boxes[1], LangBox(671, 670, kMessageBoxConfirmCancel));
  EXPECT_EQ(db_.Path(), dataFolder_ + "db/TGM1_data_qel.db");
  EXPECT_EQ(KeyRows(2), 0u);
  EXPECT_EQ(Drain(w.workQueue), std::vector<int>{16});
  EXPECT_EQ(w.busyDialog, nullptr);
}

}  // namespace
