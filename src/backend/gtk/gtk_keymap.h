// Keys of the window system as the input code sees them: Linux key codes
// (X11 key code - 8) turned into the scan codes the key maps index.
#pragma once

namespace platform {

// The scan code of a Linux key code: the main block keeps its number, the
// extended keys (right Ctrl and Alt, the arrows, the block above them, numpad
// Enter and "/") take their 0x80-based codes; 0 for a key the engine has none for.
int ScanCodeFromLinuxKey(int code);

}  // namespace platform
