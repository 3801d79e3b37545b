// A button set to a key combination the way a user does it: the button page,
// the assignment dialog opened from a button's combo, a real key pressed into
// its key field, OK, and the next write-all puts it on the mouse.
#include <X11/keysym.h>

#include "e2e/program_fixture.h"
#include "e2e/xtest_input.h"

namespace {

using namespace e2etest;

class KeyAssignmentTest : public ProgramTest {
 protected:
  void TearDown() override {
    input_.reset();  // its connection goes before the X server does
    ProgramTest::TearDown();
  }
  bool Tap(unsigned long keysym) { return input_ && input_->TapKeysym(keysym); }

  std::unique_ptr<e2e::XTestInput> input_;
};

TEST_F(KeyAssignmentTest, AKeyCapturedInTheDialogReachesTheStoreAndTheMouse) {
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); })) << "the key maps were not read back";
  input_ = std::make_unique<e2e::XTestInput>(x_.Display());
  ASSERT_TRUE(input_->Ok());
  const Geometry g = GeometryOf(window);

  // The buttons tab, then the page as the user sees it.
  ASSERT_TRUE(Click(g.x + 110, g.y + 70));
  WaitSteady(g.x, g.y, g.width, g.height);
  EXPECT_GT(Shot("button_page.png"), 10000u) << "button_page.png";

  // Combo of button 3 on the third row: (110, 320, 380, 360). Its list opens
  // on a click; "Key Combination" is 13 items below the middle button's.
  ASSERT_TRUE(Click(g.x + 245, g.y + 340));
  std::this_thread::sleep_for(Ms(300));
  for (int i = 0; i < 13; ++i) ASSERT_TRUE(Tap(XK_Down));
  ASSERT_TRUE(Tap(XK_Return));
  const auto dialog = WaitVisible("^MouseKeyConfigDlg$", 10000);
  ASSERT_TRUE(dialog.has_value()) << "no assignment dialog";
  const Geometry d = GeometryOf(*dialog);
  EXPECT_EQ(d.width, 400);
  EXPECT_EQ(d.height, 260);

  // Ctrl (180, 116, 330, 152) and Alt (180, 152, 330, 188), then a click into
  // the key field (30, 80, w - 30, 110) and F5 on the keyboard.
  ASSERT_TRUE(Click(d.x + 200, d.y + 134));
  ASSERT_TRUE(Click(d.x + 200, d.y + 170));
  ASSERT_TRUE(Click(d.x + 200, d.y + 95));
  const std::string empty = WaitSteady(d.x + 34, d.y + 84, d.width - 68, 22);
  ASSERT_TRUE(Tap(XK_F5));
  ASSERT_TRUE(WaitFor([&] { return Grab(d.x + 34, d.y + 84, d.width - 68, 22) != empty; }, 10000))
      << "the key field shows no key";
  WaitSteady(d.x, d.y, d.width, d.height);
  EXPECT_GT(Shot("key_config_dialog.png"), 10000u) << "key_config_dialog.png";

  // OK: (w - 130, h - 50, w - 30, h - 12).
  ASSERT_TRUE(Click(d.x + d.width - 80, d.y + d.height - 31));
  EXPECT_TRUE(WaitGone("^MouseKeyConfigDlg$", 10000));
  const KeyRow expected{3, 22, 62, 0x05, "Ctrl+ Alt + F5"};
  ASSERT_TRUE(WaitFor([&] {
    for (const KeyRow& row : KeyRows(*Snapshot(), 1))
      if (row == expected) return true;
    return false;
  })) << "the row was not stored";

  Apply(g, [&](const Geometry&) {
    const sim::MouseState state = MouseState();
    ASSERT_EQ(state.key_maps.size(), 6u);
    EXPECT_EQ(Hex(state.key_maps[0].at(2)), "10053E00") << "button 3 is slot 2";
  });
}

// Button 5 plays M2, M2 is deleted: the mouse gets "no macro", and reading it
// back must not make the button play M1, the macro now first in the list.
TEST_F(KeyAssignmentTest, ADeletedMacrosButtonReadsBackAsNoMacro) {
  Start();
  const std::string window = WaitMainWindow();
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return KeyMapsStored(); })) << "the key maps were not read back";
  ASSERT_TRUE(Idle());
  {
    Database db(box_.DatabasePath());
    ASSERT_TRUE(db.Exec("INSERT INTO t_macro_data(macro_id, name, play_type, play_times, delay_type, delay_time) "
                        "VALUES (41, 'M1', 1, 1, 1, 0), (42, 'M2', 0, 1, 1, 0)"));
    ASSERT_TRUE(db.Exec("UPDATE t_key_macro_data SET macro_type = 23, macro_value = 42, macro_value2 = 0, "
                        "macro_desc = 'M2' WHERE profile = 1 AND fn_layer = 0 AND key_code = 5"));
    ASSERT_TRUE(db.Exec("DELETE FROM t_macro_data WHERE macro_id = 42"));
  }
  const Geometry g = GeometryOf(window);
  Apply(g, [&](const Geometry&) { EXPECT_EQ(Hex(MouseState().key_maps.at(0).at(3)), "70000000"); });

  // Read from Mouse: button 5 (slot 3) loses its row instead of becoming M1.
  ASSERT_TRUE(Click(g.x + g.width - 470, g.y + 70));
  ASSERT_TRUE(WaitFor([&] {
    for (const KeyRow& row : KeyRows(*Snapshot(), 1))
      if (row.button == 5) return row.kind != 23 || row.value != 42;
    return true;
  })) << "no read-back";
  ASSERT_TRUE(WaitGone("^WaitDlg$", 10000));
  ASSERT_TRUE(Idle());
  for (const KeyRow& row : KeyRows(*Snapshot(), 1)) EXPECT_NE(row.button, 5) << row;

  // The next Apply gives the button its own code back.
  Apply(g, [&](const Geometry&) { EXPECT_EQ(Hex(MouseState().key_maps.at(0).at(3)), "20080000"); });
}

}  // namespace
