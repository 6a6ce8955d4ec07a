// The backlog screen: the messages read so far, oldest at the top, over a
// darkened picture of the game, with the speaker's face beside every message
// that had a voice; a click on a face plays that voice again on the voice
// channel. Opened from the message page wait; it changes nothing of the game
// but the voice channel.
//
// Lines are cut where the view would wrap them itself, so that one line of the
// table is one line on screen: at 46 characters, or earlier when the next
// character would pass the view's width in the font drawn with. Every message
// ends with an empty line; a line feed never shows. A line of 46 is cut before
// the end of its text or a line feed too, so that either leaves one more empty
// line. A face shows, and answers a click, only while all of it is on screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace Game {

class BacklogList;

inline constexpr int kBacklogViewWidth = 576;
inline constexpr int kBacklogLineChars = 46;
inline constexpr int kBacklogLineHeight = 24;
inline constexpr int kBacklogVisibleLines = 25;

// One line of the table: `length` units of entry `entry` from `start`; an
// empty line is length 0.
struct BacklogLine {
  std::size_t entry = 0;
  std::size_t start = 0;
  std::size_t length = 0;
};

// The face of an entry with a voice, beside the entry's first line.
struct BacklogVoice {
  std::size_t entry = 0;
  int firstLine = 0;
};

struct BacklogLayout {
  std::vector<BacklogLine> lines;
  std::vector<BacklogVoice> voices;
};

// Width in pixels of one character (a code point's units) as the view draws it.
using CharWidth = std::function<int(std::u16string_view character)>;
BacklogLayout LayOutBacklog(const BacklogList& list, const CharWidth& width);

// The scroll thumb's top for top line `top` of `maxTop` (> 0), and back.
int BacklogThumbY(int top, int maxTop);
int BacklogTopAt(int thumbY, int maxTop);

// Plays the voice of a face again on the voice channel, from its start. Plays
// nothing when voices are off, while skipping, or while a skip key is held;
// the voice playing stops in every case.
void ReplayBacklogVoice(std::u16string_view voice);

// The screen, until a right click or the cancel key.
void ShowBacklogScreen();

}  // namespace Game
