#include "app/input.h"

#include <cstring>
#include <iterator>

#include "platform/clock.h"
#include "platform/event_source.h"

namespace App {

const std::array<KeyButton, 22> KeyButtonMap = {{
    {kMouseButton0, kButtonClick},
    {kMouseButton1, kButtonRightClick},
    {kMouseButton2, kButtonMiddle},
    {DIK_UP, kButtonUp},
    {DIK_DOWN, kButtonDown},
    {DIK_LEFT, kButtonLeft},
    {DIK_RIGHT, kButtonRight},
    {DIK_NUMPAD8, kButtonUp},
    {DIK_NUMPAD2, kButtonDown},
    {DIK_NUMPAD4, kButtonLeft},
    {DIK_NUMPAD6, kButtonRight},
    {DIK_NUMPADENTER, kButtonEnter},
    {DIK_RETURN, kButtonEnter},
    {DIK_ESCAPE, kButtonEscape},
    {DIK_NUMPAD0, kButtonEscape},
    {DIK_NUMPAD1, kButtonNumpad1},
    {DIK_NUMPAD3, kButtonNumpad3},
    {DIK_NUMPAD7, kButtonSkip1},
    {DIK_NUMPAD9, kButtonSkip2},
    {DIK_F12, kButtonQuit},
    {DIK_LCONTROL, kButtonSkip1},
    {DIK_RCONTROL, kButtonSkip2},
}};

namespace {

constexpr int kMapBytes = kKeyCount / 8;
// A held key fires on its first repeat step, then after this many steps.
constexpr uint8_t kRepeatDelay = 16;
// After the delay, every this many steps.
constexpr uint8_t kRepeatInterval = 4;
// A Ctrl key is the skip key only once it had been held this long at the
// previous poll. A person's Ctrl goes down well before the key of a Ctrl
// shortcut (Ctrl+Z), and a page wait that took it for the skip key would move
// the story on before the shortcut's command is handled. The window queues
// that command when the key comes, often during the refresh wait just before a
// poll, and the frame handles it as it begins: a key that came within this
// time of the Ctrl was queued before the previous poll, so its command is
// handled before the Ctrl counts. The numpad's skip keys count at once.
constexpr uint64_t kCtrlSkipDelayUs = 500'000;
constexpr int kCtrlKeys[] = {DIK_LCONTROL, DIK_RCONTROL};

using KeyMap = std::array<uint8_t, kMapBytes>;

struct RepeatCounter {
  uint8_t delay = kRepeatDelay;
  uint8_t interval = 0;
};

// A Ctrl key as the skip key.
struct CtrlSkip {
  uint64_t down_us = 0;  // the clock's microseconds when the key was seen to go down
  bool counts = false;   // held long enough, as of this poll
  bool counted = false;  // as of the poll before
};

struct Devices {
  KeyMap held{};
  KeyMap pressed{};
  KeyMap released{};
  KeyMap repeat{};
  std::array<RepeatCounter, kKeyCount> counters{};
  std::array<CtrlSkip, std::size(kCtrlKeys)> ctrl{};
  int32_t dx = 0;
  int32_t dy = 0;
  int32_t wheel = 0;
  float repeat_interval = 0.016666668f;
  uint64_t last_repeat_us = 0;  // the clock's microseconds at the last repeat step
  uint64_t last_poll_us = 0;    // and at the last poll
  bool character_arrived = false;
};

Devices& State() {
  static Devices devices;
  return devices;
}

bool TestBit(const KeyMap& map, int key) {
  if (key < 0 || key >= kKeyCount) return false;
  return (map[static_cast<size_t>(key) / 8] & (0x80 >> (key % 8))) != 0;
}

void PutBit(KeyMap& map, int key, bool on) {
  uint8_t mask = static_cast<uint8_t>(0x80 >> (key % 8));
  if (on) {
    map[static_cast<size_t>(key) / 8] |= mask;
  } else {
    map[static_cast<size_t>(key) / 8] &= static_cast<uint8_t>(~mask);
  }
}

// Reads both devices into a new held map and derives pressed and released.
void PollDevices(Devices& d) {
  platform::IEventSource& source = platform::EventSource();
  KeyMap now{};
  uint8_t keys[platform::kKeyboardKeys];
  if (source.ReadKeyboard(std::span<uint8_t, platform::kKeyboardKeys>(keys))) {
    for (int k = 0; k < platform::kKeyboardKeys; ++k) PutBit(now, k, (keys[k] & 0x80) != 0);
  }
  platform::MouseState mouse;
  if (source.ReadMouse(mouse)) {
    for (int b = 0; b < 3; ++b) PutBit(now, kMouseButton0 + b, (mouse.buttons[b] & 0x80) != 0);
    d.dx = mouse.dx;
    d.dy = mouse.dy;
    d.wheel = mouse.wheel;
  }
  for (int i = 0; i < kMapBytes; ++i) {
    d.pressed[i] = static_cast<uint8_t>((d.held[i] ^ now[i]) & now[i]);
    d.released[i] = static_cast<uint8_t>((now[i] ^ d.held[i]) & d.held[i]);
  }
  d.held = now;
}

void StepCtrlSkip(Devices& d, uint64_t now) {
  for (size_t i = 0; i < std::size(kCtrlKeys); ++i) {
    CtrlSkip& c = d.ctrl[i];
    if (TestBit(d.pressed, kCtrlKeys[i])) c.down_us = now;
    c.counted = c.counts;
    c.counts = TestBit(d.held, kCtrlKeys[i]) && d.last_poll_us >= c.down_us + kCtrlSkipDelayUs;
  }
  d.last_poll_us = now;
}

const CtrlSkip* FindCtrlSkip(const Devices& d, int key) {
  for (size_t i = 0; i < std::size(kCtrlKeys); ++i) {
    if (kCtrlKeys[i] == key) return &d.ctrl[i];
  }
  return nullptr;
}

void StepRepeat(Devices& d) {
  for (int k = 0; k < kKeyCount; ++k) {
    RepeatCounter& c = d.counters[static_cast<size_t>(k)];
    if (!TestBit(d.held, k)) {
      PutBit(d.repeat, k, false);
      c = RepeatCounter{};
    } else if (c.delay != 0) {
      PutBit(d.repeat, k, c.delay == kRepeatDelay);
      --c.delay;
    } else {
      if (c.interval == 0) {
        PutBit(d.repeat, k, true);
        c.interval = kRepeatInterval;
      } else {
        PutBit(d.repeat, k, false);
      }
      --c.interval;
    }
  }
}

}  // namespace

InputState& Input() {
  static InputState state;
  return state;
}

int InitInput(const InputParams* params) {
  Devices& d = State();
  d.repeat_interval = params ? params->repeat_interval : InputParams{}.repeat_interval;
  platform::EventSource().AcquireInput();
  ResetInput();
  return 1;
}

void ResetInput() {
  Devices& d = State();
  d.held.fill(0);
  d.pressed.fill(0);
  d.released.fill(0);
  d.repeat.fill(0);
  d.counters.fill(RepeatCounter{});
  d.ctrl.fill(CtrlSkip{});
  d.last_repeat_us = platform::Clock().NowUs();
  d.character_arrived = false;
}

void UpdateInput() {
  Devices& d = State();
  PollDevices(d);
  // Measured in microseconds: frames paced at 60 Hz come 16.7 ms apart, which a
  // millisecond reading sees as 16 or 17 and so would drop every other step.
  uint64_t now = platform::Clock().NowUs();
  StepCtrlSkip(d, now);
  uint64_t elapsed = now - d.last_repeat_us;
  if (static_cast<double>(elapsed) >= static_cast<double>(d.repeat_interval) * 1e6) {
    StepRepeat(d);
    d.last_repeat_us = now;
  } else {
    d.repeat.fill(0);
  }
}

void PollInput(InputState* state) {
  UpdateInput();
  Devices& d = State();
  state->held = 0;
  state->pressed = 0;
  state->released = 0;
  state->repeat = 0;
  for (const KeyButton& row : KeyButtonMap) {
    int key = static_cast<int>(row.key);
    bool down = IsKeyDown(key), pressed = IsKeyPressed(key), released = IsKeyReleased(key);
    bool repeat = IsKeyRepeat(key);
    if (const CtrlSkip* ctrl = FindCtrlSkip(d, key)) {
      down = ctrl->counts;
      pressed = ctrl->counts && !ctrl->counted;
      released = ctrl->counted && !ctrl->counts;
      repeat = repeat && ctrl->counts;
    }
    if (down) state->held |= row.button;
    if (pressed) state->pressed |= row.button;
    if (released) state->released |= row.button;
    if (repeat) state->repeat |= row.button;
  }
  platform::CursorPoint cursor = platform::EventSource().CursorPosition();
  bool inside = cursor.x >= 0 && cursor.x < kInputAreaWidth && cursor.y >= 0 &&
                cursor.y < kInputAreaHeight;
  if (inside) {
    state->cursor_x = cursor.x;
    state->cursor_y = cursor.y;
  }
  state->wheel = d.wheel;
  if (!inside) {
    // A button pressed outside the picture is no click; letting go still counts.
    state->held &= ~kButtonMouseMask;
    state->pressed &= ~kButtonMouseMask;
    state->repeat &= ~kButtonMouseMask;
  }
  if (d.character_arrived) {
    state->held |= kButtonCharacter;
    d.character_arrived = false;
  }
}

bool IsKeyDown(int key) { return TestBit(State().held, key); }
bool IsKeyPressed(int key) { return TestBit(State().pressed, key); }
bool IsKeyReleased(int key) { return TestBit(State().released, key); }
bool IsKeyRepeat(int key) { return TestBit(State().repeat, key); }

void GetMouseDelta(int32_t* dx, int32_t* dy, int32_t* wheel) {
  const Devices& d = State();
  if (dx) *dx = d.dx;
  if (dy) *dy = d.dy;
  if (wheel) *wheel = d.wheel;
}

void AcquireInput() { platform::EventSource().AcquireInput(); }

void OnCharacter(uint32_t ch, uint32_t data) {
  State().character_arrived = true;
  InputState& state = Input();
  state.character = ch & 0xFFFF;
  state.character_data = data;
}

}  // namespace App
