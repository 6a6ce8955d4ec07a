#include "game/debug_dialog.h"

#include <array>
#include <limits>
#include <utility>

#include "game/game_state.h"
#include "game/script_app.h"
#include "platform/wformat.h"
#include "save/save_types.h"
#include "textscript/script_vars.h"

namespace Game {
namespace {

using platform::ControlKind;
using platform::DialogControl;

constexpr int kNameRead = 29;  // characters of a variable or label name read
constexpr int kFlagMax = 2047;
constexpr std::u16string_view kNone = u"-----";
constexpr std::u16string_view kErrorCaption = u"エラー";

constexpr std::array kDebugControls = {
    DialogControl{ControlKind::kGroup, 0, u"変数", 10, 8, 300, 128},
    DialogControl{ControlKind::kLabel, 0, u"変数名", 20, 30, 60, 24},
    DialogControl{ControlKind::kEdit, kIdVariableName, u"", 84, 28, 140, 26, kNameRead},
    DialogControl{ControlKind::kButton, kIdShowVariable, u"表示", 230, 28, 70, 26},
    DialogControl{ControlKind::kLabel, 0, u"数値", 20, 62, 60, 24},
    DialogControl{ControlKind::kEdit, kIdVariableValue, u"", 84, 60, 140, 26},
    DialogControl{ControlKind::kButton, kIdChangeVariable, u"変更", 230, 60, 70, 26},
    DialogControl{ControlKind::kButton, kIdVariableList, u"変数一覧", 20, 96, 130, 28},
    DialogControl{ControlKind::kButton, kIdSceneList, u"シーン再生フラグ", 160, 96, 140, 28},
    DialogControl{ControlKind::kGroup, 0, u"ラベル", 10, 144, 300, 60},
    DialogControl{ControlKind::kLabel, 0, u"ラベル名", 20, 168, 60, 24},
    DialogControl{ControlKind::kEdit, kIdLabelName, u"", 84, 166, 140, 26, kNameRead},
    DialogControl{ControlKind::kButton, kIdJump, u"ジャンプ", 230, 166, 70, 26},
    DialogControl{ControlKind::kGroup, 0, u"ページ情報", 320, 8, 220, 196},
    DialogControl{ControlKind::kLabel, 0, u"行番号", 330, 30, 60, 22},
    DialogControl{ControlKind::kText, kIdLine, u"", 400, 30, 130, 22},
    DialogControl{ControlKind::kLabel, 0, u".CHR", 330, 54, 60, 22},
    DialogControl{ControlKind::kText, kIdStageChr, u"", 400, 54, 130, 22},
    DialogControl{ControlKind::kLabel, 0, u".GRP", 330, 78, 60, 22},
    DialogControl{ControlKind::kText, kIdStageGrp, u"", 400, 78, 130, 22},
    DialogControl{ControlKind::kLabel, 0, u".CHL", 330, 102, 60, 22},
    DialogControl{ControlKind::kText, kIdStageChl, u"", 400, 102, 130, 22},
    DialogControl{ControlKind::kLabel, 0, u".WAV", 330, 126, 60, 22},
    DialogControl{ControlKind::kText, kIdStageWav, u"", 400, 126, 130, 22},
    DialogControl{ControlKind::kLabel, 0, u".S1", 330, 150, 60, 22},
    DialogControl{ControlKind::kText, kIdStageS1, u"", 400, 150, 130, 22},
    DialogControl{ControlKind::kLabel, 0, u".S2", 330, 174, 60, 22},
    DialogControl{ControlKind::kText, kIdStageS2, u"", 400, 174, 130, 22},
    DialogControl{ControlKind::kButton, platform::IDCANCEL, u"閉じる", 450, 214, 90, 30},
};

constexpr std::array kListControls = {
    DialogControl{ControlKind::kList, kIdListBox, u"", 10, 10, 300, 300},
    DialogControl{ControlKind::kButton, platform::IDOK, u"OK", 220, 320, 90, 30},
};

constexpr std::array kFlagControls = {
    DialogControl{ControlKind::kLabel, 0, u"フラグ番号", 10, 12, 80, 24},
    DialogControl{ControlKind::kNumber, kIdFlagNumber, u"", 96, 10, 110, 28, kFlagMax},
    DialogControl{ControlKind::kRadio, kIdFlagOn, u"ON", 10, 48, 60, 24, 0, 0, false, true},
    DialogControl{ControlKind::kRadio, kIdFlagOff, u"OFF", 76, 48, 60, 24},
    DialogControl{ControlKind::kButton, platform::IDOK, u"閉じる", 116, 84, 90, 30},
};

int g_FlagNumber = 0;

std::u16string OrNone(std::u16string name) { return name.empty() ? std::u16string(kNone) : name; }

std::u16string EffectText(Save::SceneSlot slot) {
  if (SceneRecordState(slot) <= 1) return std::u16string(kNone);
  return SceneRecordName(slot) + u" (Loop)";
}

}  // namespace

std::optional<int32_t> ParseWholeNumber(std::u16string_view text) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  bool negative = !text.empty() && text.front() == u'-';
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(value);
}

// --- Debug window

DebugDialog::DebugDialog(ScriptStateGroup_App& group, platform::WindowHandle owner)
    : DialogModel(u"デバッグウィンドウ", 550, 254, kDebugControls), m_Group(group), m_Owner(owner) {
  const TextScript::ScriptStateNode* node = group.CurrentNode();
  SetText(kIdLine, platform::FormatString(u"%d", node != nullptr ? node->m_Line - 1 : 0));
  uint8_t background = SceneRecordState(Save::kSceneBackground);
  std::u16string grp = std::u16string(kNone);
  std::u16string chr = std::u16string(kNone);
  if (background == 0) grp = u"Black";
  else if (background == 1) grp = u"White";
  else if (background == 2) grp = SceneRecordName(Save::kSceneBackground);
  else chr = SceneRecordName(Save::kSceneBackground);
  SetText(kIdStageGrp, grp);
  SetText(kIdStageChr, chr);
  SetText(kIdStageChl, OrNone(SceneRecordName(Save::kSceneCharacter)));
  SetText(kIdStageWav, OrNone(SceneRecordName(Save::kSceneBgm)));
  SetText(kIdStageS1, EffectText(Save::kSceneSe1));
  SetText(kIdStageS2, EffectText(Save::kSceneSe2));
}

int DebugDialog::Error(std::u16string_view text, uint32_t buttons) {
  return platform::ShowMessageBox(m_Owner, text, kErrorCaption, buttons);
}

void DebugDialog::ShowVariable() {
  const std::u16string& name = Text(kIdVariableName);
  if (name.empty()) {
    Error(u"変数名を入力してください");
    return;
  }
  const TextScript::SCRIPTVARENTRY* entry =
      TextScript::ScriptVars().Find(TextScript::SCRIPTVARENTRY::kInteger, name);
  if (entry == nullptr) {
    Error(u"変数がありません");
    return;
  }
  SetText(kIdVariableValue, platform::FormatString(u"%d", entry->value));
}

void DebugDialog::ChangeVariable() {
  const std::u16string& name = Text(kIdVariableName);
  const std::u16string& text = Text(kIdVariableValue);
  if (name.empty()) {
    Error(u"変数名を入力してください");
    return;
  }
  if (text.empty()) {
    Error(u"数値を入力してください");
    return;
  }
  // A text that is no number changes nothing, where reading its leading digits
  // would have stored 0 and reported success.
  std::optional<int32_t> value = ParseWholeNumber(text);
  if (!value) {
    Error(u"数値が正しくありません");
    return;
  }
  TextScript::ScriptVarTable& vars = TextScript::ScriptVars();
  if (vars.Find(TextScript::SCRIPTVARENTRY::kInteger, name) == nullptr &&
      Error(u"変数がありません。新たに現在の数値で追加しますか？", platform::MB_YESNO) != platform::IDYES) {
    return;
  }
  vars.Insert(name, *value);
  platform::ShowMessageBox(m_Owner, u"変更しました", u"変数", platform::MB_OK);
}

void DebugDialog::Jump() {
  const std::u16string& label = Text(kIdLabelName);
  if (label.empty()) {
    Error(u"ラベル名を入力してください");
    return;
  }
  if (m_Group.FindLabel(label) == nullptr) {
    Error(u"指定したラベルがありません");
    return;
  }
  m_Group.RequestDebugJump(label);
  End(0);
}

void DebugDialog::Clicked(int id) {
  switch (id) {
    case kIdShowVariable:
      ShowVariable();
      break;
    case kIdChangeVariable:
      ChangeVariable();
      break;
    case kIdJump:
      Jump();
      break;
    case kIdVariableList: {
      ListDialog list(u"変数一覧", VariableListLines());
      platform::DialogHostService().Run(m_Owner, list);
      break;
    }
    case kIdSceneList: {
      ListDialog list(u"シーン再生フラグ一覧", m_Group.SceneNameList());
      platform::DialogHostService().Run(m_Owner, list);
      break;
    }
    case platform::IDCANCEL:
      End(-1);
      break;
    default:
      break;
  }
}

// --- Lists

ListDialog::ListDialog(std::u16string title, std::vector<std::u16string> lines)
    : DialogModel(std::move(title), 320, 360, kListControls) {
  SetItems(kIdListBox, std::move(lines));
  SetValue(kIdListBox, -1);
}

void ListDialog::Clicked(int id) {
  if (id == platform::IDOK) End(0);
}

std::vector<std::u16string> VariableListLines() {
  std::vector<std::u16string> lines;
  for (const auto& [hash, entry] : TextScript::ScriptVars().Entries()) {
    std::u16string name(entry->Name());
    lines.push_back(platform::FormatString(u"%8s : %d", name.c_str(), entry->value));
  }
  return lines;
}

// --- Flag number

FlagDialog::FlagDialog() : DialogModel(u"ﾀﾞｲｱﾛｸﾞ", 216, 124, kFlagControls) {
  SetText(kIdFlagNumber, platform::FormatString(u"%d", g_FlagNumber));
}

void FlagDialog::StoreNumber() {
  std::optional<int32_t> number = ParseWholeNumber(Text(kIdFlagNumber));
  if (number && *number >= 0 && *number <= kFlagMax) g_FlagNumber = *number;
}

void FlagDialog::Focused(int id, bool focused) {
  if (id == kIdFlagNumber) m_EditFocused = focused;
}

void FlagDialog::Clicked(int id) {
  if (id != platform::IDOK) return;  // "ON" and "OFF" change no flag
  StoreNumber();
  if (m_EditFocused) {
    // Enter in the edit takes the number and moves on to "閉じる".
    m_EditFocused = false;
    RequestFocus(platform::IDOK);
    return;
  }
  End(1);
}

void FlagDialog::Cancel() {
  StoreNumber();
  End(-1);
}

int RememberedFlagNumber() { return g_FlagNumber; }

int ShowVariableDialog(platform::WindowHandle owner) {
  if (CurrentGroup == nullptr) return -1;
  DebugDialog dialog(*CurrentGroup, owner);
  platform::DialogHostService().Run(owner, dialog);
  return dialog.Result();
}

int ShowFlagDialog(platform::WindowHandle owner) {
  FlagDialog dialog;
  platform::DialogHostService().Run(owner, dialog);
  return dialog.Result();
}

}  // namespace Game
