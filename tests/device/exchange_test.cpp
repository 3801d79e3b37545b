// The two framings on the wire and their retry timelines, on the virtual
// clock, and how replies are matched to the writes they answer.
#include "device_test_support.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "device/owed_replies.h"

using namespace devtest;
using device::OwedReplies;

namespace {

class ExchangeTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    wired_ = sim::AddWiredMouse(kVid, kWiredPid);
    Manager().Rescan();
    ASSERT_TRUE(mgr_->GetCurrentDevice());
    sim::ClearLog();
  }

  // Sends a command report with bytes 5 and 6 set and returns what went out.
  std::vector<uint8_t> SendWithPayload(uint8_t b5, uint8_t b6) {
    std::array<uint8_t, 128> buffer{};
    buffer[1] = 0x55;
    buffer[2] = 0x0E;
    buffer[3] = 0xA5;
    buffer[5] = b5;
    buffer[6] = b6;
    sim::ClearLog();
    mgr_->SendCommand(buffer);
    const auto writes = sim::Writes(wired_);
    return writes.empty() ? std::vector<uint8_t>{} : writes.front().bytes;
  }

  std::string wired_;
};

TEST_F(ExchangeTest, CommandReportGoesOutWithByteFourTheSumOfBytesFiveToSixtyFour) {
  // A read-settings request: 55 0E A5, class 2E at byte 5, profile 0.
  EXPECT_EQ(SendWithPayload(0x2E, 0x00), Bytes({0x00, 0x55, 0x0E, 0xA5, 0x2E, 0x2E}, 65));
  EXPECT_EQ(SendWithPayload(0x00, 0x00), Bytes({0x00, 0x55, 0x0E, 0xA5, 0x00}, 65));
  EXPECT_EQ(SendWithPayload(0x80, 0x80), Bytes({0x00, 0x55, 0x0E, 0xA5, 0x00, 0x80, 0x80}, 65));
  EXPECT_EQ(SendWithPayload(0xFF, 0x02), Bytes({0x00, 0x55, 0x0E, 0xA5, 0x01, 0xFF, 0x02}, 65));
  // A stale byte 4 from the caller is replaced, and byte 64 counts.
  std::array<uint8_t, 128> buffer{};
  buffer[1] = 0x55;
  buffer[4] = 0x77;
  buffer[64] = 0x03;
  buffer[65] = 0x40;  // beyond the report: neither sent nor summed
  sim::ClearLog();
  ASSERT_TRUE(mgr_->SendCommand(buffer));
  const auto writes = sim::Writes(wired_);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].bytes.size(), 65u);
  EXPECT_EQ(writes[0].bytes[4], 0x03);
  EXPECT_TRUE(writes[0].framing_ok);
}

TEST_F(ExchangeTest, CommandReplyOverwritesTheCallersBuffer) {
  std::array<uint8_t, 128> buffer{};
  buffer[1] = 0x55;
  buffer[2] = 0x30;
  buffer[100] = 0x99;
  ASSERT_TRUE(mgr_->SendCommand(buffer));
  EXPECT_EQ(buffer[0], 0xAA);
  EXPECT_EQ(buffer[1], 0x30);
  EXPECT_EQ(buffer[2], 0x5A);
  EXPECT_EQ(buffer[100], 0x99);  // only the reply's bytes are touched
}

TEST_F(ExchangeTest, SilentMouseGetsThreeWritesAtTheRetryTimesThenFalse) {
  sim::Faults f;
  f.silent = true;
  sim::SetFaults(wired_, f);
  const uint32_t t0 = platform::GetTickCount();
  std::array<uint8_t, 128> buffer{};
  buffer[1] = 0x55;
  buffer[2] = 0x0E;
  EXPECT_FALSE(mgr_->SendCommand(buffer));
  // write, read 1000, wait 100, write, read 1000, wait 1000, write, read 1000
  EXPECT_EQ(WriteTimes(wired_), (std::vector<uint32_t>{t0, t0 + 1100, t0 + 3100}));
  EXPECT_EQ(platform::GetTickCount(), t0 + 4100);
  // Every retry repeats the same request.
  const auto writes = sim::Writes(wired_);
  EXPECT_EQ(writes[1].bytes, writes[0].bytes);
  EXPECT_EQ(writes[2].bytes, writes[0].bytes);
}

TEST_F(ExchangeTest, FailedWriteIsRetriedOnceAfterTenMilliseconds) {
  sim::Faults f;
  f.fail_writes = 2;
  sim::SetFaults(wired_, f);
  const uint32_t t0 = platform::GetTickCount();
  std::array<uint8_t, 128> buffer{};
  buffer[1] = 0x55;
  EXPECT_FALSE(mgr_->SendCommand(buffer));
  EXPECT_EQ(WriteTimes(wired_), (std::vector<uint32_t>{t0, t0 + 10}));
  EXPECT_EQ(platform::GetTickCount(), t0 + 10);  // no read after two failed writes

  f.fail_writes = 1;
  sim::SetFaults(wired_, f);
  sim::ClearLog();
  EXPECT_TRUE(mgr_->SendCommand(buffer));
  EXPECT_EQ(sim::Writes(wired_).size(), 2u);
}

TEST_F(ExchangeTest, LateReplyIsTakenByTheSecondRead) {
  sim::Faults f;
  f.reply_delay_ms = 1500;
  sim::SetFaults(wired_, f);
  const uint32_t t0 = platform::GetTickCount();
  std::array<uint8_t, 128> buffer{};
  buffer[1] = 0x55;
  buffer[2] = 0x22;
  EXPECT_TRUE(mgr_->SendCommand(buffer));
  EXPECT_EQ(WriteTimes(wired_), (std::vector<uint32_t>{t0, t0 + 1100}));
  EXPECT_EQ(platform::GetTickCount(), t0 + 1500);  // the first reply, due 1500 ms after the first write
  EXPECT_EQ(buffer[1], 0x22);
}

TEST_F(ExchangeTest, ReplyNotStartingWithAaLeadsToTheSecondAttemptAfterOneHundredMilliseconds) {
  sim::Faults f;
  f.notifications_instead = 1;
  f.notification = Bytes({0x55, 0x0E}, 64);
  sim::SetFaults(wired_, f);
  const uint32_t t0 = platform::GetTickCount();
  std::array<uint8_t, 128> buffer{};
  buffer[1] = 0x55;
  buffer[2] = 0x0E;
  EXPECT_TRUE(mgr_->SendCommand(buffer));
  EXPECT_EQ(WriteTimes(wired_), (std::vector<uint32_t>{t0, t0 + 100}));
  EXPECT_EQ(buffer[1], 0x0E);
}

TEST_F(ExchangeTest, AReplyWithAnotherCommandByteIsNeverTakenForTheAnswer) {
  const auto battery = Bytes({0xAA, 0x30, 0x77}, 64);  // another request's reply
  struct Case {
    const char* what;
    std::function<void(sim::Faults&)> arrange;
    bool answered;
    uint32_t took;  // ms until SendCommand returned
    size_t writes;
    bool notificationKept;  // for the poll's next read
  };
  const Case cases[] = {
      {"waiting before the request goes", [&](sim::Faults&) { sim::QueueInput(wired_, battery); }, true, 0, 1,
       false},
      {"coming while the late answer is awaited",
       [&](sim::Faults& f) {
         sim::QueueInput(wired_, battery, 200);
         f.reply_delay_ms = 600;
       },
       true, 600, 1, false},
      {"a notification in the answer's place: the request goes again", [](sim::Faults& f) { f.notifications_instead = 1; },
       true, 1100, 2, true},
      {"nothing but other replies, until the last wait ends",
       [&](sim::Faults& f) {
         f.silent = true;
         for (uint32_t due : {0u, 500u, 1500u, 3500u}) sim::QueueInput(wired_, battery, due);
       },
       false, 4100, 3, false},
  };
  for (const Case& c : cases) {
    sim::Faults f;
    c.arrange(f);
    sim::SetFaults(wired_, f);
    sim::ClearLog();
    std::array<uint8_t, 128> buffer{};
    buffer[1] = 0x55;
    buffer[2] = 0x0E;
    const uint32_t t0 = platform::GetTickCount();
    EXPECT_EQ(mgr_->SendCommand(buffer), c.answered) << c.what;
    EXPECT_EQ(platform::GetTickCount() - t0, c.took) << c.what;
    EXPECT_EQ(sim::Writes(wired_).size(), c.writes) << c.what;
    EXPECT_FALSE(buffer[0] == 0xAA && buffer[1] == 0x30) << c.what;
    if (c.answered) {
      EXPECT_EQ(buffer[1], 0x0E) << c.what;
    }
    EXPECT_EQ(sim::PendingInput(wired_), 0u) << c.what;
    std::array<uint8_t, 21> report{};
    EXPECT_EQ(mgr_->ReadCurrentDevice(report, 0) == 21 && report[1] == 0xFA, c.notificationKept) << c.what;
  }
}

TEST_F(ExchangeTest, LateAnswersAreNeverTakenAndALostOneCostsTwoTimeOutsAtMost) {
  std::array<uint8_t, 128> buffer{};
  auto send = [&] {
    buffer.fill(0);
    buffer[1] = 0x55;
    buffer[2] = 0x08;
    return mgr_->SendCommand(buffer);
  };
  ASSERT_TRUE(send());
  const auto answer = buffer;
  const auto stale = Bytes({0xAA, 0x08, 0x77}, 64);  // left from a request never answered
  const struct {
    const char* what;
    std::function<void(sim::Faults&)> arrange;
    std::vector<uint32_t> took;  // ms, by request
    size_t writes;
    bool staleWaiting = false;
  } cases[] = {
      // The first request is written again at 1100 and takes its first
      // write's answer at 1500; the second write's answer, due at 2600, is
      // owed and must not answer the next request, and so on.
      {"every answer 1500 ms late", [](sim::Faults& f) { f.reply_delay_ms = 1500; }, {1500, 1500, 1500, 1500}, 8},
      // The second request's answer is dropped as owed, then nothing more.
      {"the first answer lost", [](sim::Faults& f) { f.drop_replies = 1; }, {1100, 1100, 0, 0}, 6},
      {"the first two answers lost", [](sim::Faults& f) { f.drop_replies = 2; }, {3100, 3100, 0, 0}, 8},
      {"a reply with the command waiting before the request goes", [](sim::Faults&) {}, {0}, 1, true},
  };
  for (const auto& c : cases) {
    platform::SleepMs(5000);  // what earlier rows left owed is looked for no more
    if (c.staleWaiting) sim::QueueInput(wired_, stale);
    sim::Faults f;
    c.arrange(f);
    sim::SetFaults(wired_, f);
    sim::ClearLog();
    std::vector<uint32_t> took;
    for (size_t i = 0; i < c.took.size(); ++i) {
      const uint32_t t0 = platform::GetTickCount();
      EXPECT_TRUE(send()) << c.what;
      took.push_back(platform::GetTickCount() - t0);
      EXPECT_EQ(buffer, answer) << c.what << ", request " << i;
    }
    EXPECT_EQ(took, c.took) << c.what;
    EXPECT_EQ(sim::Writes(wired_).size(), c.writes) << c.what;
  }
  // A request never answered leaves nothing owed: the next one takes its answer at once.
  sim::Faults silent;
  silent.silent = true;
  sim::SetFaults(wired_, silent);
  EXPECT_FALSE(send());
  sim::SetFaults(wired_, sim::Faults{});
  const uint32_t t0 = platform::GetTickCount();
  EXPECT_TRUE(send());
  EXPECT_EQ(buffer, answer);
  EXPECT_EQ(platform::GetTickCount() - t0, 0u);
}

TEST_F(ExchangeTest, OversizedReplyNeverWritesPastTheReport) {
  sim::Faults f;
  f.reply_length = 80;
  sim::SetFaults(wired_, f);
  std::array<uint8_t, 128> buffer{};
  buffer[1] = 0x55;
  buffer[2] = 0x0E;
  buffer[65] = 0x42;
  EXPECT_TRUE(mgr_->SendCommand(buffer));
  EXPECT_EQ(buffer[65], 0x42);
  // A buffer too small for the report is refused without sending.
  std::array<uint8_t, 64> small{};
  sim::ClearLog();
  EXPECT_FALSE(mgr_->SendCommand(small));
  EXPECT_TRUE(sim::Writes().empty());
}

TEST_F(ExchangeTest, RefusedRequestsSendNothingAndLeaveTheBufferAlone) {
  std::array<uint8_t, 128> buffer{};
  buffer[1] = 0x55;
  buffer[5] = 0x07;
  const auto before = buffer;
  std::array<uint8_t, 64> payload{};
  payload[0] = 0x04;
  const auto payload_before = payload;

  mgr_->SetDeviceType(201);  // the other family's mice never get a command report
  EXPECT_FALSE(mgr_->SendCommand(buffer));
  mgr_->SetDeviceType(kType);

  mgr_->SetOpened(0);
  EXPECT_FALSE(mgr_->SendCommand(buffer));
  EXPECT_FALSE(mgr_->Exchange(payload));
  mgr_->SetOpened(1);

  sim::Unplug(wired_);
  mgr_->Rescan();  // nothing attached: no current device
  EXPECT_FALSE(mgr_->SendCommand(buffer));
  EXPECT_FALSE(mgr_->Exchange(payload));

  EXPECT_TRUE(sim::Writes().empty());
  EXPECT_EQ(buffer, before);
  EXPECT_EQ(payload, payload_before);
}

TEST_F(ExchangeTest, ExchangeSendsPayloadWithTheA1ChecksumAndNeverByteSixtyThree) {
  std::array<uint8_t, 64> payload{};
  payload[63] = 0x77;
  ASSERT_TRUE(mgr_->Exchange(payload));
  auto writes = sim::Writes(wired_);
  ASSERT_EQ(writes.size(), 1u);
  std::vector<uint8_t> zeros(65, 0);
  zeros[64] = 0xA1;
  EXPECT_EQ(writes[0].bytes, zeros);

  // Sum above 0xA1 wraps: FF FF FF sums to FD, A1 - FD = A4.
  payload.fill(0);
  payload[0] = 0xFF;
  payload[1] = 0xFF;
  payload[2] = 0xFF;
  sim::ClearLog();
  ASSERT_TRUE(mgr_->Exchange(payload));
  writes = sim::Writes(wired_);
  ASSERT_EQ(writes.size(), 1u);
  std::vector<uint8_t> expected(65, 0);
  expected[1] = 0xFF;
  expected[2] = 0xFF;
  expected[3] = 0xFF;
  expected[64] = 0xA4;
  EXPECT_EQ(writes[0].bytes, expected);
  // The echo's reply replaced the payload.
  EXPECT_EQ(payload[2], 0x81);
}

TEST_F(ExchangeTest, ExchangeTakesOnlyTheReplyWhoseFirstByteIsTheRequests) {
  const auto stale = Bytes({0x43, 0x00, 0xA5}, 64);  // a late reply to a button-code read
  const struct {
    const char* what;
    std::vector<uint32_t> staleDue;  // ms from the start
    uint32_t replyDelay;
  } cases[] = {
      {"one left from an earlier request", {0}, 0},
      {"two left from earlier requests", {0, 0}, 0},
      {"one coming while the reply is awaited", {150}, 200},
      {"a notification left", {}, 0},
  };
  for (const auto& c : cases) {
    for (uint32_t due : c.staleDue) sim::QueueInput(wired_, stale, due);
    if (c.staleDue.empty()) sim::QueueInput(wired_, Bytes({0xAA, 0xFA, 0x00}, 64));
    sim::Faults f;
    f.reply_delay_ms = c.replyDelay;
    sim::SetFaults(wired_, f);
    std::array<uint8_t, 64> payload{};
    payload[0] = 0x44;
    EXPECT_TRUE(mgr_->Exchange(payload)) << c.what;
    EXPECT_EQ(payload[0], 0x44) << c.what;
    EXPECT_EQ(payload[2], 0x81) << c.what;
    EXPECT_EQ(sim::PendingInput(wired_), 0u) << c.what;
  }
}

TEST_F(ExchangeTest, SilentExchangeTimeline) {
  sim::Faults f;
  f.silent = true;
  sim::SetFaults(wired_, f);
  const uint32_t t0 = platform::GetTickCount();
  std::array<uint8_t, 64> payload{};
  payload[0] = 0x01;
  const auto before = payload;
  EXPECT_FALSE(mgr_->Exchange(payload));
  // flush 100, write, 16, read 200, 200, read 100
  EXPECT_EQ(WriteTimes(wired_), (std::vector<uint32_t>{t0 + 100}));
  EXPECT_EQ(platform::GetTickCount(), t0 + 100 + 16 + 200 + 200 + 100);
  EXPECT_EQ(payload, before);
}

TEST_F(ExchangeTest, ExchangeReplyAfterTheFirstReadIsTakenByTheSecond) {
  sim::Faults f;
  f.reply_delay_ms = 300;
  sim::SetFaults(wired_, f);
  std::array<uint8_t, 64> payload{};
  EXPECT_TRUE(mgr_->Exchange(payload));
  EXPECT_EQ(payload[2], 0x81);

  f.reply_delay_ms = 600;  // later than the second read's end
  sim::SetFaults(wired_, f);
  payload.fill(0);
  EXPECT_FALSE(mgr_->Exchange(payload));
  EXPECT_EQ(payload[2], 0x00);
}

TEST_F(ExchangeTest, RepliesOfSixtyThreeOrSixtyFiveBytesFailTheExchange) {
  for (int length : {63, 65}) {
    SCOPED_TRACE(length);
    sim::Faults f;
    f.reply_length = length;
    sim::SetFaults(wired_, f);
    std::array<uint8_t, 64> payload{};
    payload[0] = 0x04;
    payload[63] = 0x5C;
    const auto before = payload;
    EXPECT_FALSE(mgr_->Exchange(payload));
    EXPECT_EQ(payload, before);
  }
  sim::SetFaults(wired_, sim::Faults{});
  std::array<uint8_t, 64> payload{};
  EXPECT_TRUE(mgr_->Exchange(payload));
}

TEST_F(ExchangeTest, FailedExchangeWriteIsNotRetried) {
  sim::Faults f;
  f.fail_writes = 1;
  sim::SetFaults(wired_, f);
  std::array<uint8_t, 64> payload{};
  EXPECT_FALSE(mgr_->Exchange(payload));
  EXPECT_EQ(sim::Writes(wired_).size(), 1u);
}

TEST_F(ExchangeTest, UnplugMidExchangeFailsAndTheNextScanFindsNothing) {
  sim::Faults f;
  f.unplug_after_writes = 1;
  sim::SetFaults(wired_, f);
  std::array<uint8_t, 128> buffer{};
  buffer[1] = 0x55;
  EXPECT_FALSE(mgr_->SendCommand(buffer));
  EXPECT_EQ(mgr_->GetConnectionMode(), kModeWired);  // the list describes the last scan
  mgr_->Rescan();
  EXPECT_EQ(mgr_->GetConnectionMode(), kNoDevice);
  EXPECT_EQ(sim::GetCounters().open_handles, 0);
  EXPECT_EQ(sim::GetCounters().misuses, 0);
}

TEST_F(ExchangeTest, PollInputWithACurrentDeviceTakesOnlyWholeReports) {
  std::array<uint8_t, 65> buffer{};
  EXPECT_FALSE(mgr_->PollInput(buffer));  // nothing queued: a 10 ms read
  sim::QueueNotification(wired_, 0x10, 2, 4);
  EXPECT_TRUE(mgr_->PollInput(buffer));
  EXPECT_EQ(buffer[8], 0x10);
  sim::QueueInput(wired_, Bytes({0xAA, 0xFA}, 21));
  EXPECT_FALSE(mgr_->PollInput(buffer));
  mgr_->SetOpened(0);
  sim::QueueNotification(wired_, 0x10, 2, 4);
  EXPECT_FALSE(mgr_->PollInput(buffer));
}

TEST_F(ExchangeTest, ReadCurrentDeviceReadsTheNotificationOfTheCurrentDevice) {
  std::array<uint8_t, 21> buffer{};
  const uint32_t t0 = platform::GetTickCount();
  EXPECT_EQ(mgr_->ReadCurrentDevice(buffer, 1000), 0);
  EXPECT_EQ(platform::GetTickCount(), t0 + 1000);
  sim::QueueNotification(wired_, 0x11, 3, 0, 250);
  EXPECT_EQ(mgr_->ReadCurrentDevice(buffer, 1000), 21);
  EXPECT_EQ(buffer[8], 0x11);
  mgr_->SetOpened(0);
  EXPECT_EQ(mgr_->ReadCurrentDevice(buffer, 1000), -1);
}

// Random histories of writes and replies as the mouse may give them: at
// every moment all that came has been read, whatever is left owed of a
// command settles no sooner than a reply to it still coming.
TEST(OwedRepliesTest, WhatIsLeftOwedNeverSettlesBeforeAReplyStillComing) {
  const uint32_t seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  auto below = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random); };
  for (int history = 0; history < 2000; ++history) {
    const uint32_t t0 = below(2) == 0 ? 1000 : 0xFFFFF000u;  // the tick count wraps too
    struct Write {
      uint32_t at;  // ms after t0
      uint8_t command;
      std::optional<uint32_t> reply;
    };
    std::vector<Write> writes;
    // (ms after t0, 0 write / 1 reply / 2 all read, index of the write)
    std::vector<std::tuple<uint32_t, int, size_t>> events;
    uint32_t at = 0, lastReply = 0;
    for (size_t i = 0; i < 12; ++i) {
      at += below(1500);
      Write w{at, static_cast<uint8_t>(below(2)), std::nullopt};
      if (below(4) != 0) {  // answered within the bound, never before an earlier write's reply
        lastReply = std::max(lastReply, at + below(OwedReplies::kReplyBoundMs + 1));
        w.reply = lastReply;
        events.emplace_back(lastReply, 1, i);
      }
      events.emplace_back(at, 0, i);
      events.emplace_back(at + below(4000), 2, i);
      writes.push_back(w);
    }
    events.emplace_back(at + OwedReplies::kReplyBoundMs, 2, 0);
    std::sort(events.begin(), events.end());
    OwedReplies owed;
    const void* const dev = &owed;
    for (const auto& [when, kind, index] : events) {
      if (kind == 0) owed.Wrote(dev, writes[index].command, t0 + when);
      if (kind == 1) owed.Replied(dev, writes[index].command);
      if (kind != 2) continue;
      owed.Quiet(dev, t0 + when);
      for (const Write& w : writes) {
        if (!w.reply || *w.reply <= when || w.at > when) continue;
        const std::optional<uint32_t> settled = owed.SettledAt(dev, w.command);
        ASSERT_TRUE(settled.has_value()) << "history " << history << ", at " << when;
        ASSERT_GE(static_cast<int32_t>(*settled - (t0 + *w.reply)), 0) << "history " << history << ", at " << when;
      }
    }
    // The bound after the last write: nothing is owed any more.
    EXPECT_EQ(owed.Owed(dev, 0) + owed.Owed(dev, 1), 0u) << "history " << history;
  }
}

}  // namespace
