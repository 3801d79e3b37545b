// The worker's queue of work commands: appended by the window thread (and by
// the worker for the DPI re-send), taken from the front by the worker.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>

enum WorkCommand : int {
  kCmdInitialLoad = 1,
  kCmdDeviceArrived = 2,
  kCmdDeviceRemoved = 3,
  kCmdRefreshFromDevice = 4,
  kCmdSelectProfile = 5,
  kCmdWriteAll = 6,
  kCmdReadBack = 7,
  kCmdResetKeyMap = 8,
  kCmdWriteLighting = 9,
  kCmdWriteCurrentDpi = 10,
  kCmdWriteReportRate = 11,
  kCmdWriteSettings = 12,
  kCmdWriteSettingsNoWait = 13,
  kCmdRestoreDefaults = 15,
  kCmdFactoryReset = 16,
  kCmdWriteAllNordic = 17,
};

// Codes after which the worker asks for the busy dialog to be closed.
bool IsBusyCloseCode(int code);
// Codes the worker knows; the others are taken and ignored.
bool IsKnownWorkCommand(int code);

// Posted by the worker after write-all (lParam 1) and restore-defaults
// (lParam 2), and after a factory reset whose rewrite failed (lParam 3).
// wParam is 0 when every write went through, kWorkerDoneFailed when one
// failed or the mouse went away, kWorkerDoneStoreUnread when the store did
// not answer what was to be sent.
inline constexpr unsigned UM_WORKER_DONE = 1714;
inline constexpr long kWorkerDoneWriteAll = 1;
inline constexpr long kWorkerDoneRestoreDefaults = 2;
inline constexpr long kWorkerDoneFactoryReset = 3;
inline constexpr long kWorkerDoneFailed = 1;
inline constexpr long kWorkerDoneStoreUnread = 2;

// One queued command. `busyTag` names the busy dialog shown for it (0: none),
// so the close request that follows can never end a dialog opened later.
struct WorkItem {
  int code = 0;
  uint32_t busyTag = 0;
};

class WorkQueue {
 public:
  // Appends at the back; callable from either thread.
  void Push(int code, uint32_t busyTag = 0);
  // Takes the front item; false when the queue is empty.
  bool TryPop(WorkItem& item);
  bool TryPop(int& code);
  size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::deque<WorkItem> items_;
};
