#include "sync/nordic_protocol.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace devsync::nordic {
namespace {

using Bytes = std::vector<uint8_t>;

// The given leading bytes, zeros after.
Payload P(Bytes head) {
  Payload p{};
  std::copy(head.begin(), head.end(), p.begin());
  return p;
}

TEST(NordicSettings, WriteKeepsTheMousesBytesAndOwnsItsFields) {
  Payload cache{};
  for (size_t i = 0; i < cache.size(); ++i) cache[i] = 0x99;
  cache[4] = 0xFF;  // every flag set, the five options among them
  SettingsValues v;
  v.sensor_flag = 4;
  v.scroll_flag = 1;
  v.esports_flag = 2;
  v.report_rate = 4;
  v.dpi_index = 2;
  v.dpi_value = {800, 1600, 3200, 6400, 12800, 100};
  v.liftoff_height = 2;
  v.button_respondtime = 7;
  Payload expected = cache;
  const Bytes head = {0x04, 0x00, 0xBB, 0x02, 0x5E, 0x04, 0x1F, 0x02,
                      0x20, 0x03, 0x20, 0x03, 0x40, 0x06, 0x40, 0x06, 0x80, 0x0C, 0x80, 0x0C,
                      0x00, 0x19, 0x00, 0x19, 0x00, 0x32, 0x00, 0x32, 0x64, 0x00, 0x64, 0x00};
  std::copy(head.begin(), head.end(), expected.begin());
  expected[50] = 0x02;
  expected[61] = 0x07;
  EXPECT_EQ(BuildWriteSettings(0, cache, v), expected);

  // Options switched off clear their bits; values beyond a byte's range are limited.
  cache.fill(0);
  cache[4] = 0x30 | 0x80 | 0x40 | 0x01;
  SettingsValues wide;
  wide.report_rate = 9;
  wide.dpi_index = 7;
  wide.dpi_value = {70000, -5, 0, 0, 0, 0};
  wide.liftoff_height = 0;
  wide.button_respondtime = 25;
  const Payload out = BuildWriteSettings(1, cache, wide);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 16),
            (Bytes{0x44, 0x00, 0xBB, 0x02, 0x00, 0x06, 0x1F, 0x05, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
  EXPECT_EQ(out[50], 1);
  EXPECT_EQ(out[61], 20);
}

TEST(NordicSettings, ReplyRows) {
  Payload reply = P({0x04, 0x00, 0xBB, 0x01, 0x30 | 0x80, 0x05, 0x1F, 0x03,
                     0x20, 0x03, 0x20, 0x03, 0xB0, 0x04, 0, 0, 0x60, 0x09, 0, 0, 0x10, 0x0E, 0, 0,
                     0x00, 0x19, 0, 0, 0x10, 0x27, 0, 0});
  reply[50] = 2;
  reply[61] = 9;
  const std::vector<std::pair<std::string, int>> rows = {
      {"sensor_flag", 20}, {"scroll_flag", 2}, {"e-sports_flag", 1}, {"report_rate", 5}, {"dpi_flag", 31},
      {"dpi_index", 3}, {"dpi_group0_value", 800}, {"dpi_group1_value", 1200}, {"dpi_group2_value", 2400},
      {"dpi_group3_value", 3600}, {"dpi_group4_value", 6400}, {"dpi_group5_value", 10000}, {"liftoff_height", 2},
      {"button_respondtime", 9}};
  EXPECT_EQ(DecodeSettingsRows(reply), rows);
}

TEST(NordicKeys, DecodeTable) {
  const struct {
    KeyActionCode code;
    int kind, value, value2;
    std::u16string desc;  // kind 0: nothing stored
  } rows[] = {
      {{0xFF, 0xFF, 0x01, 0x02}, 0, 0, 0, u""},
      {{0x00, 0x00, 0x00, 0x00}, 24, 1, 0, u"139"},
      {{0x00, 0x01, 0x06, 0x07}, 105, 11, 0, u"31"},
      {{0x00, 0x00, 0x3E, 0x00}, 105, 8, 0, u"133"},
      {{0x00, 0x01, 0x3E, 0x00}, 22, 0x3E, 1, u"Ctrl + F5"},
      {{0x00, 0x03, 0x04, 0x00}, 22, 4, 3, u"Shift+ Ctrl + A"},
      {{0x00, 0x02, 0x00, 0x00}, 22, 0, 2, u"Shift"},
      {{0x01, 0x00, 0xF0, 0x00}, 1, 1, 0, u"106"},
      {{0x01, 0x05, 0xF2, 0x09}, 2, 1, 0, u"108"},
      {{0x01, 0x00, 0xF9, 0x00}, 4, 1, 0, u"111"},
      {{0x01, 0x00, 0xF3, 0x00}, 6, 1, 0, u"109"},
      {{0x01, 0x00, 0xF8, 0x01}, 7, 1, 0, u"112"},
      {{0x01, 0x00, 0xF8, 0xFF}, 8, 1, 0, u"113"},
      {{0x01, 0x00, 0xF8, 0x00}, 8, 1, 0, u"113"},
      {{0x01, 0x00, 0xF5, 0x00}, 0, 0, 0, u""},
      {{0x03, 0x00, 0xB5, 0x00}, 25, 5, 0, u"123"},
      {{0x03, 0x00, 0xCD, 0x00}, 25, 2, 0, u"121"},
      {{0x03, 0x04, 0xE2, 0x09}, 25, 8, 0, u"119"},
      {{0x03, 0x07, 0x83, 0x01}, 25, 1, 0, u"120"},
      {{0x03, 0x00, 0x83, 0x00}, 0, 0, 0, u""},
      {{0x03, 0x00, 0x6F, 0x05}, 105, 1, 0, u"127"},
      {{0x03, 0x00, 0x92, 0x01}, 105, 3, 0, u"129"},
      {{0x03, 0x00, 0x92, 0x00}, 0, 0, 0, u""},
      {{0x03, 0x00, 0x23, 0x02}, 105, 6, 0, u"131"},
      {{0x03, 0x00, 0x27, 0x02}, 105, 8, 0, u"133"},
      {{0x07, 0x00, 0x01, 0x00}, 15, 1, 0, u"DPI +"},
      {{0x07, 0x00, 0x03, 0x00}, 17, 1, 0, u"DPI Loop"},
      {{0x07, 0x00, 0x00, 0x00}, 0, 0, 0, u""},
      {{0x0A, 0x05, 0x06, 0x07}, 105, 0, 0, u""},
      {{0x09, 0x01, 0x00, 0x00}, 0, 0, 0, u""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << int(r.code[0]) << " " << int(r.code[1]) << " " << int(r.code[2])
                                    << " " << int(r.code[3]));
    const auto row = DecodeKeyAction(7, r.code);
    ASSERT_EQ(row.has_value(), r.kind != 0);
    if (!row) continue;
    EXPECT_EQ(row->key_code, 8);
    EXPECT_EQ(row->macro_type, r.kind);
    EXPECT_EQ(row->macro_value, r.value);
    EXPECT_EQ(row->macro_value2, r.value2);
    EXPECT_EQ(row->macro_desc, r.desc);
  }
}

TEST(NordicKeys, EncodeTable) {
  using Code = std::optional<KeyActionCode>;
  const MacroRef counted{0, 5, 2};
  const struct {
    ButtonAction action;
    std::optional<MacroRef> macro;
    Code code;
  } rows[] = {
      {{24, 1}, {}, KeyActionCode{0x00, 0x00, 0x00, 0x00}},
      {{1, 1}, {}, KeyActionCode{0x01, 0x00, 0xF0, 0x00}},
      {{6, 1}, {}, KeyActionCode{0x01, 0x00, 0xF3, 0x00}},
      {{7, 1}, {}, KeyActionCode{0x01, 0x00, 0xF8, 0x01}},
      {{8, 1}, {}, KeyActionCode{0x01, 0x00, 0xF8, 0xFF}},
      {{15, 1}, {}, KeyActionCode{0x07, 0x00, 0x01, 0x00}},
      {{18, 1}, {}, KeyActionCode{0x07, 0x00, 0x00, 0x00}},
      {{22, 0x04, 0x01}, {}, KeyActionCode{0x00, 0x01, 0x04, 0x00}},
      {{22, 0xE1, 0x00}, {}, KeyActionCode{0x00, 0x02, 0x00, 0x00}},
      {{22, 0xE1, 0x01}, {}, KeyActionCode{0x00, 0x01, 0x02, 0x00}},
      {{23, 7}, counted, KeyActionCode{0x09, 0x04, 0x02, 0x00}},
      {{23, 7}, MacroRef{0, 1, 0}, KeyActionCode{0x09, 0x01, 0x00, 0x00}},
      {{23, 7}, MacroRef{1, 9, 3}, KeyActionCode{0x09, 0x02, 0x03, 0x00}},
      {{23, 7}, {}, Code{}},
      {{101, 4}, {}, KeyActionCode{0x01, 0x00, 0xF9, 0x00}},
      {{101, 9}, {}, KeyActionCode{0x01, 0x00, 0xF5, 0x00}},
      {{101, 8}, {}, KeyActionCode{0x01, 0x00, 0xF8, 0xFF}},
      {{101, 11}, {}, KeyActionCode{0x01, 0x00, 0x00, 0x00}},
      {{102, 2}, {}, KeyActionCode{0x07, 0x00, 0x02, 0x00}},
      {{102, 5}, {}, KeyActionCode{0x07, 0x00, 0x00, 0x00}},
      {{25, 1}, {}, KeyActionCode{0x03, 0x00, 0x83, 0x01}},
      {{25, 2}, {}, KeyActionCode{0x03, 0x00, 0xCD, 0x00}},
      {{25, 9}, {}, KeyActionCode{0x03, 0x00, 0x00, 0x00}},
      {{105, 1}, {}, KeyActionCode{0x03, 0x00, 0x6F, 0x00}},
      {{105, 3}, {}, KeyActionCode{0x03, 0x00, 0x92, 0x01}},
      {{105, 8}, {}, KeyActionCode{0x00, 0x00, 0x3E, 0x00}},
      {{105, 9}, {}, KeyActionCode{0x0A, 0x01, 0x00, 0x00}},
      {{105, 5}, {}, KeyActionCode{0x03, 0x00, 0x00, 0x00}},
      {{104, 1024 + 0x41, 5, 0x0233}, {}, KeyActionCode{0x12, 0x41, 0x33, 0x05}},
      {{104, 65, 0, 0x0102}, {}, KeyActionCode{0x31, 0x04, 0x02, 0x00}},
      // Stored values beyond their bytes are limited, never wrapped.
      {{22, 0x1E1, 0}, {}, KeyActionCode{0x00, 0x00, 0xFF, 0x00}},
      {{22, 0x04, 0x1FF}, {}, KeyActionCode{0x00, 0xFF, 0x04, 0x00}},
      {{22, 0x04, -1}, {}, KeyActionCode{0x00, 0x00, 0x04, 0x00}},
      {{104, 65, 0, 0x10102}, {}, KeyActionCode{0xFF, 0x04, 0xFF, 0x00}},
      {{104, 65, -1, -1}, {}, KeyActionCode{0x30, 0x04, 0x00, 0x00}},
  };
  for (const auto& r : rows)
    EXPECT_EQ(EncodeKeyAction(r.action, r.macro), r.code) << "kind " << r.action.kind << " value " << r.action.value;
  // Kinds this family has no code for leave the slot as the mouse had it.
  for (int kind : {0, 4, 9, 10, 11, 12, 13, 14, 19, 20, 21, 26, 27, 103})
    EXPECT_EQ(EncodeKeyAction({kind, 1}, counted), Code{}) << kind;
}

TEST(NordicKeys, ButtonSlots) {
  const int slots[][2] = {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 8}, {7, 9}, {8, 7}, {9, -1}, {0, -1}, {16, -1}};
  for (const auto& s : slots) EXPECT_EQ(SlotOfButton(s[0]), s[1]) << s[0];
  for (int slot = -1; slot <= 9; ++slot) EXPECT_EQ(IsDecodedSlot(slot), slot >= 0 && slot <= 8 && slot != 5 && slot != 6);
}

std::vector<MacroEventIn> Events(std::initializer_list<std::pair<int, int>> list, const char16_t* desc = u"") {
  std::vector<MacroEventIn> out;
  for (const auto& [type, value] : list) out.push_back({type, value, desc});
  return out;
}

TEST(NordicMacros, FourEventsInOneRequestFiveInTwo) {
  // A leading delay goes nowhere; a delay becomes the event before it; the last keeps 10.
  const auto four = Events({{1, 30}, {2, 65}, {1, 50}, {3, 65}, {2, 160}, {3, 160}});
  const MacroImage image = EncodeMacroImage({0, 3, 500}, four);
  EXPECT_EQ(image.length, 56u);
  const Bytes head = {0x04, 0x03};
  const Bytes tail = {0xF4, 0x01, 0x04, 0x00, 0x01, 0x04, 0x32, 0x00, 0x81, 0x04, 0x0A, 0x00,
                      0x02, 0xE1, 0x0A, 0x00, 0x82, 0xE1, 0x0A, 0x00};
  Payload one = P({0x47, 0x00, 0xBA, 0x02, 0x03, 0x04, 0x03});
  std::copy(tail.begin(), tail.end(), one.begin() + 5 + 36);
  EXPECT_EQ(BuildMacroRequests(1, 3, image), std::vector<Payload>{one});

  auto five = four;
  five.push_back({4, 1, u"\u2193  LB"});
  const auto requests = BuildMacroRequests(0, 0, EncodeMacroImage({1, 1, 0}, five));
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(Bytes(requests[0].begin(), requests[0].begin() + 7), (Bytes{0x07, 0x00, 0xBC, 0x02, 0x00, 0x02, 0x01}));
  EXPECT_EQ(requests[1], P({0x07, 0x01, 0x84, 0x02, 0x00, 0x0A, 0x00}));
  EXPECT_EQ(Bytes(requests[0].begin() + 5 + 52, requests[0].begin() + 5 + 58),
            (Bytes{0x82, 0xE1, 0x0A, 0x00, 0x04, 0x01}));
}

TEST(NordicMacros, RecordsOfEveryKindAndLimits) {
  std::vector<MacroEventIn> events = {{4, 4, u"\u2193  MB"},           {5, 4, u""},
                                      {4, 1, u"\u2191  Scroll Up"},    {5, 2, u"\u2191  Scroll Up"},
                                      {4, 1, u"\u2193  Scroll Down"},  {5, 2, u"\u2193  Scroll Down"},
                                      {6, 3, u""}, {7, 3, u""}, {8, 3, u""}, {9, 3, u""}, {10, 3, u""},
                                      {11, 3, u""}, {12, 0x8383, u""}, {1, 40000, u""}, {1, 40000, u""},
                                      {1, INT_MAX, u""}, {2, 65, u""}};
  const MacroImage image = EncodeMacroImage({0, 300, 70000}, events);
  const Bytes codes = {0x04, 0x04, 0x84, 0x04, 0x05, 0x01, 0x85, 0x00, 0x05, 0xFF, 0x85, 0x00, 0x05, 0xFF,
                       0x05, 0x01, 0x07, 0xFF, 0x07, 0x01, 0x06, 0xFF, 0x06, 0x01, 0x00, 0x00, 0x01, 0x04};
  for (size_t k = 0; k < codes.size() / 2; ++k) {
    EXPECT_EQ(image.bytes[40 + 4 * k], codes[2 * k]) << k;
    EXPECT_EQ(image.bytes[41 + 4 * k], codes[2 * k + 1]) << k;
  }
  EXPECT_EQ(Bytes(image.bytes.begin(), image.bytes.begin() + 2), (Bytes{0x04, 0xFF}));  // count 300 held at 255
  EXPECT_EQ(Bytes(image.bytes.begin() + 36, image.bytes.begin() + 40), (Bytes{0xFF, 0xFF, 0x0E, 0x00}));
  EXPECT_EQ(Bytes(image.bytes.begin() + 40 + 4 * 12 + 2, image.bytes.begin() + 40 + 4 * 13), (Bytes{0xFF, 0xFF}));
  EXPECT_EQ(EncodeMacroImage({0, 0, 0}, {}).bytes[1], 1);

  // A full image: 246 records, the rest left out, and a last chunk of 38 bytes.
  const MacroImage full = EncodeMacroImage({0, 1, 0}, std::vector<MacroEventIn>(300, {2, 65, u""}));
  EXPECT_EQ(full.length, 1024u);
  EXPECT_TRUE(full.truncated);
  const auto chunks = BuildMacroRequests(0, 1, full);
  ASSERT_EQ(chunks.size(), 18u);
  EXPECT_EQ(Bytes(chunks[17].begin(), chunks[17].begin() + 5), (Bytes{0x07, 0x11, 0xA8, 0x02, 0x01}));
  EXPECT_EQ(chunks[17][5 + 36], 0x0A);  // the last record's delay, from image byte 1022
  EXPECT_EQ(Bytes(chunks[17].begin() + 5 + 38, chunks[17].end()), Bytes(21, 0));
}

}  // namespace
}  // namespace devsync::nordic
