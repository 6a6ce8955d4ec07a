#include "game/manual.h"

#include "app/frame.h"
#include "app/input.h"
#include "game/screen_parts.h"
#include "platform/wformat.h"

namespace Game {
namespace {

constexpr int kPageCount = 4;
enum ManualButton : int { kButtonPrevious, kButtonNext, kButtonClose };

struct ButtonPlace {
  DxDraw::RECT normal;
  DxDraw::RECT lit;
  int x;
};
constexpr ButtonPlace kButtons[] = {
    {{0, 56, 50, 106}, {56, 56, 106, 106}, 561},
    {{0, 0, 50, 50}, {56, 0, 106, 50}, 635},
    {{0, 112, 50, 162}, {56, 112, 106, 162}, 709},
};
constexpr int kButtonY = 533;
constexpr int kHitSize = 48;  // two pixels short of the 50-pixel pictures on the right and bottom

bool g_ManualShown = false;

// What the player asked for on a page: another page or closing.
enum class PageExit { kPrevious, kNext, kClose };

PageExit RunPage(ButtonRow& buttons) {
  buttons.Reset();
  for (;;) {
    App::WaitNextFrame();
    int hit = buttons.Update();
    if (Pressed(App::kButtonRightClick)) {
      WaitWhileHeld(App::kButtonRightClick);
      return PageExit::kClose;
    }
    if (!Pressed(App::kButtonClick)) continue;
    WaitWhileHeld(App::kButtonClick);
    switch (hit) {
      case kButtonPrevious: return PageExit::kPrevious;
      case kButtonNext: return PageExit::kNext;
      case kButtonClose: return PageExit::kClose;
      default: break;
    }
  }
}

}  // namespace

void ShowManual() {
  if (g_ManualShown) return;
  g_ManualShown = true;
  struct Shown {
    ~Shown() { g_ManualShown = false; }
  } shown;

  SurfaceHolder sheet = LoadScreenPicture(u"title/rm_parts");
  SurfaceHolder picture;
  ViewHolder<DxDraw::DxSprite> page = AppendSprite(nullptr, nullptr, DxDraw::BLT_COPY, 0, 0);
  ButtonRow buttons;
  for (const ButtonPlace& place : kButtons) {
    buttons.Add(sheet.get(), place.normal, place.lit, place.x, kButtonY,
                {place.x, kButtonY, place.x + kHitSize, kButtonY + kHitSize}, DxDraw::BLT_COPY | DxDraw::BLT_WEIGHTED);
  }
  for (int index = 0;;) {
    picture.reset();
    picture = LoadScreenPicture(platform::FormatString(u"title/rm_base%d", index + 1));
    page->SetImage(picture.get());
    page->SetFrame(nullptr);
    switch (RunPage(buttons)) {
      case PageExit::kPrevious: index = (index + kPageCount - 1) % kPageCount; break;
      case PageExit::kNext: index = (index + 1) % kPageCount; break;
      case PageExit::kClose: return;
    }
  }
}

}  // namespace Game
