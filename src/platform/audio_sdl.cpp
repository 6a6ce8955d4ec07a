// The SDL2 audio back end: only SDL's audio subsystem, 16-bit stereo at the rate
// asked for; SDL's own thread pulls each period from the mixer.
#include <SDL.h>

#include "platform/audio.h"

namespace platform {
namespace {

class SdlAudioDevice final : public IAudioDevice {
 public:
  SdlAudioDevice(uint32_t rate, uint32_t period) : mixer_(rate, period) {}
  ~SdlAudioDevice() override {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  // Opens the default output device; false when there is none.
  bool Open() {
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(mixer_.rate());
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(mixer_.periodFrames());
    want.callback = &SdlAudioDevice::Fill;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware takes.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    return device_ != 0;
  }

  AudioMixer& Mixer() override { return mixer_; }
  void Start() override { SDL_PauseAudioDevice(device_, 0); }

 private:
  static void Fill(void* self, Uint8* stream, int bytes) {
    auto* device = static_cast<SdlAudioDevice*>(self);
    device->mixer_.Mix(reinterpret_cast<int16_t*>(stream), static_cast<uint32_t>(bytes) / 4);
  }

  AudioMixer mixer_;
  SDL_AudioDeviceID device_ = 0;
};

// The smallest power of two of at least 10 ms of frames: 512 at 44100 Hz.
uint32_t PeriodFrames(uint32_t rate) {
  uint32_t frames = 64;
  while (frames < rate / 100 && frames < 8192) frames <<= 1;
  return frames;
}

}  // namespace

std::unique_ptr<IAudioDevice> OpenSdlAudioDevice(uint32_t rate) {
  // SDL would take SIGINT and SIGTERM for a quit event nobody reads; the
  // program ends on them itself.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (rate == 0 || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
  // From here on the device's destructor gives the subsystem back.
  auto device = std::make_unique<SdlAudioDevice>(rate, PeriodFrames(rate));
  if (!device->Open()) return nullptr;
  return device;
}

}  // namespace platform
