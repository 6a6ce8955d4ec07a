// Rectangles and points of the renderer: screen and surface coordinates in
// pixels, right and bottom edges exclusive, laid out as the Windows RECT/POINT.
#pragma once

#include <algorithm>
#include <cstdint>

namespace DxDraw {

struct POINT {
  int32_t x;
  int32_t y;
};

struct RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }

// Empty: no pixel inside (a zero or negative width or height).
inline bool IsRectEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

inline void SetRectEmpty(RECT& r) { r = RECT{0, 0, 0, 0}; }

// The common part of a and b; an empty result is (0, 0, 0, 0). Returns whether it is not empty.
inline bool IntersectRect(RECT& out, const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (IsRectEmpty(r)) {
    SetRectEmpty(out);
    return false;
  }
  out = r;
  return true;
}

// The bounding box of a and b; an empty operand does not count. Returns whether it is not empty.
inline bool UnionRect(RECT& out, const RECT& a, const RECT& b) {
  if (IsRectEmpty(a)) {
    if (IsRectEmpty(b)) {
      SetRectEmpty(out);
      return false;
    }
    out = b;
    return true;
  }
  if (IsRectEmpty(b)) {
    out = a;
    return true;
  }
  out = RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
             std::max(a.bottom, b.bottom)};
  return true;
}

inline void OffsetRect(RECT& r, int32_t dx, int32_t dy) {
  r.left += dx;
  r.right += dx;
  r.top += dy;
  r.bottom += dy;
}

inline int32_t RectWidth(const RECT& r) { return r.right - r.left; }
inline int32_t RectHeight(const RECT& r) { return r.bottom - r.top; }

}  // namespace DxDraw
