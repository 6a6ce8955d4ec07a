#include "backend/gtk/save_dialog_gtk.h"

#include <gtk/gtk.h>

#include <exception>
#include <string>

#include "backend/gtk/gtk_dialog_view.h"
#include "platform/text.h"

namespace platform {

namespace {

constexpr int kListHeight = 260;

std::string Utf8(std::u16string_view text) { return Utf16ToUtf8(text); }

// The dialog's widgets and the model they show; handlers go through Event.
struct SlotDialogView : GtkDialogView<SlotDialogView> {
  ISlotDialogModel& model;
  GtkListStore* store = nullptr;
  GtkWidget* list = nullptr;
  GtkWidget* comment = nullptr;
  GtkWidget* apply = nullptr;
  GtkWidget* erase = nullptr;
  GtkWidget* ok = nullptr;
  GtkWidget* preview = nullptr;
  std::vector<std::u16string> shownLines;

  explicit SlotDialogView(ISlotDialogModel& m) : model(m) {}

  int SelectedRow() const {
    GtkTreeModel* treeModel = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(list)), &treeModel, &iter))
      return -1;
    GtkTreePath* path = gtk_tree_model_get_path(treeModel, &iter);
    const int row = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return row;
  }

  void Refresh() {
    refreshing = true;
    const std::vector<std::u16string>& lines = model.Lines();
    if (lines != shownLines) {
      gtk_list_store_clear(store);
      for (const std::u16string& line : lines) {
        GtkTreeIter iter;
        gtk_list_store_append(store, &iter);
        gtk_list_store_set(store, &iter, 0, Utf8(line).c_str(), -1);
      }
      shownLines = lines;
    }
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(list));
    const int row = model.Selection();
    if (row < 0) {
      gtk_tree_selection_unselect_all(selection);
    } else if (row != SelectedRow()) {
      GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
      gtk_tree_selection_select_path(selection, path);
      gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(list), path, nullptr, FALSE, 0, 0);
      gtk_tree_path_free(path);
    }
    const std::string text = Utf8(model.Comment());
    if (text != gtk_entry_get_text(GTK_ENTRY(comment))) {
      gtk_entry_set_text(GTK_ENTRY(comment), text.c_str());
      gtk_editable_set_position(GTK_EDITABLE(comment), -1);
    }
    gtk_widget_set_sensitive(ok, model.OkEnabled());
    if (apply != nullptr) gtk_widget_set_sensitive(apply, model.ApplyEnabled());
    gtk_widget_set_sensitive(erase, model.DeleteEnabled());
    ShowPreview();
    if (model.TakeListFocusRequest()) gtk_widget_grab_focus(list);
    refreshing = false;
    if (model.Finished()) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  }

  void ShowPreview() {
    const int w = ISlotDialogModel::kPreviewWidth, h = ISlotDialogModel::kPreviewHeight;
    const std::vector<uint32_t>& pixels = model.Preview();
    if (pixels.size() != static_cast<size_t>(w) * h) return;
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h);
    guchar* rows = gdk_pixbuf_get_pixels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint32_t p = pixels[static_cast<size_t>(y) * w + x];
        guchar* out = rows + y * stride + x * 3;
        out[0] = static_cast<guchar>(p >> 16);
        out[1] = static_cast<guchar>(p >> 8);
        out[2] = static_cast<guchar>(p);
      }
    }
    gtk_image_set_from_pixbuf(GTK_IMAGE(preview), pixbuf);
    g_object_unref(pixbuf);
  }
};

SlotDialogView* ViewOf(gpointer data) { return static_cast<SlotDialogView*>(data); }

GtkWidget* Named(GtkWidget* widget, const char* name) {
  gtk_widget_set_name(widget, name);
  return widget;
}

GtkWidget* Button(SlotDialogView* view, const std::string& label, const char* name, void (*clicked)(GtkButton*, gpointer)) {
  GtkWidget* button = Named(gtk_button_new_with_mnemonic(label.c_str()), name);
  g_signal_connect(button, "clicked", G_CALLBACK(clicked), view);
  return button;
}

void Build(SlotDialogView& view, GtkWindow* owner) {
  ISlotDialogModel& model = view.model;
  view.dialog = gtk_dialog_new();
  GtkWindow* window = GTK_WINDOW(view.dialog);
  gtk_window_set_title(window, Utf8(model.Title()).c_str());
  gtk_window_set_modal(window, TRUE);
  gtk_window_set_resizable(window, FALSE);
  if (owner != nullptr) {
    gtk_window_set_transient_for(window, owner);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
  }
  gtk_window_set_keep_above(window, TRUE);

  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
  gtk_container_set_border_width(GTK_CONTAINER(grid), 8);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(view.dialog))), grid);

  // Column headings over the list, then the list in a monospaced face.
  GtkWidget* headings = gtk_label_new("スロット  更新日時              コメント");
  gtk_widget_set_halign(headings, GTK_ALIGN_START);
  gtk_grid_attach(GTK_GRID(grid), headings, 0, 0, 2, 1);

  view.store = gtk_list_store_new(1, G_TYPE_STRING);
  view.list = Named(gtk_tree_view_new_with_model(GTK_TREE_MODEL(view.store)), "slot-list");
  g_object_unref(view.store);
  gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(view.list), FALSE);
  GtkCellRenderer* cell = gtk_cell_renderer_text_new();
  g_object_set(cell, "family", "monospace", nullptr);
  gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view.list), -1, "", cell, "text", 0, nullptr);
  GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER, GTK_POLICY_ALWAYS);
  gtk_widget_set_size_request(scroll, -1, kListHeight);
  gtk_container_add(GTK_CONTAINER(scroll), view.list);
  gtk_grid_attach(GTK_GRID(grid), scroll, 0, 1, 1, 3);

  view.preview = Named(gtk_image_new(), "preview");
  gtk_widget_set_valign(view.preview, GTK_ALIGN_START);
  gtk_grid_attach(GTK_GRID(grid), view.preview, 1, 1, 1, 1);

  GtkWidget* label = gtk_label_new("コメント入力");
  gtk_widget_set_halign(label, GTK_ALIGN_START);
  gtk_grid_attach(GTK_GRID(grid), label, 0, 4, 1, 1);
  view.comment = Named(gtk_entry_new(), "comment");
  gtk_grid_attach(GTK_GRID(grid), view.comment, 0, 5, 1, 1);

  GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  gtk_box_set_spacing(GTK_BOX(buttons), 6);
  if (model.HasApplyButton()) {
    view.apply = Button(&view, "修正", "apply", [](GtkButton*, gpointer d) {
      ViewOf(d)->Event([v = ViewOf(d)] { v->model.Apply(); });
    });
    gtk_container_add(GTK_CONTAINER(buttons), view.apply);
  }
  view.erase = Button(&view, "削除(_D)", "delete", [](GtkButton*, gpointer d) {
    ViewOf(d)->Event([v = ViewOf(d)] { v->model.Delete(); });
  });
  view.ok = Button(&view, Utf8(model.OkText()), "ok", [](GtkButton*, gpointer d) {
    ViewOf(d)->Event([v = ViewOf(d)] { v->model.Ok(); });
  });
  GtkWidget* cancel = Button(&view, "ｷｬﾝｾﾙ", "cancel", [](GtkButton*, gpointer d) {
    ViewOf(d)->Event([v = ViewOf(d)] { v->model.Cancel(); });
  });
  for (GtkWidget* b : {view.erase, view.ok, cancel}) gtk_container_add(GTK_CONTAINER(buttons), b);
  gtk_grid_attach(GTK_GRID(grid), buttons, 0, 6, 2, 1);

  g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(view.list)), "changed",
                   G_CALLBACK(+[](GtkTreeSelection*, gpointer d) {
                     SlotDialogView* v = ViewOf(d);
                     v->Event([v] { v->model.Select(v->SelectedRow()); });
                   }),
                   &view);
  g_signal_connect(view.list, "row-activated",
                   G_CALLBACK(+[](GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer d) {
                     const int row = gtk_tree_path_get_indices(path)[0];
                     ViewOf(d)->Event([v = ViewOf(d), row] { v->model.DoubleClick(row); });
                   }),
                   &view);
  // The model cuts the text to what the file can hold; Refresh puts that back.
  g_signal_connect(view.comment, "changed", G_CALLBACK(+[](GtkEditable* e, gpointer d) {
                     const std::u16string text = Utf8ToUtf16(gtk_entry_get_text(GTK_ENTRY(e)));
                     ViewOf(d)->Event([v = ViewOf(d), text] { v->model.EditComment(text); });
                   }),
                   &view);
  g_signal_connect(view.comment, "activate", G_CALLBACK(+[](GtkEntry*, gpointer d) {
                     ViewOf(d)->Event([v = ViewOf(d)] { v->model.Ok(); });
                   }),
                   &view);
  g_signal_connect(view.comment, "focus-in-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer d) -> gboolean {
                     ViewOf(d)->Event([v = ViewOf(d)] { v->model.CommentFocus(true); });
                     return FALSE;
                   }),
                   &view);
  g_signal_connect(view.comment, "focus-out-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer d) -> gboolean {
                     ViewOf(d)->Event([v = ViewOf(d)] { v->model.CommentFocus(false); });
                     return FALSE;
                   }),
                   &view);
}

}  // namespace

void GtkSlotDialogHost::Run(WindowHandle owner, ISlotDialogModel& model) {
  SlotDialogView view(model);
  Build(view, owner != nullptr ? GTK_WINDOW(owner) : nullptr);
  view.Refresh();
  gtk_widget_show_all(view.dialog);
  while (!model.Finished() && !view.error) {
    const int response = RunModalDialog(GTK_DIALOG(view.dialog));
    // Closing the window is the cancel button.
    if (response == GTK_RESPONSE_DELETE_EVENT && !model.Finished()) model.Cancel();
  }
  gtk_widget_destroy(view.dialog);
  if (view.error) std::rethrow_exception(view.error);
}

}  // namespace platform
