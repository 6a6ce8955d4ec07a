// The frame: every piece of code that waits calls WaitNextFrame once per pass,
// and each call pumps the window messages, turns pending menu requests into
// ScriptException, runs the task levels, updates and draws the view tree and
// presents what changed; a frame that presents then waits for the display's
// next refresh, so frames keep the display's pace (frames the draw speed skips
// run on at once). Input is polled after that wait, so the caller acts on what
// came during it at once. On top sit the waits and a timer, all measured on
// the millisecond clock.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/exception.h"
#include "dxdraw/dirtyrect.h"
#include "dxdraw/rect.h"
#include "platform/event_source.h"
#include "platform/menu_commands.h"
#include "textscript/script_host.h"

struct ACT;

namespace platform {
class IPresenter;
}

namespace DxDraw {
class ssView;
class DxScreenSurface;
}  // namespace DxDraw

namespace App {

// Request word values: what the next frame throws.
enum : uint32_t {
  kRequestNone = 0,
  kRequestTitle = 1,     // ScriptException 0
  kRequestLoad = 2,      // ScriptException 1
  kRequestStepBack = 3,  // ScriptException 2
};

// The menu and accelerator command ids, among them those the frame's own window
// procedure answers: exit, back to title, draw speed, step back.
using enum platform::MenuCommand;

// The menu command of a draw speed (SkipFrame): 1, 2, 4, 8, 16 and 0 (automatic)
// are kCommandDrawSpeedFirst to Last in order; any other value, kept as the
// settings file gave it, is the first.
uint32_t DrawSpeedCommand(uint32_t skip_frame);

// Lines of the quit record, by where it is thrown.
inline constexpr int kQuitLinePump = 295;
inline constexpr int kQuitLineKey = 329;

// The record that ends the program in order: Type 1, Ptr 0, "Quit" from "main".
ExceptionHandleT<char16_t> MakeQuitRecord(int line);

// Receives the window messages the pump takes off the queue.
class IWindowProc {
 public:
  virtual void OnWindowMessage(const platform::WindowEvent& event) = 0;

 protected:
  ~IWindowProc() = default;
};

class Frame : public TextScript::IScriptFrame {
 public:
  Frame();

  // What the frame updates and draws (not owned): the root group, and the screen
  // surface below it whose skip counter the automatic draw speed sets.
  void SetRoot(DxDraw::ssView* root) { m_pRoot = root; }
  void SetScreen(DxDraw::DxScreenSurface* screen) { m_pScreen = screen; }
  // Where presented rectangles go (the window).
  void SetPresenter(platform::IPresenter* presenter) { m_DrawInfo.presenter = presenter; }
  // Receives the window messages; null: the frame's own handling below.
  void SetWindowProc(IWindowProc* proc) { m_pWindowProc = proc; }

  // The "SkipFrame" setting: 0 automatic draw speed, else present every frame (1)
  // or every 2nd, 4th, 8th or 16th.
  void SetSkipFrame(uint32_t skip) { m_SkipFrame = skip; }
  uint32_t GetSkipFrame() const { return m_SkipFrame; }
  // The draw speed the program starts with: keeps `skip_frame` and starts the
  // screen's skip counter and reload value at skip_frame - 1 (automatic: 1).
  void StartDrawSpeed(uint32_t skip_frame);

  // One frame. Throws ScriptException for a pending request and the quit record
  // for a confirmed close or the quit key.
  void RunFrame();
  // Takes every pending window message; while the program is inactive keeps
  // taking them, blocked on the event source between them, until it is active again.
  void PumpMessages();

  // The frame's own handling of a window message: the close confirmation,
  // activation, typed characters, repainting and the commands that only set a
  // request or the draw speed.
  void DefaultWindowProc(const platform::WindowEvent& event);

  void SetRequest(uint32_t request) { m_Request = request; }
  uint32_t GetRequest() const { return m_Request; }
  // Set once a close was confirmed; never cleared.
  void SetQuit() { m_Quit = 1; }
  bool IsQuitting() const { return m_Quit != 0; }
  void SetActive(bool active) { m_Active = active ? 1 : 0; }
  bool IsActive() const { return m_Active != 0; }

  // Frames run since construction.
  uint64_t FrameCount() const { return m_Frames; }

  // The script run loop's frame.
  void WaitNextFrame() override { RunFrame(); }
  uint32_t HeldInput() const override;

 private:
  void ApplyDrawSpeed(uint32_t command);
  // Whether the program must end: a confirmed close, or a quit signal (which
  // sets the quit flag).
  bool QuitNoted();

  DxDraw::ssView* m_pRoot = nullptr;
  DxDraw::DxScreenSurface* m_pScreen = nullptr;
  IWindowProc* m_pWindowProc = nullptr;
  DxDraw::DRAWINFO m_DrawInfo;
  uint32_t m_SkipFrame = 1;
  uint32_t m_Request = kRequestNone;  // written by the window procedure, cleared by RunFrame
  uint32_t m_Quit = 0;
  uint32_t m_Active = 1;
  uint64_t m_Frames = 0;
};

// The program's frame: the one installed, else a built-in one.
Frame& GetFrame();
// Installs a frame (not owned; tests run each on a fresh one); null restores
// the built-in frame. Returns the previous.
Frame* SetCurrentFrame(Frame* frame);
// Makes the program's frame the one the script run loop calls.
void InstallScriptFrame();

// One frame of the program's frame.
void WaitNextFrame();

// What ends a wait of WaitInput or WaitTime before its time runs out; the flags
// are or-ed together.
enum WaitFlags : uint32_t {
  kWaitPlain = 0,          // nothing: the time alone (WaitInput with n = 0: a decide press)
  kWaitEndsOnDecide = 1,   // a decide press; with n = 0 WaitInput also waits for its release
  kWaitEndsOnSkip = 2,     // a held skip button
  kWaitEndsOnDecideOrSkip = kWaitEndsOnDecide | kWaitEndsOnSkip,
};

// Waits n frames (0: until a decide button) for input, ended early as `flags`
// say. Returns the word that ended the wait, or 0 when the frames ran out.
uint32_t WaitInput(int n, uint32_t flags);
// As WaitInput but for ms milliseconds (0: WaitInput(0, flags)).
uint32_t WaitTime(uint32_t ms, uint32_t flags);
// Waits for a decide press and its release; returns the pressed word that started it.
uint32_t WaitClick();

class Timer {
 public:
  // Stores and returns the clock.
  uint32_t Start();
  // Whether ms milliseconds passed since Start, across the clock's wrap.
  bool IsElapsed(uint32_t ms) const;

 private:
  uint32_t m_Start = 0;
};

// 1 when the file can be opened for reading.
int FileExists(std::u16string_view path);
// Moves the rectangle so that its top-left is (x, y), keeping its size.
void SetRectOrigin(DxDraw::RECT* rect, int32_t x, int32_t y);

// The frame counters a level-15 task keeps; nothing reads them but tests.
struct FrameCounters {
  uint32_t started_ms = 0;  // clock at the task's creation
  uint32_t frames = 0;
  uint32_t frames_total = 0;
};
FrameCounters& GetFrameCounters();
void FrameCounterProc(ACT* task, uint32_t message, intptr_t a, intptr_t b);

}  // namespace App
