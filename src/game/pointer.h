// The frame step of the screens the player points at (the message window's
// buttons, the choices, the selection screen): one frame, then the cursor
// followed over the rectangles of the screen.
#pragma once

#include <span>

#include "app/frame.h"
#include "app/input.h"
#include "dxdraw/drawview.h"
#include "dxdraw/rect.h"

namespace Game {

// Waits one frame and follows the cursor over `hits` (screen rectangles);
// `moved(previous, current)` is called when it went from one to another (-1:
// none). Returns the index under the cursor when the left button went down in
// that frame, else -1.
template <class Moved>
int PointerFrame(DxDraw::HoverTracker& hover, std::span<const DxDraw::RECT> hits, Moved moved) {
  App::WaitNextFrame();
  const App::InputState& in = App::Input();
  hover.Update(hits, in.cursor_x, in.cursor_y);
  if (hover.changed != 0) moved(hover.previous, hover.current);
  return (in.pressed & App::kButtonClick) != 0 ? hover.current : -1;
}

}  // namespace Game
