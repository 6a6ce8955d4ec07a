#include "game/session.h"

#include <optional>
#include <utility>

#include "archive/archive.h"
#include "dxdraw/dxview.h"
#include "game/backlog.h"
#include "game/game_env.h"
#include "game/holders.h"
#include "game/picture.h"
#include "game/game_state.h"
#include "game/script_app.h"
#include "game/stage.h"
#include "platform/message_box.h"
#include "platform/wformat.h"
#include "save/save_data.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

namespace Game {
namespace {

constexpr int kModeNewGame = 0;

// Keeps CurrentGroup pointing at a live group only.
struct CurrentGroupScope {
  explicit CurrentGroupScope(ScriptStateGroup_App* group) { CurrentGroup = group; }
  ~CurrentGroupScope() { CurrentGroup = nullptr; }
  CurrentGroupScope(const CurrentGroupScope&) = delete;
  CurrentGroupScope& operator=(const CurrentGroupScope&) = delete;
};

// The global records at the start of a cycle. A save file that can't be used
// is reported and the game goes on without it: nothing is written over it, and
// each save reports its own failure.
void OpenSaveData(ScriptStateGroup_App& group) {
  if (!Hooks().openSaveData) return;
  Save::ReportingSaveFailure(u"セーブファイルが使えないため、セーブせずに続けます。", [&] {
    Hooks().openSaveData(group);
    return true;
  });
}

// The global records from the group's lists; a failed write is reported, and
// the save data keeps them for its next write.
void WriteGlobalRecords(ScriptStateGroup_App& group) {
  if (!Hooks().writeGlobalData) return;
  Save::ReportingSaveFailure(u"進行状況を書き込めません。次に書き込むときにもう一度試します。", [&] {
    Hooks().writeGlobalData(group);
    return true;
  });
}

// The tail of every cycle, also after an error: the global records written,
// the lists and the scene records emptied.
void EndCycle(ScriptStateGroup_App& group) {
  WriteGlobalRecords(group);
  group.ClearStrings();
  ClearSceneState();
  Backlog().Clear();
  AlbumList().clear();
}

// Title (when asked for), then the run. Returns the cycle's result;
// `inTitle` stays set when the title leaves with an error.
int PlayCycle(ScriptStateGroup_App& group, int mode, bool& inTitle) {
  EnableMenuCommand(kMenuBackToTitle, true);
  SkipPrologue = 0;
  if (mode < 2) {
    inTitle = true;
    int t = Hooks().showTitle ? Hooks().showTitle() : 1;
    inTitle = false;
    if (t == -1) return 1;
    if (t == 0) return 0;
    mode = t == 1 ? kModeNewGame : t;
  }
  ClearSceneState();
  // A new game or a load begins with an empty backlog; the title's scene
  // replays ran inside this cycle, and none of their messages stay listed.
  Backlog().Clear();
  EnableMenuCommand(kMenuBackToTitle, true);
  EnableMenuCommand(kMenuLoad, true);
  int page = -1;
  if (mode < 2) {
    // A new game: a step back on its first page finds no variables of the last one.
    TextScript::ScriptVarSnapshot().Clear();
    if (SkipPrologue != 0) {
      TextScript::ScriptStateNode* prologueEnd = group.FindLabel(u"PRSK");
      if (prologueEnd != nullptr) page = static_cast<int>(prologueEnd->m_Page);
      SkipPrologue = 0;
    }
  } else if (Hooks().loadGameFromSlot) {
    page = Hooks().loadGameFromSlot(mode - 1);
  }
  TextScript::ReplayMode = 0;
  int result = group.Run(page);
  if (TextScript::ScriptVars().GetValue(u"REPR", 0) != 0) SetPrologueSeen();
  return result;
}

// Calls `save` with what a save of the running game stores, for the quick save
// and the slot dialog alike: the thumbnail's picture ("thumb/" and the
// background's first three bytes when the script archive holds that picture,
// else the picture the stage shows), the page, the variables' page snapshot,
// and the cycle's lists, so the global records go with the save.
template <class F>
auto WithSaveInputs(F save) {
  SurfaceHolder thumbnail;
  if (auto name = Save::ThumbnailPictureName(Save::GetSceneState())) {
    if (FileExistsInArchive(ScriptArchive, *name + u".tif") || FileExistsInArchive(ScriptArchive, *name + u".png")) {
      thumbnail.reset(ScriptLoadImage(ScriptArchive, *name, 0, 0));
    }
  }
  Save::SaveInputs inputs;
  inputs.picture = thumbnail ? thumbnail.get() : (StageSprite != nullptr ? StageSprite->GetImage() : nullptr);
  inputs.resumePage = static_cast<int32_t>(TextScript::CurrentPage);
  inputs.variables = &TextScript::ScriptVarSnapshot();
  if (CurrentGroup != nullptr) {
    inputs.sceneNames = &CurrentGroup->SceneNameList();
    inputs.album = &AlbumList();
  }
  return save(inputs);
}

}  // namespace

void WriteProgress() {
  if (CurrentGroup != nullptr) WriteGlobalRecords(*CurrentGroup);
}

void SaveGameToSlot(int number, std::u16string_view comment) {
  WithSaveInputs([&](const Save::SaveInputs& inputs) { Save::SaveGameToSlot(number, comment, inputs); });
}

SessionHooks DefaultSessionHooks() {
  SessionHooks hooks;
  hooks.openSaveData = [](ScriptStateGroup_App& group) {
    Save::OpenSaveDataAtStart(group.SceneNameList(), AlbumList());
  };
  hooks.writeGlobalData = [](ScriptStateGroup_App& group) {
    Save::WriteGlobalData(group.SceneNameList(), AlbumList());
  };
  hooks.loadGameFromSlot = [](int entry) {
    return Save::LoadGameFromSlot(entry, TextScript::ScriptVars(), TextScript::ScriptVarSnapshot());
  };
  hooks.quickSave = [] {
    return WithSaveInputs([](const Save::SaveInputs& inputs) { return Save::QuickSave(inputs) == 1; });
  };
  hooks.findLatestQuickSave = [] { return Save::FindLatestQuickSave(); };
  hooks.slotLoadable = [](int entry) { return Save::SlotLoadable(entry); };
  hooks.showBacklog = [] { ShowBacklogScreen(); };
  return hooks;
}

SessionHooks& Hooks() {
  static SessionHooks hooks = DefaultSessionHooks();
  return hooks;
}

void SetSessionHooks(SessionHooks hooks) { Hooks() = std::move(hooks); }

void ShowEnding() {
  if (Hooks().showEnding) Hooks().showEnding();
}

bool AskYesNo(std::u16string_view text) {
  if (Hooks().askYesNo) return Hooks().askYesNo(text);
  return platform::ShowMessageBox(nullptr, text, u"", platform::MB_YESNO | platform::MB_ICONQUESTION) ==
         platform::IDYES;
}

void ShowNotice(std::u16string_view text, uint32_t ms) {
  if (Hooks().showNotice) Hooks().showNotice(text, ms);
}

void ReportGameError(const ExceptionHandle& record) {
  if (Hooks().reportError) {
    Hooks().reportError(record);
    return;
  }
  std::u16string text = platform::FormatString(u"%s(%d): %s", record.Source, record.Line, record.Message);
  platform::ShowMessageBox(nullptr, text, u"Error", platform::MB_OK | platform::MB_ICONERROR);
}

int RunGameSession(std::u16string_view scriptName, int mode) {
  ScriptStateGroup_App group;
  CurrentGroupScope current(&group);

  group.LoadTables(LoadScriptFile(u"iv.txt"));
  std::string script = LoadScriptFile(scriptName);
  group.Compile(script, scriptName);

  group.ClearStrings();
  ClearScriptVariables();
  ClearSceneState();
  Backlog().Clear();
  AlbumList().clear();
  OpenSaveData(group);

  int result = 0;
  bool inTitle = false;
  std::optional<ExceptionHandle> error;
  try {
    result = PlayCycle(group, mode, inTitle);
  } catch (const ExceptionHandle& e) {
    error = e;
    result = 0;
  }
  EndCycle(group);
  if (error.has_value() && error->Type != kErrorTypeQuit) {
    ReportGameError(*error);
    // Showing the title again would only raise the same error again.
    return inTitle ? kSessionFailed : 1;
  }
  return result;
}

bool QuickSaveGame() {
  if (!Hooks().quickSave) return false;
  return Save::ReportingSaveFailure(u"セーブできませんでした。", [] { return Hooks().quickSave(); });
}

int QuickLoadSlot() {
  if (!Hooks().findLatestQuickSave) return -1;
  int slot = -1;
  bool whole = true;
  const bool read = Save::ReportingSaveFailure(u"ロードできませんでした。", [&] {
    slot = Hooks().findLatestQuickSave();
    if (slot >= 0 && Hooks().slotLoadable) whole = Hooks().slotLoadable(slot + 1);
    return true;
  });
  if (!read || slot < 0) return -1;
  if (!whole) {
    Save::ShowDamagedSlot(slot);
    return -1;
  }
  return slot;
}

}  // namespace Game
