// The worker with a mouse of the second family (device type 201) on the
// simulated mouse: what goes on the wire, what the store and the pages get.
#include "platform/text.h"
#include "sim/model/nordic_mouse.h"
#include "sync/work_queue.h"
#include "worker_test_support.h"

using namespace synctest;

namespace {

constexpr int kNordic = 201;

class NordicTest : public WorkerFixture {
 protected:
  void SetUp() override {
    sim::Reset();
    mouse_ = std::make_shared<sim::NordicMouse>();
    sim::InstallModel(mouse_);
    db_.SetDeviceType(kNordic);
    ASSERT_TRUE(db_.Open(folder_.folder(), u"NordicMouse"));
    for (int i = 1; i <= 5; ++i) ASSERT_EQ(db_.AddProfile(ProfileInfo{}), i);
  }
  // A fresh mouse and store for the next row of a table.
  void Restart() {
    const std::string file = db_.Path();
    TearDown();
    std::filesystem::remove(file);
    SetUp();
  }

  void Attach(bool receiver) {
    path_ = receiver ? sim::AddReceiver(kVid, kReceiverPid, 1, true) : sim::AddWiredMouse(kVid, kPid);
    devices_ = std::make_unique<HidDeviceManager>();
    devices_->SetDeviceType(kNordic);
    devices_->AddSupportedDevice(kVid, receiver ? kReceiverPid : kPid, u"", kNordic, receiver ? 1 : 0);
    worker_ = std::make_unique<TestWorker>(db_, *devices_);
    worker_->forcedType = kNordic;
    worker_->Scan();
    ASSERT_EQ(worker_->deviceType.load(), kNordic);
    ASSERT_EQ(worker_->deviceConnected.load(), 1);
    sim::ClearLog();
  }

  void Idle(const Bytes& report) {
    sim::QueueInput(path_, report);
    clock_->Advance(1000);
    worker_->ThreadStep();
    worker_->RunUi();
  }

  // The first `n` payload bytes of every request written since the log was cleared.
  std::vector<Bytes> Heads(size_t n = 4) {
    std::vector<Bytes> out;
    for (const sim::LogEntry& e : sim::Writes(path_)) out.emplace_back(e.bytes.begin() + 1, e.bytes.begin() + 1 + n);
    return out;
  }

  std::string Rows(int profile) {
    std::string out;
    std::vector<KeyAssignment> keys;
    db_.LoadKeyAssignments(profile, 0, keys);
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.key_code < b.key_code; });
    for (const KeyAssignment& a : keys)
      out += std::to_string(a.key_code) + ":" + std::to_string(a.macro_type) + "/" + std::to_string(a.macro_value) +
             "/" + std::to_string(a.macro_value2) + "/" + platform::Utf16ToUtf8(a.macro_desc) + " ";
    for (const char16_t* key : {u"sensor_flag", u"scroll_flag", u"e-sports_flag", u"report_rate", u"dpi_flag",
                                u"dpi_index", u"dpi_group0_value", u"dpi_group5_value", u"liftoff_height",
                                u"button_respondtime"})
      out += platform::Utf16ToUtf8(WorkerFixture::Config(profile, key)) + " ";
    return out;
  }
  // Profile 1's value, as text.
  std::string Config(const char16_t* key) { return platform::Utf16ToUtf8(WorkerFixture::Config(1, key)); }
  int AddMacro(int keyPresses) {
    const int id = db_.AddMacro(u"m");
    std::vector<MacroRecord> records;
    for (int i = 0; i < keyPresses; ++i) records.push_back(MacroRecord{0, id, i % 2 ? 3 : 2, i, 65, 0, u""});
    db_.SaveMacroRecords(records);
    return id;
  }

  std::shared_ptr<sim::NordicMouse> mouse_;
};

// A status report (command 1) as the mouse or receiver sends it on its own.
Bytes Status(int byte0, int connection, int state, int level, int dpi, int rate) {
  return Report({byte0, 0x00, 0x8C, 0x01, connection, state, level, 0, dpi, rate}, 64);
}

const std::string kFactoryRows = "1:24/1/0/139 2:24/1/0/139 3:24/1/0/139 4:24/1/0/139 5:24/1/0/139 8:24/1/0/139 "
                                 "9:24/1/0/139 20 1 1 3 31 1 800 10000 1 4 ";

TEST_F(NordicTest, ReadBackByConnection) {
  const struct {
    bool receiver;
    std::vector<Bytes> heads;
    std::vector<std::string> ui;
  } rows[] = {
      {false,
       {{0x01, 0, 0x81, 1}, {0x03, 0, 0x81, 1}, {0x04, 0, 0x81, 1}, {0x00, 0, 0x81, 0}},
       {"LoadProfileList", "battery 80 0", "FillKeyCombos", "ShowKeyAssignments", "LoadMacroList",
        "LoadPerformancePage", "label 260 1.2.5", "label 261 0.0.0"}},
      {true,
       {{0x01, 0, 0x81, 1}, {0x41, 0, 0x81, 1}, {0x43, 0, 0x81, 1}, {0x44, 0, 0x81, 1}, {0x40, 0, 0x81, 0},
        {0x00, 0, 0x81, 0}},
       {"LoadProfileList", "connection 52", "battery 80 0", "FillKeyCombos", "ShowKeyAssignments", "LoadMacroList",
        "LoadPerformancePage", "label 260 0.0.7", "label 261 1.2.5"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.receiver ? "receiver" : "wired");
    Restart();
    Attach(row.receiver);
    worker_->currentProfile = 3;  // the mouse's profile byte 0 selects profile 1
    Run(kCmdInitialLoad);
    EXPECT_EQ(Heads(), row.heads);
    EXPECT_EQ(worker_->Ui(), row.ui);
    EXPECT_EQ(worker_->currentProfile.load(), 1);
    EXPECT_EQ(worker_->deviceDataLoaded.load(), 1);
    EXPECT_EQ(worker_->maxReportRateLevel.load(), 3);
    EXPECT_EQ(Rows(1), kFactoryRows);
  }
}

TEST_F(NordicTest, ReceiverWhoseMouseIsNotConnectedStopsTheReadBack) {
  Attach(true);
  sim::SetMouseOnline(path_, false);
  const std::string before = Rows(1);
  Run(kCmdInitialLoad);
  EXPECT_EQ(Heads(), (std::vector<Bytes>{{0x01, 0, 0x81, 1}}));
  EXPECT_EQ(worker_->Ui(), (std::vector<std::string>{"LoadProfileList", "connection 53"}));
  EXPECT_EQ(worker_->deviceReady.load(), 0);
  EXPECT_EQ(worker_->deviceDataLoaded.load(), 0);
  EXPECT_EQ(Rows(1), before);
}

TEST_F(NordicTest, AReadBackCutShortStoresNothing) {
  Attach(false);
  const std::string before = Rows(1);
  sim::Faults unplug;
  unplug.unplug_after_writes = 3;  // the settings read goes out, its reply never comes
  sim::SetFaults(path_, unplug);
  Run(kCmdInitialLoad);
  EXPECT_EQ(Rows(1), before);
  EXPECT_NE(before, kFactoryRows);
}

TEST_F(NordicTest, SlotsDecodeIntoTheProfileInForce) {
  Attach(false);
  sim::NordicBlock codes{};
  const uint8_t slots[9][4] = {{0x01, 0, 0xF8, 0x01}, {0x00, 0x01, 0x3E, 0}, {0x03, 0, 0xE9, 0}, {0x07, 0, 0x03, 0},
                               {0xFF, 0xFF, 0, 0},    {0x01, 0, 0xF0, 0},     {0x01, 0, 0xF0, 0}, {0x0A, 1, 0, 0},
                               {0x01, 0, 0xF8, 0x02}};
  for (int s = 0; s < 9; ++s) std::copy(slots[s], slots[s] + 4, codes.begin() + 4 + 4 * s);
  mouse_->SetButtonCodes(0, codes);
  for (int button : {5, 6, 7, 8}) Assign(2, button, 3, 1, 0, u"kept");
  // A profile byte beyond the five profiles keeps the profile in force.
  sim::Faults faults;
  faults.notifications_instead = 1;
  faults.notification = Status(0x01, 0, 0, 50, 1, 3);
  faults.notification[7] = 7;
  sim::SetFaults(path_, faults);
  db_.SetActiveProfile(2);  // the read-back takes the store's active profile
  Run(kCmdInitialLoad);
  EXPECT_EQ(worker_->currentProfile.load(), 2);
  EXPECT_EQ(Rows(2).substr(0, Rows(2).find(" 20 ")),
            "1:7/1/0/112 2:22/62/1/Ctrl + F5 3:25/6/0/117 4:17/1/0/DPI Loop 5:3/1/0/kept 6:3/1/0/kept "
            "7:3/1/0/kept 9:8/1/0/113");
}

TEST_F(NordicTest, NotificationsUpdateOnlyWhenTheyCarryABattery) {
  Attach(false);
  worker_->lastDpiLevel = 1;
  worker_->lastReportRate = 3;
  const struct {
    Bytes report;
    std::string dpiIndex, rate;
    std::vector<std::string> ui;
  } rows[] = {
      {Status(0x01, 0, 1, 0, 4, 5), "1", "3", {}},
      {Status(0x01, 0, 1, 60, 2, 3), "2", "3", {"battery 60 1", "dpi control 103"}},
      {Status(0x01, 0, 1, 60, 6, 6), "6", "6", {"battery 60 1", "dpi control 102"}},
      {Status(0x41, 0, 0, 70, 1, 4), "6", "4", {"battery 70 0", "rate index 4"}},
  };
  for (const auto& row : rows) {
    worker_->ClearUi();
    Idle(row.report);
    EXPECT_EQ(worker_->Ui(), row.ui);
    EXPECT_EQ(Config(u"report_rate"), row.rate);
    EXPECT_EQ(Config(u"dpi_index"), row.dpiIndex);
  }
  EXPECT_TRUE(sim::Writes(path_).empty());
}

TEST_F(NordicTest, ReceiverConnectionReports) {
  Attach(true);
  Run(kCmdInitialLoad);
  // Met by the idle poll: the whole read-back.
  sim::ClearLog();
  Idle(Status(0x01, 0x08, 0, 0, 0, 0));
  EXPECT_EQ(Heads().size(), 6u);
  // Met by the forced poll of a settings write: the user's rows go out, the
  // read-back waits in the queue.
  sim::ClearLog();
  db_.SetConfigValue(1, u"dpi_group0_value", u"1600");
  sim::QueueInput(path_, Status(0x01, 0x08, 0, 0, 0, 0));
  Run(kCmdWriteSettings);
  EXPECT_EQ(Heads(), (std::vector<Bytes>{{0x44, 0, 0xBB, 2}, {0x4A, 0, 0x81, 1}}));
  EXPECT_EQ(mouse_->SettingsBlock(0).value()[8], 0x40);
  WorkItem queued;
  ASSERT_TRUE(worker_->workQueue.TryPop(queued));
  EXPECT_EQ(queued.code, kCmdRefreshFromDevice);
  // The receiver loses its mouse.
  worker_->ClearUi();
  Idle(Status(0x01, 0x00, 0, 0, 0, 0));
  EXPECT_EQ(worker_->Ui(), (std::vector<std::string>{"connection 53", "battery 0 2"}));
  EXPECT_EQ(worker_->deviceReady.load(), 0);
  EXPECT_EQ(devices_->GetConnectionMode(), kNoDevice);
}

TEST_F(NordicTest, WriteAllPutsButtonsInTheirSlotsAndSendsOnlyAssignedMacros) {
  Attach(false);
  sim::NordicBlock codes{};
  codes[4 + 4 * 2] = 0x03;  // slot 2: the mouse's own code stays under a kind without one
  codes[4 + 4 * 2 + 2] = 0xE9;
  mouse_->SetButtonCodes(0, codes);
  const int four = AddMacro(4), five = AddMacro(5);
  AddMacro(2);  // assigned nowhere
  const int stale = AddMacro(3);
  Assign(1, 1, 23, five);
  Assign(1, 2, 22, 0x06, 0x01);
  Assign(1, 3, 9, 1);
  Assign(1, 6, 23, four);
  Assign(1, 7, 7, 1);
  Assign(1, 8, 8, 1);
  Assign(1, 9, 23, stale);  // no slot of its own: would overwrite button 6's
  Assign(1, 16, 1, 1);      // beyond the 60-byte block
  RunBusy(kCmdWriteAllNordic);

  EXPECT_EQ(Heads(5), (std::vector<Bytes>{{0x02, 0, 0x82, 1, 0},
                                          {0x07, 0, 0xBA, 2, 0},
                                          {0x07, 0, 0xBC, 2, 1},
                                          {0x07, 1, 0x84, 2, 1},
                                          {0x03, 0, 0x81, 1, 0},
                                          {0x03, 0, 0xA5, 2, 0x09},
                                          {0x04, 0, 0x81, 1, 0},
                                          {0x04, 0, 0xBB, 2, 0x30},
                                          {0x0A, 0, 0x81, 1, 0}}));
  sim::NordicBlock expected{};
  const uint8_t written[10][4] = {{0x09, 1, 1, 0}, {0x00, 0x01, 0x06, 0}, {0x03, 0, 0xE9, 0}, {}, {}, {}, {},
                                  {0x01, 0, 0xF8, 0xFF}, {0x09, 1, 0, 0}, {0x01, 0, 0xF8, 0x01}};
  for (int s = 0; s < 10; ++s) std::copy(written[s], written[s] + 4, expected.begin() + 4 + 4 * s);
  EXPECT_EQ(mouse_->ButtonCodes(0), expected);
  const auto macros = mouse_->Macros(0);
  ASSERT_EQ(macros.size(), 2u);
  EXPECT_EQ(sim::DecodeNordicMacro(macros.at(0)).records.size(), 4u);
  EXPECT_EQ(sim::DecodeNordicMacro(macros.at(1)).records.size(), 5u);
  // The profile's page refresh leaves out the macro list.
  EXPECT_EQ(worker_->Ui(),
            (std::vector<std::string>{"FillKeyCombos", "ShowKeyAssignments", "LoadPerformancePage", "busy closed"}));
}

TEST_F(NordicTest, AnotherProfilesWriteNeverStartsFromTheCodesReadBefore) {
  Attach(false);
  sim::NordicBlock codes{};
  codes[4] = 0x03, codes[6] = 0xE9;  // the first profile's slot 0: volume up
  mouse_->SetButtonCodes(0, codes);
  Run(kCmdInitialLoad);
  worker_->currentProfile = 2;  // no rows of its own
  Run(kCmdWriteAllNordic);
  EXPECT_EQ(mouse_->ButtonCodes(1), sim::NordicDefaultButtonCodes());
  EXPECT_EQ(mouse_->ButtonCodes(0), codes);
}

TEST_F(NordicTest, ShortWritesOnTheWire) {
  const struct {
    int code;
    std::function<void(TestWorker&)> setup;
    std::vector<Bytes> heads;  // before the status request every row ends with
  } rows[] = {
      {kCmdRestoreDefaults, [](TestWorker& w) { w.restoreScope = 1; }, {{0x09, 0, 0x82, 2, 0xFF}}},
      {kCmdRestoreDefaults, [](TestWorker& w) { w.restoreScope = 4; }, {{0x09, 0, 0x82, 4, 0xFF}}},
      {kCmdRestoreDefaults, [](TestWorker& w) { w.restoreScope = 5; }, {{0x09, 0, 0x82, 2, 0xFF}, {0x09, 0, 0x82, 4, 0xFF}}},
      {kCmdFactoryReset, [](TestWorker&) {}, {{0x09, 0, 0x82, 0xFF, 0}}},
      {kCmdResetKeyMap, [](TestWorker& w) { w.selectedButton = 6; }, {{0x09, 0, 0x82, 2, 6}}},
      {kCmdWriteReportRate, [](TestWorker&) {}, {{0x04, 0, 0x82, 4, 5}}},
      {kCmdSelectProfile, [](TestWorker& w) { w.currentProfile = 4; }, {{0x02, 0, 0x82, 1, 3}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.code);
    Restart();
    Attach(false);
    db_.SetConfigValue(1, u"report_rate", u"5");
    row.setup(*worker_);
    RunBusy(row.code);
    auto heads = row.heads;
    heads.push_back({0x0A, 0, 0x81, 1, 0});
    EXPECT_EQ(Heads(5), heads);
    EXPECT_EQ(mouse_->IgnoredReports(), 0);
    EXPECT_EQ(worker_->Count("worker failed 2") + worker_->Count("worker failed 3"), 0u);
    if (row.code == kCmdRestoreDefaults) {
      EXPECT_EQ(worker_->Count("worker done 2"), 1u);
    }
  }
  EXPECT_EQ(mouse_->CurrentProfile(), 3);
}

TEST_F(NordicTest, RoundTripThroughTheMouse) {
  Attach(false);
  const int macro = AddMacro(3);
  Assign(1, 1, 1, 1, 0, u"106");
  Assign(1, 2, 3, 1, 0, u"107");
  Assign(1, 3, 22, 0x04, 0x02, u"Shift + A");
  Assign(1, 4, 25, 6, 0, u"117");
  Assign(1, 5, 105, 8, 0, u"133");
  Assign(1, 6, 23, macro);
  Assign(1, 8, 17, 1, 0, u"DPI Loop");
  for (const auto& [key, value] : std::initializer_list<std::pair<const char16_t*, const char16_t*>>{
           {u"sensor_flag", u"20"}, {u"scroll_flag", u"2"}, {u"e-sports_flag", u"2"}, {u"report_rate", u"5"},
           {u"dpi_flag", u"31"}, {u"dpi_index", u"4"}, {u"dpi_group0_value", u"400"},
           {u"dpi_group5_value", u"12800"}, {u"liftoff_height", u"2"}, {u"button_respondtime", u"9"}})
    db_.SetConfigValue(1, key, value);
  const std::string seeded = Rows(1);
  Run(kCmdWriteAllNordic);

  db_.DeleteKeyAssignments(1);
  db_.ResetConfig(1);
  Run(kCmdRefreshFromDevice);
  EXPECT_EQ(Rows(1), [&] {  // button 6's macro sits in slot 8, which reads back as no action of this family
    std::string s = seeded;
    s.erase(s.find("6:23"), s.find("8:17") - s.find("6:23"));
    return s;
  }());
  const sim::DecodedNordicMacro m = sim::DecodeNordicMacro(mouse_->Macros(0).at(0));
  EXPECT_EQ(m.play, 1);
  ASSERT_EQ(m.records.size(), 3u);
  const uint8_t flags[] = {0x01, 0x81, 0x01};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(m.records[i].flags, flags[i]);
    EXPECT_EQ(m.records[i].code, 0x04);
    EXPECT_EQ(m.records[i].delay, 10);
  }
}

TEST_F(NordicTest, SilentOrVanishingMouse) {
  Attach(false);
  sim::Faults silent;
  silent.silent = true;
  sim::SetFaults(path_, silent);
  EXPECT_FALSE(worker_->WriteSettingsNordic());
  const auto writes = sim::Writes(path_);
  ASSERT_EQ(writes.size(), 3u);  // the read (no retry), then the write and its one retry
  EXPECT_EQ(writes[1].bytes[3], 0xBB);
  // The failed exchange's own waits (16 + 200 + 200 + 100 ms), 100 ms, the next flush read.
  EXPECT_EQ(writes[2].time - writes[1].time, 716u);
  EXPECT_EQ(writes[2].bytes, writes[1].bytes);
  EXPECT_FALSE(worker_->WriteKeyMapsNordic());
  EXPECT_FALSE(worker_->PollAfterWriteNordic());
  // Apply to a mouse that does not answer is told as a failure.
  worker_->ClearUi();
  RunBusy(kCmdWriteAll);
  EXPECT_EQ(worker_->Ui().back(), "worker failed 1");

  sim::SetFaults(path_, sim::Faults{});
  Assign(1, 1, 25, 6);  // volume up
  Assign(1, 2, 23, AddMacro(6));
  db_.SetConfigValue(1, u"dpi_index", u"3");
  const std::string before = Rows(1);
  sim::Faults unplug;
  unplug.unplug_after_writes = 3;
  sim::SetFaults(path_, unplug);
  RunBusy(kCmdWriteAllNordic);
  EXPECT_EQ(Rows(1), before);
  EXPECT_EQ(worker_->Ui().back(), "busy closed");
  clock_->Advance(1000);
  worker_->ThreadStep();  // the idle poll of a vanished mouse returns at once
  // An Apply, which sends the macros and buttons only, leaves the settings owed.
  sim::Replug(path_);
  worker_->Scan();
  RunBusy(kCmdWriteAll);
  EXPECT_EQ(worker_->Ui().back(), "worker done 1");
  sim::Unplug(path_);

  // Back again: the cut-short write is finished, not read over.
  worker_->deviceDataLoaded = 1;  // the start's read-back is over
  Run(kCmdDeviceRemoved);
  sim::Replug(path_);
  Run(kCmdDeviceArrived);
  EXPECT_EQ(Rows(1), before);
  const sim::NordicBlock codes = mouse_->ButtonCodes(0).value();
  EXPECT_EQ(Bytes(codes.begin() + 4, codes.begin() + 12), (Bytes{0x03, 0x00, 0xE9, 0x00, 0x09, 0x01, 0x00, 0x00}));
  EXPECT_EQ(mouse_->SettingsBlock(0).value()[7], 3);
  EXPECT_EQ(mouse_->Macros(0).size(), 1u);

  // An Apply cut short after any of its writes (the macro's two requests, the
  // button codes) leaves the store owed: a mouse back with its factory values
  // gets the store instead of being read over it.
  for (int writes = 1; writes <= 4; ++writes) {
    SCOPED_TRACE(writes);
    unplug.unplug_after_writes = writes;
    sim::SetFaults(path_, unplug);
    RunBusy(kCmdWriteAll);
    EXPECT_EQ(worker_->Ui().back(), "worker failed 1");
    Run(kCmdDeviceRemoved);
    mouse_ = std::make_shared<sim::NordicMouse>();
    sim::InstallModel(mouse_);
    sim::Replug(path_);
    Run(kCmdDeviceArrived);
    EXPECT_EQ(Rows(1), before);
    EXPECT_EQ(mouse_->ButtonCodes(0).value()[6], 0xE9);
    EXPECT_EQ(mouse_->SettingsBlock(0).value()[7], 3);
  }

  // A store that stops answering sends nothing it did not give: at the
  // buttons, read before the first write, nothing at all; at the settings,
  // read after the poll that precedes their write, no settings. Either way
  // the write stays owed and the next arrival that finds the store writes it.
  StoreSilence silence(db_);
  for (const char* table : {"t_key_macro_data", "t_configdata"}) {
    SCOPED_TRACE(table);
    mouse_ = std::make_shared<sim::NordicMouse>();
    sim::InstallModel(mouse_);
    silence.At(table, 1);
    sim::ClearLog();
    worker_->ClearUi();
    RunBusy(kCmdWriteAllNordic);
    EXPECT_TRUE(silence.Fell());
    EXPECT_EQ(worker_->Count("store unanswered"), 1u);
    for (const Bytes& head : Heads()) EXPECT_FALSE(head[0] == 0x04 && head[3] == 0x02) << "a settings write";
    EXPECT_EQ(Heads().empty(), table == std::string("t_key_macro_data"));
    silence.Answer();
    Run(kCmdDeviceRemoved);
    sim::Replug(path_);
    Run(kCmdDeviceArrived);
    EXPECT_EQ(Rows(1), before);
    EXPECT_EQ(mouse_->ButtonCodes(0).value()[6], 0xE9);
    EXPECT_EQ(mouse_->SettingsBlock(0).value()[7], 3);
  }
}

}  // namespace
