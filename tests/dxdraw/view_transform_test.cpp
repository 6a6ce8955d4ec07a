// Positioned views: matrix operations, screen conversions through nested
// groups, the matrix stack's depth, hit tests and the hover tracker.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/exception.h"
#include "dxdraw/drawview.h"
#include "dxdraw/dxview.h"
#include "dxdraw/matrix.h"
#include "support/assertion_counter.h"

namespace DxDraw {
namespace {

POINT Transform(const float* m, float x, float y) {
  const float p[3] = {x, y, 0};
  return Matrix::TransformPoint(m, p);
}

// Turns of 0x10000 a circle, of which only the low 16 bits count. One call turns
// a point about z first, then about x, then about y.
TEST(Matrix, RotationsTurnAboutZThenXThenY) {
  const struct {
    int32_t x, y, z;   // the angles
    float px, py;      // the point turned
    POINT expected;
  } cases[] = {
      {0, 0, 0, 100, 0, {100, 0}},        {0, 0, 0x4000, 100, 0, {0, 100}},
      {0, 0, 0x8000, 100, 0, {-100, 0}},  {0, 0, 0xC000, 100, 0, {0, -100}},
      {0, 0, 0x10000, 100, 0, {100, 0}},  {0, 0, 0x14000, 100, 0, {0, 100}},
      {0, 0, -0x4000, 100, 0, {0, -100}},
      // A quarter turn about z maps x to y; a half turn about x then flips y.
      {0x8000, 0, 0x4000, 100, 0, {0, -100}},
      // A quarter turn about y moves x into z, leaving nothing in x.
      {0, 0x4000, 0, 100, 7, {0, 7}},
      // (100, 7.5, 0) goes to (100, 0, 7.5) about x, then to (7.5, 0, -100) about
      // y. The other order would give (0, 100).
      {0x4000, 0x4000, 0, 100, 7.5f, {7, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.x << "," << c.y << "," << c.z);
    float m[16];
    Matrix::SetIdentity(m);
    Matrix::RotateXYZ(m, c.x, c.y, c.z);
    EXPECT_EQ(Transform(m, c.px, c.py), c.expected);
  }
}

TEST(Matrix, TranslateGoesInFrontAndScaleTouchesOnlyTheLinearPart) {
  float m[16];
  Matrix::SetIdentity(m);
  Matrix::Scale(m, 2, 3, 1);
  Matrix::Translate(m, 10, 20, 0);  // moved by (10, 20) before the scale
  EXPECT_EQ(Transform(m, 1, 1), (POINT{22, 63}));
  Matrix::SetIdentity(m);
  Matrix::Translate(m, 10, 20, 0);
  Matrix::Scale(m, 2, 3, 1);  // row 3 keeps the translation
  EXPECT_EQ(Transform(m, 1, 1), (POINT{12, 23}));
}

TEST(Matrix, TransformPointTruncatesTowardZeroAndSaturates) {
  struct Case {
    float x;
    int32_t expected;
  };
  const Case cases[] = {
      {2.9f, 2},
      {-2.9f, -2},
      {40000.0f, 40000},  // no wrap at 16 bits
      {-40000.0f, -40000},
      {1e20f, kCoordinateLimit},
      {-1e20f, -kCoordinateLimit},
      {3e38f, kCoordinateLimit},
      {std::numeric_limits<float>::quiet_NaN(), 0},
  };
  float m[16];
  Matrix::SetIdentity(m);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(Transform(m, c.x, c.x), (POINT{c.expected, c.expected}));
  }
}

TEST(MatrixStack, PushAndPopAreCheckedAgainstDepth) {
  AssertionCounter counter;
  MatrixStack stack(2);
  float a[16], b[16], c[16], out[16];
  Matrix::SetIdentity(a);
  Matrix::SetIdentity(b);
  Matrix::SetIdentity(c);
  a[12] = 1;
  b[12] = 2;
  c[12] = 3;
  EXPECT_TRUE(stack.Push(a));
  EXPECT_TRUE(stack.Push(b));
  EXPECT_FALSE(stack.Push(c));  // beyond the capacity
  EXPECT_EQ(counter.count, 1);
  EXPECT_EQ(stack.Depth(), 2);
  out[12] = 99;
  EXPECT_FALSE(stack.Pop(out));  // the pop paired with the refused push
  EXPECT_EQ(out[12], 99);
  EXPECT_TRUE(stack.Pop(out));
  EXPECT_EQ(out[12], 2);
  EXPECT_TRUE(stack.Pop(out));
  EXPECT_EQ(out[12], 1);
  EXPECT_FALSE(stack.Pop(out));  // nothing pushed
  EXPECT_EQ(out[12], 1);
  EXPECT_EQ(counter.count, 2);
}

struct Positioned : ::testing::Test {
  DrawGroup* outer = new DrawGroup;
  DrawGroup* group = new DrawGroup;
  DrawView* view = new DrawView;
  Positioned() {
    outer->AddChild(group);
    group->AddChild(view);
  }
  ~Positioned() override { outer->Release(); }
};

TEST_F(Positioned, LocalToScreenAddsTheComposedOrigin) {
  group->SetPosition(100, 50);
  view->SetPosition(10, 20);
  POINT p{0, 0};
  view->LocalToScreen(&p, 1);
  EXPECT_EQ(p, (POINT{110, 70}));
  view->ScreenToLocal(&p, 1);
  EXPECT_EQ(p, (POINT{0, 0}));
  RECT r{1, 2, 3, 4};
  view->LocalToScreenRect(&r);
  EXPECT_EQ(r, (RECT{111, 72, 113, 74}));
  view->ScreenToLocalRect(&r);
  EXPECT_EQ(r, (RECT{1, 2, 3, 4}));
}

TEST_F(Positioned, ConversionsSaturateInsteadOfWrapping) {
  group->SetPosition(1000, -1000);
  POINT p[2] = {{INT32_MAX, INT32_MIN}, {-5, 5}};
  view->LocalToScreen(p, 2);
  EXPECT_EQ(p[0], (POINT{kCoordinateLimit, -kCoordinateLimit}));
  EXPECT_EQ(p[1], (POINT{995, -995}));
  view->ScreenToLocal(p, 2);
  EXPECT_EQ(p[1], (POINT{-5, 5}));
}

TEST_F(Positioned, NestedGroupsComposeScaleAndTurns) {
  outer->SetPosition(200, 100);
  outer->m_Scale[0] = outer->m_Scale[1] = 2;
  group->SetPosition(10, 5);
  view->SetPosition(3, 4);
  POINT p{0, 0};
  view->LocalToScreen(&p, 1);
  // (3, 4) scaled by the group's own 1 then moved by (10, 5), scaled by 2, moved by (200, 100).
  EXPECT_EQ(p, (POINT{226, 118}));

  outer->m_Scale[0] = outer->m_Scale[1] = 1;
  outer->m_Mode |= kTransformRotation1;
  outer->m_Rotation1[2] = 0x4000;  // quarter turn: (x, y) becomes (-y, x)
  p = POINT{0, 0};
  view->LocalToScreen(&p, 1);
  EXPECT_EQ(p, (POINT{200 - 9, 100 + 13}));
}

TEST_F(Positioned, PivotMovesThePointBeforeScaling) {
  group->SetPosition(100, 100);
  group->m_Pivot[0] = 10;
  group->m_Pivot[1] = 10;
  group->m_Scale[0] = group->m_Scale[1] = 2;
  view->SetPosition(10, 10);  // the pivot itself stays on the group's position
  POINT p{0, 0};
  view->LocalToScreen(&p, 1);
  EXPECT_EQ(p, (POINT{100, 100}));
}

TEST_F(Positioned, GroupScreenRectScalesItsSize) {
  group->SetPosition(5, 5);
  group->m_Scale[0] = group->m_Scale[1] = 2;
  group->m_Width = 40;
  group->m_Height = 30;
  RECT r{};
  group->GetScreenRect(&r);
  EXPECT_EQ(r, (RECT{5, 5, 85, 65}));
  outer->m_Scale[0] = 0.5f;  // the ancestors' scales count too
  outer->SetPosition(1, 1);
  group->GetScreenRect(&r);
  EXPECT_EQ(r, (RECT{3, 6, 43, 66}));
}

TEST_F(Positioned, UpdateRunsCallbacksWhetherVisibleOrNot) {
  static std::vector<DrawView*> calls;
  calls.clear();
  auto record = [](DrawView* v) { calls.push_back(v); };
  outer->SetUpdateCallback(record);
  group->SetUpdateCallback(record);
  view->SetUpdateCallback(record);
  group->Hide();
  outer->Update();
  EXPECT_EQ(calls, (std::vector<DrawView*>{outer, group, view}));
  EXPECT_EQ(view->OnMessage(kMsgRunUpdate, 0, 0), 0);
  EXPECT_EQ(calls.size(), 4u);
}

// Counts draws and checks the matrix it sees.
class ProbeView : public DrawView {
 public:
  void Draw(DRAWINFO*) override {
    ++draws;
    seenX = CurrentMatrix()[12];
    depth = MatrixStack::Global().Depth();
  }
  int draws = 0;
  float seenX = 0;
  int depth = 0;
};

TEST(DrawPass, GroupsComposeTheCurrentMatrixAndRestoreIt) {
  auto* root = new DrawGroup;
  auto* group = new DrawGroup;
  auto* probe = new ProbeView;
  root->AddChild(group);
  group->AddChild(probe);
  root->SetPosition(7, 0);
  group->SetPosition(30, 0);
  const int depth = MatrixStack::Global().Depth();
  root->Draw(nullptr);
  EXPECT_EQ(probe->draws, 1);
  EXPECT_EQ(probe->seenX, 37);
  EXPECT_EQ(probe->depth, depth + 2);
  EXPECT_EQ(MatrixStack::Global().Depth(), depth);
  EXPECT_EQ(CurrentMatrix()[12], 0);

  // A hidden group neither draws its children nor touches the stack.
  group->Hide();
  root->Draw(nullptr);
  EXPECT_EQ(probe->draws, 1);
  EXPECT_EQ(probe->depth, depth + 2);
  root->Release();
}

TEST(HitTest, MissPutsThePointBack) {
  auto* root = new DxDrawGroup;
  auto* group = new DxDrawGroup;
  root->AddChild(group);
  group->SetPosition(100, 100);
  // An empty group: nothing under the point (hits on sprites are tested with them).
  POINT p{150, 150};
  ssView* out = nullptr;
  EXPECT_EQ(root->Dispatch(kDispatchHitTest, kMsgHitTest, reinterpret_cast<MessageArg>(&p),
                           reinterpret_cast<MessageArg>(&out)),
            0);
  EXPECT_EQ(p, (POINT{150, 150}));  // put back after a miss
  root->Release();
}

TEST(HoverTracker, FollowsTheCursorAcrossButtons) {
  const RECT buttons[] = {{0, 0, 10, 10}, {20, 0, 30, 10}};
  struct Step {
    int32_t x, y;
    int32_t result, current, previous, changed;
  };
  const Step steps[] = {
      {50, 50, -1, -1, -1, 1},  // nothing under the cursor: leaves the reset state
      {5, 5, 0, 0, -1, 1},      // enters button 0
      {6, 5, 0, 0, 0, 0},       // moves inside it
      {9, 9, 0, 0, 0, 0},       // right - 1 and bottom - 1 still inside
      {10, 5, -1, -1, 0, 1},    // the right edge is outside
      {25, 5, 1, 1, -1, 1},     // straight into button 1
      {5, 5, 0, 0, 1, 1},       // from 1 to 0
  };
  HoverTracker tracker;
  tracker.Reset();
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.x << "," << s.y);
    EXPECT_EQ(tracker.Update(buttons, s.x, s.y), s.result);
    EXPECT_EQ(tracker.current, s.current);
    EXPECT_EQ(tracker.previous, s.previous);
    EXPECT_EQ(tracker.changed, s.changed);
  }
  EXPECT_EQ(tracker.Update(std::span<const RECT>(), 5, 5), -1);
  const RECT degenerate[] = {{INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN}};
  EXPECT_EQ(tracker.Update(degenerate, INT32_MIN, INT32_MIN), -1);
}

TEST(HoverTracker, MakesThePointLocalToAView) {
  auto* group = new DrawGroup;
  auto* view = new DrawView;
  group->AddChild(view);
  group->SetPosition(100, 200);
  const RECT buttons[] = {{0, 0, 10, 10}};
  HoverTracker tracker;
  EXPECT_EQ(tracker.Update(buttons, 105, 205, view), 0);
  EXPECT_EQ(tracker.Update(buttons, 5, 5, view), -1);
  group->Release();
}

}  // namespace
}  // namespace DxDraw
