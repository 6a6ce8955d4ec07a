#include "game/game_sound.h"

#include <array>

#include "app/settings.h"
#include "app/input.h"
#include "archive/archive.h"
#include "game/game_env.h"
#include "game/game_state.h"
#include "sound/sound.h"
#include "textscript/script_vars.h"

namespace Game {
namespace {

constexpr uint32_t kNormalRate = 4096;

std::array<std::u16string, kChannelCount>& Names() {
  static std::array<std::u16string, kChannelCount> names;
  return names;
}

bool ValidChannel(int channel) { return channel >= 0 && channel < kChannelCount; }

// Percent to level 0-255; music and effects are a tenth as loud as voices.
int Level(bool enabled, uint8_t percent, int divisor) {
  if (!enabled) return 0;
  return percent * 255 / 100 / divisor;
}

void ApplyLevel(int channel, int level) {
  SetSoundVolume(GetChannelPlayId(channel), VolumeToAttenuation(level));
}

const App::GameSettings& Configured() { return App::Settings().game; }

}  // namespace

int32_t PlayOggStream(IArchive* archive, std::u16string_view name, int channel, int loop, uint32_t rate,
                      int32_t volume, int32_t pan) {
  std::u16string path(name);
  path += u".ogg";
  return OpenOggStream(archive, path, channel, loop, rate, volume, pan);
}

int BgmLevel() { return Level(Configured().enable_bgm != 0, Configured().bgm_volume, 10); }
int VoiceLevel() { return Level(Configured().enable_voice != 0, Configured().voice_volume, 1); }
int SeLevel() { return Level(Configured().enable_se != 0, Configured().se_volume, 10); }

void PlayBgmOrVoice(int channel, std::u16string_view name, int restart) {
  if (!ValidChannel(channel)) return;
  int32_t id = GetChannelPlayId(channel);
  if (channel == kChannelVoice && Configured().enable_voice == 0) {
    StopSound(id);
    return;
  }
  if (restart == 0 && channel == kChannelVoice) {
    StopSound(id);
    if (SkipMode != 0 || (App::Input().held & App::kSkipMask) != 0) return;
  }
  if (GetSoundState(id) == 1 && TextScript::ScriptNameEqual(Names()[channel], name)) return;
  StopSound(id);
  int level = channel == kChannelVoice ? VoiceLevel() : BgmLevel();
  Names()[channel] = name;
  std::u16string path = channel == kChannelBgm ? u"bgm/" : u"voice/";
  path += name;
  PlayOggStream(SoundArchive, path, channel, channel == kChannelBgm ? 1 : 0, kNormalRate,
                VolumeToAttenuation(level), 0);
}

void PlayVoiceLine(std::u16string_view name) {
  if (TextScript::ScriptNameEqual(name, u"00")) {
    StopSound(GetChannelPlayId(kChannelVoice));
  } else {
    PlayBgmOrVoice(kChannelVoice, name, 0);
  }
}

void PlaySe(int channel, std::u16string_view name, int loop) {
  if (!ValidChannel(channel)) return;
  StopChannel(channel);
  std::u16string path = u"se/";
  path += name;
  PlayOggStream(SoundArchive, path, channel, loop, kNormalRate, VolumeToAttenuation(SeLevel()), 0);
}

void ApplyBgmVolume(int enabled) { ApplyLevel(kChannelBgm, Level(enabled != 0, Configured().bgm_volume, 10)); }
void ApplyVoiceVolume(int enabled) { ApplyLevel(kChannelVoice, Level(enabled != 0, Configured().voice_volume, 1)); }
void ApplySeVolume(int enabled) {
  int level = Level(enabled != 0, Configured().se_volume, 10);
  ApplyLevel(kChannelSe1, level);
  ApplyLevel(kChannelSe2, level);
}

const std::u16string& ChannelName(int channel) {
  static const std::u16string kNone;
  return ValidChannel(channel) ? Names()[channel] : kNone;
}

void SetChannelName(int channel, std::u16string_view name) {
  if (ValidChannel(channel)) Names()[channel] = name;
}

void StopGameChannels() {
  for (int channel = 0; channel < kChannelCount; ++channel) {
    StopChannel(channel);
    Names()[channel].clear();
  }
}

}  // namespace Game
