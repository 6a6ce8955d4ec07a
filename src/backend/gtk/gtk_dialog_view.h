// What every GTK dialog view shares: the window and the guard the user's
// events run through. Events are ignored while the view sets its own widgets;
// an exception from the model is kept and closes the dialog, so none crosses a
// GLib frame, and the host throws it again after its loop. And the modal run
// every box and dialog of the GTK back ends goes through. Used only inside the
// GTK back ends.
#pragma once

#include <gtk/gtk.h>

#include <exception>

#include "platform/message_box.h"

namespace platform {

// How often a running dialog asks whether it must end (ModalCancelRequested).
inline constexpr guint kModalCancelPollMs = 50;

// gtk_dialog_run, except that the dialog also ends, as if closed without a
// button (GTK_RESPONSE_DELETE_EVENT), once ModalCancelRequested says so: a
// quit signal ends whatever box or dialog is up, nested ones included.
inline int RunModalDialog(GtkDialog* dialog) {
  auto poll = [](gpointer data) -> gboolean {
    if (ModalCancelRequested()) gtk_dialog_response(GTK_DIALOG(data), GTK_RESPONSE_DELETE_EVENT);
    return G_SOURCE_CONTINUE;
  };
  const guint source = g_timeout_add(kModalCancelPollMs, poll, dialog);
  const int response = gtk_dialog_run(dialog);
  g_source_remove(source);
  return response;
}

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
