// The extras menu: three items cut from the title sheet under the title menu's position.
#include "game/extras.h"

#include <array>

#include "app/frame.h"
#include "app/input.h"
#include "dxdraw/dxview.h"
#include "game/config.h"
#include "game/game_env.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/screen_parts.h"

namespace Game {
namespace {

enum : int { kAlbum = 0, kReplay = 1, kBack = 2, kItemCount = 3 };

constexpr int kItemWidth = 248;
constexpr int kItemHeight = 40;
constexpr std::array<int, kItemCount> kItemTop{0, 48, 240};         // below the menu position
constexpr std::array<int, kItemCount> kNormalTop{608, 656, 848};    // in the title sheet, x 512
constexpr std::array<int, kItemCount> kLitTop{896, 944, 1136};
constexpr int kSheetX = 512;

DxDraw::RECT Box(int x, int y) { return DxDraw::RECT{x, y, x + kItemWidth, y + kItemHeight}; }

}  // namespace

void ShowExtrasMenu(DxDraw::DxSurface* titleSheet, DxDraw::DxSprite* titleBackground) {
  const SystemConfig& config = GetSystemConfig();
  ButtonRow items;
  for (int i = 0; i < kItemCount; ++i) {
    const int x = config.titleMenuX, y = config.titleMenuY + kItemTop[i];
    items.Add(titleSheet, Box(kSheetX, kNormalTop[i]), Box(kSheetX, kLitTop[i]), x, y, Box(x, y), 0);
  }
  items.Reset();
  auto showAll = [&](bool shown) {
    shown ? items.Show() : items.Hide();
    if (titleBackground != nullptr) shown ? titleBackground->Show() : titleBackground->Hide();
  };

  for (;;) {
    App::WaitNextFrame();
    const int hover = items.Update();
    int chosen = -1;
    if (Pressed(App::kButtonClick) && hover >= 0) {
      WaitWhileHeld(App::kButtonClick);
      chosen = hover;
    } else if (Pressed(App::kButtonRightClick)) {
      WaitWhileHeld(App::kButtonRightClick);
      chosen = kBack;
    }
    if (chosen < 0) continue;
    if (chosen == kBack) return;
    showAll(false);
    {
      // The title comes back however the screen ends, so that a request caught by the title finds it whole.
      struct ShowAgain {
        decltype(showAll)& show;
        ~ShowAgain() { show(true); }
      } again{showAll};
      if (chosen == kAlbum) {
        ShowCgAlbum();
        PlayBgmOrVoice(kChannelBgm, config.titleMusic, 1);
      } else {
        ShowScenePlay();
      }
    }
    items.Reset();
  }
}

}  // namespace Game
