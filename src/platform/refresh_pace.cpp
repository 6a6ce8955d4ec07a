#include "platform/refresh_pace.h"

#include <algorithm>

namespace platform {

int64_t RefreshPace::NextAfter(int64_t t) const {
  if (t < last) return last + period;
  return last + ((t - last) / period + 1) * period;
}

void RefreshPace::Begin(int64_t now, bool clock_running) {
  // The first wait counts from its own start, as if a refresh had just come.
  if (!anchored) last = now, anchored = true;
  begun = now;
  clock_runs = clock_running;
  due = NextAfter(now);
  over = false;
}

void RefreshPace::Refreshed(int64_t now, int64_t interval) {
  if (interval > 0) period = interval;
  // A report half a period or more before the foreseen refresh, or soon
  // after the wait began, is of an earlier refresh seen late, or the first
  // tick of a clock that has just started again.
  if (!over && now >= due - period / 2 && now >= begun + period / 4) over = true;
  // A report later than the grid foresees may have been seen late, as the
  // program was busy: the grid moves only to earlier ones.
  const int64_t nearest = last + (now - last + period / 2) / period * period;
  last = anchored ? std::min(now, nearest) : now;
  anchored = true;
  if (!over) due = NextAfter(begun);
}

}  // namespace platform
