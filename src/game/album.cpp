// The album and replay page screen, and the CG album on top of it.
#include "game/album.h"

#include <array>
#include <span>
#include <vector>

#include "app/frame.h"
#include "app/input.h"
#include "dxdraw/drawview.h"
#include "dxdraw/dxview.h"
#include "game/extras.h"
#include "game/game_env.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/holders.h"
#include "game/screen_parts.h"
#include "game/picture.h"
#include "platform/wformat.h"

namespace Game {
namespace {

enum : int { kExit = 0, kPrev = 1, kNext = 2, kButtonCount = 3 };

DxDraw::SPRITEFRAME FrameAt(int x, int y, int w, int h) { return SheetFrame(DxDraw::RECT{x, y, x + w, y + h}); }

// One thumbnail or button: its sprite and its two frames.
struct Cell {
  ViewHolder<DxDraw::DxSprite> sprite;
  DxDraw::SPRITEFRAME normal{};
  DxDraw::SPRITEFRAME lit{};
  bool open = true;  // buttons always; items when unlocked

  void Light(bool on) {
    if (!open) return;
    sprite->SetFrame(on ? &lit : &normal);
  }
};

// One page as built: released whole when the next one is built or the screen ends.
struct Page {
  SurfaceHolder picture;
  SurfaceHolder sheet;
  ViewHolder<DxDraw::DxSprite> background;
  std::vector<Cell> items;
  std::array<Cell, kButtonCount> buttons;
  std::vector<DxDraw::RECT> hits;  // the buttons, then the items

  void SetShown(bool shown) {
    auto show = [shown](DxDraw::ssView* view) { shown ? view->Show() : view->Hide(); };
    show(background.get());
    for (Cell& item : items) show(item.sprite.get());
    for (Cell& button : buttons) show(button.sprite.get());
  }
};

Page BuildPage(const GalleryConfig& layout, const GalleryNames& names, const GalleryActions& actions, int index) {
  const std::vector<GalleryItem>& entries = layout.pages[static_cast<std::size_t>(index)];
  Page page;
  page.background = AppendSprite(nullptr, nullptr, 0, 0, 0);
  for (const GalleryItem& entry : entries) {
    Cell item;
    item.sprite = AppendSprite(nullptr, nullptr, 0, entry.x, entry.y);
    item.normal = FrameAt(0, entry.sheetRow * layout.cellHeight, layout.width, layout.height);
    item.lit = FrameAt(layout.cellWidth, entry.sheetRow * layout.cellHeight, layout.width, layout.height);
    page.items.push_back(std::move(item));
  }
  const DxDraw::SPRITEFRAME locked = FrameAt(0, layout.lockedRow * layout.cellHeight, layout.width, layout.height);

  std::u16string pictureName(names.pagePrefix);
  pictureName += platform::FormatString(u"%d", index + 1);
  page.picture = LoadScreenPicture(pictureName);
  const std::array<const GalleryButton*, kButtonCount> buttons{&layout.exit, &layout.prev, &layout.next};
  for (int i = 0; i < kButtonCount; ++i) {
    const GalleryButton& b = *buttons[i];
    Cell& cell = page.buttons[i];
    cell.normal = FrameAt(b.sx0, b.sy0, b.w, b.h);
    cell.lit = FrameAt(b.sx1, b.sy1, b.w, b.h);
    cell.sprite = AppendSprite(page.picture.get(), &cell.normal, 0, b.x, b.y);
    page.hits.push_back(DxDraw::RECT{b.x, b.y, b.x + b.w, b.y + b.h});
  }
  // The page buttons that lead nowhere are hidden; their rectangles still follow the cursor.
  if (index == 0) page.buttons[kPrev].sprite->Hide();
  if (index + 1 >= static_cast<int>(layout.pages.size())) page.buttons[kNext].sprite->Hide();
  for (const GalleryItem& entry : entries) {
    page.hits.push_back(DxDraw::RECT{entry.x, entry.y, entry.x + layout.width, entry.y + layout.height});
  }

  page.background->SetImage(page.picture.get());
  page.background->SetFrame(nullptr);
  page.sheet = LoadScreenPicture(names.sheet);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Cell& item = page.items[i];
    item.sprite->SetImage(page.sheet.get());
    item.open = actions.unlocked && actions.unlocked(entries[i]);
    item.sprite->SetFrame(item.open ? &item.normal : &locked);
  }
  return page;
}

}  // namespace

void RunGallery(const GalleryNames& names, const GalleryActions& actions) {
  const GalleryConfig layout = LoadGalleryConfig(names.section);
  const int pageCount = static_cast<int>(layout.pages.size());
  int index = 0;
  Page page;
  auto rebuild = [&] {
    page = Page{};  // the previous page leaves before the next one is made
    if (actions.beforePage) actions.beforePage();
    page = BuildPage(layout, names, actions, index);
  };
  rebuild();

  const App::InputState& in = App::Input();
  DxDraw::HoverTracker hover;
  hover.Reset();
  for (;;) {
    App::WaitNextFrame();
    hover.Update(std::span<const DxDraw::RECT>(page.hits), in.cursor_x, in.cursor_y);
    auto cell = [&](int hit) -> Cell& {
      return hit < kButtonCount ? page.buttons[hit] : page.items[static_cast<std::size_t>(hit - kButtonCount)];
    };
    if (hover.changed != 0) {
      if (hover.previous >= 0) cell(hover.previous).Light(false);
      if (hover.current >= 0) cell(hover.current).Light(true);
    }
    if ((in.pressed & App::kButtonRightClick) != 0) {
      WaitWhileHeld(App::kButtonRightClick);
      return;
    }
    if ((in.pressed & App::kButtonClick) == 0) continue;
    WaitWhileHeld(App::kButtonClick);
    const int hit = hover.current;
    if (hit == kExit) return;
    if (hit == kPrev && index > 0) {
      --index;
    } else if (hit == kNext && index + 1 < pageCount) {
      ++index;
    } else if (hit >= kButtonCount && cell(hit).open) {
      page.SetShown(false);
      const GalleryItem& item = layout.pages[static_cast<std::size_t>(index)][static_cast<std::size_t>(hit - kButtonCount)];
      if (actions.choose && !actions.choose(item)) return;
    } else {
      continue;
    }
    rebuild();
    hover.Reset();
  }
}

void ShowCgAlbum() {
  PlayBgmOrVoice(kChannelBgm, GetSystemConfig().cgModeMusic, 1);
  GalleryActions actions;
  actions.unlocked = [](const GalleryItem& item) { return IsAlbumName(item.flag); };
  actions.choose = [](const GalleryItem& item) {
    for (const std::u16string& name : SplitCommaList(item.text)) {
      if (ComposeCgModePicture(name) == 0) break;  // a right click leaves the list
    }
    return true;
  };
  RunGallery(GalleryNames{u"cgalbum", u"title/cg_p", u"title/cg_thumb1"}, actions);
}

}  // namespace Game
