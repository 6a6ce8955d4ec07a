#include "backend/gtk/gtk_display.h"

#include <gtk/gtk.h>

namespace platform {

// Leaves the environment alone: GtkShell::PrepareEnvironment sets it before
// any thread starts.
bool OpenGtkDisplay() {
  return gtk_init_check(nullptr, nullptr) != FALSE;
}

}  // namespace platform
