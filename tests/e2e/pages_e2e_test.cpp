// The pages with real clicks and keys: every tab shown (a picture of each is
// kept with the test output), a DPI stage and the light mode changed, Apply
// pressed, and the simulated mouse holding the new values.
#include "e2e/program_fixture.h"

namespace {

using namespace e2etest;

TEST_F(ProgramTest, PagesTakeRealClicksAndApplyTakesThemToTheMouse) {
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  const auto expected = ExpectedSettings(MouseState().settings.at(0));
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored() && Pick(Snapshot()->Settings(1), expected) == expected; }))
      << "no read-back";
  const Geometry g = GeometryOf(window);
  auto at = [&](int x, int y) { return Click(g.x + x, g.y + y); };
  auto key = [&](const std::string& keys) { return Tool({"xdotool", "key", "--clearmodifiers", keys}).exitCode == 0; };
  auto row = [&](const char* name) { return Snapshot()->Settings(1)[name]; };
  auto picture = [&](const std::string& name) {
    ASSERT_TRUE(Tool({"xdotool", "mousemove", "--sync", "0", "0"}).exitCode == 0);  // no hover in the picture
    WaitSteady(g.x, g.y, g.width, g.height);
    Shot(name + ".png", g);
  };

  // The tab strip at client (20, 40): five items of 60 x 60.
  const char* pages[] = {"page_home", "page_buttons", "page_performance", "page_macros", "page_settings"};
  for (int i : {1, 3, 4, 0, 2}) {
    ASSERT_TRUE(at(20 + 60 * i + 30, 70));
    picture(pages[i]);
  }

  // Stage 3 (client 320..420 x 190..290): a click into its value makes it
  // current; 1250 typed is committed as 1300.
  ASSERT_TRUE(at(370, 250));
  EXPECT_TRUE(WaitFor([&] { return row("dpi_index") == "2"; })) << row("dpi_index");
  ASSERT_TRUE(key("ctrl+a"));
  ASSERT_TRUE(Tool({"xdotool", "type", "1250"}).exitCode == 0);
  ASSERT_TRUE(key("Return"));
  EXPECT_TRUE(WaitFor([&] { return row("dpi_group2_value") == "1300"; })) << row("dpi_group2_value");
  // The step-up button (client R - 120, 315): one hundred more.
  ASSERT_TRUE(at(g.width - 110, 322));
  EXPECT_TRUE(WaitFor([&] { return row("dpi_group2_value") == "1400"; })) << row("dpi_group2_value");

  // The light mode (client R - 380 .. R - 100, 470 .. 506): the last item, sent at once.
  ASSERT_TRUE(at(g.width - 240, 488));
  std::this_thread::sleep_for(Ms(300));  // the list opens
  ASSERT_TRUE(key("End"));
  ASSERT_TRUE(key("Return"));
  EXPECT_TRUE(WaitFor([&] { return row("light_mode") == "6"; })) << row("light_mode");
  EXPECT_TRUE(WaitFor([&] { return MouseState().light_mode == 6; }));
  picture("page_performance_changed");

  Apply(g, [&](const Geometry&) {
    const sim::MouseState after = MouseState();
    EXPECT_EQ(after.dpi_level, 3);
    EXPECT_EQ(after.dpi, 1400);
    ASSERT_EQ(after.settings.at(0).size(), 45u);
    EXPECT_EQ(after.settings[0][0], 6) << "light mode in the block";
    EXPECT_EQ(after.settings[0][3], 3) << "current stage in the block";
    EXPECT_EQ(after.settings[0][8] | after.settings[0][9] << 8, 1400) << "stage 3 in the block";
  });
}

}  // namespace

// A typed number is stored when the user clicks elsewhere on the window, and
// when the window closes with the edit still open.
TEST_F(ProgramTest, ATypedNumberIsStoredByAClickElsewhereAndByClosing) {
  e2e::Child& program = Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); })) << "no read-back";
  const Geometry g = GeometryOf(window);
  auto at = [&](int x, int y) { return Click(g.x + x, g.y + y); };
  auto type = [&](const std::string& text) {
    return Tool({"xdotool", "key", "--clearmodifiers", "ctrl+a"}).exitCode == 0 &&
           Tool({"xdotool", "type", text}).exitCode == 0;
  };
  // The button page; its response time edit at client (265, B - 145, 360, B - 115).
  ASSERT_TRUE(at(20 + 60 + 30, 70));
  ASSERT_TRUE(at(312, g.height - 130));
  ASSERT_TRUE(type("9"));
  // The page's panel beside the profile column, which takes no focus.
  ASSERT_TRUE(at(440, g.height - 130));
  EXPECT_TRUE(WaitFor([&] { return Snapshot()->Settings(1)["button_respondtime"] == "9"; }))
      << Snapshot()->Settings(1)["button_respondtime"];

  ASSERT_TRUE(at(312, g.height - 130));
  ASSERT_TRUE(type("7"));
  ASSERT_TRUE(at(g.width - 40, 20));  // the close button
  EXPECT_EQ(program.WaitExitCode(Clock::now() + Ms(10000)), 0);
  Database db(box_.DatabasePath());
  EXPECT_EQ(db.Settings(1)["button_respondtime"], "7");
}

// A DPI stage typed while another program holds the database for writing:
// one box says the change was not saved, and the stage shows the stored value
// again, which is what the next end of the edit stores. Held so that the
// program cannot even read it, an edit is told and every page keeps what it
// shows; once free, the next step stores one step from the stored value. A
// read-back the held store refuses is told and stores nothing.
TEST_F(ProgramTest, ADpiEditTheStoreRefusesIsToldAndTheStoredValueShown) {
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); })) << "no read-back";
  const Geometry g = GeometryOf(window);
  auto at = [&](int x, int y) { return Click(g.x + x, g.y + y); };
  auto key = [&](const std::string& keys) { return Tool({"xdotool", "key", "--clearmodifiers", keys}).exitCode == 0; };
  auto row = [&](const char* name) { return Snapshot()->Settings(1)[name]; };
  auto tab = [&](int item) { return at(20 + 60 * item + 30, 70); };
  // A macro to be listed: the macro page's new-macro button.
  ASSERT_TRUE(tab(3));
  ASSERT_TRUE(at(105, 671));
  ASSERT_TRUE(WaitFor([&] { return Snapshot()->Query("SELECT name FROM t_macro_data")->size() == 1; }))
      << "no macro";
  ASSERT_TRUE(tab(2));  // the performance page
  ASSERT_TRUE(at(370, 250));              // stage 3's value
  ASSERT_TRUE(WaitFor([&] { return row("dpi_index") == "2"; })) << row("dpi_index");
  const std::string stored = row("dpi_group2_value");
  ASSERT_NE(stored, "1300");

  // The program sets no busy time-out: its writes fail at once, its reads work.
  Database other(box_.DatabasePath());
  ASSERT_TRUE(other.Exec("BEGIN IMMEDIATE"));
  ASSERT_TRUE(key("ctrl+a"));
  ASSERT_TRUE(Tool({"xdotool", "type", "1250"}).exitCode == 0);
  ASSERT_TRUE(key("Return"));
  const auto box = WaitVisible("^MessageBox$", 10000);
  ASSERT_TRUE(box.has_value()) << "no box for the refused edit";
  ASSERT_TRUE(Tool({"xdotool", "mousemove", "--sync", "0", "0"}).exitCode == 0);
  WaitSteady(g.x, g.y, g.width, g.height);
  Shot("store_refused.png", g);
  ASSERT_TRUE(other.Exec("ROLLBACK"));
  const Geometry b = GeometryOf(*box);
  ASSERT_TRUE(Click(b.x + b.width / 2, b.y + b.height - 32));
  ASSERT_TRUE(WaitGone("^MessageBox$", 10000)) << "the box stayed open";

  // A click elsewhere ends the edit: the stage stores what it shows.
  ASSERT_TRUE(at(700, 170));
  std::this_thread::sleep_for(Ms(500));
  EXPECT_EQ(row("dpi_group2_value"), stored);
  EXPECT_FALSE(WaitVisible("^MessageBox$", 500).has_value()) << "a second box";

  // What the pages show of the store, in client rectangles: the DPI stages
  // and the slider, the button page's profile and buttons and its response
  // time, the macro list.
  struct Area {
    int tab, x, y, w, h;
  };
  const Area areas[] = {{2, 80, 190, 700, 190}, {1, 80, 160, 300, 340},
                        {1, 265, g.height - 145, 95, 30}, {3, 60, 216, 300, 200}};
  auto look = [&] {
    std::vector<std::string> seen;
    for (const Area& a : areas) {
      if (!tab(a.tab) || Tool({"xdotool", "mousemove", "--sync", "0", "0"}).exitCode != 0) return seen;
      seen.push_back(WaitSteady(g.x + a.x, g.y + a.y, a.w, a.h));
    }
    tab(2);
    return seen;
  };
  const std::vector<std::string> shown = look();
  ASSERT_EQ(shown.size(), std::size(areas));

  // Held so that the program cannot read it either: the step is told, the
  // stepped stage shows its stored value again at once, and no page shows
  // anything but what it showed, however often it is retried.
  ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
  ASSERT_TRUE(at(g.width - 110, 322));  // the step-up button
  const auto unread = WaitVisible("^MessageBox$", 10000);
  ASSERT_TRUE(unread.has_value()) << "no box for the step the store refused";
  ASSERT_TRUE(Tool({"xdotool", "mousemove", "--sync", "0", "0"}).exitCode == 0);
  WaitSteady(g.x, g.y, g.width, g.height);
  Shot("store_unread.png", g);
  const Geometry u = GeometryOf(*unread);
  ASSERT_TRUE(Click(u.x + u.width / 2, u.y + u.height - 32));
  ASSERT_TRUE(WaitGone("^MessageBox$", 10000)) << "the box stayed open";
  std::this_thread::sleep_for(Ms(2500));  // a retry of the store passes
  const std::vector<std::string> held = look();
  ASSERT_EQ(held.size(), shown.size());
  for (size_t i = 0; i < held.size(); ++i) EXPECT_TRUE(held[i] == shown[i]) << "area " << i << " changed";
  EXPECT_FALSE(WaitVisible("^MessageBox$", 500).has_value()) << "a second box";
  EXPECT_EQ(row("dpi_group2_value"), stored);

  // Free again: the next step is one step from the stored value.
  ASSERT_TRUE(other.Exec("ROLLBACK"));
  ASSERT_TRUE(at(g.width - 110, 322));
  const std::string stepped = std::to_string(std::stoi(stored) / 100 * 100 + 100);
  ASSERT_TRUE(WaitFor([&] { return row("dpi_group2_value") == stepped; })) << row("dpi_group2_value");

  // Held for writing, Read from Mouse (client R - 520, 55) reads the mouse,
  // which holds the stage as it was, and the store keeps the step.
  const auto block = MouseState().settings.at(0);
  ASSERT_EQ(block[8] | block[9] << 8, std::stoi(stored));
  ASSERT_TRUE(other.Exec("BEGIN IMMEDIATE"));
  ASSERT_TRUE(at(g.width - 470, 70));
  const auto refused = WaitVisible("^MessageBox$", 20000);
  ASSERT_TRUE(refused.has_value()) << "no box for the read-back the store refused";
  ASSERT_TRUE(Tool({"xdotool", "mousemove", "--sync", "0", "0"}).exitCode == 0);
  WaitSteady(g.x, g.y, g.width, g.height);
  Shot("readback_refused.png", g);
  const auto kept = other.Query("SELECT value FROM t_configdata WHERE profile = 1 AND key = 'dpi_group2_value'");
  ASSERT_TRUE(kept && kept->size() == 1);
  EXPECT_EQ((*kept)[0][0], stepped);
  const Geometry r = GeometryOf(*refused);
  ASSERT_TRUE(Click(r.x + r.width / 2, r.y + r.height - 32));
  ASSERT_TRUE(WaitGone("^MessageBox$", 10000)) << "the box stayed open";
  ASSERT_TRUE(other.Exec("ROLLBACK"));
  EXPECT_FALSE(WaitVisible("^MessageBox$", 1000).has_value()) << "a second box";
  EXPECT_EQ(row("dpi_group2_value"), stepped);
}

// Started while another program holds the store: one box says so, and the
// pages show no value (none from the mouse, none of their own) until the
// store answers; then they fill, and the store keeps the user's values.
TEST_F(ProgramTest, StartedWhileTheStoreIsHeldThePagesShowNothingUntilItAnswers) {
  MakeReturningUserStore();
  if (HasFatalFailure()) return;
  Database other(box_.DatabasePath());
  ASSERT_TRUE(other.Exec("UPDATE t_configdata SET value = '1700' WHERE profile = 1 AND key = 'dpi_group0_value'"));
  ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  const Geometry g = GeometryOf(window);
  const auto told = WaitVisible("^MessageBox$", 20000);
  ASSERT_TRUE(told.has_value()) << "the held store was not told";
  const Geometry b = GeometryOf(*told);
  ASSERT_TRUE(Click(b.x + b.width / 2, b.y + b.height - 32));
  ASSERT_TRUE(WaitGone("^MessageBox$", 10000));
  EXPECT_FALSE(WaitVisible("^MessageBox$", 1500).has_value()) << "a second box";

  // The stages and slider (client 80..780 x 190..380), and each page kept as a picture.
  auto stages = [&] {
    EXPECT_TRUE(Click(g.x + 20 + 60 * 2 + 30, g.y + 70));
    EXPECT_EQ(Tool({"xdotool", "mousemove", "--sync", "0", "0"}).exitCode, 0);
    return WaitSteady(g.x + 80, g.y + 190, 700, 190);
  };
  const std::string held = stages();
  Shot("start_store_held_performance.png", g);
  ASSERT_TRUE(Click(g.x + 20 + 60 * 1 + 30, g.y + 70));
  ASSERT_EQ(Tool({"xdotool", "mousemove", "--sync", "0", "0"}).exitCode, 0);
  WaitSteady(g.x, g.y, g.width, g.height);
  Shot("start_store_held_buttons.png", g);

  ASSERT_TRUE(other.Exec("ROLLBACK"));
  EXPECT_TRUE(WaitFor([&] { return stages() != held; })) << "the pages did not fill once the store answered";
  Shot("start_store_answered_performance.png", g);
  EXPECT_EQ(Snapshot()->Settings(1)["dpi_group0_value"], "1700");
}

// The frame at UI scale 1.0 and 1.5, an open combo list and a file dialog,
// kept as pictures with the test output.
class LargeScreenTest : public ProgramTest {
 protected:
  void SetUp() override {
    screen_ = "1800x1300x24";
    ProgramTest::SetUp();
  }
};

TEST_F(LargeScreenTest, FrameAtTwoScalesWithAnOpenListAndAFileDialog) {
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); })) << "no read-back";
  Geometry g = GeometryOf(window);
  auto at = [&](int x, int y) { return Click(g.x + x, g.y + y); };
  auto key = [&](const std::string& keys) { return Tool({"xdotool", "key", keys}).exitCode == 0; };
  auto picture = [&](const std::string& name, const Geometry& area) {
    // The pointer off every window (also the one at scale 1.5), so nothing hovers.
    ASSERT_TRUE(Tool({"xdotool", "mousemove", "1795", "1295"}).exitCode == 0);
    WaitSteady(area.x, area.y, area.width, area.height);
    EXPECT_GT(Shot(name, area), 10000u) << name;
  };

  ASSERT_TRUE(at(20 + 60 + 30, 70));  // the button page
  picture("frame_scale_1_0.png", g);

  // The profile combo at client (200, 160, 380, 200), its list open below it.
  ASSERT_TRUE(at(290, 180));
  std::this_thread::sleep_for(Ms(400));
  picture("combo_list_open.png", g);
  ASSERT_TRUE(key("Escape"));

  // Import Profile at client (R - 280, 55, R - 180, 85) opens the file dialog.
  const auto before = Visible(".");
  ASSERT_TRUE(at(g.width - 230, 70));
  std::optional<std::string> dialog;
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& id : Visible("."))
      if (std::find(before.begin(), before.end(), id) == before.end()) dialog = id;
    return dialog.has_value();
  })) << "no file dialog";
  std::this_thread::sleep_for(Ms(400));
  const Geometry files = GeometryOf(*dialog);
  EXPECT_GE(files.width, 800) << "the detail view's dates are cut";
  picture("file_dialog_open.png", files);
  ASSERT_TRUE(key("Escape"));
  ASSERT_TRUE(WaitFor([&] { return Visible(".").size() == before.size(); })) << "the file dialog stayed";

  // Client height 1170: UI scale 1.5.
  ASSERT_EQ(Tool({"xdotool", "windowsize", "--sync", window, "1681", "1170"}).exitCode, 0);
  ASSERT_EQ(Tool({"xdotool", "windowmove", "--sync", window, "0", "0"}).exitCode, 0);
  g = GeometryOf(window);
  ASSERT_EQ(g.height, 1170);
  picture("frame_scale_1_5.png", g);
}
