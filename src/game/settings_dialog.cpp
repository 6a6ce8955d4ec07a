#include "game/settings_dialog.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "app/startup.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/message_stage.h"
#include "game/session.h"
#include "platform/text.h"
#include "save/save_types.h"
#include "sound/sound.h"
#include "textscript/script_vars.h"

namespace Game {
namespace {

using platform::ControlKind;
using platform::DialogControl;
using platform::ScrollCode;

constexpr int kColorPage = 16;
constexpr int kVolumePage = 10;
constexpr int kNameLimit = 8;

constexpr std::array kSystemControls = {
    DialogControl{ControlKind::kGroup, 0, u"スクリーンモード", 10, 8, 200, 56},
    DialogControl{ControlKind::kRadio, kIdWindowed, u"ウィンドウ", 22, 30, 90, 24, 0, 0, false, true},
    DialogControl{ControlKind::kRadio, kIdFullScreen, u"全画面", 116, 30, 90, 24},
    DialogControl{ControlKind::kGroup, 0, u"グラフィック表示", 220, 8, 200, 56},
    DialogControl{ControlKind::kRadio, kIdGraphicsNormal, u"通常", 232, 30, 90, 24, 0, 0, false, true},
    DialogControl{ControlKind::kRadio, kIdGraphicsFast, u"高速", 326, 30, 90, 24},
    DialogControl{ControlKind::kGroup, 0, u"テキスト背景", 10, 72, 250, 190},
    DialogControl{ControlKind::kLabel, 0, u"R", 26, 92, 30, 18},
    DialogControl{ControlKind::kLabel, 0, u"G", 62, 92, 30, 18},
    DialogControl{ControlKind::kLabel, 0, u"B", 98, 92, 30, 18},
    DialogControl{ControlKind::kLabel, 0, u"透過", 134, 92, 36, 18},
    DialogControl{ControlKind::kSlider, kIdRed, u"", 22, 112, 34, 140, 255, 16, true},
    DialogControl{ControlKind::kSlider, kIdRed + 1, u"", 58, 112, 34, 140, 255, 16, true},
    DialogControl{ControlKind::kSlider, kIdRed + 2, u"", 94, 112, 34, 140, 255, 16, true},
    DialogControl{ControlKind::kSlider, kIdTransparency, u"", 134, 112, 34, 140, 255, 16, true},
    DialogControl{ControlKind::kSwatch, kIdSwatch, u"", 180, 112, 70, 60},
    DialogControl{ControlKind::kButton, kIdDefaultColor, u"Default", 180, 220, 70, 28},
    DialogControl{ControlKind::kGroup, 0, u"テキスト表示", 270, 72, 240, 190},
    DialogControl{ControlKind::kLabel, 0, u"フォント指定", 282, 94, 200, 18},
    DialogControl{ControlKind::kCombo, kIdFont, u"", 282, 114, 216, 28},
    DialogControl{ControlKind::kCheck, kIdStopAtUnread, u"未読でスキップ等を止める", 282, 160, 220, 24},
    DialogControl{ControlKind::kCheck, kIdStopAtChoice, u"選択時にスキップ等を解除", 282, 190, 220, 24},
    DialogControl{ControlKind::kButton, platform::IDOK, u"OK", 420, 272, 90, 30},
};

constexpr std::array kSoundControls = {
    DialogControl{ControlKind::kGroup, 0, u"ボイス", 10, 8, 140, 56},
    DialogControl{ControlKind::kRadio, kIdVoiceOn, u"あり", 22, 30, 60, 24, 0, 0, false, true},
    DialogControl{ControlKind::kRadio, kIdVoiceOff, u"なし", 84, 30, 60, 24},
    DialogControl{ControlKind::kGroup, 0, u"ＢＧＭ", 160, 8, 140, 56},
    DialogControl{ControlKind::kRadio, kIdBgmOn, u"あり", 172, 30, 60, 24, 0, 0, false, true},
    DialogControl{ControlKind::kRadio, kIdBgmOff, u"なし", 234, 30, 60, 24},
    DialogControl{ControlKind::kGroup, 0, u"効果音", 310, 8, 140, 56},
    DialogControl{ControlKind::kRadio, kIdSeOn, u"あり", 322, 30, 60, 24, 0, 0, false, true},
    DialogControl{ControlKind::kRadio, kIdSeOff, u"なし", 384, 30, 60, 24},
    DialogControl{ControlKind::kLabel, 0, u"全体音量", 10, 80, 90, 24},
    DialogControl{ControlKind::kSlider, kIdMainVolume, u"", 110, 72, 340, 40, 100, 10},
    DialogControl{ControlKind::kLabel, 0, u"BGM", 10, 120, 90, 24},
    DialogControl{ControlKind::kSlider, kIdBgmVolume, u"", 110, 112, 340, 40, 100, 10},
    DialogControl{ControlKind::kButton, kIdVoiceTest, u"ボイス", 10, 156, 90, 28},
    DialogControl{ControlKind::kSlider, kIdVoiceVolume, u"", 110, 152, 340, 40, 100, 10},
    DialogControl{ControlKind::kButton, kIdSeTest, u"効果音", 10, 196, 90, 28},
    DialogControl{ControlKind::kSlider, kIdSeVolume, u"", 110, 192, 340, 40, 100, 10},
    DialogControl{ControlKind::kButton, platform::IDOK, u"OK", 360, 240, 90, 30},
};

constexpr std::array kNameControls = {
    DialogControl{ControlKind::kLabel, 0, u"主人公の名前を入力してください", 10, 10, 300, 20},
    DialogControl{ControlKind::kLabel, 0, u"姓", 10, 40, 140, 20},
    DialogControl{ControlKind::kEdit, kIdFamilyName, u"", 10, 62, 140, 28, kNameLimit},
    DialogControl{ControlKind::kLabel, 0, u"名", 160, 40, 140, 20},
    DialogControl{ControlKind::kEdit, kIdGivenName, u"", 160, 62, 140, 28, kNameLimit},
    DialogControl{ControlKind::kButton, platform::IDOK, u"OK", 110, 104, 90, 30},
    DialogControl{ControlKind::kButton, platform::IDCANCEL, u"ｷｬﾝｾﾙ", 210, 104, 90, 30},
};

DisplayHooks& Display() {
  static DisplayHooks hooks;
  return hooks;
}

// A trackbar's new position after a notification, over 0..max with the page
// step given; both the colour bars (whose value is max - position) and the
// volume bars move so.
int TrackbarPosition(int current, ScrollCode code, int position, int max, int page) {
  switch (code) {
    case ScrollCode::kLineUp: return std::max(current - 1, 0);
    case ScrollCode::kLineDown: return std::min(current + 1, max);
    case ScrollCode::kPageUp: return current < page ? 0 : current - page;
    case ScrollCode::kPageDown: return current > max - page ? max : current + page;
    case ScrollCode::kThumbPosition:
    case ScrollCode::kThumbTrack: return std::clamp(position, 0, max);
    case ScrollCode::kTop: return 0;
    case ScrollCode::kBottom: return max;
    case ScrollCode::kEndTrack: break;
  }
  return current;
}

// The first font whose name begins with `face`, letter case ignored, as the
// list's own search finds it; -1 when none does (or the face is empty).
int FindFont(const std::vector<std::u16string>& fonts, std::u16string_view face) {
  if (face.empty()) return -1;
  auto it = std::find_if(fonts.begin(), fonts.end(), [face](const std::u16string& f) {
    return f.size() >= face.size() && TextScript::ScriptNameEqual(std::u16string_view(f).substr(0, face.size()), face);
  });
  return it != fonts.end() ? static_cast<int>(it - fonts.begin()) : -1;
}

// --- Levels as the sound engine takes them

// The sound engine: the master gain for channel -1, else the channel's current play.
void EngineLevel(int channel, int level) {
  if (channel < 0) {
    SetMasterVolume(VolumeToAttenuation(level));
  } else {
    SetSoundVolume(GetChannelPlayId(channel), VolumeToAttenuation(level));
  }
}

LevelOutput& Output() {
  static LevelOutput output;
  return output;
}

void SendLevel(int channel, int level) { (Output() ? Output() : EngineLevel)(channel, level); }

// One volume of the settings: its trackbar, its switch (none for the main
// volume), its divisor and the channels it sets.
struct VolumeKind {
  int id;
  uint8_t App::GameSettings::*enable;
  uint8_t App::GameSettings::*volume;
  int divisor;
  int channels[2];  // -1 ends; -1 first is the master gain
};

constexpr VolumeKind kVolumes[] = {
    {kIdMainVolume, nullptr, &App::GameSettings::main_volume, 1, {-1, -2}},
    {kIdBgmVolume, &App::GameSettings::enable_bgm, &App::GameSettings::bgm_volume, 10, {kChannelBgm, -2}},
    {kIdVoiceVolume, &App::GameSettings::enable_voice, &App::GameSettings::voice_volume, 1, {kChannelVoice, -2}},
    {kIdSeVolume, &App::GameSettings::enable_se, &App::GameSettings::se_volume, 10, {kChannelSe1, kChannelSe2}},
};

const VolumeKind* FindVolume(int id) {
  for (const VolumeKind& kind : kVolumes) {
    if (kind.id == id) return &kind;
  }
  return nullptr;
}

int PercentLevel(int percent, int divisor) { return percent * 255 / 100 / divisor; }

// Sends one kind's level: `percent` through the kind's switch in `switches`,
// so that a kind switched off there stays silent.
void SendVolume(const VolumeKind& kind, int percent, const App::GameSettings& switches) {
  bool on = kind.enable == nullptr || switches.*kind.enable != 0;
  int level = on ? PercentLevel(percent, kind.divisor) : 0;
  for (int channel : kind.channels) {
    if (channel < -1) break;
    SendLevel(channel, level);
  }
}

// Every level of the running sound from the settings in force.
void SendAllVolumes(const App::GameSettings& live) {
  for (const VolumeKind& kind : kVolumes) SendVolume(kind, live.*kind.volume, live);
}

// The running sound's scene record of effect channel 1 or 2.
Save::SceneSlot EffectSlot(int channel) { return channel == kChannelSe1 ? Save::kSceneSe1 : Save::kSceneSe2; }
constexpr uint8_t kLooping = 2;

}  // namespace

void SetDisplayHooks(DisplayHooks hooks) { Display() = std::move(hooks); }

void SetLevelOutput(LevelOutput output) { Output() = std::move(output); }

// --- System settings

SystemSettingsDialog::SystemSettingsDialog(const App::GameSettings& settings, std::vector<std::u16string> fonts)
    : DialogModel(u"システム設定", 520, 312, kSystemControls), m_Settings(settings) {
  SetValue(m_Settings.full_screen != 0 ? kIdFullScreen : kIdWindowed, 1);
  SetValue(m_Settings.display_speed != 0 ? kIdGraphicsFast : kIdGraphicsNormal, 1);
  SetValue(kIdStopAtUnread, m_Settings.text_skip1 != 0);
  SetValue(kIdStopAtChoice, m_Settings.text_skip2 != 0);
  int font = FindFont(fonts, m_Settings.font_name);
  if (font < 0) font = FindFont(fonts, kDefaultFontFace);
  SetItems(kIdFont, std::move(fonts));
  SetValue(kIdFont, font);
  ShowColor();
}

void SystemSettingsDialog::ShowColor() {
  for (int i = 0; i < 4; ++i) SetValue(kIdRed + i, 255 - m_Settings.base_color[i]);
  const uint8_t* c = m_Settings.base_color;
  SetColor(kIdSwatch, (uint32_t{c[0]} << 16) | (uint32_t{c[1]} << 8) | c[2]);
}

void SystemSettingsDialog::Scrolled(int id, ScrollCode code, int position) {
  if (id < kIdRed || id > kIdTransparency) return;
  int moved = TrackbarPosition(Value(id), code, position, 255, kColorPage);
  m_Settings.base_color[id - kIdRed] = static_cast<uint8_t>(255 - moved);
  ShowColor();
}

void SystemSettingsDialog::Clicked(int id) {
  if (id == kIdDefaultColor) {
    std::copy(std::begin(kDefaultBaseColor), std::end(kDefaultBaseColor), m_Settings.base_color);
    ShowColor();
  } else if (id == platform::IDOK) {
    m_Settings.full_screen = Value(kIdWindowed) == 0;
    m_Settings.display_speed = Value(kIdGraphicsNormal) == 0;
    m_Settings.text_skip1 = Value(kIdStopAtUnread) != 0;
    m_Settings.text_skip2 = Value(kIdStopAtChoice) != 0;
    int font = Value(kIdFont);
    const auto& fonts = Items(kIdFont);
    platform::CopyWideField(m_Settings.font_name, font >= 0 && font < static_cast<int>(fonts.size())
                                        ? std::u16string_view(fonts[static_cast<std::size_t>(font)])
                                        : kDefaultFontFace);
    End(1);
  }
}

int ShowSystemSettings(platform::WindowHandle owner) {
  App::GameSettings& live = App::Settings().game;
  if (Display().is_full_screen) live.full_screen = Display().is_full_screen() ? 1 : 0;
  SystemSettingsDialog dialog(live, Display().fonts ? Display().fonts() : std::vector<std::u16string>{});
  platform::DialogHostService().Run(owner, dialog);
  if (dialog.Result() != 1) return -1;
  const App::GameSettings& chosen = dialog.Settings();
  bool switch_screen = chosen.full_screen != live.full_screen;
  bool recolor = std::memcmp(chosen.base_color, live.base_color, sizeof live.base_color) != 0;
  if (chosen.text_skip1 != live.text_skip1) SettingsChanged |= kSkipUnreadChanged;
  if (std::u16string_view(chosen.font_name) != std::u16string_view(live.font_name)) SettingsChanged |= kFontChanged;
  // Kept first: the window's colour is read from the settings in force.
  live = chosen;
  if (recolor) ApplyMessageWindowColor();
  if (switch_screen && Display().toggle_full_screen) Display().toggle_full_screen();
  App::WriteSettingsNow();
  return 1;
}

// --- Sound settings

SoundSettingsDialog::SoundSettingsDialog(const App::GameSettings& settings)
    : DialogModel(u"サウンド設定", 460, 280, kSoundControls), m_Settings(settings) {
  SetValue(m_Settings.enable_voice != 0 ? kIdVoiceOn : kIdVoiceOff, 1);
  SetValue(m_Settings.enable_bgm != 0 ? kIdBgmOn : kIdBgmOff, 1);
  SetValue(m_Settings.enable_se != 0 ? kIdSeOn : kIdSeOff, 1);
  for (const VolumeKind& kind : kVolumes) SetValue(kind.id, m_Settings.*kind.volume);
}

SoundSettingsDialog::~SoundSettingsDialog() {
  // A looping effect the test stopped plays again, at the level now in force.
  if (m_StoppedLoop >= 0) {
    PlaySe(m_StoppedLoop, SceneRecordName(EffectSlot(m_StoppedLoop)), 1);
  }
}

void SoundSettingsDialog::Scrolled(int id, ScrollCode code, int position) {
  const VolumeKind* kind = FindVolume(id);
  if (kind == nullptr) return;
  int moved = TrackbarPosition(Value(id), code, position, 100, kVolumePage);
  SetValue(id, moved);
  m_Settings.*kind->volume = static_cast<uint8_t>(moved);
  // Heard at once, as the game would sound with it under the switches in force.
  SendVolume(*kind, moved, App::Settings().game);
}

void SoundSettingsDialog::Clicked(int id) {
  App::GameSettings& live = App::Settings().game;
  if (id == kIdVoiceTest) {
    StopChannel(kChannelVoice);
    // The test is heard even with voices switched off.
    uint8_t enabled = std::exchange(live.enable_voice, 1);
    PlayBgmOrVoice(kChannelVoice, u"V_TEST", 1);
    live.enable_voice = enabled;
    SendLevel(kChannelVoice, PercentLevel(m_Settings.voice_volume, 1));
  } else if (id == kIdSeTest) {
    // Channel 1 unless a looping effect keeps it; a loop the test still has
    // to stop (both channels loop) is started again when the dialog ends.
    int channel = SceneRecordState(Save::kSceneSe1) == kLooping ? kChannelSe2 : kChannelSe1;
    if (SceneRecordState(EffectSlot(channel)) == kLooping &&
        GetSoundState(GetChannelPlayId(channel)) == 1) {
      m_StoppedLoop = channel;
    }
    PlaySe(channel, u"INS02", 0);
    SendLevel(channel, PercentLevel(m_Settings.se_volume, 10));
  } else if (id == platform::IDOK) {
    m_Settings.enable_voice = Value(kIdVoiceOn) != 0;
    m_Settings.enable_bgm = Value(kIdBgmOn) != 0;
    m_Settings.enable_se = Value(kIdSeOn) != 0;
    End(1);
  }
}

int ShowSoundDialog(platform::WindowHandle owner) {
  App::GameSettings& live = App::Settings().game;
  int result;
  App::GameSettings chosen;
  {
    SoundSettingsDialog dialog(live);
    platform::DialogHostService().Run(owner, dialog);
    result = dialog.Result();
    chosen = dialog.Settings();
    if (result == 1) {
      App::GameSettings before = live;
      live = chosen;
      // A kind whose switch or volume changed takes its level through its switch.
      for (const VolumeKind& kind : kVolumes) {
        bool switched = kind.enable != nullptr && before.*kind.enable != live.*kind.enable;
        if (switched || before.*kind.volume != live.*kind.volume) SendVolume(kind, live.*kind.volume, live);
      }
    } else {
      // The dialog played its volumes for listening: back to the kept ones.
      SendAllVolumes(live);
    }
  }
  if (result != 1) return -1;
  App::WriteSettingsNow();
  return 1;
}

// --- Name

NameDialog::NameDialog(std::u16string_view family, std::u16string_view given)
    : DialogModel(u"主人公名変更", 320, 144, kNameControls) {
  // The limit holds for typing; names given by the game show whole.
  SetText(kIdFamilyName, std::u16string(family));
  SetText(kIdGivenName, std::u16string(given));
}

void NameDialog::Clicked(int id) {
  if (id == platform::IDCANCEL) {
    End(-1);
  } else if (id == platform::IDOK && !Text(kIdFamilyName).empty() && !Text(kIdGivenName).empty()) {
    End(1);
  }
}

int ShowNameDialog(platform::WindowHandle owner) {
  Save::CommonData& common = Save::GetCommonData();
  NameDialog dialog(common.familyName, common.givenName);
  platform::DialogHostService().Run(owner, dialog);
  if (dialog.Result() != 1) return -1;
  platform::CopyWideField(common.familyName, dialog.Text(kIdFamilyName));
  platform::CopyWideField(common.givenName, dialog.Text(kIdGivenName));
  WriteProgress();
  return 1;
}

}  // namespace Game
