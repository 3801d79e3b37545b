#include "ui/device_main_dlg.h"

#include <QSocketNotifier>

#include "platform/hotplug.h"
#include "platform/user_store.h"
#include "ui/startup.h"
#include "uikit/manager.h"

// Leaving the program never waits for a busy dialog: the window manager's
// close reaches the main window also while one runs.
DeviceMainDlg::DeviceMainDlg() { SetClosableWhileBlocked(true); }

DeviceMainDlg::DeviceMainDlg(ProfileDatabase& db, HidDeviceManager& devices) : DeviceWorker(db, devices) {
  SetClosableWhileBlocked(true);
}

DeviceMainDlg::~DeviceMainDlg() {
  JoinThread();
  *alive_ = false;
  delete busyDialog;
  busyDialog = nullptr;
}

platform::UserStore& DeviceMainDlg::UserStore() {
  return userStore_ ? *userStore_ : platform::CurrentUserStore();
}

std::pair<platform::UserStore*, std::string> DeviceMainDlg::OwedWriteKey() { return {&UserStore(), ProductKeyName()}; }

void DeviceMainDlg::PostToUiThread(std::function<void()> task) {
  std::shared_ptr<bool> alive = alive_;
  Manager::PostToUiThread([alive, task = std::move(task)] {
    if (*alive) task();
  });
}

void DeviceMainDlg::RunOnWindowThread(std::function<void()> task) {
  if (Manager::IsUiThread()) {
    task();
  } else {
    PostToUiThread(std::move(task));
  }
}

void DeviceMainDlg::PostWorkerDone(long wParam, long lParam) { PostMessage(UM_WORKER_DONE, wParam, lParam); }

void DeviceMainDlg::EndBusyDialog() {
  if (busyDialog != nullptr) busyDialog->DoOK();
}
