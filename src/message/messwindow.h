// The message window: the panel at the bottom of the screen holding the story's
// text. DxMessWindow is a renderer group of two children, the frame sprite (a
// half-transparent panel the game paints) and the message text view inside the
// frame's margins; MessageWindow adds the five buttons along its right edge
// (backlog, skip, auto, quick save, quick load) from the SYSTEM sheet.
//
// The window opens and closes through ACT tasks that the caller runs to their
// end. Only the instant style (0) exists: every style opens and closes at once,
// within the task's creation.
//
// Ownership: Release closes the window, and closing releases the children
// (buttons, text view, frame, from the last to the first).
#pragma once

#include <array>
#include <cstdint>

#include "dxdraw/dxsurface.h"
#include "dxdraw/dxview.h"
#include "message/messview.h"

struct ACT;

namespace TextScript {

class DxMessWindow : public DxDraw::DxDrawGroup {
 public:
  // A width x height window at (0, 0): an opaque black frame sprite (fade,
  // level 128) and a text view inside the margins; large glyphs nonzero turns
  // on smoothed glyphs for the view.
  DxMessWindow(int width, int height, int left, int right, int top, int bottom, int largeGlyphs);

  DxDraw::DxSurfaceSprite32* GetFrameSprite() const { return m_pFrame; }
  DxMessView2* GetView() const { return m_pView; }

  int32_t m_Style = 0;      // open/close style: 0 instant (the only one)
  int32_t m_DelayBase = 0;  // ms per character at a message delay of 100%; the game layer sets 10
  int32_t m_User[3] = {1, 0, 0};  // for the game layer

 protected:
  ~DxMessWindow() override = default;

 private:
  DxDraw::DxSurfaceSprite32* m_pFrame = nullptr;  // first child, owned through the tree
  DxMessView2* m_pView = nullptr;                 // second child, owned through the tree
};

// Indices of the window's buttons.
enum : int {
  kButtonBacklog = 0,
  kButtonSkip = 1,
  kButtonAuto = 2,
  kButtonQuickSave = 3,
  kButtonQuickLoad = 4,
  kMessageButtonCount = 5,
};

// A button's level: idle, and lit while the cursor is over it or its mode is on.
inline constexpr int kButtonIdleLevel = 128;
inline constexpr int kButtonLitLevel = 255;

class MessageWindow : public DxMessWindow {
 public:
  // The window (no large glyphs) with the five buttons after the text view.
  MessageWindow(int width, int height, int left, int right, int top, int bottom);

  DxDraw::DxSprite* GetButton(int i) const { return m_pButtons[i]; }
  // Sets button i's level and marks it changed, so that the next frame draws
  // it so; every change of a button's level goes through here.
  void SetButtonLevel(int i, int level);
  // Screen rectangles for the hit test, for the window standing at (0, 400);
  // they do not follow the window if it moves.
  const std::array<DxDraw::RECT, kMessageButtonCount>& GetButtonRects() const { return m_ButtonRects; }

 protected:
  ~MessageWindow() override = default;

 private:
  std::array<DxDraw::DxSprite*, kMessageButtonCount> m_pButtons{};  // owned through the tree
  std::array<DxDraw::RECT, kMessageButtonCount> m_ButtonRects{};
};

// The open and close tasks, unlinked: the caller runs each frame (RunACT,
// WaitNextFrame) until its state is -1, then deletes it. Opening a visible
// window or closing a hidden one is finished at once and changes nothing.
ACT* MakeOpenWindowTask(DxMessWindow* window);
ACT* MakeCloseWindowTask(DxMessWindow* window);
// Runs a task made above to its end (a frame per pass) and deletes it, also
// when a frame throws.
void RunWindowTask(ACT* task);
// Closes the window through its close task, run to its end.
void CloseWindowNow(DxMessWindow* window);

}  // namespace TextScript
