// Where the frame's message pump and the input poll get their events from: the
// window messages the engine handles and the raw state of keyboard and mouse.
// The real source is the window system's; the headless one is scripted per frame.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <span>

namespace platform {

// The window messages the engine's window procedure handles.
enum class WindowMessage : uint32_t {
  kClose,      // the close box or Alt+F4: asks for confirmation
  kActivate,   // the application became active (value 1) or inactive (value 0)
  kCharacter,  // a typed character: value = UTF-16 unit, data = the key data word
  kCommand,    // a menu or accelerator command: value = command id
  kMouseMove,  // the cursor moved: x, y in client coordinates
  kPaint,      // part of the window must be repainted: the rectangle in left..bottom
};

struct WindowEvent {
  WindowMessage message = WindowMessage::kPaint;
  uint32_t value = 0;
  uint32_t data = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// Keys of the keyboard are DirectInput scan codes (0-255); the key is down when
// its byte has bit 0x80.
inline constexpr int kKeyboardKeys = 256;

// One read of the mouse: movement since the previous read (the wheel in 120ths
// of a notch), and the buttons (bit 0x80 = down): 0 left, 1 right, 2 middle.
struct MouseState {
  int32_t dx = 0;
  int32_t dy = 0;
  int32_t wheel = 0;
  uint8_t buttons[4] = {};
};

struct CursorPoint {
  int32_t x = 0;
  int32_t y = 0;
};

class IEventSource {
 public:
  virtual ~IEventSource() = default;
  // Called once at the start of every frame, before the message pump.
  virtual void BeginFrame() {}
  // Takes the next pending window message off the queue without waiting;
  // false when none is pending.
  virtual bool PeekEvent(WindowEvent& out) = 0;
  // Waits while the program is inactive and the queue is empty: until an event
  // may be pending or `timeout_ms` passed. The default gives up the processor
  // for a millisecond of the program's clock.
  virtual void WaitForEvent(uint32_t timeout_ms);
  // Takes the input devices again (after the window was activated).
  virtual void AcquireInput() = 0;
  // The keyboard's state now; false when it cannot be read (no focus, no device).
  virtual bool ReadKeyboard(std::span<uint8_t, kKeyboardKeys> keys) = 0;
  // The mouse's state now; false when it cannot be read.
  virtual bool ReadMouse(MouseState& out) = 0;
  // The cursor in the window's client coordinates (it may lie outside the client area).
  virtual CursorPoint CursorPosition() = 0;
  // The desktop's double-click time in milliseconds: a second click that
  // comes sooner belongs to the first. The default is GTK's own.
  virtual uint32_t DoubleClickTimeMs() { return 400; }
};

// A source driven by a test. The state set here is what every read returns until
// it is changed; steps queued with AddFrame run one per frame at BeginFrame, so a
// test can script what each frame sees before it runs the code that waits.
class HeadlessEventSource : public IEventSource {
 public:
  using Step = std::function<void(HeadlessEventSource&)>;

  void BeginFrame() override;
  bool PeekEvent(WindowEvent& out) override;
  void AcquireInput() override { ++acquire_count_; }
  bool ReadKeyboard(std::span<uint8_t, kKeyboardKeys> keys) override;
  bool ReadMouse(MouseState& out) override;
  CursorPoint CursorPosition() override { return cursor_; }

  // Queues a step for a coming frame (one step per frame, in order).
  void AddFrame(Step step);
  // Queues a frame that changes nothing.
  void AddIdleFrames(int count);
  // Steps not run yet.
  size_t pending_frames() const { return steps_.size(); }
  // Frames begun so far.
  uint64_t frames() const { return frames_; }

  // Queues a window message; `before` runs just before the pump takes it.
  void PostMessage(const WindowEvent& event, std::function<void()> before = {});
  void PostCommand(uint32_t id);
  void PostCharacter(char16_t ch, uint32_t data = 1);
  void PostActivate(bool active, std::function<void()> before = {});
  void PostClose();

  void SetKey(int key, bool down);
  void SetMouseButton(int button, bool down);
  void SetCursor(int32_t x, int32_t y) { cursor_ = CursorPoint{x, y}; }
  // Movement reported by the next mouse reads (it is not cleared by a read).
  void SetMouseMotion(int32_t dx, int32_t dy, int32_t wheel);
  // Whether reads succeed (a window without focus cannot read its devices).
  void SetKeyboardReadable(bool readable) { keyboard_readable_ = readable; }
  void SetMouseReadable(bool readable) { mouse_readable_ = readable; }
  // Releases every key and button.
  void ReleaseAll();

  int acquire_count() const { return acquire_count_; }

 private:
  struct Pending {
    WindowEvent event;
    std::function<void()> before;
  };

  std::deque<Step> steps_;
  std::deque<Pending> messages_;
  uint8_t keys_[kKeyboardKeys] = {};
  MouseState mouse_;
  CursorPoint cursor_;
  bool keyboard_readable_ = true;
  bool mouse_readable_ = true;
  uint64_t frames_ = 0;
  int acquire_count_ = 0;
};

// The source in use: headless until a window system installs its own.
IEventSource& EventSource();
// Installs a source (not owned); null restores the built-in headless one. Returns the previous.
IEventSource* SetEventSource(IEventSource* source);

}  // namespace platform
