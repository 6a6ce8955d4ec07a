// The backlog's line table and scroll thumb: where lines are cut, which line a
// face stands beside, and the thumb's travel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/backlog.h"
#include "game/game_state.h"

namespace {

struct Entry {
  std::u16string text;
  std::u16string voice;
};

// Each line as its text; "" for an empty line.
std::vector<std::u16string> Lines(const Game::BacklogList& list, const Game::BacklogLayout& layout) {
  std::vector<std::u16string> out;
  for (const Game::BacklogLine& line : layout.lines) out.push_back(list[line.entry].text.substr(line.start, line.length));
  return out;
}

// Half-width characters 12 pixels, others 24: a 24-pixel font.
int Width(std::u16string_view c) { return c[0] < 0x100 ? 12 : 24; }

TEST(BacklogLayout, LinesAreCutAtFortySixCharactersOrTheViewWidthAndEveryMessageEndsWithAnEmptyLine) {
  const std::u16string a47(47, u'a');
  const std::u16string wide30(30, u'あ');
  struct Case {
    const char* name;
    std::vector<Entry> entries;
    std::vector<std::u16string> lines;
    std::vector<int> faceLines;
  };
  const Case cases[] = {
      {"47 narrow characters", {{a47, u""}}, {a47.substr(0, 46), u"a", u""}, {}},
      {"a full line still gets its empty line", {{a47.substr(1), u""}}, {a47.substr(1), u"", u""}, {}},
      {"a full line before a line feed", {{a47.substr(1) + u"\n", u""}}, {a47.substr(1), u"", u"", u""}, {}},
      {"full-width text wraps at the view's width", {{wide30, u""}}, {wide30.substr(0, 24), wide30.substr(24), u""}, {}},
      {"a line feed ends a line and never shows", {{u"ab\ncd", u""}}, {u"ab", u"cd", u""}, {}},
      {"a closing line feed leaves an empty line", {{u"ab\n", u""}}, {u"ab", u"", u""}, {}},
      {"faces beside each voiced message's first line",
       {{u"x", u"A0001"}, {a47, u""}, {u"y", u"B0001"}},
       {u"x", u"", a47.substr(0, 46), u"a", u"", u"y", u""},
       {0, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Game::BacklogList list;
    for (const Entry& e : c.entries) list.Append(e.text, e.voice);
    const Game::BacklogLayout layout = Game::LayOutBacklog(list, Width);
    EXPECT_EQ(Lines(list, layout), c.lines);
    std::vector<int> faces;
    for (const Game::BacklogVoice& v : layout.voices) faces.push_back(v.firstLine);
    EXPECT_EQ(faces, c.faceLines);
  }
}

TEST(BacklogLayout, ThumbTravelsEvenlyBetweenItsEndsAndBack) {
  struct Case {
    int top, maxTop, y;
  };
  // Integer division first would put every top line but the last at 36.
  const Case cases[] = {{0, 10, 36}, {5, 10, 284}, {10, 10, 532}, {1, 4, 160}, {0, 1, 36}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.top);
    EXPECT_EQ(Game::BacklogThumbY(c.top, c.maxTop), c.y);
    EXPECT_EQ(Game::BacklogTopAt(c.y, c.maxTop), c.top);
  }
}

}  // namespace
