// The title's settings menu played headless: each item opens its dialog, the
// hovered item lights up, back and a right click return, and no sprite stays.
#include <string>
#include <vector>

#include "game/screen_parts.h"
#include "game/settings_menu.h"
#include "platform/dialog_model.h"
#include "screens_test_util.h"

namespace screens_test {
namespace {

using SettingsMenuTest = ScreenHarness;

int MenuItemY(int offset) { return kMenuY + offset + 20; }

TEST_F(SettingsMenuTest, ItemsOpenTheirDialogsAndBackOrARightClickReturns) {
  Game::SurfaceHolder sheet = Game::LoadScreenPicture(u"title/title");
  struct Case {
    const char* name;
    std::vector<Move> moves;
    std::vector<std::u16string> opened;
  } cases[] = {
      {"each item, then back",
       {{5, kItemX, MenuItemY(0)}, {20, kItemX, MenuItemY(48)}, {35, kItemX, MenuItemY(96)},
        {50, kItemX, MenuItemY(240)}},
       {u"システム設定", u"サウンド設定", u"主人公名変更"}},
      {"right click anywhere", {{5, 10, 10, 1}}, {}},
      {"a click off the items does nothing", {{5, 10, 10, 0}, {20, kItemX, MenuItemY(240)}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::u16string> opened;
    platform::HeadlessDialogHost host([&](platform::DialogModel& d) { opened.push_back(d.Title()); });
    platform::SetDialogHostService(&host);
    int before = ScreenChildren();
    Play(c.moves);
    Game::ShowSettingsDialog(sheet.get(), nullptr);
    platform::SetDialogHostService(nullptr);
    EXPECT_EQ(opened, c.opened);
    EXPECT_EQ(ScreenChildren(), before);
  }
}

// Each item lights with its own row of the sheet (the rows of the title's
// manual, new game, load and quit) and goes back to normal when left.
TEST_F(SettingsMenuTest, TheHoveredItemLightsUp) {
  Game::SurfaceHolder sheet = Game::LoadScreenPicture(u"title/title");
  const int offsets[] = {0, 48, 96, 240};
  std::vector<uint32_t> lit, left;
  Play({{1, kItemX, MenuItemY(0), -1}, {10, kItemX, MenuItemY(48), -1}, {20, kItemX, MenuItemY(96), -1},
        {30, kItemX, MenuItemY(240), -1}, {40, kItemX, MenuItemY(240)}},
       [&](int frame) {
         if (frame % 10 != 8 || frame > 40) return;
         lit.push_back(Shown(kItemX, MenuItemY(offsets[frame / 10])));
         if (frame > 10) left.push_back(Shown(kItemX, MenuItemY(offsets[frame / 10 - 1])));
       });
  Game::ShowSettingsDialog(sheet.get(), nullptr);
  EXPECT_EQ(lit, (std::vector<uint32_t>{ItemLit(0).Shown(), ItemLit(1).Shown(), ItemLit(2).Shown(),
                                        ItemLit(5).Shown()}));
  EXPECT_EQ(left, std::vector<uint32_t>(3, kItemNormal.Shown()));
}

}  // namespace
}  // namespace screens_test
