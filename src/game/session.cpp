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

// The tail of every cycle, also after an error: the global records written,
// the lists and the scene records emptied.
void EndCycle(ScriptStateGroup_App& group) {
  if (Hooks().writeGlobalData) Hooks().writeGlobalData(group);
  group.ClearStrings();
  ClearSceneState();
  Backlog().Clear();
  AlbumList().clear();
}

// Title (when asked for), then the run. Returns the cycle's result.
int PlayCycle(ScriptStateGroup_App& group, int mode) {
  EnableMenuCommand(kMenuBackToTitle, true);
  SkipPrologue = 0;
  if (mode < 2) {
    int t = Hooks().showTitle ? Hooks().showTitle() : 1;
    if (t == -1) return 1;
    if (t == 0) return 0;
    mode = t == 1 ? kModeNewGame : t;
  }
  ClearSceneState();
  EnableMenuCommand(kMenuBackToTitle, true);
  EnableMenuCommand(kMenuLoad, true);
  int page = -1;
  if (mode < 2) {
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

}  // namespace

SessionHooks DefaultSessionHooks() {
  SessionHooks hooks;
  hooks.openSaveData = [](ScriptStateGroup_App& group) {
    Save::OpenSaveDataAtStart(group.SceneNameList(), AlbumList());
  };
  hooks.writeGlobalData = [](ScriptStateGroup_App& group) {
    Save::WriteGlobalData(group.SceneNameList(), AlbumList());
  };
  hooks.loadGameFromSlot = [](int entry) {
    Backlog().Clear();
    return Save::LoadGameFromSlot(entry, TextScript::ScriptVars(), TextScript::ScriptVarSnapshot());
  };
  hooks.quickSave = [] {
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
    return Save::QuickSave(inputs) == 1;
  };
  hooks.findLatestQuickSave = [] { return Save::FindLatestQuickSave(); };
  hooks.showBacklog = [] { BackLog(); };
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
  if (Hooks().openSaveData) Hooks().openSaveData(group);

  int result = 0;
  std::optional<ExceptionHandle> error;
  try {
    result = PlayCycle(group, mode);
  } catch (const ExceptionHandle& e) {
    error = e;
    result = 0;
  }
  EndCycle(group);
  if (error.has_value() && error->Type != kErrorTypeQuit) {
    ReportGameError(*error);
    return 1;
  }
  return result;
}

}  // namespace Game
