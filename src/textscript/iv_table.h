// The jump and judge tables of "iv.txt": 20 fallback labels and numbered judge
// records that the IVG statement evaluates against the script variables.
#pragma once

#include <cstdint>
#include <string>

#include "core/list.h"

namespace TextScript {

class IVJUMPTABLEGROUP;
class IVJUDGETABLEGROUP;

class IVJUMPTABLENODE : public CListNode<IVJUMPTABLENODE, IVJUMPTABLEGROUP> {
 public:
  std::u16string m_Key;   // upper case: the label of this entry
  std::u16string m_Text;  // the rest of its line, comments removed, each byte one unit
};

class IVJUMPTABLEGROUP : public CListGroup<IVJUMPTABLEGROUP, IVJUMPTABLENODE> {};

// Condition operators as stored.
enum : uint8_t {
  kJudgeUnknown = 0,  // never holds
  kJudgeEqual = '=',
  kJudgeGreater = '>',
  kJudgeGreaterEqual = ']',
  kJudgeLess = '<',
  kJudgeLessEqual = '[',
  kJudgeNotEqual = '!',
};

struct IVJUDGECONDITION {
  std::u16string lhs;  // upper case; a number when it begins with a digit, else a variable
  std::u16string rhs;
  uint8_t op = kJudgeUnknown;
};

class IVJUDGETABLENODE : public CListNode<IVJUDGETABLENODE, IVJUDGETABLEGROUP> {
 public:
  static constexpr int kMaxConditions = 8;

  int32_t m_Id = 0;        // record number
  std::u16string m_Name;   // label to jump to, upper case
  int32_t m_Count = 0;     // conditions in use
  IVJUDGECONDITION m_Conditions[kMaxConditions];
};

class IVJUDGETABLEGROUP : public CListGroup<IVJUDGETABLEGROUP, IVJUDGETABLENODE> {};

inline constexpr int kJumpTableSize = 20;

// Whether `a op b` holds; an unknown operator never holds.
bool JudgeHolds(uint8_t op, int32_t a, int32_t b);

}  // namespace TextScript
