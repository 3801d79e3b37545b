// The idle poll of the mouse's notification reports.
#include "worker_test_support.h"

#include <sqlite3.h>

#include "platform/text.h"
#include "sync/work_queue.h"

using namespace synctest;

namespace {

class NotifyTest : public WorkerTest {
 protected:
  // One report waiting, then one poll.
  void Notify(const Bytes& report) {
    sim::QueueInput(path_, report);
    worker_->lastPollTick = (*clock_).Now() - 1000;
    worker_->PollDeviceNotifications();
    worker_->RunUi();
  }
  static Bytes Event(int code, int v1, int v2, int b2 = 0, int b3 = 0) {
    Bytes r = Report({0xAA, 0xFA, b2, b3}, 64);
    r[8] = static_cast<uint8_t>(code);
    r[9] = static_cast<uint8_t>(v1);
    r[10] = static_cast<uint8_t>(v2);
    return r;
  }
};

TEST_F(NotifyTest, StageAndRate) {
  worker_->currentProfile = 2;
  Notify(Event(0x10, 3, 1));
  EXPECT_EQ(Config(2, u"dpi_index"), u"2");
  EXPECT_EQ(Config(2, u"report_rate"), u"1");
  EXPECT_EQ(worker_->selectedDpiControl.load(), 103);
  EXPECT_EQ(worker_->lastDpiLevel.load(), 3);
  EXPECT_EQ(worker_->Ui(), (std::vector<std::string>{"dpi stage 3", "rate button 125"}));

  // The same stage again: only the rate.
  worker_->ClearUi();
  db_.SetConfigValue(2, u"dpi_index", u"0");
  Notify(Event(0x10, 3, 4));
  EXPECT_EQ(Config(2, u"dpi_index"), u"0");
  EXPECT_EQ(Config(2, u"report_rate"), u"4");
  EXPECT_EQ(worker_->Ui(), (std::vector<std::string>{"rate button 1000"}));

  worker_->ClearUi();
  Notify(Event(0x10, 9, 2));
  EXPECT_EQ(Config(2, u"dpi_index"), u"5");
  Notify(Event(0x10, 0, 3));
  EXPECT_EQ(Config(2, u"dpi_index"), u"0");
  EXPECT_EQ(worker_->Ui(),
            (std::vector<std::string>{"dpi stage 6", "rate button 250", "dpi stage 1", "rate button 500"}));

  // A store another program holds keeps its values, and the window is told.
  const std::string before = Dump();
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(db_.Path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  worker_->ClearUi();
  Notify(Event(0x10, 4, 1));
  Notify(Event(0x11, 3, 0));
  sqlite3_close(other);
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(worker_->Count("not stored"), 3u);  // stage, rate, light mode
}

TEST_F(NotifyTest, LightModeAndBattery) {
  Notify(Event(0x11, 9, 0));
  EXPECT_EQ(Config(1, u"light_mode"), u"6");
  EXPECT_EQ(worker_->lightMode.load(), 0);  // neither the member nor the mouse
  const std::string before = Dump();
  Notify(Event(0xD0, 150, 1));
  EXPECT_EQ(worker_->Ui(), (std::vector<std::string>{"light combo 6", "battery 100 1"}));
  EXPECT_TRUE(sim::Writes(path_).empty());
  EXPECT_EQ(Dump(), before);
}

TEST_F(NotifyTest, EmojiIsTypedInto) {
  const uint32_t start = (*clock_).Now();
  Notify(Event(0x50, 64, 0));
  EXPECT_EQ(typer_->Typed(), U"[Emm]");
  EXPECT_GE((*clock_).Now() - start, 50u);
  Notify(Event(0x60, 26, 0));
  EXPECT_EQ(typer_->Typed(), U"[Emm][流汗]");
  Notify(Event(0x50, 0, 0));
  Notify(Event(0x50, 110, 0));
  EXPECT_EQ(typer_->Typed(), U"[Emm][流汗]");
}

TEST_F(NotifyTest, TypingDropsCarriageReturnsAndKeepsSurrogatePairsWhole) {
  const uint32_t start = (*clock_).Now();
  worker_->SendUnicodeText(u"a\r\nb\U0001F600");
  EXPECT_EQ(typer_->Typed(), U"a\nb\U0001F600");
  // Ten milliseconds per UTF-16 unit: a, LF, b and the two halves of the pair.
  EXPECT_EQ((*clock_).Now() - start, 50u);
  worker_->SendUnicodeText(u"x\xD800y");  // a lone surrogate is skipped
  EXPECT_EQ(typer_->Typed(), U"a\nb\U0001F600xy");
}

TEST_F(NotifyTest, LostValuesOnlyQueueTheDpiResend) {
  const std::string before = Dump();
  Notify(Event(0x50, 0xFF, 0));
  Notify(Event(0x10, 2, 0xFF));
  EXPECT_EQ(typer_->Typed(), U"");
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(worker_->Ui().empty());
  WorkItem item;
  ASSERT_TRUE(worker_->workQueue.TryPop(item));
  EXPECT_EQ(item.code, kCmdWriteCurrentDpi);
  ASSERT_TRUE(worker_->workQueue.TryPop(item));
  EXPECT_EQ(item.code, kCmdWriteCurrentDpi);
  EXPECT_FALSE(worker_->workQueue.TryPop(item));
  EXPECT_TRUE(sim::Writes(path_).empty());
}

TEST_F(NotifyTest, MarkedAndForeignReportsAreIgnored) {
  const std::string before = Dump();
  Notify(Event(0x10, 3, 1, 0x38, 0x38));
  Notify(Report({0xAA, 0x08, 0, 0, 0, 0, 0, 0, 0x10, 3, 1}, 64));
  Notify(Event(0x77, 3, 1));
  EXPECT_EQ(Dump(), before);
  EXPECT_TRUE(worker_->Ui().empty());
  EXPECT_EQ(worker_->workQueue.Size(), 0u);
}

TEST_F(NotifyTest, AChangeOnTheMouseWaitingWhenAWriteStartsLeavesStoreAndMouseAgreeing) {
  const struct {
    const char* what;
    int command;
    uint8_t event;
    std::vector<std::pair<uint8_t, uint8_t>> values;  // one report each, oldest first
  } cases[] = {
      {"stage 5 and rate 4 before Apply", kCmdWriteAll, 0x10, {{5, 4}}},
      {"light mode 4 before the light mode's write", kCmdWriteLighting, 0x11, {{4, 0}}},
      {"light mode 5 before a write of the stage alone", kCmdWriteCurrentDpi, 0x11, {{5, 0}}},
      {"light mode 3 before Apply", kCmdWriteAll, 0x11, {{3, 0}}},
      {"stage 3 and rate 1 before the report rate's write", kCmdWriteReportRate, 0x10, {{3, 1}}},
      {"stage 6 and rate 3 before a write of the stage alone", kCmdWriteCurrentDpi, 0x10, {{6, 3}}},
      {"ten stages and rates before the report rate's write", kCmdWriteReportRate, 0x10,
       {{1, 1}, {2, 2}, {3, 1}, {4, 2}, {5, 1}, {6, 2}, {1, 1}, {2, 2}, {4, 3}, {5, 2}}},
  };
  for (const auto& c : cases) {
    for (const auto& [value1, value2] : c.values) sim::QueueNotification(path_, c.event, value1, value2);
    Run(c.command);
    for (int poll = 0; poll < 3; ++poll) {
      worker_->lastPollTick = (*clock_).Now() - 1000;
      worker_->PollDeviceNotifications();
      worker_->RunUi();
    }
    if (c.event == 0x10) {
      EXPECT_EQ(Config(1, u"dpi_index"), platform::FormatDecimal(mouse_->CurrentDpiLevel() - 1)) << c.what;
      EXPECT_EQ(Config(1, u"report_rate"), platform::FormatDecimal(mouse_->ReportRate())) << c.what;
    } else {
      EXPECT_EQ(Config(1, u"light_mode"), platform::FormatDecimal(mouse_->LightMode())) << c.what;
    }
  }
}

TEST_F(NotifyTest, PollsAreAtLeast200MsApartAcrossTheWrap) {
  for (uint32_t start : {100000u, 0xFFFFFF60u}) {
    (*clock_).Set(start);
    worker_->lastPollTick = start - 200;
    sim::QueueInput(path_, Event(0x11, 1, 0));
    sim::QueueInput(path_, Event(0x11, 2, 0));
    worker_->PollDeviceNotifications();  // due: reads the first
    EXPECT_EQ(sim::PendingInput(path_), 1u);
    (*clock_).Set(start + 199);
    worker_->PollDeviceNotifications();
    EXPECT_EQ(sim::PendingInput(path_), 1u) << start;
    (*clock_).Set(start + 200);  // wraps for the second start
    worker_->PollDeviceNotifications();
    EXPECT_EQ(sim::PendingInput(path_), 0u) << start;
    EXPECT_EQ(Config(1, u"light_mode"), u"2");
  }
}

TEST_F(NotifyTest, IdleStepsPollOnlyWithAMouseAndNothingQueued) {
  sim::QueueInput(path_, Event(0x11, 4, 0));
  worker_->lastPollTick = (*clock_).Now() - 1000;
  worker_->deviceConnected = 0;
  worker_->ThreadStep();
  EXPECT_EQ(sim::PendingInput(path_), 1u);
  worker_->deviceConnected = 1;
  worker_->workQueue.Push(kCmdSelectProfile);
  worker_->ThreadStep();
  EXPECT_EQ(sim::PendingInput(path_), 1u);
  worker_->ThreadStep();
  EXPECT_EQ(sim::PendingInput(path_), 0u);
  EXPECT_EQ(Config(1, u"light_mode"), u"4");
}

class ReceiverNotifyTest : public NotifyTest {
 protected:
  void SetUp() override { SetUpWith(kModeReceiver); }
  // One idle step of the worker.
  void Idle() {
    worker_->lastPollTick = (*clock_).Now() - 1000;
    worker_->ThreadStep();
    worker_->RunUi();
  }
};

TEST_F(ReceiverNotifyTest, TheMouseLeavingItsReceiverAndComingBack) {
  ASSERT_TRUE(sim::ConnectMouse(path_, false));
  Idle();
  EXPECT_EQ(worker_->deviceReady.load(), 0);
  EXPECT_EQ(worker_->deviceConnected.load(), 1);
  EXPECT_EQ(devices_->GetConnectionMode(), kNoDevice);
  EXPECT_TRUE(Sent(0x08).empty());

  // Back: the changes made to it meanwhile are read back.
  sim::StandardKeyMap map = sim::DefaultKeyMap();
  map[0] = {0x20, 0x02, 0x00, 0x00};
  mouse_->SetKeyMap(0, map);
  ASSERT_TRUE(sim::ConnectMouse(path_, true));
  Idle();
  EXPECT_EQ(worker_->deviceReady.load(), 1);
  EXPECT_EQ(devices_->GetConnectionMode(), kModeReceiver);
  EXPECT_EQ(Sent(0x08).size(), 6u);
  std::vector<KeyAssignment> rows;
  db_.LoadKeyAssignments(1, 0, rows);
  const auto button1 = std::find_if(rows.begin(), rows.end(), [](const KeyAssignment& a) { return a.key_code == 1; });
  ASSERT_NE(button1, rows.end());
  EXPECT_EQ(button1->macro_type, 3);  // the right click it holds now

  // The receiver saying again what is known changes nothing.
  sim::ClearLog();
  sim::QueueInput(path_, Report({0x01, 0x00, 0x8C, 0x01, 0x08}, 64));
  Idle();
  EXPECT_TRUE(sim::Writes(path_).empty());
  EXPECT_EQ(worker_->deviceReady.load(), 1);
}

}  // namespace
