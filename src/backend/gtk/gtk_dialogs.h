// The game's modal dialogs in GTK 3: a dialog over the owner window (a
// GtkWindow* passed as WindowHandle), centred on it and kept above it, with the
// model's controls where its table puts them. The view only shows the model's
// state and hands it every event: toggles, slider moves (as thumb positions),
// combo choices, typed text, focus changes and button presses; Escape and the
// close box cancel. Each control's widget is named "ctl-<id>" for tests.
#pragma once

#include "platform/dialog_model.h"

namespace platform {

class GtkDialogHost : public IDialogHost {
 public:
  // Needs an initialised GTK; runs a nested loop until the model is finished.
  void Run(WindowHandle owner, DialogModel& model) override;
};

}  // namespace platform
