// The four stream channels.
#include "sound/sound_internal.h"

int32_t OpenOggStream(IArchive*, std::u16string_view, int, int, uint32_t, int32_t, int32_t) {
  return -1;
}
void StopSound(int32_t) {}
void StopChannel(int) {}
int IsSoundPlaying(int32_t) { return 0; }
int GetSoundState(int32_t playId) { return IsSoundPlaying(playId); }
int SetSoundVolume(int32_t, int32_t) { return IsSoundEnabled() ? 0 : 1; }
int32_t GetChannelPlayId(int) { return -1; }
