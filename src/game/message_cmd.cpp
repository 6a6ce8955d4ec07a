// The reading flow: the message line and the page break with its click wait,
// the skip and auto modes and the window's five buttons.
#include <span>

#include "app/settings.h"
#include "app/frame.h"
#include "app/input.h"
#include "dxdraw/drawview.h"
#include "dxdraw/text.h"
#include "game/game_env.h"
#include "game/game_sound.h"
#include "game/message_stage.h"
#include "game/pointer.h"
#include "game/script_app.h"
#include "game/session.h"
#include "game/stage.h"
#include "message/messview.h"
#include "message/messwindow.h"
#include "save/save_types.h"
#include "sound/sound.h"
#include "textscript/script_host.h"
#include "textscript/script_vars.h"

namespace Game {

using TextScript::ScriptStateNode;

namespace {

constexpr char16_t kSpeakerOpen = u'【';
using TextScript::kButtonIdleLevel;
using TextScript::kButtonLitLevel;
constexpr uint32_t kBlinkMs = 200;

void CheckAbortCallback(intptr_t) { CheckScriptAbort(); }

bool HasSpeaker(std::u16string_view text) { return !text.empty() && text[0] == kSpeakerOpen; }

// The voice name of the VOI node beside a message line, or "".
std::u16string_view VoiceBeside(const ScriptStateNode* node) {
  if (node != nullptr && node->m_Opcode == TextScript::kOpVOI) return node->Arg(0);
  return {};
}

// The skip and auto buttons show their mode.
void LightModeButtons() {
  MessageWindow->SetButtonLevel(TextScript::kButtonSkip, SkipMode != 0 ? kButtonLitLevel : kButtonIdleLevel);
  MessageWindow->SetButtonLevel(TextScript::kButtonAuto, AutoMode != 0 ? kButtonLitLevel : kButtonIdleLevel);
}

// The whole text at once, a line lower when no speaker leads it. The text has
// its names put in already and is drawn as it stands: a name that reads "#2"
// stays "#2".
void DrawTextAtOnce(TextScript::DxMessView2* view, uint32_t gdiColour, std::u16string_view expanded) {
  TextScript::MessCommandArray commands(TextScript::kMessageCapacity);
  TextScript::CopyMessageGlyphs(std::span(commands.data(), commands.size()), expanded);
  if (!HasSpeaker(expanded)) view->LineFeed();
  view->DrawCommands(0, TextScript::SwapRedBlue(gdiColour), 0, commands.data(), nullptr, 0);
}

// The text character by character at the message speed; a font change in the
// middle starts it again with the new font, as often as it happens.
void DrawTextSlowly(TextScript::DxMessView2* view, uint32_t gdiColour, std::u16string_view text) {
  const Save::CommonData& names = Save::GetCommonData();
  TextScript::MessCommandArray commands(TextScript::kMessageCapacity);
  TextScript::ExpandMessageGlyphs(std::span(commands.data(), commands.size()), text, names.familyName,
                                  names.givenName);
  for (;;) {
    try {
      uint32_t delay = static_cast<uint32_t>(MessageWindow->m_DelayBase * MessageDelayPercent / 100);
      view->SetTextColor(gdiColour);
      view->SetCharDelay(delay);
      view->SetCharCallback(&CheckAbortCallback, 0);
      view->SetCharWait(true);
      if (!HasSpeaker(text)) view->LineFeed();
      view->PutCommands(0, commands.data());
      return;
    } catch (const ScriptException& e) {
      if (e.code != ScriptException::kRedraw) throw;
      view->Clear(0);
      view->SetTextOrigin(0, 0);
      RenewMessageFont();
      SettingsChanged &= ~kFontChanged;
    }
  }
}

bool NextPageUnread(const ScriptStateNode* node) {
  return App::Settings().game.text_skip1 != 0 && TestReadFlag(static_cast<int>(node->m_Page)) == 0;
}

// Whether the page break waits for a click, by the skip and auto modes.
bool DecideWait(const ScriptStateNode* node) {
  const App::InputState& in = App::Input();
  if (SkipMode != 0) {
    if (NextPageUnread(node)) {
      SkipMode = 0;
      return true;
    }
    if (SkipMode == 1) {
      if (App::WaitTime(100, App::kWaitEndsOnDecideOrSkip) == 0) return false;
      SkipMode = 0;
      return true;
    }
    if (SkipMode == 2) {
      App::WaitNextFrame();
      if ((in.held & App::kButtonCtrlMask) == 0) {
        SkipMode = 0;
        return true;
      }
      App::WaitTime(100, App::kWaitPlain);
      return false;
    }
    return true;
  }
  if (AutoMode != 0) {
    while (GetSoundState(GetChannelPlayId(kChannelVoice)) == 1) {
      App::WaitNextFrame();
      if ((in.pressed & App::kButtonClick) != 0) {
        AutoMode = 0;
        break;
      }
    }
    uint32_t wait = MessageView()->GetAutoWait() * 2;
    if ((App::WaitTime(wait != 0 ? wait : 100, App::kWaitEndsOnDecideOrSkip) & App::kButtonClick) != 0) {
      AutoMode = 0;
      return true;
    }
    return false;
  }
  return true;
}

// A left click on a window button during the click wait; true when it ends the wait.
bool PressButton(int button) {
  switch (button) {
    case TextScript::kButtonBacklog:
      if (Hooks().showBacklog) {
        MessageWindow->Hide();
        Hooks().showBacklog();
        MessageWindow->Show();
      }
      return false;
    case TextScript::kButtonSkip:
      if (!MessageWindow->GetButton(TextScript::kButtonSkip)->IsVisible()) return false;
      SkipMode = 1;
      return true;
    case TextScript::kButtonAuto:
      AutoMode = 1;
      return true;
    case TextScript::kButtonQuickSave:
      if (TextScript::ReplayMode == 0 && QuickSaveGame()) {
        ShowNotice(u"セーブしました", 2000);
      }
      return false;
    case TextScript::kButtonQuickLoad:
      if (AskYesNo(u"ロードしてもよろしいですか？")) {
        const int slot = QuickLoadSlot();
        if (slot != -1) {
          LoadSlot = slot;
          App::GetFrame().SetRequest(App::kRequestLoad);
        }
      }
      return false;
    default:
      return false;
  }
}

// The click wait at the end of a page. Returns when the page may go on.
void ClickWait(const ScriptStateNode* node) {
  TextScript::DxMessView2* view = MessageView();
  DxDraw::SPRITEFRAME frame{24, 24, 0, 0, {752, 408, 776, 432}, 0};
  struct Icon {
    DxDraw::DxSprite* sprite;
    ~Icon() { sprite->Release(); }
  } icon{new DxDraw::DxSprite(TextScript::GetSystemPicture(), &frame, DxDraw::BLT_WEIGHTED)};
  icon.sprite->SetPosition(752, 160);
  MessageWindow->AddChild(icon.sprite);

  auto showSkipButton = [&] {
    DxDraw::DxSprite* skip = MessageWindow->GetButton(TextScript::kButtonSkip);
    if (NextPageUnread(node)) skip->Hide();
    else skip->Show();
  };
  showSkipButton();
  DxDraw::DxSprite* quickSave = MessageWindow->GetButton(TextScript::kButtonQuickSave);
  if (TextScript::ReplayMode != 0) quickSave->Hide();
  else quickSave->Show();

  const App::InputState& in = App::Input();
  const auto& rects = MessageWindow->GetButtonRects();
  DxDraw::HoverTracker hover;
  hover.Reset();
  App::Timer blink;
  blink.Start();
  bool iconShown = true;
  try {
    for (;;) {
      int button = PointerFrame(hover, rects, [](int previous, int current) {
        if (previous >= 0) MessageWindow->SetButtonLevel(previous, kButtonIdleLevel);
        if (current >= 0) MessageWindow->SetButtonLevel(current, kButtonLitLevel);
      });
      if (blink.IsElapsed(kBlinkMs)) {
        iconShown = !iconShown;
        if (iconShown) icon.sprite->Show();
        else icon.sprite->Hide();
        blink.Start();
      }
      if ((SettingsChanged & kSkipUnreadChanged) != 0) {
        showSkipButton();
        SettingsChanged &= ~kSkipUnreadChanged;
      }
      if (button >= 0) {
        if (PressButton(button)) return;
        continue;
      }
      if ((in.pressed & (App::kButtonEscape | App::kButtonRightClick)) != 0) {
        MessageWindow->Hide();
        App::WaitNextFrame();
        App::WaitClick();
        MessageWindow->Show();
      } else if ((in.held & App::kButtonCtrlMask) != 0) {
        SkipMode = 2;
        return;
      } else if ((in.pressed & (App::kButtonClick | App::kButtonEnter)) != 0) {
        return;
      } else if ((SettingsChanged & kFontChanged) != 0) {
        RenewMessageFont();
        SettingsChanged &= ~kFontChanged;
        view->Clear(0);
        view->SetTextOrigin(0, 0);
        if (!Backlog().Empty()) DrawTextAtOnce(view, view->GetTextColor(), Backlog().Back().text);
      }
    }
  } catch (...) {
    StopSound(GetChannelPlayId(kChannelVoice));
    throw;
  }
}

}  // namespace

ScriptStateNode* ScriptStateNode_App::MessageLine() {
  ShowPendingPicture();
  OpenMessageWindow();
  std::u16string_view voiceBefore = VoiceBeside(GetPrev());
  std::u16string_view voiceAfter = VoiceBeside(GetNext());
  if (!voiceBefore.empty()) PlayVoiceLine(voiceBefore);
  if (!voiceAfter.empty()) PlayVoiceLine(voiceAfter);

  TextScript::DxMessView2* view = MessageView();
  view->Clear(0);
  App::WaitNextFrame();
  view->SetTextOrigin(0, 0);
  view->SetAutoWait(static_cast<uint32_t>(AutoWait));
  uint32_t colour = view->GetTextColor();

  std::u16string_view text = Arg(0);
  std::u16string expanded = TextScript::ExpandMessageText(text);
  Backlog().Append(expanded, !voiceBefore.empty() ? voiceBefore : voiceAfter);

  if ((SettingsChanged & kFontChanged) != 0) {
    RenewMessageFont();
    SettingsChanged &= ~kFontChanged;
  }
  view->SetEffectFlags(view->GetEffectFlags() | DxDraw::TEXT_LARGE);
  struct Shown {
    ~Shown() { MessageShown = 1; }
  } shown;
  if (SkipMode != 0) {
    DrawTextAtOnce(view, colour, expanded);
  } else {
    DrawTextSlowly(view, colour, text);
  }
  return GetNext();
}

ScriptStateNode* ScriptStateNode_App::PageBreak() {
  bool isPageBreak = m_Opcode == TextScript::kOpPageBreak;
  if (isPageBreak) SetReadFlag(static_cast<int>(TextScript::CurrentPage));
  EnableMenuCommand(kMenuDebug, true);
  if (TextScript::ReplayMode == 0) EnableMenuCommand(kMenuSave, true);
  if (MessageShown != 0 && MessageWindow != nullptr) {
    bool wait = DecideWait(this);
    LightModeButtons();
    if (wait) {
      ClickWait(this);
      StopSound(GetChannelPlayId(kChannelVoice));
      App::WaitNextFrame();
    }
    MessageView()->Clear(0);
    App::WaitNextFrame();
    MessageShown = 0;
  }
  EnableMenuCommand(kMenuSave, false);
  EnableMenuCommand(kMenuDebug, false);
  TextScript::TakeSnapshot();
  Backlog().MarkPageStart();
  if (!isPageBreak) return nullptr;
  TextScript::CurrentPage = m_Page;
  if (ScriptStateNode* target = AppGroup()->TakeDebugJump()) return target;
  return GetNext();
}

}  // namespace Game
