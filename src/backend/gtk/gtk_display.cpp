#include "backend/gtk/gtk_display.h"

#include <gtk/gtk.h>

namespace platform {

namespace {

GdkSeat* DefaultSeat() {
  GdkDisplay* display = gdk_display_get_default();
  return display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
}

// A window's keys changed (mnemonics, accelerators): GTK makes the window's
// table of keys again at once, from the keyboard's map. Without a keyboard
// the table waits until a key comes, which is when GTK makes it anyway.
void KeysChanged(GtkWindow* window) {
  if (DisplayHasKeyboard()) g_signal_chain_from_overridden_handler(window);
}

}  // namespace

// Leaves the environment alone: GtkShell::PrepareEnvironment sets it before
// any thread starts.
bool OpenGtkDisplay() {
  static bool overridden = false;
  // The modifiers accelerators heed, as the keyboard's map would give them:
  // GTK asks the map at start-up otherwise, which needs a keyboard.
  gtk_accelerator_set_default_mod_mask(static_cast<GdkModifierType>(
      GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK | GDK_HYPER_MASK | GDK_META_MASK));
  if (gtk_init_check(nullptr, nullptr) == FALSE) return false;
  if (!overridden) {
    overridden = true;
    g_type_class_unref(g_type_class_ref(GTK_TYPE_WINDOW));
    g_signal_override_class_handler("keys-changed", GTK_TYPE_WINDOW, G_CALLBACK(KeysChanged));
  }
  return true;
}

bool DisplayHasPointer() {
  GdkSeat* seat = DefaultSeat();
  return seat != nullptr && gdk_seat_get_pointer(seat) != nullptr;
}

bool DisplayHasKeyboard() {
  GdkSeat* seat = DefaultSeat();
  return seat != nullptr && gdk_seat_get_keyboard(seat) != nullptr;
}

}  // namespace platform
