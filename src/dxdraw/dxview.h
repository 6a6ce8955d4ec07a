// Changed-rectangle views: the renderer redraws only what changed. A
// DxDrawView remembers the screen rectangle it covered at the last presented
// frame and a word of change bits; a DxDrawGroup passes the draw-cycle messages
// between the screen surface and its children; a DxSprite draws one rectangle
// of a source surface at its position.
#pragma once

#include <cstdint>

#include "dxdraw/dirtyrect.h"
#include "dxdraw/drawview.h"
#include "dxdraw/pixel.h"
#include "dxdraw/rect.h"

namespace DxDraw {

class DxSurface;
class DxScreenSurface;

// Change bits of a renderer view.
enum : uint32_t {
  kChangedPosition = 1,
  kChangedPixels = 8,   // the image's content changed (sprites)
  kChangedShown = 16,   // shown, hidden, attached, frame or image replaced
};

// Change marks made in the process so far: each view marked changed and each
// surface whose pixels were marked dirty counts one. While the count stands
// where it stood after a screen's last present, nothing under that screen can
// have changed, and the screen leaves out its walks over the tree. The
// renderer's thread only, as the views.
uint64_t ChangeMarks();
void CountChangeMark();

class DxDrawView : public DrawView {
 public:
  DxDrawView();

  void SetPosition(const POINT* point) override;
  void SetPosition(int x, int y) override;
  void SetPosition(float x, float y) override;
  // The empty rectangle at the position, truncated toward zero.
  virtual void GetPositionRect(RECT* out);
  // The screen rectangle the view covers; the base leaves out untouched.
  virtual void GetBounds(DxScreenSurface* screen, RECT* out) { (void)screen, (void)out; }
  // Counts a change mark (ChangeMarks) as well: an override calls this one.
  virtual void SetChanged(uint32_t bits);

  MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override;
  // Changing the visible bit marks the view changed.
  void SetFlag(uint16_t bits, int on) override;

  uint32_t m_Changed = 0;    // change bits since the last presented frame
  RECT m_Previous{0, 0, 0, 0};  // screen rectangle drawn at the last presented frame
  RECT m_Current{0, 0, 0, 0};   // screen rectangle of the present being prepared
};

class DxDrawGroup : public DrawGroup {
 public:
  DxDrawGroup() = default;

  // Moving or showing a group changes everything under it.
  void SetPosition(const POINT* point) override;
  void SetPosition(int x, int y) override;
  void SetPosition(float x, float y) override;
  void SetFlag(uint16_t bits, int on) override;
  MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override;
};

// Which part of an image a sprite shows and where it sits.
struct SPRITEFRAME {
  uint16_t width;
  uint16_t height;
  int16_t originX;  // the point of the frame that sits at the sprite's position
  int16_t originY;
  RECT source;      // rectangle of the image shown
  uint32_t reserved;

  // The whole of a w x h image, origin at its top-left.
  static SPRITEFRAME Default(int32_t width, int32_t height);
};

class DxSprite : public DxDrawView {
 public:
  // Holds a reference on the image for as long as it shows it.
  DxSprite(DxSurface* image, const SPRITEFRAME* frame, uint32_t flags);
  ~DxSprite() override;

  void SetImage(DxSurface* image);
  DxSurface* GetImage() const { return m_pImage; }
  // A null frame means the default frame of the image (nothing without one).
  void SetFrame(const SPRITEFRAME* frame);
  void GetFrame(SPRITEFRAME* out) const;

  void GetBounds(DxScreenSurface* screen, RECT* out) override;
  MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override;
  void Draw(DRAWINFO* info) override;
  // Whether drawing into target writes every byte of area's pixels without
  // reading them: shown, a plain copy under rule 0 of an image other than the
  // target, its frame inside the image and covering the area.
  bool Replaces(const DxSurface* target, const RECT& area) const;

  SPRITEFRAME m_Frame;
  BLTPARAM m_Param;  // how the sprite is drawn

 protected:
  // For a sprite that is itself the surface it shows: it shows `self` and holds
  // no reference on it, which would keep it alive for ever.
  void ShowOwnPixels(DxSurface* self);

 private:
  // Adds `placed` to the list, or only the changed pixels of the image within it
  // when nothing but the pixels changed.
  void AddChangedArea(DirtyRectList* list, const RECT& placed) const;
  // Whether m_pImage carries a reference of this sprite's: any image but its own pixels.
  bool HoldsImage() const { return m_pImage != nullptr && m_pImage != m_pOwnPixels; }

  DxSurface* m_pImage = nullptr;
  DxSurface* m_pOwnPixels = nullptr;  // the sprite's own surface part, if it is one
};

}  // namespace DxDraw
