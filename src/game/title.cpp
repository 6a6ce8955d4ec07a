#include "game/title.h"

#include <optional>

#include "app/frame.h"
#include "app/input.h"
#include "game/config.h"
#include "game/ending.h"
#include "game/extras.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/manual.h"
#include "game/screen_parts.h"
#include "game/session.h"
#include "game/yesno.h"
#include "platform/clock.h"
#include "platform/event_source.h"
#include "save/save_data.h"
#include "save/save_dialog.h"
#include "sound/sound.h"
#include "textscript/script_host.h"

namespace Game {
namespace {

constexpr int kItemCount = 6;
enum TitleItem : int { kItemManual, kItemNewGame, kItemLoad, kItemSettings, kItemExtras, kItemQuit };
constexpr int kItemWidth = 248;
constexpr int kItemHeight = 40;
constexpr int kItemPitch = 48;
constexpr int kSlotDialogLoad = 1;

TitleScreens& Screens() {
  static TitleScreens screens;
  return screens;
}

// The logo's fade from `from` to `to`, 4 levels a frame; a click jumps to `to`.
void FadeLogo(DxDraw::DxSprite* sprite, int from, int to) {
  auto set = [sprite](int level) { SetSpriteLevel(sprite, DxDraw::BLT_FADE, level); };
  if (!RampLevel(from, to, 4, set, [] { return Pressed(App::kButtonClick); })) set(to);
}

// The title's own sprites: the background and the six items on one sheet.
struct TitleSprites {
  ViewHolder<DxDraw::DxSprite> background;
  ButtonRow items;

  void SetLevel(uint32_t operation, int level) {
    SetSpriteLevel(background.get(), operation, level);
    for (std::size_t i = 0; i < items.Size(); ++i) SetSpriteLevel(items.Sprite(i), operation, level);
  }
  // 16 frames of brightness, 17 levels apart.
  void Fade(bool in) {
    RampLevel(in ? 0 : 255, in ? 255 : 0, 17, [this](int level) { SetLevel(DxDraw::BLT_BRIGHT, level); });
  }
};

TitleSprites MakeTitleSprites(DxDraw::DxSurface* sheet) {
  const SystemConfig& config = GetSystemConfig();
  TitleSprites title;
  DxDraw::SPRITEFRAME background = SheetFrame({0, 0, 800, 600});
  title.background = AppendSprite(sheet, &background, DxDraw::BLT_BRIGHT, 0, 0);
  for (int i = 0; i < kItemCount; ++i) {
    int x = config.titleMenuX;
    int y = config.titleMenuY + kItemPitch * i;
    int top = 608 + kItemPitch * i;
    title.items.Add(sheet, {0, top, kItemWidth, top + kItemHeight}, {0, top + 288, kItemWidth, top + 288 + kItemHeight},
                    x, y, {x, y, x + kItemWidth, y + kItemHeight}, DxDraw::BLT_BRIGHT);
  }
  title.SetLevel(DxDraw::BLT_BRIGHT, 0);
  return title;
}

bool PrologueSeen() { return Save::GetFlag(Save::GetCommonData(), kPrologueFlag); }

int LoadDialog() {
  if (Screens().loadDialog) return Screens().loadDialog();
  return Save::ShowSaveLoadDialog(kSlotDialogLoad, nullptr, {});
}

// The menu until an item ends the title; returns the title result. A screen
// opened from it may be left by a double click on the item that stands where
// quit stands: the menu shown again takes no click that began within the
// desktop's double-click time of its showing.
int RunTitleMenu(TitleSprites& title, DxDraw::DxSurface* sheet) {
  std::optional<uint32_t> shownAgainMs;
  auto tooSoon = [&] {
    return shownAgainMs &&
           platform::TimeGetTime() - *shownAgainMs < platform::EventSource().DoubleClickTimeMs();
  };
  for (;;) {
    title.items.Reset();
    int hit = -1;
    do {
      App::WaitNextFrame();
      hit = title.items.Update();
    } while (hit < 0 || !Pressed(App::kButtonClick) || tooSoon());
    WaitWhileHeld(App::kButtonClick);
    App::WaitNextFrame();
    switch (hit) {
      case kItemManual:
        title.items.Hide();
        ShowManual();
        title.items.Show();
        break;
      case kItemNewGame:
        SkipPrologue = PrologueSeen() && ShowYesNoBox(kSkipPrologueQuestion) == 1 ? 1 : 0;
        return kTitleNewGame;
      case kItemLoad:
        if (int slot = LoadDialog(); slot >= 0) return slot + 2;
        break;
      case kItemSettings:
        title.items.Hide();
        if (Screens().settings) Screens().settings(sheet);
        title.items.Show();
        break;
      case kItemExtras:
        title.items.Hide();
        ShowExtrasMenu(sheet, title.background.get());
        title.items.Show();
        break;
      default:
        return kTitleQuit;
    }
    shownAgainMs = platform::TimeGetTime();
  }
}

// The title music stops however the title ends.
struct TitleMusic {
  TitleMusic() { PlayBgmOrVoice(kChannelBgm, GetSystemConfig().titleMusic, 1); }
  ~TitleMusic() { StopChannel(kChannelBgm); }
  TitleMusic(const TitleMusic&) = delete;
  TitleMusic& operator=(const TitleMusic&) = delete;
};

}  // namespace

void ShowBrandLogo() {
  SurfaceHolder picture = LoadScreenPicture(u"brand");
  ViewHolder<DxDraw::DxSprite> sprite = AppendSprite(picture.get(), nullptr, DxDraw::BLT_COPY, 0, 0);
  FadeLogo(sprite.get(), 0, 255);
  App::WaitTime(5000, App::kWaitEndsOnDecide);
  FadeLogo(sprite.get(), 255, 0);
}

int ShowTitle() {
  TitleMusic music;
  SurfaceHolder sheet = LoadScreenPicture(u"title/title");
  TitleSprites title = MakeTitleSprites(sheet.get());
  int result = kTitleAgain;
  // A request ends the title as it stands; one made during the fade-out
  // replaces the item's result, the fade stopping where it is.
  try {
    title.Fade(true);
    title.SetLevel(DxDraw::BLT_COPY, 255);
    result = RunTitleMenu(title, sheet.get());
  } catch (const ScriptException& e) {
    result = TitleResultOf(e.code);
  }
  try {
    title.Fade(false);
  } catch (const ScriptException& e) {
    result = TitleResultOf(e.code);
  }
  return result;
}

void SetTitleScreens(TitleScreens screens) { Screens() = std::move(screens); }

void InstallGameScreens() {
  SessionHooks& hooks = Hooks();
  hooks.showTitle = ShowTitle;
  hooks.showEnding = ShowEndingSlides;
  hooks.askYesNo = [](std::u16string_view text) { return ShowYesNoBox(text) == 1; };
  hooks.showNotice = ShowNoticeBand;
}

}  // namespace Game
