// The slot dialog's logic, headless: its lines, buttons, preview, questions and
// what each button does to the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "core/exception.h"
#include "dxdraw/dxsurface.h"
#include "platform/message_box.h"
#include "save/save_dialog.h"
#include "save_test_util.h"
#include "textscript/script_vars.h"

namespace save_test {
namespace {

using Controller = Save::SlotDialogController;

// Runs a script of events on the model instead of a window.
class ScriptedHost : public platform::ISlotDialogHost {
 public:
  std::function<void(platform::ISlotDialogModel&)> script;
  void Run(platform::WindowHandle, platform::ISlotDialogModel& model) override { script(model); }
};

class SlotDialogTest : public SaveFolderTest {
 protected:
  void SetUp() override {
    SaveFolderTest::SetUp();
    Save::NameList scene, album;
    Save::OpenSaveDataAtStart(scene, album);
  }

  // Services that record the questions and answer with `answer_`.
  Controller::Services Services() {
    Controller::Services s;
    s.ask = [this](std::u16string_view text, std::u16string_view caption) {
      questions_.push_back(std::u16string(caption) + u":" + std::u16string(text));
      return answer_;
    };
    s.save = [this](int number, std::u16string_view comment) {
      if (failSave_) ThrowError(u"test", __LINE__, u"disk full");
      TextScript::ScriptVarTable vars;
      Save::SaveGameToSlot(number, comment, {picture_, 0, &vars});
    };
    s.report = [this](std::u16string_view, const ExceptionHandle& e) { reports_.push_back(e.Message); };
    s.refuse = [this](int slot) { reports_.push_back(Save::DamagedSlotText(slot)); };
    return s;
  }
  void SaveSlot(int number, std::u16string_view comment) {
    TextScript::ScriptVarTable vars;
    Save::SaveGameToSlot(number, comment, {picture_, 0, &vars});
  }

  bool answer_ = true;
  bool failSave_ = false;
  DxDraw::DxSurface* picture_ = nullptr;
  std::vector<std::u16string> questions_, reports_;
};

TEST(SlotLine, StoredEmptyAndLastSavedLinesHaveTheirFixedFormat) {
  Save::SlotSummary summary{"abc", {2026, 12, 1, 7, 8, 9, 10, 0}};
  EXPECT_EQ(Save::SlotLine(4, true, &summary), u">05 2026/12/07 08:09:10 abc" + std::u16string(27, u' ') + u" ");
  EXPECT_EQ(Save::SlotLine(6, false, nullptr), u" 07 ----/--/-- --:--:-- --------------------------------");
  EXPECT_EQ(Save::SlotLine(98, true, nullptr)[0], u'>');
}

TEST_F(SlotDialogTest, ListMarksTheLastSavedSlotAndShowsStoredComments) {
  SaveSlot(3, u"三番");
  Save::GetCommonData().lastSavedSlot = 2;
  Controller dialog(Controller::kLoadMode, 2, Services());
  ASSERT_EQ(dialog.Lines().size(), 99u);
  EXPECT_EQ(std::count_if(dialog.Lines().begin(), dialog.Lines().end(),
                          [](const std::u16string& line) { return line[0] == u'>'; }),
            1);
  EXPECT_EQ(dialog.Lines()[2].substr(0, 4), u">03 ");
  EXPECT_NE(dialog.Lines()[2].find(u"三番"), std::u16string::npos);
  EXPECT_EQ(dialog.Lines()[6], u" 07 ----/--/-- --:--:-- --------------------------------");
  EXPECT_EQ(dialog.Comment(), u"三番");
  EXPECT_EQ(dialog.Title(), u"ロード");
  EXPECT_TRUE(dialog.HasApplyButton());
}

TEST_F(SlotDialogTest, ButtonsFollowTheSelectedSlotInLoadModeOnlyAndThePreviewInBoth) {
  DxDraw::DxSurface* stage = DxDraw::CreateSurface(32);
  stage->Create(800, 600);
  stage->FillRect(nullptr, 0x336699, 255);
  picture_ = stage;
  SaveSlot(1, u"one");
  stage->Release();
  picture_ = nullptr;

  Controller dialog(Controller::kLoadMode, -1, Services());
  Controller saving(Controller::kSaveMode, -1, Services());
  struct Case {
    Controller& dialog;
    int line;
    bool enabled;
    std::u16string comment;
    bool grey;
  } cases[] = {{dialog, 0, true, u"one", false},
               {dialog, 1, false, u"", true},
               {dialog, -1, false, u"", true},
               {saving, 1, true, u"", true},  // an empty slot takes a save
               {saving, 0, true, u"one", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE((&c.dialog == &saving ? "save, line " : "load, line ") + std::to_string(c.line));
    c.dialog.Select(c.line);
    EXPECT_EQ(c.dialog.OkEnabled(), c.enabled);
    EXPECT_EQ(c.dialog.DeleteEnabled(), c.enabled);
    EXPECT_EQ(c.dialog.Comment(), c.comment);
    EXPECT_EQ(c.dialog.Preview().front() == 0x808080, c.grey);
  }
  saving.Select(Save::kSlotCount);  // past the list: nothing to save into
  saving.Ok();
  EXPECT_FALSE(saving.Finished());
  dialog.DoubleClick(1);
  EXPECT_FALSE(dialog.Finished());
  dialog.DoubleClick(0);
  EXPECT_TRUE(dialog.Finished());
  EXPECT_EQ(dialog.Result(), 0);
}

// A slot that doesn't read whole is refused before the dialog ends, so the
// running game is never left for it; a header that can't be read is listed so.
TEST_F(SlotDialogTest, ASlotThatDoesNotReadWholeIsRefusedAndADamagedHeaderListedSo) {
  struct Case {
    const char* what;
    std::function<void(RawDb&)> damage;
    bool listedDamaged;
  } cases[] = {
      {"a shorter header", [](RawDb& db) { db.Column("UPDATE entry SET header=zeroblob(100) WHERE number=3"); }, true},
      {"a longer header", [](RawDb& db) { db.Column("UPDATE entry SET header=zeroblob(65797) WHERE number=3"); }, true},
      {"variables cut short", [](RawDb& db) { db.Put("UPDATE entry SET value_data=? WHERE number=3", {'A', 0, 1, 2}); },
       false},
      {"a scene name without its end",
       [](RawDb& db) {
         std::vector<uint8_t> header = db.Blob("SELECT header FROM entry WHERE number=3");
         std::fill(header.end() - 32, header.end(), uint8_t{'A'});
         db.Put("UPDATE entry SET header=? WHERE number=3", header);
       },
       true},
      {"a first scene name without its end, the next state zero",
       [](RawDb& db) {
         std::vector<uint8_t> header = db.Blob("SELECT header FROM entry WHERE number=3");
         std::fill(header.end() - 159, header.end() - 128, uint8_t{'A'});
         header.end()[-128] = 0;
         db.Put("UPDATE entry SET header=? WHERE number=3", header);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SaveSlot(3, u"three");
    {
      RawDb db(File());
      c.damage(db);
    }
    reports_.clear();
    Controller dialog(Controller::kLoadMode, 2, Services());
    if (c.listedDamaged) {
      EXPECT_EQ(dialog.Lines()[2], u" 03 ----/--/-- --:--:-- 破損");
    } else {
      EXPECT_NE(dialog.Lines()[2].find(u"three"), std::u16string::npos);
    }
    EXPECT_TRUE(reports_.empty()) << "selecting it is quiet";
    dialog.Ok();
    dialog.DoubleClick(2);
    EXPECT_FALSE(dialog.Finished());
    EXPECT_EQ(reports_, std::vector<std::u16string>(2, u"3番のデータは壊れているため、ロードできません。"));
  }
}

TEST_F(SlotDialogTest, EnterWhileTypingACommentStoresItInsteadOfLoading) {
  SaveSlot(4, u"old");
  Controller dialog(Controller::kLoadMode, 3, Services());
  dialog.CommentFocus(true);
  dialog.EditComment(u"新しいコメント");
  dialog.TakeListFocusRequest();
  dialog.Ok();
  EXPECT_FALSE(dialog.Finished());
  EXPECT_TRUE(dialog.TakeListFocusRequest());
  EXPECT_EQ(platform::Cp932ToUtf16(Save::ReadSlotSummary(4).comment), u"新しいコメント");
  EXPECT_NE(dialog.Lines()[3].find(u"新しいコメント"), std::u16string::npos);
  dialog.Ok();  // the focus went back to the list: now it loads
  EXPECT_TRUE(dialog.Finished());
  EXPECT_EQ(dialog.Result(), 3);
}

TEST_F(SlotDialogTest, CommentBoxKeepsAtMost32BytesWithoutSplittingACharacter) {
  Controller dialog(Controller::kSaveMode, 0, Services());
  dialog.EditComment(std::u16string(40, u'a'));
  EXPECT_EQ(dialog.Comment(), std::u16string(32, u'a'));
  dialog.EditComment(u"a" + std::u16string(20, u'あ'));  // 41 bytes
  EXPECT_EQ(dialog.Comment(), u"a" + std::u16string(15, u'あ'));
}

TEST_F(SlotDialogTest, SaveModeAsksBeforeOverwritingAndSavesInsideTheDialog) {
  SaveSlot(2, u"keep");
  Controller dialog(Controller::kSaveMode, -1, Services());
  EXPECT_FALSE(dialog.HasApplyButton());
  EXPECT_EQ(dialog.OkText(), u"セーブ");
  dialog.Ok();  // nothing selected
  EXPECT_FALSE(dialog.Finished());

  dialog.Select(1);
  answer_ = false;
  dialog.EditComment(u"new");
  dialog.Ok();
  EXPECT_FALSE(dialog.Finished());
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0], u"上書き:2番のデータに上書きしてもよろしいですか？");
  EXPECT_EQ(Save::ReadSlotSummary(2).comment, "keep");

  answer_ = true;
  dialog.EditComment(u"new");
  dialog.Ok();
  EXPECT_TRUE(dialog.Finished());
  EXPECT_EQ(dialog.Result(), 1);
  EXPECT_EQ(Save::ReadSlotSummary(2).comment, "new");
}

TEST_F(SlotDialogTest, AFailedSaveIsReportedAndTheDialogStaysOpen) {
  failSave_ = true;
  Controller dialog(Controller::kSaveMode, 5, Services());
  dialog.EditComment(u"typed");
  dialog.Ok();
  EXPECT_FALSE(dialog.Finished());
  EXPECT_EQ(dialog.Comment(), u"typed");
  EXPECT_EQ(reports_, std::vector<std::u16string>{u"disk full"});
  EXPECT_FALSE(Save::SlotExists(6));
}

// Another program holds the file locked: the one box of the save data says
// where and why, once, and no slot is offered as empty to be saved over.
TEST_F(SlotDialogTest, AListThatCantBeReadSaysSoAndOffersNoSlot) {
  SaveSlot(5, u"five");
  Save::CSaveDatabase::Instance().SetBusyTimeout(50);
  RawDb other(File());
  ASSERT_EQ(sqlite3_exec(other.get(), "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
  platform::HeadlessMessageBox boxes;
  boxes.SetEcho(false);
  platform::IMessageBox* previous = platform::SetMessageBoxService(&boxes);
  for (Controller::Mode mode : {Controller::kSaveMode, Controller::kLoadMode}) {
    SCOPED_TRACE(mode);
    Controller::Services services = Services();
    services.report = nullptr;  // the save data's own box
    Controller dialog(mode, 4, services);
    EXPECT_EQ(dialog.Lines()[4], u" 05 ----/--/-- --:--:-- 読み込めません");
    EXPECT_EQ(dialog.Lines()[6], u" 07 ----/--/-- --:--:-- 読み込めません");
    EXPECT_FALSE(dialog.OkEnabled());
    EXPECT_FALSE(dialog.DeleteEnabled());
    dialog.Select(6);
    dialog.Ok();
    dialog.Delete();
    EXPECT_FALSE(dialog.Finished());
  }
  platform::SetMessageBoxService(previous);
  EXPECT_TRUE(questions_.empty());
  const auto shown = boxes.shown();
  ASSERT_EQ(shown.size(), 2u) << "one box a dialog";
  const std::u16string path = Save::CSaveDatabase::Instance().FilePath();
  EXPECT_EQ(shown[0].text.rfind(u"セーブデータの一覧を読み込めません。\n" + path + u"\n", 0), 0u);
  sqlite3_exec(other.get(), "ROLLBACK;", nullptr, nullptr, nullptr);
  EXPECT_FALSE(Save::SlotExists(7));
}

TEST_F(SlotDialogTest, DeletingAsksThenLeavesNoSelectionAndAGreyPreview) {
  SaveSlot(8, u"x");
  Controller dialog(Controller::kSaveMode, 7, Services());
  answer_ = false;
  dialog.Delete();
  EXPECT_TRUE(Save::SlotExists(8));
  answer_ = true;
  dialog.Delete();
  EXPECT_EQ(questions_.back(), u"削除:8番のデータを削除してもよろしいですか？");
  EXPECT_FALSE(Save::SlotExists(8));
  EXPECT_EQ(dialog.Selection(), -1);
  EXPECT_EQ(dialog.Preview().front(), 0x808080u);
  EXPECT_EQ(dialog.Lines()[7], u" 08 ----/--/-- --:--:-- --------------------------------");
  dialog.Delete();  // nothing selected: no question
  EXPECT_EQ(questions_.size(), 2u);
}

TEST_F(SlotDialogTest, ShowingTheDialogSetsTheLastSavedSlotOnlyForASave) {
  ScriptedHost host;
  platform::ISlotDialogHost* previous = Save::SetSlotDialogHost(&host);
  struct Case {
    int mode;
    std::function<void(platform::ISlotDialogModel&)> script;
    int result;
    int lastSaved;
  } cases[] = {
      {Controller::kSaveMode, [](platform::ISlotDialogModel& m) { m.Cancel(); }, -1, 40},
      {Controller::kSaveMode, [](platform::ISlotDialogModel& m) { m.Select(9); m.Ok(); }, 9, 9},
      {Controller::kLoadMode, [](platform::ISlotDialogModel& m) { m.Select(9); m.Ok(); }, 9, 40},
  };
  for (const Case& c : cases) {
    Save::GetCommonData().lastSavedSlot = 40;
    host.script = c.script;
    EXPECT_EQ(Save::ShowSaveLoadDialog(c.mode, nullptr, Services()), c.result);
    EXPECT_EQ(Save::GetCommonData().lastSavedSlot, c.lastSaved);
  }
  Save::SetSlotDialogHost(previous);
}

}  // namespace
}  // namespace save_test
