// What the game's own screens (logo, title, manual, ending, the Yes/No box and
// the notice) are built from: pictures of the script archive, sprites appended
// to the screen group, drawing levels set with their change marked, and a row
// of buttons that light up under the cursor.
//
// Every object made here is held by an owner (holders.h), so that whichever
// way a screen ends (its own end, a ScriptException from a frame, the quit
// record or a missing picture) its sprites leave the tree and its pictures are
// released. A missing picture throws the loader's error record, which names it.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "dxdraw/dxview.h"
#include "dxdraw/rect.h"
#include "game/holders.h"

namespace Game {

// The picture `name` of the script archive; throws when it is missing.
SurfaceHolder LoadScreenPicture(std::u16string_view name);

// A frame showing `source` of a sheet, origin at its top-left.
DxDraw::SPRITEFRAME SheetFrame(const DxDraw::RECT& source);

// A sprite on `image` (null frame: the whole image) at (x, y), appended to the
// screen group above everything shown.
ViewHolder<DxDraw::DxSprite> AppendSprite(DxDraw::DxSurface* image, const DxDraw::SPRITEFRAME* frame,
                                          uint32_t flags, int x, int y);
// Appends any view the same way.
void AppendToScreen(DxDraw::ssView* view);

// The sprite drawn with `operation` at `level` from the next frame on.
void SetSpriteLevel(DxDraw::DxSprite* sprite, uint32_t operation, int level);

// Every fade of the game: steps a level from `from` to `to`, `step` (> 0)
// apart with the last step cut short at `to`, and runs one frame after `apply`
// has set each level, both ends included. `stopped`, asked after each frame,
// ends the ramp early; the result is then false.
bool RampLevel(int from, int to, int step, const std::function<void(int)>& apply,
               const std::function<bool()>& stopped = nullptr);

// Whether the frame just run pressed any of `buttons`.
bool Pressed(uint32_t buttons);
// Runs frames while any of `buttons` is held.
void WaitWhileHeld(uint32_t buttons);

// Buttons cut from one sheet, each with a normal and a highlighted frame and a
// hit rectangle on the screen (right and bottom exclusive).
class ButtonRow {
 public:
  void Add(DxDraw::DxSurface* sheet, const DxDraw::RECT& normal, const DxDraw::RECT& lit, int x, int y,
           const DxDraw::RECT& hit, uint32_t flags);

  // Every button back to its normal frame and nothing under the cursor.
  void Reset();
  // Follows the cursor of the frame just run: the button it left goes back to
  // its normal frame, the one it entered lights up. Returns the button under
  // the cursor, or -1.
  int Update();

  void Show();
  void Hide();
  std::size_t Size() const { return m_Buttons.size(); }
  DxDraw::DxSprite* Sprite(std::size_t i) const { return m_Buttons[i].sprite.get(); }

 private:
  struct Button {
    ViewHolder<DxDraw::DxSprite> sprite;
    DxDraw::SPRITEFRAME normal;
    DxDraw::SPRITEFRAME lit;
  };
  std::vector<Button> m_Buttons;
  std::vector<DxDraw::RECT> m_Hits;  // beside the buttons: the tracker takes them as one array
  DxDraw::HoverTracker m_Tracker;
  int m_Last = -1;                   // the lit button, or -1
};

// ScriptException codes mapped to a title result: a load request loads its
// slot, anything else goes back to the title.
int TitleResultOf(int32_t code);

}  // namespace Game
