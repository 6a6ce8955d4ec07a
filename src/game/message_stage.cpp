#include "app/settings.h"
#include "game/message_stage.h"

#include "dxdraw/pixel.h"
#include "dxdraw/text.h"
#include "game/game_env.h"
#include "game/stage.h"
#include "message/messview.h"
#include "message/messwindow.h"
#include "sound/sound.h"

namespace Game {

TextScript::MessageWindow* MessageWindow = nullptr;

namespace {

bool VoicePlaying(int channel) { return GetSoundState(GetChannelPlayId(channel)) == 1; }

}  // namespace

TextScript::DxMessView2* MessageView() { return MessageWindow != nullptr ? MessageWindow->GetView() : nullptr; }

void BuildMessageWindow() {
  ReleaseMessageWindow();
  if (!StageBuilt()) return;
  TextScript::SetVoiceWatch(TextScript::VoiceWatch{&VoicePlaying, &StopChannel});
  MessageWindow = new TextScript::MessageWindow(kStageWidth, 200, 8, 24, 44, 16);
  MessageWindow->SetPosition(0, kWindowY);
  TextScript::DxMessView2* view = MessageWindow->GetView();
  view->SetFont(kMessageFontHeight, kMessageLineSpacing, App::Settings().game.font_name);
  view->SetEffectFlags(view->GetEffectFlags() | DxDraw::TEXT_PROPORTIONAL);
  MessageWindow->Hide();
  MessageWindow->m_DelayBase = 10;
  StageLayers[kTopLayer]->AddChild(MessageWindow);
  ApplyMessageWindowColor();
}

void ReleaseMessageWindow() {
  if (MessageWindow != nullptr) MessageWindow->Release();
  MessageWindow = nullptr;
}

void OpenMessageWindow() {
  if (MessageWindow != nullptr && !MessageWindow->IsVisible()) {
    TextScript::RunWindowTask(TextScript::MakeOpenWindowTask(MessageWindow));
  }
}

void CloseMessageWindow() {
  if (MessageWindow != nullptr && MessageWindow->IsVisible()) {
    TextScript::RunWindowTask(TextScript::MakeCloseWindowTask(MessageWindow));
  }
}

void CloseMessageWindowNow() {
  if (MessageWindow == nullptr) return;
  int32_t style = MessageWindow->m_Style;
  MessageWindow->m_Style = 0;
  TextScript::CloseWindowNow(MessageWindow);
  MessageWindow->m_Style = style;
}

void ApplyMessageWindowColor() {
  if (MessageWindow == nullptr) return;
  const uint8_t* c = App::Settings().game.base_color;
  DxDraw::DxSurfaceSprite32* frame = MessageWindow->GetFrameSprite();
  frame->FillRect(nullptr, kBlack, 255);
  DxDraw::DxSurface* sheet = TextScript::GetSystemPicture();
  if (sheet != nullptr) {
    DxDraw::BLTPARAM tint{};
    tint.Flags = DxDraw::BLT_COLORMASK;
    tint.ColorMask = (255u << 24) | (uint32_t{c[0]} << 16) | (uint32_t{c[1]} << 8) | c[2];
    DxDraw::RECT panel{0, 40, kStageWidth, 240};
    frame->Blt(0, 0, sheet, &panel, nullptr, &tint);
  }
  frame->m_Param.Flags = DxDraw::BLT_FADE | DxDraw::BLT_WEIGHTED;
  frame->m_Param.Level = c[3];
  frame->SetChanged(DxDraw::kChangedShown);
}

void RenewMessageFont() {
  TextScript::DxMessView2* view = MessageView();
  if (view == nullptr) return;
  DxDraw::POINT cell{};
  view->GetPenEnd(&cell);
  view->SetFont(cell.x, cell.y - cell.x, App::Settings().game.font_name);
}

}  // namespace Game
