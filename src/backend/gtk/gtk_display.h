// The display under the GTK back end: opening it, and the monitors it offers.
// Used only inside the GTK back end and by the program.
#pragma once

#include <string>

namespace platform {

// A monitor the display can use: its description and connector name.
struct MonitorInfo {
  std::u16string description;
  std::u16string name;
  int width = 0;
  int height = 0;
  int refresh_hz = 0;  // 0 when the display does not say
  int number = 0;      // the display's own number for the monitor
};

// Starts GTK on the default display; false when there is none. Later calls
// only answer again.
bool OpenGtkDisplay();

// Whether the display has a pointer and a keyboard: a compositor without
// input devices (a headless one) has neither, and GDK warns at every
// question about them, so what needs them is left out.
bool DisplayHasPointer();
bool DisplayHasKeyboard();

}  // namespace platform
