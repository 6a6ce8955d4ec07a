// The screen surface: the renderer group that stands for the window's picture.
// Once per presented frame it collects the screen rectangles that changed,
// redraws them into its 32-bit back buffer (cleared, then the view tree clipped
// to them), hands them to the presenter, and commits the drawn state.
#pragma once

#include <cstdint>

#include "dxdraw/dirtyrect.h"
#include "dxdraw/dxview.h"
#include "dxdraw/rect.h"

namespace platform {
class IPresenter;
}

namespace DxDraw {

class DxSurface;

inline constexpr int32_t kScreenDirtyCapacity = 500;

class DxScreenSurface : public DxDrawGroup {
 public:
  // With a cursor image the picture draws its own cursor sprite and the window
  // hides the system cursor.
  DxScreenSurface(DxSurface* cursorImage, const SPRITEFRAME* cursorFrame);
  ~DxScreenSurface() override;

  // Makes a new back buffer of the given size; 0 on success, -1 when it could not be made.
  virtual int Resize(int width, int height);
  // Collects what changed, redraws it into the back buffer and copies it to the
  // presenter (null: drawn but shown nowhere). A null info draws with a context
  // of its own.
  void Present(platform::IPresenter* presenter, DRAWINFO* info);

  MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override;
  void Draw(DRAWINFO* info) override = 0;

  // Presents on every (reload + 1)-th Draw; the counter runs down between presents.
  void SetSkip(int32_t reload, int32_t counter) {
    m_SkipReload = reload;
    m_SkipCounter = counter;
  }
  int32_t GetSkipReload() const { return m_SkipReload; }
  int32_t GetSkipCounter() const { return m_SkipCounter; }
  DxSurface* GetBackBuffer() const { return m_pBackBuffer; }
  const RECT& GetScreenBounds() const { return m_ScreenRect; }
  DirtyRectList& GetDirtyList() { return m_DirtyList; }
  // The sprite that draws the cursor; null when the screen was made without a cursor image.
  DxSprite* GetCursorSprite() const { return m_pCursorSprite; }

 protected:
  DxSurface* m_pCursorImage = nullptr;
  DxSprite* m_pCursorSprite = nullptr;  // made only with a cursor image
  DirtyRectList m_DirtyList{kScreenDirtyCapacity};
  int32_t m_ListMode = kDirtyUnion;
  int32_t m_SkipReload = 0;
  int32_t m_SkipCounter = 0;
  DxSurface* m_pBackBuffer = nullptr;
  RECT m_ScreenRect{0, 0, 0, 0};
  // ChangeMarks() after the last commit; while it stands and no rectangle
  // waits in the dirty list, a present has nothing to collect, draw or commit.
  uint64_t m_CommittedMarks = UINT64_MAX;
};

class DxScreenSurface32 : public DxScreenSurface {
 public:
  explicit DxScreenSurface32(DxSurface* cursorImage = nullptr, const SPRITEFRAME* cursorFrame = nullptr)
      : DxScreenSurface(cursorImage, cursorFrame) {}

  int Resize(int width, int height) override;
  // A copy of the whole picture, one reference for the caller.
  virtual DxSurface* Snapshot();
  // Presents when the skip counter is 0, then reloads it; otherwise counts down.
  // A present with nothing marked changed since the last one costs no walk.
  void Draw(DRAWINFO* info) override;
};

// Whether the window shows the system cursor: cleared by a screen surface that
// draws its own.
bool ShowSystemCursor();

}  // namespace DxDraw
