// Beside the start-up: the choice of the display mode over the modes the
// platform reports (the fallback of refresh rate, depth and window), and the
// assertion box of the game layer.
#pragma once

#include <cstdint>
#include <span>

namespace App {

struct DisplayMode {
  int32_t width;
  int32_t height;
  int32_t depth;    // bits per pixel
  int32_t refresh;  // Hz
};

// How a wanted mode compares with the table.
enum class ModeMatch {
  kFound = 0,         // width, height and depth (and the refresh rate when one is asked)
  kOtherRefresh = 1,  // all but the refresh rate
  kOtherDepth = 2,    // width and height, not at that depth
  kNoSize = 3,        // no mode of that size
};

ModeMatch CheckDisplayMode(std::span<const DisplayMode> modes, const DisplayMode& wanted);

struct ModeChoice {
  DisplayMode mode;
  bool full_screen;
};

// The mode Init settles on: a refresh rate the table lacks becomes the default
// (0), a depth it lacks is replaced by the next of the requested depth's order,
// and a size it lacks, or no depth left, gives a window. Only a full-screen
// request shows the boxes that say so ("DirectDraw 初期化").
ModeChoice ChooseDisplayMode(std::span<const DisplayMode> modes, DisplayMode wanted, bool full_screen);

// Takes the main window to full screen; when the display refuses, the box
// "フルスクリーンに設定できませんでした。" says so and the window stays as it was.
bool EnterFullScreen();

// The assertion box: Abort throws the error record, Retry stops in a debugger
// when one is attached (else it acts as Ignore), Ignore returns 1.
int AssertBox(const char* expression, const char* file, int line, const char* extra);

// Whether a debugger is tracing the process.
bool DebuggerAttached();

}  // namespace App
