// The real main window and its worker with a mouse of the second family
// (device type 201) behind its receiver: what the read-back and the mouse's
// reports hand to the pages, and what Apply sends.
#include "main_window_test_support.h"
#include "sim/model/nordic_mouse.h"

using namespace mainwintest;

namespace {

constexpr int kNordic = 201;

// Records what reaches the page hooks, with the store's values the pages
// would show at that moment.
class NordicWindow : public TestWindow {
 public:
  using TestWindow::TestWindow;
  std::vector<std::string> seen;

 protected:
  int DeviceTypeInForce() const override { return kNordic; }
  void ShowNordicConnection(int stateText) override {
    TestWindow::ShowNordicConnection(stateText);
    seen.push_back("connection " + std::to_string(stateText));
  }
  void CheckDpiControl(int id) override {
    TestWindow::CheckDpiControl(id);
    seen.push_back("dpi control " + std::to_string(id));
  }
  void CheckReportRateButton(int index) override {
    TestWindow::CheckReportRateButton(index);
    seen.push_back("rate index " + std::to_string(index));
  }
  void ShowBatteryInfo(int level, int state) override {
    TestWindow::ShowBatteryInfo(level, state);
    seen.push_back("battery " + std::to_string(level) + " " + std::to_string(state));
  }
  void SetVersionLabel(int id, const std::u16string& text) override {
    TestWindow::SetVersionLabel(id, text);
    seen.push_back("label " + std::to_string(id) + " " + platform::Utf16ToUtf8(text));
  }
  void LoadPerformancePage() override {
    TestWindow::LoadPerformancePage();
    seen.push_back("performance rate " + Value(u"report_rate") + " stage " + Value(u"dpi_index") + " dpi " +
                   Value(u"dpi_group0_value"));
  }
  void ShowKeyAssignments() override {
    TestWindow::ShowKeyAssignments();
    KeyAssignment a;
    db().GetKeyAssignment(currentProfile.load(), 0, 1, a);
    seen.push_back("buttons: 1 is " + std::to_string(a.macro_type) + " " + platform::Utf16ToUtf8(a.macro_desc));
  }

 private:
  std::string Value(const char16_t* key) {
    std::u16string value;
    db().GetConfigValue(currentProfile.load(), key, value);
    return platform::Utf16ToUtf8(value);
  }
};

TEST_F(MainWindowTest, SecondFamilyReadBackFillsThePagesAndApplyWritesThem) {
  auto mouse = std::make_shared<sim::NordicMouse>();
  sim::InstallModel(mouse);
  const std::string receiver = sim::AddReceiver(kVid, kReceiverPid, 1, true);
  mouse->SetBattery(77, 1);
  sim::NordicBlock settings = sim::NordicDefaultSettings();
  settings[5] = 5;     // report-rate index
  settings[7] = 2;     // DPI stage
  settings[8] = 0x40;  // stage 0: 1600
  settings[9] = 0x06;
  mouse->SetSettingsBlock(0, settings);
  sim::NordicBlock codes{};
  codes[4] = 0x01, codes[6] = 0xF8, codes[7] = 0x01;  // slot 0: wheel up
  mouse->SetButtonCodes(0, codes);

  NordicWindow& w = MakeWindow<NordicWindow>({Row(0, kWiredPid, u"", kNordic), Row(1, kReceiverPid, u"", kNordic)});
  w.ScanDevices();
  ASSERT_EQ(w.deviceType.load(), kNordic);
  ASSERT_EQ(w.deviceReady.load(), 1);
  w.seen.clear();  // the scan's own view

  w.workQueue.Push(kCmdInitialLoad);
  w.StartThread();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.seen.empty() && w.seen.back().rfind("label 261", 0) == 0; }, 10000));
  EXPECT_EQ(w.seen, (std::vector<std::string>{"connection 52", "battery 77 1", "buttons: 1 is 7 112",
                                              "performance rate 5 stage 2 dpi 1600", "label 260 0.0.7",
                                              "label 261 1.2.5"}));
  EXPECT_EQ(StateText(), GetLangText(52));
  EXPECT_TRUE(Tabs().IsEnabled());

  // The mouse reports another stage and rate on its own.
  w.seen.clear();
  std::vector<uint8_t> report = {0x41, 0x00, 0x8C, 0x01, 0x08, 0x00, 0x40, 0x00, 0x04, 0x01};
  report.resize(64);
  sim::QueueInput(receiver, report);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.seen.size() >= 3; }, 10000));
  EXPECT_EQ(w.seen, (std::vector<std::string>{"battery 64 0", "dpi control 105", "rate index 1"}));
  for (int i = 0; i < 6; ++i) EXPECT_EQ(w.dpiStages[i]->GetCheckState(), i == 4 ? 1 : 0) << i;
  for (int i = 0; i < 7; ++i) EXPECT_EQ(w.reportRateButtons[i]->GetCheck(), i == 1 ? 1 : 0) << i;

  // Apply: button 2 becomes a left click; the mouse behind the receiver gets it.
  Assign(1, 2, 1);
  sim::ClearLog();
  ModalDriver driver;
  driver.endBusyDialogs = false;
  EXPECT_EQ(w.OnMessage(88, kEventClick, 0, 0), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return driver.boxes.size() == 1; }, 10000));
  EXPECT_EQ(driver.boxes[0], LangBox(210, 115, kMessageBoxOk));

  // The receiver tells that its mouse went away: the home item, tabs disabled.
  report = {0x01, 0x00, 0x8C, 0x01, 0x00};
  report.resize(64);
  sim::QueueInput(receiver, report);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.seen.back() == "battery 0 2"; }, 10000));
  EXPECT_EQ(StateText(), GetLangText(53));
  EXPECT_FALSE(Tabs().IsEnabled());
  EXPECT_EQ(Tabs().GetSelectItem(), 0);
  w.JoinThread();
  const sim::NordicBlock written = mouse->ButtonCodes(0).value();
  EXPECT_EQ(std::vector<uint8_t>(written.begin() + 4, written.begin() + 12),
            (std::vector<uint8_t>{0x01, 0x00, 0xF8, 0x01, 0x01, 0x00, 0xF0, 0x00}));
  for (const sim::LogEntry& e : sim::Writes(receiver)) EXPECT_EQ(e.bytes[1] & 0xC0, 0x40) << int(e.bytes[1]);
}

}  // namespace
