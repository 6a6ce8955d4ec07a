// The title's settings menu: four items drawn from the title sheet over the
// title background (system settings, sound settings, the name, back), which
// open the settings dialogs over `owner` and return to the title with "back"
// or a right click. The items are sprites released on every way out; a
// ScriptException from a frame passes on after they are gone.
#pragma once

#include "platform/message_box.h"

namespace DxDraw {
class DxSurface;
}  // namespace DxDraw

namespace Game {

// `sheet` is the title picture "title/title"; the items stand at the title
// menu position of "config.xml".
void ShowSettingsDialog(DxDraw::DxSurface* sheet, platform::WindowHandle owner);

}  // namespace Game
