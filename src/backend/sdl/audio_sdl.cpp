// The SDL2 audio back end: only SDL's audio subsystem, 16-bit stereo at the rate
// asked for; SDL's own thread pulls each period from the mixer.
#include <SDL.h>

#include <mutex>
#include <thread>
#include <utility>

#include "backend/sdl/audio_sdl.h"

namespace platform {
namespace {

// SDL's audio subsystem started or given back on a thread of its own, off the
// path to the first picture. Starting it probes the sound servers and drivers
// (a few milliseconds, more with a session bus to ask), which can overlap the
// window's start-up; quitting it can wait up to 100 ms for SDL's device-watching
// thread to wake from its sleep, which a caller left without sound need not wait
// for. Each open waits for the work under way first, so SDL never sees a start
// and a quit at once. SDL keeps per-thread data (its error text) for every
// thread that calls it; these threads free theirs before they end.
class BackgroundSubsystem {
 public:
  ~BackgroundSubsystem() {
    if (Settle()) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  // Starts the subsystem; the reference it takes waits for the next Settle.
  // A subsystem already prepared and not yet taken is kept: a second start
  // would take a reference no Settle hands on.
  void Prepare() {
    std::lock_guard hold(mutex_);
    Join();
    if (prepared_) return;
    thread_ = std::thread([this] {
      SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
      prepared_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
      SDL_TLSCleanup();
    });
  }
  // Closes an open device and gives back its reference to the subsystem,
  // after the work under way.
  void Close(SDL_AudioDeviceID device) {
    std::lock_guard hold(mutex_);
    Join();
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  // Gives back one reference to the subsystem on a thread of its own.
  void Release() {
    std::lock_guard hold(mutex_);
    Join();
    thread_ = std::thread([] {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      SDL_TLSCleanup();
    });
  }
  // Waits for the work under way; true when a prepared reference passes to the caller.
  bool Settle() {
    std::lock_guard hold(mutex_);
    Join();
    return std::exchange(prepared_, false);
  }

 private:
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  std::mutex mutex_;
  std::thread thread_;     // the start or quit under way, if any
  bool prepared_ = false;  // a started subsystem nobody has taken yet; written by the thread before Join
};

// At namespace scope, so it is made before, and outlives, whatever holds an
// open device until the program ends (the sound engine keeps its device in a
// function's static).
BackgroundSubsystem g_audio_subsystem;

BackgroundSubsystem& AudioSubsystem() { return g_audio_subsystem; }

class SdlAudioDevice final : public IAudioDevice {
 public:
  SdlAudioDevice(uint32_t rate, uint32_t period) : mixer_(rate, period) {}
  ~SdlAudioDevice() override {
    // Only an open device is destroyed with the subsystem still to give back;
    // a start or quit under way on the subsystem's thread ends first.
    if (device_ != 0) AudioSubsystem().Close(device_);
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

void PrepareSdlAudioDevice() { AudioSubsystem().Prepare(); }

std::unique_ptr<IAudioDevice> OpenSdlAudioDevice(uint32_t rate) {
  if (rate == 0) return nullptr;
  const bool prepared = AudioSubsystem().Settle();
  // SDL would take SIGINT and SIGTERM for a quit event nobody reads; the
  // program ends on them itself.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  const bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  // With a prepared subsystem the line above only counted one more user.
  if (prepared) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  if (!started) return nullptr;
  // From here on an open device's destructor gives the subsystem back.
  auto device = std::make_unique<SdlAudioDevice>(rate, PeriodFrames(rate));
  if (!device->Open()) {
    AudioSubsystem().Release();
    return nullptr;
  }
  return device;
}

}  // namespace platform
