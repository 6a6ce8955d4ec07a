#include "backend/gtk/gtk_monitor_dialog.h"

#include <string>

#include "backend/gtk/gtk_dialog_view.h"
#include "platform/text.h"

namespace platform {

std::vector<MonitorInfo> ListMonitors(GtkWidget* window) {
  std::vector<MonitorInfo> list;
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* current = gdk_display_get_monitor_at_window(display, gtk_widget_get_window(window));
  int n = gdk_display_get_n_monitors(display);
  for (int i = 0; i < n; ++i) {
    GdkMonitor* m = gdk_display_get_monitor(display, i);
    GdkRectangle geometry;
    gdk_monitor_get_geometry(m, &geometry);
    const char* maker = gdk_monitor_get_manufacturer(m);
    const char* model = gdk_monitor_get_model(m);
    MonitorInfo info;
    std::string description = maker != nullptr ? std::string(maker) + " " : std::string();
    description += model != nullptr ? model : "Monitor";
    info.description = Utf8ToUtf16(description);
    info.name = Utf8ToUtf16(model != nullptr ? model : "");
    info.width = geometry.width;
    info.height = geometry.height;
    info.refresh_hz = gdk_monitor_get_refresh_rate(m) / 1000;
    info.number = i;
    if (m == current) {
      list.insert(list.begin(), info);
    } else {
      list.push_back(info);
    }
  }
  return list;
}

int RunMonitorDialog(const std::vector<MonitorInfo>& monitors) {
  GtkWidget* dialog = gtk_dialog_new_with_buttons("ドライバの選択", nullptr, GTK_DIALOG_MODAL, "OK", GTK_RESPONSE_OK,
                                                  "ｷｬﾝｾﾙ", GTK_RESPONSE_CANCEL, nullptr);
  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_container_set_border_width(GTK_CONTAINER(content), 8);
  gtk_box_pack_start(GTK_BOX(content), gtk_label_new("このゲームで使用する DirectDraw のドライバを選択して下さい。"), FALSE,
                     FALSE, 4);
  GtkWidget* combo = gtk_combo_box_text_new();
  for (const MonitorInfo& m : monitors) {
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), Utf16ToUtf8(m.description).c_str());
  }
  gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 0);
  gtk_box_pack_start(GTK_BOX(content), combo, FALSE, FALSE, 4);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_widget_show_all(dialog);
  int response = RunModalDialog(GTK_DIALOG(dialog));
  int chosen = response == GTK_RESPONSE_OK ? gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) : -1;
  gtk_widget_destroy(dialog);
  return chosen;
}

}  // namespace platform
