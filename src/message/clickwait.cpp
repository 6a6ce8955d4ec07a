// The click-wait icon: a blinking four-frame sprite of the SYSTEM sheet at the
// view's lower-right corner, run as an unlinked task that ends on a click, on
// a held skip button after the auto-wait, or when the watched voice ends.
#include <memory>

#include "app/frame.h"
#include "app/input.h"
#include "app/startup.h"
#include "core/act.h"
#include "message/messview.h"
#include "platform/clock.h"
#include "sound/sound.h"

namespace TextScript {
namespace {

DxDraw::DxSurface* g_SystemPicture = nullptr;

bool ChannelPlaying(int channel) { return IsSoundPlaying(GetChannelPlayId(channel)) != 0; }

// The sound engine's channels unless a test installed its own.
const VoiceWatch kSoundEngineWatch{ChannelPlaying, StopChannel};
VoiceWatch g_VoiceWatch = kSoundEngineWatch;

bool IsVoicePlaying(int channel) { return channel != -1 && g_VoiceWatch.isPlaying(channel); }

void StopVoice(int channel) {
  if (channel != -1) g_VoiceWatch.stop(channel);
}

constexpr DxDraw::SPRITEFRAME IconFrame(int32_t left) {
  return DxDraw::SPRITEFRAME{16, 16, 0, 0, DxDraw::RECT{left, 16, left + 16, 32}, 0};
}

constexpr DxDraw::SPRITEFRAME kIconFrames[2][4] = {
    {IconFrame(0), IconFrame(16), IconFrame(32), IconFrame(48)},
    {IconFrame(64), IconFrame(80), IconFrame(96), IconFrame(112)},
};

// The icon task's state.
struct MESSWAITICON {
  int32_t frameIndex = 0;  // next frame shown, 0-3
  DxDraw::DxSprite* icon = nullptr;
  const DxDraw::SPRITEFRAME* frames = nullptr;
  int32_t voiceFlag = 0;   // the watched voice was playing when the icon started
  int32_t channel = -1;
  uint32_t lastTick = 0;   // ms: last frame change, or when the skip button was first seen held
  uint32_t autoWait = 0;   // ms
  uint32_t result = 0;     // the pressed word that ended the wait
};

enum : int32_t { kIconWaiting = 0, kIconSkipHeld = 1, kIconEnding = 2, kIconDone = -1 };
constexpr uint32_t kIconGetResult = 7;

MESSWAITICON* StateOf(ACT* task) { return reinterpret_cast<MESSWAITICON*>(task->user); }

void RunIcon(ACT* task, MESSWAITICON& s) {
  const uint32_t now = platform::TimeGetTime();
  switch (task->state) {
    case kIconWaiting: {
      if (now - s.lastTick >= 100) {
        s.lastTick = now;
        s.icon->SetFrame(&s.frames[s.frameIndex]);
        s.frameIndex = (s.frameIndex + 1) % 4;
      }
      const App::InputState& in = App::Input();
      s.result = in.pressed;
      if (s.autoWait == 0) s.result &= ~App::kSkipMask;
      if (s.voiceFlag && !IsVoicePlaying(s.channel)) {
        s.result = 0;
        task->state = kIconEnding;
      } else if (s.result & (App::kButtonClick | App::kButtonEnter | App::kButtonEscape)) {
        task->state = kIconEnding;
      } else if (s.autoWait != 0 && (in.held & App::kSkipMask)) {
        s.lastTick = now;
        task->state = kIconSkipHeld;
      }
      break;
    }
    case kIconSkipHeld:
      if (now - s.lastTick >= s.autoWait) task->state = kIconEnding;
      break;
    case kIconEnding:
      if (s.voiceFlag) StopVoice(s.channel);
      s.icon->Hide();
      task->state = kIconDone;
      break;
    default:
      break;
  }
}

void ClickWaitIconProc(ACT* task, uint32_t message, intptr_t a, intptr_t b) {
  switch (message) {
    case ACT_CREATE:
      task->user = 0;
      task->state = kIconWaiting;
      break;
    case ACT_DESTROY:
      if (MESSWAITICON* s = StateOf(task)) {
        std::unique_ptr<MESSWAITICON> owned(s);
        if (s->icon != nullptr) s->icon->Release();
        task->user = 0;
      }
      break;
    case ACT_RUN:
      if (MESSWAITICON* s = StateOf(task)) RunIcon(task, *s);
      break;
    case kIconGetResult:
      if (a == 0 && b != 0 && StateOf(task) != nullptr) *reinterpret_cast<uint32_t*>(b) = StateOf(task)->result;
      break;
    default:
      break;
  }
}

}  // namespace

DxDraw::DxSurface* GetSystemPicture() { return g_SystemPicture != nullptr ? g_SystemPicture : App::SystemPicture(); }

void SetSystemPicture(DxDraw::DxSurface* picture) {
  if (g_SystemPicture == picture) return;
  if (g_SystemPicture != nullptr) g_SystemPicture->Release();
  g_SystemPicture = picture;
}

void SetVoiceWatch(const VoiceWatch& watch) {
  g_VoiceWatch = watch.isPlaying != nullptr && watch.stop != nullptr ? watch : kSoundEngineWatch;
}

std::span<const DxDraw::SPRITEFRAME, 4> ClickWaitIconFrames(int kind) {
  return std::span<const DxDraw::SPRITEFRAME, 4>(kIconFrames[kind == 1 ? 1 : 0], 4);
}

ACT* DxMessView2::StartClickWaitIcon(int iconKind, int voiceChannel) {
  ACT* task = MakeACT(ClickWaitIconProc, reinterpret_cast<intptr_t>(static_cast<DxMessBase*>(this)));
  auto state = std::make_unique<MESSWAITICON>();
  state->frames = ClickWaitIconFrames(iconKind).data();
  state->icon = new DxDraw::DxSprite(GetSystemPicture(), &state->frames[0], DxDraw::BLT_WEIGHTED);
  if (DxDraw::ssGroup* parent = GetParent()) parent->AddChild(state->icon);
  state->icon->SetPosition(static_cast<int>(m_Position[0]) + GetWidth(),
                           static_cast<int>(m_Position[1]) + GetHeight());
  state->autoWait = m_AutoWait;
  state->voiceFlag = IsVoicePlaying(voiceChannel) ? 1 : 0;
  state->channel = voiceChannel;
  state->lastTick = platform::TimeGetTime();
  task->user = reinterpret_cast<intptr_t>(state.release());
  return task;
}

int DxMessView2::WaitClick(int iconKind, int voiceChannel) {
  ACT* task = StartClickWaitIcon(iconKind, voiceChannel);
  // The task goes however the wait ends: a frame may throw a request.
  struct TaskGuard {
    ACT* task;
    ~TaskGuard() { DeleteACT(task); }
  } guard{task};
  while (task->state != kIconDone) {
    RunACT(task);
    App::WaitNextFrame();
  }
  uint32_t result = 0;
  SendACT(task, kIconGetResult, 0, reinterpret_cast<intptr_t>(&result));
  return static_cast<int>(result);
}

}  // namespace TextScript
