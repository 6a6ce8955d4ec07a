// The scenario writers' debug dialogs: the debug window over the running
// script group (where the script stands, what the stage shows, reading and
// changing a variable, a jump to a label), the two lists it opens (every
// script variable, the scene names reached so far) and the flag-number dialog.
//
// Errors are told in message boxes over the dialog's owner and change nothing.
// A jump is only requested here; the game command executor carries it out at
// its next wait.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog_model.h"

namespace Game {

class ScriptStateGroup_App;

// Control ids of the debug window.
enum : int {
  kIdVariableName = 1063,
  kIdVariableValue = 1064,
  kIdShowVariable = 1065,
  kIdChangeVariable = 1066,
  kIdLabelName = 1067,
  kIdJump = 1068,
  kIdStageChr = 1069,
  kIdStageGrp = 1070,
  kIdStageWav = 1071,
  kIdStageS1 = 1072,
  kIdStageS2 = 1073,
  kIdVariableList = 1074,
  kIdStageChl = 1075,
  kIdSceneList = 1076,
  kIdLine = 1077,
};
inline constexpr int kIdListBox = 1071;  // the list dialogs' list
// Control ids of the flag-number dialog.
enum : int { kIdFlagSpin = 1026, kIdFlagNumber = 1027, kIdFlagOn = 1028, kIdFlagOff = 1029 };

// Dialog 117 "デバッグウィンドウ" over a running group.
class DebugDialog : public platform::DialogModel {
 public:
  DebugDialog(ScriptStateGroup_App& group, platform::WindowHandle owner);
  void Clicked(int id) override;

 private:
  void ShowVariable();
  void ChangeVariable();
  void Jump();
  int Error(std::u16string_view text, uint32_t buttons = platform::MB_OK);

  ScriptStateGroup_App& m_Group;
  platform::WindowHandle m_Owner;  // owner of the message boxes and the lists
};

// Dialog 118 "変数一覧" with the given title and lines.
class ListDialog : public platform::DialogModel {
 public:
  ListDialog(std::u16string title, std::vector<std::u16string> lines);
  void Clicked(int id) override;
  void Cancel() override { End(0); }
};

// One line per live script variable in the table's order: "%8s : %d".
std::vector<std::u16string> VariableListLines();

// Dialog 112: edits the remembered flag number (0-2047), which outlives the dialog.
class FlagDialog : public platform::DialogModel {
 public:
  FlagDialog();
  void Clicked(int id) override;
  void Focused(int id, bool focused) override;
  void Cancel() override;

 private:
  void StoreNumber();
  bool m_EditFocused = false;
};
int RememberedFlagNumber();

// An optional sign and decimal digits filling the whole text (blanks around
// allowed) that fit 32 bits; anything else is no number.
std::optional<int32_t> ParseWholeNumber(std::u16string_view text);

// The menu commands: the debug window only while a game cycle runs (-1
// otherwise), and the flag dialog. Results are the dialogs' (0 after a jump).
int ShowVariableDialog(platform::WindowHandle owner);
int ShowFlagDialog(platform::WindowHandle owner);

}  // namespace Game
