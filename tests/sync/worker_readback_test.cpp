// Reading the mouse back into the store.
#include "worker_test_support.h"

#include "sync/work_queue.h"

using namespace synctest;

namespace {

struct Row {
  int button, kind, value, value2;
  std::u16string desc;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << "{" << r.button << ", " << r.kind << ", " << r.value << ", " << r.value2 << "}";
}

class ReadBackTest : public WorkerTest {
 protected:
  std::vector<Row> Rows(int profile) {
    std::vector<KeyAssignment> list;
    db_.LoadKeyAssignments(profile, 0, list);
    std::vector<Row> rows;
    for (const KeyAssignment& a : list) rows.push_back({a.key_code, a.macro_type, a.macro_value, a.macro_value2, a.macro_desc});
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.button < b.button; });
    return rows;
  }

  static std::vector<Row> DefaultRows() {
    return {{1, 1, 1, 0, u"121"}, {2, 3, 1, 0, u"122"}, {3, 2, 1, 0, u"123"}, {4, 5, 1, 0, u"124"},
            {5, 6, 1, 0, u"125"}, {6, 9, 1, 0, u"90"},  {7, 7, 1, 0, u"127"}, {8, 8, 1, 0, u"128"}};
  }
};

TEST_F(ReadBackTest, StoresExactlyWhatTheMouseHolds) {
  const int macro = AddMacro(u"hello", {{2, 65}});
  mouse_->SetKeyMap(0, {{{0x10, 0x01, 0x06, 0x00},
                         {0x20, 0x02, 0x00, 0x00},
                         {0x30, 0xE9, 0x00, 0x00},
                         {0x00, 0x08, 0x00, 0x00},
                         {0x50, 0x05, 0x00, 0x00},
                         {0x10, 0x06, 0x04, 0x00},
                         {0x70, 0x00, 0x03, 0x00},
                         {0xFF, 0xFF, 0xFF, 0xFF}}});
  mouse_->SetKeyMap(3, {{{0x21, 0x62, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x00}, {0xF0, 0x02, 0x02, 0x00},
                         {0x20, 0x01, 0x02, 0x00}, {0x21, 0x61, 0x00, 0x00}, {0x30, 0x8A, 0x01, 0x00},
                         {0x21, 0xAA, 0x00, 0x00}, {0x10, 0x00, 0x3E, 0x00}}});
  const sim::SettingsBlock block = {
      0x03, 0x02, 0x06, 0x04,
      0x90, 0x01, 0x20, 0x03, 0x31, 0x00, 0x80, 0x0C, 0x91, 0x65, 0x90, 0x65,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 0, 0, 0,
      0x01, 0x02, 0x31, 0x10, 0x05, 0x00};
  mouse_->SetSettingsBlock(0, block);
  mouse_->SetBattery(55, 1);

  RunBusy(kCmdReadBack);

  EXPECT_EQ(Rows(1), (std::vector<Row>{{1, 26, 11, 0, u"31"},
                                       {2, 3, 1, 0, u"122"},
                                       {3, 25, 6, 0, u"175"},
                                       {4, 27, 5, 0, u"表情符号"},
                                       {5, 24, 1, 0, u"162"},
                                       {6, 22, 4, 6, u"Shift+ Alt + A"},
                                       {7, 23, macro, 0, u"hello"}}));
  EXPECT_EQ(Rows(4), (std::vector<Row>{{3, 20, 1, 0, u"154"},
                                       {4, 11, 1, 0, u"156"},
                                       {5, 4, 1, 0, u"126"},
                                       {6, 26, 7, 0, u"191"},
                                       {7, 10, 1, 0, u"91"},
                                       {8, 26, 8, 0, u"192"}}));
  for (int p : {2, 3, 5, 6}) EXPECT_EQ(Rows(p), DefaultRows()) << p;

  EXPECT_EQ(Config(1, u"light_mode"), u"3");
  EXPECT_EQ(Config(1, u"report_rate"), u"2");
  EXPECT_EQ(Config(1, u"dpi_flag"), u"6");
  EXPECT_EQ(Config(1, u"dpi_count"), u"6");
  EXPECT_EQ(Config(1, u"dpi_index"), u"3");
  EXPECT_EQ(Config(1, u"dpi_group0_value"), u"400");
  EXPECT_EQ(Config(1, u"dpi_group1_value"), u"800");
  EXPECT_EQ(Config(1, u"dpi_group2_value"), u"2400");  // 49 in the mouse: kept
  EXPECT_EQ(Config(1, u"dpi_group3_value"), u"3200");
  EXPECT_EQ(Config(1, u"dpi_group4_value"), u"6400");  // 26001 in the mouse: kept
  EXPECT_EQ(Config(1, u"dpi_group5_value"), u"26000");
  EXPECT_EQ(Config(1, u"scroll_flag"), u"1");
  EXPECT_EQ(Config(1, u"liftoff_height"), u"2");
  EXPECT_EQ(Config(1, u"sensor_flag"), u"28");
  EXPECT_EQ(Config(1, u"button_respondtime"), u"16");
  EXPECT_EQ(Config(1, u"sleep_light"), u"5");
  EXPECT_EQ(Config(1, u"e-sports_flag"), u"0");
  EXPECT_EQ(Config(2, u"light_mode"), u"1");  // other profiles untouched
  EXPECT_EQ(worker_->currentProfile.load(), 1);

  EXPECT_EQ(worker_->Ui(), (std::vector<std::string>{"battery 55 1", "RefreshKeyPage", "LoadPerformancePage",
                                                     "LoadMacroList", "busy closed"}));
}

TEST_F(ReadBackTest, TheProfileInUseStaysWhileReading) {
  worker_->currentProfile = 3;
  Run(kCmdReadBack);
  EXPECT_EQ(worker_->currentProfile.load(), 3);
  // The settings block went to profile 3's rows: the mouse's factory block has report rate 4.
  EXPECT_EQ(Config(3, u"report_rate"), u"4");
  EXPECT_EQ(Config(1, u"report_rate"), u"2");
  EXPECT_EQ(Sent(0x0E)[0][8], 2);
}

TEST_F(ReadBackTest, NotificationsInPlaceOfRepliesReachThePollAndTheRequestsGoAgain) {
  Assign(1, 1, 22, 0x07, 0x01);
  sim::Faults faults;
  faults.notifications_instead = 2;  // stage 1 and rate 4, in place of the battery's replies
  sim::SetFaults(path_, faults);
  Run(kCmdReadBack);
  EXPECT_EQ(Rows(1), DefaultRows());
  EXPECT_EQ(Rows(2), DefaultRows());
  EXPECT_EQ(Config(1, u"dpi_index"), u"1");
  EXPECT_EQ(worker_->Count("battery 80 0"), 1u);
  // Both reach the notification path on the next idle steps.
  for (int poll = 0; poll < 2; ++poll) {
    worker_->lastPollTick = (*clock_).Now() - 1000;
    worker_->ThreadStep();
    worker_->RunUi();
  }
  EXPECT_EQ(Config(1, u"dpi_index"), u"0");
  EXPECT_EQ(worker_->Count("dpi stage 1"), 1u);
  EXPECT_EQ(worker_->Count("rate button 1000"), 2u);
}

TEST_F(ReadBackTest, RepliesOneAndAHalfSecondsLateStoreWhatAPromptMouseWould) {
  // Every profile's map differs, so that one profile's answer taken for the
  // next one's shows.
  const KeyActionCode codes[] = {{0x20, 0x02, 0x00, 0x00}, {0x20, 0x04, 0x00, 0x00}, {0x20, 0x08, 0x00, 0x00},
                                 {0x20, 0x10, 0x00, 0x00}, {0x21, 0x55, 0x00, 0x00}, {0x21, 0x38, 0x01, 0x00}};
  for (int p = 0; p < 6; ++p) {
    sim::StandardKeyMap map = sim::DefaultKeyMap();
    std::copy(codes[p].begin(), codes[p].end(), map[0].begin());
    mouse_->SetKeyMap(p, map);
  }
  Run(kCmdReadBack);
  const std::string prompt = Dump();
  for (int p = 1; p <= 6; ++p) db_.DeleteKeyAssignments(p);
  db_.SetConfigValue(1, u"dpi_index", u"5");

  sim::Faults faults;
  faults.reply_delay_ms = 1500;
  sim::SetFaults(path_, faults);
  Run(kCmdReadBack);
  EXPECT_EQ(Dump(), prompt);
}

TEST_F(ReadBackTest, EmptyAndUnsetSettingsBlocks) {
  sim::SettingsBlock empty{};
  empty[3] = 9;  // bytes 9..11 of the reply (block 0..2) are zero
  mouse_->SetSettingsBlock(0, empty);
  Run(kCmdReadBack);
  EXPECT_EQ(Config(1, u"dpi_index"), u"1");
  EXPECT_TRUE(Sent(0x0F).empty());

  sim::SettingsBlock unset = sim::DefaultSettingsBlock();
  unset[4] = unset[5] = unset[6] = 0xFF;
  mouse_->SetSettingsBlock(0, unset);
  db_.SetConfigValue(1, u"light_mode", u"6");
  Run(kCmdReadBack);
  // The stored block goes to the mouse instead of being read.
  ASSERT_EQ(Sent(0x0F).size(), 1u);
  EXPECT_EQ(Config(1, u"light_mode"), u"6");
  EXPECT_EQ(mouse_->SettingsBlock(0).value()[0], 6);
}

TEST_F(ReadBackTest, SilentMouseChangesNothing) {
  Assign(2, 2, 1, 1);
  const std::string before = Dump();
  sim::Faults faults;
  faults.silent = true;
  sim::SetFaults(path_, faults);
  Run(kCmdReadBack);
  EXPECT_EQ(Dump(), before);
}

TEST_F(ReadBackTest, AReadBackCutShortStoresNothing) {
  // Writes of a read-back: the battery, six key maps, the settings block.
  struct Case {
    const char* when;
    sim::Faults faults;
  };
  sim::Faults afterThreeKeyMaps, beforeTheSettings;
  afterThreeKeyMaps.unplug_after_writes = 4;
  beforeTheSettings.unplug_after_writes = 7;
  const Case cases[] = {{"unplugged after three key maps", afterThreeKeyMaps},
                        {"unplugged before the settings", beforeTheSettings}};
  for (const Case& c : cases) {
    Assign(1, 1, 22, 0x07, 0x01);
    Assign(2, 2, 1, 1);
    db_.SetConfigValue(1, u"dpi_index", u"0");
    const std::string before = Dump();
    sim::SetFaults(path_, c.faults);
    Run(kCmdReadBack);
    EXPECT_EQ(Dump(), before) << c.when;
    sim::Replug(path_);
    sim::SetFaults(path_, {});
    worker_->Scan();
  }
  // Whole, the same read-back stores everything.
  Run(kCmdReadBack);
  EXPECT_EQ(Rows(1), DefaultRows());
  EXPECT_EQ(Rows(2), DefaultRows());
  EXPECT_EQ(Config(1, u"dpi_index"), u"1");
}

TEST_F(ReadBackTest, FirstLoadReadsVersionsOnce) {
  mouse_->SetFirmwareVersion("2x7");
  Run(kCmdInitialLoad);
  EXPECT_EQ(worker_->deviceDataLoaded.load(), 1);
  EXPECT_EQ(worker_->Ui(), (std::vector<std::string>{"LoadProfileList", "battery 80 0", "FillKeyCombos",
                                                     "ShowKeyAssignments", "LoadMacroList", "LoadPerformancePage",
                                                     "label 260 V1.0.3", "label 261 0.0.0", "label 260 2.0.7"}));
  sim::ClearLog();
  Run(kCmdInitialLoad);
  EXPECT_TRUE(sim::Writes(path_).empty());
}

TEST_F(ReadBackTest, ArrivalOnAnUnloadedWindowReadsTwice) {
  const uint32_t start = (*clock_).Now();
  Run(kCmdDeviceArrived);
  EXPECT_GE((*clock_).Now() - start, 1000u);
  EXPECT_EQ(Sent(0x08).size(), 12u);  // the arrival's read-back and the first load
  EXPECT_EQ(worker_->deviceDataLoaded.load(), 1);
  sim::ClearLog();
  Run(kCmdDeviceArrived);
  EXPECT_EQ(Sent(0x08).size(), 6u);
}

}  // namespace
