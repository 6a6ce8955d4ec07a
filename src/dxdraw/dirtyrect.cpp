#include "dxdraw/dirtyrect.h"

namespace DxDraw {

DirtyRectList::DirtyRectList(int32_t capacity)
    : m_Capacity(capacity > 0 ? capacity : 1), m_pRects(new RECT[static_cast<size_t>(m_Capacity)]) {
  Reset(kDirtyUnion);
}

void DirtyRectList::Reset(int32_t mode) {
  m_Mode = mode;
  m_Count = 0;
  SetRectEmpty(m_pRects[0]);
}

int32_t DirtyRectList::Add(const RECT& rect) {
  RECT* rects = m_pRects.get();
  if (m_Mode == kDirtyUnion) {
    UnionRect(rects[0], rects[0], rect);
    m_Count = 1;
    return m_Count;
  }
  if (IsRectEmpty(rect)) return m_Count;
  for (int32_t i = 0; i < m_Count; ++i) {
    const RECT& kept = rects[i];
    if (kept.left <= rect.left && kept.top <= rect.top && kept.right >= rect.right && kept.bottom >= rect.bottom) {
      return m_Count;
    }
  }
  for (int32_t i = 0; i < m_Count; ++i) {
    RECT& kept = rects[i];
    if (rect.left <= kept.left && rect.top <= kept.top && rect.right >= kept.right && rect.bottom >= kept.bottom) {
      SetRectEmpty(kept);
    }
  }
  if (m_Count >= m_Capacity) {
    RECT all = rect;
    for (int32_t i = 0; i < m_Count; ++i) UnionRect(all, all, rects[i]);
    rects[0] = all;
    m_Count = 1;
    return m_Count;
  }
  rects[m_Count++] = rect;
  return m_Count;
}

}  // namespace DxDraw
