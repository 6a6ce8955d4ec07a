// The choices: a box of one to three lines in the message layer (SEL) and the
// four-way selection screen with its turn banner (SSL).
#include <array>
#include <span>
#include <vector>

#include "app/settings.h"
#include "app/frame.h"
#include "app/input.h"
#include "archive/archive.h"
#include "core/util.h"
#include "dxdraw/drawview.h"
#include "dxdraw/text.h"
#include "game/game_env.h"
#include "game/holders.h"
#include "game/message_stage.h"
#include "game/picture.h"
#include "game/pointer.h"
#include "game/screen_parts.h"
#include "game/script_app.h"
#include "game/stage.h"
#include "message/messview.h"
#include "message/messwindow.h"
#include "platform/wformat.h"
#include "textscript/script_vars.h"

namespace Game {

using TextScript::ScriptStateNode;

namespace {

constexpr int kMaxChoices = 3;  // the SYSTEM sheet has box frames for one to three lines
constexpr int kChoiceLine = 42;
constexpr uint32_t kWhiteText = 0xFFFFFF;
constexpr uint32_t kRedText = 0xFF0000;

// Skipping and auto mode stop at a choice when the settings ask for it.
void StopModesAtChoice() {
  if (App::Settings().game.text_skip2 == 0) return;
  if (SkipMode != 0) {
    SkipMode = 0;
    if (MessageWindow != nullptr) MessageWindow->SetButtonLevel(TextScript::kButtonSkip, TextScript::kButtonIdleLevel);
  } else if (AutoMode != 0) {
    AutoMode = 0;
    if (MessageWindow != nullptr) MessageWindow->SetButtonLevel(TextScript::kButtonAuto, TextScript::kButtonIdleLevel);
  }
}

struct Choice {
  std::u16string text;
  DxDraw::RECT textRect;  // in the view
  DxDraw::RECT hitRect;   // on the screen
};

void DrawChoice(TextScript::DxMessView2* view, const Choice& choice, uint32_t colour) {
  DxDraw::RECT area = choice.textRect;
  view->FillRect(&area, 0, 0);
  view->SetTextOrigin(area.left, area.top);
  view->DrawText(0, colour, 0, choice.text.c_str(), nullptr, 0);
}

void DrawAllChoices(TextScript::DxMessView2* view, const std::vector<Choice>& choices) {
  view->Clear(0);
  for (const Choice& choice : choices) DrawChoice(view, choice, kWhiteText);
}

void SetViewFont(TextScript::DxMessView2* view) { view->SetFont(32, 0, App::Settings().game.font_name); }

DxDraw::DxSurface* LoadPicture(std::u16string_view name) { return ScriptLoadImage(ScriptArchive, name, 0, 0); }

// Raises or lowers the levels of the sprites in steps of 15, a frame a step.
void RampLevels(std::span<DxDraw::DxSprite* const> sprites, bool rising) {
  RampLevel(rising ? 0 : 255, rising ? 255 : 0, 15, [sprites](int level) {
    for (DxDraw::DxSprite* sprite : sprites) {
      sprite->m_Param.Level = level;
      sprite->SetChanged(DxDraw::kChangedShown);
    }
  });
}

// The banner of the turn that begins: "ターン n" over the turn background.
void ShowTurnBanner() {
  int turn = TextScript::ScriptVars().GetValue(u"TURN", 0);
  std::u16string text = platform::FormatString(u"ターン%2d", turn + 1);
  int width = CountDisplayCells(text.c_str()) * 16;
  SurfaceHolder background(LoadPicture(u"turnbg"));
  ViewHolder<DxDraw::DxSprite> back(
      new DxDraw::DxSprite(background.get(), nullptr, DxDraw::BLT_FADE | DxDraw::BLT_WEIGHTED));
  ViewHolder<TextScript::DxMessView2> label(new TextScript::DxMessView2(width, 32));
  label->m_Param.Flags = DxDraw::BLT_FADE | DxDraw::BLT_WEIGHTED;
  label->SetPosition((kStageWidth - width) / 2, 284);
  SetViewFont(label.get());
  label->DrawText(0, kWhiteText, 0, text.c_str(), nullptr, 0);
  std::array<DxDraw::DxSprite*, 2> sprites{back.get(), label.get()};
  for (DxDraw::DxSprite* sprite : sprites) {
    sprite->m_Param.Level = 0;
    if (StageParent() != nullptr) StageParent()->AddChild(sprite);
  }
  RampLevels(sprites, true);
  App::WaitTime(2000, App::kWaitEndsOnDecideOrSkip);
  RampLevels(sprites, false);
  App::WaitTime(500, App::kWaitEndsOnDecideOrSkip);
}

struct SelectItem {
  const char16_t* name;  // "A" ... "CD"
  int x;
  DxDraw::RECT hit;
  int result;
};

std::vector<SelectItem> SelectLayout(bool ab, bool cd) {
  const SelectItem a{u"A", 36, {36, 197, 206, 497}, 1}, b{u"B", 222, {222, 197, 392, 497}, 2};
  const SelectItem c{u"C", 408, {408, 197, 578, 497}, 3}, d{u"D", 594, {594, 197, 764, 497}, 4};
  const SelectItem both1{u"AB", 36, {36, 197, 392, 497}, 5}, both2{u"CD", 408, {408, 197, 764, 497}, 6};
  std::vector<SelectItem> items;
  if (ab) items.push_back(both1);
  else items.insert(items.end(), {a, b});
  if (cd) items.push_back(both2);
  else items.insert(items.end(), {c, d});
  return items;
}

// The item sprites with their two pictures each; returns the chosen result.
int RunSelectScreen() {
  auto& vars = TextScript::ScriptVars();
  bool ab = vars.GetValue(u"A010", 0) != 0 || vars.GetValue(u"B010", 0) != 0;
  bool cd = vars.GetValue(u"C010", 0) != 0 || vars.GetValue(u"D010", 0) != 0;
  std::vector<SelectItem> items = SelectLayout(ab, cd);

  SurfaceHolder background(LoadPicture(u"select/selbg"));
  ViewHolder<DxDraw::DxSprite> backSprite(new DxDraw::DxSprite(background.get(), nullptr, 0));
  if (StageParent() != nullptr) StageParent()->AddChild(backSprite.get());
  std::vector<SurfaceHolder> pictures;
  std::vector<ViewHolder<DxDraw::DxSprite>> sprites;
  std::vector<DxDraw::RECT> hits;
  for (const SelectItem& item : items) {
    std::u16string base = std::u16string(u"select/SEL_") + item.name;
    pictures.emplace_back(LoadPicture(base + u"_0"));
    pictures.emplace_back(LoadPicture(base + u"_1"));
    sprites.emplace_back(new DxDraw::DxSprite(pictures[pictures.size() - 2].get(), nullptr, 0));
    sprites.back()->SetPosition(item.x, 197);
    if (StageParent() != nullptr) StageParent()->AddChild(sprites.back().get());
    hits.push_back(item.hit);
  }
  DxDraw::HoverTracker hover;
  hover.Reset();
  for (;;) {
    int chosen = PointerFrame(hover, hits, [&](int previous, int current) {
      if (previous >= 0) sprites[previous]->SetImage(pictures[2 * previous].get());
      if (current >= 0) sprites[current]->SetImage(pictures[2 * current + 1].get());
    });
    if (chosen >= 0) return items[chosen].result;
  }
}

}  // namespace

ScriptStateNode* ScriptStateNode_App::Select() {
  StopModesAtChoice();
  if (MessageWindow != nullptr) MessageWindow->Show();
  ShowPendingPicture();
  EnableMenuCommand(kMenuDebug, true);
  if (TextScript::ReplayMode == 0) EnableMenuCommand(kMenuSave, true);

  std::vector<ScriptStateNode*> nodes;
  for (ScriptStateNode* n = this; n != nullptr && n->m_Opcode == TextScript::kOpSEL; n = n->GetNext()) {
    nodes.push_back(n);
  }
  int count = static_cast<int>(nodes.size());
  if (count > kMaxChoices) {
    TextScript::ThrowScriptError2(m_Line, u"選択肢は%dつまでです。", kMaxChoices);
  }

  int height = 40 + kChoiceLine * (count - 1);
  DxDraw::SPRITEFRAME frame{584, static_cast<uint16_t>(height), 0, 0, {72, 240, 72 + 584, 240 + height}, 0};
  ViewHolder<DxDraw::DxSprite> box(
      new DxDraw::DxSprite(TextScript::GetSystemPicture(), &frame, DxDraw::BLT_FADE | DxDraw::BLT_WEIGHTED));
  box->m_Param.Level = 128;
  box->SetPosition(108, 148);
  StageLayers[kTopLayer]->AddChild(box.get());
  ViewHolder<TextScript::DxMessView2> view(new TextScript::DxMessView2(720, 126));
  view->SetPosition(40, 152);
  SetViewFont(view.get());
  view->SetEffectFlags(view->GetEffectFlags() | DxDraw::TEXT_LARGE);
  StageLayers[kTopLayer]->AddChild(view.get());

  std::vector<Choice> choices;
  std::vector<DxDraw::RECT> hits;
  for (int i = 0; i < count; ++i) {
    std::u16string text = nodes[i]->Arg(1);
    int w = CountDisplayCells(text.c_str()) * 16;
    int x = (720 - w) / 2;
    int y = kChoiceLine * i;
    DxDraw::RECT hit = w < 416 ? DxDraw::RECT{192, 148 + y, 608, 188 + y} : DxDraw::RECT{x + 40, 148 + y, x + 40 + w, 188 + y};
    choices.push_back(Choice{std::move(text), {x, y, x + w, y + 32}, hit});
    hits.push_back(hit);
  }
  DrawAllChoices(view.get(), choices);

  DxDraw::HoverTracker hover;
  hover.Reset();
  bool fontChanged = false;
  int chosen = -1;
  while (chosen < 0) {
    chosen = PointerFrame(hover, hits, [&](int previous, int current) {
      if (previous >= 0) DrawChoice(view.get(), choices[previous], kWhiteText);
      if (current >= 0) DrawChoice(view.get(), choices[current], kRedText);
    });
    if ((SettingsChanged & kFontChanged) != 0) {
      SetViewFont(view.get());
      SettingsChanged &= ~kFontChanged;
      DrawAllChoices(view.get(), choices);
      fontChanged = true;
    }
  }
  if (fontChanged) SettingsChanged |= kFontChanged;  // the message window takes the new font too
  view.reset();
  box.reset();
  EnableMenuCommand(kMenuSave, false);
  EnableMenuCommand(kMenuDebug, false);
  if (ScriptStateNode* target = AppGroup()->TakeDebugJump()) return target;
  const char16_t* label = nodes[chosen]->Arg(0);
  ScriptStateNode* target = AppGroup()->FindLabel(label);
  if (target == nullptr) TextScript::ThrowScriptError2(m_Line, u"ラベルが見つかりません。[%s]", label);
  return target;
}

ScriptStateNode* ScriptStateNode_App::SelectionScreen() {
  TextScript::ScriptVars().GetValue(Arg(0), 0);
  EnableMenuCommand(kMenuDebug, true);
  if (TextScript::ReplayMode == 0) EnableMenuCommand(kMenuSave, true);
  StopModesAtChoice();
  if (MessageWindow != nullptr) MessageWindow->Hide();
  MessageShown = 0;
  FadeOutStage();
  {
    SurfaceHolder background(LoadPicture(u"select/selbg"));
    DxDraw::BLTPARAM copy{};
    StageSprite->GetImage()->Blt(0, 0, background.get(), nullptr, nullptr, &copy);
  }
  StageSprite->Hide();
  int result = 0;
  {
    // The stage comes back black however the screen is left.
    struct BlackStage {
      ~BlackStage() {
        StageSprite->GetImage()->FillRect(nullptr, kBlack, 255);
        StageSprite->Show();
        StageSprite->SetChanged(DxDraw::kChangedShown);
      }
    } blackStage;
    ShowTurnBanner();
    result = RunSelectScreen();
  }
  StageFlags |= kStageShowsFill;
  SetSceneRecord(Save::kSceneBackground, 0);
  SetSceneRecord(Save::kSceneCharacter, 0);
  EnableMenuCommand(kMenuSave, false);
  EnableMenuCommand(kMenuDebug, false);
  if (ScriptStateNode* target = AppGroup()->TakeDebugJump()) return target;
  return AppGroup()->EvaluateJudgeTable(result);
}

}  // namespace Game
