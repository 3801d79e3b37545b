#include "sim/model/nordic_mouse.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace sim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Payload(std::initializer_list<uint8_t> head) {
  Bytes p(64, 0);
  std::copy(head.begin(), head.end(), p.begin());
  return p;
}

// The 65-byte report of a payload: id 0, payload bytes 0..62, 0xA1 - sum.
Bytes Frame(const Bytes& payload) {
  Bytes r(65, 0);
  unsigned sum = 0;
  for (size_t i = 0; i < 63; ++i) {
    r[i + 1] = payload[i];
    sum += payload[i];
  }
  r[64] = static_cast<uint8_t>(0xA1 - sum);
  return r;
}

WriteResult Send(NordicMouse& mouse, const Bytes& payload, int dev_mode = 0) {
  Bytes r = Frame(payload);
  return mouse.OnOutputReport(r.data(), r.size(), dev_mode);
}

Bytes Reply(NordicMouse& mouse, const Bytes& payload, int dev_mode = 0) {
  WriteResult w = Send(mouse, payload, dev_mode);
  EXPECT_TRUE(w.framing_ok);
  if (w.replies.size() != 1) {
    ADD_FAILURE() << "expected one reply, got " << w.replies.size();
    return Bytes(64, 0);
  }
  EXPECT_EQ(w.replies[0].size(), 64u);
  return w.replies[0];
}

void ExpectIgnored(NordicMouse& mouse, const Bytes& payload, int dev_mode = 0) {
  const int before = mouse.IgnoredReports();
  WriteResult w = Send(mouse, payload, dev_mode);
  EXPECT_TRUE(w.framing_ok);
  EXPECT_TRUE(w.replies.empty());
  EXPECT_EQ(mouse.IgnoredReports(), before + 1);
}

Bytes Tail(const NordicBlock& b) { return Bytes(b.begin() + 4, b.end()); }

const Bytes kFactorySettings = [] {
  Bytes s = {0x30, 0x03, 0x1F, 0x01,                          // flags, rate, count, stage
             0x20, 0x03, 0x20, 0x03, 0xB0, 0x04, 0xB0, 0x04,  // 800, 1200
             0x60, 0x09, 0x60, 0x09, 0x10, 0x0E, 0x10, 0x0E,  // 2400, 3600
             0x00, 0x19, 0x00, 0x19, 0x10, 0x27, 0x10, 0x27}; // 6400, 10000
  s.resize(60, 0);
  s[50 - 4] = 0x01;  // lift-off
  s[61 - 4] = 0x04;  // response time
  return s;
}();

TEST(NordicFraming, ChecksumLengthAndReportId) {
  NordicMouse mouse;
  // Golden status request: 01 00 81 01, checksum 0xA1 - 0x83.
  Bytes r(65, 0);
  r[1] = 0x01;
  r[3] = 0x81;
  r[4] = 0x01;
  r[64] = 0x1E;
  WriteResult w = mouse.OnOutputReport(r.data(), r.size(), 0);
  EXPECT_TRUE(w.framing_ok);
  ASSERT_EQ(w.replies.size(), 1u);

  Bytes bad = r;
  bad[64] = 0x1F;
  EXPECT_FALSE(mouse.OnOutputReport(bad.data(), bad.size(), 0).framing_ok);
  EXPECT_FALSE(mouse.OnOutputReport(r.data(), 64, 0).framing_ok);
  Bytes id = r;
  id[0] = 1;
  EXPECT_FALSE(mouse.OnOutputReport(id.data(), id.size(), 0).framing_ok);

  // All zeros with 0xA1 is well framed; command 0 without the read marker is unknown.
  Bytes zeros(65, 0);
  zeros[64] = 0xA1;
  w = mouse.OnOutputReport(zeros.data(), zeros.size(), 0);
  EXPECT_TRUE(w.framing_ok);
  EXPECT_TRUE(w.replies.empty());
  ExpectIgnored(mouse, Payload({0x05, 0x00, 0x81, 0x01}));
  ExpectIgnored(mouse, Payload({0x01, 0x01, 0x81, 0x01}));  // byte 1 must be 0
}

TEST(NordicStatus, ReplyLayoutAndChannels) {
  NordicMouse mouse;
  mouse.SetBattery(77, 1);
  mouse.SetMaxReportRateLevel(5);
  Bytes reply = Reply(mouse, Payload({0x01, 0x00, 0x81, 0x01}));
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 11),
            (Bytes{0x01, 0x00, 0x8C, 0x01, 0x08, 1, 77, 0, 1, 3, 5}));

  // Behind a receiver only channel 1 reaches the mouse; channel 0 is the receiver's.
  ExpectIgnored(mouse, Payload({0x01, 0x00, 0x81, 0x01}), 1);
  reply = Reply(mouse, Payload({0x41, 0x00, 0x81, 0x01}), 3);
  EXPECT_EQ(reply[0], 0x41);
  EXPECT_EQ(reply[2], 0x8C);
  ExpectIgnored(mouse, Payload({0x41, 0x00, 0x81, 0x01}), 0);
  ExpectIgnored(mouse, Payload({0x81, 0x00, 0x81, 0x01}), 0);

  EXPECT_EQ(Reply(mouse, Payload({0x4A, 0x00, 0x81, 0x01}), 1)[2], 0x81);  // status after write
}

TEST(NordicVersion, MainAndSecondVersion) {
  NordicMouse mouse;
  mouse.SetVersion(0x1A03);
  Bytes reply = Reply(mouse, Payload({0x00, 0x00, 0x81, 0x00}));
  EXPECT_EQ(reply[2], 0x9A);
  EXPECT_EQ(reply[8], 0x03);
  EXPECT_EQ(reply[9], 0x1A);
  EXPECT_EQ(Bytes(reply.begin() + 16, reply.begin() + 22), Bytes(6, 0));
  mouse.SetVersion(0x0125, 0x0007);
  reply = Reply(mouse, Payload({0x40, 0x00, 0x81, 0x00}), 1);
  EXPECT_NE(Bytes(reply.begin() + 16, reply.begin() + 20), Bytes(4, 0));
  EXPECT_EQ(reply[20], 0x07);
  EXPECT_EQ(reply[21], 0x00);
}

TEST(NordicSettings, ReadWriteAndReportRate) {
  NordicMouse mouse;
  Bytes reply = Reply(mouse, Payload({0x04, 0x00, 0x81, 0x01}));
  EXPECT_EQ(reply[2], 0xBB);
  EXPECT_EQ(Bytes(reply.begin() + 4, reply.end()), kFactorySettings);

  Bytes w = Payload({0x04, 0x00, 0xBB, 0x02});
  std::copy(kFactorySettings.begin(), kFactorySettings.end(), w.begin() + 4);
  w[4] = 0xC1;   // scroll, e-sports, sensor option 8
  w[7] = 4;      // stage
  w[8] = 0x90;   // stage 0 at 400, both halves
  w[9] = 0x01;
  w[10] = 0x90;
  w[11] = 0x01;
  w[62] = 0x55;
  w[63] = 0x66;  // never sent
  reply = Reply(mouse, w);
  EXPECT_EQ(reply[2], 0xBB);
  NordicBlock stored = *mouse.SettingsBlock(0);
  Bytes expected(w.begin() + 4, w.end());
  expected.back() = 0x00;  // byte 63 keeps the factory value
  EXPECT_EQ(Tail(stored), expected);
  EXPECT_EQ(Tail(*mouse.SettingsBlock(1)), kFactorySettings);

  // Report rate 5: accepted with 0x81 and seen in the status.
  EXPECT_EQ(Reply(mouse, Payload({0x04, 0x00, 0x82, 0x04, 0x05}))[2], 0x81);
  EXPECT_EQ(mouse.SettingsBlock(0)->at(5), 5);
  reply = Reply(mouse, Payload({0x01, 0x00, 0x81, 0x01}));
  EXPECT_EQ(reply[8], 4);
  EXPECT_EQ(reply[9], 5);
  ExpectIgnored(mouse, Payload({0x04, 0x00, 0xBB, 0x01}));
}

TEST(NordicProfiles, SelectionRoutesReadsAndWrites) {
  NordicMouse mouse;
  Reply(mouse, Payload({0x02, 0x00, 0x82, 0x01, 0x03}));
  EXPECT_EQ(mouse.CurrentProfile(), 3);
  EXPECT_EQ(Reply(mouse, Payload({0x01, 0x00, 0x81, 0x01}))[7], 3);
  Bytes w = Payload({0x03, 0x00, 0xA5, 0x02, 0x01, 0x00, 0xF2, 0x00});
  Reply(mouse, w);
  EXPECT_EQ(mouse.ButtonCodes(3)->at(6), 0xF2);
  EXPECT_EQ(mouse.ButtonCodes(0), NordicDefaultButtonCodes());
  ExpectIgnored(mouse, Payload({0x02, 0x00, 0x82, 0x01, 0x05}));
  EXPECT_EQ(mouse.CurrentProfile(), 3);
  EXPECT_EQ(mouse.SettingsBlock(5), std::nullopt);
}

TEST(NordicButtons, WriteReadResetAndRestore) {
  NordicMouse mouse;
  Bytes w = Payload({0x03, 0x00, 0xA5, 0x02});
  for (size_t i = 4; i < 64; ++i) w[i] = static_cast<uint8_t>(i);
  Reply(mouse, w);
  Bytes reply = Reply(mouse, Payload({0x03, 0x00, 0x81, 0x01}));
  EXPECT_EQ(reply[2], 0xA5);
  EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 63), Bytes(w.begin() + 4, w.begin() + 63));
  EXPECT_EQ(reply[63], 0) << "payload byte 63 never arrives";

  // Button 6 lives in slot 8 (bytes 36..39), button 8 in slot 7.
  EXPECT_EQ(Reply(mouse, Payload({0x09, 0x00, 0x82, 0x02, 0x06}))[2], 0x82);
  NordicBlock codes = *mouse.ButtonCodes(0);
  EXPECT_EQ(Bytes(codes.begin() + 36, codes.begin() + 40), Bytes(4, 0));
  EXPECT_EQ(codes[32], 32);
  Reply(mouse, Payload({0x09, 0x00, 0x82, 0x02, 0x08}));
  codes = *mouse.ButtonCodes(0);
  EXPECT_EQ(Bytes(codes.begin() + 32, codes.begin() + 36), Bytes(4, 0));
  ExpectIgnored(mouse, Payload({0x09, 0x00, 0x82, 0x02, 0x00}));
  ExpectIgnored(mouse, Payload({0x09, 0x00, 0x82, 0x02, 0x10}));

  EXPECT_EQ(Reply(mouse, Payload({0x09, 0x00, 0x82, 0x02, 0xFF}))[2], 0x82);
  EXPECT_EQ(mouse.ButtonCodes(0), NordicDefaultButtonCodes());
  EXPECT_EQ(Reply(mouse, Payload({0x09, 0x00, 0x82, 0x04, 0xFF}))[2], 0x82);
  EXPECT_EQ(mouse.SecondScopeRestores(), 1);
}

TEST(NordicReset, FactoryResetRestoresEverything) {
  NordicMouse mouse;
  Reply(mouse, Payload({0x02, 0x00, 0x82, 0x01, 0x02}));
  Reply(mouse, Payload({0x04, 0x00, 0x82, 0x04, 0x01}));
  Reply(mouse, Payload({0x03, 0x00, 0xA5, 0x02, 0x07}));
  Reply(mouse, Payload({0x07, 0x00, 0x80 | 42, 0x02, 0x00, 0x01}));
  EXPECT_EQ(Reply(mouse, Payload({0x09, 0x00, 0x82, 0xFF}))[2], 0x81);
  EXPECT_EQ(mouse.FactoryResets(), 1);
  EXPECT_EQ(mouse.CurrentProfile(), 0);
  EXPECT_EQ(mouse.ButtonCodes(2), NordicDefaultButtonCodes());
  EXPECT_EQ(Tail(*mouse.SettingsBlock(2)), kFactorySettings);
  EXPECT_TRUE(mouse.Macros(2).empty());
}

TEST(NordicMacros, SingleAndChunkedImages) {
  NordicMouse mouse;
  // Four events, image length 56: one request, byte 2 = 0x80 | 58.
  Bytes one = Payload({0x07, 0x00, 0xBA, 0x02, 0x01});
  one[5] = 1;       // play byte
  one[6] = 3;       // play count
  one[5 + 36] = 10; // delay time
  one[5 + 38] = 4;  // event count
  const Bytes rec = {0x01, 0x04, 0x32, 0x00, 0x81, 0x04, 0x0A, 0x00, 0x05, 0x01, 0x0A, 0x00, 0x85, 0x00, 0x0A, 0x00};
  std::copy(rec.begin(), rec.end(), one.begin() + 5 + 40);
  Reply(mouse, one);
  std::map<int, NordicMacro> macros = mouse.Macros(0);
  ASSERT_EQ(macros.count(1), 1u);
  EXPECT_EQ(macros[1].length, 56u);
  DecodedNordicMacro d = DecodeNordicMacro(macros[1]);
  EXPECT_EQ(d.play, 1);
  EXPECT_EQ(d.play_count, 3);
  EXPECT_EQ(d.delay_time, 10);
  ASSERT_EQ(d.records.size(), 4u);
  EXPECT_EQ(d.records[0].flags, 0x01);
  EXPECT_EQ(d.records[0].code, 0x04);
  EXPECT_EQ(d.records[0].delay, 50);
  EXPECT_EQ(d.records[3].flags, 0x85);

  // Five events, length 60: a full chunk then 0x80 | 4 carrying 2 bytes.
  Bytes c0 = Payload({0x07, 0x00, 0xBC, 0x02, 0x00});
  c0[5 + 38] = 5;
  for (size_t i = 5 + 40; i < 63; ++i) c0[i] = 0x11;
  Bytes c1 = Payload({0x07, 0x01, 0x84, 0x02, 0x00, 0x22, 0x33, 0x44});
  Reply(mouse, c0);
  Reply(mouse, c1);
  NordicMacro m = mouse.Macros(0)[0];
  EXPECT_EQ(m.length, 60u);
  EXPECT_EQ(m.image[57], 0x11);
  EXPECT_EQ(m.image[58], 0x22);
  EXPECT_EQ(m.image[59], 0x33);
  EXPECT_EQ(m.image[60], 0x00) << "only the bytes the chunk announces";
  EXPECT_EQ(DecodeNordicMacro(m).records.size(), 5u);

  // A new first chunk starts the macro afresh.
  Reply(mouse, Payload({0x07, 0x00, 0x80 | 42, 0x02, 0x00}));
  EXPECT_EQ(mouse.Macros(0)[0].length, 40u);
  EXPECT_EQ(mouse.Macros(0)[0].image[57], 0x00);

  // Chunk 17 starts at 986: 58 bytes would pass 1024, 38 end on it.
  ExpectIgnored(mouse, Payload({0x07, 17, 0xBC, 0x02, 0x02}));
  Reply(mouse, Payload({0x07, 17, 0x80 | 40, 0x02, 0x02, 0xEE}));
  EXPECT_EQ(mouse.Macros(0)[2].length, 1024u);
  EXPECT_EQ(mouse.Macros(0)[2].image[986], 0xEE);
  ExpectIgnored(mouse, Payload({0x07, 0x00, 0x80 | 2, 0x02, 0x00}));  // carries nothing
  ExpectIgnored(mouse, Payload({0x07, 0x00, 0x3C, 0x02, 0x00}));      // no chunk marker
}

TEST(NordicNotifications, StatusReportFollowsTheMouse) {
  NordicMouse mouse;
  InputReport n = mouse.MakeNotification(0x10, 2, 1);
  EXPECT_EQ(Bytes(n.begin(), n.begin() + 11), (Bytes{0x01, 0x00, 0x8C, 0x01, 0x08, 0, 80, 0, 2, 1, 3}));
  EXPECT_EQ(mouse.SettingsBlock(0)->at(7), 2);
  Reply(mouse, Payload({0x41, 0x00, 0x81, 0x01}), 1);
  n = mouse.MakeNotification(0xD0, 15, 2);
  EXPECT_EQ(n[0], 0x41);
  EXPECT_EQ(n[5], 2);
  EXPECT_EQ(n[6], 15);
  EXPECT_EQ(mouse.StatusReport(0x01, false)[4], 0x00);
}

}  // namespace
}  // namespace sim
