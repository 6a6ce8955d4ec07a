// The program's main window as the shell sees it: its menu bar (built from a
// flat description, items greyed and radio items checked by command id), full
// screen, and the wait for the display's refresh that paces the frames. The real window is GTK's;
// the headless one keeps the state for tests. The menu's items are the one
// record of which commands are greyed and which radio items checked.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"

namespace platform {

// One entry of a menu description: a submenu opens a level that kEnd closes.
// Texts mark their mnemonic with "&".
struct MenuEntry {
  enum Kind { kItem, kRadio, kSeparator, kSubmenu, kEnd };
  Kind kind;
  const char16_t* text = nullptr;
  uint32_t id = 0;  // command of an item
};

class IMainWindow {
 public:
  virtual ~IMainWindow() = default;
  // Builds the menu bar; choosing an item queues its command.
  virtual void SetMenu(std::span<const MenuEntry> menu) = 0;
  // Removes the top-level menu at `index` (0-based).
  virtual void RemoveTopMenu(int index) = 0;
  virtual void EnableMenuItem(uint32_t id, bool enabled) = 0;
  // Whether command `id` is enabled: false only while its item is greyed, so
  // a command without an item is enabled.
  virtual bool IsMenuItemEnabled(uint32_t id) const = 0;
  // Checks the radio item `id` and clears the others of its group.
  virtual void CheckMenuItem(uint32_t id) = 0;
  // Whether `id` has an item and it is checked.
  virtual bool IsMenuItemChecked(uint32_t id) const = 0;
  // Gives item `id` a new text and returns the one it had ("" when there is no such item).
  virtual std::u16string SetMenuItemText(uint32_t id, std::u16string_view text) = 0;
  virtual void SetMenuBarVisible(bool visible) = 0;
  virtual bool IsMenuBarVisible() const = 0;
  // Goes full screen on the window's monitor or back; false when it could not.
  virtual bool SetFullScreen(bool full) = 0;
  virtual bool IsFullScreen() const = 0;
  // The owner handle for message boxes.
  virtual WindowHandle Handle() = 0;
  // Waits for the display's next refresh (the presented picture is then on
  // screen); a window without a display returns at once.
  virtual void WaitForRefresh() {}
};

// The window of tests: the menu's state by command id, nothing shown.
class HeadlessMainWindow : public IMainWindow {
 public:
  void SetMenu(std::span<const MenuEntry> menu) override;
  void RemoveTopMenu(int index) override;
  void EnableMenuItem(uint32_t id, bool enabled) override;
  bool IsMenuItemEnabled(uint32_t id) const override;
  void CheckMenuItem(uint32_t id) override;
  bool IsMenuItemChecked(uint32_t id) const override;
  std::u16string SetMenuItemText(uint32_t id, std::u16string_view text) override;
  void SetMenuBarVisible(bool visible) override { menu_visible_ = visible; }
  bool IsMenuBarVisible() const override { return menu_visible_; }
  bool SetFullScreen(bool full) override;
  bool IsFullScreen() const override { return full_screen_; }
  WindowHandle Handle() override { return this; }

  // Whether an item of the menu has that id (removed menus' items are gone).
  bool HasItem(uint32_t id) const;
  // Top-level menu texts in order.
  std::vector<std::u16string> TopMenus() const;
  // Whether full screen may be entered (a display that refuses it).
  void SetFullScreenAllowed(bool allowed) { full_screen_allowed_ = allowed; }

 private:
  struct Item {
    int top;        // index of its top-level menu
    int group;      // radio group (consecutive radio items), -1 none
    bool enabled = true;
    bool checked = false;
    std::u16string text;
  };
  std::map<uint32_t, Item> items_;
  std::vector<std::u16string> tops_;
  bool menu_visible_ = true;
  bool full_screen_ = false;
  bool full_screen_allowed_ = true;
};

// The window in use; headless until a window system installs its own.
IMainWindow& MainWindow();
IMainWindow* SetMainWindow(IMainWindow* window);

}  // namespace platform
