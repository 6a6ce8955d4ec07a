// The main window's procedure: the program's menu 110 and accelerators 128,
// the close confirmation, typed characters, activation, and the full-screen
// menu bar that shows while the pointer touches the top of the screen. Commands
// that must interrupt running script code only set the frame's request word.
// The enabled and checked state of every command is kept by the window's
// menu; a greyed command's accelerator does nothing here, in a window and in
// full screen alike.
#pragma once

#include <cstdint>
#include <span>

#include "app/frame.h"
#include "platform/main_window.h"

namespace App {

class IMenuActions;

// Menu 110 as the window builds it; the third top-level menu is the debug menu.
std::span<const platform::MenuEntry> MainMenu();
inline constexpr int kDebugMenuIndex = 2;

// The pointer shows the full-screen menu bar within this many pixels of the top.
inline constexpr int32_t kMenuRevealHeight = 2;

// Greys or enables a command: its menu item and with it its accelerator. The
// step back (Ctrl+Z), which has no item, follows "タイトルに戻る"; any other
// command without an item is enabled.
void EnableMenuCommand(uint32_t id, bool enabled);
bool IsMenuCommandEnabled(uint32_t id);
// Checks `id` among the radio items first..last; the window clears the others.
void CheckMenuRadio(uint32_t first, uint32_t last, uint32_t id);

// Radio items of the settings: message speed index 0-3, auto speed 0-4 (the
// draw speed's are the frame's: DrawSpeedCommand).
uint32_t MessageSpeedCommand(uint32_t index);
uint32_t AutoSpeedCommand(uint32_t index);

class WinApp : public IWindowProc {
 public:
  WinApp(IMenuActions& actions, Frame& frame) : m_Actions(actions), m_Frame(frame) {}

  void OnWindowMessage(const platform::WindowEvent& event) override;

  // Window and full screen: removes or restores the menu bar with the switch.
  static void ToggleFullScreen();

 private:
  void OnCommand(uint32_t id);
  void OnMouseMove(int32_t y);

  IMenuActions& m_Actions;
  Frame& m_Frame;
};

}  // namespace App
