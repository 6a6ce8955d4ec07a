#include "backend/gtk/gtk_window.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/event_source.h"
#include "backend/gtk/gtk_display.h"
#include "backend/gtk/gtk_events.h"
#include "backend/gtk/gtk_main_window.h"
#include "backend/gtk/gtk_menu.h"
#include "backend/gtk/gtk_message_box.h"
#include "backend/gtk/gtk_monitor_dialog.h"
#include "backend/gtk/gtk_presenter.h"
#include "backend/gtk/gtk_window_parts.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace platform {

GtkWindowParts::GtkWindowParts(const std::u16string& title, int width, int height) : width(width), height(height) {
  window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), Utf16ToUtf8(title).c_str());
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  // GTK centres on the pointer's monitor, so only where there is a pointer.
  if (DisplayHasPointer()) gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  overlay = gtk_overlay_new();
  box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  menubar = gtk_menu_bar_new();
  gtk_widget_set_name(menubar, "menubar");
  // Themes leave a menu bar clear, showing the window's background behind it;
  // in full screen what lies behind is the picture and its black bars. The
  // window's own style class has the bar paint that background (and its
  // text colour) itself, so it reads the same in both.
  gtk_style_context_add_class(gtk_widget_get_style_context(menubar), GTK_STYLE_CLASS_BACKGROUND);
  area = gtk_drawing_area_new();
  gtk_widget_set_name(area, "area");
  gtk_widget_set_size_request(area, width, height);
  gtk_widget_set_can_focus(area, TRUE);
  gtk_widget_add_events(area, GDK_POINTER_MOTION_MASK | GDK_ENTER_NOTIFY_MASK | GDK_BUTTON_PRESS_MASK |
                                  GDK_BUTTON_RELEASE_MASK | GDK_SCROLL_MASK);
  gtk_box_pack_start(GTK_BOX(box), menubar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), area, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(overlay), box);
  gtk_container_add(GTK_CONTAINER(window), overlay);
  im = gtk_im_multicontext_new();
}

void GtkWindowParts::Realize() {
  gtk_widget_show_all(overlay);
  gtk_widget_realize(window);
  gtk_im_context_set_client_window(im, gtk_widget_get_window(window));
}

void GtkWindowParts::Destroy() {
  if (window == nullptr) return;
  if (im != nullptr) g_object_unref(im);
  im = nullptr;
  // A menu still up (a quit signal came while the player had it open) is
  // closed first, as Escape closes it: left to the window's destruction, it
  // would close after the menu bar has lost its window and look for it.
  gtk_menu_shell_cancel(GTK_MENU_SHELL(menubar));
  gtk_widget_destroy(window);
  window = nullptr;
  while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
}

// The rooms of the window, each behind the interface it serves. The parts come
// first: every room keeps a reference to them.
struct GtkShell::Impl {
  Impl(const std::u16string& title, int width, int height)
      : parts(title, width, height),
        presenter(parts),
        events(parts, presenter),
        menu(parts.menubar, events),
        window(parts, menu, presenter),
        boxes(parts.dialogs) {
    parts.Realize();
    presenter.Realized();
    // Parts of the window the presenter can no longer show come back as paint messages.
    presenter.OnRepaintNeeded([this](const PresentRect& r) {
      WindowEvent paint{WindowMessage::kPaint};
      paint.left = r.left, paint.top = r.top, paint.right = r.right, paint.bottom = r.bottom;
      events.Push(paint);
    });
  }

  ~Impl() {
    if (installed) {
      SetMainWindow(prev_window);
      SetEventSource(prev_source);
      SetMessageBoxService(prev_boxes);
    }
    // Before the rooms go: a handler the teardown sets off still finds its room.
    parts.Destroy();
  }

  GtkWindowParts parts;
  GtkPresenter presenter;
  GtkEvents events;
  GtkMenu menu;
  GtkMainWindow window;
  GtkWindowMessageBox boxes;

  IMainWindow* prev_window = nullptr;
  IEventSource* prev_source = nullptr;
  IMessageBox* prev_boxes = nullptr;
  bool installed = false;
};

GtkShell::GtkShell(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

GtkShell::~GtkShell() = default;

void GtkShell::PrepareEnvironment() { g_setenv("GDK_GL", "disable", FALSE); }

bool GtkShell::DisplayAvailable() { return OpenGtkDisplay(); }

std::unique_ptr<GtkShell> GtkShell::Open(const std::u16string& class_name, const std::u16string& title, int width,
                                         int height) {
  std::string cls = Utf16ToUtf8(class_name);
  std::string prg = cls;
  std::transform(prg.begin(), prg.end(), prg.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
  if (g_get_prgname() == nullptr) g_set_prgname(prg.c_str());
  if (!OpenGtkDisplay()) return nullptr;
  // After the initialisation, which sets the class from the program's name.
  gdk_set_program_class(cls.c_str());
  return std::unique_ptr<GtkShell>(new GtkShell(std::make_unique<Impl>(title, width, height)));
}

void GtkShell::Install() {
  if (impl_->installed) return;
  impl_->installed = true;
  impl_->prev_window = SetMainWindow(&impl_->window);
  impl_->prev_source = SetEventSource(&impl_->events);
  impl_->prev_boxes = SetMessageBoxService(&impl_->boxes);
}

void GtkShell::Show() {
  gtk_widget_show(impl_->parts.window);
  gtk_window_present(GTK_WINDOW(impl_->parts.window));
  gtk_widget_grab_focus(impl_->parts.area);
}

std::vector<MonitorInfo> GtkShell::Monitors() const { return ListMonitors(impl_->parts.window); }

void GtkShell::UseMonitor(int number) { impl_->window.UseMonitor(number); }

int GtkShell::ChooseMonitor(const std::vector<MonitorInfo>& monitors) {
  ++impl_->parts.dialogs;
  int chosen = RunMonitorDialog(monitors);
  --impl_->parts.dialogs;
  return chosen;
}

IMainWindow& GtkShell::window() { return impl_->window; }
IPresenter& GtkShell::presenter() { return impl_->presenter; }
IEventSource& GtkShell::events() { return impl_->events; }
IMessageBox& GtkShell::boxes() { return impl_->boxes; }

}  // namespace platform
