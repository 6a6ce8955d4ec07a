#include "dxdraw/dxview.h"

#include <algorithm>
#include <cstdlib>

#include "dxdraw/dxsurface.h"

namespace DxDraw {

namespace {

DirtyRectList* AsList(MessageArg b) { return reinterpret_cast<DirtyRectList*>(b); }

uint64_t g_ChangeMarks = 0;

}  // namespace

uint64_t ChangeMarks() { return g_ChangeMarks; }

void CountChangeMark() { ++g_ChangeMarks; }

// ---- DxDrawView ----

DxDrawView::DxDrawView() { DxDrawView::SetPosition(0.0f, 0.0f); }

void DxDrawView::SetPosition(const POINT* point) {
  if (point != nullptr) SetPosition(static_cast<float>(point->x), static_cast<float>(point->y));
}

void DxDrawView::SetPosition(int x, int y) {
  DrawView::SetPosition(x, y);
  SetChanged(kChangedPosition);
}

void DxDrawView::SetPosition(float x, float y) {
  DrawView::SetPosition(x, y);
  SetChanged(kChangedPosition);
}

void DxDrawView::SetChanged(uint32_t bits) {
  m_Changed |= bits;
  CountChangeMark();
}

void DxDrawView::GetPositionRect(RECT* out) {
  if (out == nullptr) return;
  const int32_t x = SaturateCoordinate(m_Position[0]);
  const int32_t y = SaturateCoordinate(m_Position[1]);
  *out = RECT{x, y, x, y};
}

void DxDrawView::SetFlag(uint16_t bits, int on) {
  ssView::SetFlag(bits, on);
  if (bits == kViewVisible) SetChanged(kChangedShown);
}

MessageResult DxDrawView::OnMessage(uint32_t msg, MessageArg a, MessageArg b) {
  switch (msg) {
    case kMsgAttached:
      SetChanged(kChangedShown);
      return 1;
    case kMsgClosing:
      // Where the view was last drawn must be redrawn without it.
      if (!IsRectEmpty(m_Previous)) {
        if (ssGroup* parent = GetParent()) parent->OnMessage(kMsgAddDirty, reinterpret_cast<MessageArg>(&m_Previous), 0);
      }
      return 1;
    case kMsgCollectDirty: {
      DirtyRectList* list = AsList(b);
      if (!IsRectEmpty(m_Previous) && m_Changed != 0) list->Add(m_Previous);
      UpdateTransform();
      SetRectEmpty(m_Current);
      GetBounds(reinterpret_cast<DxScreenSurface*>(a), &m_Current);
      if (!IsRectEmpty(m_Current) && m_Changed != 0) list->Add(m_Current);
      return 1;
    }
    case kMsgCommitDrawn:
      m_Previous = m_Current;
      m_Changed = 0;
      return 1;
    case kMsgSetChanged:
      SetChanged(static_cast<uint32_t>(a));
      return 1;
    default:
      return DrawView::OnMessage(msg, a, b);
  }
}

// ---- DxDrawGroup ----

void DxDrawGroup::SetPosition(const POINT* point) {
  if (point != nullptr) SetPosition(static_cast<float>(point->x), static_cast<float>(point->y));
}

void DxDrawGroup::SetPosition(int x, int y) {
  DrawView::SetPosition(x, y);
  OnMessage(kMsgSetChanged, kChangedPosition, 0);
}

void DxDrawGroup::SetPosition(float x, float y) {
  DrawView::SetPosition(x, y);
  OnMessage(kMsgSetChanged, kChangedPosition, 0);
}

void DxDrawGroup::SetFlag(uint16_t bits, int on) {
  ssView::SetFlag(bits, on);
  if (bits == kViewVisible) OnMessage(kMsgSetChanged, kChangedShown, 0);
}

MessageResult DxDrawGroup::OnMessage(uint32_t msg, MessageArg a, MessageArg b) {
  switch (msg) {
    case kMsgCollectDirty: {
      // Children find their screen rectangles through the composed matrix.
      WithComposedTransform([&] { ForEachChild([&](ssView* child) { child->OnMessage(msg, a, b); }); });
      return 1;
    }
    case kMsgCommitDrawn:
      ForEachChild([&](ssView* child) { child->OnMessage(msg, a, b); });
      return 1;
    case kMsgSetChanged:
      ForEachChild([&](ssView* child) { child->OnMessage(msg, a, 0); });
      return 1;
    case kMsgAddDirty:
      if (ssGroup* parent = GetParent()) parent->OnMessage(msg, a, b);
      return 1;
    default:
      return DrawGroup::OnMessage(msg, a, b);
  }
}

// ---- SPRITEFRAME ----

SPRITEFRAME SPRITEFRAME::Default(int32_t width, int32_t height) {
  return SPRITEFRAME{static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0, 0, RECT{0, 0, width, height}, 0};
}

// ---- DxSprite ----

DxSprite::DxSprite(DxSurface* image, const SPRITEFRAME* frame, uint32_t flags)
    : m_Frame{}, m_Param{}, m_pImage(image) {
  if (m_pImage != nullptr) m_pImage->AddRef();
  if (frame != nullptr) {
    m_Frame = *frame;
  } else if (image != nullptr) {
    m_Frame = SPRITEFRAME::Default(image->GetWidth(), std::abs(image->GetHeight()));
  }
  m_Param.Flags = flags;
  m_Param.Level = 32;
  m_Param.MaskSurface = nullptr;
  DxSprite::SetPosition(0, 0);
}

void DxSprite::ShowOwnPixels(DxSurface* self) {
  if (HoldsImage()) m_pImage->DropReference();
  m_pImage = m_pOwnPixels = self;
}

DxSprite::~DxSprite() {
  if (HoldsImage()) m_pImage->DropReference();
}

void DxSprite::SetImage(DxSurface* image) {
  if (image != m_pImage) {
    // Take the new reference before dropping the old one: they may share an owner.
    // A sprite showing its own pixels again holds no reference on itself.
    if (image != nullptr && image != m_pOwnPixels) image->AddRef();
    if (HoldsImage()) m_pImage->DropReference();
    m_pImage = image;
  }
  SetChanged(kChangedShown);
}

void DxSprite::SetFrame(const SPRITEFRAME* frame) {
  if (frame != nullptr) {
    m_Frame = *frame;
  } else if (m_pImage != nullptr) {
    m_Frame = SPRITEFRAME::Default(m_pImage->GetWidth(), std::abs(m_pImage->GetHeight()));
  } else {
    return;
  }
  OnMessage(kMsgSetChanged, kChangedShown, 0);
}

void DxSprite::GetFrame(SPRITEFRAME* out) const {
  if (out != nullptr) *out = m_Frame;
}

void DxSprite::GetBounds(DxScreenSurface* screen, RECT* out) {
  (void)screen;
  if (!IsVisible() || out == nullptr) return;
  const POINT at = Matrix::TransformPoint(m_pMatrix != nullptr ? m_pMatrix : CurrentMatrix(), m_Position);
  const int32_t left = at.x - m_Frame.originX;
  const int32_t top = at.y - m_Frame.originY;
  *out = RECT{left, top, left + m_Frame.width, top + m_Frame.height};
}

void DxSprite::AddChangedArea(DirtyRectList* list, const RECT& placed) const {
  if (m_Changed == kChangedPixels && m_pImage != nullptr) {
    RECT part;
    if (IntersectRect(part, m_pImage->GetDirty(), m_Frame.source)) {
      OffsetRect(part, placed.left - m_Frame.source.left, placed.top - m_Frame.source.top);
      list->Add(part);
    }
    return;
  }
  list->Add(placed);
}

MessageResult DxSprite::OnMessage(uint32_t msg, MessageArg a, MessageArg b) {
  switch (msg) {
    case kMsgCollectDirty: {
      DirtyRectList* list = AsList(b);
      if (m_pImage != nullptr && !IsRectEmpty(m_pImage->GetDirty())) m_Changed |= kChangedPixels;
      if (!IsRectEmpty(m_Previous) && m_Changed != 0) AddChangedArea(list, m_Previous);
      UpdateTransform();
      SetRectEmpty(m_Current);
      GetBounds(reinterpret_cast<DxScreenSurface*>(a), &m_Current);
      if (!IsRectEmpty(m_Current) && m_Changed != 0) AddChangedArea(list, m_Current);
      return 1;
    }
    case kMsgCommitDrawn:
      m_Previous = m_Current;
      m_Changed = 0;
      if (m_pImage != nullptr) m_pImage->ClearDirty();
      return 1;
    case kMsgHitTest: {
      // The point is in the parent's coordinates; the frame is drawn at the
      // position minus the origin, and the hit test follows the drawing.
      if (!IsVisible() || m_pImage == nullptr || a == 0 || b == 0) return 0;
      const POINT* point = reinterpret_cast<const POINT*>(a);
      const int64_t x = int64_t{point->x} - (SaturateCoordinate(m_Position[0]) - m_Frame.originX);
      const int64_t y = int64_t{point->y} - (SaturateCoordinate(m_Position[1]) - m_Frame.originY);
      if (x >= 0 && x <= m_Frame.width - 1 && y >= 0 && y <= m_Frame.height - 1) {
        *reinterpret_cast<ssView**>(b) = this;
        return 1;
      }
      return 0;
    }
    default:
      return DxDrawView::OnMessage(msg, a, b);
  }
}

bool DxSprite::Replaces(const DxSurface* target, const RECT& area) const {
  if (!IsVisible() || m_pImage == nullptr || m_pImage == target || m_pImage->GetBitCount() != 32) return false;
  if ((m_Param.Flags & (BLT_INDEXMASK | BLT_WEIGHTED)) != 0) return false;
  const RECT& source = m_Frame.source;
  const RECT& image = m_pImage->GetBounds();
  if (IsRectEmpty(source) || source.left < image.left || source.top < image.top || source.right > image.right ||
      source.bottom > image.bottom) {
    return false;
  }
  // Draw places the source's top-left on the current rectangle's and cuts to it.
  const int64_t right = std::min<int64_t>(m_Current.right, int64_t{m_Current.left} + RectWidth(source));
  const int64_t bottom = std::min<int64_t>(m_Current.bottom, int64_t{m_Current.top} + RectHeight(source));
  return area.left >= m_Current.left && area.top >= m_Current.top && area.right <= right && area.bottom <= bottom;
}

void DxSprite::Draw(DRAWINFO* info) {
  if (!IsVisible() || m_pImage == nullptr || info == nullptr || info->target == nullptr) return;
  RECT r;
  if (!IntersectRect(r, m_Current, info->clip)) return;
  info->target->Blt(m_Current.left, m_Current.top, m_pImage, &m_Frame.source, &r, &m_Param);
}

}  // namespace DxDraw
