// The worker joined to a real window: its close request ends the busy
// dialog's modal run on the window thread, and UM_WORKER_DONE follows it.
#include "ui/device_main_dlg.h"

#include <QApplication>
#include <QTest>

#include "uikit/qt_test_env.h"
#include "worker_test_support.h"

using namespace synctest;

namespace {

class RecordingMainDlg : public DeviceMainDlg {
 public:
  using DeviceMainDlg::DeviceMainDlg;
  // The bridge alone: no config.xml, no worker started by the window.
  int OnInitDialog() override { return 1; }
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == UM_WORKER_DONE) messages.push_back(static_cast<long>(lParam) + 1000 * static_cast<long>(wParam));
    return 0;
  }
  void Scan() {
    DeviceModeInfo row;
    row.device_type = 101;
    row.vid = kVid;
    row.pid = kPid;
    modeRows = {row};
    ScanDevices();
  }
  std::vector<long> messages;
};

class DeviceMainDlgTest : public WorkerTest {
 protected:
  // Runs a busy dialog for `code` as the write-all button does and returns
  // its modal result once the worker's close request ended it.
  int RunBusyDialog(RecordingMainDlg& window, int code) {
    delete window.busyDialog;
    window.busyDialog = new MDialog;
    window.busyDialog->Create(window.GetSafeHwnd(), u"WaitDlg", 0x96000000, 0x80, CRect{0, 0, 102, 102});
    window.QueueWithBusyDialog(code);
    return window.busyDialog->ShowModal(5);
  }
};

TEST_F(DeviceMainDlgTest, CloseRequestEndsTheBusyDialogThenTheDoneMessageArrives) {
  RecordingMainDlg window(db_, *devices_);
  window.Create(nullptr, u"Tarsel-Game mouse", 0, 0, CRect{0, 0, 400, 300});
  window.Scan();
  window.StartThread();

  EXPECT_EQ(RunBusyDialog(window, kCmdWriteAll), 1);
  // The completion message follows the close request once the worker's pause
  // is over; wait for it, boundedly, as the window's loop would.
  (void)QTest::qWaitFor([&] { return !window.messages.empty(); }, 5000);
  EXPECT_EQ(window.messages, (std::vector<long>{1}));
  EXPECT_EQ(mouse_->MacroCommits(), 1);

  // A command dropped for want of a mouse still ends its dialog, with no message.
  window.StopThread();
  window.deviceConnected = 0;
  window.StartThread();
  EXPECT_EQ(RunBusyDialog(window, kCmdRestoreDefaults), 1);
  window.StopThread();  // the step that dropped the code is over: nothing more can come
  QApplication::processEvents();
  EXPECT_EQ(window.messages, (std::vector<long>{1}));
  delete window.busyDialog;
  window.busyDialog = nullptr;
}

}  // namespace
