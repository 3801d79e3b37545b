#include "sim/model/standard_mouse.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace sim {
namespace {

using Bytes = std::vector<uint8_t>;

// A 65-byte report from its leading bytes (report id first), zero-filled.
Bytes Report(std::initializer_list<uint8_t> head) {
  Bytes r(65, 0);
  std::copy(head.begin(), head.end(), r.begin());
  return r;
}

// The same with byte 4 set to the sum of bytes 5..64.
Bytes Framed(Bytes r) {
  unsigned sum = 0;
  for (size_t i = 5; i < 65; ++i) sum += r[i];
  r[4] = static_cast<uint8_t>(sum);
  return r;
}

// Request header: 00 55 cmd b3 -- b5 b6 b7 b8, payload from byte 9.
Bytes Command(uint8_t cmd, uint8_t b3, uint8_t b5, uint8_t b8, std::initializer_list<uint8_t> payload = {},
              uint8_t b6 = 0, uint8_t b7 = 0) {
  Bytes r = Report({0x00, 0x55, cmd, b3, 0x00, b5, b6, b7, b8});
  std::copy(payload.begin(), payload.end(), r.begin() + 9);
  return Framed(r);
}

WriteResult Send(StandardMouse& mouse, const Bytes& r) { return mouse.OnOutputReport(r.data(), r.size(), 0); }

// The one reply of an accepted request.
Bytes Reply(StandardMouse& mouse, const Bytes& r) {
  WriteResult w = Send(mouse, r);
  EXPECT_TRUE(w.framing_ok);
  if (w.replies.size() != 1) {
    ADD_FAILURE() << "expected one reply, got " << w.replies.size();
    return Bytes(64, 0);
  }
  EXPECT_EQ(w.replies[0].size(), 64u);
  return w.replies[0];
}

Bytes BlockOf(const StandardMouse& mouse, int profile) {
  std::optional<SettingsBlock> b = mouse.SettingsBlock(profile);
  return b ? Bytes(b->begin(), b->end()) : Bytes();
}

void ExpectIgnored(StandardMouse& mouse, const Bytes& r) {
  const int before = mouse.IgnoredReports();
  WriteResult w = Send(mouse, r);
  EXPECT_TRUE(w.framing_ok);
  EXPECT_TRUE(w.replies.empty());
  EXPECT_EQ(mouse.IgnoredReports(), before + 1);
}

const Bytes kDefaultKeyMapBytes = {0x20, 0x01, 0, 0, 0x20, 0x02, 0, 0, 0x20, 0x04, 0, 0, 0x20, 0x08, 0, 0,
                                   0x20, 0x10, 0, 0, 0x21, 0x55, 0, 0, 0x21, 0x38, 0x01, 0, 0x21, 0x38, 0xFF, 0};

const Bytes kFactoryBlock = {
    0x00, 0x04, 0x06, 0x02,                                                  // light, rate, count, stage
    0x20, 0x03, 0xB0, 0x04, 0x60, 0x09, 0x10, 0x0E, 0x00, 0x19, 0x10, 0x27,  // DPI
    0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF,                    // stage colours
    0x80, 0x00, 0x80, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF,                    //
    0x00, 0x00, 0x00, 0x00, 0x00,                                            // unused
    0x00, 0x01, 0x30, 0x08, 0x14, 0x01};                                     // scroll .. e-sports

TEST(StandardFraming, RejectsWrongLengthChecksumAndReportId) {
  StandardMouse mouse;
  Bytes ok = Command(kCmdGetBattery, 0xA5, 0x2E, 0);
  for (size_t len : {64u, 66u}) {
    Bytes r = ok;
    r.resize(len, 0);
    WriteResult w = Send(mouse, r);
    EXPECT_FALSE(w.framing_ok) << len;
    EXPECT_TRUE(w.replies.empty());
  }
  Bytes bad_sum = ok;
  bad_sum[4] ^= 1;
  EXPECT_FALSE(Send(mouse, bad_sum).framing_ok);
  Bytes bad_id = ok;
  bad_id[0] = 0x01;
  EXPECT_FALSE(Send(mouse, bad_id).framing_ok);
  EXPECT_FALSE(mouse.OnOutputReport(nullptr, 65, 0).framing_ok);
  EXPECT_EQ(mouse.IgnoredReports(), 0);
}

TEST(StandardFraming, ChecksumWrapsAndUnknownRequestsGetNoReply) {
  StandardMouse mouse;
  // Sums that wrap: 0x80 + 0x80 gives 0, 0xFF + 0x02 gives 1. Neither is a
  // command the mouse knows, so they are well framed but unanswered.
  ExpectIgnored(mouse, Report({0x00, 0x55, 0x77, 0xA5, 0x00, 0x80, 0x80}));
  ExpectIgnored(mouse, Report({0x00, 0x55, 0x77, 0xA5, 0x01, 0xFF, 0x02}));
  ExpectIgnored(mouse, Report({0x00}));  // all zero: checksum 0, no 55 marker
  // A known command with a header that does not fit it.
  ExpectIgnored(mouse, Command(kCmdGetKeyMap, 0xAE, 0x20, 0));
  ExpectIgnored(mouse, Command(kCmdGetSettings, 0xA5, 0x20, 0));
}

TEST(StandardLighting, GoldenRequestSetsTheProfilesMode) {
  StandardMouse mouse;
  // Mode 3 in profile 2, checksum 0x03 + 0x01 + 0x03.
  Bytes r = Report({0x00, 0x55, 0x21, 0xA5, 0x07, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x03});
  Bytes reply = Reply(mouse, r);
  EXPECT_EQ(reply[0], 0xAA);
  EXPECT_EQ(reply[1], 0x21);
  EXPECT_EQ(mouse.LightMode(1), 3);
  EXPECT_EQ(mouse.LightMode(0), 0);
  EXPECT_EQ(mouse.CurrentProfile(), 1);
  EXPECT_EQ(mouse.LightMode(), 3);
  EXPECT_EQ(BlockOf(mouse, 1)[0], 3);  // what a settings read gives back
  // Stored "300" arrives as its low byte.
  Reply(mouse, Command(kCmdSetLighting, 0xA5, 0x03, 0, {0, 0, 44}));
  EXPECT_EQ(mouse.LightMode(0), 44);
  EXPECT_EQ(mouse.LightMode(6), std::nullopt);
  ExpectIgnored(mouse, Command(kCmdSetLighting, 0xA5, 0x03, 6, {0, 0, 1}));
}

TEST(StandardBattery, ReplyCarriesLevelAndChargingState) {
  StandardMouse mouse;
  mouse.SetBattery(57, 1);
  Bytes reply = Reply(mouse, Report({0x00, 0x55, 0x30, 0xA5, 0x2E, 0x2E, 0x00, 0x00, 0x00}));
  EXPECT_EQ(reply[0], 0xAA);
  EXPECT_EQ(reply[1], 0x30);
  EXPECT_EQ(reply[8], 57);
  EXPECT_EQ(reply[9], 1);
}

TEST(StandardKeyMaps, FactoryMapsReadBackInEverySlotOfSixProfiles) {
  StandardMouse mouse;
  for (uint8_t p = 0; p < 6; ++p) {
    Bytes reply = Reply(mouse, Command(kCmdGetKeyMap, 0xA5, 0x20, p));
    EXPECT_EQ(reply[1], 0x08);
    EXPECT_EQ(Bytes(reply.begin() + 8, reply.begin() + 40), kDefaultKeyMapBytes) << int(p);
    EXPECT_EQ(Bytes(reply.begin() + 40, reply.begin() + 44), Bytes(4, 0)) << "ninth code";
  }
  ExpectIgnored(mouse, Command(kCmdGetKeyMap, 0xA5, 0x20, 6));
}

TEST(StandardKeyMaps, WrittenMapReadsBackAndLeavesOtherProfiles) {
  StandardMouse mouse;
  // Ctrl+C on slot 0, macro 2 played 5 times on slot 3, the rest defaults.
  Bytes r = Command(kCmdSetKeyMap, 0xA5, 0x20, 2,
                    {0x10, 0x01, 0x06, 0x00, 0x20, 0x02, 0, 0, 0x20, 0x04, 0, 0, 0x70, 0x02, 0x05, 0x00,
                     0x20, 0x10, 0, 0, 0x21, 0x55, 0, 0, 0x21, 0x38, 0x01, 0, 0x21, 0x38, 0xFF, 0});
  Reply(mouse, r);
  StandardKeyMap expected = DefaultKeyMap();
  expected[0] = {0x10, 0x01, 0x06, 0x00};
  expected[3] = {0x70, 0x02, 0x05, 0x00};
  EXPECT_EQ(mouse.KeyMap(2), expected);
  EXPECT_EQ(mouse.KeyMap(1), DefaultKeyMap());
  Bytes back = Reply(mouse, Command(kCmdGetKeyMap, 0xA5, 0x20, 2));
  EXPECT_EQ(Bytes(back.begin() + 8, back.begin() + 12), (Bytes{0x10, 0x01, 0x06, 0x00}));
  EXPECT_EQ(Bytes(back.begin() + 20, back.begin() + 24), (Bytes{0x70, 0x02, 0x05, 0x00}));

  // The reset map (bytes 6, 7 = 1, 1) is taken like a written one.
  Bytes reset = r;
  reset[6] = reset[7] = 1;
  std::copy(kDefaultKeyMapBytes.begin(), kDefaultKeyMapBytes.end(), reset.begin() + 9);
  Reply(mouse, Framed(reset));
  EXPECT_EQ(mouse.KeyMap(2), DefaultKeyMap());

  Bytes half = Command(kCmdSetKeyMap, 0xA5, 0x20, 2, {0x10, 0x01, 0x06}, 1, 0);
  ExpectIgnored(mouse, half);
  ExpectIgnored(mouse, Command(kCmdSetKeyMap, 0xA5, 0x20, 6, {0x10, 0x01, 0x06}));
  EXPECT_EQ(mouse.KeyMap(2), DefaultKeyMap());
}

TEST(StandardSettings, FactoryBlockAndRoundTrip) {
  StandardMouse mouse;
  Bytes reply = Reply(mouse, Command(kCmdGetSettings, 0xA5, 0x2E, 3));
  EXPECT_EQ(reply[1], 0x0E);
  EXPECT_EQ(reply[8], 3);
  EXPECT_EQ(Bytes(reply.begin() + 9, reply.begin() + 54), kFactoryBlock);

  Bytes block = kFactoryBlock;
  block[0] = 5;      // light mode
  block[3] = 6;      // stage 6
  block[14] = 0x90;  // stage 6 at 400 DPI
  block[15] = 0x01;
  block[44] = 2;     // last byte of the block
  Bytes w = Report({0x00, 0x55, 0x0F, 0xAE, 0x00, 0x2E, 0x00, 0x00, 0x03, 0x03});
  std::copy(block.begin(), block.end(), w.begin() + 10);
  Reply(mouse, Framed(w));
  EXPECT_EQ(BlockOf(mouse, 3), block);
  EXPECT_EQ(BlockOf(mouse, 2), kFactoryBlock);
  EXPECT_EQ(mouse.CurrentProfile(), 3);
  EXPECT_EQ(mouse.LightMode(), 5);
  reply = Reply(mouse, Command(kCmdGetSettings, 0xA5, 0x2E, 3));
  EXPECT_EQ(Bytes(reply.begin() + 9, reply.begin() + 54), block);

  // Byte 9 must repeat the profile of byte 8.
  Bytes mismatched = w;
  mismatched[9] = 0x02;
  ExpectIgnored(mouse, Framed(mismatched));
  EXPECT_EQ(BlockOf(mouse, 2), kFactoryBlock);
  ExpectIgnored(mouse, Command(kCmdGetSettings, 0xA5, 0x2E, 6));
}

TEST(StandardDpiAndRate, CurrentValuesAreKeptApartFromTheBlock) {
  StandardMouse mouse;
  // Level 3 at 30000 DPI (0x7530): sent as stored, outside the block's range.
  Reply(mouse, Report({0x00, 0x55, 0x22, 0xAE, 0xAC, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x03, 0x30, 0x75}));
  EXPECT_EQ(mouse.CurrentDpiLevel(), 3);
  EXPECT_EQ(mouse.CurrentDpiValue(), 30000);
  EXPECT_EQ(BlockOf(mouse, 1), kFactoryBlock);
  Reply(mouse, Command(kCmdSetReportRate, 0xAE, 0x03, 1, {0, 0, 2}));
  EXPECT_EQ(mouse.ReportRate(), 2);
  // Levels are 1..6.
  ExpectIgnored(mouse, Command(kCmdSetCurrentDpi, 0xAE, 0x03, 1, {0, 0, 0, 0x20, 0x03}));
  ExpectIgnored(mouse, Command(kCmdSetCurrentDpi, 0xAE, 0x03, 1, {0, 0, 7, 0x20, 0x03}));
  EXPECT_EQ(mouse.CurrentDpiLevel(), 3);
}

TEST(StandardVersion, DigitsInBytes23To25) {
  StandardMouse mouse;
  mouse.SetFirmwareVersion("1a7");
  Bytes reply = Reply(mouse, Report({0x00, 0x55, 0x03}));
  EXPECT_EQ(reply[1], 0x03);
  EXPECT_EQ(reply[23], '1');
  EXPECT_EQ(reply[24], 'a');
  EXPECT_EQ(reply[25], '7');
  ExpectIgnored(mouse, Command(kCmdGetFirmwareVersion, 0x00, 0x00, 1));
}

// Key down A, 50 ms, key up A: one macro at 64.
const Bytes kOneMacroImage = {0x40, 0x00};
const Bytes kOneMacroRecords = {0x32, 0x00, 0x42, 0x04, 0x00, 0x00, 0x82, 0x04};

TEST(StandardMacros, ChunksAreCommittedByTheEndMarker) {
  StandardMouse mouse;
  // Image length 72: a chunk of 56 at 0, then one of 16 at 56.
  Bytes image(112, 0);
  std::copy(kOneMacroImage.begin(), kOneMacroImage.end(), image.begin());
  std::copy(kOneMacroRecords.begin(), kOneMacroRecords.end(), image.begin() + 64);
  Bytes c0 = Report({0x00, 0x55, 0x0D, 0x00, 0x00, 56, 0x00, 0x00, 0x00});
  std::copy(image.begin(), image.begin() + 56, c0.begin() + 9);
  Bytes c1 = Report({0x00, 0x55, 0x0D, 0x00, 0x00, 16, 56, 0x00, 0x00});
  std::copy(image.begin() + 56, image.begin() + 112, c1.begin() + 9);
  Reply(mouse, Framed(c0));
  Reply(mouse, Framed(c1));
  EXPECT_EQ(mouse.MacroImage(), MacroImage{}) << "visible before the end marker";
  Bytes end = Reply(mouse, Report({0x00, 0x55, 0x10, 0xA5}));
  EXPECT_EQ(end[1], 0x10);
  EXPECT_EQ(mouse.MacroCommits(), 1);

  MacroImage got = mouse.MacroImage();
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 2), kOneMacroImage);
  EXPECT_EQ(Bytes(got.begin() + 64, got.begin() + 72), kOneMacroRecords);
  std::vector<DecodedMacro> macros = DecodeMacroImage(got);
  ASSERT_EQ(macros.size(), 1u);
  EXPECT_EQ(macros[0].offset, 64);
  EXPECT_TRUE(macros[0].terminated);
  ASSERT_EQ(macros[0].records.size(), 2u);
  EXPECT_EQ(macros[0].records[0].type, MacroRecord::Type::kKeyDown);
  EXPECT_EQ(macros[0].records[0].code, 0x04);
  EXPECT_EQ(macros[0].records[0].delay, 50);
  EXPECT_FALSE(macros[0].records[0].last);
  EXPECT_EQ(macros[0].records[1].type, MacroRecord::Type::kKeyUp);
  EXPECT_EQ(macros[0].records[1].delay, 0);
  EXPECT_TRUE(macros[0].records[1].last);
}

TEST(StandardMacros, ChunksThatDoNotFitAreRefused) {
  StandardMouse mouse;
  ExpectIgnored(mouse, Report({0x00, 0x55, 0x0D, 0x00, 0x00, 0x00}));                           // empty
  ExpectIgnored(mouse, Framed(Report({0x00, 0x55, 0x0D, 0x00, 0x00, 57, 0x00, 0x00, 0x00, 1}))); // too long
  // 4200 (0x1068) + 56 runs past 4224; + 24 ends on it.
  ExpectIgnored(mouse, Framed(Report({0x00, 0x55, 0x0D, 0x00, 0x00, 56, 0x68, 0x10, 0x00, 0xEE})));
  ExpectIgnored(mouse, Framed(Report({0x00, 0x55, 0x0D, 0x00, 0x00, 8, 0xFF, 0xFF, 0x00, 0xEE})));
  Bytes last = Report({0x00, 0x55, 0x0D, 0x00, 0x00, 24, 0x68, 0x10, 0x00});
  std::fill(last.begin() + 9, last.end(), 0xEE);
  Reply(mouse, Framed(last));
  Reply(mouse, Report({0x00, 0x55, 0x10, 0xA5}));
  MacroImage got = mouse.MacroImage();
  EXPECT_EQ(got[4199], 0);
  EXPECT_EQ(got[4200], 0xEE);
  EXPECT_EQ(got[4223], 0xEE);
}

TEST(StandardMacroDecode, MovesEmptyMacrosAndBrokenOffsets) {
  MacroImage img{};
  auto put16 = [&](size_t at, uint16_t v) { img[at] = v & 0xFF; img[at + 1] = v >> 8; };
  put16(0, 64);   // macro 0: empty
  put16(2, 68);   // macro 1: a move, then a wheel step
  put16(6, 10);   // macro 3: points into the table
  const Bytes records = {0x00, 0x00, 0x80, 0x00,   // empty macro
                         0x0A, 0xC0, 0x46, 0x3F,   // move x 3 y 15, both negative, 10 ms
                         0x01, 0x00, 0xC4, 0xFF};  // wheel down, last
  std::copy(records.begin(), records.end(), img.begin() + 64);
  std::vector<DecodedMacro> m = DecodeMacroImage(img);
  ASSERT_EQ(m.size(), 4u);
  ASSERT_EQ(m[0].records.size(), 1u);
  EXPECT_TRUE(m[0].records[0].last);
  ASSERT_EQ(m[1].records.size(), 2u);
  const MacroRecord& move = m[1].records[0];
  EXPECT_EQ(move.type, MacroRecord::Type::kMove);
  EXPECT_EQ(move.delay, 10);
  EXPECT_EQ(move.move_x, 3);
  EXPECT_EQ(move.move_y, 15);
  EXPECT_TRUE(move.x_negative);
  EXPECT_TRUE(move.y_negative);
  EXPECT_EQ(m[1].records[1].type, MacroRecord::Type::kWheel);
  EXPECT_EQ(m[1].records[1].code, 0xFF);
  EXPECT_EQ(m[2].offset, 0);
  EXPECT_TRUE(m[2].records.empty());
  EXPECT_TRUE(m[3].records.empty());
  EXPECT_FALSE(m[3].terminated);

  // A macro without its last-event record stops at the end of the image.
  MacroImage open{};
  open[0] = 0x7C;  // 4220: the last record
  open[1] = 0x10;
  open[4222] = 0x42;
  std::vector<DecodedMacro> o = DecodeMacroImage(open);
  ASSERT_EQ(o.size(), 1u);
  EXPECT_EQ(o[0].records.size(), 1u);
  EXPECT_FALSE(o[0].terminated);
}

TEST(StandardNotifications, LayoutAndStateChange) {
  StandardMouse mouse;
  InputReport n = mouse.MakeNotification(kNotifyDpiAndRate, 4, 3);
  Bytes expected(64, 0);
  expected[0] = 0xAA;
  expected[1] = 0xFA;
  expected[8] = 0x10;
  expected[9] = 4;
  expected[10] = 3;
  EXPECT_EQ(n, expected);
  EXPECT_EQ(mouse.CurrentDpiLevel(), 4);
  EXPECT_EQ(mouse.CurrentDpiValue(), 3600);
  EXPECT_EQ(mouse.ReportRate(), 3);

  // A lost value reaches the program but changes nothing in the mouse.
  n = mouse.MakeNotification(kNotifyDpiAndRate, 0xFF, 1);
  EXPECT_EQ(n[9], 0xFF);
  EXPECT_EQ(mouse.CurrentDpiLevel(), 4);
  EXPECT_EQ(mouse.ReportRate(), 3);

  mouse.MakeNotification(kNotifyLightMode, 6, 0);
  EXPECT_EQ(mouse.LightMode(), 6);
  mouse.MakeNotification(kNotifyBattery, 42, 1);
  EXPECT_EQ(mouse.BatteryLevel(), 42);
  EXPECT_EQ(mouse.BatteryCharging(), 1);
  n = mouse.MakeNotification(kNotifyEmoji, 64, 0);
  EXPECT_EQ(n[8], 0x50);
  EXPECT_EQ(n[9], 64);
}

}  // namespace
}  // namespace sim
