#include "platform/main_window.h"

#include <utility>

#include "platform/service.h"

namespace platform {

void HeadlessMainWindow::SetMenu(std::span<const MenuEntry> menu) {
  items_.clear();
  tops_.clear();
  int depth = 0;
  int group = -1;
  int groups = 0;
  for (const MenuEntry& entry : menu) {
    if (entry.kind != MenuEntry::kRadio) group = -1;
    switch (entry.kind) {
      case MenuEntry::kSubmenu:
        if (depth++ == 0) tops_.emplace_back(entry.text);
        break;
      case MenuEntry::kEnd:
        --depth;
        break;
      case MenuEntry::kRadio:
        if (group < 0) group = groups++;
        items_[entry.id] = Item{static_cast<int>(tops_.size()) - 1, group, true, false, entry.text};
        break;
      case MenuEntry::kItem:
        items_[entry.id] = Item{static_cast<int>(tops_.size()) - 1, -1, true, false, entry.text};
        break;
      case MenuEntry::kSeparator:
        break;
    }
  }
}

void HeadlessMainWindow::RemoveTopMenu(int index) {
  if (index < 0 || index >= static_cast<int>(tops_.size())) return;
  tops_.erase(tops_.begin() + index);
  for (auto it = items_.begin(); it != items_.end();) {
    if (it->second.top == index) {
      it = items_.erase(it);
    } else {
      if (it->second.top > index) --it->second.top;
      ++it;
    }
  }
}

void HeadlessMainWindow::EnableMenuItem(uint32_t id, bool enabled) {
  auto it = items_.find(id);
  if (it != items_.end()) it->second.enabled = enabled;
}

void HeadlessMainWindow::CheckMenuItem(uint32_t id) {
  auto it = items_.find(id);
  if (it == items_.end()) return;
  for (auto& [other, item] : items_) {
    if (item.group >= 0 && item.group == it->second.group) item.checked = false;
  }
  it->second.checked = true;
}

std::u16string HeadlessMainWindow::SetMenuItemText(uint32_t id, std::u16string_view text) {
  auto it = items_.find(id);
  if (it == items_.end()) return {};
  return std::exchange(it->second.text, std::u16string(text));
}

bool HeadlessMainWindow::SetFullScreen(bool full) {
  if (full && !full_screen_allowed_) return false;
  full_screen_ = full;
  return true;
}

bool HeadlessMainWindow::HasItem(uint32_t id) const { return items_.count(id) != 0; }

bool HeadlessMainWindow::IsMenuItemEnabled(uint32_t id) const {
  auto it = items_.find(id);
  return it == items_.end() || it->second.enabled;
}

bool HeadlessMainWindow::IsMenuItemChecked(uint32_t id) const {
  auto it = items_.find(id);
  return it != items_.end() && it->second.checked;
}

std::vector<std::u16string> HeadlessMainWindow::TopMenus() const { return tops_; }

namespace {
ServiceSlot<IMainWindow, HeadlessMainWindow> g_window;
}  // namespace

IMainWindow& MainWindow() { return g_window.Get(); }
IMainWindow* SetMainWindow(IMainWindow* window) { return g_window.Install(window); }

}  // namespace platform
