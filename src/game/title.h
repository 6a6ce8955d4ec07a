// The two screens that open the game, and the installation of every screen of
// the game layer into the game cycle.
//
// ShowBrandLogo shows the picture "brand" once at start-up: a fade-in, five
// seconds and a fade-out, each phase shortened by a click. ShowTitle shows the
// title sheet "title/title" with its six items (manual, new game, load,
// settings, extras, quit) under the title music and returns what the game
// cycle does next. Both are sprites appended to the screen group, driven by
// their own frame loop; their fades step once a frame. The title's menu shown
// again after a screen it opened takes no click that began within the
// desktop's double-click time, so a double click on that screen's back item
// (where quit stands) goes back once.
//
// Requests: a back-to-title or load request made while the title's menu, its
// fades or a screen opened from it runs ends the title with -1 or the pending
// load's slot + 2. The logo passes every request on. The screens' sprites and
// pictures are released on every way out, and the title music stops.
#pragma once

#include <functional>

namespace DxDraw {
class DxSurface;
}  // namespace DxDraw

namespace Game {

// Title results.
inline constexpr int kTitleQuit = 0;
inline constexpr int kTitleNewGame = 1;
inline constexpr int kTitleAgain = -1;  // left by a back-to-title request
// s + 2 loads slot s.

// The question the new-game item asks once the prologue was seen.
inline constexpr const char16_t* kSkipPrologueQuestion = u"プロローグをスキップしますか？";

void ShowBrandLogo();
int ShowTitle();

// The screens the title opens that the application provides. Empty members:
// the load dialog of the save data, and no settings screen (the item does
// nothing). The extras item opens the extras menu.
struct TitleScreens {
  // The slot dialog in load mode: the slot chosen or -1.
  std::function<int()> loadDialog;
  // The settings over the title background (the title sheet).
  std::function<void(DxDraw::DxSurface* sheet)> settings;
};
void SetTitleScreens(TitleScreens screens);

// Installs the title, the ending, the Yes/No box and the notice into the game
// cycle's hooks, keeping the others.
void InstallGameScreens();

}  // namespace Game
