// The extras menu: three items cut from the title sheet under the title menu's position.
#include "game/extras.h"

#include <array>
#include <span>

#include "app/frame.h"
#include "app/input.h"
#include "dxdraw/drawview.h"
#include "dxdraw/dxview.h"
#include "game/album.h"
#include "game/config.h"
#include "game/game_env.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/holders.h"

namespace Game {
namespace {

enum : int { kAlbum = 0, kReplay = 1, kBack = 2, kItemCount = 3 };

constexpr int kItemWidth = 248;
constexpr int kItemHeight = 40;
constexpr std::array<int, kItemCount> kItemTop{0, 48, 240};         // below the menu position
constexpr std::array<int, kItemCount> kNormalTop{608, 656, 848};    // in the title sheet, x 512
constexpr std::array<int, kItemCount> kLitTop{896, 944, 1136};
constexpr int kSheetX = 512;

DxDraw::SPRITEFRAME SheetFrame(int top) {
  return DxDraw::SPRITEFRAME{kItemWidth, kItemHeight, 0, 0, {kSheetX, top, kSheetX + kItemWidth, top + kItemHeight}, 0};
}

}  // namespace

void ShowExtrasMenu(DxDraw::DxSurface* titleSheet, DxDraw::DxSprite* titleBackground) {
  const SystemConfig& config = GetSystemConfig();
  std::array<DxDraw::SPRITEFRAME, kItemCount> normal{}, lit{};
  std::array<DxDraw::RECT, kItemCount> hits{};
  std::array<ViewHolder<DxDraw::DxSprite>, kItemCount> items;
  for (int i = 0; i < kItemCount; ++i) {
    normal[i] = SheetFrame(kNormalTop[i]);
    lit[i] = SheetFrame(kLitTop[i]);
    const int x = config.titleMenuX, y = config.titleMenuY + kItemTop[i];
    hits[i] = DxDraw::RECT{x, y, x + kItemWidth, y + kItemHeight};
    items[i].reset(new DxDraw::DxSprite(titleSheet, &normal[i], 0));
    items[i]->SetPosition(x, y);
    if (DxDraw::ssGroup* screen = StageParent()) screen->AddChild(items[i].get());
  }
  auto showAll = [&](bool shown) {
    for (auto& item : items) shown ? item->Show() : item->Hide();
    if (titleBackground != nullptr) shown ? titleBackground->Show() : titleBackground->Hide();
  };

  const App::InputState& in = App::Input();
  DxDraw::HoverTracker hover;
  hover.Reset();
  for (;;) {
    App::WaitNextFrame();
    hover.Update(std::span<const DxDraw::RECT>(hits), in.cursor_x, in.cursor_y);
    if (hover.changed != 0) {
      if (hover.previous >= 0) items[hover.previous]->SetFrame(&normal[hover.previous]);
      if (hover.current >= 0) items[hover.current]->SetFrame(&lit[hover.current]);
    }
    int chosen = -1;
    if ((in.pressed & App::kButtonClick) != 0 && hover.current >= 0) {
      WaitButtonsUp(App::kButtonClick);
      chosen = hover.current;
    } else if ((in.pressed & App::kButtonRightClick) != 0) {
      WaitButtonsUp(App::kButtonRightClick);
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
    for (int i = 0; i < kItemCount; ++i) items[i]->SetFrame(&normal[i]);
    hover.Reset();
  }
}

}  // namespace Game
