// The frame's and pages' places, texts that fit their buttons, and the
// performance page with the light mode: what each control stores, what the
// refresh shows, and what reaches the simulated mouse.
#include <QFontMetrics>

#include "main_window_test_support.h"

using namespace mainwintest;

static std::ostream& operator<<(std::ostream& out, const CRect& r) {
  return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

class PerformancePageTest : public MainWindowTest {
 protected:
  TestWindow& Wired() {
    wired_ = sim::AddWiredMouse(kVid, kWiredPid);
    TestWindow& w = MakeWindow();
    w.ScanDevices();
    EXPECT_EQ(w.deviceReady.load(), 1);
    return w;
  }
  int Event(int id, int code) { return window_->OnMessage(id, code, 0, 0); }
  // The reports the mouse took with command byte `command`, in order.
  static std::vector<std::vector<uint8_t>> Sent(uint8_t command) {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& entry : sim::Writes()) {
      if (entry.bytes.size() > 2 && entry.bytes[2] == command) out.push_back(entry.bytes);
    }
    return out;
  }
  static std::vector<uint8_t> Report(std::initializer_list<uint8_t> head) {
    std::vector<uint8_t> bytes(head);
    bytes.resize(65, 0);
    return bytes;
  }
  // One report from the mouse, then one poll and the page refresh it posts.
  void Notify(uint8_t event, uint8_t value1, uint8_t value2) {
    sim::QueueNotification(wired_, event, value1, value2);
    window_->lastPollTick = clock_->Now() - 1000;
    window_->PollDeviceNotifications();
    QApplication::processEvents();
  }
  std::string wired_;
};

struct Placed {
  const char* what;
  MControl* control;
  CRect rect;
};

void ExpectPlaces(const std::vector<Placed>& rows) {
  for (const Placed& row : rows) {
    ASSERT_NE(row.control, nullptr) << row.what;
    EXPECT_EQ(row.control->GetRect(), row.rect) << row.what;
  }
}

// ---------------------------------------------------------------------------
// Places at 1121 x 780 (scale 1.0), from the layout tables

TEST_F(PerformancePageTest, FrameAndPerformancePageSitWhereTheTablesPutThem) {
  TestWindow& w = MakeWindow();
  ASSERT_EQ(w.GetClientRect(), (CRect{0, 0, 1121, 780}));
  EXPECT_FLOAT_EQ(w.uiScale, 1.0f);
  ExpectPlaces({
      {"close", w.closeButton, {1071, 10, 1091, 30}},
      {"minimise", w.minimizeButton, {1035, 10, 1055, 30}},
      {"title", w.title, {410, 5, 710, 35}},
      {"battery", w.battery, {21, 6, 86, 34}},
      {"connection state", w.connectionState, {91, 5, 191, 32}},
      {"tab strip", w.tabs, {20, 40, 380, 100}},
      {"home panel", w.homePanel, {410, 290, 710, 350}},
      {"home text", w.homeText, {410, 290, 710, 350}},
      {"home note", w.homeNote, {410, 640, 730, 700}},
      {"owner label", w.ownerLabel, {410, 740, 750, 770}},
      {"link", w.linkButton, {901, 740, 1121, 770}},
      {"button page", w.keyPage, {1, 110, 1120, 730}},
      {"performance page", w.performancePage, {1, 110, 1120, 730}},
      {"macro page", w.macroPage, {1, 110, 1120, 730}},
      {"settings page", w.settingsPage, {1, 110, 1120, 730}},
      {"home page", w.homePage, {1, 110, 1120, 730}},
      {"93", w.dpiPanel, {20, 120, 1101, 720}},
      {"94", w.dpiInnerPanel, {40, 140, 1081, 400}},
      {"95", w.dpiHeading, {80, 160, 580, 190}},
      {"97", w.dpiHelp, {280, 167, 296, 183}},
      {"98", w.dpiReset, {1045, 167, 1061, 183}},
      {"101", w.dpiStages[0], {80, 190, 180, 290}},
      {"106", w.dpiStages[5], {680, 190, 780, 290}},
      {"107", w.dpiSlider, {80, 300, 1061, 380}},
      {"108", w.dpiStepUp, {1001, 315, 1021, 330}},
      {"109", w.dpiStepDown, {1001, 345, 1021, 360}},
      {"110", w.reportRatePanel, {40, 410, 691, 530}},
      {"111", w.reportRateHeading, {80, 430, 300, 460}},
      {"112", w.reportRateHelp, {280, 437, 296, 453}},
      {"121", w.lightPanel, {701, 410, 1081, 530}},
      {"122", w.lightCaption, {741, 430, 961, 460}},
      {"123", w.lightModeCombo, {741, 470, 1021, 506}},
      {"138", w.scrollPanel, {40, 540, 1081, 700}},
      {"139", w.scrollHeading, {80, 560, 290, 590}},
      {"140", w.scrollHelp, {240, 567, 256, 583}},
      {"141", w.scrollRadios[0], {80, 610, 190, 640}},
      {"142", w.scrollRadios[1], {230, 610, 340, 640}},
  });
  // Built, filled and handled, but given no place.
  for (MControl* hidden : std::initializer_list<MControl*>{
           w.maximizeButton, w.dpiNote, w.dpiCountCaption, w.dpiCountCombo, w.reportRateReset, w.sleepPanel,
           w.sleepCombo, w.liftoffPanel, w.liftoffRadios[0], w.sensorPanel, w.sensorChecks[0], w.sensorChecks[2],
           w.esportsPanel, w.esportsRadios[0], w.esportsRadios[1], w.reportRateButtons[4], w.reportRateButtons[6]}) {
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(hidden->GetRect().IsRectEmpty()) << hidden->GetID();
  }
  // Every control of the performance page is in its layout (ids 93..147).
  int members = 0;
  for (MControl* c : w.performancePage->Members()) members += c->GetID() >= 93 && c->GetID() <= 147;
  EXPECT_EQ(members, 55);
}

TEST_F(PerformancePageTest, ReportRateButtonsFollowTheScaleTheFamilyAndTheCable) {
  TestWindow& w = MakeWindow();  // no mouse: the four rates of the standard family
  auto lefts = [&] {
    std::vector<int> out;
    for (ColorButtonEx* b : w.reportRateButtons) out.push_back(b->IsVisible() && !b->GetRect().IsRectEmpty() ? b->GetRect().left : -1);
    return out;
  };
  EXPECT_EQ(lefts(), (std::vector<int>{80, 180, 280, 380, -1, -1, -1}));
  EXPECT_EQ(w.reportRateButtons[1]->GetRect(), (CRect{180, 480, 260, 508}));
  w.UISize(CRect{0, 0, 1121, 1170});
  EXPECT_EQ(lefts(), (std::vector<int>{80, 230, 380, 530, -1, -1, -1}));
  w.maxReportRateLevel = 5;
  w.UISize(CRect{0, 0, 1121, 780});
  EXPECT_EQ(lefts(), (std::vector<int>{80, 180, 280, 380, 480, 580, -1}));

  // A cable with level 3 or less: 1000 Hz alone, first and checked; no row changes.
  w.maxReportRateLevel = 0;
  sim::AddWiredMouse(kVid, kWiredPid);
  w.ScanDevices();
  const std::string before = Dump();
  w.reportRateButtons[0]->SetCheck(1);
  w.LayoutReportRateButtons();
  EXPECT_EQ(lefts(), (std::vector<int>{-1, -1, -1, 80, -1, -1, -1}));
  EXPECT_EQ(w.reportRateButtons[3]->GetRect(), (CRect{80, 480, 160, 508}));
  EXPECT_EQ(w.reportRateButtons[3]->GetCheck(), 1);
  EXPECT_EQ(w.reportRateButtons[0]->GetCheck(), 0);
  EXPECT_EQ(Dump(), before);
}

TEST_F(PerformancePageTest, SettingsColumnsFollowTheLanguage) {
  const struct {
    int language, S, T, U;
  } rows[] = {{2052, 260, 410, 312}, {1033, 320, 470, 372}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.language);
    CurrentLanguageId = r.language;
    TestWindow& w = MakeWindow();
    ExpectPlaces({
        {"231", w.settingsPanel, {20, 120, 1101, 720}},
        {"233", w.settingsHeading, {40, 130, 280, 160}},
        {"version panel", w.versionPanel, {40, 170, 1081, 330}},
        {"257", w.firmwareCaption, {60, 210, r.S, 250}},
        {"259", w.softwareCaption, {60, 250, r.S, 290}},
        {"260", w.firmwareVersion, {r.S, 210, r.T, 250}},
        {"262", w.softwareVersionLabel, {r.S, 250, r.T, 290}},
        {"autostart panel", w.autostartPanel, {40, 340, 1081, 420}},
        {"264", w.autostartCaption, {60, 362, r.S, 398}},
        {"265", w.autostartSwitch, {r.S, 362, r.U, 398}},
        {"language panel", w.languagePanel, {40, 430, 1081, 510}},
        {"267", w.languageCaption, {60, 450, r.S, 492}},
        {"268", w.languageCombo, {r.S, 450, r.T, 492}},
        {"reset panel", w.resetPanel, {40, 520, 1081, 700}},
        {"270", w.factoryResetCaption, {60, 567, r.S, 603}},
        {"271", w.factoryResetButton, {r.S, 567, r.T, 603}},
        {"275", w.mousePanelCaption, {60, 622, r.S, 658}},
        {"276", w.mousePanelButton, {r.S, 622, r.T, 658}},
    });
    for (MControl* hidden : std::initializer_list<MControl*>{w.settingsInnerPanel, w.secondVersionCaption,
                                                            w.secondVersion, w.lockPanel, w.leftButtonLockSwitch,
                                                            w.pointerPanel, w.speedSlider, w.speedEnds[1],
                                                            w.wheelLinesEdit, w.doubleClickSlider}) {
      EXPECT_TRUE(hidden->GetRect().IsRectEmpty()) << hidden->GetID();
    }
  }
}

TEST_F(PerformancePageTest, ButtonAndTabTextsFitInBothLanguages) {
  for (int language : {1033, 2052}) {
    SCOPED_TRACE(language);
    CurrentLanguageId = language;
    TestWindow& w = MakeWindow();
    int buttons = 0;
    for (const auto& control : w.Controls()) {
      auto* button = dynamic_cast<MButton*>(control.get());
      const CRect r = control->GetRect();
      // A help button shows its title as a tooltip only.
      if (!button || dynamic_cast<CHelpButton*>(button) || button->GetTitle().empty() || r.IsRectEmpty()) continue;
      ++buttons;
      const QFont font = button->TitleFont(QSize(r.Width(), r.Height()));
      const QString text = uikit::ToQString(button->GetTitle());
      EXPECT_GE(font.pixelSize(), 10) << button->GetID() << " " << text.toStdString();
      EXPECT_LE(QFontMetrics(font).horizontalAdvance(text), r.Width() - 8) << button->GetID();
      EXPECT_LE(QFontMetrics(font).height(), r.Height()) << button->GetID();
    }
    EXPECT_GE(buttons, 2);  // the settings page's two buttons at least
    const QFont tabFont = w.tabs->ItemFont();
    EXPECT_GE(tabFont.pixelSize(), 9);
    for (int i = 0; i < w.tabs->GetItemCount(); ++i) {
      const QString text = uikit::ToQString(w.tabs->GetItemText(i));
      EXPECT_LE(QFontMetrics(tabFont).horizontalAdvance(text), w.tabs->ItemTextRect(i).width()) << text.toStdString();
    }
  }
}

// ---------------------------------------------------------------------------
// DPI stages

TEST_F(PerformancePageTest, DpiCommitsRoundToHundredsWithinTheirLimits) {
  TestWindow& w = MakeWindow();
  w.LoadPerformancePage();
  DPIControl* stage = w.dpiStages[2];
  const struct {
    int typed;
    const char16_t* stored;
    int slider;
  } rows[] = {{150, u"200", 2},       {1249, u"1200", 12},  {1250, u"1300", 13}, {0, u"200", 2},
              {12849, u"12800", 128}, {12851, u"12800", 128}, {99999, u"12800", 128}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.typed);
    stage->SetDPIValue(r.typed);
    EXPECT_EQ(Event(103, kEventKillFocus), 1);
    EXPECT_EQ(Config(1, u"dpi_group2_value"), r.stored);
    EXPECT_EQ(platform::FormatDecimal(stage->GetDPIValue()), r.stored);
    EXPECT_EQ(w.dpiSlider->GetProgress(), r.slider);
    EXPECT_EQ(Config(1, u"dpi_index"), u"2");
    EXPECT_EQ(w.selectedDpiControl.load(), 103);
  }

  // Typing caps the stage typed in, which need not be the selected one; nothing is stored.
  w.dpiStages[4]->SetDPIValue(13000);
  EXPECT_EQ(Event(105, kEventTextChanged), 1);
  EXPECT_EQ(w.dpiStages[4]->GetDPIValue(), 12800);
  EXPECT_EQ(w.dpiSlider->GetProgress(), 128);
  EXPECT_EQ(stage->GetDPIValue(), 12800);
  EXPECT_EQ(Config(1, u"dpi_group4_value"), u"6400");

  // The slider and its steps change the selected stage; only a release stores.
  w.dpiSlider->SetProgress(31);
  EXPECT_EQ(Event(107, kEventTextChanged), 1);
  EXPECT_EQ(stage->GetDPIValue(), 3100);
  EXPECT_EQ(Config(1, u"dpi_group2_value"), u"12800");
  EXPECT_EQ(Event(109, kEventClick), 1);
  EXPECT_EQ(Config(1, u"dpi_group2_value"), u"3000");
  EXPECT_EQ(Event(108, kEventTextChanged), 0) << "steps act on a click only";
  EXPECT_EQ(Config(1, u"dpi_group2_value"), u"3000");

  // A click on a stage makes it current.
  EXPECT_EQ(Event(106, kEventClick), 1);
  EXPECT_EQ(Config(1, u"dpi_index"), u"5");
  EXPECT_EQ(w.dpiSlider->GetProgress(), 100);
}

TEST_F(PerformancePageTest, ACommittedStageReachesTheMouseWithTheNextWriteAll) {
  TestWindow& w = Wired();
  w.dpiStages[2]->SetDPIValue(1250);
  Event(103, kEventKillFocus);
  sim::ClearLog();
  w.workQueue.Push(kCmdWriteAll);
  w.ThreadStep();
  // SetCurrentDpi of profile 1: level 3, 1300 low byte first; checksum 03+03+14+05.
  const auto sent = Sent(0x22);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], Report({0x00, 0x55, 0x22, 0xAE, 0x1F, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x14, 0x05}));
  EXPECT_EQ(mouse_->CurrentDpiLevel(), 3);
  EXPECT_EQ(mouse_->CurrentDpiValue(), 1300);
}

TEST_F(PerformancePageTest, RefreshShowsTheStoredRowsAndFallsBackOnBadOnes) {
  TestWindow& w = MakeWindow();
  const struct {
    const char16_t* index;
    int stage;  // 0-based
  } rows[] = {{u"6", 0}, {u"-1", 0}, {u"abc", 0}, {u"", 0}, {u"5", 5}, {u" 3", 3}};
  for (const auto& r : rows) {
    SCOPED_TRACE(platform::Utf16ToUtf8(r.index));
    ASSERT_TRUE(db_.SetConfigValue(1, u"dpi_index", r.index));
    w.LoadPerformancePage();
    EXPECT_EQ(w.selectedDpiControl.load(), 101 + r.stage);
    EXPECT_EQ(w.dpiStages[r.stage]->GetCheckState(), 1);
    EXPECT_EQ(w.dpiSlider->GetProgress(), w.dpiStages[r.stage]->GetDPIValue() / 100);
  }

  // Text comparisons, not numbers: "02" is not "2"; and any other rate is 1000 Hz.
  ASSERT_TRUE(db_.SetConfigValue(1, u"e-sports_flag", u"02"));
  ASSERT_TRUE(db_.SetConfigValue(1, u"report_rate", u"7"));
  ASSERT_TRUE(db_.SetConfigValue(1, u"leftbtn_lock", u"0"));
  w.LoadPerformancePage();
  EXPECT_EQ(w.esportsRadios[1]->GetCheck(), 1);
  EXPECT_EQ(w.reportRateButtons[3]->GetCheck(), 1);
  EXPECT_EQ(w.leftButtonLockSwitch->GetCheck(), 0);
  EXPECT_EQ(w.leftButtonLocked.load(), 0);
}

TEST_F(PerformancePageTest, DpiResetAsksAndOnConfirmWritesTheDefaults) {
  TestWindow& w = MakeWindow();
  ASSERT_TRUE(db_.SetConfigValue(1, u"dpi_group0_value", u"500"));
  ASSERT_TRUE(db_.SetConfigValue(1, u"dpi_group5_rgb", u"7"));
  ASSERT_TRUE(db_.SetConfigValue(1, u"dpi_index", u"4"));
  ASSERT_TRUE(db_.SetConfigValue(1, u"dpi_count", u"6"));
  w.LoadPerformancePage();
  const std::string before = Dump();
  ModalDriver driver;
  driver.answers = {false, true};
  EXPECT_EQ(Event(98, kEventClick), 0);
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(w.dpiStages[0]->GetDPIValue(), 500);

  EXPECT_EQ(Event(98, kEventClick), 1);
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_EQ(driver.boxes[1], LangBox(258, 253, kMessageBoxConfirmCancel));
  const char16_t* values[] = {u"800", u"1200", u"2400", u"3600", u"6400", u"10000"};
  const char16_t* colors[] = {u"255", u"65280", u"16711680", u"8388736", u"65535", u"16776960"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(Config(1, (u"dpi_group" + platform::FormatDecimal(i) + u"_value").c_str()), values[i]);
    EXPECT_EQ(Config(1, (u"dpi_group" + platform::FormatDecimal(i) + u"_rgb").c_str()), colors[i]);
    EXPECT_EQ(platform::FormatDecimal(w.dpiStages[i]->GetDPIValue()), values[i]);
  }
  EXPECT_EQ(w.dpiStages[5]->GetColor(), 7u) << "colours change with the next refresh";
  EXPECT_EQ(Config(1, u"dpi_index"), u"1");
  EXPECT_EQ(Config(1, u"dpi_count"), u"5");
  EXPECT_EQ(w.selectedDpiControl.load(), 102);
  EXPECT_EQ(w.dpiStages[1]->GetCheckState(), 1);
  EXPECT_EQ(w.dpiSlider->GetProgress(), 12);
}

// ---------------------------------------------------------------------------
// Report rate and options

TEST_F(PerformancePageTest, OptionsStoreTheirRowsOnAClickOnly) {
  TestWindow& w = MakeWindow();
  ASSERT_TRUE(db_.SetConfigValue(1, u"sensor_flag", u"53"));
  w.LoadPerformancePage();
  EXPECT_EQ(w.sensorChecks[0]->GetCheck() + 2 * w.sensorChecks[1]->GetCheck() + 4 * w.sensorChecks[2]->GetCheck(), 5)
      << "53 checks options 1 and 3";
  const struct {
    const char* what;
    std::function<void()> change;
    int id;
    const char16_t* key;
    const char16_t* stored;
  } rows[] = {
      {"option 2 on", [&] { w.sensorChecks[1]->SetCheck(1); }, 136, u"sensor_flag", u"28"},
      {"option 1 off", [&] { w.sensorChecks[0]->SetCheck(0); }, 135, u"sensor_flag", u"24"},
      {"2.0 mm", [&] { w.liftoffRadios[1]->SetCheck(1); }, 131, u"liftoff_height", u"2"},
      {"scroll 1", [&] { w.scrollRadios[1]->SetCheck(1); }, 142, u"scroll_flag", u"1"},
      {"e-sports off", [&] { w.esportsRadios[1]->SetCheck(1); }, 147, u"e-sports_flag", u"1"},
      {"e-sports on", [&] { w.esportsRadios[0]->SetCheck(1); }, 146, u"e-sports_flag", u"2"},
      {"sleep 30", [&] { w.sleepCombo->SelectData(30); }, 126, u"sleep_light", u"30"},
      {"250 Hz", [] {}, 115, u"report_rate", u"2"},
      {"1000 Hz", [] {}, 117, u"report_rate", u"4"},
      {"2000 Hz: no value for this family", [] {}, 118, u"report_rate", u"4"},
      {"8000 Hz: no value for this family", [] {}, 120, u"report_rate", u"4"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    r.change();
    const std::u16string before = Config(1, r.key);
    EXPECT_EQ(Event(r.id, kEventSetFocus), 0);
    EXPECT_EQ(Config(1, r.key), before) << "a focus event stores nothing";
    EXPECT_EQ(Event(r.id, kEventClick), 1);
    EXPECT_EQ(Config(1, r.key), r.stored);
  }

  // The report-rate reset asks first.
  ModalDriver driver;
  driver.answers = {false, true};
  ASSERT_TRUE(db_.SetConfigValue(1, u"report_rate", u"1"));
  EXPECT_EQ(Event(113, kEventClick), 0);
  EXPECT_EQ(Config(1, u"report_rate"), u"1");
  EXPECT_EQ(Event(113, kEventClick), 1);
  EXPECT_EQ(Config(1, u"report_rate"), u"4");
  EXPECT_EQ(w.reportRateButtons[3]->GetCheck(), 1);
  EXPECT_EQ(driver.boxes.back(), LangBox(259, 257, kMessageBoxConfirmCancel));
}

TEST_F(PerformancePageTest, ResponseTimeIsKeptWithin0To20OnBothEvents) {
  TestWindow& w = MakeWindow();
  auto* edit = w.responseTimeEdit;
  ASSERT_NE(edit, nullptr);
  const struct {
    int event;
    const char16_t* typed;
    const char16_t* stored;
  } rows[] = {{kEventKillFocus, u"25", u"20"}, {kEventClick, u"25", u"20"}, {kEventKillFocus, u"-3", u"0"},
              {kEventClick, u"-3", u"0"},      {kEventKillFocus, u"7", u"7"},  {kEventClick, u"12", u"12"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(platform::Utf16ToUtf8(r.typed));
    edit->SetTitle(r.typed);
    EXPECT_EQ(Event(85, r.event), 1);
    EXPECT_EQ(Config(1, u"button_respondtime"), r.stored);
    EXPECT_EQ(edit->GetTitle(), r.stored);
  }
}

TEST_F(PerformancePageTest, NotificationsFromTheMouseShowOnThePageAndSendNothingBack) {
  TestWindow& w = Wired();
  w.LoadPerformancePage();
  sim::ClearLog();
  Notify(0x10, 4, 2);
  Notify(0x11, 5, 0);
  EXPECT_EQ(w.dpiStages[3]->GetCheckState(), 1);
  EXPECT_EQ(w.dpiSlider->GetProgress(), w.dpiStages[3]->GetDPIValue() / 100);
  EXPECT_EQ(w.reportRateButtons[1]->GetCheck(), 1);
  EXPECT_EQ(w.lightModeCombo->GetCurData(), 5);
  EXPECT_EQ(Config(1, u"dpi_index"), u"3");
  EXPECT_TRUE(sim::Writes().empty());
  EXPECT_TRUE(w.workQueue.Size() == 0);
}

// ---------------------------------------------------------------------------
// Light mode

TEST_F(PerformancePageTest, ChosenLightModeIsStoredAndSentEachTime) {
  TestWindow& w = Wired();
  w.currentProfile = 2;
  sim::ClearLog();
  for (int time = 1; time <= 2; ++time) {
    w.lightModeCombo->UserChose(3);  // reported as the user's choice is
    EXPECT_EQ(Config(2, u"light_mode"), u"3");
    EXPECT_EQ(w.lightMode.load(), 3);
    EXPECT_EQ(Drain(w.workQueue), std::vector<int>{kCmdWriteLighting});
    w.workQueue.Push(kCmdWriteLighting);
    w.ThreadStep();
    // Profile 2, mode 3: checksum 03 + 01 + 03.
    const auto sent = Sent(0x21);
    ASSERT_EQ(sent.size(), static_cast<size_t>(time));
    EXPECT_EQ(sent.back(), Report({0x00, 0x55, 0x21, 0xA5, 0x07, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x03}));
  }
  EXPECT_EQ(mouse_->LightMode(1), 3);
  EXPECT_EQ(Config(1, u"light_mode"), u"1") << "only the current profile's row";
}

TEST_F(PerformancePageTest, LightModeWithoutAMouseChangesTheRowAndSendsNothing) {
  TestWindow& w = MakeWindow();
  w.ScanDevices();
  ASSERT_EQ(w.deviceConnected.load(), 0);
  w.lightModeCombo->UserChose(6);
  EXPECT_EQ(Config(1, u"light_mode"), u"6");
  w.ThreadStep();
  EXPECT_TRUE(sim::Writes().empty());
  EXPECT_EQ(w.workQueue.Size(), 0u);
}

}  // namespace

// Focus only comes into a stage's value by a click: a stage that got it from
// a tab switch or the Tab key would commit itself as the current stage the
// moment anything else is clicked.
TEST_F(PerformancePageTest, NoStageTakesFocusUnlessClicked) {
  TestWindow& w = MakeWindow();
  db_.SetConfigValue(1, u"dpi_index", u"2");
  w.LoadPerformancePage();
  w.ShowWindow(SW_SHOWNORMAL);
  QWidget* top = w.GetWidget()->window();
  top->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(top));
  QTest::mouseClick(w.tabs->GetWidget(), Qt::LeftButton, {}, QPoint(170, 30));  // the performance tab
  QApplication::processEvents();
  for (int i = 0; i < 40; ++i) {
    QWidget* focus = QApplication::focusWidget();
    for (DPIControl* stage : w.dpiStages) {
      ASSERT_FALSE(focus != nullptr && stage->GetWidget()->isAncestorOf(focus)) << "after " << i << " tabs";
    }
    QTest::keyClick(focus ? focus : top, Qt::Key_Tab);
    QApplication::processEvents();
  }
  QTest::mouseClick(w.tabs->GetWidget(), Qt::LeftButton, {}, QPoint(30, 30));  // home
  QApplication::processEvents();
  EXPECT_EQ(Config(1, u"dpi_index"), u"2");
}
