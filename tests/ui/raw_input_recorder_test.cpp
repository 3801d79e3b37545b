#include "ui/raw_input_recorder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <vector>

#include "platform/raw_input.h"
#include "qt_test_env.h"
#include "raw_input_test_window.h"

using platform::RawInputRecord;

namespace {

RawInputRecord Key(int vk, int make, int flags, unsigned message) {
  RawInputRecord r;
  r.type = platform::kRawTypeKeyboard;
  r.virtualKey = static_cast<uint16_t>(vk);
  r.makeCode = static_cast<uint16_t>(make);
  r.flags = static_cast<uint16_t>(flags);
  r.message = message;
  return r;
}

RawInputRecord Mouse(int flags) {
  RawInputRecord r;
  r.buttonFlags = static_cast<uint16_t>(flags);
  return r;
}

RawInputEvent Decode(RawInputRecorder& recorder, const RawInputRecord& r) {
  RawInputEvent e;
  recorder.DecodeRawInput(reinterpret_cast<LPARAM>(&r), e);
  return e;
}

constexpr unsigned kDown = 0x0100, kUp = 0x0101, kSysDown = 0x0104, kSysUp = 0x0105;

}  // namespace

TEST(RawInputDecode, RecordsGiveTheRecordedCodesAndNames) {
  struct Row {
    RawInputRecord record;
    int kind, released, code;
    std::u16string name;
  };
  const Row rows[] = {
      {Mouse(0x0001), 1, 0, 1, u"LB"},
      {Mouse(0x0002), 1, 1, 1, u"LB"},
      {Mouse(0x0004), 1, 0, 2, u"RB"},
      {Mouse(0x0008), 1, 1, 2, u"RB"},
      {Mouse(0x0010), 1, 0, 4, u"MB"},
      {Mouse(0x0020), 1, 1, 4, u"MB"},
      {Mouse(0x0040), 1, 0, 8, u"Backward"},
      {Mouse(0x0080), 1, 1, 8, u"Backward"},
      {Mouse(0x0100), 1, 0, 16, u"Forward"},
      {Mouse(0x0200), 1, 1, 16, u"Forward"},
      // Several transitions in one record: the first in the fixed order wins.
      {Mouse(0x0006), 1, 0, 2, u"RB"},       // RB down before LB up
      {Mouse(0x0014), 1, 0, 4, u"MB"},       // MB down before RB down
      {Mouse(0x0022), 1, 1, 1, u"LB"},       // LB up before MB up
      {Mouse(0x0280), 1, 1, 8, u"Backward"},  // Backward up before Forward up
      {Mouse(0), 1, 0, 0, u""},              // a move
      {Mouse(0x0400), 1, 0, 0, u""},         // a wheel step
      {Key(65, 0x1E, 0, kDown), 2, 0, 65, u"A"},
      {Key(116, 0x3F, 1, kUp), 2, 1, 116, u"F5"},
      {Key(16, 0x2A, 0, kDown), 2, 0, 160, u"LShift"},
      {Key(16, 0x36, 1, kUp), 2, 1, 161, u"RShift"},
      {Key(17, 0x1D, 0, kDown), 2, 0, 162, u"LCtrl"},
      {Key(17, 0x1D, 2, kDown), 2, 0, 163, u"RCtrl"},
      {Key(17, 0x1D, 3, kUp), 2, 1, 163, u"RCtrl"},
      {Key(17, 0x1D, 1, kUp), 2, 1, 162, u"LCtrl"},  // the break flag alone is no prefix
      {Key(18, 0x38, 0, kSysDown), 2, 0, 164, u"LAlt"},
      {Key(18, 0x38, 3, kSysUp), 2, 1, 165, u"RAlt"},
      {Key(13, 0x1C, 0, kDown), 2, 0, 13, u"Enter"},
      {Key(13, 0x1C, 2, kDown), 2, 0, 108, u"REnter"},
      {Key(36, 0x47, 2, kDown), 2, 0, 36, u"Home"},
      {Key(97, 0x4F, 0, kDown), 2, 0, 97, u"Num 1"},
      {Key(19, 0x1D, 4, kDown), 2, 0, 19, u"Pause"},
      {Key(44, 0x37, 2, kDown), 2, 0, 44, u"Print Screen"},
      {Key(91, 0x5B, 2, kDown), 2, 0, 91, u"LWin"},
      {Key(92, 0x5C, 2, kDown), 2, 0, 92, u"RWin"},
      {Key(93, 0x5D, 2, kDown), 2, 0, 93, u"Application"},
      {Key(144, 0x45, 0, kDown), 2, 0, 144, u"Num Lock"},
      {Key(255, 0, 0, kDown), 2, 0, 255, u""},  // a key without a name
  };
  for (const auto& row : rows) {
    RawInputRecorder recorder;  // a fresh held-key set per row
    const RawInputEvent e = Decode(recorder, row.record);
    SCOPED_TRACE(testing::Message() << "vk " << row.record.virtualKey << " buttons " << row.record.buttonFlags);
    EXPECT_EQ(e.kind, row.kind);
    EXPECT_EQ(e.released, row.released);
    EXPECT_EQ(e.code, row.code);
    EXPECT_TRUE(e.name == row.name);
  }
}

TEST(RawInputDecode, OtherInputIsKindThreeAndUnreadableInputIsLeftAlone) {
  RawInputRecorder recorder;
  RawInputRecord hid;
  hid.type = platform::kRawTypeHid;
  EXPECT_EQ(Decode(recorder, hid).kind, 3);

  RawInputRecord unread = Key(65, 0x1E, 0, kDown);
  unread.size = 0;
  RawInputEvent e{7, 1, 5, u"kept"};
  recorder.DecodeRawInput(reinterpret_cast<LPARAM>(&unread), e);
  recorder.DecodeRawInput(0, e);
  EXPECT_TRUE(e.kind == 7 && e.released == 1 && e.code == 5 && e.name == u"kept");
}

TEST(RawInputDecode, HeldKeyRepeatsAreNothingToRecord) {
  RawInputRecorder recorder;
  const std::pair<RawInputRecord, int> steps[] = {
      {Key(65, 0x1E, 0, kDown), 2}, {Key(65, 0x1E, 0, kDown), 0},  // auto-repeat
      {Key(16, 0x2A, 0, kDown), 2}, {Key(65, 0x1E, 0, kDown), 0},  // still held under another key
      {Key(16, 0x36, 0, kDown), 2},                                // the other Shift is another key
      {Key(65, 0x1E, 1, kUp), 2},   {Key(65, 0x1E, 1, kUp), 2},    // a release is always recorded
      {Key(65, 0x1E, 0, kDown), 2}, {Key(17, 0x1D, 0, kDown), 2},
      {Key(17, 0x1D, 2, kDown), 2},  // right Ctrl while left Ctrl is held
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    const RawInputEvent e = Decode(recorder, steps[i].first);
    EXPECT_EQ(e.kind, steps[i].second) << "step " << i;
    EXPECT_FALSE(e.name.empty()) << "step " << i;  // a repeat keeps its name
  }
}

// Delivery through the windows' message queues, with the fake source.
class RawInputDelivery : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetRawInputSourceForTests(&fake_); }
  void TearDown() override { platform::SetRawInputSourceForTests(nullptr); }
  void Inject(platform::RawKey key) {
    fake_.Inject(key);
    QCoreApplication::processEvents();
  }
  platform::FakeRawInputSource fake_;
};

TEST_F(RawInputDelivery, InputReachesTheLatestRegisteredWindowWhileARecorderLives) {
  RawInputTestWindow first, second;
  Inject({65, true});  // no recorder: nothing selected
  EXPECT_FALSE(fake_.IsStarted());

  auto r1 = std::make_unique<RawInputRecorder>();
  auto r2 = std::make_unique<RawInputRecorder>();
  first.recorder = r1.get();
  second.recorder = r2.get();
  ASSERT_TRUE(r1->RegisterRawInput(&first));
  Inject({65, true});  // held in r1's set
  ASSERT_TRUE(r2->RegisterRawInput(&second));
  EXPECT_EQ(fake_.StartCount(), 1);  // one source for both

  Inject({163, true});
  fake_.Inject(platform::RawButton{2, true});
  fake_.Inject(platform::RawButton{});  // wheel step
  QCoreApplication::processEvents();
  ASSERT_EQ(second.events.size(), 3u);
  EXPECT_TRUE(second.events[0].code == 163 && second.events[0].name == u"RCtrl");
  EXPECT_TRUE(second.events[1].code == kMouseRight && second.events[1].name == u"RB");
  EXPECT_TRUE(second.events[2].kind == 1 && second.events[2].name.empty());

  // The later capture ends: the earlier one receives again; registering anew
  // forgot the key it held.
  r2.reset();
  second.recorder = nullptr;
  ASSERT_TRUE(r1->RegisterRawInput(&first));
  Inject({108, false});
  Inject({65, true});
  ASSERT_EQ(first.events.size(), 3u);
  EXPECT_TRUE(first.events[1].code == 108 && first.events[1].released == 1);
  EXPECT_EQ(first.events[2].kind, 2);

  // The last one ends: nothing is selected any more.
  r1.reset();
  first.recorder = nullptr;
  EXPECT_FALSE(fake_.IsStarted());
  Inject({65, true});
  EXPECT_EQ(first.events.size() + second.events.size(), 6u);
}

TEST_F(RawInputDelivery, RegisteringRetriesOnceAndAGoneWindowIsSkipped) {
  RawInputTestWindow window;
  RawInputRecorder failing, recorder, orphan;
  fake_.FailStarts(2);
  EXPECT_FALSE(failing.RegisterRawInput(&window));
  EXPECT_EQ(fake_.StartCount(), 2);
  fake_.FailStarts(1);
  EXPECT_TRUE(recorder.RegisterRawInput(&window));
  window.recorder = &recorder;
  {
    RawInputTestWindow gone;
    ASSERT_TRUE(orphan.RegisterRawInput(&gone));
    fake_.Inject(platform::RawKey{65, true});  // posted to `gone`, dropped with it
  }
  Inject({66, true});  // the live window takes over
  ASSERT_EQ(window.events.size(), 1u);
  EXPECT_EQ(window.events[0].code, 66);
}
