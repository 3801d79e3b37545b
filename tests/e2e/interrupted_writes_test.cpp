// Writes to the mouse that do not go through: a mouse that falls silent or is
// pulled out in the middle of a write-all, and a user who leaves meanwhile.
#include "e2e/program_fixture.h"

// After the test headers: Xlib's macros would rename theirs.
#include <X11/Xlib.h>
#undef None
#undef Bool
#undef Status

namespace {

using namespace e2etest;

class InterruptedWriteTest : public ProgramTest {
 protected:
  // What a window manager sends on Alt+F4 or the taskbar's close.
  bool AskToClose(const std::string& window) {
    Display* display = XOpenDisplay(x_.Display().c_str());
    if (display == nullptr) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::stoul(window);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event) != 0;
    XCloseDisplay(display);  // flushes
    return sent;
  }

  // The program started, the mouse read back and nothing more going on: the
  // main window, empty when any of it did not come.
  std::string StartAndSettle() {
    Start();
    const std::string window = WaitMainWindow();
    if (window.empty() || !WaitFor([&] { return KeyMapsStored(); }) || !Idle()) return "";
    return window;
  }

  // Removal notices the first program has taken.
  size_t Removals() {
    const std::string trace = Trace();
    size_t n = 0;
    for (size_t at = trace.find("WorkCommand 3"); at != std::string::npos; at = trace.find("WorkCommand 3", at + 1)) ++n;
    return n;
  }

  // The user's edits of profile 1's settings, as the pages would store them
  // (the program writes nothing meanwhile); all of the profile's rows after.
  std::map<std::string, std::string> Edit(std::initializer_list<std::pair<const char*, const char*>> values) {
    Database db(box_.DatabasePath());
    for (const auto& [key, value] : values) {
      EXPECT_TRUE(db.Exec(std::string("UPDATE t_configdata SET value = '") + value + "' WHERE profile = 1 AND key = '" +
                          key + "'"));
    }
    return db.Settings(1);
  }

  // The mouse comes to hold the settings block `hex` and report rate `rate`,
  // and once the program is idle the store still holds the edits.
  void ExpectEditsInMouseAndStore(const std::string& hex, int rate, const std::map<std::string, std::string>& edits) {
    std::string now;
    EXPECT_TRUE(WaitFor([&] {
      now = Hex(MouseState().settings.at(0));
      return now == hex;
    })) << now;
    EXPECT_TRUE(Idle());
    EXPECT_EQ(Snapshot()->Settings(1), edits) << "the store lost the user's values";
    EXPECT_EQ(MouseState().report_rate, rate);
  }

  // A macro of `events` key presses and releases stored as the macro page
  // would (the program writes nothing meanwhile): a write-all then sends its
  // memory in many chunks.
  void StoreAMacro(int events) {
    Database db(box_.DatabasePath());
    ASSERT_TRUE(db.Exec("INSERT INTO t_macro_data(name, play_type, play_times, delay_type, delay_time) "
                        "VALUES ('m', 1, 1, 0, 0)"));
    ASSERT_TRUE(db.Exec("INSERT INTO t_macrorecord(macro_id, type, record_index, desc, value, delay_time) "
                        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                        std::to_string(events - 1) +
                        ") SELECT (SELECT MAX(macro_id) FROM t_macro_data), 2 + i % 2, i, 'A', 65, 0 FROM n"));
  }

  // Right, middle, forward, back and DPI cycle on button 1 of profiles 1 to 5
  // in the store (the program writes nothing meanwhile); the sixth, which
  // Apply does not write, keeps the factory's left click.
  void GiveEachProfilesButtonOneItsOwnAction() {
    Database db(box_.DatabasePath());
    const std::pair<int, const char*> actions[] = {{3, "122"}, {2, "123"}, {6, "125"}, {5, "124"}, {9, "90"}};
    for (int p = 1; p <= 5; ++p) {
      ASSERT_TRUE(db.Exec("UPDATE t_key_macro_data SET macro_type = " + std::to_string(actions[p - 1].first) +
                          ", macro_value = 1, macro_value2 = 0, macro_desc = '" + actions[p - 1].second +
                          "' WHERE profile = " + std::to_string(p) + " AND fn_layer = 0 AND key_code = 1"));
    }
  }

  // Apply, with longer for the result box to come; the box's pixels, empty when none came.
  std::string ApplyAndTakeTheBox(const Geometry& g) {
    std::string pixels;
    Apply(g, [&](const Geometry& b) { pixels = WaitSteady(b.x, b.y, b.width, b.height); }, 60000);
    return pixels;
  }
};

TEST_F(InterruptedWriteTest, ALostReplyCostsApplyOneTimeOutAndOneSettleOfItsWrites) {
  const std::string window = StartAndSettle();
  ASSERT_FALSE(window.empty()) << "no window, no read-back or no rest after it";
  StoreAMacro(200);
  const Geometry g = GeometryOf(window);
  // From the click until the result box shows, and the reports sent meanwhile.
  auto timedApply = [&](int& reports) {
    const int before = Writes();
    const auto start = Clock::now();
    long took = 0;  // ms
    Apply(g, [&](const Geometry&) {
      took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      reports = Writes() - before;
    });
    return took;
  };
  int clean = 0, lossy = 0;
  const long cleanTook = timedApply(clean);
  ASSERT_TRUE(Idle());
  ASSERT_EQ(Sim().Command("fault 0 drop-replies 1"), "ok 1");
  const long lossyTook = timedApply(lossy);
  // The time-out and the pause before the write goes again (1100 ms), the
  // 3 s within which the mouse may still answer the first write, once, and
  // what two looks at the screen may add.
  EXPECT_LE(lossyTook, cleanTook + 1100 + 3000 + 400) << "a clean Apply took " << cleanTook << " ms";
  EXPECT_LE(lossy, clean + 1) << "a clean Apply sent " << clean;
}

// Each profile's button 1 holds its own action; replies so late that the
// request is written again must not give one profile the action of another.
TEST_F(InterruptedWriteTest, LateRepliesReadBackEveryProfilesButtonsAsACleanReadBackDoes) {
  const std::string window = StartAndSettle();
  ASSERT_FALSE(window.empty()) << "no window, no read-back or no rest after it";
  ASSERT_NO_FATAL_FAILURE(GiveEachProfilesButtonOneItsOwnAction());
  const Geometry g = GeometryOf(window);
  Apply(g);
  ASSERT_TRUE(Idle());

  // Button 1 of every profile is first set to one action in the store (the
  // program writes nothing meanwhile), so only a read-back that stored puts
  // the profiles' own back. The key rows of profiles 1 to 6 afterwards.
  auto readBack = [&](const std::string& fault) {
    {
      Database db(box_.DatabasePath());
      EXPECT_TRUE(db.Exec("UPDATE t_key_macro_data SET macro_type = 7, macro_value = 1, macro_value2 = 0, "
                          "macro_desc = '127' WHERE fn_layer = 0 AND key_code = 1"));
    }
    if (!fault.empty()) {
      EXPECT_EQ(Sim().Command(fault), "ok 1");
    }
    // Away first: a move to where the pointer already is would wait for ever.
    EXPECT_EQ(Tool({"xdotool", "mousemove", std::to_string(g.x + 10), std::to_string(g.y + 10)}).exitCode, 0);
    EXPECT_TRUE(Click(g.x + g.width - 470, g.y + 70));
    auto stored = [&] {
      auto db = Snapshot();
      for (int p = 1; p <= 6; ++p) {
        const std::vector<KeyRow> rows = KeyRows(*db, p);
        if (rows.empty() || rows.front().kind == 7) return false;
      }
      return true;
    };
    EXPECT_TRUE(WaitFor(stored, 120000)) << "no read-back with " << fault;
    EXPECT_TRUE(WaitGone("^WaitDlg$", 20000));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(Sim().Command("fault 0 clear"), "ok 1");
    std::vector<std::vector<KeyRow>> rows;
    auto db = Snapshot();
    for (int p = 1; p <= 6; ++p) rows.push_back(KeyRows(*db, p));
    return rows;
  };
  const auto clean = readBack("");
  for (size_t p = 0; p < clean.size(); ++p) {
    ASSERT_FALSE(clean[p].empty());
    for (size_t q = 0; q < p; ++q) {
      ASSERT_NE(clean[p].front(), clean[q].front()) << "profiles " << q + 1 << " and " << p + 1;
    }
  }
  EXPECT_EQ(readBack("fault 0 delay 2500"), clean) << "every reply 2.5 s late";
  EXPECT_EQ(readBack("fault 0 delays 1020,980"), clean) << "replies 1020 and 980 ms late in turn";
}

// Another program takes the store for itself once the first key map has gone
// out, until Apply ends: Apply read everything it sends before, so the mouse
// gets the user's buttons of every profile, Apply tells success, and the next
// arrival reads back the user's store.
TEST_F(InterruptedWriteTest, AStoreLockedAfterApplysReadChangesNothingItSends) {
  const std::string window = StartAndSettle();
  ASSERT_FALSE(window.empty()) << "no window, no read-back or no rest after it";
  ASSERT_NO_FATAL_FAILURE(GiveEachProfilesButtonOneItsOwnAction());
  const Geometry g = GeometryOf(window);
  const std::string done = ApplyAndTakeTheBox(g);
  ASSERT_TRUE(Idle());
  // The key maps of profiles 1 to 5, in the store and in the mouse.
  auto keyRows = [&] {
    auto db = Snapshot();
    std::vector<std::vector<KeyRow>> rows;
    for (int p = 1; p <= 5; ++p) rows.push_back(KeyRows(*db, p));
    return rows;
  };
  auto keyMaps = [&] {
    const sim::MouseState mouse = MouseState();
    std::vector<std::string> maps(5);
    for (int p = 0; p < 5; ++p)
      for (const auto& code : mouse.key_maps.at(p)) maps[p] += Hex(code) + " ";
    return maps;
  };
  const auto rows = keyRows();
  const auto settings = Snapshot()->Settings(1);
  const auto maps = keyMaps();
  const int commits = MouseState().macro_commits;

  // Every reply 800 ms late. The macro memory's end is taken, then the next
  // write, profile 1's key map, goes out: the lock comes while its reply is due.
  ASSERT_EQ(Sim().Command("fault 0 delay 800"), "ok 1");
  ASSERT_TRUE(Click(g.x + g.width - 590, g.y + 70));
  ASSERT_TRUE(WaitFor([&] { return MouseState().macro_commits > commits; }));
  const int committed = Writes();
  ASSERT_TRUE(WaitFor([&] { return Writes() > committed; }));
  Database other(box_.DatabasePath());
  ASSERT_TRUE(WaitFor([&] { return other.Exec("BEGIN EXCLUSIVE"); })) << "no lock while Apply ran";
  const auto box = WaitVisible("^MessageBox$", 60000);
  ASSERT_TRUE(box.has_value()) << "no result box after the write";
  const Geometry b = GeometryOf(*box);
  EXPECT_TRUE(WaitSteady(b.x, b.y, b.width, b.height) == done) << "the box is not the success box";
  ASSERT_TRUE(other.Exec("ROLLBACK"));
  ASSERT_TRUE(Click(b.x + b.width / 2, b.y + b.height - 32));
  ASSERT_TRUE(WaitGone("^MessageBox$", 10000));
  ASSERT_TRUE(Idle());
  ASSERT_EQ(Sim().Command("fault 0 clear"), "ok 1");

  ASSERT_EQ(Sim().Command("unplug wired"), "ok 5");
  ASSERT_TRUE(WaitFor([&] { return Removals() > 0; })) << "no removal";
  const int unplugged = Writes();
  ASSERT_EQ(Sim().Command("replug wired"), "ok 5");
  ASSERT_TRUE(WaitFor([&] { return Writes() > unplugged; })) << "the arrival did not talk to the mouse";
  ASSERT_TRUE(Idle());
  EXPECT_EQ(keyRows(), rows) << "the arrival read the mouse over the user's buttons";
  EXPECT_EQ(Snapshot()->Settings(1), settings);
  EXPECT_EQ(keyMaps(), maps) << "the mouse did not get the user's buttons";
}

TEST_F(InterruptedWriteTest, AStageChosenOnTheMouseDuringApplyIsTheStoresAfterwards) {
  const std::string window = StartAndSettle();
  ASSERT_FALSE(window.empty()) << "no window, no read-back or no rest after it";
  const Geometry g = GeometryOf(window);
  const int stage = MouseState().dpi_level == 5 ? 2 : 5;

  // The change comes while the macros go out, each reply 100 ms late; the
  // stage is written after them.
  ASSERT_EQ(Sim().Command("fault 0 delay 100"), "ok 1");
  const int before = Writes();
  ASSERT_TRUE(Click(g.x + g.width - 590, g.y + 70));
  ASSERT_TRUE(WaitFor([&] { return Writes() > before; }));
  ASSERT_TRUE(Sim().Command("notify 0x10 " + std::to_string(stage) + " 4").value_or("").starts_with("ok"));
  const auto box = WaitVisible("^MessageBox$", 20000);
  ASSERT_TRUE(box.has_value()) << "no result box after the write";
  const Geometry b = GeometryOf(*box);
  ASSERT_TRUE(Click(b.x + b.width / 2, b.y + b.height - 32));
  ASSERT_TRUE(WaitGone("^MessageBox$", 10000));

  ASSERT_TRUE(Idle());
  const sim::MouseState mouse = MouseState();
  EXPECT_EQ(Snapshot()->Settings(1)["dpi_index"], std::to_string(mouse.dpi_level - 1));
  EXPECT_EQ(Snapshot()->Settings(1)["report_rate"], std::to_string(mouse.report_rate));
}

TEST_F(InterruptedWriteTest, TheWindowManagersCloseEndsWithZeroWhileTheMouseIsSilent) {
  e2e::Child& program = Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); }));
  ASSERT_TRUE(Idle());

  // Four writes of the write-all are answered, then the mouse says nothing more.
  const int before = Writes();
  ASSERT_EQ(Sim().Command("fault wired silent-after 4"), "ok 1");
  const Geometry g = GeometryOf(window);
  ASSERT_TRUE(Click(g.x + g.width - 590, g.y + 70));
  ASSERT_TRUE(WaitVisible("^WaitDlg$", 10000).has_value()) << "no busy dialog";
  ASSERT_TRUE(WaitFor([&] { return Writes() >= before + 5; })) << "the write-all did not reach the silence";

  ASSERT_TRUE(AskToClose(window));
  const auto asked = Clock::now();
  const auto code = program.WaitExitCode(asked + Ms(1500));
  EXPECT_EQ(code, 0) << (code ? "" : "still running 1.5 s after the close");
  // The write the program did not live to finish is owed to the mouse at the next start.
  EXPECT_EQ(platform::UserStore(box_.StorePath()).ReadValue(kStoreKey, "OwedWrite101"), "1");
}

TEST_F(InterruptedWriteTest, AnUnplugInTheMiddleOfApplyIsFinishedOnReplugAndAfterARestart) {
  MakeReturningUserStore();
  if (HasFatalFailure()) return;
  e2e::Child& first = Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored() && Snapshot()->Settings(1)["e-sports_flag"] == "1"; }));
  ASSERT_TRUE(Idle());
  const Geometry g = GeometryOf(window);
  const std::string done = ApplyAndTakeTheBox(g);

  std::map<std::string, std::string> chosen =
      Edit({{"light_mode", "2"}, {"report_rate", "1"}, {"dpi_index", "3"}, {"dpi_group3_value", "4000"},
            {"scroll_flag", "1"}, {"liftoff_height", "2"}, {"sensor_flag", "12"}, {"button_respondtime", "12"},
            {"sleep_light", "30"}, {"e-sports_flag", "2"}});

  // The macro memory and the first key map go through, then the cable comes out.
  ASSERT_EQ(Sim().Command("fault wired unplug-after 4"), "ok 1");
  const std::string failed = ApplyAndTakeTheBox(g);
  EXPECT_FALSE(failed.empty());
  EXPECT_TRUE(failed != done) << "the box after the cut-short write is the success box";
  ASSERT_TRUE(WaitFor([&] { return Removals() == 1; })) << "no removal";
  EXPECT_TRUE(Idle());
  EXPECT_EQ(Snapshot()->Settings(1), chosen) << "the removal read the half-written mouse over the edits";

  ASSERT_EQ(Sim().Command("replug wired"), "ok 1");
  // Light 2, rate 1, six stages, stage 4, DPI 800 1200 2400 4000 6400 10000, the six
  // colours, five zeros, scroll 1, lift-off 2, sensor 12 as bits 0x11, response 12,
  // sleep 30, e-sports 2.
  ExpectEditsInMouseAndStore("02" "01" "06" "04" "2003" "B004" "6009" "A00F" "0019" "1027"
                             "FF0000" "00FF00" "0000FF" "800080" "FFFF00" "00FFFF" "0000000000"
                             "01" "02" "11" "0C" "1E" "02",
                             1, chosen);

  // Cut short again, and the user closes the program before the mouse is back.
  chosen = Edit({{"light_mode", "3"}, {"report_rate", "2"}, {"dpi_index", "2"}, {"dpi_group2_value", "3000"},
                 {"sleep_light", "45"}, {"e-sports_flag", "1"}});
  ASSERT_EQ(Sim().Command("fault wired unplug-after 4"), "ok 1");
  EXPECT_TRUE(ApplyAndTakeTheBox(g) != done) << "the box after the cut-short write is the success box";
  ASSERT_TRUE(WaitFor([&] { return Removals() == 2; })) << "no second removal";
  ASSERT_TRUE(AskToClose(window));
  EXPECT_EQ(first.WaitExitCode(Clock::now() + Ms(5000)), 0);
  sim_.Close();
  EXPECT_EQ(platform::UserStore(box_.StorePath()).ReadValue(kStoreKey, "OwedWrite101"), "1")
      << "the owed write is not in the per-user store";

  // Started again with the mouse: it gets the edits instead of being read over them.
  Start();
  ASSERT_FALSE(WaitMainWindow().empty());
  // Light 3, rate 2, six stages, stage 3, DPI 800 1200 3000 4000 6400 10000, the
  // colours, five zeros, scroll 1, lift-off 2, sensor 0x11, response 12, sleep 45,
  // e-sports 1.
  ExpectEditsInMouseAndStore("03" "02" "06" "03" "2003" "B004" "B80B" "A00F" "0019" "1027"
                             "FF0000" "00FF00" "0000FF" "800080" "FFFF00" "00FFFF" "0000000000"
                             "01" "02" "11" "0C" "2D" "01",
                             2, chosen);
  EXPECT_FALSE(platform::UserStore(box_.StorePath()).ReadValue(kStoreKey, "OwedWrite101").has_value());
}

}  // namespace
