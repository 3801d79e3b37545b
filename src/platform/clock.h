// Millisecond ticks and sleeps. Everything that waits on the mouse goes
// through here so tests can run on a virtual clock and retries cost no time.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds, wrapping at 2^32 like GetTickCount.
  virtual uint32_t Now() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// The monotonic system clock.
class SystemClock : public Clock {
 public:
  uint32_t Now() override;
  void Sleep(uint32_t ms) override;
};

// A clock that only moves when told: Sleep advances it at once. Safe to use
// from several threads. A hook may run on every advance (the simulated mouse
// uses it to make late replies due).
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(uint32_t start = 0) : now_(start) {}
  uint32_t Now() override { return now_.load(); }
  void Sleep(uint32_t ms) override { Advance(ms); }
  void Advance(uint32_t ms);
  void Set(uint32_t t) { now_.store(t); }
  // Total time slept through Sleep since construction or ResetSlept.
  uint64_t Slept() const { return slept_.load(); }
  void ResetSlept() { slept_.store(0); }

 private:
  std::atomic<uint32_t> now_;
  std::atomic<uint64_t> slept_{0};
};

// The clock in force; the system clock unless a test installed another.
Clock& CurrentClock();
// Installs a clock (nullptr restores the system clock). The clock must
// outlive its use; tests install one before any thread starts.
void SetClock(Clock* clock);

uint32_t GetTickCount();
void SleepMs(uint32_t ms);

// Installs a virtual clock for the lifetime of the object.
class ScopedVirtualClock {
 public:
  explicit ScopedVirtualClock(uint32_t start = 0) : clock_(start) { SetClock(&clock_); }
  ~ScopedVirtualClock() { SetClock(nullptr); }
  VirtualClock& operator*() { return clock_; }
  VirtualClock* operator->() { return &clock_; }

 private:
  VirtualClock clock_;
};

}  // namespace platform
