// The pace of presents: a frame that put a picture waits for the display's
// next refresh, so no two pictures go out within one refresh. The display's
// clock reports refreshes, seen late when the program was busy, and rests
// while nothing shows. The pace keeps a grid of refreshes a period apart,
// moved by reports that come earlier than it foresees (a later one may have
// been seen late). A wait ends at a refresh of its own: a report near the
// first grid point after the wait began, but not within a quarter period of
// its start (that is a refresh before the picture, seen late, or the first
// tick of a clock that has just started again); or, when none comes by a
// quarter period past that point, the point itself. A wait while the clock
// rests ends at the point. Times are microseconds on the caller's monotonic
// clock; the window's back end drives it with its display's frame clock.
#pragma once

#include <cstdint>

namespace platform {

class RefreshPace {
 public:
  static constexpr int64_t kDefaultPeriodUs = 16667;  // 60 Hz, until the display says otherwise

  // Starts the wait that ends a frame, at `now`; `clock_running`: the
  // display's clock runs and reports refreshes meanwhile.
  void Begin(int64_t now, bool clock_running);
  // The display's clock reports a refresh at `now`; `interval` is the
  // display's refresh interval as the clock says (0: not known).
  void Refreshed(int64_t now, int64_t interval);
  // Whether the wait is over at `now`: a refresh of its own was reported, or
  // the deadline passed and the foreseen one counts.
  bool Over(int64_t now) const { return over || now >= Deadline(); }
  // When the wait ends at the latest.
  int64_t Deadline() const { return due + (clock_runs ? period / 4 : 0); }

 private:
  // The first grid point after `t`.
  int64_t NextAfter(int64_t t) const;

  int64_t period = kDefaultPeriodUs;
  bool anchored = false;    // the grid has a point yet
  int64_t last = 0;         // a point of the grid: a refresh reported or foreseen
  int64_t begun = 0;        // when the wait began
  int64_t due = 0;          // the first grid point after `begun`
  bool clock_runs = false;  // the wait expects reports
  bool over = true;         // a refresh of the wait's own was reported
};

}  // namespace platform
