// The two framings on the wire and their retry timelines, on the virtual
// clock, and how replies are matched to the writes they answer.
#include "device_test_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>
#include <set>
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
    platform::SleepMs(5000);  // a write an earlier row left unanswered is settled
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

// The echo firmware, numbering the command reports it takes from 1: bytes 3
// and 4 of a reply carry the number of the write it answers. The writes
// whose number is in `lost` are never answered.
class NumberingModel : public EchoModel {
 public:
  sim::WriteResult OnOutputReport(const uint8_t* data, size_t length, int devMode) override {
    sim::WriteResult result = EchoModel::OnOutputReport(data, length, devMode);
    if (length != 65 || data[1] != 0x55) return result;
    const int number = ++numbered;
    if (lost.contains(number)) result.replies.clear();
    for (sim::InputReport& reply : result.replies) {
      reply[3] = static_cast<uint8_t>(number);
      reply[4] = static_cast<uint8_t>(number >> 8);
    }
    return result;
  }
  int numbered = 0;
  std::set<int> lost;
};

// Requests sent one after another to the numbering firmware, and what each
// took for its answer.
class ReplyOrderTest : public ExchangeTest {
 protected:
  void SetUp() override {
    ExchangeTest::SetUp();
    sim::InstallModel(mouse_);
  }

  struct Outcome {
    std::vector<std::string> foreign;  // every answer that was not to the request's own write
    int answered = 0;
    uint32_t tookMs = 0;
    uint32_t longestMs = 0;  // of one request
  };

  // Sends a request of each command in turn. The replies take `delays` in
  // turn; the writes `lost` counts from this call's first are not answered;
  // the manager rescans (closing and reopening the mouse) before the
  // requests `rescans` counts from 0.
  Outcome SendInTurn(const std::vector<uint8_t>& commands, const std::vector<uint32_t>& delays = {},
                     const std::set<int>& lost = {}, const std::set<size_t>& rescans = {}) {
    sim::Faults f;
    f.reply_delays_ms = delays;
    sim::SetFaults(wired_, f);
    for (int n : lost) mouse_->lost.insert(mouse_->numbered + n);
    Outcome out;
    const uint32_t t0 = platform::GetTickCount();
    for (size_t i = 0; i < commands.size(); ++i) {
      if (rescans.contains(i)) mgr_->Rescan();
      const uint8_t command = commands[i];
      std::array<uint8_t, 128> buffer{};
      buffer[1] = 0x55;
      buffer[2] = command;
      const uint32_t start = platform::GetTickCount();
      const int firstWrite = mouse_->numbered + 1;
      const bool answered = mgr_->SendCommand(buffer);
      out.longestMs = std::max(out.longestMs, platform::GetTickCount() - start);
      const size_t request = requests_++;
      while (writer_.size() <= static_cast<size_t>(mouse_->numbered)) writer_.push_back(request);
      if (!answered) continue;
      ++out.answered;
      const int number = buffer[3] | buffer[4] << 8;
      if (buffer[1] == command && number >= firstWrite && writer_[number] == request) continue;
      out.foreign.push_back("request " + std::to_string(request) + " (command " + std::to_string(command) +
                            ") took the reply to write " + std::to_string(number) +
                            (number > 0 ? " of request " + std::to_string(writer_[number]) : " of none"));
    }
    out.tookMs = platform::GetTickCount() - t0;
    return out;
  }

  std::shared_ptr<NumberingModel> mouse_ = std::make_shared<NumberingModel>();
  std::vector<size_t> writer_ = {SIZE_MAX};  // the request of each write, by number
  size_t requests_ = 0;
};

TEST_F(ReplyOrderTest, NoRequestEverTakesTheReplyToAnotherRequestsWrite) {
  const std::vector<uint8_t> six(6, 0x08);  // a read-back's key maps
  const std::vector<uint8_t> mixed = {0x08, 0x0E, 0x08, 0x0E, 0x08, 0x0E};
  const struct {
    const char* what;
    std::vector<uint8_t> commands;
    std::vector<uint32_t> delays;
    std::set<int> lost;  // writes, counted from the row's first
    int answered;
    uint32_t mostMs;  // the whole row
    std::set<size_t> rescans = {};  // before these requests
  } rows[] = {
      {"prompt", six, {}, {}, 6, 0},
      // Late replies: a request waits for the reply to the last write of the
      // one before (written again after 1100 or 3100 ms), then for its own.
      {"every reply 0.5 s late", six, {500}, {}, 6, 6 * 500},
      {"every reply 1.5 s late", six, {1500}, {}, 6, 6 * (1100 + 1500)},
      {"every reply 2.2 s late", six, {2200}, {}, 6, 6 * (3100 + 2200)},
      {"every reply 2.9 s late", six, {2900}, {}, 6, 6 * (3100 + 2900)},
      {"1.5 s late with the first lost", six, {1500}, {1}, 6, 6 * (1100 + 1500) + 3100},
      {"alternating 1020/980 ms", six, {1020, 980}, {}, 6, 6 * (1100 + 1000)},
      {"alternating 1200/900 ms", six, {1200, 900}, {}, 6, 6 * (1100 + 900)},
      {"alternating 1500/800 ms", six, {1500, 800}, {}, 6, 6 * (1100 + 800)},
      {"2500/2500/900 ms in turn", six, {2500, 2500, 900}, {}, 6, 6 * (3100 + 900)},
      // One time-out, the pause and the settle of the write that was answered.
      {"one lost", six, {}, {1}, 6, 1000 + 100 + 3000},
      {"two lost on one request", six, {}, {1, 2}, 6, 2 * (1000 + 100 + 3000)},
      // Never answered: its three writes stay owed until the last is 3 s old.
      {"three lost", six, {}, {1, 2, 3}, 5, 4100 + 3000},
      {"two commands interleaved, 1.5 s late", mixed, {1500}, {}, 6, 6 * (1100 + 1500)},
      {"two commands interleaved, one of each lost", mixed, {}, {1, 3}, 6, 2 * 4100},
      // The mouse still answers writes from before a rescan reopened it.
      {"rescans between requests, 1.5 s late", six, {1500}, {}, 6, 6 * (1100 + 1500), {1, 2, 3, 4, 5}},
      {"rescans between requests, 2.2 s late", six, {2200}, {}, 6, 6 * (3100 + 2200), {1, 2, 3, 4, 5}},
      {"rescans between requests, 1.5 s late with the first lost", six, {1500}, {1}, 6,
       6 * (1100 + 1500) + 3100, {1, 2, 3, 4, 5}},
  };
  for (const auto& row : rows) {
    platform::SleepMs(10000);  // what earlier rows left owed is settled
    const Outcome out = SendInTurn(row.commands, row.delays, row.lost, row.rescans);
    EXPECT_EQ(out.foreign, std::vector<std::string>{}) << row.what;
    EXPECT_EQ(out.answered, row.answered) << row.what;
    EXPECT_LE(out.tookMs, row.mostMs) << row.what;
  }
  // A reply left from a request of another run of the program answers no write.
  platform::SleepMs(10000);
  sim::QueueInput(wired_, Bytes({0xAA, 0x08, 0x5A}, 64));
  Outcome out = SendInTurn({0x08});
  EXPECT_EQ(out.foreign, std::vector<std::string>{});
  EXPECT_EQ(out.tookMs, 0u);
  // The reply to a request's second write, read by the notification poll,
  // settles that write: the next request need not wait for it.
  platform::SleepMs(10000);
  SendInTurn({0x08}, {1500});
  std::array<uint8_t, 64> report{};
  EXPECT_EQ(mgr_->ReadCurrentDevice(report, 2000), 64);
  out = SendInTurn({0x08});
  EXPECT_EQ(out.foreign, std::vector<std::string>{});
  EXPECT_EQ(out.tookMs, 0u);
  // A mouse gone at a rescan and plugged back in answers nothing from
  // before: what it owed is not waited for.
  platform::SleepMs(10000);
  SendInTurn({0x08}, {1500});  // its second write still owed until 3 s after it
  sim::Unplug(wired_);
  mgr_->Rescan();
  sim::Replug(wired_);
  platform::SleepMs(1200);
  out = SendInTurn({0x08}, {}, {}, {0});
  EXPECT_EQ(out.foreign, std::vector<std::string>{});
  EXPECT_EQ(out.tookMs, 0u);
}

TEST_F(ReplyOrderTest, NoRequestEverTakesAnotherRequestsReplyInRandomSequences) {
  const char* fixed = std::getenv("TGM_EXCHANGE_SEED");
  const uint32_t seed =
      fixed != nullptr ? static_cast<uint32_t>(std::strtoul(fixed, nullptr, 10)) : std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed) + " (TGM_EXCHANGE_SEED repeats it)");
  std::mt19937 random(seed);
  auto below = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random); };
  const uint8_t commands[] = {0x08, 0x0E, 0x30};
  for (int sequence = 0; sequence < 1200; ++sequence) {
    std::vector<uint8_t> sent(1 + below(6));
    for (uint8_t& c : sent) c = commands[below(3)];
    std::set<size_t> rescans;  // also before the first: the last sequence may still be answered
    for (size_t request = 0; request < sent.size(); ++request) {
      if (below(4) == 0) rescans.insert(request);
    }
    // Each reply prompt, late by up to the 3 s the mouse may take, or lost.
    std::vector<uint32_t> delays;
    std::set<int> lost;
    for (size_t write = 1; write <= 3 * sent.size(); ++write) {
      const uint32_t fate = below(10);
      if (fate < 2) lost.insert(static_cast<int>(write));
      delays.push_back(fate < 6 ? 0 : 1 + below(3000));
    }
    const Outcome out = SendInTurn(sent, delays, lost, rescans);
    ASSERT_EQ(out.foreign, std::vector<std::string>{}) << "sequence " << sequence;
    // A wait for the earlier writes to settle, then the request's own retries.
    ASSERT_LE(out.longestMs, 3000u + 4100u) << "sequence " << sequence;
    platform::SleepMs(below(4000));
  }
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
    const std::string dev = "mouse";
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
