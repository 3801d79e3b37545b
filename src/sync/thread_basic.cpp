#include "sync/thread_basic.h"

#include <chrono>

#include "platform/clock.h"

CThreadBasic::~CThreadBasic() { JoinThread(); }

void CThreadBasic::StartThread() {
  if (runFlag_.load() != 0) return;
  if (thread_.joinable()) thread_.join();  // a previous run that has ended
  interval_.store(30);
  loopFlag_.store(1);
  startTick_.store(platform::GetTickCount());
  {
    std::lock_guard<std::mutex> lock(doneMutex_);
    done_ = false;
  }
  runFlag_.store(1);
  thread_ = std::thread(&CThreadBasic::ThreadProc, this);
}

bool CThreadBasic::StopThread(uint32_t waitMs) {
  if (runFlag_.load() == 0) return true;
  runFlag_.store(0);
  std::unique_lock<std::mutex> lock(doneMutex_);
  const bool ended = doneCv_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return done_; });
  return ended;
}

void CThreadBasic::JoinThread() {
  runFlag_.store(0);
  if (thread_.joinable()) thread_.join();
}

void CThreadBasic::ThreadProc() {
  if (loopFlag_.load() == 0) {
    ThreadStep();
  } else {
    while (runFlag_.load() != 0) {
      ThreadStep();
      platform::SleepMs(interval_.load());
      // On a virtual clock the pause costs nothing; let the other threads in.
      std::this_thread::yield();
    }
  }
  std::lock_guard<std::mutex> lock(doneMutex_);
  done_ = true;
  doneCv_.notify_all();
}
