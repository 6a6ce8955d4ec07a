#include "game/settings_menu.h"

#include "app/frame.h"
#include "app/input.h"
#include "game/config.h"
#include "game/screen_parts.h"
#include "game/settings_dialog.h"

namespace Game {
namespace {

constexpr int kItemWidth = 248;
constexpr int kItemHeight = 40;
constexpr int kSheetX = 256;
constexpr int kLitOffset = 288;  // the highlighted frames stand this far below the normal ones

// Each item: its offset below the menu position and the top of its normal frame.
struct MenuItem {
  int offset;
  int top;
};
constexpr MenuItem kItems[] = {{0, 608}, {48, 656}, {96, 704}, {240, 848}};
enum : int { kSystem, kSound, kName, kBack };

}  // namespace

void ShowSettingsDialog(DxDraw::DxSurface* sheet, platform::WindowHandle owner) {
  const SystemConfig& config = GetSystemConfig();
  ButtonRow items;
  for (const MenuItem& item : kItems) {
    int x = config.titleMenuX;
    int y = config.titleMenuY + item.offset;
    items.Add(sheet, {kSheetX, item.top, kSheetX + kItemWidth, item.top + kItemHeight},
              {kSheetX, item.top + kLitOffset, kSheetX + kItemWidth, item.top + kLitOffset + kItemHeight}, x, y,
              {x, y, x + kItemWidth, y + kItemHeight}, DxDraw::BLT_COPY);
  }
  for (;;) {
    items.Reset();
    int chosen = -1;
    while (chosen < 0) {
      App::WaitNextFrame();
      int hit = items.Update();
      if (hit >= 0 && Pressed(App::kButtonClick)) {
        WaitWhileHeld(App::kButtonClick);
        chosen = hit;
      } else if (Pressed(App::kButtonRightClick)) {
        WaitWhileHeld(App::kButtonRightClick);
        chosen = kBack;
      }
    }
    if (chosen == kBack) return;
    // The item shows its normal frame while its dialog is open.
    items.Reset();
    App::WaitNextFrame();
    if (chosen == kSystem) {
      ShowSystemSettings(owner);
    } else if (chosen == kSound) {
      ShowSoundDialog(owner);
    } else {
      ShowNameDialog(owner);
    }
    items.Show();
  }
}

}  // namespace Game
