// The draw context passed down the draw pass, and the list of screen
// rectangles that changed since the last presented frame.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "dxdraw/rect.h"

namespace platform {
class IPresenter;
}

namespace DxDraw {

class DxSurface;

// What every Draw receives. The frame fills the display fields and the
// presenter; the screen surface works on a copy with its back buffer as the
// target and the rectangle being redrawn as the clip.
struct DRAWINFO {
  void* drawSurface = nullptr;                 // the display's drawing surface; not read by the renderer
  void* display = nullptr;                     // the display object
  DxSurface* target = nullptr;                 // the surface views draw into
  platform::IPresenter* presenter = nullptr;   // where presented rectangles go (the window)
  RECT clip{0, 0, 0, 0};                       // screen rectangle being redrawn
};

// List modes.
enum : int32_t {
  kDirtyUnion = 0,  // one rectangle: the bounding box of everything added (the screen's mode)
  kDirtyList = 1,   // separate rectangles, those inside a kept one dropped
};

class DirtyRectList {
 public:
  explicit DirtyRectList(int32_t capacity);

  // Empties the list and sets its mode.
  void Reset(int32_t mode);
  // Adds a rectangle; returns the count. A list that is full folds everything
  // it holds and the new rectangle into one bounding rectangle, so nothing
  // that changed is ever left undrawn.
  int32_t Add(const RECT& rect);

  int32_t Count() const { return m_Count; }
  int32_t Capacity() const { return m_Capacity; }
  int32_t Mode() const { return m_Mode; }
  std::span<RECT> Rects() { return {m_pRects.get(), static_cast<size_t>(m_Count)}; }
  std::span<const RECT> Rects() const { return {m_pRects.get(), static_cast<size_t>(m_Count)}; }

 private:
  int32_t m_Capacity;
  int32_t m_Count = 0;
  std::unique_ptr<RECT[]> m_pRects;  // capacity entries, allocated once
  int32_t m_Mode = kDirtyUnion;
};

}  // namespace DxDraw
