// Message boxes with the Windows button sets and results the engine's dialogs expect.
// The real implementation is a modal GTK dialog; the headless one answers at once.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// An opaque owner window; null when the box has no owner.
using WindowHandle = void*;

// Button sets and icons, with the values of the Windows flags they stand for.
enum : uint32_t {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_TYPEMASK = 0xF,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_ICONMASK = 0xF0,
  MB_DEFBUTTON2 = 0x100,
  MB_DEFBUTTON3 = 0x200,
};

// Results, with the Windows values.
enum : int {
  IDOK = 1,
  IDCANCEL = 2,
  IDABORT = 3,
  IDRETRY = 4,
  IDIGNORE = 5,
  IDYES = 6,
  IDNO = 7,
};

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // Shows the box modally and returns the button chosen (IDOK, IDYES, ...).
  virtual int Show(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                   uint32_t flags) = 0;
};

// Writes each box to stderr and answers at once: the default button of its set
// unless an answer was configured. Keeps what it showed for tests.
class HeadlessMessageBox : public IMessageBox {
 public:
  struct Shown {
    std::u16string text;
    std::u16string caption;
    uint32_t flags;
  };

  int Show(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
           uint32_t flags) override;

  // The answer to give to every following box; 0 restores the default button.
  void SetAnswer(int answer);
  // Whether boxes are echoed to stderr (on by default).
  void SetEcho(bool echo);
  std::vector<Shown> shown() const;

 private:
  mutable std::mutex mutex_;
  int answer_ = 0;
  bool echo_ = true;
  std::vector<Shown> shown_;
};

// The service the engine calls; headless until a window system installs its own.
IMessageBox& MessageBoxService();
// Installs a service (not owned); null restores the headless one. Returns the previous.
IMessageBox* SetMessageBoxService(IMessageBox* service);

// The default button of a button set: what a box answers when it is dismissed at once.
int DefaultAnswer(uint32_t flags);

// Tells a box on stderr instead, in UTF-8: "[caption] text" and a line end.
void WriteBoxToStderr(std::u16string_view caption, std::u16string_view text);

// What ends every box and dialog that is up as if it were closed without a
// button: the window system's boxes and dialogs ask it a few times a second
// while they run, and so does the wait for a save file locked elsewhere. The
// program points it at its quit note, so that a quit signal is not held up by a
// box nobody answers or a lock nobody lets go. Null (the default): boxes end
// only by the user.
using ModalCancelCheck = bool (*)();
// Installs the check; returns the previous.
ModalCancelCheck SetModalCancelCheck(ModalCancelCheck check);
// True when the installed check says the boxes must end.
bool ModalCancelRequested();

inline int ShowMessageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                          uint32_t flags) {
  return MessageBoxService().Show(owner, text, caption, flags);
}

}  // namespace platform
