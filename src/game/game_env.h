// What the application hands the game layer before the first game cycle: the
// screen the stage hangs in and the menu switch. Tests set their own; nothing
// here is owned by the game.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/menu_commands.h"

namespace DxDraw {
class ssGroup;
}  // namespace DxDraw

namespace Game {

// The group the stage is added to (the screen surface); null: the stage hangs nowhere.
void SetStageParent(DxDraw::ssGroup* parent);
DxDraw::ssGroup* StageParent();

// Menu commands the game enables and grays. The application installs the
// switch; none: nothing happens.
enum : uint32_t {
  kMenuBackToTitle = platform::kCommandBackToTitle,
  kMenuSave = platform::kCommandSave,
  kMenuLoad = platform::kCommandLoad,
  kMenuDebug = platform::kCommandVariables,
};
using MenuSwitch = std::function<void(uint32_t command, bool enabled)>;
void SetMenuSwitch(MenuSwitch menuSwitch);
void EnableMenuCommand(uint32_t command, bool enabled);

}  // namespace Game
