// Loading "iv.txt" and evaluating its judge records.
//
// The text: 20 jump lines ("KEY rest of line"), then judge records:
//   #<id>            the rest of the line is ignored
//   <label>          the next non-blank line; the rest of it is ignored
//   <lhs> <op> <rhs> zero or more conditions up to the next '#' line or the
//                    end; blanks, line ends and comments may separate the three
//                    parts, and the rest of the line after rhs is ignored
// Blank lines and "//" comments may stand between records and conditions.
#include <memory>

#include "textscript/iv_table.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

namespace TextScript {

namespace {

std::u16string ReadUpperWord(ScriptReader& reader) {
  std::u16string word;
  reader.ReadWordToken(word);
  UpperCaseScriptName(word);
  return word;
}

int PeekChar(ScriptReader& reader) {
  int c = reader.GetChar();
  reader.UngetChar(c);
  return c;
}

[[noreturn]] void ThrowBadFormat(const ScriptReader& reader) {
  ThrowScriptError2(reader.Line(), u"書式が違います");
}

// Past what separates two parts of a condition. False when the condition ends
// there instead, at the end of the text or at a line opening the next record:
// no part is ever read out of another record.
bool SkipToConditionPart(ScriptReader& reader) {
  bool new_line = reader.SkipBlankLines();
  int c = PeekChar(reader);
  return c != 0 && !(new_line && c == '#');
}

// The operator of a condition: '=' and any one character after it, or two
// characters when it begins with '>' or '<', else one. A line end or the end of
// the text is never taken as the second character, so a record line after it
// still opens its record.
uint8_t ReadJudgeOperator(ScriptReader& reader) {
  int first = reader.GetChar();
  if (first != '=' && first != '>' && first != '<') return kJudgeUnknown;
  int second = reader.GetChar();
  if (second == '\n' || second == 0) reader.UngetChar(second);
  if (first == '=') return kJudgeEqual;
  if (first == '>') {
    if (second == '>') return kJudgeGreater;
    if (second == '=') return kJudgeGreaterEqual;
    return kJudgeUnknown;
  }
  if (second == '<') return kJudgeLess;
  if (second == '=') return kJudgeLessEqual;
  if (second == '>') return kJudgeNotEqual;
  return kJudgeUnknown;
}

}  // namespace

bool JudgeHolds(uint8_t op, int32_t a, int32_t b) {
  switch (op) {
    case kJudgeEqual: return a == b;
    case kJudgeGreater: return a > b;
    case kJudgeGreaterEqual: return a >= b;
    case kJudgeLess: return a < b;
    case kJudgeLessEqual: return a <= b;
    case kJudgeNotEqual: return a != b;
    default: return false;
  }
}

int ScriptStateGroup::LoadTables(std::string_view text) {
  ScriptReader& reader = m_Reader;
  reader.Init(text);
  while (m_JumpTable.GetHead() != nullptr) delete m_JumpTable.GetHead();
  while (m_JudgeTable.GetHead() != nullptr) delete m_JudgeTable.GetHead();

  for (int i = 0; i < kJumpTableSize; ++i) {
    auto entry = std::make_unique<IVJUMPTABLENODE>();
    reader.SkipBlanks();
    entry->m_Key = ReadUpperWord(reader);
    reader.SkipBlanks();
    for (int c = reader.NextLineStart(); c != '\n' && c != 0; c = reader.NextLineStart()) {
      entry->m_Text.push_back(static_cast<char16_t>(c));
    }
    m_JumpTable.Append(entry.release());
  }

  for (;;) {
    reader.SkipBlankLines();
    int c = reader.GetChar();
    if (c == 0) break;
    if (c != '#') ThrowBadFormat(reader);
    auto record = std::make_unique<IVJUDGETABLENODE>();
    std::u16string digits;
    reader.ReadNumberToken(digits);
    record->m_Id = static_cast<int32_t>(ParseScriptNumber(digits));
    reader.SkipLine();
    reader.SkipBlankLines();
    record->m_Name = ReadUpperWord(reader);
    if (record->m_Name.empty()) ThrowBadFormat(reader);
    reader.SkipLine();

    for (;;) {
      reader.SkipBlankLines();
      int next = PeekChar(reader);
      if (next == 0 || next == '#') break;
      if (record->m_Count == IVJUDGETABLENODE::kMaxConditions) ThrowBadFormat(reader);
      // A part that is missing stays empty (an operand then reads as 0) or
      // unknown (the condition never holds).
      IVJUDGECONDITION& condition = record->m_Conditions[record->m_Count++];
      condition.lhs = ReadUpperWord(reader);
      if (!SkipToConditionPart(reader)) continue;
      condition.op = ReadJudgeOperator(reader);
      if (!SkipToConditionPart(reader)) continue;
      condition.rhs = ReadUpperWord(reader);
      reader.SkipLine();
    }
    m_JudgeTable.Append(record.release());
  }
  return 0;
}

ScriptStateNode* ScriptStateGroup::EvaluateJudgeTable(int n) {
  const ScriptVarTable& vars = ScriptVars();
  const std::u16string* label = nullptr;
  for (IVJUDGETABLENODE* record = m_JudgeTable.GetHead(); record != nullptr && label == nullptr;
       record = record->GetNext()) {
    if (record->m_Id != n) continue;
    bool holds = true;
    for (int i = 0; i < record->m_Count && holds; ++i) {
      const IVJUDGECONDITION& condition = record->m_Conditions[i];
      holds = JudgeHolds(condition.op, vars.GetValue(condition.lhs, 0), vars.GetValue(condition.rhs, 0));
    }
    if (holds) label = &record->m_Name;
  }
  if (label == nullptr) {
    IVJUMPTABLENODE* entry = m_JumpTable.GetAt(n);
    if (entry == nullptr) ThrowScriptError2(0, u"ラベルが見つかりません。[%s]", u"");
    label = &entry->m_Key;
  }
  ScriptStateNode* target = FindLabel(*label);
  if (target == nullptr) ThrowScriptError2(0, u"ラベルが見つかりません。[%s]", label->c_str());
  return target;
}

}  // namespace TextScript
