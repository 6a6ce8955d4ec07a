// The scene replay: the page screen over the running game's scene names, and
// the run of one scene in replay mode.
#include "game/replay.h"

#include <string>

#include "core/exception.h"
#include "game/album.h"
#include "game/config.h"
#include "game/extras.h"
#include "game/game_env.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/script_app.h"
#include "game/session.h"
#include "textscript/script_host.h"
#include "textscript/script_state.h"

namespace Game {
namespace {

constexpr const char16_t* kReplayMenuText = u"再生メニューに戻る(&X)";

MenuTextSwitch& MenuText() {
  static MenuTextSwitch menuText;
  return menuText;
}

}  // namespace

void SetMenuTextSwitch(MenuTextSwitch menuText) { MenuText() = std::move(menuText); }

ReplayEnd PlayReplayScene(ScriptStateGroup_App& group, std::u16string_view label) {
  TextScript::ScriptStateNode* start = group.FindLabel(label);
  if (start == nullptr) {
    const std::u16string name(label);
    ReportGameError(MakeError(u"script/scr_gui", 0, kErrorTypeError, nullptr, u"ラベルが見つかりません。[%s]",
                              name.c_str()));
    return ReplayEnd::kMissingLabel;
  }
  EnableMenuCommand(kMenuBackToTitle, true);
  EnableMenuCommand(kMenuLoad, true);
  struct Restore {
    std::u16string menuText;
    bool changed = false;
    ~Restore() {
      TextScript::ReplayMode = 0;
      if (changed) MenuText()(kMenuBackToTitle, menuText);
    }
  } restore;
  if (MenuText()) {
    restore.menuText = MenuText()(kMenuBackToTitle, kReplayMenuText);
    restore.changed = true;
  }
  TextScript::ReplayMode = 1;
  ClearSceneState();
  Backlog().Clear();  // each replay lists its own messages only
  const int result = group.Run(static_cast<int>(start->m_Page));
  return result >= 2 ? ReplayEnd::kLoad : ReplayEnd::kReturned;
}

void ShowScenePlay() {
  bool load = false;
  GalleryActions actions;
  actions.beforePage = [] { PlayBgmOrVoice(kChannelBgm, GetSystemConfig().titleMusic, 1); };
  actions.unlocked = [](const GalleryItem& item) {
    return CurrentGroup != nullptr && ContainsName(CurrentGroup->SceneNameList(), item.flag);
  };
  actions.choose = [&load](const GalleryItem& item) {
    if (CurrentGroup == nullptr) return true;
    load = PlayReplayScene(*CurrentGroup, item.flag) == ReplayEnd::kLoad;
    return !load;
  };
  RunGallery(GalleryNames{u"sceneplay", u"title/s_p", u"title/s_thumb1"}, actions);
  if (load) throw ScriptException{ScriptException::kLoad};
}

}  // namespace Game
