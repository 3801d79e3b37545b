#include "sync/work_queue.h"

bool IsBusyCloseCode(int code) {
  switch (code) {
    case kCmdRefreshFromDevice:
    case kCmdSelectProfile:
    case kCmdWriteAll:
    case kCmdReadBack:
    case kCmdResetKeyMap:
    case kCmdWriteLighting:
    case kCmdWriteCurrentDpi:
    case kCmdWriteReportRate:
    case kCmdWriteSettings:
    case kCmdRestoreDefaults:
    case kCmdWriteAllNordic:
      return true;
    default:
      return false;
  }
}

bool IsKnownWorkCommand(int code) { return code >= 1 && code <= 17 && code != 14; }

void WorkQueue::Push(int code, uint32_t busyTag) {
  std::lock_guard<std::mutex> lock(mutex_);
  items_.push_back({code, busyTag});
}

bool WorkQueue::TryPop(WorkItem& item) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (items_.empty()) return false;
  item = items_.front();
  items_.pop_front();
  return true;
}

bool WorkQueue::TryPop(int& code) {
  WorkItem item;
  if (!TryPop(item)) return false;
  code = item.code;
  return true;
}

size_t WorkQueue::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_.size();
}
