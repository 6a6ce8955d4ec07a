// Two overlays that speak to the player in the game's own style over whatever
// the screen shows: the Yes/No box and the timed notice. Each is a
// half-transparent piece of the SYSTEM picture under a text view in the
// message font, appended to the screen group and driven by its own frame loop.
//
// Both follow a change of the font face made while they show (the settings'
// font bit): they draw their text again in the new face and leave the bit set
// when they end, whichever way, so that the running script sees it too. Their
// sprites leave the tree on every way out; requests pass through.
#pragma once

#include <cstdint>
#include <string_view>

namespace Game {

inline constexpr const char16_t* kYesText = u"はい";
inline constexpr const char16_t* kNoText = u"いいえ";

// Asks the question with the answers "はい" and "いいえ" until the left button
// is pressed on one: 1 for "はい", 0 for "いいえ". Keys and the right button do
// not answer.
int ShowYesNoBox(std::u16string_view question);

// Shows the line on a band: first until no button is held, then for `ms`
// milliseconds or until a decide button is pressed.
void ShowNoticeBand(std::u16string_view text, uint32_t ms);

}  // namespace Game
