#include "platform/refresh_pace.h"

#include <algorithm>
#include <utility>

namespace platform {

int64_t RefreshPace::Period() const {
  int64_t shortest = 0;
  for (int64_t s : spacings) {
    if (s != 0 && (shortest == 0 || s < shortest)) shortest = s;
  }
  return shortest != 0 ? shortest : stated;
}

int64_t RefreshPace::NextAfter(int64_t t) const {
  // `last` lies at most a period ahead: a refresh the clock foresees.
  if (t < last) return last;
  const int64_t period = Period();
  return last + ((t - last) / period + 1) * period;
}

int64_t RefreshPace::Deadline() const {
  if (!clock_runs) return due;
  const int64_t foreseen = restarted ? begun + Period() : due;
  return std::min(reported, patient ? begun + kLongestPeriodUs : foreseen + Period() / 4);
}

void RefreshPace::Begin(int64_t now, bool clock_running) {
  // A wait that ran to its deadline with the clock running gave the clock its
  // chance: from now on the foreseen refreshes count when it is silent.
  if (clock_runs && reported == kNone) patient = false;
  if (clock_running && !clock_runs) fresh = true, restarted = true, spaced = false;
  clock_runs = clock_running;
  // The first wait counts from its own start, as if a refresh had just come.
  if (!anchored) last = now, anchored = true;
  begun = now;
  due = NextAfter(now);
  reported = kNone;
}

void RefreshPace::Refreshed(int64_t now, int64_t frame_time, int64_t interval) {
  if (interval >= kShortestPeriodUs && interval <= kLongestPeriodUs) stated = interval;
  // A clock that has just started ticks at once, not at a refresh. A clock
  // seen late may round its time up to the refresh to come, which then ends
  // the wait when it comes; a time further ahead says nothing.
  if (std::exchange(fresh, false) || frame_time > now + Period()) return;
  const int64_t spacing = frame_time - last;
  if (spaced && spacing >= kShortestPeriodUs && spacing <= kLongestPeriodUs) {
    // Refreshes missed between two reports leave a whole number of periods;
    // any other spacing is a display of another rate (the window moved to
    // another monitor), of which the spacings before say nothing.
    const int64_t period = Period(), off = spacing % period;
    if (off > period / 8 && off < period - period / 8) spacings.fill(0);
    spacings[spacing_at] = spacing;
    spacing_at = (spacing_at + 1) % spacings.size();
    patient = false;
  }
  last = frame_time, anchored = true, spaced = true, restarted = false;
  if (frame_time > begun) {
    reported = std::min(reported, frame_time);
  } else {
    due = NextAfter(begun);
  }
}

}  // namespace platform
