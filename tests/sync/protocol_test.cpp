#include "sync/protocol.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace devsync {
namespace {

// The first bytes of a request as they leave the builder (checksum byte 4
// still 0: the device manager fills it), and that the rest up to 65 are 0.
void ExpectRequest(const CommandBuffer& b, std::vector<uint8_t> head) {
  for (size_t i = 0; i < head.size(); ++i) EXPECT_EQ(b[i], head[i]) << "byte " << i;
  for (size_t i = head.size(); i < kCommandBufferSize; ++i) EXPECT_EQ(b[i], 0) << "byte " << i;
}

TEST(Requests, ReadRequests) {
  ExpectRequest(BuildGetBattery(2), {0x00, 0x55, 0x30, 0xA5, 0x00, 0x2E, 0x00, 0x00, 0x01});
  ExpectRequest(BuildGetKeyMap(5), {0x00, 0x55, 0x08, 0xA5, 0x00, 0x20, 0x00, 0x00, 0x05});
  ExpectRequest(BuildGetSettings(1), {0x00, 0x55, 0x0E, 0xA5, 0x00, 0x2E, 0x00, 0x00, 0x00});
  ExpectRequest(BuildGetFirmwareVersion(), {0x00, 0x55, 0x03});
}

TEST(Requests, DpiRateAndLighting) {
  // 1600 = 0x0640
  ExpectRequest(BuildSetCurrentDpi(3, 4, 1600),
                {0x00, 0x55, 0x22, 0xAE, 0x00, 0x03, 0x00, 0x00, 0x02, 0x00, 0x00, 0x04, 0x40, 0x06});
  ExpectRequest(BuildSetReportRate(5, 4), {0x00, 0x55, 0x23, 0xAE, 0x00, 0x03, 0x00, 0x00, 0x04, 0x00, 0x00, 0x04});
  ExpectRequest(BuildSetLighting(2, 3), {0x00, 0x55, 0x21, 0xA5, 0x00, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x03});
  // Limited to the modes there are, not wrapped into another one.
  ExpectRequest(BuildSetLighting(1, 300), {0x00, 0x55, 0x21, 0xA5, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06});
  ExpectRequest(BuildSetLighting(1, -2), {0x00, 0x55, 0x21, 0xA5, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  ExpectRequest(BuildMacroDataEnd(), {0x00, 0x55, 0x10, 0xA5});
}

TEST(Requests, KeyMaps) {
  ExpectRequest(BuildSetKeyMap(1, DefaultKeyMap, false),
                {0x00, 0x55, 0x09, 0xA5, 0x00, 0x20, 0x00, 0x00, 0x00,
                 0x20, 0x01, 0x00, 0x00, 0x20, 0x02, 0x00, 0x00, 0x20, 0x04, 0x00, 0x00,
                 0x20, 0x08, 0x00, 0x00, 0x20, 0x10, 0x00, 0x00, 0x21, 0x55, 0x00, 0x00,
                 0x21, 0x38, 0x01, 0x00, 0x21, 0x38, 0xFF, 0x00});
  CommandBuffer reset = BuildSetKeyMap(4, DefaultKeyMap, true);
  EXPECT_EQ(reset[6], 1);
  EXPECT_EQ(reset[7], 1);
  EXPECT_EQ(reset[8], 3);
}

TEST(KeyMapBuild, SlotsLaterRowsAndForeignButtons) {
  std::vector<KeyActionRow> rows = {
      {4, kActionWheelUp, 1, 0, u""},      // button 4 -> slot 4
      {5, kActionWheelDown, 1, 0, u""},    // button 5 -> slot 3
      {1, kActionRightButton, 1, 0, u""},
      {1, kActionMiddleButton, 1, 0, u""},  // later row for the same slot wins
      {9, kActionLeftButton, 1, 0, u""},    // no slot among the eight
      {0, kActionLeftButton, 1, 0, u""},
      {-40, kActionLeftButton, 1, 0, u""},
      {100, kActionLeftButton, 1, 0, u""},
  };
  KeyMap map = BuildKeyMap(rows, {});
  EXPECT_EQ(map[0], (KeyActionCode{0x20, 0x04, 0, 0}));
  EXPECT_EQ(map[3], (KeyActionCode{0x21, 0x38, 0xFF, 0}));
  EXPECT_EQ(map[4], (KeyActionCode{0x21, 0x38, 0x01, 0}));
  for (int slot : {1, 2, 5, 6, 7}) EXPECT_EQ(map[slot], DefaultKeyMap[slot]) << slot;
}

std::vector<uint8_t> Reply(std::vector<uint8_t> head) {
  head.resize(kCommandBufferSize, 0);
  return head;
}

TEST(Replies, BatteryAndFirmware) {
  auto battery = DecodeBatteryReply(Reply({0xAA, 0x30, 0, 0, 0, 0, 0, 0, 87, 1}));
  ASSERT_TRUE(battery);
  EXPECT_EQ(battery->level, 87);
  EXPECT_EQ(battery->charging, 1);
  EXPECT_FALSE(DecodeBatteryReply(Reply({0xAA, 0x31, 0, 0, 0, 0, 0, 0, 87, 1})));
  EXPECT_FALSE(DecodeBatteryReply(Reply({0x00, 0x30})));

  std::vector<uint8_t> fw = Reply({0xAA, 0x03});
  fw[23] = '1';
  fw[24] = 'x';
  fw[25] = '7';
  EXPECT_EQ(DecodeFirmwareVersion(fw), u"1.0.7");
  fw[1] = 0x04;
  EXPECT_FALSE(DecodeFirmwareVersion(fw));
}

TEST(Replies, KeyMapTakesOnlyItsOwnReply) {
  // The command byte of another request's reply, or of a notification, is never taken for button codes.
  for (const uint8_t second : {0x08, 0x00, 0x09, 0x0E, 0x30, 0x55, 0xFA}) {
    std::vector<uint8_t> r = Reply({0xAA, second, 0, 0, 0, 0, 0, 0, 0x10, 0x01, 0x06, 0x00});
    r[8 + 4 * 8] = 0x50;  // ninth code
    r[9 + 4 * 8] = 0x07;
    auto codes = DecodeKeyMapReply(r);
    ASSERT_EQ(codes.has_value(), second == 0x08) << int{second};
    if (!codes) continue;
    EXPECT_EQ((*codes)[0], (KeyActionCode{0x10, 0x01, 0x06, 0x00}));
    EXPECT_EQ((*codes)[8], (KeyActionCode{0x50, 0x07, 0x00, 0x00}));
  }
  EXPECT_FALSE(DecodeKeyMapReply(Reply({0x55, 0x08})));
  EXPECT_FALSE(DecodeKeyMapReply(std::vector<uint8_t>{0xAA, 0x08, 0, 0}));
}

SettingsValues SampleValues() {
  SettingsValues v;
  v.light_mode = 2;
  v.report_rate = 4;
  v.dpi_index = 1;
  v.dpi_value = {400, 800, 1600, 49, 26001, 26000};
  v.dpi_rgb = {0x0000FF, 0x00FF00, 0xFF0000, 0x123456, 0, 0xFFFFFF};
  v.scroll_flag = 1;
  v.liftoff_height = 2;
  v.sensor_flag = 12;
  v.button_respondtime = 25;
  v.sleep_light = 300;
  v.esports_flag = 1;
  return v;
}

TEST(SettingsBlockTest, WriteLayout) {
  SettingsBlock block = BuildSettingsBlock(SampleValues());
  const SettingsBlock expected = {
      0x02, 0x04, 0x06, 0x02,
      0x90, 0x01, 0x20, 0x03, 0x40, 0x06, 0x00, 0x00, 0x00, 0x00, 0x90, 0x65,  // 49 and 26001 -> 0
      0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF,
      0x56, 0x34, 0x12, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
      0x00, 0x00, 0x00, 0x00, 0x00,
      0x01, 0x02, 0x11, 0x14, 0x3C, 0x01};  // response time 25 limited to 20, sleep 300 to 60
  EXPECT_EQ(block, expected);
}

// A damaged or hand-edited store: every field goes out within its range.
TEST(SettingsBlockTest, EveryFieldIsLimitedToItsRange) {
  const std::map<std::string, int> inRange = {
      {"light_mode", 1}, {"report_rate", 2}, {"dpi_index", 1}, {"scroll_flag", 0}, {"liftoff_height", 1},
      {"sensor_flag", 0}, {"button_respondtime", 8}, {"sleep_light", 20}, {"e-sports_flag", 1}};
  struct Case {
    const char* key;
    int stored;
    size_t offset;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"light_mode", 9, 0, {0x06}},          {"light_mode", -1, 0, {0x00}},
      {"report_rate", 255, 1, {0x04}},       {"report_rate", 0, 1, {0x01}},
      {"dpi_index", 100, 3, {0x06}},         {"dpi_index", -3, 3, {0x01}},
      {"dpi_group0_value", 30000, 4, {0x00, 0x00}},
      {"dpi_group2_rgb", 0x1234567, 22, {0xFF, 0xFF, 0xFF}},
      {"dpi_group2_rgb", -5, 22, {0x00, 0x00, 0x00}},
      {"scroll_flag", 7, 39, {0x01}},        {"scroll_flag", -1, 39, {0x00}},
      {"liftoff_height", 0, 40, {0x01}},     {"liftoff_height", 9, 40, {0x02}},
      {"sensor_flag", 0xFFFF, 41, {0x31}},
      {"button_respondtime", 300, 42, {0x14}}, {"button_respondtime", -5, 42, {0x00}},
      {"sleep_light", 0, 43, {0x01}},        {"sleep_light", 300, 43, {0x3C}},
      {"e-sports_flag", 0, 44, {0x01}},      {"e-sports_flag", 3, 44, {0x02}},
  };
  for (const Case& c : cases) {
    std::map<std::string, int> rows = inRange;
    rows[c.key] = c.stored;
    const SettingsBlock block = BuildSettingsBlock(ReadSettingsValues([&](const std::string& key) {
      const auto it = rows.find(key);
      return it != rows.end() ? it->second : 0;
    }));
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + c.offset, block.begin() + c.offset + c.bytes.size()), c.bytes)
        << c.key << " " << c.stored;
  }
  // The single-value writes: DPI level 1..6 with 50..26000, report rate 1..4.
  ExpectRequest(BuildSetCurrentDpi(1, 9, 30000),
                {0x00, 0x55, 0x22, 0xAE, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x90, 0x65});
  ExpectRequest(BuildSetCurrentDpi(1, 0, 10),
                {0x00, 0x55, 0x22, 0xAE, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x32, 0x00});
  ExpectRequest(BuildSetReportRate(1, 255), {0x00, 0x55, 0x23, 0xAE, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04});
  ExpectRequest(BuildSetReportRate(1, -1), {0x00, 0x55, 0x23, 0xAE, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01});
}

TEST(SettingsBlockTest, SetSettingsFraming) {
  SettingsBlock block = BuildSettingsBlock(SampleValues());
  CommandBuffer b = BuildSetSettings(3, block);
  std::vector<uint8_t> head = {0x00, 0x55, 0x0F, 0xAE, 0x00, 0x2E, 0x00, 0x00, 0x02, 0x02};
  head.insert(head.end(), block.begin(), block.end());
  ExpectRequest(b, head);
}

TEST(SettingsBlockTest, ReadsValuesWithLimits) {
  std::vector<uint8_t> r = Reply({0xAA, 0x0E});
  const std::vector<uint8_t> block = {
      0x03, 0x02, 0x06, 0x09,                                            // level byte 9 -> index 5
      0x31, 0x00, 0x20, 0x03, 0x40, 0x06, 0x80, 0x0C, 0x91, 0x65, 0x90, 0x65,  // 49 and 26001 skipped
  };
  std::copy(block.begin(), block.end(), r.begin() + 9);
  r[9 + 39] = 1;
  r[9 + 40] = 3;
  r[9 + 41] = 0x31;
  r[9 + 42] = 16;
  r[9 + 43] = 5;
  r[9 + 44] = 1;
  SettingsReadResult res = DecodeSettingsReply(r);
  ASSERT_EQ(res.outcome, SettingsReadResult::kValues);
  std::vector<std::pair<std::string, int>> expected = {
      {"light_mode", 3},       {"report_rate", 2},       {"dpi_flag", 6},
      {"dpi_count", 6},        {"dpi_index", 5},         {"dpi_group1_value", 800},
      {"dpi_group2_value", 1600}, {"dpi_group3_value", 3200}, {"dpi_group5_value", 26000},
      {"scroll_flag", 1},      {"liftoff_height", 3},    {"sensor_flag", 28},
      {"button_respondtime", 16}, {"sleep_light", 5},    {"e-sports_flag", 1},
  };
  EXPECT_EQ(res.rows, expected);

  r[9 + 3] = 0;  // level byte 0 -> index 0
  EXPECT_EQ(DecodeSettingsReply(r).rows[4], (std::pair<std::string, int>{"dpi_index", 0}));
}

TEST(SettingsBlockTest, EmptyUnsetAndForeignReplies) {
  std::vector<uint8_t> r = Reply({0xAA, 0x0E});
  r[12] = 5;  // bytes 9..11 zero
  EXPECT_EQ(DecodeSettingsReply(r).outcome, SettingsReadResult::kEmpty);
  r[9] = 1;
  r[13] = r[14] = r[15] = 0xFF;
  EXPECT_EQ(DecodeSettingsReply(r).outcome, SettingsReadResult::kUnsetInMouse);
  EXPECT_EQ(DecodeSettingsReply(Reply({0xAA, 0x0F, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1})).outcome,
            SettingsReadResult::kNoReply);
  EXPECT_EQ(DecodeSettingsReply(std::vector<uint8_t>{0xAA, 0x0E, 0, 0, 0, 0, 0, 0, 0, 1}).outcome,
            SettingsReadResult::kNoReply);
}

TEST(SettingsBlockTest, SensorBitsBothWays) {
  EXPECT_EQ(SensorFlagToDevice(12), 0x11);
  EXPECT_EQ(SensorFlagToDevice(0x10), 0x20);
  EXPECT_EQ(SensorFlagToDevice(0xE3), 0x00);
  EXPECT_EQ(SensorFlagFromDevice(0x31), 28);
  EXPECT_EQ(SensorFlagFromDevice(0xCE), 0);
}

TEST(SettingsBlockTest, ValuesFromRows) {
  std::map<std::string, int> rows = {{"light_mode", 1}, {"dpi_group5_value", 3200}, {"dpi_group2_rgb", 7},
                                     {"e-sports_flag", 1}};
  SettingsValues v = ReadSettingsValues([&](const std::string& key) {
    auto it = rows.find(key);
    return it == rows.end() ? 0 : it->second;
  });
  EXPECT_EQ(v.light_mode, 1);
  EXPECT_EQ(v.dpi_value[5], 3200);
  EXPECT_EQ(v.dpi_rgb[2], 7);
  EXPECT_EQ(v.esports_flag, 1);
  EXPECT_EQ(v.report_rate, 0);
}

}  // namespace
}  // namespace devsync
