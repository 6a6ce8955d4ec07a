#include "platform/clock.h"

#include <chrono>
#include <thread>

#include "platform/service.h"

namespace platform {

uint64_t SteadyClock::NowUs() {
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint64_t>(us.count());
}

void SteadyClock::SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {

ServiceSlot<IClock, SteadyClock> g_clock;

}  // namespace

IClock& Clock() { return g_clock.Get(); }

IClock* SetClock(IClock* clock) { return g_clock.Install(clock); }

}  // namespace platform
