// The game's sounds by name: music on channel 0, two effect channels and the
// voice channel, streamed from the sound archive ("bgm/", "se/", "voice/" +
// name + ".ogg"), with levels from the volume settings. The last name started
// on each channel is kept so that the music already playing is not restarted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct IArchive;

namespace Game {

// ".ogg" is appended to the name; the other arguments go to OpenOggStream.
// Returns the play id or -1.
int32_t PlayOggStream(IArchive* archive, std::u16string_view name, int channel, int loop, uint32_t rate,
                      int32_t volume, int32_t pan);
// Music (channel 0, looping) or a voice (channel 3, once). With restart 0 a
// voice only stops the previous one while skipping or while a skip key is held.
// The music playing under the same name (case ignored) goes on.
void PlayBgmOrVoice(int channel, std::u16string_view name, int restart);
// The voice of a VOI or "@" line: "00" (any case) only stops the voice.
void PlayVoiceLine(std::u16string_view name);
// An effect on channel 1 or 2, once or looping.
void PlaySe(int channel, std::u16string_view name, int loop);

// Level 0-255 of each kind from the settings (0 when switched off).
int BgmLevel();
int VoiceLevel();
int SeLevel();
// Set the volume of what plays now; `enabled` 0 silences it.
void ApplyBgmVolume(int enabled);
void ApplyVoiceVolume(int enabled);
void ApplySeVolume(int enabled);

// The name last started on the channel by PlayBgmOrVoice ("" none).
const std::u16string& ChannelName(int channel);
void SetChannelName(int channel, std::u16string_view name);
// Stops channels 0-3 and forgets their names.
void StopGameChannels();

}  // namespace Game
