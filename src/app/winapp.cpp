#include "app/winapp.h"

#include "app/probe.h"
#include "app/settings.h"
#include "app/shell_systems.h"
#include "app/startup.h"
#include "platform/message_box.h"

namespace App {

namespace {

using platform::MenuEntry;

const MenuEntry kMainMenu[] = {
    {MenuEntry::kSubmenu, u"システム"},
    {MenuEntry::kSubmenu, u"描画速度"},
    {MenuEntry::kRadio, u"通常", kCommandDrawSpeedFirst},
    {MenuEntry::kRadio, u"２倍速", kCommandDrawSpeedFirst + 1},
    {MenuEntry::kRadio, u"４倍速", kCommandDrawSpeedFirst + 2},
    {MenuEntry::kRadio, u"８倍速", kCommandDrawSpeedFirst + 3},
    {MenuEntry::kRadio, u"１６倍速", kCommandDrawSpeedFirst + 4},
    {MenuEntry::kRadio, u"自動", kCommandDrawSpeedLast},
    {MenuEntry::kEnd},
    {MenuEntry::kSubmenu, u"メッセージ"},
    {MenuEntry::kSubmenu, u"表示"},
    {MenuEntry::kRadio, u"遅い", kCommandMessageSpeedFirst},
    {MenuEntry::kRadio, u"普通", kCommandMessageSpeedFirst + 1},
    {MenuEntry::kRadio, u"速い", kCommandMessageSpeedFirst + 2},
    {MenuEntry::kRadio, u"最速", kCommandMessageSpeedLast},
    {MenuEntry::kEnd},
    {MenuEntry::kSubmenu, u"オート速度"},
    {MenuEntry::kRadio, u"遅い", kCommandAutoSpeedFirst + 1},
    {MenuEntry::kRadio, u"普通", kCommandAutoSpeedFirst + 2},
    {MenuEntry::kRadio, u"速い", kCommandAutoSpeedFirst + 3},
    {MenuEntry::kRadio, u"最速", kCommandAutoSpeedLast},
    {MenuEntry::kEnd},
    {MenuEntry::kEnd},
    {MenuEntry::kItem, u"サウンド設定", kCommandSoundSettings},
    {MenuEntry::kItem, u"システム設定", kCommandSystemSettings},
    {MenuEntry::kItem, u"名前変更", kCommandChangeName},
    {MenuEntry::kItem, u"マニュアル", kCommandManual},
    {MenuEntry::kSeparator},
    {MenuEntry::kItem, u"終了(&X)", kCommandExit},
    {MenuEntry::kEnd},
    {MenuEntry::kSubmenu, u"シナリオ"},
    {MenuEntry::kItem, u"タイトルに戻る(&X)", kCommandBackToTitle},
    {MenuEntry::kSeparator},
    {MenuEntry::kItem, u"セーブする(&S)", kCommandSave},
    {MenuEntry::kItem, u"ロードする(&L)", kCommandLoad},
    {MenuEntry::kEnd},
    {MenuEntry::kSubmenu, u"デバッグ"},
    {MenuEntry::kItem, u"変数表示", kCommandVariables},
    {MenuEntry::kEnd},
};

// Message speed indices by command, from kCommandMessageSpeedFirst; auto speed
// indices from kCommandAutoSpeedFirst.
constexpr uint32_t kMessageSpeedIndex[] = {3, 2, 1, 0};
constexpr uint32_t kAutoSpeedIndex[] = {0, 4, 3, 2, 1};

}  // namespace

std::span<const platform::MenuEntry> MainMenu() { return kMainMenu; }

void EnableMenuCommand(uint32_t id, bool enabled) { platform::MainWindow().EnableMenuItem(id, enabled); }

bool IsMenuCommandEnabled(uint32_t id) {
  // The step back has no item of its own: its key follows the scenario's
  // "タイトルに戻る", which the game layer enables while a script runs.
  return platform::MainWindow().IsMenuItemEnabled(id == kCommandStepBack ? kCommandBackToTitle : id);
}

void CheckMenuRadio(uint32_t first, uint32_t last, uint32_t id) {
  if (id >= first && id <= last) platform::MainWindow().CheckMenuItem(id);
}

uint32_t MessageSpeedCommand(uint32_t index) {
  for (uint32_t i = 0; i < 4; ++i) {
    if (kMessageSpeedIndex[i] == index) return kCommandMessageSpeedFirst + i;
  }
  return kCommandMessageSpeedFirst + 1;
}

uint32_t AutoSpeedCommand(uint32_t index) {
  for (uint32_t i = 0; i < 5; ++i) {
    if (kAutoSpeedIndex[i] == index) return kCommandAutoSpeedFirst + i;
  }
  return kCommandAutoSpeedFirst + 2;
}

void WinApp::OnWindowMessage(const platform::WindowEvent& event) {
  switch (event.message) {
    case platform::WindowMessage::kCommand:
      // A greyed command does nothing, whether from the menu or an accelerator.
      if (!IsMenuCommandEnabled(event.value)) return;
      OnCommand(event.value);
      return;
    case platform::WindowMessage::kMouseMove:
      OnMouseMove(event.y);
      return;
    case platform::WindowMessage::kClose:
    case platform::WindowMessage::kActivate:
    case platform::WindowMessage::kCharacter:
    case platform::WindowMessage::kPaint:
      m_Frame.DefaultWindowProc(event);
      return;
  }
}

void WinApp::OnCommand(uint32_t id) {
  platform::WindowEvent forward{platform::WindowMessage::kCommand, id};
  if (id >= kCommandDrawSpeedFirst && id <= kCommandDrawSpeedLast) {
    CheckMenuRadio(kCommandDrawSpeedFirst, kCommandDrawSpeedLast, id);
    m_Frame.DefaultWindowProc(forward);
    Settings().words.skip_frame = m_Frame.GetSkipFrame();
    WriteSettingsNow();
    return;
  }
  if (id >= kCommandMessageSpeedFirst && id <= kCommandMessageSpeedLast) {
    CheckMenuRadio(kCommandMessageSpeedFirst, kCommandMessageSpeedLast, id);
    m_Actions.SetMessageSpeed(kMessageSpeedIndex[id - kCommandMessageSpeedFirst]);
    WriteSettingsNow();
    return;
  }
  if (id >= kCommandAutoSpeedFirst && id <= kCommandAutoSpeedLast) {
    CheckMenuRadio(kCommandAutoSpeedFirst, kCommandAutoSpeedLast, id);
    m_Actions.SetAutoSpeed(kAutoSpeedIndex[id - kCommandAutoSpeedFirst]);
    WriteSettingsNow();
    return;
  }
  switch (id) {
    case kCommandExit:
    case kCommandBackToTitle:
    case kCommandStepBack:
      m_Frame.DefaultWindowProc(forward);
      break;
    case kCommandToggleFullScreen:
      ToggleFullScreen();
      WriteSettingsNow();
      break;
    case kCommandSave:
      if (m_Actions.ShowSaveLoadDialog(0) != -1) m_Actions.ShowNotice(u"セーブしました", 2000);
      break;
    case kCommandLoad: {
      int slot = m_Actions.ShowSaveLoadDialog(1);
      if (slot != -1) {
        m_Actions.SetLoadSlot(slot);
        m_Frame.SetRequest(kRequestLoad);
      }
      break;
    }
    case kCommandVariables:
      m_Actions.ShowVariableDialog();
      break;
    case kCommandFlags:
      m_Actions.ShowFlagDialog();
      break;
    case kCommandSoundSettings:
      m_Actions.ShowSoundDialog();
      break;
    case kCommandSystemSettings:
      m_Actions.ShowSystemSettings();
      break;
    case kCommandChangeName:
      m_Actions.ShowNameDialog();
      break;
    case kCommandManual:
      m_Actions.ShowManual();
      break;
    default:  // F10 and the ids without an action reach the frame unchanged
      m_Frame.DefaultWindowProc(forward);
      break;
  }
}

void WinApp::ToggleFullScreen() {
  platform::IMainWindow& window = platform::MainWindow();
  if (window.IsFullScreen()) {
    window.SetFullScreen(false);
    window.SetMenuBarVisible(true);
    return;
  }
  window.SetMenuBarVisible(false);
  // A switch that failed leaves the window as it was, with its menu bar.
  if (!EnterFullScreen()) window.SetMenuBarVisible(true);
}

void WinApp::OnMouseMove(int32_t y) {
  platform::IMainWindow& window = platform::MainWindow();
  if (!window.IsFullScreen()) return;
  if (y < kMenuRevealHeight && !window.IsMenuBarVisible()) {
    window.SetMenuBarVisible(true);
  } else if (y >= kMenuRevealHeight && window.IsMenuBarVisible()) {
    window.SetMenuBarVisible(false);
  }
}

}  // namespace App
