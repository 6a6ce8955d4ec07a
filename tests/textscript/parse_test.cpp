#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "script_test_util.h"
#include "textscript/file_history.h"

namespace {

using namespace TextScript;
using namespace textscript_test;

std::vector<std::u16string> Args(const ScriptStateNode& node) {
  std::vector<std::u16string> args;
  for (int i = 0; i < node.ArgCount(); ++i) args.push_back(node.Arg(i));
  return args;
}

TEST(ScriptGrammar, EveryStatementForm) {
  struct Case {
    std::string line;
    int opcode;
    char op;
    std::vector<std::u16string> args;
    std::vector<std::u16string> declared;
  };
  const std::vector<Case> cases = {
      {Sjis(u"こんにちは"), kOpMessage, 0, {u"こんにちは"}, {}},
      {".GRP bg01", kOpGRP, 0, {u"BG01"}, {}},
      {".GRP bg01 2", kOpGRP, 0, {u"BG01", u"2"}, {}},
      {".CHR c01", kOpCHR, 0, {u"C01"}, {}},
      {".CHL c02", kOpCHL, 0, {u"C02"}, {}},
      {".LAB top", kOpLAB, 0, {u"TOP"}, {}},
      {".WAV se1", kOpWAV, 0, {u"SE1"}, {}},
      {".PST a = 1", kOpPST, '=', {u"A", u"1"}, {u"A"}},
      {".PST b + 2", kOpPST, '+', {u"B", u"2"}, {u"B"}},
      {".PST c - 3", kOpPST, '-', {u"C", u"3"}, {u"C"}},
      {".SEL L1 " + Sjis(u"はい"), kOpSEL, 0, {u"L1", u"はい"}, {}},
      {".RMS " + Sjis(u"題"), kOpRMS, 0, {u"題"}, {}},
      {".CLM " + Sjis(u"注"), kOpCLM, 0, {u"注"}, {}},
      {".LGR x", kOpLGR, 0, {u"X"}, {}},
      {".VOI v01", kOpVOI, 0, {u"V01"}, {}},
      {"@v02", kOpVOI, 0, {u"V02"}, {}},
      {".JMP L1", kOpJMP, 0, {u"L1"}, {}},
      {".RJP L2", kOpRJP, 0, {u"L2"}, {}},
      {".PJP d = e L3", kOpPJP, '=', {u"D", u"E", u"L3"}, {u"D", u"E"}},
      {".PJP f < 5 L4", kOpPJP, '<', {u"F", u"5", u"L4"}, {u"F"}},
      {".PJP g > h L5", kOpPJP, '>', {u"G", u"H", u"L5"}, {u"G", u"H"}},
      {".RSP k", kOpRSP, 0, {u"K"}, {u"K"}},
      {".RST a", kOpRST, 0, {u"A"}, {}},
      {".RSX a", kOpRSX, 0, {u"A"}, {}},
      {".SFS s1", kOpSFS, 0, {u"S1"}, {}},
      {".DON m", kOpDON, 0, {u"M"}, {u"M"}},
      {".DOF", kOpDOF, 0, {}, {}},
      {".TOF", kOpTOF, 0, {}, {}},
      {".IVG 3", kOpIVG, 0, {u"3"}, {}},
      {".SSL 1", kOpSSL, 0, {u"1"}, {}},
      {".END", kOpEND, 0, {}, {}},
      {".END 2", kOpEND, 0, {u"2"}, {}},
      {".END1", kOpEND1, 0, {}, {}},
      {".END1 1", kOpEND1, 0, {u"1"}, {}},
      {".END2", kOpEND2, 0, {}, {}},
      {".END2 1", kOpEND2, 0, {u"1"}, {}},
      {".SED", kOpSED, 0, {}, {}},
      {".DGR d1", kOpDGR, 0, {u"D1"}, {}},
      {".FLS 1", kOpFLS, 0, {u"1"}, {}},
      {".S1A x", kOpS1A, 0, {u"X"}, {}},
      {".S1B x", kOpS1B, 0, {u"X"}, {}},
      {".S1M", kOpS1M, 0, {}, {}},
      {".S2A x", kOpS2A, 0, {u"X"}, {}},
      {".S2B x", kOpS2B, 0, {u"X"}, {}},
      {".S2M", kOpS2M, 0, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    VarsReset vars;
    auto group = CompileScript(c.line + "\n");
    std::vector<ScriptStateNode*> nodes = Nodes(*group);
    ASSERT_EQ(nodes.size(), 2u);
    const ScriptStateNode& node = *nodes[0];
    EXPECT_EQ(node.m_Opcode, c.opcode);
    EXPECT_EQ(node.m_Operator, static_cast<uint8_t>(c.op));
    EXPECT_EQ(Args(node), c.args);
    EXPECT_EQ(node.m_Line, 2);  // the line after the statement
    EXPECT_EQ(node.m_Page, 0u);
    EXPECT_EQ(nodes[1]->m_Opcode, kOpReturn);
    std::vector<std::u16string> declared;
    for (const auto& [hash, entry] : ScriptVars().Entries()) declared.emplace_back(entry->Name());
    std::sort(declared.begin(), declared.end());
    EXPECT_EQ(declared, c.declared);
    for (const auto& [hash, entry] : ScriptVars().Entries()) EXPECT_EQ(entry->value, 0);
  }
}

TEST(ScriptGrammar, DeclaringKeepsExistingValues) {
  VarsReset vars;
  ScriptVars().Insert(u"A", 7);
  auto group = CompileScript(".PST a = 1\n");
  EXPECT_EQ(ScriptVars().GetValue(u"A", -1), 7);
  EXPECT_EQ(ScriptVars().Count(), 1u);
}

TEST(ScriptGrammar, PageBreaksBetweenStatements) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<int> opcodes;
  };
  const std::vector<Case> cases = {
      {"empty text", "", {kOpReturn}},
      {"one NUL byte", std::string(1, '\0'), {kOpReturn}},
      {"consecutive lines", Sjis(u"あ\n") + ".DOF\n.TOF\n", {kOpMessage, kOpDOF, kOpTOF, kOpReturn}},
      {"two blank lines", Sjis(u"あ\n\n\nい\n"), {kOpMessage, kOpPageBreak, kOpMessage, kOpReturn}},
      {"comment lines count as blank", Sjis(u"あ\n＃見出し\n////x\n// y\nい\n"),
       {kOpMessage, kOpPageBreak, kOpMessage, kOpReturn}},
      {"leading blank lines", "\n\n.DOF\n", {kOpPageBreak, kOpDOF, kOpReturn}},
      {"trailing blank lines", ".DOF\n\n\n", {kOpDOF, kOpPageBreak, kOpReturn}},
      {"only blank lines", "\n\n", {kOpPageBreak, kOpReturn}},
      {"last line without line end", ".DOF\n.JMP L", {kOpDOF, kOpJMP, kOpReturn}},
      {"sharp line at the very end", ".DOF\n" + Sjis(u"＃x"), {kOpDOF, kOpPageBreak, kOpReturn}},
  };
  for (const Case& c : cases) {
    auto group = CompileScript(c.text);
    EXPECT_EQ(Opcodes(*group), c.opcodes) << c.what;
  }
}

TEST(ScriptGrammar, PageBreakIsMadeAfterTheNextTokenIsRead) {
  // The break's line is the reader's line once the first token after the run
  // has been read: the message on line 4 pushed its line end back.
  auto group = CompileScript(".DOF\n\n\n" + Sjis(u"あ\n"));
  std::vector<ScriptStateNode*> nodes = Nodes(*group);
  ASSERT_EQ(nodes.size(), 4u);
  EXPECT_EQ(nodes[0]->m_Line, 2);  // made at its own line end, before the blank lines were read
  EXPECT_EQ(nodes[1]->m_Opcode, kOpPageBreak);
  EXPECT_EQ(nodes[1]->m_Line, 4);
  EXPECT_EQ(nodes[2]->m_Line, 5);
}

TEST(ScriptGrammar, PagesAreNumberedInListOrder) {
  auto group = CompileScript("\n.DOF\n\n.TOF\n\n\n\n.SED\n\n");
  std::vector<uint32_t> pages;
  for (auto* node : Nodes(*group)) {
    if (node->m_Opcode == kOpPageBreak) pages.push_back(node->m_Page);
  }
  EXPECT_EQ(pages, (std::vector<uint32_t>{1, 2, 3, 4}));
}

TEST(ScriptGrammar, ErrorsReportTheirLine) {
  struct Case {
    const char* what;
    std::string text;
    int line;
    std::u16string message;
  };
  const std::vector<Case> cases = {
      {"comma between operands", ".DOF\n.GRP a,b\n", 2, u"syntax error"},
      {"too many operands", ".JMP a b\n", 1, u"syntax error"},
      {"too few operands", ".JMP\n", 2, u"syntax error"},
      {"unknown operator", ".PST a * 1\n", 1, u"syntax error"},
      {"text where a word is expected", ".JMP " + Sjis(u"あ") + "\n", 1, u"syntax error"},
      {"word at the start of a line", "abc\n", 1, u"syntax error"},
      {"RST with two letters", "\n.RST ab\n", 3, u"変数名は１文字にして下さい"},
      {"RSX with two letters", ".RSX ab\n", 2, u"変数名は１文字にして下さい"},
      {"unknown command", "\n\n.FOO 1\n", 3, u"コマンド名が違います。"},
  };
  for (const Case& c : cases) {
    ExceptionHandle e = CompileError(c.text);
    EXPECT_EQ(e.Type, 0) << c.what;
    EXPECT_EQ(e.Line, c.line) << c.what;
    EXPECT_EQ(std::u16string(e.Message), c.message) << c.what;
    EXPECT_EQ(std::u16string(e.Source), u"bad.txt") << c.what;
  }
}

TEST(ScriptGrammar, ErrorsAreWrittenToTheDebuggerOutput) {
  {
    DebugCapture capture;
    TextScript::ScriptStateGroup group;
    EXPECT_THROW(group.Compile(".JMP a b\n", u"s.txt"), ExceptionHandle);
    EXPECT_EQ(capture.Text(), u"s.txt(1): syntax error\n");
  }
  {
    DebugCapture capture;
    TextScript::ScriptStateGroup group;
    EXPECT_THROW(group.Compile(".FOO\n", u"s.txt"), ExceptionHandle);
    EXPECT_EQ(capture.Text(), u"s.txt(1): Compile Error: コマンド名が違います。\n");
    EXPECT_EQ(group.m_LastError.line, 1);
  }
}

TEST(ScriptGrammar, FailedCompileKeepsTheNodesMadeSoFar) {
  DebugCapture quiet;
  TextScript::ScriptStateGroup group;
  EXPECT_THROW(group.Compile(".DOF\n.TOF\n.GRP a,b\n" + Sjis(u"あ\n"), u"s.txt"), ExceptionHandle);
  EXPECT_EQ(Opcodes(group), (std::vector<int>{kOpDOF, kOpTOF}));
}

TEST(ScriptGrammar, ErrorsInsideLongStatementsLeaveNothingBehind) {
  // Token strings on the parser's stack are freed on every error path; the
  // sanitizer build checks that nothing leaks.
  const std::vector<std::string> texts = {
      ".PJP a = b c d\n", ".SEL a b\n", ".GRP a b c\n", ".PJP a = " + Sjis(u"あ") + "\n",
      ".PST a = .FOO\n", ".SEL " + Sjis(u"あ") + "\n", ".RST long\n",
  };
  for (const std::string& text : texts) {
    ExceptionHandle e = CompileError(text);
    EXPECT_EQ(e.Type, 0) << text;
  }
}

TEST(ScriptGrammar, LongScriptKeepsTheStackShallow) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += ".DOF\n\n";
  auto group = CompileScript(text);
  EXPECT_EQ(group->GetCount(), 10001);
}

TEST(ScriptLabels, FindLabelReturnsThePageBreakBeforeIt) {
  auto group = CompileScript(".DOF\n\n.LAB Start\n.TOF\n\n.LAB start\n");
  ScriptStateNode* target = group->FindLabel(u"START");
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->m_Opcode, kOpPageBreak);
  EXPECT_EQ(target->m_Page, 1u);  // the first of two labels of one name wins
  EXPECT_EQ(group->FindLabel(u"sTaRt"), target);
  EXPECT_EQ(group->FindLabel(u"NONE"), nullptr);
  // Lookups follow the list as it changes: with the first label gone, the second.
  delete target->GetNext();
  ScriptStateNode* second = group->FindLabel(u"START");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->m_Page, 2u);
}

TEST(ScriptLabels, LabelWithoutPageBreakCannotBeJumpedTo) {
  auto group = CompileScript(".LAB first\n.DOF\n.LAB second\n");
  for (const char16_t* label : {u"FIRST", u"SECOND"}) {
    try {
      group->FindLabel(label);
      ADD_FAILURE() << "no error";
    } catch (const ScriptError2& e) {
      EXPECT_EQ(std::u16string(e.text), u"ラベルの直前にページ区切りがありません");
    }
  }
}

TEST(FileHistory, AddsEachTitleOnce) {
  FILEHISTGROUP history;
  EXPECT_EQ(history.AddOnce(u"BG01"), 0);
  EXPECT_EQ(history.AddOnce(u"bg01"), 1);
  EXPECT_EQ(history.GetCount(), 1);
  EXPECT_TRUE(history.Contains(u"Bg01"));
  EXPECT_FALSE(history.Contains(u"BG02"));
}

TEST(FileHistory, AddFileHistoryKeepsOnlyTheTitle) {
  AddFileHistory(u"C:\\data\\cg/ev_010.png");
  EXPECT_TRUE(LoadedFileHistory().Contains(u"ev_010"));
  EXPECT_FALSE(LoadedFileHistory().Contains(u"ev_010.png"));
}

}  // namespace
