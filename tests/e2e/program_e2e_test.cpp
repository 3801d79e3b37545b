// The real program on a private X server with the simulated mouse preloaded:
// what a user sees and what ends up in the store, the database and the mouse.
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "e2e/program_fixture.h"

namespace {

using namespace e2etest;

// ------------------------------------------------------------------ start-up

TEST_F(ProgramTest, FirstStartShowsTheWindowAndStoresTheMouse) {
  e2e::Child& program = Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());

  const Geometry g = GeometryOf(window);
  EXPECT_EQ(g.width, 1121);
  EXPECT_EQ(g.height, 780);
  EXPECT_EQ(g.x, (1400 - 1121) / 2) << "centred on the 1400x900 screen";
  EXPECT_EQ(g.y, (900 - 780) / 2);

  platform::UserStore store(box_.StorePath());
  EXPECT_EQ(store.ReadValue(kStoreKey, "DeviceType"), "101");
  const auto lcid = store.ReadValue(kStoreKey, "LCID");
  ASSERT_TRUE(lcid.has_value());
  EXPECT_GT(std::atoi(lcid->c_str()), 0) << *lcid;

  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); })) << "the key maps were not read back";
  const auto snapshot = Snapshot();
  Database& db = *snapshot;
  ASSERT_TRUE(db.Ok());
  const auto check = db.Query("PRAGMA integrity_check");
  ASSERT_TRUE(check && check->size() == 1);
  EXPECT_EQ((*check)[0][0], "ok");

  // All six key maps of the mouse, profile index i as profile i + 1.
  const sim::MouseState state = MouseState();
  ASSERT_EQ(state.key_maps.size(), 6u);
  for (int p = 0; p < 6; ++p) {
    const auto expected = ExpectedKeyRows(state.key_maps[p]);
    ASSERT_TRUE(expected.has_value()) << "profile " << p << " holds a code this test does not know";
    EXPECT_EQ(KeyRows(db, p + 1), *expected) << "profile " << p + 1;
  }
  // The fresh store has its five profiles, and the current one holds the mouse's block.
  EXPECT_EQ(db.Query("SELECT profile, name, status FROM t_profile_data"),
            (std::vector<std::vector<std::string>>{
                {"1", "800", "1"}, {"2", "801", "0"}, {"3", "811", "0"}, {"4", "821", "0"}, {"5", "831", "0"}}));
  ASSERT_EQ(state.profile, 0);
  const auto expected = ExpectedSettings(state.settings.at(0));
  EXPECT_TRUE(WaitFor([&] { return Pick(Snapshot()->Settings(1), expected) == expected; }))
      << "the current profile's rows do not hold the mouse's block";
  EXPECT_EQ(Snapshot()->Settings(1).size(), 25u);

  // The gauge shows the mouse's battery: the picture is kept with the test output.
  WaitSteady(g.x, g.y, g.width, g.height);
  EXPECT_GT(Shot("main_window.png"), 10000u);
  EXPECT_TRUE(program.Running());
}

TEST_F(ProgramTest, ReturningUserProfileTakesTheMouseSettings) {
  MakeReturningUserStore();
  if (HasFatalFailure()) return;
  // An earlier run killed while saving its settings and its autostart entry;
  // the files of a live writer (this test) are not its leftovers.
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
  const std::string autostart = box_.ConfigHome() + "/autostart/";
  const std::string leftovers[] = {box_.StorePath() + ".tmp." + std::to_string(ended),
                                   autostart + ".Tarsel-Game mouse.desktop." + std::to_string(ended) + "-0.tmp"};
  const std::string live = box_.StorePath() + ".tmp." + std::to_string(getpid());
  std::filesystem::create_directories(autostart);
  std::filesystem::create_directories(std::filesystem::path(live).parent_path());
  for (const std::string& file : {leftovers[0], leftovers[1], live}) std::ofstream(file) << "[cut";
  Start();
  ASSERT_FALSE(WaitMainWindow().empty());
  for (const std::string& file : leftovers) EXPECT_FALSE(std::filesystem::exists(file)) << file;
  EXPECT_TRUE(std::filesystem::exists(live));

  const sim::MouseState state = MouseState();
  ASSERT_EQ(state.profile, 0);
  const auto expected = ExpectedSettings(state.settings.at(0));
  ASSERT_EQ(expected.size(), 17u);
  EXPECT_TRUE(WaitFor([&] { return Pick(Snapshot()->Settings(1), expected) == expected; }))
      << "the current profile's rows do not hold the mouse's block";
  const auto snapshot = Snapshot();
  Database& db = *snapshot;
  EXPECT_EQ(Pick(db.Settings(1), expected), expected);

  // What the block does not carry stays as the user had it, and no row was added.
  const auto rows = db.Settings(1);
  EXPECT_EQ(rows.size(), 25u);
  EXPECT_EQ(rows.at("dpi_group3_rgb"), "8388736");
  EXPECT_EQ(rows.at("leftbtn_lock"), "1");
  EXPECT_EQ(rows.at("version"), "1.0.1");
  // The user's profile stays the active one; a store short of five is topped up.
  const auto profiles = db.Query("SELECT profile, status FROM t_profile_data");
  ASSERT_TRUE(profiles);
  EXPECT_EQ(*profiles,
            (std::vector<std::vector<std::string>>{{"1", "1"}, {"2", "0"}, {"3", "0"}, {"4", "0"}, {"5", "0"}}));
}

TEST_F(ProgramTest, WithoutAUsableHomeFolderTheProgramSaysSoAndWritesNothing) {
  // A user the password database does not know: its home can only come from HOME.
  const uid_t nobody = 4242421;
  if (geteuid() != 0 || !e2e::HaveTool("setpriv") || getpwuid(nobody) != nullptr)
    GTEST_SKIP() << "needs root, setpriv and a user id without a password entry";
  char pattern[] = "/tmp/tgm-nohome.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string cwd = pattern;
  chmod(cwd.c_str(), 0777);  // the user could write here: it must not
  // What the user left in /tmp (removed when `remove`).
  auto leftInTmp = [nobody](bool remove) {
    std::vector<std::string> left;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/tmp", ec)) {
      struct stat st {};
      if (lstat(entry.path().c_str(), &st) != 0 || st.st_uid != nobody) continue;
      left.push_back(entry.path().string());
      if (remove) std::filesystem::remove_all(entry.path(), ec);
    }
    return left;
  };
  leftInTmp(true);
  struct Row {
    const char* name;
    std::optional<std::string> home;
  };
  const Row rows[] = {{"no HOME", std::nullopt}, {"empty HOME", ""}, {"relative HOME", "home"}, {"HOME \".\"", "."}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> set = {"DISPLAY=" + x_.Display()};
    if (row.home) set.push_back("HOME=" + *row.home);
    const auto env = e2e::Environment(set, {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "LD_PRELOAD"});
    const std::string id = std::to_string(nobody);
    const e2e::RunResult run = e2e::Run({"setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "--", "sh", "-c",
                                         "cd \"$1\" && exec \"$2\" 2>&1", "sh", cwd, setup_.executable},
                                        env, 15000);
    EXPECT_FALSE(run.timedOut) << "the program ran";
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("no home folder"), std::string::npos) << run.out;
    EXPECT_TRUE(std::filesystem::is_empty(cwd)) << "written beside the start";
    const auto left = leftInTmp(true);
    EXPECT_TRUE(left.empty()) << "written under /tmp: " << left.front();
    for (const auto& entry : std::filesystem::directory_iterator(cwd)) std::filesystem::remove_all(entry.path());
  }
  std::filesystem::remove_all(cwd);
}

TEST_F(ProgramTest, TheWindowOpensWhenTheLanguageFilesCannotBeRead) {
  // A copy of the program with a folder in place of each language file.
  const std::string app = box_.Root() + "/app";
  std::filesystem::copy(TGM_RUNTIME_DIR, app, std::filesystem::copy_options::recursive);
  for (const char* id : {"1033", "2052"}) {
    const std::string file = app + "/language/" + id + ".lan";
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
  }
  setup_.executable = app + "/Tarsel-Game mouse";
  e2e::Child& program = Start();
  EXPECT_FALSE(WaitMainWindow().empty());
  EXPECT_TRUE(program.Running());
}

// ------------------------------------------------------------------ one instance per user

TEST_F(ProgramTest, SecondStartLeavesTheFirstRunningAndExitsZero) {
  e2e::Child& first = Start();
  ASSERT_FALSE(WaitMainWindow().empty());

  e2e::Child& second = Start();
  EXPECT_EQ(second.WaitExitCode(Clock::now() + Ms(15000)), 0);
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(Visible("^Tarsel-Game mouse$").size(), 1u) << "one main window, the first one's";
}

TEST_F(ProgramTest, HiddenStartMapsNothingUntilASecondStartAsks) {
  e2e::Child& first = Start({"-hide"});
  // Up and talking to the mouse: the read-back has run.
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); }, kStartTimeoutMs))
      << "the hidden program did not start; running: " << first.Running() << ", exit "
      << first.WaitExitCode(Clock::now()).value_or(-2);
  std::this_thread::sleep_for(Ms(500));
  EXPECT_TRUE(Visible("^Tarsel-Game mouse$").empty());
  EXPECT_TRUE(Visible("^Tarsel-Game mouse$", "--class").empty()) << "no window of the program at all";
  EXPECT_TRUE(first.Running());

  e2e::Child& second = Start();
  EXPECT_EQ(second.WaitExitCode(Clock::now() + Ms(15000)), 0);
  const auto window = WaitVisible("^Tarsel-Game mouse$", 15000);
  ASSERT_TRUE(window.has_value()) << "the first instance's window did not come forward";
  const Geometry g = GeometryOf(*window);
  EXPECT_EQ(g.width, 1121);
  EXPECT_EQ(g.height, 780);
  EXPECT_TRUE(first.Running());
}

TEST_F(ProgramTest, CloseButtonEndsTheProgramWithZero) {
  e2e::Child& program = Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); }));
  const Geometry g = GeometryOf(window);
  // Close button: client (R - 50, 10, R - 30, 30).
  ASSERT_TRUE(Click(g.x + g.width - 40, g.y + 20));
  EXPECT_EQ(program.WaitExitCode(Clock::now() + Ms(10000)), 0);

  // The store survives the exit intact and the next start opens it again.
  {
    Database db(box_.DatabasePath());
    const auto check = db.Query("PRAGMA integrity_check");
    ASSERT_TRUE(check && !check->empty());
    EXPECT_EQ((*check)[0][0], "ok");
  }
  Start();
  EXPECT_FALSE(WaitMainWindow().empty());
}

// ------------------------------------------------------------------ device commands through the window

TEST_F(ProgramTest, ApplyWritesTheStoreToTheMouseAndReportsIt) {
  MakeReturningUserStore();
  if (HasFatalFailure()) return;
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return Snapshot()->Settings(1)["dpi_count"] == "6"; })) << "no read-back";
  ASSERT_TRUE(WaitFor([&] { return Snapshot()->Settings(1)["e-sports_flag"] == "1"; })) << "read-back unfinished";
  // The pages reload after the read-back: an edit made while they read may leave them unanswered.
  ASSERT_TRUE(Idle());
  const sim::MouseState before = MouseState();
  Database db(box_.DatabasePath());  // the read-back is over: the program writes nothing now

  // The user's edits, as the pages would store them.
  auto set = [&](const char* key, const char* value) {
    return db.Exec(std::string("UPDATE t_configdata SET value = '") + value + "' WHERE profile = 1 AND key = '" +
                   key + "'");
  };
  ASSERT_TRUE(set("light_mode", "2") && set("report_rate", "1") && set("dpi_index", "3") &&
              set("dpi_group3_value", "4000") && set("scroll_flag", "1") && set("liftoff_height", "2") &&
              set("sensor_flag", "12") && set("button_respondtime", "12") && set("sleep_light", "30") &&
              set("e-sports_flag", "2"));
  // Profile 1: left and right swapped, forward (button 4) on 21 AA; profile 2: Ctrl+A on the middle button.
  ASSERT_TRUE(db.Exec("UPDATE t_key_macro_data SET macro_type = 3, macro_desc = '122' WHERE profile = 1 AND key_code = 1"));
  ASSERT_TRUE(db.Exec("UPDATE t_key_macro_data SET macro_type = 1, macro_desc = '121' WHERE profile = 1 AND key_code = 2"));
  ASSERT_TRUE(db.Exec("UPDATE t_key_macro_data SET macro_type = 10, macro_desc = '91' WHERE profile = 1 AND key_code = 4"));
  ASSERT_TRUE(db.Exec("UPDATE t_key_macro_data SET macro_type = 22, macro_value = 4, macro_value2 = 1, "
                      "macro_desc = 'Ctrl + A' WHERE profile = 2 AND key_code = 3"));

  ASSERT_NO_FATAL_FAILURE(Apply(GeometryOf(window), [&](const Geometry&) {
    const sim::MouseState after = MouseState();
    // Light 2, rate 1, six stages, stage 4, DPI 800 1200 2400 4000 6400 10000, the six
    // colours, five zeros, scroll 1, lift-off 2, sensor 12 as bits 0x11, response 12,
    // sleep 30, e-sports 2.
    const std::string block = "02" "01" "06" "04" "2003" "B004" "6009" "A00F" "0019" "1027"
                              "FF0000" "00FF00" "0000FF" "800080" "FFFF00" "00FFFF" "0000000000"
                              "01" "02" "11" "0C" "1E" "02";
    ASSERT_EQ(after.settings.size(), 6u);
    EXPECT_EQ(Hex(after.settings[0]), block);
    for (int p = 1; p < 6; ++p) EXPECT_EQ(after.settings[p], before.settings[p]) << "profile index " << p;
    EXPECT_EQ(after.dpi_level, 4);
    EXPECT_EQ(after.dpi, 4000);
    EXPECT_EQ(after.report_rate, 1);
    EXPECT_EQ(after.macro_commits, before.macro_commits + 1);

    ASSERT_EQ(after.key_maps.size(), 6u);
    std::vector<std::string> map0, map1;
    for (const auto& code : after.key_maps[0]) map0.push_back(Hex(code));
    for (const auto& code : after.key_maps[1]) map1.push_back(Hex(code));
    EXPECT_EQ(map0, (std::vector<std::string>{"20020000", "20010000", "20040000", "20080000", "21AA0000",
                                               "21550000", "21380100", "2138FF00"}));
    EXPECT_EQ(map1, (std::vector<std::string>{"20010000", "20020000", "10010400", "20080000", "20100000",
                                               "21550000", "21380100", "2138FF00"}));
    for (int p = 2; p < 6; ++p) EXPECT_EQ(after.key_maps[p], before.key_maps[p]) << "profile index " << p;
  }));
  EXPECT_FALSE(Visible("^Tarsel-Game mouse$").empty());
}

TEST_F(ProgramTest, ApplyOnAFreshStoreGivesTheMouseBackItsOwnSettings) {
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  const sim::MouseState before = MouseState();
  const auto expected = ExpectedSettings(before.settings.at(0));
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored() && Pick(Snapshot()->Settings(1), expected) == expected; }));

  // What was read is written back unchanged: nothing of the mouse is lost.
  Apply(GeometryOf(window), [&](const Geometry&) {
    const sim::MouseState after = MouseState();
    EXPECT_EQ(after.settings, before.settings);
    EXPECT_EQ(after.key_maps, before.key_maps);
    EXPECT_EQ(after.dpi_level, before.settings[0][3]);
    EXPECT_EQ(after.dpi, before.settings[0][4 + 2 * (before.settings[0][3] - 1)] |
                             before.settings[0][5 + 2 * (before.settings[0][3] - 1)] << 8);
    EXPECT_EQ(after.report_rate, before.settings[0][1]);
  });
}

TEST_F(ProgramTest, FactoryResetGivesTheMouseTheDefaultBlock) {
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored() && Snapshot()->Settings(1)["e-sports_flag"] == "1"; }));
  ASSERT_TRUE(Idle());
  Database db(box_.DatabasePath());  // the read-back is over: the program writes nothing now
  const Geometry g = GeometryOf(window);

  // Light 0, rate 4, six stages, stage 2, DPI 800 1200 2400 3600 6400 10000, the six
  // colours, five zeros, scroll 0, lift-off 1, sensor 53 as bits 0x30, response 8,
  // sleep 20, e-sports 1.
  const std::string block = "00" "04" "06" "02" "2003" "B004" "6009" "100E" "0019" "1027"
                            "FF0000" "00FF00" "0000FF" "800080" "FFFF00" "00FFFF" "0000000000"
                            "00" "01" "30" "08" "14" "01";
  // First the mouse is given other settings, so that the reset shows.
  ASSERT_TRUE(db.Exec("UPDATE t_configdata SET value = '1' WHERE profile = 1 AND key = 'report_rate'"));
  ASSERT_TRUE(db.Exec("UPDATE t_configdata SET value = '30' WHERE profile = 1 AND key = 'sleep_light'"));
  ASSERT_NO_FATAL_FAILURE(Apply(g));
  ASSERT_NE(Hex(MouseState().settings.at(0)), block);

  // The settings tab (fifth item of the strip at client (20, 40), 60 wide), then its reset button.
  ASSERT_TRUE(Click(g.x + 20 + 4 * 60 + 30, g.y + 70));
  ASSERT_TRUE(Click(g.x + 400, g.y + 585));
  const auto confirm = WaitVisible("^MessageBox$", 10000);
  ASSERT_TRUE(confirm.has_value()) << "no confirmation";
  // Confirm: the first of two buttons, client (C - 120, B - 50, C - 20, B - 14).
  const Geometry b = GeometryOf(*confirm);
  ASSERT_TRUE(Click(b.x + b.width / 2 - 70, b.y + b.height - 32));
  EXPECT_TRUE(WaitGone("^MessageBox$", 10000));

  std::string now;
  EXPECT_TRUE(WaitFor([&] {
    now = Hex(MouseState().settings.at(0));
    return now == block;
  })) << now;
  const sim::MouseState after = MouseState();
  ASSERT_EQ(after.key_maps.size(), 6u);
  std::vector<std::string> map0;
  for (const auto& code : after.key_maps[0]) map0.push_back(Hex(code));
  EXPECT_EQ(map0, (std::vector<std::string>{"20010000", "20020000", "20040000", "20080000", "20100000", "21550000",
                                             "21380100", "2138FF00"}));

  // The wiped store starts again from its five profiles, with the reset's values.
  const auto snapshot = Snapshot();
  Database& store = *snapshot;
  const auto profiles = store.Query("SELECT count(*), sum(status) FROM t_profile_data");
  ASSERT_TRUE(profiles);
  EXPECT_EQ(*profiles, (std::vector<std::vector<std::string>>{{"5", "1"}}));
  EXPECT_EQ(store.Settings(1)["report_rate"], "4");
  EXPECT_EQ(store.Settings(1)["light_mode"], "0");
}

// ------------------------------------------------------------------ plugging

TEST_F(ProgramTest, UnplugHidesTheDeviceButtonsAndReplugBringsThemBack) {
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); }));
  const Geometry g = GeometryOf(window);
  ASSERT_TRUE(Tool({"xdotool", "mousemove", "--sync", "0", "0"}).exitCode == 0);  // no hover on the buttons
  // The write-all button's place: client (R - 640, 55) to (R - 540, 85).
  auto apply = [&] { return Grab(g.x + g.width - 640, g.y + 55, 100, 30); };
  const std::string shown = WaitSteady(g.x + g.width - 640, g.y + 55, 100, 30);
  ASSERT_EQ(shown.size(), 100u * 30u * 3u);

  ASSERT_EQ(Sim().Command("unplug wired"), "ok 5");
  EXPECT_TRUE(WaitFor([&] { return Trace().find("WorkCommand 3") != std::string::npos; })) << "no removal queued";
  EXPECT_TRUE(WaitFor([&] {
    const std::string now = apply();
    return now.size() == shown.size() && now != shown;
  })) << "the write-all button still shows";

  ASSERT_EQ(Sim().Command("replug wired"), "ok 5");
  EXPECT_TRUE(WaitFor([&] { return Trace().find("WorkCommand 2") != std::string::npos; })) << "no arrival queued";
  EXPECT_TRUE(WaitFor([&] { return apply() == shown; })) << "the write-all button did not come back";
  // Only the notices that change something queue work: one arrival for five interfaces.
  const std::string trace = Trace();
  size_t arrivals = 0;
  for (size_t at = trace.find("WorkCommand 2"); at != std::string::npos; at = trace.find("WorkCommand 2", at + 1))
    ++arrivals;
  EXPECT_EQ(arrivals, 1u);
}

}  // namespace
