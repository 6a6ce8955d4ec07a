// Message boxes as modal GTK dialogs: the main window's, and the program's own
// before that window exists and after it is gone.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/message_box.h"

namespace platform {

// Runs a modal GTK message dialog over `owner` (the main window, or null) and
// returns the button chosen; a box closed without a button gives its Cancel,
// else the answer that changes nothing (No, Ignore), never Yes. GTK must be up.
int ShowGtkMessageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption, uint32_t flags);

// The boxes of a program whose window is not up: a GTK dialog without owner
// when a display can be opened (tried once, at the first box), else the
// headless box's line on stderr.
class GtkStartupMessageBox : public IMessageBox {
 public:
  int Show(WindowHandle owner, std::u16string_view text, std::u16string_view caption, uint32_t flags) override;

 private:
  enum class Display { kUntried, kOpen, kNone };
  Display display_ = Display::kUntried;
  HeadlessMessageBox stderr_boxes_;
};

// The boxes of the main window: counted in `dialogs` while one is up, so the
// focus it takes does not make the program inactive.
class GtkWindowMessageBox : public IMessageBox {
 public:
  explicit GtkWindowMessageBox(int& dialogs) : dialogs_(dialogs) {}
  int Show(WindowHandle owner, std::u16string_view text, std::u16string_view caption, uint32_t flags) override;

 private:
  int& dialogs_;
};

}  // namespace platform
