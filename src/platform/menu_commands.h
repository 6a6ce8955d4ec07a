// The command ids of the main menu (menu 110) and of the accelerator table
// (128), written once: the menu table, the back end's accelerators, the frame,
// the window procedure and the game layer all name them from here. A range
// (draw, message and auto speed) is its first id and the ones after it.
#pragma once

#include <cstdint>

namespace platform {

enum MenuCommand : uint32_t {
  kCommandExit = 40000,
  kCommandToggleFullScreen = 40001,  // Alt+Enter
  kCommandF10 = 40002,               // F10, passed to the frame unchanged
  kCommandBackToTitle = 40003,
  // Draw speed: every frame, 2nd, 4th, 8th, 16th, automatic.
  kCommandDrawSpeedFirst = 40004,
  kCommandDrawSpeedLast = kCommandDrawSpeedFirst + 5,
  kCommandSave = 40010,
  kCommandLoad = 40011,
  kCommandStepBack = 40012,  // Ctrl+Z; no menu item
  kCommandVariables = 40013,
  kCommandFlags = 40014,
  // Message speed: slow, normal, fast, fastest.
  kCommandMessageSpeedFirst = 40017,
  kCommandMessageSpeedLast = kCommandMessageSpeedFirst + 3,
  // Auto speed: the first has no menu item, then slow, normal, fast, fastest.
  kCommandAutoSpeedFirst = 40021,
  kCommandAutoSpeedLast = kCommandAutoSpeedFirst + 4,
  kCommandSoundSettings = 40027,
  kCommandSystemSettings = 40028,
  kCommandChangeName = 40029,
  kCommandManual = 40030,
};

}  // namespace platform
