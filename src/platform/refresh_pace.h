// The pace of presents: a frame that put a picture waits for the display's
// next refresh, so no two pictures go out within one refresh, and one goes
// out in every refresh while a frame's own work fits in one. The display's
// clock reports its refreshes with the time each came (its frame time), seen
// late when the program was busy; one seen very late may bear the time of the
// refresh to come. The clock rests while nothing shows, and its first tick
// after it starts comes at once, not at a refresh.
//
// A wait ends at the first refresh reported to come after the wait began. The
// pace keeps a grid of refreshes a period apart through the latest one
// reported; the period is the shortest spacing of recent reports, or the
// interval the clock states until there are some. A spacing that is no whole
// number of periods tells of a display of another rate: the period starts again
// from it. When no report comes by a quarter period past the grid's first point
// after the wait began, that foreseen refresh counts; a clock whose spacing is
// not known yet is given the longest period to report first, and one that has
// just started again a whole period, as it may have started its refreshes again
// (a timer of its own does). A wait while the clock rests ends at the grid
// point. Times are microseconds on the caller's monotonic clock; the window's
// back end drives it with its display's frame clock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

class RefreshPace {
 public:
  static constexpr int64_t kDefaultPeriodUs = 16667;  // 60 Hz, until the display says otherwise
  // The periods taken from the clock, about 165 Hz to 25 Hz: a stated interval
  // or a spacing outside them says nothing of the display.
  static constexpr int64_t kShortestPeriodUs = 6000;
  static constexpr int64_t kLongestPeriodUs = 40000;

  // Starts the wait that ends a frame, at `now`; `clock_running`: the
  // display's clock runs and reports refreshes meanwhile.
  void Begin(int64_t now, bool clock_running);
  // The display's clock reports, at `now`, a refresh that came at
  // `frame_time`; `interval` is the refresh interval it states (0: none).
  void Refreshed(int64_t now, int64_t frame_time, int64_t interval);
  // Whether the wait is over at `now`.
  bool Over(int64_t now) const { return now >= Deadline(); }
  // When the wait ends: at a refresh reported to come after its start, or
  // else when the foreseen one counts.
  int64_t Deadline() const;
  // The time of the latest refresh reported (before any, the first wait's
  // start): what the display's clock said, for checks of how it drives the pace.
  int64_t LatestRefresh() const { return last; }

 private:
  static constexpr int64_t kNone = INT64_MAX;  // no refresh reported

  int64_t Period() const;
  // The first grid point after `t`.
  int64_t NextAfter(int64_t t) const;

  int64_t stated = kDefaultPeriodUs;  // the clock's interval, within the bounds above
  // Spacings of refreshes reported one after another (0: none), the newest at
  // `spacing_at`: a few, as refreshes missed between two reports leave a longer
  // one, and no more, so the period follows a display slowing to half its rate.
  std::array<int64_t, 8> spacings{};
  std::size_t spacing_at = 0;
  bool anchored = false;    // the grid has a point yet
  int64_t last = 0;         // a point of the grid: the latest refresh reported, or the first wait's start
  bool spaced = false;      // `last` is a reported refresh the next one's spacing counts from
  int64_t begun = 0;        // when the wait began
  int64_t due = 0;          // the first grid point after `begun`
  bool clock_runs = true;   // the wait expects reports; the clock runs from the start
  bool fresh = true;        // the clock has just started: its next tick is not a refresh
  bool restarted = false;   // the clock started again and has not reported a refresh since
  bool patient = true;      // the clock's spacing is not known, nor has it failed to report in a wait
  int64_t reported = 0;     // the first refresh reported to come after the wait began (0 before any wait)
};

}  // namespace platform
