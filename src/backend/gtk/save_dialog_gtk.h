// The slot dialog in GTK 3: a modal dialog over the owner window (a GtkWindow*
// passed as WindowHandle) that shows a slot-dialog model and hands it every
// event. Widgets carry names a test can find them by: "slot-list", "comment",
// "apply", "delete", "ok", "cancel", "preview".
#pragma once

#include "platform/slot_dialog_model.h"

namespace platform {

class GtkSlotDialogHost : public ISlotDialogHost {
 public:
  // Needs an initialised GTK; runs a nested loop until the model is finished or
  // the window is closed (which cancels).
  void Run(WindowHandle owner, ISlotDialogModel& model) override;
};

}  // namespace platform
