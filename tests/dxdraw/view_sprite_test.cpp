// Changed-rectangle views and sprites: which screen rectangles each change
// reports, the image references sprites hold, and the dirty-rectangle list.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dxdraw/dirtyrect.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/dxview.h"

namespace DxDraw {
namespace {

DxSurface* SolidSurface(int width, int height, uint32_t rgb) {
  DxSurface* s = CreateSurface(32);
  s->Create(width, height);
  s->FillRect(nullptr, rgb, 255);
  s->ClearDirty();
  return s;
}

// A root group and the collect/commit cycle the screen runs, with the list kept
// in list mode so each reported rectangle can be seen.
struct Changes : ::testing::Test {
  DxDrawGroup* root = new DxDrawGroup;
  DirtyRectList list{64};
  DxSurface* image = SolidSurface(50, 40, 0x808080);

  ~Changes() override {
    root->Release();
    image->Release();
  }
  std::vector<RECT> Collect() {
    list.Reset(kDirtyList);
    root->OnMessage(kMsgCollectDirty, 0, reinterpret_cast<MessageArg>(&list));
    std::vector<RECT> out;
    for (const RECT& r : list.Rects()) {
      if (!IsRectEmpty(r)) out.push_back(r);
    }
    return out;
  }
  void Commit() { root->OnMessage(kMsgCommitDrawn, 0, 0); }
  std::vector<RECT> Present() {
    std::vector<RECT> out = Collect();
    Commit();
    return out;
  }
  DxSprite* AddSprite(int x, int y, const SPRITEFRAME* frame = nullptr) {
    auto* sprite = new DxSprite(image, frame, 0);
    sprite->SetPosition(x, y);
    root->AddChild(sprite);
    return sprite;
  }
};

TEST_F(Changes, SpriteCoversItsFrameAroundItsOrigin) {
  SPRITEFRAME frame = SPRITEFRAME::Default(50, 40);
  frame.originX = 10;
  frame.originY = 20;
  DxSprite* sprite = AddSprite(100, 100, &frame);
  EXPECT_EQ(Present(), (std::vector<RECT>{{90, 80, 140, 120}}));
  EXPECT_EQ(sprite->m_Previous, (RECT{90, 80, 140, 120}));
  EXPECT_EQ(sprite->m_Changed, 0u);
  EXPECT_TRUE(Present().empty());  // nothing changed
}

TEST_F(Changes, MovesReportTheLastPresentedAndTheNewestRectangles) {
  DxSprite* sprite = AddSprite(0, 0);
  Present();
  sprite->SetPosition(100, 0);
  EXPECT_EQ(Present(), (std::vector<RECT>{{0, 0, 50, 40}, {100, 0, 150, 40}}));
  sprite->SetPosition(200, 0);
  sprite->SetPosition(300, 0);
  EXPECT_EQ(Present(), (std::vector<RECT>{{100, 0, 150, 40}, {300, 0, 350, 40}}));
}

TEST_F(Changes, PixelsDrawnIntoASurfaceSpriteReportOnlyThoseOnScreen) {
  auto* text = new DxSurfaceSprite32(100, 50);
  text->SetPosition(200, 300);
  root->AddChild(text);
  EXPECT_EQ(Present(), (std::vector<RECT>{{200, 300, 300, 350}}));
  text->FillRect(5, 5, 10, 10, 0xFFFFFF, 255);
  EXPECT_EQ(Present(), (std::vector<RECT>{{205, 305, 215, 315}}));
  EXPECT_TRUE(IsRectEmpty(text->GetDirty()));  // committed with the frame
  // Pixels and a move together cost the whole old and new rectangles.
  text->FillRect(0, 0, 1, 1, 0, 255);
  text->SetPosition(210, 300);
  EXPECT_EQ(Present(), (std::vector<RECT>{{200, 300, 300, 350}, {210, 300, 310, 350}}));
}

TEST_F(Changes, ChangedPixelsOutsideTheFrameCostNothing) {
  SPRITEFRAME frame = SPRITEFRAME::Default(20, 20);
  frame.source = RECT{10, 10, 30, 30};
  DxSprite* sprite = AddSprite(0, 0, &frame);
  Present();
  image->FillRect(0, 0, 5, 5, 0, 255);  // outside the frame's source
  EXPECT_TRUE(Present().empty());
  image->FillRect(25, 25, 10, 10, 0, 255);  // its corner (25..30) shows at (15..20)
  EXPECT_EQ(Present(), (std::vector<RECT>{{15, 15, 20, 20}}));
  (void)sprite;
}

TEST_F(Changes, ShowingAndHidingCostTheWholeRectangle) {
  DxSprite* sprite = AddSprite(10, 10);
  sprite->Hide();
  EXPECT_TRUE(Present().empty());  // never drawn, nothing to show
  sprite->Show();
  EXPECT_EQ(sprite->m_Changed & kChangedShown, kChangedShown);
  EXPECT_EQ(Present(), (std::vector<RECT>{{10, 10, 60, 50}}));
  sprite->Hide();
  EXPECT_EQ(Present(), (std::vector<RECT>{{10, 10, 60, 50}}));
  EXPECT_TRUE(IsRectEmpty(sprite->m_Previous));
}

TEST_F(Changes, SpriteWithoutImageReportsNothing) {
  auto* sprite = new DxSprite(nullptr, nullptr, 0);
  root->AddChild(sprite);
  EXPECT_TRUE(Present().empty());
  sprite->SetFrame(nullptr);  // no image: the frame stays as it is
  EXPECT_TRUE(Present().empty());
  sprite->SetImage(image);
  sprite->SetFrame(nullptr);
  EXPECT_EQ(Present(), (std::vector<RECT>{{0, 0, 50, 40}}));
}

TEST_F(Changes, GroupsMoveEverythingUnderThem) {
  auto* outer = new DxDrawGroup;
  auto* group = new DxDrawGroup;
  root->AddChild(outer);
  outer->AddChild(group);
  outer->SetPosition(1000, 0);
  group->SetPosition(50, 50);
  auto* sprite = new DxSprite(image, nullptr, 0);
  sprite->SetPosition(10, 10);
  group->AddChild(sprite);
  EXPECT_EQ(Present(), (std::vector<RECT>{{1060, 60, 1110, 100}}));
  group->SetPosition(100, 50);
  EXPECT_EQ(Present(), (std::vector<RECT>{{1060, 60, 1110, 100}, {1110, 60, 1160, 100}}));
  outer->Hide();  // the group's children are told; their rectangles are redrawn
  EXPECT_EQ(sprite->m_Changed & kChangedShown, kChangedShown);
}

TEST_F(Changes, ClosingASpriteReportsWhereItWasDrawn) {
  auto* sink = new DxDrawGroup;  // stands in for the screen: the rectangle goes up to the root
  root->AddChild(sink);
  auto* sprite = new DxSprite(image, nullptr, 0);
  sprite->SetPosition(7, 8);
  sink->AddChild(sprite);
  Present();
  // A renderer group passes 0x4068 to its parent; the root has none, so watch
  // it arrive through a view that records it.
  struct Catcher : DxDrawGroup {
    std::vector<RECT> got;
    MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override {
      if (msg == kMsgAddDirty) got.push_back(*reinterpret_cast<const RECT*>(a));
      return DxDrawGroup::OnMessage(msg, a, b);
    }
  };
  auto* catcher = new Catcher;
  root->AddChild(catcher);
  catcher->AddChild(sink);
  sprite->Release();
  EXPECT_EQ(catcher->got, (std::vector<RECT>{{7, 8, 57, 48}}));
}

TEST_F(Changes, SpriteKeepsItsImageAliveUntilItLetsGo) {
  DxSurface* picture = SolidSurface(8, 8, 0x00FF00);
  DxSprite* sprite = AddSprite(0, 0);
  sprite->SetImage(picture);
  EXPECT_EQ(picture->GetRefCount(), 2);
  EXPECT_EQ(picture->Release(), 1);  // the owner lets go first
  sprite->SetFrame(nullptr);
  EXPECT_EQ(Present(), (std::vector<RECT>{{0, 0, 8, 8}}));
  DxSurface* target = SolidSurface(16, 16, 0);
  DRAWINFO info;
  info.target = target;
  info.clip = RECT{0, 0, 16, 16};
  sprite->Draw(&info);  // reads the picture the owner released
  uint32_t pixel;
  std::memcpy(&pixel, target->GetPixelAddress(3, 3), 4);
  EXPECT_EQ(pixel, 0x0000FF00u);
  const int imageRefs = image->GetRefCount();
  sprite->SetImage(image);
  EXPECT_EQ(image->GetRefCount(), imageRefs + 1);
  sprite->Release();  // drops its reference on image; picture is already gone
  EXPECT_EQ(image->GetRefCount(), imageRefs);
  target->Release();
}

TEST_F(Changes, SurfaceSpriteWithASecondReferenceOnlyLeavesTheTree) {
  auto* text = new DxSurfaceSprite32(20, 10);
  root->AddChild(text);
  EXPECT_EQ(text->AddRef(), 2);
  EXPECT_EQ(text->Release(), 1);
  EXPECT_EQ(text->GetParent(), nullptr);
  EXPECT_EQ(root->GetFirstChild(), nullptr);
  EXPECT_EQ(text->FillRect(nullptr, 0xFFFFFF, 255), 1);  // still alive
  EXPECT_EQ(text->Release(), 0);
}

TEST_F(Changes, SurfaceSpriteStartsTransparentAndWhollyDirty) {
  auto* text = new DxSurfaceSprite32(6, 4);
  EXPECT_EQ(text->GetDirty(), (RECT{0, 0, 6, 4}));
  uint32_t pixel;
  std::memcpy(&pixel, text->GetPixelAddress(5, 3), 4);
  EXPECT_EQ(pixel, 0xFF000000u);
  EXPECT_EQ(text->GetImage(), static_cast<DxSurface*>(text));
  EXPECT_EQ(text->GetRefCount(), 1);
  // Showing another image and then its own pixels again takes no reference on itself.
  text->SetImage(image);
  EXPECT_EQ(image->GetRefCount(), 2);
  text->SetImage(text);
  EXPECT_EQ(image->GetRefCount(), 1);
  EXPECT_EQ(text->GetRefCount(), 1);
  text->Release();
}

TEST_F(Changes, SpriteShowingASurfaceSpriteLeavesItInTheTree) {
  auto* text = new DxSurfaceSprite32(20, 10);
  root->AddChild(text);
  auto* mirror = new DxSprite(text, nullptr, 0);
  root->AddChild(mirror);
  EXPECT_EQ(text->GetRefCount(), 2);
  mirror->Release();
  EXPECT_EQ(text->GetRefCount(), 1);
  EXPECT_EQ(text->GetParent(), root);
  // The other way round: the surface sprite closes, the mirror keeps it alive.
  mirror = new DxSprite(text, nullptr, 0);
  root->AddChild(mirror);
  EXPECT_EQ(text->Release(), 1);
  EXPECT_EQ(text->GetParent(), nullptr);
  EXPECT_EQ(Present(), (std::vector<RECT>{{0, 0, 20, 10}}));
  mirror->Release();  // the last reference: the surface sprite goes too
}

TEST_F(Changes, PositionRectIsTheTruncatedPosition) {
  DxSprite* sprite = AddSprite(0, 0);
  sprite->SetPosition(12.9f, -3.7f);
  RECT r{1, 1, 1, 1};
  sprite->GetPositionRect(&r);
  EXPECT_EQ(r, (RECT{12, -3, 12, -3}));
}

TEST(SpriteHitTest, AnswersTheTopmostSpriteUnderThePoint) {
  DxSurface* image = SolidSurface(20, 20, 0);
  auto* root = new DxDrawGroup;
  auto* group = new DxDrawGroup;
  root->AddChild(group);
  group->SetPosition(100, 100);
  auto* below = new DxSprite(image, nullptr, 0);
  auto* above = new DxSprite(image, nullptr, 0);
  below->SetPosition(10, 10);
  above->SetPosition(20, 20);
  group->AddChild(below);
  group->AddChild(above);
  auto hit = [&](int x, int y) {
    POINT p{x, y};
    ssView* out = nullptr;
    return reinterpret_cast<ssView*>(root->Dispatch(kDispatchHitTest, kMsgHitTest, reinterpret_cast<MessageArg>(&p),
                                                    reinterpret_cast<MessageArg>(&out)));
  };
  EXPECT_EQ(hit(115, 115), static_cast<ssView*>(below));
  EXPECT_EQ(hit(125, 125), static_cast<ssView*>(above));  // both cover it: the later child wins
  EXPECT_EQ(hit(139, 139), static_cast<ssView*>(above));
  EXPECT_EQ(hit(140, 139), nullptr);
  EXPECT_EQ(hit(109, 115), nullptr);
  above->Hide();
  EXPECT_EQ(hit(125, 125), static_cast<ssView*>(below));
  root->Release();
  image->Release();
}

TEST(DirtyRectList, UnionModeKeepsOneBoundingRectangle) {
  DirtyRectList list(500);
  EXPECT_EQ(list.Add(RECT{0, 0, 10, 10}), 1);
  EXPECT_EQ(list.Add(RECT{100, 100, 110, 110}), 1);
  EXPECT_EQ(list.Rects()[0], (RECT{0, 0, 110, 110}));
  list.Reset(kDirtyUnion);
  EXPECT_EQ(list.Count(), 0);
}

TEST(DirtyRectList, ListModeDropsContainedAndEmptiesCoveredRectangles) {
  DirtyRectList list(10);
  list.Reset(kDirtyList);
  list.Add(RECT{0, 0, 10, 10});
  list.Add(RECT{20, 0, 30, 10});
  EXPECT_EQ(list.Add(RECT{2, 2, 8, 8}), 2);  // inside a kept one: nothing
  EXPECT_EQ(list.Add(RECT{-5, -5, 40, 20}), 3);  // covers both: they stay, emptied
  EXPECT_EQ(list.Rects()[0], (RECT{0, 0, 0, 0}));
  EXPECT_EQ(list.Rects()[1], (RECT{0, 0, 0, 0}));
  EXPECT_EQ(list.Rects()[2], (RECT{-5, -5, 40, 20}));
}

TEST(DirtyRectList, AFullListFoldsIntoOneUnionInsteadOfDropping) {
  DirtyRectList list(3);
  list.Reset(kDirtyList);
  list.Add(RECT{0, 0, 1, 1});
  list.Add(RECT{10, 0, 11, 1});
  list.Add(RECT{20, 0, 21, 1});
  EXPECT_EQ(list.Add(RECT{30, 5, 31, 6}), 1);
  EXPECT_EQ(list.Rects()[0], (RECT{0, 0, 31, 6}));
  EXPECT_EQ(list.Add(RECT{40, 0, 41, 1}), 2);  // room again after folding
}

}  // namespace
}  // namespace DxDraw
