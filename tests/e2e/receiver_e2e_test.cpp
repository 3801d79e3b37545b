// A mouse behind its receiver: the receiver pulled out and plugged back in,
// the mouse leaving it and coming back, another maker's device arriving
// meanwhile, and a mouse whose every reply comes late.
#include "e2e/program_fixture.h"

namespace {

using namespace e2etest;

struct ReceiverSetup {
  const char* kind;  // the simulator's set-up item
  bool lateReplies;  // read back with every reply 1.5 s late, then Apply
};

std::ostream& operator<<(std::ostream& os, const ReceiverSetup& s) { return os << s.kind; }

class ReceiverTest : public ProgramTest, public ::testing::WithParamInterface<ReceiverSetup> {
 protected:
  size_t Count(const std::string& text) {
    const std::string trace = Trace();
    size_t n = 0;
    for (size_t at = trace.find(text); at != std::string::npos; at = trace.find(text, at + 1)) ++n;
    return n;
  }

  // The connection state the window showed last (language text 50..54), -1 before any.
  int State() {
    const std::string trace = Trace();
    const size_t at = trace.rfind("connection state ");
    return at == std::string::npos ? -1 : std::atoi(trace.c_str() + at + 17);
  }

  // A DPI stage the user typed and has not applied, as the performance page stores it.
  void TypeDpiStage(const std::string& value) {
    Database db(box_.DatabasePath());
    ASSERT_TRUE(db.Exec("UPDATE t_configdata SET value = '" + value +
                        "' WHERE profile = 1 AND key = 'dpi_group3_value'"));
  }
  std::string DpiStage() { return Snapshot()->Settings(1)["dpi_group3_value"]; }

  // The store holds, for every profile, what the mouse's key maps read back as.
  ::testing::AssertionResult KeyRowsAreTheMouses() {
    const sim::MouseState state = MouseState();
    const auto snapshot = Snapshot();
    for (size_t p = 0; p < state.key_maps.size(); ++p) {
      const auto expected = ExpectedKeyRows(state.key_maps[p]);
      if (!expected) return ::testing::AssertionFailure() << "profile " << p << " holds an unknown code";
      const auto rows = KeyRows(*snapshot, static_cast<int>(p) + 1);
      if (rows != *expected) {
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        failure << "profile " << p + 1 << " has " << rows.size() << " rows:";
        for (const KeyRow& r : rows) failure << " " << r;
        return failure;
      }
    }
    return ::testing::AssertionSuccess();
  }
};

TEST_P(ReceiverTest, TheReceiverAndItsMouseComeAndGo) {
  const std::string kind = GetParam().kind;
  setup_.simSetup = kind + ",unsupported";
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored() && State() == 52; })) << "state " << State();
  ASSERT_TRUE(Idle());
  const Geometry g = GeometryOf(window);
  ASSERT_EQ(Tool({"xdotool", "mousemove", "--sync", "0", "0"}).exitCode, 0);  // no hover on the tabs
  // The page tab strip: client (20, 40) to (380, 100), 60 wide items from its left.
  auto tabs = [&] { return WaitSteady(g.x + 20, g.y + 40, 360, 60); };
  const std::string usableTabs = tabs();

  if (GetParam().lateReplies) {
    // The user's own button 1, a right click, applied: the mouse holds it.
    {
      Database db(box_.DatabasePath());
      ASSERT_TRUE(db.Exec("UPDATE t_key_macro_data SET macro_type = 3, macro_value = 1, macro_value2 = 0, "
                          "macro_desc = '122' WHERE profile = 1 AND fn_layer = 0 AND key_code = 1"));
    }
    Apply(g);
    ASSERT_EQ(Hex(MouseState().key_maps.at(0).at(0)), "20020000");
  }

  // Another maker's device with a vendor collection arrives: the mouse is not
  // read back over the stage the user typed.
  ASSERT_EQ(Sim().Command("unplug unsupported"), "ok 1");
  ASSERT_TRUE(WaitFor([&] { return Count("vid_1111&pid_2222") == 1; }));
  ASSERT_TRUE(Idle(1500));  // longer than an idle poll's read, after which any work it queued starts
  TypeDpiStage("4000");
  ASSERT_EQ(Sim().Command("replug unsupported"), "ok 1");
  ASSERT_TRUE(WaitFor([&] { return Count("vid_1111&pid_2222") == 2; })) << "the arrival was not noticed";
  std::this_thread::sleep_for(Ms(1500));  // an arrival's pause, and then some
  EXPECT_EQ(Count("WorkCommand 2"), 0u);
  EXPECT_TRUE(Idle());
  EXPECT_EQ(DpiStage(), "4000");

  // The receiver pulled out and plugged back in: "No mouse", then the receiver
  // state again and the mouse read back over the stage typed meanwhile.
  TypeDpiStage("4100");
  const size_t removals = Count("WorkCommand 3"), noMouse = Count("connection state 50");
  ASSERT_EQ(Sim().Command("unplug " + kind), "ok 3");
  // Every removal queued (one per interface) has rescanned before the receiver comes back.
  EXPECT_TRUE(WaitFor([&] {
    const size_t queued = Count("WorkCommand 3") - removals;
    return queued > 0 && Count("connection state 50") - noMouse == queued;
  })) << "state " << State();
  EXPECT_EQ(DpiStage(), "4100");
  ASSERT_EQ(Sim().Command("replug " + kind), "ok 3");
  EXPECT_TRUE(WaitFor([&] { return State() == 52; })) << "state " << State();
  EXPECT_TRUE(WaitFor([&] { return DpiStage() == "3600"; })) << "no read-back: " << DpiStage();
  EXPECT_EQ(Count("WorkCommand 2"), 1u);
  ASSERT_TRUE(Idle());
  EXPECT_TRUE(tabs() == usableTabs) << "the tabs do not look usable";

  // The mouse leaves its receiver: not connected, the tabs on the home page
  // and deaf to clicks.
  ASSERT_EQ(Sim().Command("mouse " + kind + " offline"), "ok 1");
  EXPECT_TRUE(WaitFor([&] { return State() == 53; })) << "state " << State();
  const std::string awayTabs = tabs();
  EXPECT_TRUE(awayTabs != usableTabs) << "the tabs look as before";
  ASSERT_TRUE(Click(g.x + 20 + 60 + 30, g.y + 70));
  ASSERT_EQ(Tool({"xdotool", "mousemove", "--sync", "0", "0"}).exitCode, 0);
  EXPECT_TRUE(tabs() == awayTabs) << "a tab took the click";
  TypeDpiStage("4000");

  // It comes back: the receiver state and a read-back, in the first run with
  // every reply 1.5 s late, so that a late reply could answer the next request.
  const int quietMs = GetParam().lateReplies ? 3000 : 500;
  if (GetParam().lateReplies) {
    ASSERT_EQ(Sim().Command("fault " + kind + " delay 1500"), "ok 1");
  }
  ASSERT_EQ(Sim().Command("mouse " + kind + " online"), "ok 1");
  EXPECT_TRUE(WaitFor([&] { return State() == 52; })) << "state " << State();
  EXPECT_TRUE(WaitFor([&] { return DpiStage() == "3600"; }, 60000)) << "no read-back: " << DpiStage();
  ASSERT_TRUE(Idle(quietMs, 60000));
  EXPECT_TRUE(tabs() == usableTabs) << "the tabs do not look usable";
  EXPECT_TRUE(KeyRowsAreTheMouses());
  const auto expected = ExpectedSettings(MouseState().settings.at(0));
  EXPECT_EQ(Pick(Snapshot()->Settings(1), expected), expected);
  if (!GetParam().lateReplies) return;

  // The next Apply sends what the store holds, the user's button 1 among it.
  ASSERT_EQ(Sim().Command("fault " + kind + " clear"), "ok 1");
  ASSERT_TRUE(Idle());
  Apply(g);
  EXPECT_EQ(Hex(MouseState().key_maps.at(0).at(0)), "20020000");
  EXPECT_TRUE(KeyRowsAreTheMouses());
}

INSTANTIATE_TEST_SUITE_P(Receivers, ReceiverTest,
                         ::testing::Values(ReceiverSetup{"receiver", true}, ReceiverSetup{"receiver3", false}),
                         [](const auto& info) { return std::string(info.param.kind); });

}  // namespace
