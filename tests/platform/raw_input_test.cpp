#include "platform/raw_input.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <vector>

using namespace platform;

// Virtual-key code, scan code and prefix as a Windows US keyboard reports them.
TEST(RawInputKeys, KeysymGivesTheKeyOfAWindowsKeyboard) {
  struct Row {
    unsigned long keysym;
    int vk, make, prefix;
  };
  const Row rows[] = {
      {XK_a, 65, 0x1E, 0},           {XK_q, 81, 0x10, 0},           {XK_Z, 90, 0x2C, 0},
      {XK_1, 49, 0x02, 0},           {XK_0, 48, 0x0B, 0},           {XK_F1, 112, 0x3B, 0},
      {XK_F10, 121, 0x44, 0},        {XK_F11, 122, 0x57, 0},        {XK_F12, 123, 0x58, 0},
      {XK_F13, 124, 0x64, 0},        {XK_F23, 134, 0x6E, 0},        {XK_F24, 135, 0x76, 0},
      {XK_Shift_L, 16, 0x2A, 0},     {XK_Shift_R, 16, 0x36, 0},     {XK_Control_L, 17, 0x1D, 0},
      {XK_Control_R, 17, 0x1D, 0x02}, {XK_Alt_L, 18, 0x38, 0},      {XK_Alt_R, 18, 0x38, 0x02},
      {XK_Return, 13, 0x1C, 0},      {XK_KP_Enter, 13, 0x1C, 0x02}, {XK_Home, 36, 0x47, 0x02},
      {XK_KP_Home, 103, 0x47, 0},    {XK_KP_7, 103, 0x47, 0},       {XK_KP_Delete, 110, 0x53, 0},
      {XK_Delete, 46, 0x53, 0x02},   {XK_slash, 191, 0x35, 0},      {XK_KP_Divide, 111, 0x35, 0x02},
      {XK_Super_L, 91, 0x5B, 0x02},  {XK_Super_R, 92, 0x5C, 0x02},  {XK_Menu, 93, 0x5D, 0x02},
      {XK_Print, 44, 0x37, 0x02},    {XK_Pause, 19, 0x1D, 0x04},    {XK_grave, 192, 0x29, 0},
      {XK_apostrophe, 222, 0x28, 0}, {XK_less, 226, 0x56, 0},       {XK_Num_Lock, 144, 0x45, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.keysym);
    const auto key = KeysymToWindowsKey(r.keysym);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->virtualKey, r.vk);
    EXPECT_EQ(key->makeCode, r.make);
    EXPECT_EQ(key->prefix, r.prefix);
  }
  for (unsigned long none : {0UL, static_cast<unsigned long>(XK_Multi_key),
                             static_cast<unsigned long>(XF86XK_AudioPlay), static_cast<unsigned long>(XK_Cyrillic_a)}) {
    EXPECT_FALSE(KeysymToWindowsKey(none).has_value()) << none;
  }
}

TEST(RawInputKeys, ButtonsAndNames) {
  struct ButtonRow {
    int button;
    bool down;
    uint16_t flags;
  };
  const ButtonRow buttons[] = {{1, true, 0x0001}, {1, false, 0x0002}, {3, true, 0x0004}, {3, false, 0x0008},
                               {2, true, 0x0010}, {2, false, 0x0020}, {8, true, 0x0040}, {8, false, 0x0080},
                               {9, true, 0x0100}, {9, false, 0x0200}, {4, true, 0},      {5, false, 0},
                               {6, true, 0},      {7, true, 0},       {10, true, 0},     {0, true, 0}};
  for (const auto& b : buttons) EXPECT_EQ(XButtonToRawFlags(b.button, b.down), b.flags) << b.button << b.down;

  struct NameRow {
    int vk;
    std::u16string name;
  };
  const NameRow names[] = {{65, u"A"},       {48, u"0"},      {112, u"F1"},     {121, u"F10"},
                           {135, u"F24"},    {96, u"Num 0"},  {97, u"Num 1"},   {110, u"Num Del"},
                           {13, u"Enter"},   {32, u"Space"},  {33, u"Page Up"}, {46, u"Delete"},
                           {186, u";"},      {222, u"'"},     {220, u"\\"},     {0, u""},
                           {16, u""},        {255, u""},      {47, u""},        {136, u""}};
  for (const auto& n : names) EXPECT_EQ(VirtualKeyName(n.vk), n.name) << n.vk;
}

TEST(RawInputFake, DeliversOnlyWhileStartedAndKeepsTheSidesOfTheModifiers) {
  FakeRawInputSource fake;
  std::vector<RawInputRecord> got;
  fake.Inject(RawKey{65, true});  // not started: nothing
  fake.FailStarts(1);
  EXPECT_FALSE(fake.Start([&](const RawInputRecord& r) { got.push_back(r); }));
  EXPECT_TRUE(fake.Start([&](const RawInputRecord& r) { got.push_back(r); }));
  fake.Inject(RawKey{163, false});
  fake.Inject(RawKey{160, true});
  fake.Inject(RawButton{16, false});
  fake.Inject(RawButton{});
  fake.Stop();
  fake.Inject(RawKey{65, true});
  EXPECT_EQ(fake.StartCount(), 2);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].type, kRawTypeKeyboard);
  EXPECT_EQ(got[0].virtualKey, 17);
  EXPECT_EQ(got[0].makeCode, 0x1D);
  EXPECT_EQ(got[0].flags, kRawKeyE0 | kRawKeyBreak);
  EXPECT_EQ(got[0].message, kMsgKeyUp);
  EXPECT_EQ(got[1].virtualKey, 16);
  EXPECT_EQ(got[1].makeCode, 0x2A);
  EXPECT_EQ(got[1].message, kMsgKeyDown);
  EXPECT_EQ(got[2].type, kRawTypeMouse);
  EXPECT_EQ(got[2].buttonFlags, 0x0200);
  EXPECT_EQ(got[3].buttonFlags, 0);
}

TEST(RawInputFake, InstalledFakeIsTheCurrentSourceUntilItGoes) {
  RawInputSource* real = &CurrentRawInputSource();
  {
    FakeRawInputSource fake;
    SetRawInputSourceForTests(&fake);
    EXPECT_EQ(&CurrentRawInputSource(), &fake);
  }
  EXPECT_EQ(&CurrentRawInputSource(), real);
}
