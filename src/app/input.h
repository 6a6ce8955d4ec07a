// Keyboard and mouse, read once per frame: 264 keys (256 scan codes and the
// three mouse buttons as keys 256-258) folded through KeyButtonMap into the
// button words of the global InputState that every screen tests.
#pragma once

#include <array>
#include <cstdint>

namespace App {

// Keys of the key maps.
inline constexpr int kKeyCount = 264;
inline constexpr int kMouseButton0 = 0x100;
inline constexpr int kMouseButton1 = 0x101;
inline constexpr int kMouseButton2 = 0x102;

// Scan codes the engine names (DirectInput's values).
enum : int {
  DIK_ESCAPE = 0x01,
  DIK_RETURN = 0x1C,
  DIK_LCONTROL = 0x1D,
  DIK_NUMPAD7 = 0x47,
  DIK_NUMPAD8 = 0x48,
  DIK_NUMPAD9 = 0x49,
  DIK_NUMPAD4 = 0x4B,
  DIK_NUMPAD6 = 0x4D,
  DIK_NUMPAD1 = 0x4F,
  DIK_NUMPAD2 = 0x50,
  DIK_NUMPAD3 = 0x51,
  DIK_NUMPAD0 = 0x52,
  DIK_F12 = 0x58,
  DIK_NUMPADENTER = 0x9C,
  DIK_RCONTROL = 0x9D,
  DIK_UP = 0xC8,
  DIK_LEFT = 0xCB,
  DIK_RIGHT = 0xCD,
  DIK_DOWN = 0xD0,
};

// Button bits of the InputState words.
enum : uint32_t {
  kButtonUp = 0x1,
  kButtonDown = 0x2,
  kButtonLeft = 0x4,
  kButtonRight = 0x8,
  kButtonEnter = 0x10,
  kButtonEscape = 0x20,
  kButtonNumpad1 = 0x40,
  kButtonNumpad3 = 0x80,
  kButtonClick = 0x1000,
  kButtonRightClick = 0x2000,
  kButtonMiddle = 0x4000,
  kButtonMouseMask = 0x7000,
  kButtonSkip1 = 0x10000,
  kButtonSkip2 = 0x20000,
  kButtonCtrlMask = 0x30000,
  kButtonQuit = 0x10000000,
  kButtonCharacter = 0x40000000,
  // Masks used across the program.
  kDecideMask = 0x3030,
  kSkipMask = 0x32000,
};

struct KeyButton {
  uint32_t key;
  uint32_t button;
};

// Keys and the button bit each sets, in the order they are folded. The Ctrl
// keys set their skip bits (held, and the press when it counts) only from the
// poll after one at which they had been held half a second, so that the Ctrl
// of a shortcut never skips.
extern const std::array<KeyButton, 22> KeyButtonMap;

// The per-frame input record.
struct InputState {
  uint32_t held = 0;      // button bits held now
  uint32_t pressed = 0;   // went down since the previous poll
  uint32_t released = 0;  // went up since the previous poll
  uint32_t repeat = 0;    // auto-repeat pulses of held buttons
  uint32_t character = 0;       // the last typed character (UTF-16 unit)
  uint32_t character_data = 0;  // the key data word of that character
  int32_t cursor_x = 0;   // client x of the cursor, 0-799, kept while outside
  int32_t cursor_y = 0;   // client y, 0-599
  int32_t wheel = 0;      // wheel movement of the last poll, in 120ths of a notch
};

// The one record the frame fills and the screens read.
InputState& Input();

struct InputParams {
  float repeat_interval = 0.016666668f;  // seconds between two repeat steps
};

// The area in which the cursor counts (the screen's size).
inline constexpr int32_t kInputAreaWidth = 800;
inline constexpr int32_t kInputAreaHeight = 600;

// Takes the parameters and resets the maps; always succeeds here (the devices
// belong to the event source).
int InitInput(const InputParams* params);
// All maps 0, repeat counters at rest, the repeat clock restarted.
void ResetInput();
// One device poll with its repeat step.
void UpdateInput();
// The per-frame entry: UpdateInput, then the button words, cursor and wheel into state.
void PollInput(InputState* state);
// Bits of the four key maps; keys outside 0-263 are never down.
bool IsKeyDown(int key);
bool IsKeyPressed(int key);
bool IsKeyReleased(int key);
bool IsKeyRepeat(int key);
// Movement and wheel of the last successful mouse read.
void GetMouseDelta(int32_t* dx, int32_t* dy, int32_t* wheel);
// Takes the devices again (on activation).
void AcquireInput();
// Notes a typed character (from the window procedure): held gets 0x40000000
// at the next poll, for that poll only.
void OnCharacter(uint32_t ch, uint32_t data);

}  // namespace App
