#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace platform {

uint32_t SystemClock::Now() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}

void SystemClock::Sleep(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void VirtualClock::Advance(uint32_t ms) {
  now_.fetch_add(ms);
  slept_.fetch_add(ms);
}

namespace {
SystemClock g_system_clock;
std::atomic<Clock*> g_clock{nullptr};
}  // namespace

Clock& CurrentClock() {
  Clock* c = g_clock.load(std::memory_order_acquire);
  return c ? *c : g_system_clock;
}

void SetClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

uint32_t GetTickCount() { return CurrentClock().Now(); }
void SleepMs(uint32_t ms) { CurrentClock().Sleep(ms); }

}  // namespace platform
