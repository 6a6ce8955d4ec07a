// The GTK slot dialog under a virtual display: it opens over the slots, saves
// from the dialog, previews a slot in its colours, deletes and loads by double
// click. Skips without a display.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "backend/gtk/gtk_widgets.h"
#include "backend/gtk/save_dialog_gtk.h"
#include "dxdraw/dxsurface.h"
#include "platform/message_box.h"
#include "save/save_dialog.h"
#include "save/save_test_util.h"
#include "textscript/script_vars.h"

namespace save_test {
namespace {

using Controller = Save::SlotDialogController;

using gtk_test::FindNamed;
using gtk_test::OpenDialog;

class GtkSlotDialogTest : public SaveFolderTest {
 protected:
  void SetUp() override {
    GTK_TEST_REQUIRE(gtk_init_check(nullptr, nullptr), "display");
    SaveFolderTest::SetUp();
    Save::NameList scene, album;
    Save::OpenSaveDataAtStart(scene, album);
  }

  // Runs the dialog with `script` acting on its widgets once it shows.
  int Run(Controller::Mode mode, std::function<void(GtkWidget* dialog)> script) {
    Controller::Services services;
    services.ask = [](std::u16string_view, std::u16string_view) { return true; };
    services.save = [](int number, std::u16string_view comment) {
      TextScript::ScriptVarTable vars;
      Save::SaveGameToSlot(number, comment, {nullptr, 0, &vars});
    };
    Controller controller(mode, -1, services);
    return RunModel(controller, std::move(script));
  }

  int RunModel(Controller& controller, std::function<void(GtkWidget* dialog)> script) {
    script_ = std::move(script);
    g_timeout_add(100, +[](gpointer self) -> gboolean {
      auto* test = static_cast<GtkSlotDialogTest*>(self);
      GtkWidget* dialog = OpenDialog();
      if (dialog == nullptr) return G_SOURCE_CONTINUE;
      test->script_(dialog);
      return G_SOURCE_REMOVE;
    }, this);
    platform::GtkSlotDialogHost host;
    host.Run(nullptr, controller);
    return controller.Result();
  }

  std::function<void(GtkWidget*)> script_;
};

TEST_F(GtkSlotDialogTest, ListsTheSlotsSavesWithACommentPreviewsDeletesAndLoadsByDoubleClick) {
  const int saved = Run(Controller::kSaveMode, [](GtkWidget* dialog) {
    GtkTreeView* list = GTK_TREE_VIEW(FindNamed(dialog, "slot-list"));
    EXPECT_EQ(gtk_tree_model_iter_n_children(gtk_tree_view_get_model(list), nullptr), 99);
    GtkTreePath* path = gtk_tree_path_new_from_indices(2, -1);
    gtk_tree_selection_select_path(gtk_tree_view_get_selection(list), path);
    gtk_tree_path_free(path);
    EXPECT_TRUE(gtk_widget_get_sensitive(FindNamed(dialog, "ok"))) << "an empty slot takes a save";
    gtk_entry_set_text(GTK_ENTRY(FindNamed(dialog, "comment")), "ＧＴＫから");
    gtk_widget_activate(FindNamed(dialog, "comment"));  // Enter in the comment saves
  });
  EXPECT_EQ(saved, 2);
  ASSERT_TRUE(Save::SlotExists(3));
  EXPECT_EQ(platform::Cp932ToUtf16(Save::ReadSlotSummary(3).comment), u"ＧＴＫから");

  // Slot 5 holds a pure red picture.
  DxDraw::DxSurface* red = DxDraw::CreateSurface(32);
  red->Create(800, 600);
  red->FillRect(nullptr, 0xFF0000, 255);
  TextScript::ScriptVarTable vars;
  Save::SaveGameToSlot(5, u"red", {red, 0, &vars});
  red->Release();

  const int loaded = Run(Controller::kLoadMode, [](GtkWidget* dialog) {
    EXPECT_NE(FindNamed(dialog, "apply"), nullptr);
    GtkTreeView* list = GTK_TREE_VIEW(FindNamed(dialog, "slot-list"));
    GtkTreeSelection* selection = gtk_tree_view_get_selection(list);
    GtkTreePath* red = gtk_tree_path_new_from_indices(4, -1);
    gtk_tree_selection_select_path(selection, red);
    gtk_tree_path_free(red);
    GdkPixbuf* preview = gtk_image_get_pixbuf(GTK_IMAGE(FindNamed(dialog, "preview")));
    EXPECT_NE(preview, nullptr);
    if (preview != nullptr) {
      const guchar* pixel = gdk_pixbuf_get_pixels(preview) + 50 * gdk_pixbuf_get_rowstride(preview) + 70 * 3;
      EXPECT_EQ(pixel[0], 255) << "red";
      EXPECT_EQ(pixel[2], 0) << "blue";
    }
    gtk_button_clicked(GTK_BUTTON(FindNamed(dialog, "delete")));
    EXPECT_FALSE(Save::SlotExists(5));
    EXPECT_EQ(gtk_tree_selection_count_selected_rows(selection), 0) << "no row stays selected after a delete";

    // Enter in the comment of a load changes the comment and gives the list the focus back.
    GtkTreePath* path = gtk_tree_path_new_from_indices(2, -1);
    gtk_tree_selection_select_path(selection, path);
    gtk_test::Focus(FindNamed(dialog, "comment"));
    gtk_entry_set_text(GTK_ENTRY(FindNamed(dialog, "comment")), "直した");
    gtk_widget_activate(FindNamed(dialog, "comment"));
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(dialog)), GTK_WIDGET(list));
    gtk_tree_view_row_activated(list, path, gtk_tree_view_get_column(list, 0));
    gtk_tree_path_free(path);
  });
  EXPECT_EQ(loaded, 2);
  EXPECT_EQ(platform::Cp932ToUtf16(Save::ReadSlotSummary(3).comment), u"直した");
}

// A model that drops its selection while its lines stay: the list shows no row selected.
TEST_F(GtkSlotDialogTest, TheListDropsARowTheModelNoLongerSelects) {
  struct DropsOnDelete : Controller {
    using Controller::Controller;
    void Delete() override { Select(-1); }
  } model(Controller::kSaveMode, 3, {});
  RunModel(model, [](GtkWidget* dialog) {
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(FindNamed(dialog, "slot-list")));
    EXPECT_EQ(gtk_tree_selection_count_selected_rows(selection), 1);
    gtk_button_clicked(GTK_BUTTON(FindNamed(dialog, "delete")));
    EXPECT_EQ(gtk_tree_selection_count_selected_rows(selection), 0);
    gtk_button_clicked(GTK_BUTTON(FindNamed(dialog, "cancel")));
  });
}

// The close box, Escape and a quit signal each cancel the dialog, which ends
// at that answer: one still up on a later look ran again, and its cancel button ends it.
TEST_F(GtkSlotDialogTest, TheCloseBoxEscapeAndAQuitSignalCancelItOnce) {
  static int answers, looks;
  static bool quit;
  const platform::ModalCancelCheck previous = platform::SetModalCancelCheck([] { return quit; });
  for (int way = 0; way < 3; ++way) {
    answers = looks = 0;
    const guint again = g_timeout_add(50, +[](gpointer) -> gboolean {
      if (answers > 0 && ++looks > 1) quit = false, gtk_button_clicked(GTK_BUTTON(FindNamed(OpenDialog(), "cancel")));
      return G_SOURCE_CONTINUE;
    }, nullptr);
    EXPECT_EQ(Run(Controller::kSaveMode, [way](GtkWidget* dialog) {
      g_signal_connect(dialog, "response", G_CALLBACK(+[] { ++answers; }), nullptr);
      if (way == 0) gtk_window_close(GTK_WINDOW(dialog));
      if (way == 1) gtk_bindings_activate(G_OBJECT(dialog), GDK_KEY_Escape, GdkModifierType{});
      quit = way == 2;
    }), -1) << way;
    g_source_remove(again);
    EXPECT_EQ(answers, 1) << way;
  }
  platform::SetModalCancelCheck(previous);
}

}  // namespace
}  // namespace save_test
