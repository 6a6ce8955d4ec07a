// What every GTK dialog view shares: the window and the guard the user's
// events run through. Events are ignored while the view sets its own widgets;
// an exception from the model is kept and closes the dialog, so none crosses a
// GLib frame, and the host throws it again after its loop. Used only inside
// the GTK back ends.
#pragma once

#include <gtk/gtk.h>

#include <exception>

namespace platform {

template <class View>
struct GtkDialogView {
  GtkWidget* dialog = nullptr;
  bool refreshing = false;  // set while the view changes widgets itself
  std::exception_ptr error;

  // Runs `action` on the model, then the view's Refresh.
  template <class F>
  void Event(F action) {
    if (refreshing || error) return;
    try {
      action();
      static_cast<View*>(this)->Refresh();
    } catch (...) {
      error = std::current_exception();
      gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    }
  }
};

}  // namespace platform
