// Positioned views: DrawView gives a view a position, pivot, scale and two
// rotations; DrawGroup is a positioned view that is also a group, so its
// transform applies to everything under it. HoverTracker finds the button
// rectangle under the cursor for the screens.
#pragma once

#include <cstdint>
#include <span>

#include "dxdraw/matrix.h"
#include "dxdraw/rect.h"
#include "dxdraw/view.h"

namespace DxDraw {

// Transform mode bits of a DrawView.
enum : uint32_t {
  kTransformPivot = 1,
  kTransformScale = 2,
  kTransformRotation1 = 4,
  kTransformRotation2 = 8,
};

class DrawView : public virtual ssView {
 public:
  using UpdateCallback = void (*)(DrawView* view);

  explicit DrawView(int32_t userValue = 0);

  virtual void SetPosition(const POINT* point);
  virtual void SetPosition(int x, int y);
  // z is never changed by the SetPosition forms.
  virtual void SetPosition(float x, float y);
  virtual void GetScreenRect(RECT* out) { (void)out; }
  // Moves the points by the screen position of this view's origin: the view's
  // own pivot, scale and rotations do not enter.
  virtual void LocalToScreen(POINT* points, int count);
  virtual void LocalToScreenRect(RECT* rect);
  virtual void ScreenToLocal(POINT* points, int count);
  virtual void ScreenToLocalRect(RECT* rect);
  // Puts this view's transform in front of m (null: nothing).
  virtual void ApplyTransform(float* m);
  // Adds this view's values into an accumulated state (null: nothing).
  virtual void AccumulateTransform(TransformState* state);

  MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override;
  void Update() override;

  // Position and pivot 0, scale 1, no rotation, mode pivot|scale, no callback.
  void ResetTransform();
  // Takes the parent's accumulated state and matrix (0x4002), or the neutral
  // state and the current matrix without a positioned parent.
  void UpdateTransform();
  void SetUpdateCallback(UpdateCallback callback) { m_pUpdate = callback; }

  int32_t m_UserValue;
  UpdateCallback m_pUpdate = nullptr;
  float* m_pMatrix = nullptr;  // the matrix the transform applies to: always the current matrix
  float m_Position[3] = {0, 0, 0};
  float m_Pivot[3] = {0, 0, 0};
  float m_Scale[3] = {1, 1, 1};
  int32_t m_Rotation1[3] = {0, 0, 0};  // applied about the pivot-moved point, before the position
  int32_t m_Rotation2[3] = {0, 0, 0};  // applied after the position, about the parent's origin
  uint32_t m_Mode = kTransformPivot | kTransformScale;
  TransformState m_State = TransformState::Neutral();  // the ancestors' accumulated values
};

class DrawGroup : public DrawView, public ssGroup {
 public:
  DrawGroup();

  // Position and size, the size scaled by the own and accumulated scales.
  void GetScreenRect(RECT* out) override;

  void Close() override { ssGroup::Close(); }
  MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override;
  MessageResult Dispatch(int code, uint32_t msg, MessageArg a, MessageArg b) override {
    return ssGroup::Dispatch(code, msg, a, b);
  }
  // The callback, then every child.
  void Update() override;
  // Visible groups only: composes the transform onto the current matrix for
  // the children, and restores it after them.
  void Draw(DRAWINFO* info) override;

  int16_t m_Width = 0;  // set by the owner
  int16_t m_Height = 0;

 protected:
  // Runs `walk` (over the children) with this group's transform composed onto
  // the current matrix, and restores the matrix after it.
  template <class Walk>
  void WithComposedTransform(Walk walk) {
    UpdateTransform();
    AccumulateTransform(&m_State);
    float* current = CurrentMatrix();
    MatrixStack& stack = MatrixStack::Global();
    stack.Push(current);
    ApplyTransform(current);
    walk();
    stack.Pop(current);
  }
};

// Which rectangle of an array holds the cursor, and whether that changed.
struct HoverTracker {
  int32_t hit = -2;       // index found by the last Update, -1 none
  int32_t lastHit = -2;   // index last reported as entered
  int32_t previous = -1;  // current before the last change
  int32_t current = -1;   // the rectangle the cursor is in, -1 none
  int32_t changed = 0;    // 1 when the last Update moved current
  int32_t lastX = -1;     // point of the last Update that hit nothing
  int32_t lastY = -1;

  void Reset();
  // (x, y) in screen coordinates, made local to `view` when one is given.
  int32_t Update(std::span<const RECT> rects, int32_t x, int32_t y, DrawView* view = nullptr);
};

}  // namespace DxDraw
