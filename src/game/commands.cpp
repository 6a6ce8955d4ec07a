// The command executor and the commands for pictures, sound, scene names,
// the window, flashes and endings. The message line, the page break and the
// choices are in message_cmd.cpp and select_cmd.cpp.
#include <algorithm>

#include "app/settings.h"
#include "app/frame.h"
#include "dxdraw/dxsurface.h"
#include "message/messwindow.h"
#include "game/game_env.h"
#include "game/game_sound.h"
#include "game/message_stage.h"
#include "game/picture.h"
#include "game/screen_parts.h"
#include "game/script_app.h"
#include "game/session.h"
#include "game/stage.h"
#include "platform/text.h"
#include "sound/sound.h"
#include "textscript/script_host.h"
#include "textscript/script_vars.h"

namespace Game {

using TextScript::ScriptStateNode;

namespace {

constexpr std::size_t kAlbumKeyUnits = 3;
constexpr std::size_t kSceneNameRoom = sizeof(Save::SceneStateRecord::name) - 1;

bool IsName(std::u16string_view a, std::u16string_view b) { return TextScript::ScriptNameEqual(a, b); }

// The character-layer record: the CHL pictures on the stage in the order shown,
// joined by ','; the oldest are dropped when the record is full. A picture
// already there (the page shown again after a load or a step back) is not
// added twice.
void AddCharacterLayer(std::u16string_view name) {
  std::u16string layers;
  if (SceneRecordState(Save::kSceneCharacter) != 0) layers = SceneRecordName(Save::kSceneCharacter);
  for (std::size_t start = 0; start <= layers.size();) {
    std::size_t end = std::min(layers.find(u',', start), layers.size());
    if (IsName(std::u16string_view(layers).substr(start, end - start), name)) return;
    start = end + 1;
  }
  if (!layers.empty()) layers += u',';
  layers += name;
  while (platform::Utf16ToCp932(layers).size() > kSceneNameRoom) {
    std::size_t comma = layers.find(u',');
    if (comma == std::u16string::npos) break;
    layers.erase(0, comma + 1);
  }
  SetSceneRecord(Save::kSceneCharacter, 1, layers);
}

}  // namespace

ScriptStateGroup_App* ScriptStateNode_App::AppGroup() const {
  return static_cast<ScriptStateGroup_App*>(Group());
}

ScriptStateNode* ScriptStateNode_App::Execute() {
  // The base run loop swallows a step-back request (as any ScriptException it
  // does not know) and an error record (ending the run quietly), so both are
  // also noted in the group: ScriptStateGroup_App::Run acts on them once the
  // base run has returned, restarting the page or raising the record again
  // after the stage is torn down.
  try {
    return Dispatch();
  } catch (const ScriptException& e) {
    if (e.code == ScriptException::kStepBack) AppGroup()->m_StepBack = true;
    throw;
  } catch (const ExceptionHandle& e) {
    AppGroup()->m_Error = e;
    throw;
  } catch (TextScript::ScriptError& e) {
    e.line = m_Line;
    throw;
  } catch (TextScript::ScriptError2& e) {
    e.line = m_Line;
    throw;
  }
}

ScriptStateNode* ScriptStateNode_App::Dispatch() {
  using namespace TextScript;
  switch (m_Opcode) {
    case kOpMessage:
      return MessageLine();
    case kOpPageBreak:
      return PageBreak();
    case kOpGRP:
    case kOpCHR:
    case kOpCHL:
      return Picture();
    case kOpWAV:
    case kOpVOI:
      return Sound();
    case kOpS1A:
    case kOpS1B:
    case kOpS1M:
    case kOpS2A:
    case kOpS2B:
    case kOpS2M:
      return SoundEffect();
    case kOpSEL:
      return Select();
    case kOpSSL:
      return SelectionScreen();
    case kOpSFS:
      AddName(AppGroup()->SceneNameList(), [&] {
        std::u16string upper(Arg(0));
        UpperCaseScriptName(upper);
        return upper;
      }());
      return GetNext();
    case kOpTOF:
      CloseMessageWindow();
      MessageShown = 0;
      return GetNext();
    case kOpEND:
    case kOpEND1:
    case kOpEND2:
      return Ending();
    case kOpSED:
      if (ReplayMode == 0) return GetNext();
      return PageBreak();
    case kOpFLS:
      return Flash();
    default:
      return ExecuteBase();
  }
}

ScriptStateNode* ScriptStateNode_App::Picture() {
  std::u16string_view name = Arg(0);
  bool now = App::Settings().game.display_speed == 1 || SkipMode != 0;
  if (m_Opcode == TextScript::kOpGRP && IsName(name, u"BLACK")) {
    if (now) FillStageNow(kBlack);
    else FadeOutStage();
    SetSceneRecord(Save::kSceneBackground, 0);
    SetSceneRecord(Save::kSceneCharacter, 0);
  } else if (m_Opcode == TextScript::kOpGRP && IsName(name, u"WHITE")) {
    if (now) FillStageNow(kWhite);
    else FadeToWhite();
    SetSceneRecord(Save::kSceneBackground, 1);
    SetSceneRecord(Save::kSceneCharacter, 0);
  } else if (m_Opcode == TextScript::kOpGRP) {
    SetSceneRecord(Save::kSceneBackground, 2, name);
    SetSceneRecord(Save::kSceneCharacter, 0);
    AddName(AlbumList(), name.substr(0, kAlbumKeyUnits));
    ComposeGrpPicture(name);
    StageFlags |= kStagePending;
  } else {
    if (m_Opcode == TextScript::kOpCHR) {
      SetSceneRecord(Save::kSceneBackground, 3, name);
      SetSceneRecord(Save::kSceneCharacter, 0);
    } else {
      AddCharacterLayer(name);
    }
    LoadCharacterImage(name, m_Opcode);
    StageFlags |= kStagePending;
  }
  return GetNext();
}

ScriptStateNode* ScriptStateNode_App::Sound() {
  std::u16string_view name = Arg(0);
  if (m_Opcode == TextScript::kOpVOI) {
    // A voice beside a message line is played by the message.
    bool besideMessage = (GetNext() != nullptr && GetNext()->m_Opcode == TextScript::kOpMessage) ||
                         (GetPrev() != nullptr && GetPrev()->m_Opcode == TextScript::kOpMessage);
    if (!besideMessage) PlayVoiceLine(name);
    return GetNext();
  }
  if (IsName(name, u"00")) {
    StopSound(GetChannelPlayId(kChannelBgm));
    SetSceneRecord(Save::kSceneBgm, 0);
  } else {
    PlayBgmOrVoice(kChannelBgm, name, 0);
    SetSceneRecord(Save::kSceneBgm, 1, name);
  }
  return GetNext();
}

ScriptStateNode* ScriptStateNode_App::SoundEffect() {
  using namespace TextScript;
  bool first = m_Opcode <= kOpS1M;
  int channel = first ? kChannelSe1 : kChannelSe2;
  auto slot = first ? Save::kSceneSe1 : Save::kSceneSe2;
  int kind = m_Opcode - (first ? kOpS1A : kOpS2A);  // 0 once, 1 loop, 2 stop
  if (kind == 2) {
    StopSound(GetChannelPlayId(channel));
    SetSceneRecord(slot, 0);
  } else {
    SetSceneRecord(slot, static_cast<uint8_t>(kind + 1), Arg(0));
    PlaySe(channel, Arg(0), kind);
  }
  return GetNext();
}

ScriptStateNode* ScriptStateNode_App::Flash() {
  int count = TextScript::ScriptVars().GetValue(Arg(0), 0);
  FlashStage(count);
  // A picture still waiting is what the records describe; otherwise the stage is white.
  if ((StageFlags & kStagePending) == 0) {
    SetSceneRecord(Save::kSceneBackground, 1);
    SetSceneRecord(Save::kSceneCharacter, 0);
  }
  return GetNext();
}

ScriptStateNode* ScriptStateNode_App::Ending() {
  {
    auto* black = new DxDraw::DxSurfaceSprite32(kStageWidth, kStageHeight);
    black->FillRect(nullptr, kBlack, 255);
    black->m_Param.Flags = DxDraw::BLT_FADE;
    black->m_Param.Level = 0;
    StageLayers[kTopLayer]->AddChild(black);  // stays until the stage is torn down
    RampLevel(0, 255, 5, [black](int level) {
      black->m_Param.Level = level;
      black->SetChanged(DxDraw::kChangedShown);
    });
  }
  if (MessageWindow != nullptr) MessageWindow->Hide();
  MessageShown = 0;
  App::WaitNextFrame();
  App::WaitTime(3000, App::kWaitPlain);
  if (m_Opcode != TextScript::kOpEND1) ShowEnding();
  throw ScriptException{ScriptException::kBackToTitle};
}

}  // namespace Game
