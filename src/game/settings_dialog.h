// The player's settings dialogs: system settings, sound settings and the
// protagonist's name. Each dialog edits a copy of the settings; the Show
// functions run it over the main window, then apply what changed to the
// running game and keep the copy, so a cancelled dialog changes nothing.
//
// The controllers hold all of the dialogs' behaviour and run in any
// platform::IDialogHost; the sound dialog plays what it changes at once so the
// player hears it, and never makes a switched-off kind of sound audible.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/dialog_model.h"

namespace Game {

// Control ids of the system settings.
enum : int {
  kIdWindowed = 1028,
  kIdFullScreen = 1029,
  kIdGraphicsNormal = 1030,
  kIdGraphicsFast = 1031,
  kIdRed = 1032,          // kIdRed + i: colour byte i (red, green, blue, transparency)
  kIdTransparency = 1035,
  kIdDefaultColor = 1036,
  kIdFont = 1037,
  kIdStopAtUnread = 1043,
  kIdStopAtChoice = 1044,
  kIdSwatch = 1045,
};

// Control ids of the sound settings.
enum : int {
  kIdVoiceOn = 1046,  // each kind: on, then off
  kIdVoiceOff = 1047,
  kIdBgmOn = 1048,
  kIdBgmOff = 1049,
  kIdSeOn = 1050,
  kIdSeOff = 1051,
  kIdMainVolume = 1052,
  kIdBgmVolume = 1053,
  kIdVoiceVolume = 1054,
  kIdSeVolume = 1055,
  kIdVoiceTest = 1056,
  kIdSeTest = 1057,
};

// Control ids of the name dialog.
enum : int { kIdFamilyName = 1061, kIdGivenName = 1062 };

inline constexpr std::u16string_view kDefaultFontFace = u"ＭＳ 明朝";
inline constexpr uint8_t kDefaultBaseColor[4] = {32, 32, 240, 160};

// Dialog 113 "システム設定" over a copy of the settings. The font list is picked
// by whole name (case ignored), else "ＭＳ 明朝", else its first entry.
class SystemSettingsDialog : public platform::DialogModel {
 public:
  SystemSettingsDialog(const App::GameSettings& settings, std::vector<std::u16string> fonts);

  // The copy with the dialog's choices (complete once it ended with 1).
  const App::GameSettings& Settings() const { return m_Settings; }

  void Clicked(int id) override;
  void Scrolled(int id, platform::ScrollCode code, int position) override;

 private:
  void ShowColor();

  App::GameSettings m_Settings;
};

// Dialog 115 "サウンド設定". Volume moves are heard at once; the on/off choices
// take effect only through OK.
class SoundSettingsDialog : public platform::DialogModel {
 public:
  explicit SoundSettingsDialog(const App::GameSettings& settings);
  ~SoundSettingsDialog() override;

  const App::GameSettings& Settings() const { return m_Settings; }

  void Clicked(int id) override;
  void Scrolled(int id, platform::ScrollCode code, int position) override;

 private:
  App::GameSettings m_Settings;
  int m_StoppedLoop = -1;  // effect channel whose looping sound the effect test stopped, -1 none
};

// Dialog 116 "主人公名変更": both names, each at most 8 characters.
class NameDialog : public platform::DialogModel {
 public:
  NameDialog(std::u16string_view family, std::u16string_view given);
  void Clicked(int id) override;
};

// What the system settings change outside the settings block; the program
// installs these, and none is called when not set.
struct DisplayHooks {
  std::function<bool()> is_full_screen;         // the display runs full screen now
  std::function<void()> toggle_full_screen;     // kCommandToggleFullScreen to the main window
  std::function<std::vector<std::u16string>()> fonts;  // the font list of the start-up
};
void SetDisplayHooks(DisplayHooks hooks);

// Where the sound dialog sends levels 0-255 (channel -1: the master gain): the
// sound engine's current plays unless another output is installed; empty
// restores the engine.
using LevelOutput = std::function<void(int channel, int level)>;
void SetLevelOutput(LevelOutput output);

// The menu commands and the title's settings items. Each runs its dialog in
// the installed dialog host over `owner`; the result is the dialog's (1 OK, -1 cancelled).
// An OK writes what it changed at once: the settings file (App::WriteSettingsNow)
// for the system and sound settings, the global records for the names.
int ShowSystemSettings(platform::WindowHandle owner);
int ShowSoundDialog(platform::WindowHandle owner);
int ShowNameDialog(platform::WindowHandle owner);

}  // namespace Game
