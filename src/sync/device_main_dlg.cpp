#include "sync/device_main_dlg.h"

#include "uikit/manager.h"

DeviceMainDlg::DeviceMainDlg() = default;

DeviceMainDlg::DeviceMainDlg(ProfileDatabase& db, HidDeviceManager& devices) : DeviceWorker(db, devices) {}

DeviceMainDlg::~DeviceMainDlg() {
  JoinThread();
  *alive_ = false;
}

void DeviceMainDlg::PostToUiThread(std::function<void()> task) {
  std::shared_ptr<bool> alive = alive_;
  Manager::PostToUiThread([alive, task = std::move(task)] {
    if (*alive) task();
  });
}

void DeviceMainDlg::PostWorkerDone(long lParam) { PostMessage(UM_WORKER_DONE, 0, lParam); }

void DeviceMainDlg::EndBusyDialog() {
  if (busyDialog != nullptr) busyDialog->DoOK();
}
