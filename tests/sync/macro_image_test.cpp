#include "sync/macro_image.h"

#include <gtest/gtest.h>

#include <vector>

namespace devsync {
namespace {

using Macro = std::vector<MacroEventIn>;

MacroEventIn Ev(int type, int value, std::u16string desc = u"") { return {type, value, std::move(desc)}; }

std::vector<uint8_t> Bytes(const MacroImage& image, size_t offset, size_t count) {
  return std::vector<uint8_t>(image.bytes.begin() + offset, image.bytes.begin() + offset + count);
}

uint16_t StartOffset(const MacroImage& image, int i) { return image.bytes[2 * i] | (image.bytes[2 * i + 1] << 8); }

TEST(MacroImageEncode, KeyDownDelayKeyUp) {
  std::vector<Macro> macros = {{Ev(kEventKeyDown, 'A'), Ev(kEventDelay, 50), Ev(kEventKeyUp, 'A')}};
  MacroImage image = EncodeMacroImage(macros);
  EXPECT_EQ(StartOffset(image, 0), 64);
  EXPECT_EQ(Bytes(image, 64, 8), (std::vector<uint8_t>{0x32, 0x00, 0x42, 0x04, 0x00, 0x00, 0x82, 0x04}));
  EXPECT_EQ(image.length, 72u);
  EXPECT_FALSE(image.truncated);
}

TEST(MacroImageEncode, NoMacrosIsTheTableAlone) {
  MacroImage image = EncodeMacroImage({});
  EXPECT_EQ(image.length, 64u);
  EXPECT_EQ(MacroChunkCount(image.length), 2u);
  for (uint8_t b : image.bytes) ASSERT_EQ(b, 0);
}

TEST(MacroImageEncode, GapsTrailingDelaysAndEmptyMacros) {
  std::vector<Macro> macros = {
      {Ev(kEventButtonDown, 1), Ev(kEventButtonUp, 1), Ev(kEventDelay, 300), Ev(kEventDelay, 700)},
      {},
      {Ev(kEventKeyDown, 160), Ev(kEventKeyUp, 160)},  // left Shift is a modifier
  };
  MacroImage image = EncodeMacroImage(macros);
  EXPECT_EQ(StartOffset(image, 0), 64);
  EXPECT_EQ(StartOffset(image, 1), 72);
  EXPECT_EQ(StartOffset(image, 2), 76);
  EXPECT_EQ(Bytes(image, 64, 20), (std::vector<uint8_t>{
                                      0x0A, 0x00, 0x43, 0x01,   // no delay between: 10 ms
                                      0xE8, 0x03, 0x83, 0x01,   // 1000 ms after the last event
                                      0x00, 0x00, 0x80, 0x00,   // the empty macro
                                      0x0A, 0x00, 0x41, 0xE1,
                                      0x00, 0x00, 0x81, 0xE1}));
  EXPECT_EQ(image.length, 84u);
}

TEST(MacroImageEncode, EventKinds) {
  std::vector<Macro> macros = {{
      Ev(kEventButtonDown, 1, u"↑  Scroll Up"),
      Ev(kEventButtonUp, 2, u"↓  Scroll Down"),
      Ev(kEventWheelUp, 0),
      Ev(kEventWheelDown, 0),
      Ev(kEventMoveLeft, 300),
      Ev(kEventMoveXY, 0x8385),   // x 5 right... x byte 0x85: left 5; y byte 0x83: up 3
      Ev(kEventMoveXY, 0x0714),   // x 20 saturates at 15, y 7
      Ev(kEventKeyDown, 17),      // generic Ctrl has no usage
      Ev(99, 5),
  }};
  MacroImage image = EncodeMacroImage(macros);
  EXPECT_EQ(Bytes(image, 64, 36), (std::vector<uint8_t>{
                                      0x0A, 0x00, 0x44, 0x01,
                                      0x0A, 0x00, 0x44, 0xFF,
                                      0x0A, 0x00, 0x44, 0x01,
                                      0x0A, 0x00, 0x44, 0xFF,
                                      0x0A, 0x00, 0x46, 0xFF,
                                      0x0A, 0xC0, 0x46, 0x53,
                                      0x0A, 0x00, 0x46, 0xF7,
                                      0x0A, 0x00, 0x42, 0x00,
                                      0x00, 0x00, 0x80, 0x00}));
}

TEST(MacroImageEncode, DelaysSaturateInTheirField) {
  std::vector<Macro> macros = {{Ev(kEventKeyDown, 'A'), Ev(kEventDelay, 70000), Ev(kEventMoveXY, 0x8080),
                                Ev(kEventDelay, 40000), Ev(kEventDelay, 40000)}};
  MacroImage image = EncodeMacroImage(macros);
  EXPECT_EQ(Bytes(image, 64, 8), (std::vector<uint8_t>{0xFF, 0xFF, 0x42, 0x04, 0xFF, 0xFF, 0xC6, 0x00}));
}

TEST(MacroImageEncode, LeadingDelaysStayInTheirMacro) {
  std::vector<Macro> macros = {
      {Ev(kEventKeyDown, 'A')},
      {Ev(kEventDelay, 500), Ev(kEventKeyDown, 'B')},
      {Ev(kEventDelay, 200), Ev(kEventDelay, 100)},  // delay only
      {Ev(kEventKeyDown, 'C')},
  };
  MacroImage image = EncodeMacroImage(macros);
  EXPECT_EQ(StartOffset(image, 0), 64);
  EXPECT_EQ(StartOffset(image, 1), 68);
  EXPECT_EQ(StartOffset(image, 2), 72);
  EXPECT_EQ(StartOffset(image, 3), 76);
  EXPECT_EQ(Bytes(image, 64, 16), (std::vector<uint8_t>{
                                      0x00, 0x00, 0xC2, 0x04,   // nothing of the next macro's 500 ms
                                      0x00, 0x00, 0xC2, 0x05,
                                      0x2C, 0x01, 0x80, 0x00,   // 300 ms, a record of its own
                                      0x00, 0x00, 0xC2, 0x06}));
}

TEST(MacroImageEncode, AtMostThirtyTwoMacros) {
  std::vector<Macro> macros(33, Macro{Ev(kEventKeyDown, 'A')});
  MacroImage image = EncodeMacroImage(macros);
  EXPECT_EQ(image.macrosEncoded, 32);
  EXPECT_EQ(image.macrosWhole, 32);
  EXPECT_TRUE(image.truncated);
  EXPECT_EQ(StartOffset(image, 31), 64 + 31 * 4);
  EXPECT_EQ(image.length, 64u + 32 * 4);
}

TEST(MacroImageEncode, RecordsRunOutInsideTheImage) {
  Macro big;
  for (int i = 0; i < 1100; ++i) big.push_back(Ev(i % 2 ? kEventKeyUp : kEventKeyDown, 'A'));
  std::vector<Macro> macros = {{Ev(kEventKeyDown, 'B')}, big, {Ev(kEventKeyDown, 'C')}};
  MacroImage image = EncodeMacroImage(macros);
  EXPECT_TRUE(image.truncated);
  EXPECT_EQ(image.length, kMacroImageSize);
  EXPECT_EQ(image.macrosEncoded, 2);
  EXPECT_EQ(image.macrosWhole, 1);  // the big one is cut
  EXPECT_EQ(StartOffset(image, 2), 0);
  // The last record written ends the macro.
  EXPECT_EQ(image.bytes[kMacroImageSize - 2] & 0x80, 0x80);
  EXPECT_EQ(image.bytes[kMacroImageSize - 6] & 0x80, 0);

  EXPECT_EQ(MacroChunkCount(image.length), 76u);
  CommandBuffer last = BuildMacroData(image, 75);
  EXPECT_EQ(last[5], 24);  // 4224 - 75 * 56
  EXPECT_EQ(last[6], 0x68);
  EXPECT_EQ(last[7], 0x10);
  for (size_t i = 9 + 24; i < kCommandBufferSize; ++i) ASSERT_EQ(last[i], 0) << i;
}

TEST(MacroImageChunks, LayoutAndLengths) {
  std::vector<Macro> macros = {{Ev(kEventKeyDown, 'A'), Ev(kEventDelay, 50), Ev(kEventKeyUp, 'A')}};
  MacroImage image = EncodeMacroImage(macros);
  ASSERT_EQ(MacroChunkCount(image.length), 2u);
  CommandBuffer first = BuildMacroData(image, 0);
  std::vector<uint8_t> head = {0x00, 0x55, 0x0D, 0x00, 0x00, 56, 0x00, 0x00, 0x00, 64, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(first.begin(), first.begin() + 11), head);
  CommandBuffer second = BuildMacroData(image, 1);
  std::vector<uint8_t> expected = {0x00, 0x55, 0x0D, 0x00, 0x00, 16, 56, 0x00, 0x00,
                                   0, 0, 0, 0, 0, 0, 0, 0, 0x32, 0x00, 0x42, 0x04, 0x00, 0x00, 0x82, 0x04};
  EXPECT_EQ(std::vector<uint8_t>(second.begin(), second.begin() + expected.size()), expected);
  for (size_t i = expected.size(); i < kCommandBufferSize; ++i) ASSERT_EQ(second[i], 0) << i;

  EXPECT_EQ(MacroChunkCount(112), 2u);
  EXPECT_EQ(MacroChunkCount(113), 3u);
  MacroImage table;  // 64 bytes: 56 then 8
  EXPECT_EQ(BuildMacroData(table, 0)[5], 56);
  EXPECT_EQ(BuildMacroData(table, 1)[5], 8);
}

}  // namespace
}  // namespace devsync
