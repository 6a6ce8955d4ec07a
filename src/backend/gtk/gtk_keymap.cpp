#include "backend/gtk/gtk_keymap.h"

namespace platform {

namespace {

struct ExtendedKey {
  int linux_code;
  int scan_code;
};

// Keys whose Linux code differs from their scan code.
constexpr ExtendedKey kExtendedKeys[] = {
    {96, 0x9C},   // numpad Enter
    {97, 0x9D},   // right Ctrl
    {98, 0xB5},   // numpad /
    {99, 0xB7},   // Print Screen
    {100, 0xB8},  // right Alt
    {102, 0xC7},  // Home
    {103, 0xC8},  // Up
    {104, 0xC9},  // Page Up
    {105, 0xCB},  // Left
    {106, 0xCD},  // Right
    {107, 0xCF},  // End
    {108, 0xD0},  // Down
    {109, 0xD1},  // Page Down
    {110, 0xD2},  // Insert
    {111, 0xD3},  // Delete
    {119, 0xC5},  // Pause
    {125, 0xDB},  // left Windows key
    {126, 0xDC},  // right Windows key
    {127, 0xDD},  // menu key
};

}  // namespace

int ScanCodeFromLinuxKey(int code) {
  // Escape to F10, the numpad, F11 and F12 share their numbers.
  if ((code >= 1 && code <= 83) || code == 87 || code == 88) return code;
  for (const ExtendedKey& key : kExtendedKeys) {
    if (key.linux_code == code) return key.scan_code;
  }
  return 0;
}

}  // namespace platform
