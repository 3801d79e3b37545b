// A macro recorded from real key presses (XTest on the private X server),
// put on a button and written to the simulated mouse: the mouse's macro
// memory holds the recorded keys with their measured delays.
#include <X11/keysym.h>

#include <cstdlib>

#include "e2e/program_fixture.h"
#include "e2e/xtest_input.h"

namespace {

using namespace e2etest;

constexpr int kGapMs = 300;
constexpr int kToleranceMs = 15;

TEST_F(ProgramTest, RecordedMacroReachesTheMouseWithItsDelays) {
  e2e::XTestInput input(x_.Display());
  if (!input.Ok()) GTEST_SKIP() << "no XTest on the X server";
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); })) << "the key maps were not read back";
  const Geometry g = GeometryOf(window);
  auto at = [&](int x, int y) { return Click(g.x + x, g.y + y); };

  // The macro tab (fourth item of the strip), a new macro, then recording.
  ASSERT_TRUE(at(20 + 3 * 60 + 30, 70));
  ASSERT_TRUE(at(105, 671));
  std::string macroId;
  ASSERT_TRUE(WaitFor([&] {
    const auto rows = Snapshot()->Query("SELECT macro_id, name, delay_type FROM t_macro_data");
    if (!rows || rows->size() != 1) return false;
    macroId = (*rows)[0][0];
    return (*rows)[0][1] == "Custom 1" && (*rows)[0][2] == "1";
  })) << "no new macro with measured delays";
  const std::string idle = WaitSteady(g.x + 850, g.y + 210, 200, 28);
  ASSERT_TRUE(at(950, 224));
  // The button shows "stop" once raw input is selected.
  ASSERT_TRUE(WaitFor([&] { return WaitSteady(g.x + 850, g.y + 210, 200, 28, 2000) != idle; }, 10000));

  const int a = input.Keycode(XK_a), b = input.Keycode(XK_b);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  const std::pair<int, bool> presses[] = {{a, true}, {a, false}, {b, true}, {b, false}};
  for (const auto& [key, down] : presses) {
    if (&key != &presses[0].first) std::this_thread::sleep_for(Ms(kGapMs));
    ASSERT_TRUE(input.Key(key, down));
  }
  std::this_thread::sleep_for(Ms(200));
  ASSERT_TRUE(at(1000, 226));  // the click that stops is not recorded

  const std::string events = "SELECT type, value, desc FROM t_macrorecord WHERE macro_id = " + macroId +
                             " ORDER BY record_index";
  std::vector<std::vector<std::string>> rows;
  ASSERT_TRUE(WaitFor([&] {
    rows = Snapshot()->Query(events).value_or(rows);
    return rows.size() == 7;
  })) << "events stored: " << rows.size();
  std::vector<int> delays;
  std::vector<std::string> kinds;
  for (const auto& row : rows) {
    if (row[0] == "1") {
      delays.push_back(std::atoi(row[1].c_str()));
      EXPECT_EQ(row[2], " -   " + row[1] + " ms");
    } else {
      kinds.push_back(row[0] + " " + row[1] + " " + row[2]);
    }
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"2 65 ↓  A", "3 65 ↑  A", "2 66 ↓  B", "3 66 ↑  B"}));
  ASSERT_EQ(delays.size(), 3u);
  std::string measured;
  for (int d : delays) {
    measured += std::to_string(d) + " ";
    EXPECT_NEAR(d, kGapMs, kToleranceMs);
  }
  std::printf("[ recorded ] delays for %d ms gaps: %sms\n", kGapMs, measured.c_str());
  RecordProperty("recorded_delays_ms", measured);

  // The page with the first event chosen in the editor, kept with the test output.
  ASSERT_TRUE(at(600, 266));
  WaitSteady(g.x, g.y, g.width, g.height);
  Shot("macro_page.png");

  // The forward button (4) plays the macro, then everything goes to the mouse.
  {
    Database db(box_.DatabasePath());
    ASSERT_TRUE(db.Exec("UPDATE t_key_macro_data SET macro_type = 23, macro_value = " + macroId +
                        ", macro_value2 = 0, macro_desc = 'Custom 1' WHERE profile = 1 AND key_code = 4"));
  }
  Apply(g, [&](const Geometry&) {
    const sim::MouseState mouse = MouseState();
    ASSERT_EQ(mouse.key_maps.size(), 6u);
    EXPECT_EQ(Hex(mouse.key_maps[0][4]), "70000100") << "slot 4: macro 0, played once";
    ASSERT_FALSE(mouse.macros.empty());
    std::vector<std::string> image;
    for (const sim::StateRecord& r : mouse.macros[0].records) {
      image.push_back(r.type + " " + std::to_string(r.code) + " " + std::to_string(r.delay) +
                      (r.last ? " last" : ""));
    }
    // Each key carries the delay recorded after it; HID usages 4 and 5 are A and B.
    EXPECT_EQ(image, (std::vector<std::string>{"key-down 4 " + std::to_string(delays[0]),
                                               "key-up 4 " + std::to_string(delays[1]),
                                               "key-down 5 " + std::to_string(delays[2]), "key-up 5 0 last"}));
  });
}

}  // namespace
