#include "platform/dialog_model.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/text.h"

namespace platform {

DialogModel::DialogModel(std::u16string title, int width, int height, std::span<const DialogControl> controls)
    : m_Title(std::move(title)), m_Width(width), m_Height(height), m_Controls(controls.begin(), controls.end()) {}

const DialogControl* DialogModel::Control(int id) const {
  if (id == 0) return nullptr;
  auto it = std::find_if(m_Controls.begin(), m_Controls.end(), [id](const DialogControl& c) { return c.id == id; });
  return it != m_Controls.end() ? &*it : nullptr;
}

int DialogModel::Value(int id) const {
  auto it = m_Values.find(id);
  return it != m_Values.end() ? it->second : 0;
}

const std::u16string& DialogModel::Text(int id) const {
  static const std::u16string kEmpty;
  auto it = m_Texts.find(id);
  return it != m_Texts.end() ? it->second : kEmpty;
}

const std::vector<std::u16string>& DialogModel::Items(int id) const {
  static const std::vector<std::u16string> kNone;
  auto it = m_Items.find(id);
  return it != m_Items.end() ? it->second : kNone;
}

uint32_t DialogModel::Color(int id) const {
  auto it = m_Colors.find(id);
  return it != m_Colors.end() ? it->second : 0;
}

int DialogModel::TakeFocusRequest() { return std::exchange(m_FocusRequest, 0); }

void DialogModel::SetChecked(int id, bool on) {
  const DialogControl* control = Control(id);
  if (control == nullptr) return;
  if (control->kind == ControlKind::kRadio && on) {
    // The group: back to its start, then forward over the radios that follow.
    auto index = static_cast<std::size_t>(control - m_Controls.data());
    std::size_t first = index;
    while (first > 0 && !m_Controls[first].group_start && m_Controls[first - 1].kind == ControlKind::kRadio) --first;
    for (std::size_t i = first; i < m_Controls.size() && m_Controls[i].kind == ControlKind::kRadio; ++i) {
      if (i != first && m_Controls[i].group_start) break;
      m_Values[m_Controls[i].id] = 0;
    }
  }
  m_Values[id] = on ? 1 : 0;
  if (on || control->kind == ControlKind::kCheck) Clicked(id);
}

void DialogModel::Scrolled(int id, ScrollCode, int position) { m_Values[id] = position; }

void DialogModel::Dragged(int id, double position) {
  Scrolled(id, ScrollCode::kThumbTrack, static_cast<int>(std::lround(position)));
}

void DialogModel::Selected(int id, int index) {
  int count = static_cast<int>(Items(id).size());
  m_Values[id] = index >= 0 && index < count ? index : -1;
}

void DialogModel::Edited(int id, std::u16string text) {
  const DialogControl* control = Control(id);
  if (control != nullptr && control->kind == ControlKind::kEdit && control->range > 0) {
    // The limit counts characters, as the entry does: a surrogate pair is one
    // and is kept or cut whole.
    std::size_t end = 0;
    for (int count = 0; end < text.size() && count < control->range; ++count) NextCodePoint(text, end);
    text.resize(end);
  }
  m_Texts[id] = std::move(text);
}

void DialogModel::Cancel() { End(-1); }

void HeadlessDialogHost::Run(WindowHandle, DialogModel& model) {
  if (m_Player) m_Player(model);
  if (!model.Finished()) model.Cancel();
}

namespace {
IDialogHost*& InstalledHost() {
  static IDialogHost* host = nullptr;
  return host;
}
}  // namespace

IDialogHost& DialogHostService() {
  static HeadlessDialogHost headless;
  IDialogHost* host = InstalledHost();
  return host != nullptr ? *host : headless;
}

IDialogHost* SetDialogHostService(IDialogHost* host) { return std::exchange(InstalledHost(), host); }

}  // namespace platform
