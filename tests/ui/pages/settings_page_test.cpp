// The settings page against the desktop's pointer settings (a keyfile
// GSettings backend in the test's folder), the autostart entry, the language
// choice, the left-button lock and the desktop's mouse panel.
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <QStyleHints>
#include <sstream>

#include "main_window_test_support.h"
#include "platform/autostart.h"
#include "platform/desktop_mouse.h"

using namespace mainwintest;

namespace {

// The real settings over a keyfile, counting what is written.
class CountingMouseSettings : public platform::DesktopMouseSettings {
 public:
  using DesktopMouseSettings::DesktopMouseSettings;
  bool SetPointerSpeed(int v) override { return ++writes, DesktopMouseSettings::SetPointerSpeed(v); }
  bool SetPointerPrecision(bool v) override { return ++writes, DesktopMouseSettings::SetPointerPrecision(v); }
  bool SetWheelScrollLines(std::uint32_t v) override { return ++writes, DesktopMouseSettings::SetWheelScrollLines(v); }
  bool SetDoubleClickTime(int v) override { return ++writes, DesktopMouseSettings::SetDoubleClickTime(v); }
  int writes = 0;
};

class PanelSpy : public platform::MousePanelLauncher {
 public:
  bool CanOpen() override { return known; }
  bool Open() override { return ++opened, true; }
  bool known = true;
  int opened = 0;
};

class SettingsPageTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    backend_ = g_keyfile_settings_backend_new((home_ / "keyfile").c_str(), "/", nullptr);
    desktop_ = g_settings_new_with_backend("org.gnome.desktop.peripherals.mouse", backend_);
    mouse_settings_ = std::make_shared<CountingMouseSettings>(*store_, backend_);
    panel_ = std::make_shared<PanelSpy>();
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    mouse_settings_.reset();
    g_object_unref(desktop_);
    g_object_unref(backend_);
  }
  // The window with the desktop services of the test, set before it builds.
  TestWindow& Window() {
    return MakeWindow(ModelRows(), [this](TestWindow& w) { w.SetDesktopMouse(mouse_settings_, panel_); });
  }
  int Event(int id, int code) { return window_->OnMessage(id, code, 0, 0); }
  double Speed() { return g_settings_get_double(desktop_, "speed"); }
  std::string Profile() {
    gchar* p = g_settings_get_string(desktop_, "accel-profile");
    std::string out = p;
    g_free(p);
    return out;
  }
  int DoubleClick() { return g_settings_get_int(desktop_, "double-click"); }

  GSettingsBackend* backend_ = nullptr;
  GSettings* desktop_ = nullptr;
  std::shared_ptr<CountingMouseSettings> mouse_settings_;
  std::shared_ptr<PanelSpy> panel_;
};

TEST_F(SettingsPageTest, PointerSpeedPositionsRoundTripThroughTheDesktop) {
  TestWindow& w = Window();
  for (int position = 0; position <= 19; ++position) {
    SCOPED_TRACE(position);
    w.speedSlider->SetProgress(position);
    EXPECT_EQ(Event(238, kEventTextChanged), 1);
    EXPECT_EQ(w.speedValue->GetTitle(), platform::FormatDecimal(position + 1));
    EXPECT_EQ(Event(238, kEventClick), 1);
    EXPECT_NEAR(Speed(), (position + 1 - 10) / 10.0, 1e-9);
    w.speedSlider->SetProgress(position == 0 ? 19 : 0);
    w.LoadWindowsMouseSettings();
    EXPECT_EQ(w.speedSlider->GetProgress(), position);
  }
  EXPECT_DOUBLE_EQ(Speed(), 1.0) << "position 19 is the desktop's fastest";
  // Changed elsewhere: seen when the window comes back on the settings tab only.
  g_settings_set_double(desktop_, "speed", -0.5);
  w.currentTabItem = 3;
  w.OnNcActivate(1);
  EXPECT_EQ(w.speedSlider->GetProgress(), 19);
  w.currentTabItem = 6;
  w.OnNcActivate(0);
  EXPECT_EQ(w.speedSlider->GetProgress(), 19);
  w.OnNcActivate(1);
  EXPECT_EQ(w.speedSlider->GetProgress(), 4);
  // Dragging shows the speed but writes nothing until the release.
  const int writes = mouse_settings_->writes;
  w.speedSlider->SetProgress(4);
  Event(238, kEventTextChanged);
  EXPECT_EQ(w.speedValue->GetTitle(), u"5");
  EXPECT_EQ(mouse_settings_->writes, writes);
}

TEST_F(SettingsPageTest, PrecisionWheelAndDoubleClickGoToTheDesktop) {
  TestWindow& w = Window();
  w.precisionCheck->SetCheck(0);
  EXPECT_EQ(Event(242, kEventClick), 1);
  EXPECT_EQ(Profile(), "flat");
  w.LoadWindowsMouseSettings();
  EXPECT_EQ(w.precisionCheck->GetCheck(), 0);
  g_settings_set_string(desktop_, "accel-profile", "adaptive");  // any profile but 'flat' is on
  w.LoadWindowsMouseSettings();
  EXPECT_EQ(w.precisionCheck->GetCheck(), 1);

  const struct {
    int position, ms;
  } clicks[] = {{10, 200}, {0, 900}};
  for (const auto& c : clicks) {
    w.doubleClickSlider->SetProgress(c.position);
    EXPECT_EQ(Event(251, kEventClick), 1);
    EXPECT_EQ(DoubleClick(), c.ms);
    EXPECT_EQ(w.doubleClickValue->GetTitle(), platform::FormatDecimal(c.ms));
    EXPECT_EQ(QGuiApplication::styleHints()->mouseDoubleClickInterval(), c.ms);
  }
  // A time the slider has no position for shows position 0 and the real time.
  g_settings_set_int(desktop_, "double-click", 500);
  w.LoadWindowsMouseSettings();
  EXPECT_EQ(w.doubleClickSlider->GetProgress(), 0);
  EXPECT_EQ(w.doubleClickValue->GetTitle(), u"500");

  // Wheel lines: typed, finished, committed; one screen per notch; the slider.
  const struct {
    const char16_t* typed;
    const char16_t* shown;
    const char* stored;
  } lines[] = {{u"0", u"1", "1"}, {u"35", u"20", "20"}, {u"7", u"7", "7"}};
  for (const auto& l : lines) {
    w.wheelLinesEdit->SetTitle(l.typed);
    EXPECT_EQ(Event(247, kEventKillFocus), 1);
    EXPECT_EQ(w.wheelLinesEdit->GetTitle(), l.shown);
    EXPECT_EQ(Event(247, kEventClick), 1);
    EXPECT_EQ(store_->ReadValue("Control Panel\\Desktop", "WheelScrollLines"), l.stored);
  }
  EXPECT_EQ(QApplication::wheelScrollLines(), 7);
  w.scrollScreenRadio->SetCheck(1);
  EXPECT_EQ(Event(248, kEventClick), 1);
  EXPECT_EQ(store_->ReadValue("Control Panel\\Desktop", "WheelScrollLines"), "-1");
  EXPECT_EQ(w.wheelLinesEdit->GetTitle(), u"0");
  EXPECT_FALSE(w.wheelLinesEdit->IsEnabled());
  // Slider 244 takes the edit's number, never 0 (that would switch the wheel off).
  EXPECT_EQ(Event(244, kEventClick), 1);
  EXPECT_EQ(store_->ReadValue("Control Panel\\Desktop", "WheelScrollLines"), "1");
  w.scrollLinesRadio->SetCheck(1);
  EXPECT_EQ(Event(249, kEventClick), 1);
  EXPECT_EQ(store_->ReadValue("Control Panel\\Desktop", "WheelScrollLines"), "3");
  EXPECT_EQ(w.wheelLinesEdit->GetTitle(), u"3");
  EXPECT_TRUE(w.wheelLinesEdit->IsEnabled());
  // One screen per notch, set elsewhere, shows as the second radio.
  ASSERT_TRUE(store_->WriteValue("Control Panel\\Desktop", "WheelScrollLines", "-1"));
  w.LoadWindowsMouseSettings();
  EXPECT_EQ(w.scrollScreenRadio->GetCheck(), 1);
  EXPECT_EQ(w.scrollLinesRadio->GetCheck(), 0);
  EXPECT_FALSE(w.wheelLinesEdit->IsEnabled());
}

TEST_F(SettingsPageTest, RestoringDefaultsWritesOnlyWhatDiffers) {
  TestWindow& w = Window();
  g_settings_set_double(desktop_, "speed", 0.7);
  g_settings_set_string(desktop_, "accel-profile", "flat");
  g_settings_set_int(desktop_, "double-click", 830);
  ASSERT_TRUE(mouse_settings_->SetWheelScrollLines(platform::kWheelOneScreen));
  w.LoadWindowsMouseSettings();
  mouse_settings_->writes = 0;

  w.RestoreWindowsMouseDefaults();
  EXPECT_DOUBLE_EQ(Speed(), 0.0);
  EXPECT_EQ(Profile(), "default");
  EXPECT_EQ(store_->ReadValue("Control Panel\\Desktop", "WheelScrollLines"), "3");
  EXPECT_EQ(DoubleClick(), 550);
  EXPECT_EQ(mouse_settings_->writes, 4);
  EXPECT_EQ(w.speedSlider->GetProgress(), 9);
  EXPECT_EQ(w.speedValue->GetTitle(), u"10");
  EXPECT_EQ(w.precisionCheck->GetCheck(), 1);
  EXPECT_EQ(w.wheelLinesEdit->GetTitle(), u"3");
  EXPECT_EQ(w.scrollLinesRadio->GetCheck(), 1);
  EXPECT_EQ(w.doubleClickSlider->GetProgress(), 5);
  EXPECT_EQ(w.doubleClickValue->GetTitle(), u"550");

  // Already there: nothing is written.
  const std::string before = Dump();
  w.RestoreWindowsMouseDefaults();
  EXPECT_EQ(mouse_settings_->writes, 4);
  EXPECT_EQ(Dump(), before);
}

TEST_F(SettingsPageTest, AutostartSwitchShowsWhetherTheEntryExists) {
  TestWindow& w = Window();
  const fs::path entry = home_ / ".config/autostart/Tarsel-Game mouse.desktop";
  EXPECT_EQ(w.autostartSwitch->GetCheck(), 0);
  w.autostartSwitch->SetCheck(1);
  EXPECT_EQ(Event(265, kEventClick), 1);
  ASSERT_TRUE(fs::exists(entry));
  EXPECT_EQ(w.autostartSwitch->GetCheck(), 1);
  std::stringstream text;
  text << std::ifstream(entry).rdbuf();
  EXPECT_NE(text.str().find("\nExec=\"" + GetExeFolder() + "Tarsel-Game mouse\"\n"), std::string::npos) << text.str();

  w.autostartSwitch->SetCheck(0);
  EXPECT_EQ(Event(265, kEventClick), 1);
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_EQ(w.autostartSwitch->GetCheck(), 0);

  // A file where the folder belongs: the write fails and the switch stays off.
  fs::remove_all(home_ / ".config/autostart");
  std::ofstream(home_ / ".config/autostart") << "x";
  w.autostartSwitch->SetCheck(1);
  EXPECT_EQ(Event(265, kEventClick), 1);
  EXPECT_EQ(w.autostartSwitch->GetCheck(), 0);
}

TEST_F(SettingsPageTest, LanguageChoiceIsRefusedWithoutAUsableMouse) {
  const auto lcid = [&] { return store_->ReadValue(ProductKeyName(), "LCID"); };
  const auto before = lcid();
  const struct {
    const char* what;
    std::function<void()> plug;
    int text;
  } refusals[] = {{"no mouse", [] {}, 57}, {"Bluetooth", [] { sim::AddBleMouse(kVid, kBlePid); }, 56}};
  for (const auto& r : refusals) {
    SCOPED_TRACE(r.what);
    sim::Reset();
    sim::InstallModel(mouse_);
    r.plug();
    TestWindow& w = Window();
    w.ScanDevices();
    ModalDriver driver;
    w.languageCombo->UserChose(0);  // 简体中文
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0], LangBox(r.text, 576, kMessageBoxOk));
    EXPECT_EQ(w.languageCombo->GetCurData(), 1033);
    EXPECT_EQ(CurrentLanguageId.load(), 1033);
    EXPECT_EQ(lcid(), before);
  }
  sim::Reset();
  sim::InstallModel(mouse_);
  sim::AddWiredMouse(kVid, kWiredPid);
  TestWindow& w = Window();
  w.ScanDevices();
  w.languageCombo->UserChose(0);
  EXPECT_EQ(CurrentLanguageId.load(), 2052);
  EXPECT_EQ(lcid(), "2052");
}

TEST_F(SettingsPageTest, UnlockingTheLeftButtonAsksFirst) {
  sim::AddWiredMouse(kVid, kWiredPid);
  TestWindow& w = Window();
  w.ScanDevices();
  w.LoadPerformancePage();
  ASSERT_EQ(Config(1, u"leftbtn_lock"), u"1");
  ASSERT_EQ(w.leftButtonLocked.load(), 1);
  ModalDriver driver;
  driver.answers = {false, true};
  w.leftButtonLockSwitch->SetCheck(0);
  EXPECT_EQ(Event(274, kEventClick), 0);
  EXPECT_EQ(w.leftButtonLockSwitch->GetCheck(), 1);
  EXPECT_EQ(Config(1, u"leftbtn_lock"), u"1");
  w.leftButtonLockSwitch->SetCheck(0);
  EXPECT_EQ(Event(274, kEventClick), 1);
  ASSERT_EQ(driver.boxes.size(), 2u);
  EXPECT_EQ(driver.boxes[1], LangBox(675, 676, kMessageBoxConfirmCancel));
  EXPECT_EQ(Config(1, u"leftbtn_lock"), u"0");
  EXPECT_EQ(w.leftButtonLocked.load(), 0);
  // Locking again asks nothing.
  w.leftButtonLockSwitch->SetCheck(1);
  EXPECT_EQ(Event(274, kEventClick), 1);
  EXPECT_EQ(driver.boxes.size(), 2u);
  EXPECT_EQ(Config(1, u"leftbtn_lock"), u"1");

  // Without a mouse the switch stays on and nothing is stored.
  sim::Reset();
  w.ScanDevices();
  w.leftButtonLockSwitch->SetCheck(0);
  EXPECT_EQ(Event(274, kEventClick), 0);
  EXPECT_EQ(w.leftButtonLockSwitch->GetCheck(), 1);
  EXPECT_EQ(driver.boxes.back(), LangBox(57, 676, kMessageBoxOk));
  EXPECT_EQ(Config(1, u"leftbtn_lock"), u"1");
}

TEST_F(SettingsPageTest, MousePanelButtonOpensTheDesktopsPanelWhereThereIsOne) {
  TestWindow& w = Window();
  EXPECT_TRUE(w.mousePanelButton->IsEnabled());
  EXPECT_EQ(Event(276, kEventTextChanged), 0);
  EXPECT_EQ(panel_->opened, 0);
  EXPECT_EQ(Event(276, kEventClick), 1);
  EXPECT_EQ(panel_->opened, 1);

  panel_->known = false;
  EXPECT_FALSE(Window().mousePanelButton->IsEnabled()) << "a button that could open nothing";
}

}  // namespace
