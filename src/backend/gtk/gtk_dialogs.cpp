#include "backend/gtk/gtk_dialogs.h"

#include <gtk/gtk.h>

#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "backend/gtk/gtk_dialog_view.h"
#include "platform/text.h"

namespace platform {

namespace {

std::string Utf8(std::u16string_view text) { return Utf16ToUtf8(text); }

// The widgets of one dialog and the model they show; handlers go through Event.
struct DialogView : GtkDialogView<DialogView> {
  DialogModel& model;
  std::map<int, GtkWidget*> widgets;  // by control id
  std::map<int, std::vector<std::u16string>> shownItems;

  explicit DialogView(DialogModel& m) : model(m) {}

  void ShowItems(const DialogControl& c, GtkWidget* w) {
    const std::vector<std::u16string>& items = model.Items(c.id);
    if (shownItems[c.id] == items) return;
    shownItems[c.id] = items;
    if (c.kind == ControlKind::kCombo) {
      gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(w));
      for (const std::u16string& item : items) gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w), Utf8(item).c_str());
      return;
    }
    GtkListStore* store = GTK_LIST_STORE(gtk_tree_view_get_model(GTK_TREE_VIEW(w)));
    gtk_list_store_clear(store);
    for (const std::u16string& item : items) {
      GtkTreeIter iter;
      gtk_list_store_append(store, &iter);
      gtk_list_store_set(store, &iter, 0, Utf8(item).c_str(), -1);
    }
  }

  void ShowText(GtkWidget* entry, int id) {
    const std::string text = Utf8(model.Text(id));
    if (text == gtk_entry_get_text(GTK_ENTRY(entry))) return;
    gtk_entry_set_text(GTK_ENTRY(entry), text.c_str());
    gtk_editable_set_position(GTK_EDITABLE(entry), -1);
  }

  void Refresh() {
    refreshing = true;
    gtk_window_set_title(GTK_WINDOW(dialog), Utf8(model.Title()).c_str());
    for (const DialogControl& c : model.Controls()) {
      auto it = widgets.find(c.id);
      if (c.id == 0 || it == widgets.end()) continue;
      GtkWidget* w = it->second;
      switch (c.kind) {
        case ControlKind::kRadio:
        case ControlKind::kCheck:
          gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), model.Value(c.id) != 0);
          break;
        case ControlKind::kSlider:
          gtk_range_set_value(GTK_RANGE(w), model.Value(c.id));
          break;
        case ControlKind::kCombo:
          ShowItems(c, w);
          gtk_combo_box_set_active(GTK_COMBO_BOX(w), model.Value(c.id));
          break;
        case ControlKind::kList:
          ShowItems(c, w);
          break;
        case ControlKind::kEdit:
        case ControlKind::kNumber:
          ShowText(w, c.id);
          break;
        case ControlKind::kText:
          gtk_label_set_text(GTK_LABEL(w), Utf8(model.Text(c.id)).c_str());
          break;
        case ControlKind::kSwatch:
          gtk_widget_queue_draw(w);
          break;
        default:
          break;
      }
    }
    if (int focus = model.TakeFocusRequest(); focus != 0 && widgets.count(focus) != 0) {
      gtk_widget_grab_focus(widgets[focus]);
    }
    refreshing = false;
    if (model.Finished()) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  }
};

// What a handler needs: the view and the control's id.
struct Binding {
  DialogView* view;
  int id;
};

Binding* Bind(DialogView& view, std::vector<std::unique_ptr<Binding>>& bindings, int id) {
  bindings.push_back(std::make_unique<Binding>(Binding{&view, id}));
  return bindings.back().get();
}

void OnToggled(GtkToggleButton* button, gpointer data) {
  auto* b = static_cast<Binding*>(data);
  bool on = gtk_toggle_button_get_active(button) != FALSE;
  b->view->Event([b, on] { b->view->model.SetChecked(b->id, on); });
}

void OnClicked(GtkButton*, gpointer data) {
  auto* b = static_cast<Binding*>(data);
  b->view->Event([b] { b->view->model.Clicked(b->id); });
}

void OnSlider(GtkRange* range, gpointer data) {
  auto* b = static_cast<Binding*>(data);
  double position = gtk_range_get_value(range);
  b->view->Event([b, position] { b->view->model.Dragged(b->id, position); });
}

void OnCombo(GtkComboBox* combo, gpointer data) {
  auto* b = static_cast<Binding*>(data);
  int index = gtk_combo_box_get_active(combo);
  b->view->Event([b, index] { b->view->model.Selected(b->id, index); });
}

void OnEdited(GtkEditable* editable, gpointer data) {
  auto* b = static_cast<Binding*>(data);
  std::u16string text = Utf8ToUtf16(gtk_entry_get_text(GTK_ENTRY(editable)));
  b->view->Event([b, text] { b->view->model.Edited(b->id, text); });
}

// Enter in an edit presses the dialog's OK.
void OnActivate(GtkEntry*, gpointer data) {
  auto* b = static_cast<Binding*>(data);
  b->view->Event([b] { b->view->model.Clicked(IDOK); });
}

gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
  auto* b = static_cast<Binding*>(data);
  b->view->Event([b] { b->view->model.Focused(b->id, true); });
  return FALSE;
}

gboolean OnFocusOut(GtkWidget*, GdkEvent*, gpointer data) {
  auto* b = static_cast<Binding*>(data);
  b->view->Event([b] { b->view->model.Focused(b->id, false); });
  return FALSE;
}

gboolean OnDrawSwatch(GtkWidget* widget, cairo_t* cr, gpointer data) {
  auto* b = static_cast<Binding*>(data);
  uint32_t rgb = b->view->model.Color(b->id);
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
  cairo_rectangle(cr, 0, 0, gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget));
  cairo_fill(cr);
  return TRUE;
}

GtkWidget* MakeWidget(DialogView& view, std::vector<std::unique_ptr<Binding>>& bindings, const DialogControl& c,
                      GtkWidget*& radioLeader) {
  const std::string text = Utf8(c.text);
  Binding* b = c.id != 0 ? Bind(view, bindings, c.id) : nullptr;
  GtkWidget* w = nullptr;
  switch (c.kind) {
    case ControlKind::kGroup:
      return gtk_frame_new(text.c_str());
    case ControlKind::kLabel:
    case ControlKind::kText:
      w = gtk_label_new(text.c_str());
      gtk_label_set_xalign(GTK_LABEL(w), 0.0f);
      return w;
    case ControlKind::kRadio:
      if (c.group_start) radioLeader = nullptr;
      w = radioLeader == nullptr ? gtk_radio_button_new_with_label(nullptr, text.c_str())
                                 : gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(radioLeader), text.c_str());
      if (radioLeader == nullptr) radioLeader = w;
      g_signal_connect(w, "toggled", G_CALLBACK(OnToggled), b);
      return w;
    case ControlKind::kCheck:
      w = gtk_check_button_new_with_label(text.c_str());
      g_signal_connect(w, "toggled", G_CALLBACK(OnToggled), b);
      return w;
    case ControlKind::kSlider: {
      w = gtk_scale_new_with_range(c.vertical ? GTK_ORIENTATION_VERTICAL : GTK_ORIENTATION_HORIZONTAL, 0, c.range, 1);
      gtk_scale_set_draw_value(GTK_SCALE(w), FALSE);
      gtk_range_set_increments(GTK_RANGE(w), 1, c.tick);
      for (int mark = 0; c.tick > 0 && mark <= c.range; mark += c.tick) {
        gtk_scale_add_mark(GTK_SCALE(w), mark, c.vertical ? GTK_POS_RIGHT : GTK_POS_BOTTOM, nullptr);
      }
      g_signal_connect(w, "value-changed", G_CALLBACK(OnSlider), b);
      return w;
    }
    case ControlKind::kCombo:
      w = gtk_combo_box_text_new();
      g_signal_connect(w, "changed", G_CALLBACK(OnCombo), b);
      return w;
    case ControlKind::kList: {
      GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
      GtkWidget* list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
      g_object_unref(store);
      gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(list), FALSE);
      GtkCellRenderer* cell = gtk_cell_renderer_text_new();
      g_object_set(cell, "family", "monospace", "size-points", 12.0, nullptr);
      gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(list), -1, "", cell, "text", 0, nullptr);
      return list;
    }
    case ControlKind::kEdit:
    case ControlKind::kNumber:
      if (c.kind == ControlKind::kNumber) {
        w = gtk_spin_button_new_with_range(0, c.range, 1);
        gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(w), TRUE);
      } else {
        w = gtk_entry_new();
        if (c.range > 0) gtk_entry_set_max_length(GTK_ENTRY(w), c.range);
        // The layout gives the width: without this, GTK's own minimum (about 150
        // pixels) would push a narrower entry over its neighbour.
        gtk_entry_set_width_chars(GTK_ENTRY(w), 1);
      }
      g_signal_connect(w, "changed", G_CALLBACK(OnEdited), b);
      g_signal_connect(w, "activate", G_CALLBACK(OnActivate), b);
      g_signal_connect(w, "focus-in-event", G_CALLBACK(OnFocusIn), b);
      g_signal_connect(w, "focus-out-event", G_CALLBACK(OnFocusOut), b);
      return w;
    case ControlKind::kButton:
      w = gtk_button_new_with_label(text.c_str());
      g_signal_connect(w, "clicked", G_CALLBACK(OnClicked), b);
      return w;
    case ControlKind::kSwatch:
      w = gtk_drawing_area_new();
      g_signal_connect(w, "draw", G_CALLBACK(OnDrawSwatch), b);
      return w;
  }
  return gtk_label_new("");
}

}  // namespace

void GtkDialogHost::Run(WindowHandle owner, DialogModel& model) {
  DialogView view(model);
  std::vector<std::unique_ptr<Binding>> bindings;
  view.dialog = gtk_dialog_new();
  GtkWindow* window = GTK_WINDOW(view.dialog);
  gtk_window_set_modal(window, TRUE);
  gtk_window_set_resizable(window, FALSE);
  if (owner != nullptr) {
    gtk_window_set_transient_for(window, GTK_WINDOW(owner));
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
  }
  gtk_window_set_keep_above(window, TRUE);

  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, model.Width(), model.Height());
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(view.dialog))), fixed);
  GtkWidget* radioLeader = nullptr;
  for (const DialogControl& c : model.Controls()) {
    if (c.kind != ControlKind::kRadio) radioLeader = nullptr;
    GtkWidget* w = MakeWidget(view, bindings, c, radioLeader);
    GtkWidget* placed = w;
    if (c.kind == ControlKind::kList) {
      placed = gtk_scrolled_window_new(nullptr, nullptr);
      gtk_container_add(GTK_CONTAINER(placed), w);
    }
    gtk_widget_set_size_request(placed, c.width, c.height);
    gtk_fixed_put(GTK_FIXED(fixed), placed, c.x, c.y);
    if (c.id != 0) {
      gtk_widget_set_name(w, ("ctl-" + std::to_string(c.id)).c_str());
      view.widgets[c.id] = w;
    }
  }
  view.Refresh();
  gtk_widget_show_all(view.dialog);
  while (!model.Finished() && !view.error) {
    const int response = RunModalDialog(GTK_DIALOG(view.dialog));
    // Escape and the close box cancel.
    if (response == GTK_RESPONSE_DELETE_EVENT && !model.Finished()) {
      view.Event([&model] { model.Cancel(); });
    }
  }
  gtk_widget_destroy(view.dialog);
  if (view.error) std::rethrow_exception(view.error);
}

}  // namespace platform
