// Version texts: the feature report of the standard family and the 64-byte
// version query.
#include "device_test_support.h"

using namespace devtest;

namespace {

class FeatureVersionTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    wired_ = sim::AddWiredMouse(kVid, kWiredPid);
    Manager().Rescan();
    sim::ClearLog();
  }

  std::vector<sim::LogEntry> Entries(sim::Direction d) {
    std::vector<sim::LogEntry> out;
    for (const sim::LogEntry& e : sim::Log()) {
      if (e.direction == d) out.push_back(e);
    }
    return out;
  }

  std::string wired_;
};

TEST_F(FeatureVersionTest, RequestNamesTheTargetAndTheReplyTextIsReturned) {
  std::u16string text;
  EXPECT_TRUE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"V1.0.3");
  EXPECT_TRUE(mgr_->ReadFeatureVersion(text, 1));
  EXPECT_EQ(text, u"V2.1.0");
  EXPECT_TRUE(mgr_->ReadFeatureVersion(text, 3));
  EXPECT_TRUE(mgr_->ReadFeatureVersion(text, 2));

  const auto sends = Entries(sim::Direction::kFeatureSend);
  ASSERT_EQ(sends.size(), 4u);
  // 51 04 X and 18 zeros: X = AA for the mouse behind a receiver (targets 1 and 3).
  EXPECT_EQ(sends[0].bytes, Bytes({0x51, 0x04, 0x00}, 21));
  EXPECT_EQ(sends[1].bytes, Bytes({0x51, 0x04, 0xAA}, 21));
  EXPECT_EQ(sends[2].bytes, Bytes({0x51, 0x04, 0xAA}, 21));
  EXPECT_EQ(sends[3].bytes, Bytes({0x51, 0x04, 0x00}, 21));
  for (const auto& e : sends) EXPECT_TRUE(e.framing_ok);
}

TEST_F(FeatureVersionTest, LengthByteZeroLeavesTheDefaultText) {
  sim::Faults f;
  f.feature_length_byte = 0;
  sim::SetFaults(wired_, f);
  std::u16string text = u"old";
  EXPECT_TRUE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"0.0.0");
}

TEST_F(FeatureVersionTest, TextIsLimitedToEighteenBytesAndToWhatArrived) {
  sim::Reset();
  sim::InterfaceSpec spec;
  sim::Faults f;
  f.feature_length_byte = 0xFF;
  spec.path = "/dev/hidraw4";
  spec.vid = kVid;
  spec.pid = kWiredPid;
  spec.usages = {{0xFF01, 0x10}};
  spec.role = sim::Role::kVendor;
  spec.feature_version = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  sim::AddInterface(spec);
  mgr_->Rescan();
  sim::SetFaults(spec.path, f);
  std::u16string text;
  EXPECT_TRUE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"ABCDEFGHIJKLMNOPQR");

  // Ten bytes arrived: three of header, seven of text, whatever the length byte says.
  f.feature_length_byte = 18;
  f.feature_reply_bytes = 10;
  sim::SetFaults(spec.path, f);
  EXPECT_TRUE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"ABCDEFG");

  // Only the header arrived: no text.
  f.feature_reply_bytes = 3;
  sim::SetFaults(spec.path, f);
  EXPECT_TRUE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"0.0.0");
}

TEST_F(FeatureVersionTest, TextIsInTheSystemCodePage) {
  sim::Reset();
  sim::InterfaceSpec spec;
  spec.path = "/dev/hidraw5";
  spec.vid = kVid;
  spec.pid = kWiredPid;
  spec.usages = {{0xFF01, 0x10}};
  spec.role = sim::Role::kVendor;
  spec.feature_version = "1.0\x80\xE9";
  sim::AddInterface(spec);
  mgr_->Rescan();
  std::u16string text;
  EXPECT_TRUE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"1.0\u20AC\u00E9");
}

TEST_F(FeatureVersionTest, FailedSendReportsFailureAndReadsNothing) {
  sim::Faults f;
  f.fail_feature_sends = 1;
  sim::SetFaults(wired_, f);
  std::u16string text;
  EXPECT_FALSE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"0.0.0");
  EXPECT_TRUE(Entries(sim::Direction::kFeatureGet).empty());
}

TEST_F(FeatureVersionTest, TenFailedGetsReportFailureNineDoNot) {
  sim::Faults f;
  f.fail_feature_gets = 6;
  f.empty_feature_gets = 4;
  sim::SetFaults(wired_, f);
  std::u16string text;
  const uint32_t t0 = platform::GetTickCount();
  EXPECT_FALSE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"0.0.0");
  EXPECT_EQ(Entries(sim::Direction::kFeatureGet).size(), 10u);
  EXPECT_EQ(platform::GetTickCount() - t0, 100u);  // 10 ms after each failed get

  f.fail_feature_gets = 9;
  f.empty_feature_gets = 0;
  sim::SetFaults(wired_, f);
  sim::ClearLog();
  EXPECT_TRUE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"V1.0.3");
  EXPECT_EQ(Entries(sim::Direction::kFeatureGet).size(), 10u);
}

TEST_F(FeatureVersionTest, RefusedForTheOtherFamilyAndWithoutDevice) {
  std::u16string text = u"kept";
  mgr_->SetDeviceType(201);
  EXPECT_FALSE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"kept");
  mgr_->SetDeviceType(kType);
  mgr_->SetOpened(0);
  EXPECT_FALSE(mgr_->ReadFeatureVersion(text, 0));
  EXPECT_EQ(text, u"0.0.0");
  EXPECT_TRUE(sim::Log().empty());
}

class VersionQueryTest : public DeviceTest {};

TEST_F(VersionQueryTest, QueryForTheMouseBehindTheReceiverAndForTheReceiver) {
  const std::string receiver = sim::AddReceiver(kVid, kReceiverPid, kModeReceiver, true);
  Manager().Rescan();
  sim::ClearLog();
  std::u16string text;
  EXPECT_TRUE(mgr_->ReadVersion(text, 1));
  EXPECT_EQ(text, u"0.0.7");  // bytes 9 = 00, 8 = 07
  EXPECT_TRUE(mgr_->ReadVersion(text, 0));
  EXPECT_EQ(text, u"1.2.5");
  const auto writes = sim::Writes(receiver);
  ASSERT_EQ(writes.size(), 2u);
  // 40 00 81 00: sum C1, A1 - C1 = E0. 00 00 81 00: A1 - 81 = 20.
  std::vector<uint8_t> mouse_query = Bytes({0x00, 0x40, 0x00, 0x81, 0x00}, 65);
  mouse_query[64] = 0xE0;
  std::vector<uint8_t> own_query = Bytes({0x00, 0x00, 0x00, 0x81, 0x00}, 65);
  own_query[64] = 0x20;
  EXPECT_EQ(writes[0].bytes, mouse_query);
  EXPECT_EQ(writes[1].bytes, own_query);
}

TEST_F(VersionQueryTest, SecondVersionIsAddedOnASecondLine) {
  sim::InterfaceSpec spec;
  spec.path = "/dev/hidraw2";
  spec.vid = kVid;
  spec.pid = kWiredPid;
  spec.usages = {{0xFF01, 0x10}};
  spec.role = sim::Role::kVendor;
  spec.version = 0x1A03;
  spec.has_second_version = true;
  spec.second_version = 0x0010;
  sim::AddInterface(spec);
  Manager().Rescan();
  std::u16string text;
  EXPECT_TRUE(mgr_->ReadVersion(text, 0));
  EXPECT_EQ(text, u"1.a.0.3\n0.1.0");
}

TEST_F(VersionQueryTest, NoAnswerAfterTwoQueriesLeavesTheDefaultText) {
  const std::string wired = sim::AddWiredMouse(kVid, kWiredPid);
  Manager().Rescan();
  sim::Faults f;
  f.silent = true;
  sim::SetFaults(wired, f);
  sim::ClearLog();
  std::u16string text = u"x";
  EXPECT_FALSE(mgr_->ReadVersion(text, 0));
  EXPECT_EQ(text, u"0.0.0");
  EXPECT_EQ(sim::Writes(wired).size(), 2u);

  mgr_->SetOpened(0);
  EXPECT_FALSE(mgr_->ReadVersion(text, 0));
  EXPECT_EQ(sim::Writes(wired).size(), 2u);
}

TEST(DottedVersion, EveryHexDigitIsFollowedByADot) {
  EXPECT_EQ(device::FormatDottedVersion(0x01, 0x25), u"1.2.5");
  EXPECT_EQ(device::FormatDottedVersion(0x1A, 0x03), u"1.a.0.3");
  EXPECT_EQ(device::FormatDottedVersion(0x00, 0x07), u"0.0.7");
  EXPECT_EQ(device::FormatDottedVersion(0xFF, 0xFF), u"f.f.f.f");
}

}  // namespace
