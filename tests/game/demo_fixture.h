// The headless program over the demo game's data: its three archives, the
// SYSTEM picture and "config.xml" loaded as at start-up, and the sound engine
// on a device that plays nothing until rendered. Needs DEMO_DATA_DIR.
#pragma once

#include <memory>

#include "archive/archive.h"
#include "game/config.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/picture.h"
#include "game/session.h"
#include "game_test_util.h"
#include "message/messview.h"
#include "platform/audio.h"
#include "sound/sound.h"
#include "textscript/script_vars.h"

namespace game_test {

class DemoHarness : public GameHarness {
 protected:
  DemoHarness() {
    SystemArchive = OpenSafArchive(u"" DEMO_DATA_DIR "/system.saf");
    ScriptArchive = OpenSafArchive(u"" DEMO_DATA_DIR "/script.saf");
    SoundArchive = OpenSafArchive(u"" DEMO_DATA_DIR "/sound.saf");
    TextScript::SetSystemPicture(ScriptLoadImage(SystemArchive, u"SYSTEM", 0, 0));
    LoadSystemConfig();
    previousOpener_ = platform::SetAudioDeviceOpener([this](uint32_t rate) {
      auto device = std::make_unique<platform::ManualAudioDevice>(rate);
      device_ = device.get();
      return device;
    });
    SOUNDCONFIG config{1, 44100, 2, 16, 2, 0, 0};
    InitSound(nullptr, &config);
    Game::MessageDelayPercent = 0;
  }
  ~DemoHarness() override {
    Game::SetSessionHooks({});
    Game::StopGameChannels();
    ShutdownSound();
    platform::SetAudioDeviceOpener(previousOpener_);
    TextScript::SetSystemPicture(nullptr);
    for (IArchive** archive : {&SystemArchive, &ScriptArchive, &SoundArchive}) {
      if (*archive != nullptr) (*archive)->Release();
      *archive = nullptr;
    }
    TextScript::ScriptVars().Clear();
    Game::MessageDelayPercent = 100;
  }

  platform::ManualAudioDevice* device_ = nullptr;  // the sound engine's, while it runs

 private:
  platform::AudioDeviceOpener previousOpener_;
};

}  // namespace game_test
