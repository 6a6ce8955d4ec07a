// What the application hands the game layer before the first game cycle: the
// screen the stage hangs in and the menu switch. Tests set their own; nothing
// here is owned by the game.
#pragma once

#include <cstdint>
#include <functional>

namespace DxDraw {
class ssGroup;
}  // namespace DxDraw

namespace Game {

// The group the stage is added to (the screen surface); null: the stage hangs nowhere.
void SetStageParent(DxDraw::ssGroup* parent);
DxDraw::ssGroup* StageParent();

// Menu commands the game enables and grays (save 40010, debug 40013, title
// 40003, load 40011). The application installs the switch; none: nothing happens.
enum : uint32_t {
  kMenuBackToTitle = 40003,
  kMenuSave = 40010,
  kMenuLoad = 40011,
  kMenuDebug = 40013,
};
using MenuSwitch = std::function<void(uint32_t command, bool enabled)>;
void SetMenuSwitch(MenuSwitch menuSwitch);
void EnableMenuCommand(uint32_t command, bool enabled);

}  // namespace Game
