#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "script_test_util.h"

namespace {

using namespace TextScript;
using namespace textscript_test;

// 20 jump lines J0..J19, then the records.
std::string IvText(const std::string& records) {
  std::string text;
  for (int i = 0; i < kJumpTableSize; ++i) text += "j" + std::to_string(i) + " text " + std::to_string(i) + "\n";
  return text + records;
}

// A script with a jumpable label for each name.
std::string LabelScript(const std::vector<std::string>& labels) {
  std::string text;
  for (const std::string& label : labels) text += ".DOF\n\n.LAB " + label + "\n";
  return text;
}

std::vector<std::string> AllLabels() {
  std::vector<std::string> labels = {"YES", "NO", "OTHER"};
  for (int i = 0; i < kJumpTableSize; ++i) labels.push_back("J" + std::to_string(i));
  return labels;
}

// The label that IVG n chooses.
std::u16string Choose(ScriptStateGroup& group, int n) {
  ScriptStateNode* node = group.EvaluateJudgeTable(n);
  if (node == nullptr || node->GetNext() == nullptr) return u"?";
  return node->GetNext()->Arg(0);
}

class JudgeTable : public ::testing::Test {
 protected:
  void Load(const std::string& records) {
    group = CompileScript(LabelScript(AllLabels()));
    group->LoadTables(IvText(records));
  }
  VarsReset vars;
  std::unique_ptr<ScriptStateGroup> group;
};

TEST_F(JudgeTable, JumpLinesOnly) {
  Load("");
  EXPECT_EQ(group->JumpTable().GetCount(), kJumpTableSize);
  EXPECT_EQ(group->JudgeTable().GetCount(), 0);
  EXPECT_EQ(group->JumpTable().GetHead()->m_Key, u"J0");
  EXPECT_EQ(group->JumpTable().GetHead()->m_Text, u"text 0");
  for (int n : {0, 7, 19}) EXPECT_EQ(Choose(*group, n), u"J" + platform::Utf8ToUtf16(std::to_string(n)));
  EXPECT_EQ(Choose(*group, -1), u"J19");  // negative numbers count from the last entry
  EXPECT_EQ(Choose(*group, -20), u"J0");
}

TEST_F(JudgeTable, Operators) {
  struct Case {
    const char* written;
    int32_t a;
    bool holds;
  };
  const std::vector<Case> cases = {
      {"==", 5, true},  {"==", 4, false}, {"= ", 5, true},  {">>", 6, true},  {">>", 5, false},
      {">=", 5, true},  {">=", 6, true},  {">=", 4, false}, {"<<", 4, true},  {"<<", 5, false},
      {"<=", 5, true},  {"<=", 4, true},  {"<=", 6, false}, {"<>", 4, true},  {"<>", 6, true},
      {"<>", 5, false}, {"=>", 5, true},  {"><", 5, false},
      {"! ", 4, false},  // not an operator: never holds
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.written) + " with A = " + std::to_string(c.a));
    Load(std::string("#1\nyes\nA ") + c.written + " 5\n");
    ScriptVars().Insert(u"A", c.a);
    EXPECT_EQ(Choose(*group, 1), c.holds ? u"YES" : u"J1");
  }
}

TEST_F(JudgeTable, StoredOperatorCodes) {
  Load("#1\nyes\nA == 1\nA >> 1\nA >= 1\nA << 1\nA <= 1\nA <> 1\nA ! 1\n");
  IVJUDGETABLENODE* record = group->JudgeTable().GetHead();
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(record->m_Count, 7);
  const std::string ops = "=>]<[!";
  for (int i = 0; i < 6; ++i) EXPECT_EQ(record->m_Conditions[i].op, static_cast<uint8_t>(ops[i]));
  EXPECT_EQ(record->m_Conditions[6].op, kJudgeUnknown);
}

TEST_F(JudgeTable, BlanksAroundOperatorsDoNotMatter) {
  Load("#1\nyes\nA>=3\n#2\nyes\n\tA  >=\t3   // comment\n#3\nyes\nA==3\n#4\nyes\nA = 3\n");
  ScriptVars().Insert(u"A", 3);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(Choose(*group, n), u"YES") << n;
  ScriptVars().Insert(u"A", 2);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(Choose(*group, n), u"J" + platform::Utf8ToUtf16(std::to_string(n)));
}

TEST_F(JudgeTable, ConditionPartsMaySpanLinesButNeverReachIntoTheNextRecord) {
  struct Case {
    const char* records;
    const char16_t* lhs;
    uint8_t op;
    const char16_t* rhs;  // empty: reads as 0
    int records_loaded;
  };
  const std::vector<Case> cases = {
      {"#1\nyes\nX\n==\n5\n#2\nno\n", u"X", kJudgeEqual, u"5", 2},
      {"#1\nyes\nA =\n1\n", u"A", kJudgeEqual, u"1", 1},
      {"#1\nyes\nA == // first\n\n  7\n", u"A", kJudgeEqual, u"7", 1},
      {"#1\nyes\nA=3\n#2\nno\n", u"A", kJudgeEqual, u"", 2},  // the 3 is the operator's
      {"#1\nyes\nA != 1\n", u"A", kJudgeUnknown, u"", 1},
      {"#1\nyes\nA > = 1\n", u"A", kJudgeUnknown, u"", 1},
      {"#1\nyes\nA ==\n#2\nno\n", u"A", kJudgeEqual, u"", 2},
      {"#1\nyes\nA >\n  #2\nno\n", u"A", kJudgeUnknown, u"", 2},
      {"#1\nyes\nA\n#2\nno\n", u"A", kJudgeUnknown, u"", 2},
      {"#1\nyes\nA <=", u"A", kJudgeLessEqual, u"", 1},
      {"#1\nyes\nA", u"A", kJudgeUnknown, u"", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.records);
    Load(c.records);
    ASSERT_EQ(group->JudgeTable().GetCount(), c.records_loaded);
    IVJUDGETABLENODE* record = group->JudgeTable().GetHead();
    ASSERT_EQ(record->m_Count, 1);
    EXPECT_EQ(record->m_Conditions[0].lhs, c.lhs);
    EXPECT_EQ(record->m_Conditions[0].op, c.op);
    EXPECT_EQ(record->m_Conditions[0].rhs, c.rhs);
    if (c.records_loaded == 2) {
      EXPECT_EQ(record->GetNext()->m_Name, u"NO");
    }
  }
  // An empty operand compares as 0.
  Load("#1\nyes\nA=3\n");
  EXPECT_EQ(Choose(*group, 1), u"YES");
  ScriptVars().Insert(u"A", 3);
  EXPECT_EQ(Choose(*group, 1), u"J1");
}

TEST_F(JudgeTable, AllConditionsMustHoldAndTheFirstRecordWins) {
  Load("// routes\n#2\nyes\nA == 1\nB == 2\n\n#2\nno\nA == 1\n#2 the rest is ignored\nother\n");
  ScriptVars().Insert(u"A", 1);
  ScriptVars().Insert(u"B", 2);
  EXPECT_EQ(Choose(*group, 2), u"YES");
  ScriptVars().Insert(u"B", 0);
  EXPECT_EQ(Choose(*group, 2), u"NO");
  ScriptVars().Insert(u"A", 0);
  ScriptVars().Insert(u"B", 2);  // the first condition fails, the last holds
  EXPECT_EQ(Choose(*group, 2), u"OTHER");  // no conditions: always holds
}

TEST_F(JudgeTable, FallsBackToTheJumpEntryWhenNoRecordHolds) {
  Load("#3\nyes\nA == 1\n#3\nno\nB == 1\n");
  EXPECT_EQ(Choose(*group, 3), u"J3");
}

TEST_F(JudgeTable, UnknownVariablesCountAsZero) {
  Load("#1\nyes\nNOBODY == 0\n#2\nyes\n0 == nobody\n");
  EXPECT_EQ(Choose(*group, 1), u"YES");
  EXPECT_EQ(Choose(*group, 2), u"YES");
  EXPECT_EQ(ScriptVars().Count(), 0u);
}

TEST_F(JudgeTable, MissingLabelIsReportedOnlyWhenChosen) {
  Load("#1\nnowhere\nA == 1\n");
  EXPECT_EQ(Choose(*group, 1), u"J1");
  ScriptVars().Insert(u"A", 1);
  try {
    group->EvaluateJudgeTable(1);
    FAIL() << "no error";
  } catch (const ScriptError2& e) {
    EXPECT_EQ(std::u16string(e.text), u"ラベルが見つかりません。[NOWHERE]");
  }
}

TEST_F(JudgeTable, NumberOutsideTheJumpTableIsAnError) {
  Load("");
  for (int n : {20, -21, 1000}) {
    try {
      group->EvaluateJudgeTable(n);
      ADD_FAILURE() << n << ": no error";
    } catch (const ScriptError2& e) {
      EXPECT_EQ(std::u16string(e.text), u"ラベルが見つかりません。[]") << n;
    }
  }
}

TEST_F(JudgeTable, TablesAreEmptyBeforeLoading) {
  group = CompileScript(LabelScript(AllLabels()));
  EXPECT_THROW(group->EvaluateJudgeTable(0), ScriptError2);
}

TEST(JudgeTableFormat, Errors) {
  struct Case {
    const char* what;
    std::string records;
    int line;  // 20 jump lines come first
  };
  const std::vector<Case> cases = {
      {"record not opened by '#'", "\nyes\n", 22},
      {"record without a label", "#1\n#2\nyes\n", 22},
      {"ninth condition",
       "#1\nyes\nA==1\nA==1\nA==1\nA==1\nA==1\nA==1\nA==1\nA==1\nA==1\n", 31},
  };
  for (const Case& c : cases) {
    VarsReset vars;
    ScriptStateGroup group;
    try {
      group.LoadTables(IvText(c.records));
      ADD_FAILURE() << c.what << ": no error";
    } catch (const ScriptError2& e) {
      EXPECT_EQ(std::u16string(e.text), u"書式が違います") << c.what;
      EXPECT_EQ(e.line, c.line) << c.what;
    }
  }
}

TEST(JudgeTableFormat, ShortFileGivesEmptyJumpEntries) {
  ScriptStateGroup group;
  group.LoadTables("a one\nb two");
  ASSERT_EQ(group.JumpTable().GetCount(), kJumpTableSize);
  EXPECT_EQ(group.JumpTable().GetAt(1)->m_Key, u"B");
  EXPECT_EQ(group.JumpTable().GetAt(1)->m_Text, u"two");
  EXPECT_EQ(group.JumpTable().GetAt(2)->m_Key, u"");
  EXPECT_EQ(group.JudgeTable().GetCount(), 0);
}

TEST(JudgeTableFormat, HeaderIsSkipped) {
  ScriptStateGroup group;
  std::string text(ScriptReader::kHeaderSize, '\0');
  group.LoadTables(text + IvText("#1\nyes\n"));
  EXPECT_EQ(group.JumpTable().GetHead()->m_Key, u"J0");
  EXPECT_EQ(group.JudgeTable().GetCount(), 1);
}

}  // namespace
