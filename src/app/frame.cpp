#include "app/frame.h"

#include <iterator>

#include "app/input.h"
#include "app/process.h"
#include "core/act.h"
#include "dxdraw/dxscreen.h"
#include "dxdraw/view.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/service.h"

namespace App {

namespace {

// Draw milliseconds per skipped present under the automatic draw speed.
constexpr uint32_t kAutoSkipUnitMs = 16;
// Longest block of an inactive pump before it looks at the queue again.
constexpr uint32_t kInactiveWaitMs = 100;

// The draw speeds of commands kCommandDrawSpeedFirst to Last in order, as SkipFrame values.
constexpr uint32_t kDrawSpeeds[] = {1, 2, 4, 8, 16, 0};

// The screen's skip counter and reload value for a SkipFrame: presenting every
// n-th frame skips n - 1 between presents. The automatic speed starts at 1 when
// the program starts and at 0 when chosen in the menu, so that the next frame
// presents and measures its draw.
int32_t SkipsBetweenPresents(uint32_t skip_frame, bool at_start) {
  if (skip_frame == 0) return at_start ? 1 : 0;
  return static_cast<int32_t>(skip_frame) - 1;
}

bool ConfirmClose() {
  return platform::ShowMessageBox(platform::MainWindow().Handle(), u"終了してもよろしいですか？", u"終了",
                                  platform::MB_YESNO | platform::MB_ICONQUESTION |
                                      platform::MB_DEFBUTTON2) == platform::IDYES;
}

}  // namespace

ExceptionHandle MakeQuitRecord(int line) {
  return MakeError(u"main", line, kErrorTypeQuit, nullptr, u"Quit");
}

Frame::Frame() = default;

uint32_t Frame::HeldInput() const { return Input().held; }

void Frame::RunFrame() {
  ++m_Frames;
  platform::EventSource().BeginFrame();
  PumpMessages();

  // Only one request is thrown per frame; the word is cleared before the throw.
  switch (m_Request) {
    case kRequestTitle:
      m_Request = kRequestNone;
      throw ScriptException{ScriptException::kBackToTitle};
    case kRequestLoad:
      m_Request = kRequestNone;
      throw ScriptException{ScriptException::kLoad};
    case kRequestStepBack:
      m_Request = kRequestNone;
      throw ScriptException{ScriptException::kStepBack};
    default:
      break;
  }

  RunACTLevels(0, 0);
  RunACTLevels(1, 1);
  if (m_pRoot != nullptr) m_pRoot->Update();
  RunACTLevels(2, 2);

  if (m_pRoot != nullptr) {
    uint32_t t0 = platform::TimeGetTime();
    m_pRoot->Draw(&m_DrawInfo);
    // A present happened in this pass when the counter was just reloaded.
    bool presented = m_pScreen != nullptr && m_pScreen->GetSkipCounter() == m_pScreen->GetSkipReload();
    // The time the drawing took sets how many of the next frames skip presenting;
    // the wait for the display below is not part of it.
    if (m_SkipFrame == 0 && presented) {
      uint32_t elapsed = platform::TimeGetTime() - t0;
      int32_t skip = static_cast<int32_t>(elapsed / kAutoSkipUnitMs);
      m_pScreen->SetSkip(skip, skip);
    }
    // A presenting frame lasts until the display's next refresh, so frame-counted
    // effects keep their pace on any machine; skipped frames run on at once.
    if (presented) platform::MainWindow().WaitForRefresh();
  }

  // Read after the refresh wait, so that a press that came during it is acted
  // on by the caller as this frame returns, not a whole frame later.
  InputState& input = Input();
  PollInput(&input);
  if (input.held & kButtonQuit) throw MakeQuitRecord(kQuitLineKey);

  RunACTLevels(3, 3);
  RunACTLevels(4, 4);
  RunACTLevels(5, 14);
  RunACTLevels(15, 15);
}

void Frame::PumpMessages() {
  platform::IEventSource& source = platform::EventSource();
  for (;;) {
    // A confirmed close ends every later frame too, even one without messages.
    // SIGTERM, SIGINT or SIGHUP end the program the same way, before any pending
    // message can raise a box; the inactive loop comes by here too.
    if (QuitNoted()) throw MakeQuitRecord(kQuitLinePump);
    platform::WindowEvent event;
    bool any = false;
    while (source.PeekEvent(event)) {
      any = true;
      if (m_pWindowProc != nullptr) {
        m_pWindowProc->OnWindowMessage(event);
      } else {
        DefaultWindowProc(event);
      }
      // A signal that ended the message's box or dialog (its answer was a
      // cancel, even to the quit question) still ends the program here.
      if (QuitNoted()) throw MakeQuitRecord(kQuitLinePump);
    }
    if (m_Active) return;
    // Inactive: nothing else runs until the program is activated again; the
    // source blocks until an event may be there.
    if (!any) source.WaitForEvent(kInactiveWaitMs);
  }
}

bool Frame::QuitNoted() {
  if (QuitSignalReceived() != 0) SetQuit();
  return m_Quit != 0;
}

void Frame::DefaultWindowProc(const platform::WindowEvent& event) {
  switch (event.message) {
    case platform::WindowMessage::kClose:
      if (ConfirmClose()) SetQuit();
      break;
    case platform::WindowMessage::kActivate:
      SetActive(event.value != 0);
      AcquireInput();
      break;
    case platform::WindowMessage::kCharacter:
      OnCharacter(event.value, event.data);
      break;
    case platform::WindowMessage::kCommand:
      if (event.value == kCommandExit) {
        if (ConfirmClose()) SetQuit();
      } else if (event.value == kCommandBackToTitle) {
        m_Request = kRequestTitle;
      } else if (event.value >= kCommandDrawSpeedFirst && event.value <= kCommandDrawSpeedLast) {
        ApplyDrawSpeed(event.value);
      } else if (event.value == kCommandStepBack) {
        if (platform::ShowMessageBox(platform::MainWindow().Handle(), u"シナリオを少し戻ります。よろしいですか？", u"確認",
                                     platform::MB_YESNO) == platform::IDYES) {
          m_Request = kRequestStepBack;
        }
      }
      break;
    case platform::WindowMessage::kMouseMove:
      break;
    case platform::WindowMessage::kPaint:
      if (m_pScreen != nullptr) {
        DxDraw::RECT rect{event.left, event.top, event.right, event.bottom};
        m_pScreen->OnMessage(DxDraw::kMsgRepaint, reinterpret_cast<DxDraw::MessageArg>(&rect),
                             reinterpret_cast<DxDraw::MessageArg>(m_DrawInfo.presenter));
      }
      break;
  }
}

void Frame::ApplyDrawSpeed(uint32_t command) {
  if (m_pScreen == nullptr) return;
  m_SkipFrame = kDrawSpeeds[command - kCommandDrawSpeedFirst];
  int32_t skips = SkipsBetweenPresents(m_SkipFrame, false);
  m_pScreen->SetSkip(skips, skips);
}

void Frame::StartDrawSpeed(uint32_t skip_frame) {
  m_SkipFrame = skip_frame;
  int32_t skips = SkipsBetweenPresents(skip_frame, true);
  if (m_pScreen != nullptr) m_pScreen->SetSkip(skips, skips);
}

uint32_t DrawSpeedCommand(uint32_t skip_frame) {
  for (uint32_t i = 0; i < std::size(kDrawSpeeds); ++i) {
    if (kDrawSpeeds[i] == skip_frame) return kCommandDrawSpeedFirst + i;
  }
  return kCommandDrawSpeedFirst;
}

namespace {
platform::ServiceSlot<Frame, Frame> g_frame;
}  // namespace

Frame& GetFrame() { return g_frame.Get(); }

Frame* SetCurrentFrame(Frame* frame) { return g_frame.Install(frame); }

void InstallScriptFrame() { TextScript::SetScriptFrame(&GetFrame()); }

void WaitNextFrame() { GetFrame().RunFrame(); }

namespace {

// Runs frames until a decide button is pressed (when `decide`), a skip key is
// held (when `skip`) or `expired` says the wait is over; returns the pressed or
// held word that ended it, or 0. Every press seen on the way is gathered in `acc`.
template <class Expired>
uint32_t RunFramesUntilInput(bool decide, bool skip, uint32_t& acc, Expired expired) {
  InputState& in = Input();
  for (;;) {
    WaitNextFrame();
    acc |= in.pressed;
    if (decide && (in.pressed & kDecideMask)) return in.pressed;
    if (skip && (in.held & kSkipMask)) return in.held;
    if (expired()) return 0;
  }
}

}  // namespace

uint32_t WaitInput(int n, uint32_t flags) {
  InputState& in = Input();
  uint32_t acc = 0;
  uint32_t result;
  if (n <= 0) {
    result = RunFramesUntilInput(flags == kWaitPlain || (flags & kWaitEndsOnDecide), flags & kWaitEndsOnSkip, acc,
                                 [] { return false; });
    if (flags & kWaitEndsOnDecide) {
      // The wait ends only once the button is let go.
      while (in.held & kDecideMask) {
        WaitNextFrame();
        acc |= in.pressed;
      }
    }
  } else {
    result = RunFramesUntilInput(flags & kWaitEndsOnDecide, flags & kWaitEndsOnSkip, acc, [&n] { return --n == 0; });
  }
  in.pressed = acc;
  return result;
}

uint32_t WaitTime(uint32_t ms, uint32_t flags) {
  if (ms == 0) return WaitInput(0, flags);
  uint32_t start = platform::TimeGetTime();
  uint32_t acc = 0;
  // Elapsed time modulo 2^32, so the clock's wrap neither shortens nor lengthens the wait.
  uint32_t result = RunFramesUntilInput(flags & kWaitEndsOnDecide, flags & kWaitEndsOnSkip, acc, [&] {
    return platform::TimeGetTime() - start >= ms;
  });
  Input().pressed = acc;
  return result;
}

uint32_t WaitClick() {
  InputState& in = Input();
  uint32_t acc = 0;
  uint32_t click = 0;
  do {
    WaitNextFrame();
    acc |= in.pressed;
    click = in.pressed;
  } while (!(click & kDecideMask));
  while (in.held & kDecideMask) {
    WaitNextFrame();
    acc |= in.pressed;
  }
  in.pressed = acc;
  while (in.held != 0) WaitNextFrame();
  return click;
}

uint32_t Timer::Start() {
  m_Start = platform::TimeGetTime();
  return m_Start;
}

bool Timer::IsElapsed(uint32_t ms) const { return platform::TimeGetTime() - m_Start >= ms; }

int FileExists(std::u16string_view path) {
  return platform::File::OpenRead(platform::WidePath(path)).IsOpen() ? 1 : 0;
}

void SetRectOrigin(DxDraw::RECT* rect, int32_t x, int32_t y) {
  int32_t width = rect->right - rect->left;
  int32_t height = rect->bottom - rect->top;
  *rect = DxDraw::RECT{x, y, x + width, y + height};
}

FrameCounters& GetFrameCounters() {
  static FrameCounters counters;
  return counters;
}

void FrameCounterProc(ACT* task, uint32_t message, intptr_t a, intptr_t b) {
  (void)task, (void)a, (void)b;
  FrameCounters& counters = GetFrameCounters();
  if (message == ACT_CREATE) {
    counters.started_ms = platform::TimeGetTime();
  } else if (message == ACT_RUN) {
    ++counters.frames;
    ++counters.frames_total;
  }
}

}  // namespace App
