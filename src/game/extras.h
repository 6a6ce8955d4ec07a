// The extras the title opens: a menu of three items (the CG album, the scene
// replay, back), the CG album of the pictures seen so far with a full-screen
// view, and the scene replay, which runs the story again from a scene's label
// and comes back to its page.
//
// Every screen is a set of sprites appended to the screen group above what is
// shown, driven frame by frame; the left button chooses and the right button
// leaves, each acting once the button is up again. Whichever way a screen ends
// (its own exit, a ScriptException from a frame, the quit record or a missing
// picture, which the picture loader reports by name) its sprites leave the
// tree and its pictures are released before the exception goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace DxDraw {
class DxSprite;
class DxSurface;
}  // namespace DxDraw

namespace Game {

// The extras menu at the title menu's position, drawn from the title sheet
// ("title/title"); the title background is hidden while the album or the
// replay shows and left as it was when the menu ends. Runs until the back item
// or a right click.
void ShowExtrasMenu(DxDraw::DxSurface* titleSheet, DxDraw::DxSprite* titleBackground);

// The CG album: pages of "config.xml"'s "cgalbum", an item unlocked when its
// picture key is in the album list; choosing one shows its pictures one after
// another full screen until a right click.
void ShowCgAlbum();

// The scene replay: pages of "sceneplay", an item unlocked when its label is
// among the running game's scene names; choosing one runs the story from that
// label in replay mode and comes back to the page. A label the script lacks is
// reported to the player and the page stays. A load chosen during a replay
// leaves the screen and throws ScriptException 1 so that the load goes on.
void ShowScenePlay();

// Changes the text of a menu item and returns its text before; the
// application installs it (none: menu texts stay as they are).
using MenuTextSwitch = std::function<std::u16string(uint32_t command, std::u16string_view text)>;
void SetMenuTextSwitch(MenuTextSwitch menuText);

}  // namespace Game
