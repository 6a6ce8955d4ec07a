#include "backend/gtk/gtk_message_box.h"

#include <gtk/gtk.h>

#include <cstring>
#include <vector>

#include "backend/gtk/gtk_dialog_view.h"
#include "backend/gtk/gtk_display.h"
#include "platform/text.h"

namespace platform {

namespace {

// A box closed without a button: its Cancel, else the answer that changes
// nothing (No, Ignore), never Yes.
int DismissedAnswer(uint32_t flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL:
      return IDCANCEL;
    case MB_YESNO:
      return IDNO;
    case MB_ABORTRETRYIGNORE:
      return IDIGNORE;
    default:
      return IDOK;
  }
}

// A button's answer and the key its mnemonic names, in lower case.
struct MnemonicKey {
  guint key;
  int answer;
};

// A letter alone answers as its button's mnemonic does with Alt ("はい(_Y)":
// Y or Alt+Y); Alt and Ctrl combinations stay GTK's.
gboolean OnPlainMnemonic(GtkWidget* dialog, GdkEventKey* event, gpointer data) {
  if (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) return FALSE;
  const guint key = gdk_keyval_to_lower(event->keyval);
  for (const MnemonicKey& m : *static_cast<const std::vector<MnemonicKey>*>(data)) {
    if (m.key == key) {
      gtk_dialog_response(GTK_DIALOG(dialog), m.answer);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

int ShowGtkMessageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption, uint32_t flags) {
  GtkMessageType type = GTK_MESSAGE_OTHER;
  switch (flags & MB_ICONMASK) {
    case MB_ICONERROR: type = GTK_MESSAGE_ERROR; break;
    case MB_ICONQUESTION: type = GTK_MESSAGE_QUESTION; break;
    case MB_ICONWARNING: type = GTK_MESSAGE_WARNING; break;
    case MB_ICONINFORMATION: type = GTK_MESSAGE_INFO; break;
    default: break;
  }
  GtkWindow* parent = owner != nullptr ? GTK_WINDOW(owner) : nullptr;
  GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s",
                                             Utf16ToUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), Utf16ToUtf8(caption).c_str());
  if (parent == nullptr && DisplayHasPointer()) gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  struct Button {
    const char* label;
    int id;
  };
  std::vector<Button> set;
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: set = {{"OK", IDOK}, {"キャンセル", IDCANCEL}}; break;
    case MB_ABORTRETRYIGNORE: set = {{"中止(_A)", IDABORT}, {"再試行(_R)", IDRETRY}, {"無視(_I)", IDIGNORE}}; break;
    case MB_YESNOCANCEL: set = {{"はい(_Y)", IDYES}, {"いいえ(_N)", IDNO}, {"キャンセル", IDCANCEL}}; break;
    case MB_YESNO: set = {{"はい(_Y)", IDYES}, {"いいえ(_N)", IDNO}}; break;
    case MB_RETRYCANCEL: set = {{"再試行(_R)", IDRETRY}, {"キャンセル", IDCANCEL}}; break;
    default: set = {{"OK", IDOK}}; break;
  }
  std::vector<MnemonicKey> mnemonics;
  for (const Button& b : set) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), b.label, b.id);
    if (const char* mark = std::strchr(b.label, '_')) {
      mnemonics.push_back({gdk_keyval_to_lower(gdk_unicode_to_keyval(static_cast<guchar>(mark[1]))), b.id});
    }
  }
  g_signal_connect(dialog, "key-press-event", G_CALLBACK(OnPlainMnemonic), &mnemonics);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), DefaultAnswer(flags));
  int answer = RunModalDialog(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return answer > 0 ? answer : DismissedAnswer(flags);
}

int GtkStartupMessageBox::Show(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                               uint32_t flags) {
  if (display_ == Display::kUntried) display_ = OpenGtkDisplay() ? Display::kOpen : Display::kNone;
  if (display_ == Display::kNone) return stderr_boxes_.Show(owner, text, caption, flags);
  return ShowGtkMessageBox(owner, text, caption, flags);
}

int GtkWindowMessageBox::Show(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                              uint32_t flags) {
  ++dialogs_;
  int answer = ShowGtkMessageBox(owner, text, caption, flags);
  --dialogs_;
  return answer;
}

}  // namespace platform
