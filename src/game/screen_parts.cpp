#include "game/screen_parts.h"

#include <algorithm>
#include <span>

#include "app/frame.h"
#include "app/input.h"
#include "archive/archive.h"
#include "dxdraw/drawview.h"
#include "game/game_env.h"
#include "game/game_state.h"
#include "textscript/script_host.h"

namespace Game {

DxDraw::SPRITEFRAME SheetFrame(const DxDraw::RECT& source) {
  return DxDraw::SPRITEFRAME{static_cast<uint16_t>(source.right - source.left),
                             static_cast<uint16_t>(source.bottom - source.top), 0, 0, source, 0};
}

void AppendToScreen(DxDraw::ssView* view) {
  if (StageParent() != nullptr) StageParent()->AddChild(view);
}

ViewHolder<DxDraw::DxSprite> AppendSprite(DxDraw::DxSurface* image, const DxDraw::SPRITEFRAME* frame,
                                          uint32_t flags, int x, int y) {
  ViewHolder<DxDraw::DxSprite> sprite(new DxDraw::DxSprite(image, frame, flags));
  sprite->SetPosition(x, y);
  AppendToScreen(sprite.get());
  return sprite;
}

void SetSpriteLevel(DxDraw::DxSprite* sprite, uint32_t operation, int level) {
  sprite->m_Param.Flags = operation;
  sprite->m_Param.Level = static_cast<int32_t>((static_cast<uint32_t>(sprite->m_Param.Level) & 0xFFFF0000u) |
                                               (static_cast<uint32_t>(level) & 0xFFFFu));
  sprite->SetChanged(DxDraw::kChangedShown);
}

bool RampLevel(int from, int to, int step, const std::function<void(int)>& apply,
               const std::function<bool()>& stopped) {
  for (int level = from;; level = from < to ? std::min(level + step, to) : std::max(level - step, to)) {
    apply(level);
    App::WaitNextFrame();
    if (stopped && stopped()) return false;
    if (level == to) return true;
  }
}

bool Pressed(uint32_t buttons) { return (App::Input().pressed & buttons) != 0; }

void WaitWhileHeld(uint32_t buttons) {
  while ((App::Input().held & buttons) != 0) App::WaitNextFrame();
}

void ButtonRow::Add(DxDraw::DxSurface* sheet, const DxDraw::RECT& normal, const DxDraw::RECT& lit, int x, int y,
                    const DxDraw::RECT& hit, uint32_t flags) {
  Button button{nullptr, SheetFrame(normal), SheetFrame(lit)};
  button.sprite = AppendSprite(sheet, &button.normal, flags, x, y);
  m_Buttons.push_back(std::move(button));
  m_Hits.push_back(hit);
}

void ButtonRow::Reset() {
  for (Button& button : m_Buttons) button.sprite->SetFrame(&button.normal);
  m_Tracker.Reset();
  m_Last = -1;
}

int ButtonRow::Update() {
  const App::InputState& in = App::Input();
  int hit = m_Tracker.Update(std::span<const DxDraw::RECT>(m_Hits), in.cursor_x, in.cursor_y);
  if (hit != m_Last) {
    if (m_Last >= 0) m_Buttons[m_Last].sprite->SetFrame(&m_Buttons[m_Last].normal);
    if (hit >= 0) m_Buttons[hit].sprite->SetFrame(&m_Buttons[hit].lit);
    m_Last = hit;
  }
  return hit;
}

void ButtonRow::Show() {
  for (Button& button : m_Buttons) button.sprite->Show();
}

void ButtonRow::Hide() {
  for (Button& button : m_Buttons) button.sprite->Hide();
}

int TitleResultOf(int32_t code) { return code == ScriptException::kLoad ? LoadSlot + 2 : -1; }

}  // namespace Game
