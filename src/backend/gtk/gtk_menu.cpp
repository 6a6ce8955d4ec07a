#include "backend/gtk/gtk_menu.h"

#include <utility>

#include "backend/gtk/gtk_events.h"
#include "platform/text.h"

namespace platform {

namespace {

// "&X" marks a mnemonic; GTK writes it "_X" and a literal "_" as "__".
std::string MnemonicLabel(std::u16string_view text) {
  std::string out;
  for (char c : Utf16ToUtf8(text)) {
    if (c == '&') {
      out += '_';
    } else if (c == '_') {
      out += "__";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void GtkMenu::OnActivateItem(GtkMenuItem* item, gpointer data) {
  auto* self = static_cast<GtkMenu*>(data);
  if (self->muted > 0) return;
  if (GTK_IS_CHECK_MENU_ITEM(item) && !gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item))) return;
  uint32_t id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "command"));
  self->events.Push(WindowEvent{WindowMessage::kCommand, id, 0});
}

void GtkMenu::SetMenu(std::span<const MenuEntry> menu) {
  for (GtkWidget* top : tops) gtk_widget_destroy(top);
  tops.clear();
  items.clear();
  texts.clear();
  std::vector<GtkWidget*> shells{menubar};
  GSList* group = nullptr;
  for (const MenuEntry& entry : menu) {
    if (entry.kind != MenuEntry::kRadio) group = nullptr;
    GtkWidget* item = nullptr;
    switch (entry.kind) {
      case MenuEntry::kSubmenu: {
        item = gtk_menu_item_new_with_mnemonic(MnemonicLabel(entry.text).c_str());
        GtkWidget* sub = gtk_menu_new();
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), sub);
        gtk_menu_shell_append(GTK_MENU_SHELL(shells.back()), item);
        if (shells.size() == 1) tops.push_back(item);
        shells.push_back(sub);
        continue;
      }
      case MenuEntry::kEnd:
        if (shells.size() > 1) shells.pop_back();
        continue;
      case MenuEntry::kSeparator:
        item = gtk_separator_menu_item_new();
        break;
      case MenuEntry::kRadio:
        if (group == nullptr) {
          // GTK keeps one item of a group checked, the first at the start: a
          // hidden first item holds the group's "none checked", for a value
          // no item shows.
          GtkWidget* none = gtk_radio_menu_item_new(nullptr);
          gtk_widget_set_no_show_all(none, TRUE);
          gtk_menu_shell_append(GTK_MENU_SHELL(shells.back()), none);
          group = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(none));
        }
        item = gtk_radio_menu_item_new_with_mnemonic(group, MnemonicLabel(entry.text).c_str());
        group = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(item));
        break;
      case MenuEntry::kItem:
        item = gtk_menu_item_new_with_mnemonic(MnemonicLabel(entry.text).c_str());
        break;
    }
    if (entry.kind != MenuEntry::kSeparator) {
      g_object_set_data(G_OBJECT(item), "command", GUINT_TO_POINTER(entry.id));
      g_signal_connect(item, "activate", G_CALLBACK(OnActivateItem), this);
      items[entry.id] = item;
      texts[entry.id] = entry.text != nullptr ? entry.text : u"";
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(shells.back()), item);
  }
  gtk_widget_show_all(menubar);
}

void GtkMenu::RemoveTopMenu(int index) {
  if (index < 0 || index >= static_cast<int>(tops.size())) return;
  GtkWidget* top = tops[static_cast<size_t>(index)];
  GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(top));
  for (auto it = items.begin(); it != items.end();) {
    if (sub != nullptr && gtk_widget_is_ancestor(it->second, sub)) {
      it = items.erase(it);
    } else {
      ++it;
    }
  }
  gtk_widget_destroy(top);
  tops.erase(tops.begin() + index);
}

void GtkMenu::EnableMenuItem(uint32_t id, bool enabled) {
  auto it = items.find(id);
  if (it != items.end()) gtk_widget_set_sensitive(it->second, enabled);
}

bool GtkMenu::IsMenuItemEnabled(uint32_t id) const {
  auto it = items.find(id);
  return it == items.end() || gtk_widget_get_sensitive(it->second);
}

std::u16string GtkMenu::SetMenuItemText(uint32_t id, std::u16string_view text) {
  auto it = items.find(id);
  if (it == items.end()) return {};
  gtk_menu_item_set_label(GTK_MENU_ITEM(it->second), MnemonicLabel(text).c_str());
  gtk_menu_item_set_use_underline(GTK_MENU_ITEM(it->second), TRUE);
  return std::exchange(texts[id], std::u16string(text));
}

void GtkMenu::CheckMenuItem(uint32_t id) {
  auto it = items.find(id);
  if (it == items.end() || !GTK_IS_CHECK_MENU_ITEM(it->second)) return;
  ++muted;
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(it->second), TRUE);
  --muted;
}

bool GtkMenu::IsMenuItemChecked(uint32_t id) const {
  auto it = items.find(id);
  return it != items.end() && GTK_IS_CHECK_MENU_ITEM(it->second) &&
         gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(it->second));
}

}  // namespace platform
