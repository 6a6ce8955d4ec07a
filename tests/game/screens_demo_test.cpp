// The screens on the demo game's data with the sound engine on a manual
// device: the logo clicked through to the title and its music, and the ending's
// music fade, heard when the music is on and silent when it is switched off.
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "app/settings.h"
#include "demo_fixture.h"
#include "game/ending.h"
#include "game/game_sound.h"
#include "game/title.h"
#include "platform/audio.h"
#include "sound/sound.h"

namespace {

class ScreensDemoTest : public game_test::DemoHarness {
 protected:
  ScreensDemoTest() {
    // The harness's device again, kept at hand to hear what plays.
    ShutdownSound();
    platform::SetAudioDeviceOpener([this](uint32_t rate) {
      auto device = std::make_unique<platform::ManualAudioDevice>(rate);
      device_ = device.get();
      return device;
    });
    SOUNDCONFIG config{1, 44100, 2, 16, 2, 0, 0};
    InitSound(nullptr, &config);
    saved_ = App::Settings().game;
  }
  ~ScreensDemoTest() override { App::Settings().game = saved_; }

  // The loudest sample of one 16 ms frame of output.
  int Loudness() {
    std::vector<int16_t> out = device_->Render(44100 * 16 / 1000);
    int loudest = 0;
    for (int16_t s : out) loudest = std::max(loudest, std::abs(static_cast<int>(s)));
    return loudest;
  }

  platform::ManualAudioDevice* device_ = nullptr;
  App::GameSettings saved_;
};

TEST_F(ScreensDemoTest, LogoClickedThroughLeadsToTheTitleAndItsMusic) {
  const SystemConfig& config = GetSystemConfig();
  int state = -1;
  uint32_t item = 0;
  int frame = 0;
  source_.play = [&](game_test::PlayerSource& s) {
    ++frame;
    bool click = frame == 10 || frame == 20 || frame == 30 || frame == 120;
    s.SetCursor(config.titleMenuX + 124, config.titleMenuY + 48 * 5 + 20);
    s.SetMouseButton(0, click);
    if (frame == 100) {
      state = GetSoundState(GetChannelPlayId(Game::kChannelBgm));
      item = Shown(config.titleMenuX + 124, config.titleMenuY + 48 * 5 + 20);
    }
  };
  Game::ShowBrandLogo();
  EXPECT_LE(frame, 32);
  EXPECT_EQ(Game::ShowTitle(), Game::kTitleQuit);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(Game::ChannelName(Game::kChannelBgm), config.titleMusic);
  EXPECT_NE(item, 0u) << "the quit item is on screen";
  EXPECT_EQ(GetChannelPlayId(Game::kChannelBgm), -1) << "the title music stops with the title";
}

TEST_F(ScreensDemoTest, EndingMusicFadesOutUnlessSwitchedOff) {
  ASSERT_GT(GetSystemConfig().endingCount, 0);
  for (bool on : {true, false}) {
    SCOPED_TRACE(on ? "music on" : "music off");
    App::Settings().game.enable_bgm = on ? 1 : 0;
    App::Settings().game.bgm_volume = 100;
    Game::StopGameChannels();
    Game::PlayBgmOrVoice(Game::kChannelBgm, GetSystemConfig().titleMusic, 1);
    ASSERT_EQ(GetSoundState(GetChannelPlayId(Game::kChannelBgm)), 1);
    std::vector<int> heard;
    source_.play = [&](game_test::PlayerSource&) { heard.push_back(Loudness()); };
    Game::ShowEndingSlides();
    ASSERT_GT(heard.size(), 260u);
    // The fade is the last 40 steps of 100 ms: its first step, and its last
    // steps, which are quiet but not yet silent.
    int atFadeStart = *std::max_element(heard.end() - 255, heard.end() - 240);
    int atFadeEnd = *std::max_element(heard.end() - 8, heard.end());
    if (on) {
      EXPECT_GT(atFadeStart, 0);
      EXPECT_LT(atFadeEnd, atFadeStart / 4);
    } else {
      EXPECT_EQ(atFadeStart, 0);
      EXPECT_EQ(atFadeEnd, 0);
    }
    EXPECT_EQ(GetChannelPlayId(Game::kChannelBgm), -1);
    EXPECT_EQ(Loudness(), 0) << "the music stops when the slides end";
  }
}

}  // namespace
