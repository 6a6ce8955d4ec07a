// The game's script classes: the node whose Execute is the game command
// executor, and the group whose Run builds the stage, restores the saved scene,
// runs the script and tears the stage down again.
//
// Run leaves in one of three ways: a result (0 the script ended, 1 back to the
// title, LoadSlot + 2 a load), or an error record. The stage is torn down on
// every way out. A step-back request does not leave: the run restarts at the
// start of the current page with the variables of that moment and the scene
// records as they stand, as loading a save made there would. An error record
// raised by a game command (a missing picture, the quit record) leaves Run
// after the tear-down instead of ending the run quietly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/exception.h"
#include "game/game_state.h"
#include "textscript/script_state.h"

namespace Game {

class ScriptStateGroup_App;

class ScriptStateNode_App : public TextScript::ScriptStateNode {
 public:
  // The game command executor: game opcodes here, the rest by the base.
  ScriptStateNode* Execute() override;

  ScriptStateGroup_App* AppGroup() const;

 private:
  ScriptStateNode* Dispatch();
  ScriptStateNode* MessageLine();
  ScriptStateNode* PageBreak();
  ScriptStateNode* Picture();
  ScriptStateNode* Sound();
  ScriptStateNode* SoundEffect();
  ScriptStateNode* Select();
  ScriptStateNode* SelectionScreen();
  ScriptStateNode* Ending();
  ScriptStateNode* Flash();
};

class ScriptStateGroup_App : public TextScript::ScriptStateGroup {
 public:
  ScriptStateGroup_App();
  ~ScriptStateGroup_App() override;

  TextScript::ScriptStateNode* NewNode() override;
  // Start page -1 for the head of the script, else a page number.
  int Run(int page) override;
  // 0x5000: close the window at once and stop every channel (returns 1).
  // Anything else gives 0, also the script-file request 0x5001, whose heap
  // address would not fit the result; nothing sends either message.
  int OnMessage(int message, intptr_t a, intptr_t b) override;

  // Empties the scene-name list and nothing else: variables, scene records
  // and the backlog keep their strings.
  void ClearStrings() { m_SceneNameList.clear(); }
  NameList& SceneNameList() { return m_SceneNameList; }

  // A jump the debug window asks for, carried out at the next page break or
  // choice when the debug level is not 0. Names are cut to 31 units.
  void RequestDebugJump(std::u16string_view label);
  bool DebugJumpPending() const { return m_DebugJumpPending != 0; }
  // Carries out a pending jump: the stage goes black and the label's page break
  // is returned; a label that does not exist jumps nowhere (null is returned
  // and the run goes on where it stood).
  TextScript::ScriptStateNode* TakeDebugJump();

 private:
  friend class ScriptStateNode_App;

  void RestoreScene();

  NameList m_SceneNameList;           // scene names unlocked for replay, upper case
  std::u16string m_DebugJumpLabel;    // label of a pending debug jump
  int32_t m_DebugJumpPending = 0;
  bool m_StepBack = false;            // a step back ended the base run
  std::optional<ExceptionHandle> m_Error;  // an error record a command raised
};

// The group of the running game cycle; null outside RunGameSession.
extern ScriptStateGroup_App* CurrentGroup;

// The whole entry `name` of the script archive as text (NUL behind it).
// Throws the error record "Script: file not found '<name>'" when it is missing.
std::string LoadScriptFile(std::u16string_view name);

// Empties the live variable table and the page snapshot.
void ClearScriptVariables();
void EndScriptRuntime();

}  // namespace Game
