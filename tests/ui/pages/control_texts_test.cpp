// The window's texts when the language changes while the program runs: the
// switched window shows what a window built in the new language shows, a
// reload in the same language changes nothing, and both language files hold
// every text number the window's controls use.
#include "main_window_test_support.h"

using namespace mainwintest;

namespace {

using platform::FormatDecimal;
using platform::Utf16ToUtf8;

// Every text the controls show, one line per control in creation order.
std::vector<std::string> Texts(const DeviceMainDlg& w) {
  std::vector<std::string> lines;
  for (const auto& control : w.Controls()) {
    MControl* c = control.get();
    std::u16string line = FormatDecimal(c->GetID()) + u" tip " + c->GetTooltip();
    if (auto* f = dynamic_cast<MControlFont*>(c)) line += u" title " + f->GetTitle();
    auto items = [&line](int count, int selected, auto text) {
      line += u" selected " + FormatDecimal(selected);
      for (int i = 0; i < count; ++i) line += u" | " + text(i);
    };
    if (auto* combo = dynamic_cast<MComboBox*>(c)) {
      items(combo->GetCount(), combo->GetCurSel(), [combo](int i) { return combo->GetItemText(i); });
    } else if (auto* tabs = dynamic_cast<MTabCtrl*>(c)) {
      items(tabs->GetItemCount(), tabs->GetSelectItem(), [tabs](int i) { return tabs->GetItemText(i); });
    } else if (auto* list = dynamic_cast<MacroList*>(c)) {
      items(list->GetItemCount(), list->GetCurSel(), [list](int i) { return list->GetItemText(i); });
    } else if (auto* labels = dynamic_cast<MouseCtrl*>(c)) {
      items(labels->GetItemCount(), labels->GetSelectItem(), [labels](int i) { return labels->GetItemText(i); });
    }
    lines.push_back(Utf16ToUtf8(line));
  }
  return lines;
}

class ControlTextsTest : public MainWindowTest {
 protected:
  // The store as a first start leaves it (the five default profiles), profile
  // 3 in use with a sleep time of 10 minutes, its button 3 playing a
  // default-named macro.
  void SetUp() override {
    MainWindowTest::SetUp();
    db_.OpenAndWipe(dataFolder_, u"TGM1");
    ASSERT_TRUE(db_.SeedDefaultProfiles());
    ASSERT_TRUE(db_.SetActiveProfile(3));
    ASSERT_TRUE(db_.SetConfigValue(3, u"sleep_light", u"10"));
    const int macro = db_.AddMacro(u"自定义 1");
    ASSERT_GT(macro, 0);
    ASSERT_GT(db_.SaveKeyAssignment(KeyAssignment{0, 3, 0, 3, 0, u"", 23, macro, 0, 0, u"自定义 1"}), 0);
    ASSERT_GT(db_.SaveKeyAssignment(KeyAssignment{0, 3, 0, 2, 0, u"", 3, 1, 0, 0, u"122"}), 0);
  }

  // A window over the wired mouse in `language`, its pages filled as the
  // first read-back leaves them.
  std::unique_ptr<TestWindow> Built(int language) {
    CurrentLanguageId = language;
    std::unique_ptr<TestWindow> w = NewWindow();
    w->ScanDevices();
    w->currentProfile = 3;
    w->LoadProfileList();
    w->RefreshKeyPage();
    w->LoadPerformancePage();
    w->LoadMacroList();
    return w;
  }
};

TEST_F(ControlTextsTest, SwitchingLanguageWordsTheWindowAsIfBuiltInIt) {
  sim::AddWiredMouse(kVid, kWiredPid);
  const std::unique_ptr<TestWindow> english = Built(1033);
  const std::vector<std::string> englishTexts = Texts(*english);
  window_ = Built(2052);
  TestWindow& w = *window_;
  ASSERT_NE(Texts(w), englishTexts);

  w.languageCombo->UserChose(1);  // English
  ASSERT_EQ(CurrentLanguageId.load(), 1033);
  EXPECT_EQ(Texts(w), englishTexts);
  const struct {
    MControlFont* control;
    const char16_t* text;
  } shown[] = {{w.connectionState, u"Wired"}, {w.title, u"Tarsel-Game mouse"}, {w.speedEnds[0], u"Slow"},
               {w.speedEnds[1], u"Fast"},     {w.dpiStages[0], u"DPI1"},          {w.dpiStages[5], u"DPI6"},
               {w.sleepCombo, u"10 min"},     {w.profileCombo, u"Profile 3"}};
  for (const auto& s : shown) EXPECT_EQ(s.control->GetTitle(), s.text) << s.control->GetID();
  std::vector<std::u16string> tabs, sleep;
  for (int i = 0; i < w.tabs->GetItemCount(); ++i) tabs.push_back(w.tabs->GetItemText(i));
  for (int i = 0; i < w.sleepCombo->GetCount(); ++i) sleep.push_back(w.sleepCombo->GetItemText(i));
  EXPECT_EQ(tabs, (std::vector<std::u16string>{u"Home", u"Buttons", u"Performance", u"Macros", u"Settings"}));
  EXPECT_EQ(sleep, (std::vector<std::u16string>{u"1 min", u"3 min", u"5 min", u"10 min", u"20 min", u"30 min",
                                                u"1 hour"}));
  EXPECT_EQ(w.profileCombo->GetCurData(), 3);
  EXPECT_EQ(w.macroList->GetItemText(0), u"Custom 1");
  // The settings page's columns are laid out for the new language.
  EXPECT_EQ(w.languageCombo->GetRect(), english->languageCombo->GetRect());

  // A reload in the language in force leaves every text as it was.
  w.OnWindowMessage(UM_RELOAD_LANGUAGE, 0, 0);
  EXPECT_EQ(Texts(w), englishTexts);

  // A recording keeps its stop caption through a reload.
  w.OnMessage(170, kEventClick, 0, 0);
  w.OnWindowMessage(UM_RELOAD_LANGUAGE, 0, 0);
  EXPECT_EQ(w.recordButton->GetTitle(), GetLangText(359));
  w.OnMessage(170, kEventClick, 0, 0);
  EXPECT_EQ(w.recordButton->GetTitle(), GetLangText(358));
}

TEST_F(ControlTextsTest, ConnectionStateIsWordedAgainForWhatTheWindowShows) {
  const struct {
    const char* name;
    std::function<void()> plug;
    int nordicState;  // what the receiver said afterwards, 0 nothing
    int text;
  } cases[] = {
      {"no mouse", [] {}, 0, 50},
      {"wired", [] { sim::AddWiredMouse(kVid, kWiredPid); }, 0, 51},
      {"receiver", [] { sim::AddReceiver(kVid, kReceiverPid, 1, true); }, 0, 52},
      {"receiver, mouse offline", [] { sim::AddReceiver(kVid, kReceiverPid, 1, false); }, 0, 53},
      {"receiver says its mouse went", [] { sim::AddReceiver(kVid, kReceiverPid, 1, true); }, 53, 53},
      {"Bluetooth", [] { sim::AddBleMouse(kVid, kBlePid); }, 0, 54},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Reset();
    sim::InstallModel(mouse_);
    c.plug();
    CurrentLanguageId = 2052;
    TestWindow& w = MakeWindow();
    w.ScanDevices();
    if (c.nordicState) w.ShowNordicConnection(c.nordicState);
    CurrentLanguageId = 1033;
    w.OnWindowMessage(UM_RELOAD_LANGUAGE, 0, 0);
    EXPECT_EQ(StateText(), GetLangText(c.text));
    EXPECT_EQ(w.GetMessageText(), c.text == 54 ? GetLangText(56) : u"");
  }
}

// The text numbers of the window's controls and of the names it shows.
constexpr int kTextNumbers[] = {
    // frame: title-bar tooltips, connection states, home page, tabs
    5, 6, 7, 50, 51, 52, 53, 54, 56, 57, 71, 72, 73, 74, 76,
    // button page
    101, 111, 21, 22, 112, 113, 114,
    // performance page
    171, 249, 252, 253, 255, 256, 257, 260, 261, 500, 531, 532, 533, 534, 535, 536, 537, 560, 561, 573, 577, 578,
    585, 586, 587, 600, 601, 602, 603, 605, 606, 607, 608, 610, 611, 613,
    // macro page
    26, 27, 39, 350, 352, 353, 355, 357, 358, 359, 360, 361, 362, 363, 364, 365, 366, 367, 388, 389, 390, 391, 392,
    393, 394, 395, 121, 122, 123, 124, 125, 127, 128, 411, 412, 413, 414,
    // settings page
    630, 631, 632, 633, 634, 635, 636, 637, 638, 639, 640, 641, 650, 651, 652, 653, 654, 657, 658, 659, 672,
    // the default macro name and the five default profiles' names
    351, 800, 801, 811, 821, 831};

TEST(LanguageFiles, HoldEveryTextNumberTheWindowUses) {
  const int saved = CurrentLanguageId.load();
  ui::SetLanguageFolder(std::string(TGM_RUNTIME_DIR) + "/language/");
  for (int language : {2052, 1033}) {
    CurrentLanguageId = language;
    for (int number : kTextNumbers) EXPECT_NE(GetLangText(number), u"") << language << ".lan: " << number;
  }
  CurrentLanguageId = saved;
}

}  // namespace
