// Recording macros and the event editor's key field over a fake raw-input
// source, on the window's virtual clock.
#include <QCursor>

#include "macro_test_support.h"
#include "platform/raw_input.h"

namespace mainwintest {
namespace {

using platform::RawButton;
using platform::RawKey;

class MacroRecordingTest : public MacroTest {
 protected:
  void SetUp() override {
    platform::SetRawInputSourceForTests(&input_);
    QCursor::setPos(0, 0);  // away from the record button
    MacroTest::SetUp();
  }
  void TearDown() override {
    MacroTest::TearDown();
    platform::SetRawInputSourceForTests(nullptr);
  }
  // A new macro with `events` delays of 10 ms, selected.
  int SelectedMacro(int events = 0) {
    const int id = StoreMacro(u"m", std::vector<MacroRecord>(static_cast<size_t>(events), Event(kEventDelay, 10, u" -   10 ms")));
    W().LoadMacroList();
    SelectMacro(W().macroList->GetItemCount() - 1);
    return id;
  }
  void Record() { W().OnMessage(170, kEventClick, 0, 0); }
  // An input after `gap` ms, delivered through the window's message loop.
  template <class Input>
  void Press(Input input, uint32_t gap = 0) {
    clock_->Advance(gap);
    input_.Inject(input);
    QApplication::processEvents();
  }

  platform::FakeRawInputSource input_;
};

TEST_F(MacroRecordingTest, RecordsKeysAndButtonsWithTheirDelays) {
  struct Case {
    const char* name;
    int delayRadio;  // 172 none, 173 measured, 174 fixed
    const char16_t* fixed;
    std::function<void()> input;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"measured", 173, u"", [this] { Press(RawKey{65, true}, 40), Press(RawKey{65, false}, 300); },
       {"↓  A|2|65", " -   300 ms|1|300", "↑  A|3|65"}},
      {"a 20 s gap, a held key", 173, u"",
       [this] {
         Press(RawKey{66, true}), Press(RawKey{66, true}, 20000), Press(RawKey{66, false}, 20000);
       },
       {"↓  B|2|66", " -   15000 ms|1|15000", "↑  B|3|66"}},
      {"fixed", 174, u"50", [this] { Press(RawKey{65, true}, 7), Press(RawKey{65, false}, 9); },
       {" -   50 ms|1|50", "↓  A|2|65", " -   50 ms|1|50", "↑  A|3|65"}},
      {"fixed, typed below its range and not left", 174, u"5", [this] { Press(RawKey{65, true}); },
       {" -   10 ms|1|10", "↓  A|2|65"}},
      {"modifiers and the keypad Enter", 172, u"",
       [this] {
         for (int vk : {162, 163, 160, 161, 164, 165, 108}) Press(RawKey{vk, true});
       },
       {"↓  LCtrl|2|162", "↓  RCtrl|2|163", "↓  LShift|2|160", "↓  RShift|2|161", "↓  LAlt|2|164", "↓  RAlt|2|165",
        "↓  REnter|2|108"}},
      {"buttons; the wheel records nothing", 172, u"",
       [this] {
         for (int b : {1, 2, 4, 8, 16, 0}) Press(RawButton{b, true});
         Press(RawButton{1, false});
       },
       {"↓  LB|4|1", "↓  RB|4|2", "↓  MB|4|4", "↓  Backward|4|8", "↓  Forward|4|16", "↑  LB|5|1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int id = SelectedMacro();
    W().delayModeRadios[c.delayRadio - 172]->SetCheck(1);
    W().OnMessage(c.delayRadio, kEventClick, 0, 0);
    if (*c.fixed) W().fixedDelayEdit->SetTitle(c.fixed);
    Record();
    ASSERT_TRUE(W().macroRecording);
    c.input();
    EXPECT_TRUE(Stored(id).empty()) << "saved only when the recording stops";
    Record();
    EXPECT_FALSE(W().macroRecording);
    EXPECT_FALSE(input_.IsStarted());
    EXPECT_EQ(Listed(), c.events);
    EXPECT_EQ(Stored(id), c.events);
  }
}

TEST_F(MacroRecordingTest, WhileRecordingThePageIsLockedAndItsRefreshWaits) {
  ModalDriver modal;
  Record();  // no macro
  EXPECT_EQ(modal.boxes, (std::vector<Box>{LangBox(387, 358, 0)}));
  const int first = SelectedMacro(1);
  const int other = SelectedMacro();
  Record();
  EXPECT_EQ(W().recordButton->GetTitle(), GetLangText(359));
  EXPECT_FALSE(W().macroList->IsEnabled());
  EXPECT_FALSE(W().tabs->IsEnabled());
  EXPECT_TRUE(W().recordButton->IsEnabled());
  Press(RawKey{65, true});
  // The worker's refresh would switch to the first macro and drop the input.
  W().LoadMacroList();
  EXPECT_EQ(W().macroList->GetCurSel(), 1);
  // The click that stops the recording is not recorded.
  CRect button = W().recordButton->GetRect();
  W().ClientToScreen(button);
  QCursor::setPos(button.left + 5, button.top + 5);
  Press(RawButton{1, true});
  Record();
  EXPECT_EQ(Stored(other), (std::vector<std::string>{"↓  A|2|65"}));
  EXPECT_EQ(W().recordButton->GetTitle(), GetLangText(358));
  EXPECT_TRUE(W().macroList->IsEnabled());
  EXPECT_FALSE(W().fixedDelayEdit->IsEnabled());  // back only with the fixed-delay radio
  // The deferred refresh ran after the save.
  EXPECT_EQ(W().macroList->GetCurSel(), 0);
  EXPECT_EQ(W().SelectedMacroId(), first);
}

TEST_F(MacroRecordingTest, TheTwoHundredthEventEndsTheRecording) {
  const int id = SelectedMacro(198);
  Record();
  Press(RawKey{65, true});   // the first input has no delay: 199
  Press(RawKey{65, false}, 100);  // its delay makes 200: the input is not added
  EXPECT_FALSE(W().macroRecording);
  EXPECT_FALSE(input_.IsStarted());
  const std::vector<std::string> events = Stored(id);
  ASSERT_EQ(events.size(), 200u);
  EXPECT_EQ(events[198] + " " + events[199], "↓  A|2|65  -   100 ms|1|100");
  Press(RawKey{66, true});
  EXPECT_EQ(Stored(id).size(), 200u);
}

TEST_F(MacroRecordingTest, TheKeyFieldTakesThePressedKey) {
  const int id = StoreMacro(u"m", {Event(kEventKeyDown, 65, u"↓  A", 7), Event(kEventKeyUp, 65, u"↑  A", 7)});
  W().LoadMacroList();
  SelectEvent(1);
  W().eventKeyEdit->UserEvent(kEventSetFocus);
  Press(RawKey{163, true});
  EXPECT_EQ(W().eventKeyEdit->GetEditText(), u"RCtrl");
  W().eventKeyEdit->UserEvent(kEventTextChanged);  // what the key typed does not stay
  EXPECT_EQ(W().eventKeyEdit->GetEditText(), u"RCtrl");
  W().eventKeyEdit->UserEvent(kEventKillFocus);
  EXPECT_FALSE(input_.IsStarted());
  EXPECT_EQ(Stored(id), (std::vector<std::string>{"↓  RCtrl|2|163", "↑  RCtrl|3|163"}));
}

}  // namespace
}  // namespace mainwintest
