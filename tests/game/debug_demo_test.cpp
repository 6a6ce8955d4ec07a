// The debug window over the demo game started with the debug option: on the
// first page it shows where the script stands and what plays, reads and
// changes a variable, lists the variables and scene names, and jumps to a
// label, which the game carries out at its next wait.
#include <algorithm>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/settings.h"
#include "demo_fixture.h"
#include "game/debug_dialog.h"
#include "game/script_app.h"
#include "platform/dialog_model.h"
#include "platform/text.h"
#include "textscript/script_parse.h"

namespace {

using game_test::PlayerSource;
using platform::DialogModel;

class DebugOnDemo : public game_test::DemoHarness {
 protected:
  DebugOnDemo() {
    App::Settings().options.debug_level = 1;
    Game::SessionHooks hooks;
    hooks.showTitle = [] { return 1; };
    Game::SetSessionHooks(hooks);
    platform::SetMessageBoxService(&boxes_);
    boxes_.SetEcho(false);
  }
  ~DebugOnDemo() override {
    App::Settings().options.debug_level = 0;
    platform::SetDialogHostService(nullptr);
    platform::SetMessageBoxService(nullptr);
  }
  platform::HeadlessMessageBox boxes_;
};

TEST_F(DebugOnDemo, ShowsThePageChangesAVariableListsAndJumps) {
  int line = -1;
  std::u16string music, shownValue;
  std::vector<std::u16string> variables, scenes;
  platform::HeadlessDialogHost host([&](DialogModel& d) {
    if (d.Title() == u"変数一覧") {
      variables = d.Items(Game::kIdListBox);
      return;
    }
    if (d.Title() == u"シーン再生フラグ一覧") {
      scenes = d.Items(Game::kIdListBox);
      return;
    }
    line = static_cast<int>(TextScript::ParseScriptNumber(d.Text(Game::kIdLine)));
    music = d.Text(Game::kIdStageWav);
    d.Edited(Game::kIdVariableName, u"nagi");
    d.Edited(Game::kIdVariableValue, u"7");
    d.Clicked(Game::kIdChangeVariable);
    d.Edited(Game::kIdVariableValue, u"");
    d.Clicked(Game::kIdShowVariable);
    shownValue = d.Text(Game::kIdVariableValue);
    d.Clicked(Game::kIdVariableList);
    d.Clicked(Game::kIdSceneList);
    d.Edited(Game::kIdLabelName, u"gou1");
    d.Clicked(Game::kIdJump);
  });
  platform::SetDialogHostService(&host);

  bool opened = false;
  int nodeLine = -1;    // the line of the node running when the window opened
  int choiceLine = -1;  // the line of the first choice met after the window
  int tick = 0;
  source_.play = [&](PlayerSource& s) {
    ++tick;
    s.SetCursor(400, 160);
    s.SetMouseButton(0, tick % 2 == 0);
    Game::ScriptStateGroup_App* group = Game::CurrentGroup;
    const TextScript::ScriptStateNode* node = group != nullptr ? group->CurrentNode() : nullptr;
    if (!opened && Game::MessageShown != 0) {
      opened = true;
      nodeLine = node != nullptr ? node->m_Line : -1;
      EXPECT_EQ(Game::ShowVariableDialog(nullptr), 0);
    } else if (opened && choiceLine < 0 && node != nullptr &&
               (node->m_Opcode == TextScript::kOpSEL || node->m_Opcode == TextScript::kOpSSL)) {
      choiceLine = node->m_Line;
      frame_.SetRequest(App::kRequestTitle);
    }
    if (tick > 3000) frame_.SetRequest(App::kRequestTitle);
  };
  EXPECT_EQ(Game::RunGameSession(u"_start.txt", 0), 1);
  ASSERT_TRUE(opened);
  EXPECT_EQ(line, nodeLine - 1) << "the window shows the running line less one";
  EXPECT_EQ(music, u"UMI");
  EXPECT_EQ(shownValue, u"7");
  EXPECT_NE(std::find(variables.begin(), variables.end(), u"    NAGI : 7"), variables.end());
  EXPECT_TRUE(scenes.empty() || scenes.front() == u"SC_DEAI") << "a new game has reached at most its first scene";
  EXPECT_GT(choiceLine, 130) << "the run went on from GOU1, past the first choice";
  EXPECT_EQ(TextScript::ScriptVars().GetValue(u"NAGI", 0), 7);
}

}  // namespace
