#include "game/script_app.h"

#include "app/settings.h"
#include "app/frame.h"
#include "archive/archive.h"
#include "dxdraw/dxsurface.h"
#include "game/game_env.h"
#include "game/game_sound.h"
#include "game/message_stage.h"
#include "game/picture.h"
#include "game/stage.h"
#include "textscript/script_host.h"
#include "textscript/script_vars.h"

namespace Game {

ScriptStateGroup_App* CurrentGroup = nullptr;

namespace {

constexpr int kMessageCloseNow = 0x5000;
constexpr std::size_t kDebugLabelUnits = 31;

// Tears the stage down on every way out of a run: the message window, the
// sprites and surfaces, the sounds. The frame after a normal end is the
// caller's.
struct StageScope {
  StageScope() {
    BuildStage();
    BuildMessageWindow();
  }
  ~StageScope() {
    ReleaseMessageWindow();
    TearDownStage();
    StopGameChannels();
  }
  StageScope(const StageScope&) = delete;
  StageScope& operator=(const StageScope&) = delete;
};

// The character-layer record holds the CHL pictures shown, in order, joined by
// this separator.
constexpr char16_t kLayerSeparator = u',';

}  // namespace

ScriptStateGroup_App::ScriptStateGroup_App() = default;

ScriptStateGroup_App::~ScriptStateGroup_App() {
  if (CurrentGroup == this) CurrentGroup = nullptr;
}

TextScript::ScriptStateNode* ScriptStateGroup_App::NewNode() { return AdoptNode(new ScriptStateNode_App); }

int ScriptStateGroup_App::OnMessage(int message, intptr_t a, intptr_t b) {
  (void)a, (void)b;
  if (message != kMessageCloseNow) return 0;
  CloseMessageWindowNow();
  StopGameChannels();
  return 1;
}

void ScriptStateGroup_App::RequestDebugJump(std::u16string_view label) {
  m_DebugJumpLabel = label.substr(0, kDebugLabelUnits);
  m_DebugJumpPending = 1;
}

TextScript::ScriptStateNode* ScriptStateGroup_App::TakeDebugJump() {
  if (m_DebugJumpPending == 0 || App::Settings().options.debug_level == 0) return nullptr;
  m_DebugJumpPending = 0;
  TextScript::ScriptStateNode* target = FindLabel(m_DebugJumpLabel);
  if (target == nullptr) return nullptr;
  FillStageNow(kBlack);
  return target;
}

void ScriptStateGroup_App::RestoreScene() {
  using Save::SceneSlot;
  if (SceneRecordState(Save::kSceneBgm) != 0) {
    PlayBgmOrVoice(kChannelBgm, SceneRecordName(Save::kSceneBgm), 1);
  }
  if (SceneRecordState(Save::kSceneSe1) == 2) PlaySe(kChannelSe1, SceneRecordName(Save::kSceneSe1), 1);
  if (SceneRecordState(Save::kSceneSe2) == 2) PlaySe(kChannelSe2, SceneRecordName(Save::kSceneSe2), 1);
  switch (SceneRecordState(Save::kSceneBackground)) {
    case 0:
      FillStage(kBlack);
      break;
    case 1:
      FillStage(kWhite);
      break;
    case 2:
      StageFlags |= kStagePending;
      ComposeGrpPicture(SceneRecordName(Save::kSceneBackground));
      break;
    case 3:
      StageFlags |= kStagePending;
      LoadCharacterImage(SceneRecordName(Save::kSceneBackground), 3);
      break;
    default:
      break;
  }
  std::u16string layers = SceneRecordName(Save::kSceneCharacter);
  for (std::size_t start = 0; start < layers.size();) {
    std::size_t end = layers.find(kLayerSeparator, start);
    if (end == std::u16string::npos) end = layers.size();
    if (end > start) {
      StageFlags |= kStagePending;
      LoadCharacterImage(layers.substr(start, end - start), 4);
    }
    start = end + 1;
  }
}

int ScriptStateGroup_App::Run(int page) {
  // Pages are numbered from 1 at their breaks: page 0, the text before the
  // first break, starts at the head of the script.
  if (page == 0) page = -1;
  for (;;) {
    SkipMode = 0;
    AutoMode = 0;
    MessageShown = 0;
    m_DebugJumpPending = 0;
    m_StepBack = false;
    m_Error.reset();
    int result = 0;
    {
      StageScope stage;
      RestoreScene();
      result = TextScript::ScriptStateGroup::Run(page);
      if (m_Error.has_value()) {
        ExceptionHandle error = *m_Error;
        m_Error.reset();
        throw error;
      }
    }
    if (m_StepBack) {
      // Back to the start of the page on screen, as a load of a save made now:
      // the variables of the page's start, the scene records as they stand.
      // The player stays in the same reading: the backlog keeps what came
      // before the page, and the page's messages are logged again as shown.
      page = TextScript::CurrentPage == 0 ? -1 : static_cast<int>(TextScript::CurrentPage);
      TextScript::ScriptVars().CopyFrom(TextScript::ScriptVarSnapshot());
      Backlog().BackToPageStart();
      continue;
    }
    try {
      App::WaitNextFrame();
    } catch (const ScriptException&) {
      // The run is over already; a request arriving now has nothing to leave.
    }
    if (result == 1) return 1;
    if (result == 2) return LoadSlot + 2;
    return 0;
  }
}

std::string LoadScriptFile(std::u16string_view name) {
  uint32_t length = 0;
  char* text = ScriptArchive != nullptr ? LoadArchiveTextFile(ScriptArchive, name, nullptr, &length) : nullptr;
  if (text == nullptr) {
    std::u16string copy(name);
    throw MakeError(u"script/scr_gui", 2977, kErrorTypeError, nullptr, u"Script: file not found '%s'",
                    copy.c_str());
  }
  std::string result(text, length);
  std::free(text);
  return result;
}

void ClearScriptVariables() { TextScript::ScriptVars().Clear(); }

void EndScriptRuntime() { TextScript::ScriptVarSnapshot().Clear(); }

}  // namespace Game
