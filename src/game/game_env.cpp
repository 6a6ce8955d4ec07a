#include "game/game_env.h"

#include <utility>

namespace Game {
namespace {

DxDraw::ssGroup* g_pStageParent = nullptr;

MenuSwitch& Switch() {
  static MenuSwitch menuSwitch;
  return menuSwitch;
}

}  // namespace

void SetStageParent(DxDraw::ssGroup* parent) { g_pStageParent = parent; }
DxDraw::ssGroup* StageParent() { return g_pStageParent; }

void SetMenuSwitch(MenuSwitch menuSwitch) { Switch() = std::move(menuSwitch); }

void EnableMenuCommand(uint32_t command, bool enabled) {
  if (Switch()) Switch()(command, enabled);
}

}  // namespace Game
