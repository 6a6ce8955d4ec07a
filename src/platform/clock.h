// The millisecond clock behind every wait, fade and text speed. It counts in
// 32 bits and wraps, as the engine's arithmetic expects; a finer reading in
// microseconds serves intervals near a frame's length, such as the key repeat.
// Tests install a FakeClock.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds since some fixed start, modulo 2^32.
  virtual uint32_t NowMs() = 0;
  // Microseconds since the same start, in 64 bits: NowMs is this / 1000, cut to 32 bits.
  virtual uint64_t NowUs() = 0;
  // Gives up the processor for about `ms` milliseconds.
  virtual void SleepMs(uint32_t ms) = 0;
};

// The real clock: a monotonic clock.
class SteadyClock : public IClock {
 public:
  uint32_t NowMs() override { return static_cast<uint32_t>(NowUs() / 1000); }
  uint64_t NowUs() override;
  void SleepMs(uint32_t ms) override;
};

// A clock that moves only when told to; sleeping advances it.
class FakeClock : public IClock {
 public:
  explicit FakeClock(uint32_t start_ms = 0) : now_us_(uint64_t{start_ms} * 1000) {}
  uint32_t NowMs() override { return static_cast<uint32_t>(now_us_.load() / 1000); }
  uint64_t NowUs() override { return now_us_.load(); }
  void SleepMs(uint32_t ms) override { Advance(ms); }
  void Advance(uint32_t ms) { now_us_ += uint64_t{ms} * 1000; }
  void AdvanceUs(uint64_t us) { now_us_ += us; }
  // Sets the millisecond reading; the microseconds below it start at 0.
  void Set(uint32_t ms) { now_us_ = uint64_t{ms} * 1000; }

 private:
  std::atomic<uint64_t> now_us_;
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
