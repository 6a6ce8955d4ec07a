// The screen surface with a headless presenter: a tree of sprites drawn frame
// by frame, checking the rectangles presented and the pixels in the window.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/exception.h"
#include "dxdraw/dxscreen.h"
#include "dxdraw/dxsurface.h"
#include "platform/presenter.h"

namespace DxDraw {
namespace {

using platform::PresentRect;

DxSurface* SolidSurface(int width, int height, uint32_t rgb, int alpha = 255) {
  DxSurface* s = CreateSurface(32);
  s->Create(width, height);
  s->FillRect(nullptr, rgb, alpha);
  s->ClearDirty();
  return s;
}

struct Screen : ::testing::Test {
  platform::HeadlessPresenter window{800, 600};
  DxDrawGroup* root = new DxDrawGroup;
  DxScreenSurface32* screen = new DxScreenSurface32;
  std::vector<DxSurface*> pictures;

  Screen() {
    root->AddChild(screen);
    screen->Resize(800, 600);
  }
  ~Screen() override {
    root->Release();
    for (DxSurface* p : pictures) p->Release();
  }
  DxSurface* Picture(int width, int height, uint32_t rgb, int alpha = 255) {
    pictures.push_back(SolidSurface(width, height, rgb, alpha));
    return pictures.back();
  }
  DxSprite* Sprite(ssGroup* parent, DxSurface* image, int x, int y, uint32_t flags = 0) {
    auto* sprite = new DxSprite(image, nullptr, flags);
    sprite->SetPosition(x, y);
    parent->AddChild(sprite);
    return sprite;
  }
  // One pass of the frame's draw: returns the rectangles presented.
  std::vector<PresentRect> Frame() {
    window.ClearRects();
    DRAWINFO info;
    info.presenter = &window;
    root->Draw(&info);
    return window.Rects();
  }
};

TEST_F(Screen, FirstFrameComposesTheTreeInRingOrder) {
  Sprite(screen, Picture(800, 600, 0x102030), 0, 0);
  auto* layer = new DxDrawGroup;
  screen->AddChild(layer);
  layer->SetPosition(100, 50);
  Sprite(layer, Picture(200, 100, 0xFF0000), 0, 0);
  Sprite(layer, Picture(50, 50, 0x00FF00), 150, 80);  // later: on top, and past the red one
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{0, 0, 800, 600}}));
  EXPECT_EQ(window.PixelAt(0, 0), 0x102030u);
  EXPECT_EQ(window.PixelAt(100, 50), 0xFF0000u);
  EXPECT_EQ(window.PixelAt(249, 130), 0xFF0000u);
  EXPECT_EQ(window.PixelAt(250, 130), 0x00FF00u);
  EXPECT_EQ(window.PixelAt(299, 179), 0x00FF00u);
  EXPECT_EQ(window.PixelAt(300, 50), 0x102030u);
}

// A view that counts the screen's walks over it.
struct WalkProbe : DxDrawView {
  int collects = 0;
  MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override {
    if (msg == kMsgCollectDirty) ++collects;
    return DxDrawView::OnMessage(msg, a, b);
  }
};

TEST_F(Screen, FrameWithNothingChangedCopiesNothingAndWalksNothing) {
  Sprite(screen, Picture(800, 600, 0x102030), 0, 0);
  auto* probe = new WalkProbe;
  screen->AddChild(probe);
  Frame();
  EXPECT_TRUE(Frame().empty());
  EXPECT_EQ(window.PixelsCopied(), 0u);
  EXPECT_EQ(probe->collects, 1);
  // A rectangle added by message alone is drawn all the same.
  const RECT added{10, 20, 30, 40};
  screen->OnMessage(kMsgAddDirty, reinterpret_cast<MessageArg>(&added), 0);
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{10, 20, 30, 40}}));
}

TEST_F(Screen, MovingSpriteRedrawsTheBoundingRectangle) {
  DxSprite* sprite = Sprite(screen, Picture(10, 10, 0xFFFFFF), 0, 0);
  Frame();
  sprite->SetPosition(100, 100);
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{0, 0, 110, 110}}));
  EXPECT_EQ(window.PixelsCopied(), 110u * 110u);
  EXPECT_EQ(window.PixelAt(5, 5), 0u);  // cleared to black where it was
  EXPECT_EQ(window.PixelAt(105, 105), 0xFFFFFFu);
}

TEST_F(Screen, RectanglesPastTheScreenAreCut) {
  DxSprite* sprite = Sprite(screen, Picture(40, 40, 0xFFFFFF), 780, 590);
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{780, 590, 800, 600}}));
  sprite->SetPosition(-30, -30);
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{0, 0, 800, 600}}));
  sprite->SetPosition(-100, -100);  // from (-30, -30, 10, 10) to wholly off screen
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{0, 0, 10, 10}}));
  EXPECT_TRUE(Frame().empty());
}

TEST_F(Screen, FarAwaySpritesDoNotWrapBackOntoTheScreen) {
  DxSurface* picture = Picture(50, 40, 0xFFFFFF);
  Sprite(screen, picture, 70000, 10);  // 70000 would wrap to 4464 in 16 bits
  EXPECT_TRUE(Frame().empty());
  Sprite(screen, picture, 10, -65000);  // and -65000 to 536
  EXPECT_TRUE(Frame().empty());
  EXPECT_EQ(window.PixelAt(20, 540), 0u);
}

TEST_F(Screen, GroupsNestedPastTheMatrixStackStillDrawAndRestoreTheMatrix) {
  static int reports;
  reports = 0;
  const AssertionHandler previous = SetAssertionHandler([](const char16_t*, int, const char16_t*) { ++reports; });
  const int depth = MatrixStack::Global().Depth();
  ssGroup* parent = screen;
  for (int i = 0; i < kMatrixStackCapacity + 10; ++i) {
    auto* group = new DxDrawGroup;
    group->SetPosition(i % 2, 0);  // 69 to the right at the bottom
    parent->AddChild(group);
    parent = group;
  }
  Sprite(parent, Picture(10, 10, 0x00FF00), 0, 0);
  Sprite(screen, Picture(10, 10, 0xFF0000), 0, 100);  // drawn after the deep chain
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{0, 0, 79, 110}}));
  EXPECT_GT(reports, 0);
  EXPECT_EQ(MatrixStack::Global().Depth(), depth);
  EXPECT_EQ(CurrentMatrix()[12], 0);
  EXPECT_EQ(window.PixelAt(0, 100), 0xFF0000u);  // the sibling after the chain is in place
  SetAssertionHandler(previous);
}

TEST_F(Screen, SkipCounterPresentsEveryFourthFrameWithEverythingInBetween) {
  DxSprite* a = Sprite(screen, Picture(10, 10, 0xFF0000), 0, 0);
  DxSprite* b = Sprite(screen, Picture(10, 10, 0x0000FF), 50, 0);
  screen->SetSkip(3, 0);
  std::vector<int> presented;
  for (int call = 1; call <= 9; ++call) {
    if (call == 2) a->SetPosition(20, 0);
    if (call == 4) b->SetPosition(70, 0);
    if (!Frame().empty()) presented.push_back(call);
    if (call == 5) {
      // Both moves of the skipped frames arrive together.
      EXPECT_EQ(window.Rects(), (std::vector<PresentRect>{{0, 0, 80, 10}}));
      EXPECT_EQ(window.PixelAt(25, 5), 0xFF0000u);
      EXPECT_EQ(window.PixelAt(75, 5), 0x0000FFu);
      EXPECT_EQ(window.PixelAt(55, 5), 0u);
    }
    if (call == 8) a->SetPosition(30, 0);
  }
  EXPECT_EQ(presented, (std::vector<int>{1, 5, 9}));
}

TEST_F(Screen, RepaintDrawsAtOnceWithoutCommitting) {
  Sprite(screen, Picture(800, 600, 0x336699), 0, 0);
  DxSprite* moving = Sprite(screen, Picture(10, 10, 0xFFFFFF), 0, 0);
  Frame();
  screen->SetSkip(15, 15);
  moving->SetPosition(300, 300);
  window.ClearRects();
  const RECT covered{100, 100, 120, 130};
  screen->OnMessage(kMsgRepaint, reinterpret_cast<MessageArg>(&covered), reinterpret_cast<MessageArg>(&window));
  // The covered area and the pending move, redrawn together at once.
  EXPECT_EQ(window.Rects(), (std::vector<PresentRect>{{0, 0, 310, 310}}));
  EXPECT_EQ(moving->m_Changed & kChangedPosition, kChangedPosition);  // not committed
  EXPECT_EQ(screen->GetDirtyList().Count(), 1);                      // not reset
  screen->SetSkip(15, 0);
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{0, 0, 310, 310}}));
  EXPECT_TRUE(Frame().empty());
}

TEST_F(Screen, ClosedSpriteIsRedrawnAway) {
  Sprite(screen, Picture(800, 600, 0x000080), 0, 0);
  DxSprite* sprite = Sprite(screen, Picture(30, 20, 0xFFFF00), 400, 300);
  Frame();
  EXPECT_EQ(window.PixelAt(410, 310), 0xFFFF00u);
  sprite->Release();
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{400, 300, 430, 320}}));
  EXPECT_EQ(window.PixelAt(410, 310), 0x000080u);
}

TEST_F(Screen, TextDrawnIntoASurfaceSpriteCopiesOnlyTheChangedPixels) {
  Sprite(screen, Picture(800, 600, 0x202020), 0, 0);
  auto* text = new DxSurfaceSprite32(600, 150);
  text->m_Param.Flags = BLT_WEIGHTED;
  text->SetPosition(100, 400);
  screen->AddChild(text);
  Frame();
  text->FillRect(16, 8, 16, 16, 0xFFFFFF, 255);  // one glyph's box
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{116, 408, 132, 424}}));
  EXPECT_EQ(window.PixelsCopied(), 16u * 16u);
  EXPECT_EQ(window.PixelAt(116, 408), 0xFFFFFFu);
  EXPECT_EQ(window.PixelAt(115, 408), 0x202020u);  // transparent text pixels show the background
}

TEST_F(Screen, WeightedSpriteShowsTheLayerBelowThroughTransparentPixels) {
  Sprite(screen, Picture(100, 100, 0x0000FF), 0, 0);
  DxSurface* character = Picture(20, 20, 0xFF0000);
  const RECT hole{0, 0, 10, 20};
  character->FillRect(&hole, 0x00FF00, 0);  // invisible half
  Sprite(screen, character, 10, 10, BLT_WEIGHTED);
  Frame();
  EXPECT_EQ(window.PixelAt(12, 15), 0x0000FFu);
  EXPECT_EQ(window.PixelAt(22, 15), 0xFF0000u);
}

// A large rectangle is drawn a band of rows at a time but presented whole; every
// pixel is what one draw of each layer over the whole picture gives.
TEST_F(Screen, LargeRectangleIsPresentedWholeWithThePixelsOfOneDraw) {
  DxSurface* background = Picture(800, 600, 0);
  DxSurface* character = Picture(797, 590, 0);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const uint32_t b = static_cast<uint32_t>(x * 7 + y) & 0xFF;
      std::memcpy(background->GetPixelAddress(x, y), &b, 4);
      if (x < 797 && y < 590) {
        // Runs of invisible, opaque and partly transparent pixels, changing along rows and columns.
        const uint32_t t = (x + 3 * y) % 50 < 20 ? 255 : (x + 3 * y) % 50 < 35 ? 0 : (x * y) & 0xFF;
        const uint32_t c = t << 24 | static_cast<uint32_t>(x ^ y) << 8 | 0x40;
        std::memcpy(character->GetPixelAddress(x, y), &c, 4);
      }
    }
  }
  Sprite(screen, background, 0, 0);
  DxSprite* sprite = Sprite(screen, character, 3, 5, BLT_WEIGHTED);
  DxSurface* expected = Picture(800, 600, 0);
  auto expectPicture = [&](int x, int y) {
    BLTPARAM weighted;
    weighted.Flags = BLT_WEIGHTED;
    weighted.Level = 32;
    expected->FillRect(nullptr, 0, 0);
    expected->Blt(0, 0, background, nullptr, nullptr, nullptr);
    expected->Blt(x, y, character, nullptr, nullptr, &weighted);
    for (int py = 0; py < 600; ++py) {
      for (int px = 0; px < 800; ++px) {
        uint32_t want;
        std::memcpy(&want, expected->GetPixelAddress(px, py), 4);
        ASSERT_EQ(window.PixelAt(px, py), want & 0xFFFFFFu) << px << "," << py;
      }
    }
  };
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{0, 0, 800, 600}}));
  expectPicture(3, 5);
  sprite->SetPosition(1, 2);
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{1, 2, 800, 595}}));
  expectPicture(1, 2);
}

// The back buffer is cleared before drawing only where a sprite drawn in the
// tree would replace every byte anyway; the picture, T bytes included, is the
// same either way. A white cover drawn at the first frame and hidden at the
// second would show through wherever the clear were wrongly left out.
TEST_F(Screen, ClearIsLeftOutOnlyUnderAPlainCopyThatCoversTheArea) {
  enum Parent { kScreen, kShownGroup, kHiddenGroup };
  struct Case {
    const char* what;
    uint32_t flags;
    RECT source;
    int x, y;
    bool shown;
    Parent parent = kScreen;
  };
  const Case cases[] = {
      {"plain copy over the screen", 0, {0, 0, 800, 600}, 0, 0, true},
      {"plain copy with the colour mask", BLT_COLORMASK, {0, 0, 800, 600}, 0, 0, true},
      {"plain copy over part of the screen", 0, {0, 0, 800, 600}, 30, 7, true},
      {"frame past the image", 0, {-10, 0, 790, 600}, 0, 0, true},
      {"frame wider than the image", 0, {0, 0, 900, 600}, -50, 0, true},
      {"weighted copy", BLT_WEIGHTED, {0, 0, 800, 600}, 0, 0, true},
      {"copy reading the destination T", BLT_DEST_ADD, {0, 0, 800, 600}, 0, 0, true},
      {"hidden sprite", 0, {0, 0, 800, 600}, 0, 0, false},
      {"plain copy in a group", 0, {0, 0, 800, 600}, 0, 0, true, kShownGroup},
      {"plain copy in a hidden group", 0, {0, 0, 800, 600}, 0, 0, true, kHiddenGroup},
  };
  DxSurface* image = Picture(800, 600, 0);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const uint32_t t = (x + y) % 9 < 3 ? 255 : (x + y) % 9 < 6 ? 0 : static_cast<uint32_t>(x * 3 + y) & 0xFF;
      const uint32_t c = t << 24 | (static_cast<uint32_t>(x + 2 * y) & 0xFFFFFF);
      std::memcpy(image->GetPixelAddress(x, y), &c, 4);
    }
  }
  DxSurface* cover = Picture(800, 600, 0xFFFFFF);
  DxSurface* expected = Picture(800, 600, 0);
  for (const Case& c : cases) {
    SPRITEFRAME frame = SPRITEFRAME::Default(RectWidth(c.source), RectHeight(c.source));
    frame.source = c.source;
    auto* bottom = new DxSprite(image, &frame, c.flags);
    bottom->m_Param.ColorMask = 0x00F0F0F0;
    bottom->SetPosition(c.x, c.y);
    if (!c.shown) bottom->Hide();
    DxDrawGroup* group = nullptr;
    if (c.parent == kScreen) {
      screen->AddChild(bottom);
    } else {
      group = new DxDrawGroup;
      screen->AddChild(group);
      group->AddChild(bottom);
      if (c.parent == kHiddenGroup) group->Hide();
    }
    DxSprite* top = Sprite(screen, cover, 0, 0);
    Frame();
    top->Hide();
    EXPECT_EQ(Frame(), (std::vector<PresentRect>{{0, 0, 800, 600}})) << c.what;

    expected->FillRect(nullptr, 0, 0);
    if (c.shown && c.parent != kHiddenGroup) expected->Blt(c.x, c.y, image, &c.source, nullptr, &bottom->m_Param);
    DxSurface* shot = screen->Snapshot();
    ASSERT_NE(shot, nullptr);
    for (int y = 0; y < 600; ++y) {
      ASSERT_EQ(std::memcmp(shot->GetPixelAddress(0, y), expected->GetPixelAddress(0, y), 800 * 4), 0)
          << c.what << ", row " << y;
    }
    shot->Release();
    bottom->Detach();
    bottom->Release();
    if (group != nullptr) {
      group->Detach();
      group->Release();
    }
    top->Detach();
    top->Release();
  }
}

TEST_F(Screen, SnapshotCopiesThePicture) {
  Sprite(screen, Picture(800, 600, 0x123456), 0, 0);
  Frame();
  DxSurface* shot = screen->Snapshot();
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(shot->GetBounds(), (RECT{0, 0, 800, 600}));
  uint32_t pixel;
  std::memcpy(&pixel, shot->GetPixelAddress(799, 599), 4);
  EXPECT_EQ(pixel & 0xFFFFFFu, 0x123456u);
  EXPECT_EQ(shot->GetRefCount(), 1);
  shot->Release();
}

TEST_F(Screen, HiddenScreenDrawsBlack) {
  Sprite(screen, Picture(10, 10, 0xFFFFFF), 0, 0);
  Frame();
  screen->Hide();
  EXPECT_EQ(Frame(), (std::vector<PresentRect>{{0, 0, 10, 10}}));
  EXPECT_EQ(window.PixelAt(5, 5), 0u);
}

TEST(ScreenCursor, OwnCursorImageHidesTheSystemCursor) {
  DxSurface* cursor = SolidSurface(16, 16, 0xFFFFFF);
  auto* own = new DxScreenSurface32(cursor, nullptr);
  EXPECT_FALSE(ShowSystemCursor());
  own->Release();
  auto* plain = new DxScreenSurface32;
  EXPECT_TRUE(ShowSystemCursor());
  plain->Release();
  cursor->Release();
}

TEST(ScreenWithoutBuffer, PresentsNothingBeforeResize) {
  platform::HeadlessPresenter window(800, 600);
  auto* screen = new DxScreenSurface32;
  DRAWINFO info;
  info.presenter = &window;
  screen->Draw(&info);
  EXPECT_TRUE(window.Rects().empty());
  EXPECT_EQ(screen->Resize(0, 600), -1);
  EXPECT_EQ(screen->GetBackBuffer(), nullptr);
  screen->Release();
}

}  // namespace
}  // namespace DxDraw
