#include "dxdraw/drawview.h"

#include <cstring>

namespace DxDraw {

// ---- DrawView ----

DrawView::DrawView(int32_t userValue) : m_UserValue(userValue) { ResetTransform(); }

void DrawView::ResetTransform() {
  for (int i = 0; i < 3; ++i) {
    m_Position[i] = 0;
    m_Pivot[i] = 0;
    m_Scale[i] = 1;
    m_Rotation1[i] = 0;
    m_Rotation2[i] = 0;
  }
  m_Mode = kTransformPivot | kTransformScale;
  m_pMatrix = CurrentMatrix();
  m_pUpdate = nullptr;
  m_State = TransformState::Neutral();
}

void DrawView::SetPosition(const POINT* point) {
  if (point != nullptr) DrawView::SetPosition(static_cast<float>(point->x), static_cast<float>(point->y));
}

void DrawView::SetPosition(int x, int y) { DrawView::SetPosition(static_cast<float>(x), static_cast<float>(y)); }

void DrawView::SetPosition(float x, float y) {
  m_Position[0] = x;
  m_Position[1] = y;
}

void DrawView::ApplyTransform(float* m) {
  if (m == nullptr) return;
  if ((m_Mode & kTransformRotation2) != 0) Matrix::RotateXYZ(m, m_Rotation2[0], m_Rotation2[1], m_Rotation2[2]);
  Matrix::Translate(m, m_Position[0], m_Position[1], m_Position[2]);
  if ((m_Mode & kTransformRotation1) != 0) Matrix::RotateXYZ(m, m_Rotation1[0], m_Rotation1[1], m_Rotation1[2]);
  if ((m_Mode & kTransformScale) != 0) Matrix::Scale(m, m_Scale[0], m_Scale[1], m_Scale[2]);
  if ((m_Mode & kTransformPivot) != 0) Matrix::Translate(m, -m_Pivot[0], -m_Pivot[1], -m_Pivot[2]);
}

void DrawView::AccumulateTransform(TransformState* state) {
  if (state == nullptr) return;
  for (int i = 0; i < 3; ++i) {
    state->rotation1[i] += static_cast<float>(m_Rotation1[i]);
    state->scale[i] *= m_Scale[i];
    state->pivot[i] += m_Pivot[i];
    state->rotation2[i] += static_cast<float>(m_Rotation2[i]);
    state->position[i] += m_Position[i];
  }
}

void DrawView::UpdateTransform() {
  m_pMatrix = CurrentMatrix();
  m_State = TransformState::Neutral();
  if (ssGroup* parent = GetParent()) {
    parent->OnMessage(kMsgGetTransform, reinterpret_cast<MessageArg>(&m_pMatrix),
                      reinterpret_cast<MessageArg>(&m_State));
  }
}

void DrawView::LocalToScreen(POINT* points, int count) {
  float m[16];
  Matrix::SetIdentity(m);
  TransformState state = TransformState::Neutral();
  if (ssGroup* parent = GetParent()) {
    parent->OnMessage(kMsgComposeTransform, reinterpret_cast<MessageArg>(m), reinterpret_cast<MessageArg>(&state));
  }
  const POINT origin = Matrix::TransformPoint(m, m_Position);
  for (int i = 0; i < count; ++i) {
    points[i].x = ClampCoordinate(int64_t{points[i].x} + origin.x);
    points[i].y = ClampCoordinate(int64_t{points[i].y} + origin.y);
  }
}

void DrawView::LocalToScreenRect(RECT* rect) {
  if (rect == nullptr) return;
  POINT corners[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
  LocalToScreen(corners, 2);
  *rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

void DrawView::ScreenToLocal(POINT* points, int count) {
  POINT origin{0, 0};
  LocalToScreen(&origin, 1);
  for (int i = 0; i < count; ++i) {
    points[i].x = ClampCoordinate(int64_t{points[i].x} - origin.x);
    points[i].y = ClampCoordinate(int64_t{points[i].y} - origin.y);
  }
}

void DrawView::ScreenToLocalRect(RECT* rect) {
  if (rect == nullptr) return;
  POINT corners[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
  ScreenToLocal(corners, 2);
  *rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

MessageResult DrawView::OnMessage(uint32_t msg, MessageArg a, MessageArg b) {
  if (msg == kMsgRunUpdate) {
    if (m_pUpdate != nullptr) m_pUpdate(this);
    return 0;
  }
  return ssView::OnMessage(msg, a, b);
}

void DrawView::Update() {
  if (m_pUpdate != nullptr) m_pUpdate(this);
}

// ---- DrawGroup ----

DrawGroup::DrawGroup() : DrawView(0) { DrawView::SetPosition(0, 0); }

void DrawGroup::GetScreenRect(RECT* out) {
  if (out == nullptr) return;
  float m[16];
  Matrix::SetIdentity(m);
  TransformState state = TransformState::Neutral();
  if (ssGroup* parent = GetParent()) {
    parent->OnMessage(kMsgComposeTransform, reinterpret_cast<MessageArg>(m), reinterpret_cast<MessageArg>(&state));
  }
  const POINT at = Matrix::TransformPoint(m, m_Position);
  const int32_t width = SaturateCoordinate(static_cast<float>(m_Width) * m_Scale[0] * state.scale[0]);
  const int32_t height = SaturateCoordinate(static_cast<float>(m_Height) * m_Scale[1] * state.scale[1]);
  *out = RECT{at.x, at.y, ClampCoordinate(int64_t{at.x} + width), ClampCoordinate(int64_t{at.y} + height)};
}

MessageResult DrawGroup::OnMessage(uint32_t msg, MessageArg a, MessageArg b) {
  switch (msg) {
    case kMsgRunUpdate:
      return DrawView::OnMessage(msg, a, b);
    case kMsgGetTransform:
      if (b != 0) *reinterpret_cast<TransformState*>(b) = m_State;
      if (a != 0) *reinterpret_cast<float**>(a) = m_pMatrix;
      return 0;
    case kMsgComposeTransform:
      // The root's transform goes in first.
      if (ssGroup* parent = GetParent()) parent->OnMessage(msg, a, b);
      ApplyTransform(reinterpret_cast<float*>(a));
      AccumulateTransform(reinterpret_cast<TransformState*>(b));
      return 0;
    case kMsgHitTest: {
      if (!IsVisible() || a == 0 || b == 0) return 0;
      auto* point = reinterpret_cast<POINT*>(a);
      auto* out = reinterpret_cast<ssView**>(b);
      const int32_t dx = SaturateCoordinate(m_Position[0]);
      const int32_t dy = SaturateCoordinate(m_Position[1]);
      const POINT given = *point;
      point->x = ClampCoordinate(int64_t{given.x} - dx);
      point->y = ClampCoordinate(int64_t{given.y} - dy);
      *out = nullptr;
      // Children later in the ring lie on top: ask them first.
      for (ssView* child = GetLastChild(); child != nullptr; child = child->GetPrevSibling()) {
        child->OnMessage(msg, a, b);
        if (*out != nullptr) return 1;
      }
      *point = given;
      return 0;
    }
    default:
      return ssGroup::OnMessage(msg, a, b);
  }
}

void DrawGroup::Update() {
  if (m_pUpdate != nullptr) m_pUpdate(this);
  ssGroup::Update();
}

void DrawGroup::Draw(DRAWINFO* info) {
  if (!IsVisible()) return;
  WithComposedTransform([&] { ssGroup::Draw(info); });
}

// ---- HoverTracker ----

void HoverTracker::Reset() { *this = HoverTracker{}; }

int32_t HoverTracker::Update(std::span<const RECT> rects, int32_t x, int32_t y, DrawView* view) {
  if (view != nullptr) {
    POINT p{x, y};
    view->ScreenToLocal(&p, 1);
    x = p.x;
    y = p.y;
  }
  changed = 0;
  hit = -1;
  for (size_t i = 0; i < rects.size(); ++i) {
    const RECT& r = rects[i];
    if (r.left <= x && x < r.right && r.top <= y && y < r.bottom) {
      hit = static_cast<int32_t>(i);
      break;
    }
  }
  if (hit != -1) {
    if (hit != lastHit) {
      previous = current;
      current = hit;
      changed = previous != hit ? 1 : 0;
      lastHit = hit;
    } else if (x != lastX || y != lastY) {
      previous = current;
      current = hit;
      changed = previous != current ? 1 : 0;
    }
    return hit;
  }
  if (lastHit != -1) {
    previous = current;
    current = -1;
    lastHit = -1;
    changed = 1;
  }
  lastX = x;
  lastY = y;
  return current;
}

}  // namespace DxDraw
