#include "sync/notification.h"

#include <gtest/gtest.h>

#include <vector>

#include "sync/emoji.h"

namespace devsync {
namespace {

std::vector<uint8_t> Report(uint8_t b0, uint8_t b1, uint8_t event, uint8_t v1, uint8_t v2, uint8_t b2 = 0,
                            uint8_t b3 = 0) {
  std::vector<uint8_t> r(65, 0);
  r[0] = b0;
  r[1] = b1;
  r[2] = b2;
  r[3] = b3;
  r[8] = event;
  r[9] = v1;
  r[10] = v2;
  return r;
}

TEST(NotificationDecode, Kinds) {
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0x10, 2, 3)).kind, Notification::kDpiAndRate);
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0x11, 2, 0)).kind, Notification::kLightMode);
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0x50, 2, 0)).kind, Notification::kEmoji);
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0x60, 2, 0)).kind, Notification::kEmoji);
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0xD0, 50, 1)).kind, Notification::kBattery);
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0x12, 1, 1)).kind, Notification::kOther);
}

TEST(NotificationDecode, IgnoredAndLostValues) {
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0x08, 0x10, 2, 3)).kind, Notification::kIgnored);
  EXPECT_EQ(DecodeNotification(Report(0x00, 0xFA, 0x10, 2, 3)).kind, Notification::kIgnored);
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0x10, 2, 3, 0x38, 0x38)).kind, Notification::kIgnored);
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0x10, 2, 3, 0x38, 0x00)).kind, Notification::kDpiAndRate);
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0x50, 0xFF, 0)).kind, Notification::kLostValue);
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0x10, 2, 0xFF)).kind, Notification::kLostValue);
  EXPECT_EQ(DecodeNotification(Report(0xAA, 0xFA, 0x33, 0xFF, 0)).kind, Notification::kLostValue);
  EXPECT_EQ(DecodeNotification(std::vector<uint8_t>{0xAA, 0xFA, 0, 0}).kind, Notification::kIgnored);
}

TEST(NotificationValues, Limits) {
  EXPECT_EQ(NotifiedDpiLevel(0), 1);
  EXPECT_EQ(NotifiedDpiLevel(4), 4);
  EXPECT_EQ(NotifiedDpiLevel(9), 6);
  EXPECT_EQ(NotifiedLightMode(9), 6);
  EXPECT_EQ(NotifiedLightMode(0), 0);
  EXPECT_EQ(NotifiedBatteryLevel(150), 100);
  EXPECT_EQ(NotifiedBatteryLevel(42), 42);
  EXPECT_EQ(NotifiedRateButtonHz(1), 125);
  EXPECT_EQ(NotifiedRateButtonHz(2), 250);
  EXPECT_EQ(NotifiedRateButtonHz(3), 500);
  EXPECT_EQ(NotifiedRateButtonHz(4), 1000);
  EXPECT_EQ(NotifiedRateButtonHz(0), 1000);
}

TEST(Emoji, NamesAndTypedTextsAgree) {
  EXPECT_EQ(GetEmojiName(1), u"微笑");
  EXPECT_EQ(GetEmojiName(109), u"转圈");
  EXPECT_EQ(GetEmojiText(64), u"[Emm]");
  // The picker's names, typed in brackets.
  EXPECT_EQ(GetEmojiText(26), u"[流汗]");
  EXPECT_EQ(GetEmojiText(27), u"[憨笑]");
  EXPECT_EQ(GetEmojiText(40), u"[左哼哼]");
  for (int id : {0, 110, -1, 255}) {
    EXPECT_EQ(GetEmojiName(id), u"");
    EXPECT_EQ(GetEmojiText(id), u"");
  }
  for (int id = 1; id <= kEmojiCount; ++id) EXPECT_EQ(GetEmojiText(id), u"[" + GetEmojiName(id) + u"]");
}

}  // namespace
}  // namespace devsync
