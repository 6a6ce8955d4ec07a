#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace platform {

uint32_t SteadyClock::NowMs() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}

void SteadyClock::SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {

SteadyClock& Steady() {
  static SteadyClock clock;
  return clock;
}

std::atomic<IClock*> g_clock{nullptr};

}  // namespace

IClock& Clock() {
  IClock* c = g_clock.load();
  return c != nullptr ? *c : Steady();
}

IClock* SetClock(IClock* clock) {
  return g_clock.exchange(clock);
}

}  // namespace platform
