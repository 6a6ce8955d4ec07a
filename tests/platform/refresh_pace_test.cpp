// The pace of presents against a display the test plays: one picture per
// refresh, whatever the display's clock reports late or at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "platform/refresh_pace.h"

namespace platform {
namespace {

constexpr int64_t kPeriod = 16667;

// Frames of `work` us, then the refresh wait; frames in `quiet` show nothing.
// The display refreshes every kPeriod from 0; its clock runs while pictures go
// out, reports refresh k `late[k]` after it, and ticks at once when started
// again. Returns the refresh each picture went out in.
std::vector<int64_t> Play(int frames, int64_t work, const std::set<int>& quiet,
                          const std::map<int64_t, int64_t>& late) {
  RefreshPace pace;
  std::vector<int64_t> put_in;
  int64_t now = 0, next = 1;  // the refresh the clock reports next
  bool running = true, tick_at_once = false;
  for (int frame = 0; frame < frames; ++frame) {
    now += work;
    const bool shown = quiet.count(frame) == 0;
    if (shown) put_in.push_back(now / kPeriod);
    if (shown && !running) tick_at_once = true, next = now / kPeriod + 1;
    running = shown;
    pace.Begin(now, shown);
    while (!pace.Over(now)) {
      const int64_t lateness = late.count(next) ? late.at(next) : 0;
      const int64_t report = tick_at_once ? now : std::max(now, next * kPeriod + lateness);
      if (!running || report > pace.Deadline()) {
        now = pace.Deadline();
        continue;
      }
      now = report;
      pace.Refreshed(now, kPeriod);
      if (!std::exchange(tick_at_once, false)) ++next;
    }
  }
  return put_in;
}

TEST(RefreshPace, EachPictureGoesOutInARefreshOfItsOwn) {
  const struct {
    const char* name;
    std::set<int> quiet;
    std::map<int64_t, int64_t> late;  // refresh -> how late its report comes, microseconds
    std::vector<int64_t> put_in;
  } cases[] = {
      {"steady clock", {}, {}, {0, 1, 2, 3, 4}},
      {"reports late within the deadline", {}, {{1, 3000}, {2, 3000}, {3, 3000}}, {0, 1, 2, 3, 4}},
      {"a report after the deadline, foreseen, seen after the next picture", {}, {{2, 6000}}, {0, 1, 2, 3, 4}},
      {"the same, seen half a period late", {}, {{2, 9000}}, {0, 1, 2, 3, 4}},
      {"a clock that rested over frames that showed nothing ticks at once", {1, 2}, {}, {0, 3, 4}},
      {"clock that never reports", {}, {{1, 1 << 30}, {2, 1 << 30}, {3, 1 << 30}, {4, 1 << 30}}, {0, 1, 2, 3, 4}},
  };
  for (const auto& c : cases) EXPECT_EQ(Play(5, 2000, c.quiet, c.late), c.put_in) << c.name;
}

}  // namespace
}  // namespace platform
