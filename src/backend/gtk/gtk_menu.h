// The main window's menu bar: built from a flat description, its items found
// by command id; choosing an item queues its command on the window's events.
// GTK keeps one radio item of a group checked, so each group starts with a
// hidden item that holds "none checked". Used only inside the GTK back end.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/main_window.h"

namespace platform {

class GtkEvents;

class GtkMenu {
 public:
  GtkMenu(GtkWidget* menubar, GtkEvents& events) : menubar(menubar), events(events) {}
  GtkMenu(const GtkMenu&) = delete;
  GtkMenu& operator=(const GtkMenu&) = delete;

  // As IMainWindow's methods of the same names.
  void SetMenu(std::span<const MenuEntry> menu);
  void RemoveTopMenu(int index);
  void EnableMenuItem(uint32_t id, bool enabled);
  bool IsMenuItemEnabled(uint32_t id) const;
  std::u16string SetMenuItemText(uint32_t id, std::u16string_view text);
  void CheckMenuItem(uint32_t id);
  bool IsMenuItemChecked(uint32_t id) const;

 private:
  static void OnActivateItem(GtkMenuItem* item, gpointer data);

  GtkWidget* const menubar;
  GtkEvents& events;
  std::map<uint32_t, GtkWidget*> items;
  std::map<uint32_t, std::u16string> texts;  // item texts as given, "&" marking the mnemonic
  std::vector<GtkWidget*> tops;
  int muted = 0;  // > 0 while the program changes items itself
};

}  // namespace platform
