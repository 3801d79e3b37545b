// The step: which codes run, which are dropped, and the busy dialog hand-off.
#include "worker_test_support.h"

#include "sync/work_queue.h"

using namespace synctest;

namespace {

class StepTest : public WorkerTest {};

TEST_F(StepTest, DroppedBusyCodeStillClosesItsDialog) {
  worker_->deviceConnected = 0;
  RunBusy(kCmdWriteAll);
  RunBusy(kCmdRestoreDefaults);
  Run(kCmdWriteLighting);
  EXPECT_EQ(worker_->Ui(), (std::vector<std::string>{"busy closed", "busy closed"}));
  EXPECT_TRUE(sim::Writes(path_).empty());
  // Lost, not kept for later.
  worker_->deviceConnected = 1;
  worker_->ThreadStep();
  EXPECT_TRUE(Sent(0x21).empty());
}

TEST_F(StepTest, ALateCloseRequestLeavesANewerDialogOpen) {
  const uint32_t first = worker_->QueueWithBusyDialog(kCmdReadBack);
  worker_->ThreadStep();  // the close request for the first dialog waits in the UI queue
  const uint32_t second = worker_->QueueWithBusyDialog(kCmdWriteAll);
  EXPECT_NE(first, second);
  worker_->RunUi();
  EXPECT_EQ(worker_->Count("busy closed"), 0u);
  worker_->ThreadStep();
  worker_->RunUi();
  EXPECT_EQ(worker_->Ui(), (std::vector<std::string>{"battery 80 0", "RefreshKeyPage", "LoadPerformancePage",
                                                     "LoadMacroList", "busy closed", "worker done 1"}));
  // Repeated requests close once.
  worker_->OnBusyCloseRequest(second);
  EXPECT_EQ(worker_->Count("busy closed"), 1u);
}

TEST_F(StepTest, UntaggedBusyCodesCloseNothing) {
  worker_->QueueWithBusyDialog(kCmdWriteAll);
  WorkItem tagged;
  ASSERT_TRUE(worker_->workQueue.TryPop(tagged));
  Run(kCmdWriteLighting);  // its close request carries no tag
  EXPECT_EQ(worker_->Count("busy closed"), 0u);
  worker_->OnBusyCloseRequest(tagged.busyTag);
  EXPECT_EQ(worker_->Count("busy closed"), 1u);
}

TEST_F(StepTest, CodesOutsideTheTableAreIgnored) {
  for (int code : {0, 14, 18, 42, -7}) {
    worker_->QueueWithBusyDialog(code);
    worker_->ThreadStep();
  }
  worker_->RunUi();
  EXPECT_TRUE(worker_->Ui().empty());
  EXPECT_TRUE(sim::Writes(path_).empty());
}

TEST_F(StepTest, CodesWithoutSenderRunAndPause) {
  db_.SetConfigValue(1, u"dpi_index", u"2");
  db_.SetConfigValue(1, u"dpi_group2_value", u"30000");
  const uint32_t start = (*clock_).Now();
  Run(kCmdWriteCurrentDpi);
  EXPECT_GE((*clock_).Now() - start, 100u);
  // Limited to 26000, like every value that goes to the mouse.
  EXPECT_EQ(Sent(0x22)[0], Report({0x00, 0x55, 0x22, 0xAE, 0xFB, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03,
                                   0x90, 0x65}));
  Run(kCmdWriteReportRate);
  Run(kCmdWriteSettings);
  Run(kCmdWriteSettingsNoWait);
  Run(kCmdRefreshFromDevice);
  EXPECT_EQ(Sent(0x23).size(), 1u);
  EXPECT_EQ(Sent(0x0F).size(), 2u);
  EXPECT_EQ(Sent(0x08).size(), 6u);
}

TEST_F(StepTest, SelectProfileOnlyRefreshesThePages) {
  worker_->selectedButton = 4;
  Run(kCmdSelectProfile);
  EXPECT_TRUE(sim::Writes(path_).empty());
  EXPECT_EQ(worker_->selectedButton.load(), 0);
  EXPECT_EQ(worker_->Ui(), (std::vector<std::string>{"LoadProfileList", "FillKeyCombos", "ShowKeyAssignments",
                                                     "LoadMacroList", "LoadPerformancePage"}));
}

TEST_F(StepTest, NordicRowsSendOnlyTheSecondFamilysExchanges) {
  worker_->deviceType = 201;
  for (int code : {5, 6, 8, 10, 11, 12, 13, 15, 17}) Run(code);
  EXPECT_FALSE(sim::Writes(path_).empty());
  for (const sim::LogEntry& e : sim::Writes(path_)) EXPECT_NE(e.bytes[1], 0x55);  // no command report
  // Read-back and lighting have no family test.
  Run(kCmdWriteLighting);
  EXPECT_EQ(Sent(0x21).size(), 1u);
}

TEST_F(StepTest, RemovalRescansAndReadsWhatIsLeft) {
  sim::Unplug(path_);
  Run(kCmdDeviceRemoved);
  EXPECT_EQ(worker_->deviceConnected.load(), 0);
  sim::Replug(path_);
  Run(kCmdDeviceArrived);
  EXPECT_EQ(worker_->deviceConnected.load(), 1);
  EXPECT_EQ(worker_->deviceDataLoaded.load(), 1);
}

}  // namespace
