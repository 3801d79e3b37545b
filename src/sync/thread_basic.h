// One periodic worker thread: ThreadStep again and again with a pause of the
// interval after each call while the run flag is set (once only when the loop
// flag is clear), then the done event.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class CThreadBasic {
 public:
  CThreadBasic() = default;
  CThreadBasic(const CThreadBasic&) = delete;
  CThreadBasic& operator=(const CThreadBasic&) = delete;

  // Starts the thread (interval 30 ms, looping) unless it runs already.
  void StartThread();
  // Clears the run flag and waits at most `waitMs` for the done event.
  // Returns true when the thread has ended. A step in progress is not
  // interrupted.
  bool StopThread(uint32_t waitMs = 1000);

  bool IsRunning() const { return runFlag_.load() != 0; }
  uint32_t StartTick() const { return startTick_.load(); }

 protected:
  // Not virtual on purpose: derived classes must end the thread in their
  // own destructor (JoinThread), before their members go.
  ~CThreadBasic();

  // One step of work, on the worker thread.
  virtual void ThreadStep() = 0;

  // Clears the run flag and waits for the thread, however long its step takes.
  void JoinThread();

  void SetLoop(bool loop) { loopFlag_.store(loop ? 1 : 0); }
  void SetInterval(uint32_t ms) { interval_.store(ms); }

 private:
  void ThreadProc();

  std::mutex doneMutex_;
  std::condition_variable doneCv_;
  bool done_ = false;
  std::atomic<int> runFlag_{0};
  std::atomic<int> loopFlag_{0};
  std::atomic<uint32_t> interval_{1};
  std::atomic<uint32_t> startTick_{0};
  std::thread thread_;
};
