// The pace of presents against a display the test plays, driven as the window
// drives it: a picture in every refresh while a frame's work fits in one, and
// never two in one refresh, whatever the display's clock states or reports late.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "platform/refresh_pace.h"

namespace platform {
namespace {

// What drives the display's clock.
enum class Clock {
  kRefreshes,  // the display's refreshes
  kOwnTimer,   // a timer of its own (no compositor), which starts again with the clock
  kSilent,     // nothing: the clock never reports
};

struct Display {
  const char* name;
  double hz;              // the display's real refresh rate
  double stated_hz;       // the rate its clock states, 0: none
  double work;            // each frame's own work, in refreshes
  double vary;            // ... and longer by up to this many, as on a busy machine
  double late;            // the clock's reports come up to this many refreshes late
  std::set<int> quiet;    // frames that show nothing: the clock rests meanwhile
  Clock clock;
  double want;            // the least share of refreshes that carry a new picture
  double slows_to = 0;    // the rate the display (and its clock) take from frame 60 on, 0: it keeps its rate
  int doubled = 0;        // refreshes that may carry two pictures: while the pace learns the slower rate
};

// Frames of the display's work, each putting its picture and waiting. The
// display refreshes every period from `origin` (moved when a timer of its own
// starts again, or when the display slows); the program starts between two
// refreshes. The clock ticks at once when it starts, then for each refresh;
// the program sees a tick only while it waits, the latest of those that came
// during its work when the wait begins, with a time rounded to the nearest
// refresh as the clock smooths its times (which may be a refresh to come).
// Returns the refresh each frame's picture went out in, -1 for none.
std::vector<int64_t> Play(const Display& d) {
  int64_t period = std::llround(1e6 / d.hz);
  int64_t stated = d.stated_hz > 0 ? std::llround(1e6 / d.stated_hz) : 0;
  int64_t origin = 0, counted = 0;  // counted: refreshes before `origin`
  auto refresh = [&](int64_t t) { return counted + (t - origin) / period; };
  // A share of `most` that differs from one refresh or frame to the next.
  auto spread = [&](int64_t k, double most) {
    return std::llround(most * period * static_cast<double>(k * 7 % 11) / 10);
  };
  auto ready = [&](int64_t k) { return origin + k * period + spread(k, d.late); };
  RefreshPace pace;
  std::vector<int64_t> put_in;
  int64_t now = period * 3 / 8, next = 1;  // next: the refresh the clock reports next
  bool ticking = d.clock != Clock::kSilent, at_once = ticking;
  for (int frame = 0; frame < 120; ++frame) {
    if (frame == 60 && d.slows_to > 0) {  // the slower refreshes start at the next one
      counted = refresh(now) + 1, origin += ((now - origin) / period + 1) * period, next = 0;
      period = std::llround(1e6 / d.slows_to), stated = stated != 0 ? period : 0;
    }
    now += std::llround(d.work * period) + spread(frame, d.vary);
    const bool shown = d.quiet.count(frame) == 0;
    if (shown && !ticking && d.clock != Clock::kSilent) {
      at_once = true;
      if (d.clock == Clock::kOwnTimer) counted = refresh(now) + 1, origin = now;
      next = (now - origin) / period + 1;
    }
    put_in.push_back(shown ? refresh(now) : -1);
    ticking = shown && d.clock != Clock::kSilent;
    pace.Begin(now, shown);
    while (!pace.Over(now)) {
      if (ticking && at_once) {
        at_once = false;
        now += 50;
        pace.Refreshed(now, now, stated);
      } else if (ticking && ready(next) <= now) {
        while (ready(next + 1) <= now) ++next;
        ++next;
        pace.Refreshed(now, origin + (now - origin + period / 2) / period * period, stated);
      } else {
        now = ticking ? std::min<int64_t>(ready(next), pace.Deadline()) : pace.Deadline();
      }
    }
  }
  return put_in;
}

TEST(RefreshPace, EachPictureGoesOutInARefreshOfItsOwn) {
  std::vector<Display> displays = {
      {"reports seen up to 0.3 of a refresh late", 60, 60, 0.7, 0, 0.3, {}, Clock::kRefreshes, 0.97},
      {"reports seen up to 0.6 late, some rounded up to a refresh to come", 60, 60, 0.3, 0, 0.6, {}, Clock::kRefreshes,
       0.97},
      {"a clock stating a rate 1 % too high", 60, 60.6, 0.7, 0, 0, {}, Clock::kRefreshes, 0.97},
      {"a clock stating a rate 1 % too low", 60, 59.4, 0.7, 0, 0, {}, Clock::kRefreshes, 0.97},
      {"a clock stating half the real rate", 60, 30, 0.7, 0, 0, {}, Clock::kRefreshes, 0.97},
      {"a clock stating twice the real rate", 30, 60, 0.3, 0, 0, {}, Clock::kRefreshes, 0.97},
      {"no stated rate at 50 Hz", 50, 0, 0.7, 0, 0, {}, Clock::kRefreshes, 0.97},
      {"no stated rate at 120 Hz", 120, 0, 0.7, 0, 0, {}, Clock::kRefreshes, 0.97},
      {"a clock that rests over frames that show nothing", 60, 60, 0.3, 0, 0, {10, 11, 12, 40}, Clock::kRefreshes,
       0.97},
      {"the same at 144 Hz with longer frames", 144, 144, 0.85, 0, 0.1, {10, 11, 12, 40}, Clock::kRefreshes, 0.75},
      {"work that varies on a busy machine", 60, 60, 0.2, 0.5, 0.2, {}, Clock::kRefreshes, 0.97},
      {"a timer of its own that starts again with the clock, after long work", 60, 60, 0.05, 0.8, 0,
       {11, 12, 13, 22, 23, 24, 35}, Clock::kOwnTimer, 0.97},
      {"a clock that never reports: the foreseen refreshes count", 60, 60, 0.5, 0, 0, {}, Clock::kSilent, 0.95},
  };
  for (double work : {0.3, 0.7}) {
    for (auto [hz, slows_to] : {std::pair{144.0, 60.0}, {120.0, 50.0}}) {
      displays.push_back({"a display slowing midway", hz, hz, work, 0, 0.1, {}, Clock::kRefreshes, 0.97, slows_to, 2});
    }
  }
  for (double hz : {30.0, 50.0, 60.0, 75.0, 120.0, 144.0}) {
    for (double work : {0.5, 0.7, 0.85, 1.2}) {
      const double want = work <= 0.7 ? 0.97 : work < 1 ? 0.75 : 0.48;
      displays.push_back({"steady clock", hz, hz, work, 0, 0.1, {}, Clock::kRefreshes, want});
    }
  }
  for (const Display& d : displays) {
    SCOPED_TRACE(testing::Message() << d.name << " at " << d.hz << " Hz, work " << d.work << ", slowing to "
                                    << d.slows_to);
    const std::vector<int64_t> put_in = Play(d);
    int64_t pictures = 0, refreshes = 0, previous = -1, doubled = 0;
    for (size_t f = 0; f < put_in.size(); ++f) {
      if (put_in[f] < 0) continue;
      if (put_in[f] <= previous && ++doubled > d.doubled) ADD_FAILURE() << "two pictures in a refresh at frame " << f;
      if (f > 0 && put_in[f - 1] >= 0) pictures += put_in[f] > put_in[f - 1], refreshes += put_in[f] - put_in[f - 1];
      previous = put_in[f];
    }
    EXPECT_GE(pictures, d.want * refreshes) << pictures << " pictures in " << refreshes << " refreshes";
  }
}

// A refresh seen between two waits, its time rounded up to the refresh to
// come: the next wait, begun before that refresh, ends at it and not a period later.
TEST(RefreshPace, AWaitBegunBeforeAForeseenRefreshEndsAtIt) {
  RefreshPace pace;
  pace.Begin(0, true);
  for (int64_t t : {0, 16667, 33334}) pace.Refreshed(t + 100, t, 16667);  // the first tick is the start's
  pace.Begin(33500, true);
  pace.Refreshed(60000, 66668, 16667);
  pace.Begin(62000, true);
  EXPECT_EQ(pace.Deadline(), 66668 + 16667 / 4) << "no report by then: the foreseen refresh counts";
}

}  // namespace
}  // namespace platform
