// The main window: a dialog of our UI library, the owner of the program's
// run-time state and of the worker thread. The worker side (state, queue,
// step and device tasks) is DeviceWorker; this class joins it to the window:
// what the worker hands to the window thread goes through the UI library's
// post, in order with the window's own posted messages.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "sync/device_main_def.h"
#include "sync/device_worker.h"
#include "uikit/window.h"

class DeviceMainDlg : public MDialog, public DeviceWorker, public DeviceMainDef {
 public:
  DeviceMainDlg();  // the process-wide store and device manager
  DeviceMainDlg(ProfileDatabase& db, HidDeviceManager& devices);
  // Ends the worker before anything it may touch goes.
  ~DeviceMainDlg() override;

  const char* GetClassName() const override { return "DeviceMainDlg"; }

  // The busy dialog last shown (a WaitDlg), kept after its run and deleted
  // when the next one is made. Window thread only.
  MDialog* busyDialog = nullptr;

 protected:
  void PostToUiThread(std::function<void()> task) override;
  void PostWorkerDone(long lParam) override;
  void EndBusyDialog() override;

 private:
  // Cleared by the destructor: a task that arrives after the window went
  // does nothing. Both run on the window thread.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
