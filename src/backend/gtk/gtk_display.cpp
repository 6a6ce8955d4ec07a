#include "backend/gtk/gtk_display.h"

#include <gtk/gtk.h>

namespace platform {

// The picture is drawn in memory and shown through cairo, never with OpenGL;
// without this GDK loads a whole GL driver stack at start-up (about half the
// program's resident memory). Set before GDK starts; a GDK_GL of the user's own
// is kept.
bool OpenGtkDisplay() {
  g_setenv("GDK_GL", "disable", FALSE);
  return gtk_init_check(nullptr, nullptr) != FALSE;
}

}  // namespace platform
