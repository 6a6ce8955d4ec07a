// The monitors of the display and the driver dialog that chooses among them.
// Used only inside the GTK back end.
#pragma once

#include <gtk/gtk.h>

#include <vector>

#include "backend/gtk/gtk_display.h"

namespace platform {

// The display's monitors, the one `window` is on first.
std::vector<MonitorInfo> ListMonitors(GtkWidget* window);

// The driver dialog ("ドライバの選択"), modal: the monitors by description;
// the index chosen, or -1 for Cancel.
int RunMonitorDialog(const std::vector<MonitorInfo>& monitors);

}  // namespace platform
