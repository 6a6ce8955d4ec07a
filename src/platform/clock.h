// The millisecond clock behind every wait, fade and text speed. It counts in
// 32 bits and wraps, as the engine's arithmetic expects; tests install a FakeClock.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds since some fixed start, modulo 2^32.
  virtual uint32_t NowMs() = 0;
  // Gives up the processor for about `ms` milliseconds.
  virtual void SleepMs(uint32_t ms) = 0;
};

// The real clock: a monotonic clock in milliseconds.
class SteadyClock : public IClock {
 public:
  uint32_t NowMs() override;
  void SleepMs(uint32_t ms) override;
};

// A clock that moves only when told to; sleeping advances it.
class FakeClock : public IClock {
 public:
  explicit FakeClock(uint32_t start = 0) : now_(start) {}
  uint32_t NowMs() override { return now_.load(); }
  void SleepMs(uint32_t ms) override { now_ += ms; }
  void Advance(uint32_t ms) { now_ += ms; }
  void Set(uint32_t ms) { now_ = ms; }

 private:
  std::atomic<uint32_t> now_;
};

// The clock in use (the steady clock unless one was installed).
IClock& Clock();
// Installs a clock (not owned); null restores the steady clock. Returns the previous.
IClock* SetClock(IClock* clock);

// The engine's timeGetTime.
inline uint32_t TimeGetTime() { return Clock().NowMs(); }

// Installs a clock for the lifetime of the guard (tests).
class ScopedClock {
 public:
  explicit ScopedClock(IClock* clock) : previous_(SetClock(clock)) {}
  ~ScopedClock() { SetClock(previous_); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  IClock* previous_;
};

}  // namespace platform
