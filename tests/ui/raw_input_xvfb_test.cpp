// The X source end to end: exact keycodes and buttons injected with XTest on
// a private X server reach a registered window and decode to the recorded
// codes; with no capture alive nothing is read.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QTest>
#include <string>
#include <vector>

#include "platform/raw_input.h"
#include "program_harness.h"
#include "raw_input_test_window.h"
#include "xtest_input.h"

TEST(RawInputXvfb, InjectedKeysAndButtonsDecodeToTheRecordedCodes) {
  if (!e2e::HaveTool("Xvfb")) GTEST_SKIP() << "Xvfb is missing";
  e2e::XServer server;
  ASSERT_TRUE(server.Start());
  setenv("DISPLAY", server.Display().c_str(), 1);
  e2e::XTestInput input(server.Display());
  ASSERT_TRUE(input.Ok());
  RawInputTestWindow window;

  // A capture that ended leaves no connection, so nothing is selected.
  {
    RawInputRecorder ended;
    ASSERT_TRUE(ended.RegisterRawInput(&window));
    EXPECT_GE(platform::CurrentRawInputSource().Fd(), 0);
  }
  EXPECT_EQ(platform::CurrentRawInputSource().Fd(), -1);
  ASSERT_TRUE(input.TapKeysym(XK_a));
  ASSERT_TRUE(input.Click(1));
  QTest::qWait(300);
  EXPECT_TRUE(window.events.empty());

  RawInputRecorder recorder;
  window.recorder = &recorder;
  ASSERT_TRUE(recorder.RegisterRawInput(&window));

  struct Expected {
    int kind, released, code;
    std::u16string name;
  };
  std::vector<Expected> expected;
  const struct {
    unsigned long keysym;
    int code;
    const char16_t* name;
  } keys[] = {{XK_Control_L, 162, u"LCtrl"}, {XK_Control_R, 163, u"RCtrl"}, {XK_Shift_L, 160, u"LShift"},
              {XK_Shift_R, 161, u"RShift"},  {XK_Alt_L, 164, u"LAlt"},      {XK_Alt_R, 165, u"RAlt"},
              {XK_KP_Enter, 108, u"REnter"}, {XK_a, 65, u"A"}};
  for (const auto& k : keys) {
    ASSERT_NE(input.Keycode(k.keysym), 0) << k.keysym;
    ASSERT_TRUE(input.TapKeysym(k.keysym));
    expected.push_back({2, 0, k.code, k.name});
    expected.push_back({2, 1, k.code, k.name});
  }
  const struct {
    int button, code;
    const char16_t* name;
  } buttons[] = {{1, 1, u"LB"}, {3, 2, u"RB"}, {2, 4, u"MB"}, {8, 8, u"Backward"}, {9, 16, u"Forward"}};
  for (const auto& b : buttons) {
    ASSERT_TRUE(input.Click(b.button));
    expected.push_back({1, 0, b.code, b.name});
    expected.push_back({1, 1, b.code, b.name});
  }
  ASSERT_TRUE(input.Click(4));  // a wheel step: mouse input without a button
  expected.push_back({1, 0, 0, u""});
  expected.push_back({1, 0, 0, u""});

  (void)QTest::qWaitFor([&] { return window.events.size() >= expected.size(); }, 5000);
  QTest::qWait(100);  // nothing more may follow
  ASSERT_EQ(window.events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(window.events[i].kind, expected[i].kind);
    EXPECT_EQ(window.events[i].released, expected[i].released);
    EXPECT_EQ(window.events[i].code, expected[i].code);
    EXPECT_TRUE(window.events[i].name == expected[i].name);
  }
}
