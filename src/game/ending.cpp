#include "game/ending.h"

#include <algorithm>

#include "app/frame.h"
#include "game/config.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/screen_parts.h"
#include "platform/wformat.h"
#include "sound/sound.h"

namespace Game {
namespace {

constexpr int kFadeStep = 16;
constexpr uint32_t kHoldMs = 5000;
constexpr uint32_t kLastHoldMs = 20000;
constexpr int kMusicSteps = 40;
constexpr uint32_t kMusicStepMs = 100;

// Levels 0, 16, ..., 240, 255 in, or 255, 239, ..., 15, 0 out: a frame each.
void FadeSlide(DxDraw::DxSprite* sprite, bool in) {
  RampLevel(in ? 0 : 255, in ? 255 : 0, kFadeStep,
            [sprite](int level) { SetSpriteLevel(sprite, DxDraw::BLT_FADE, level); });
}

void FadeOutMusic() {
  int32_t id = GetChannelPlayId(kChannelBgm);
  if (GetSoundState(id) != 1) return;
  // The level the game gave the music: 0 when it is switched off, so a
  // switched-off channel stays silent.
  const int start = BgmLevel();
  App::Timer timer;
  timer.Start();
  for (int step = 1; step <= kMusicSteps;) {
    App::WaitNextFrame();
    if (!timer.IsElapsed(kMusicStepMs)) continue;
    timer.Start();
    SetSoundVolume(id, VolumeToAttenuation(EndingMusicLevel(start, step)));
    ++step;
  }
  StopChannel(kChannelBgm);
}

}  // namespace

int EndingMusicLevel(int start, int step) {
  double v = start;
  const double decrement = v / kMusicSteps;
  for (int i = 0; i < step; ++i) v = std::max(v - decrement, 0.0);
  return static_cast<int>(v);
}

void ShowEndingSlides() {
  const int count = GetSystemConfig().endingCount;
  SurfaceHolder picture;
  ViewHolder<DxDraw::DxSprite> sprite = AppendSprite(nullptr, nullptr, DxDraw::BLT_FADE, 0, 0);
  for (int n = 1; n <= count; ++n) {
    picture.reset();
    picture = LoadScreenPicture(platform::FormatString(u"ed%02d", n));
    sprite->SetImage(picture.get());
    sprite->SetFrame(nullptr);
    FadeSlide(sprite.get(), true);
    App::WaitTime(n == count ? kLastHoldMs : kHoldMs, App::kWaitEndsOnDecide);
    FadeSlide(sprite.get(), false);
    if (n == count) FadeOutMusic();
  }
}

}  // namespace Game
