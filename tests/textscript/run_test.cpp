#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/act.h"
#include "script_test_util.h"
#include "textscript/file_history.h"
#include "textscript/script_host.h"

namespace {

using namespace TextScript;
using namespace textscript_test;

// A frame that counts itself and lets a test act inside it.
class FakeFrame : public IScriptFrame {
 public:
  FakeFrame() { m_Previous = SetScriptFrame(this); }
  ~FakeFrame() { SetScriptFrame(m_Previous); }
  void WaitNextFrame() override {
    ++frames;
    if (onFrame) onFrame(frames);
  }
  uint32_t HeldInput() const override { return held; }

  int frames = 0;
  uint32_t held = 0;
  std::function<void(int)> onFrame;

 private:
  IScriptFrame* m_Previous;
};

// What the test nodes saw while running.
struct Trace {
  std::vector<std::u16string> events;  // DGR operands and messages, in run order
  std::vector<int> framesAtEvent;      // frames run before each event
  std::vector<int> framesAtRun;        // frames run before each ACT_RUN of a wait task
  int keyHeldMessages = 0;
  int pageBreaksRun = 0;
  int runsToFinish = 1;                // ACT_RUN calls before a wait task reports -1
};
Trace* g_Trace = nullptr;
FakeFrame* g_Frame = nullptr;

void WaitProc(ACT* task, uint32_t message, intptr_t, intptr_t) {
  if (message == ACT_RUN) {
    g_Trace->framesAtRun.push_back(g_Frame != nullptr ? g_Frame->frames : 0);
    if (++task->work >= g_Trace->runsToFinish) task->state = -1;
  }
  if (message == ACT_KEY_HELD) {
    ++g_Trace->keyHeldMessages;
    task->state = -1;
  }
}

// Messages wait for a task; DGR records its operand; SSL throws ScriptException
// with its operand as code; S1A throws a ScriptError of its operand's code; S1B
// throws the quit record; everything else goes to the base executor.
class TestNode : public ScriptStateNode {
 public:
  ScriptStateNode* Execute() override {
    switch (m_Opcode) {
      case kOpMessage:
      case kOpDGR:
        g_Trace->events.push_back(Arg(0));
        g_Trace->framesAtEvent.push_back(g_Frame != nullptr ? g_Frame->frames : 0);
        if (m_Opcode == kOpMessage) Group()->SetWaitTask(MakeACT(&WaitProc, 0));
        return GetNext();
      case kOpSSL:
        throw ScriptException{ScriptVars().GetValue(Arg(0), 0)};
      case kOpS1A:
        try {
          throw ScriptError{0, ScriptVars().GetValue(Arg(0), 0)};
        } catch (ScriptError& e) {
          e.line = m_Line;
          throw;
        }
      case kOpS1B:
        throw MakeError(u"main", 329, kErrorTypeQuit, nullptr, u"Quit");
      case kOpPageBreak:
        ++g_Trace->pageBreaksRun;
        return ScriptStateNode::Execute();
      default:
        return ScriptStateNode::Execute();
    }
  }
};

class TestGroup : public ScriptStateGroup {
 public:
  ScriptStateNode* NewNode() override { return AdoptNode(new TestNode); }
  void OnRunEnd() override { ++runEnds; }
  int runEnds = 0;
};

class ScriptRun : public ::testing::Test {
 protected:
  void SetUp() override {
    InitACT();
    freeTasks = CountFreeACT();
    g_Trace = &trace;
    g_Frame = &frame;
    ReplayMode = 0;
  }
  void TearDown() override {
    EXPECT_EQ(CountFreeACT(), freeTasks) << "a wait task was not released";
    g_Trace = nullptr;
    g_Frame = nullptr;
    ReplayMode = 0;
    TermACT();
  }
  TestGroup& Compile(const std::string& text) {
    group = std::make_unique<TestGroup>();
    group->Compile(text, u"run.txt");
    return *group;
  }
  int RunScript(const std::string& text, int page = -1) { return Compile(text).Run(page); }

  VarsReset vars;
  FakeFrame frame;
  Trace trace;
  int freeTasks = 0;
  std::unique_ptr<TestGroup> group;
};

// A1, ALPHA and BETA hold 5 before each script; every listed variable is then checked.
TEST_F(ScriptRun, VariableStatementsSetWrapAndReset) {
  const struct {
    std::string text;
    std::vector<std::pair<const char16_t*, int>> values;  // read with -1 for a missing name
  } cases[] = {
      {".PST a = 10\n.PST a - 3\n.PST b + 4\n.PST b + 4\n.PST c = 1\n.RSP c\n",
       {{u"A", 7}, {u"B", 8}, {u"C", 0}}},
      {".PST a = 2147483647\n.PST a + 1\n.PST b - 1\n", {{u"A", INT32_MIN}, {u"B", -1}}},
      {".RST a\n", {{u"A1", 0}, {u"ALPHA", 0}, {u"BETA", 5}}},
      {".RSX A\n", {{u"A1", 5}, {u"ALPHA", 5}, {u"BETA", 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ScriptVars().Clear();
    for (const char16_t* name : {u"A1", u"alpha", u"BETA"}) ScriptVars().Insert(name, 5);
    EXPECT_EQ(RunScript(c.text), 0);
    for (const auto& [name, value] : c.values) EXPECT_EQ(ScriptVars().GetValue(name, -1), value);
    EXPECT_EQ(group->runEnds, 1);
  }
}

TEST_F(ScriptRun, JumpsLandOnTheLabelsPage) {
  RunScript(".DGR start\n.JMP far\n.DGR skipped\n\n.LAB far\n.DGR landed\n");
  EXPECT_EQ(trace.events, (std::vector<std::u16string>{u"START", u"LANDED"}));
}

TEST_F(ScriptRun, ConditionalJumps) {
  struct Case {
    const char* test;
    bool jumps;
  };
  const std::vector<Case> cases = {
      {"x < 5", true},  {"x < 4", false}, {"x = 4", true},  {"x = y", false},
      {"x > y", true},  {"x > 4", false}, {"y < x", true}, {"y = 3", true},
  };
  for (const Case& c : cases) {
    trace.events.clear();
    ScriptVars().Clear();
    ScriptVars().Insert(u"X", 4);
    ScriptVars().Insert(u"Y", 3);
    RunScript(std::string(".PJP ") + c.test + " there\n.DGR fell\n\n.LAB there\n.DGR end\n");
    EXPECT_EQ(trace.events.size(), c.jumps ? 1u : 2u) << c.test;
  }
}

TEST_F(ScriptRun, ReplayModeSkipsVariableStatements) {
  ReplayMode = 1;
  ScriptVars().Insert(u"X", 1);
  RunScript(".PST x = 9\n.PJP x = 1 there\n.DGR fell\n\n.LAB there\n.DGR end\n");
  EXPECT_EQ(ScriptVars().GetValue(u"X", 0), 1);
  EXPECT_EQ(trace.events.size(), 2u);
}

TEST_F(ScriptRun, ConsecutiveClmPassAsOne) {
  RunScript(".CLM " + Sjis(u"あ") + "\n.CLM " + Sjis(u"い") + "\n.DGR after\n");
  EXPECT_EQ(trace.events, (std::vector<std::u16string>{u"AFTER"}));
}

TEST_F(ScriptRun, RandomJumpNeedsExactlyThreeTargets) {
  for (int count : {2, 3, 4}) {
    SCOPED_TRACE(count);
    std::string text = ".DOF\n";
    for (int i = 0; i < count; ++i) text += ".RJP a\n";
    DebugCapture capture;
    std::u16string error;
    try {
      RunScript(text + "\n.LAB a\n");
    } catch (const ExceptionHandle& e) {
      EXPECT_EQ(e.Line, 3);  // the first RJP
      error = e.Message;
    }
    EXPECT_EQ(error, count == 3 ? u"" : u"RJP: ジャンプ先を３つ指定してください。");
    if (count != 3) {
      EXPECT_EQ(capture.Text(), u"run.txt(3): Runtime Error: RJP: ジャンプ先を３つ指定してください。\n");
    }
  }
}

TEST_F(ScriptRun, RandomJumpReachesEachTarget) {
  Compile(".RJP a\n.RJP b\n.RJP c\n\n.LAB a\n.DGR a\n.END\n\n.LAB b\n.DGR b\n.END\n\n.LAB c\n.DGR c\n.END\n");
  std::map<std::u16string, int> counts;
  for (int i = 0; i < 300; ++i) {
    trace.events.clear();
    group->Run(-1);
    ASSERT_FALSE(trace.events.empty());
    ++counts[trace.events[0]];
  }
  ASSERT_EQ(counts.size(), 3u);
  for (const auto& [label, n] : counts) EXPECT_GT(n, 60) << platform::Utf16ToUtf8(label);
}

// The random source is never reseeded, so a fresh program draws 41, 18467 and
// 6334 first: the third, third and second targets. Run in a new process, where
// nothing has drawn before.
TEST(ScriptRunFixedSeed, FirstRandomJumpsOfAProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        VarsReset vars;
        ScriptStateGroup group;
        group.Compile(".RJP a\n.RJP b\n.RJP c\n\n.LAB a\n.PST r = 1\n.JMP z\n\n.LAB b\n.PST r = 2\n"
                      ".JMP z\n\n.LAB c\n.PST r = 3\n\n.LAB z\n",
                      u"rjp.txt");
        int code = 0;
        for (int i = 0; i < 3; ++i) {
          ScriptVars().Insert(u"R", 0);
          group.Run(-1);
          code = code * 4 + ScriptVars().GetValue(u"R", 0);
        }
        std::_Exit(code);
      },
      ::testing::ExitedWithCode(3 * 16 + 3 * 4 + 2), "");
}

TEST_F(ScriptRun, JudgeStatementJumps) {
  Compile(".PST r = 1\n.IVG 4\n.DGR fell\n\n.LAB good\n.DGR good\n.END\n\n.LAB j4\n.DGR j4\n");
  std::string iv;
  for (int i = 0; i < kJumpTableSize; ++i) iv += "j" + std::to_string(i) + "\n";
  group->LoadTables(iv + "#4\ngood\nR == 1\n");
  group->Run(-1);
  ASSERT_FALSE(trace.events.empty());
  EXPECT_EQ(trace.events.front(), u"GOOD");
}

TEST_F(ScriptRun, WaitTaskEndsInTheFrameItFinishes) {
  trace.runsToFinish = 3;
  RunScript(Sjis(u"あ\n") + ".DGR next\n");
  EXPECT_EQ(frame.frames, 3);
  // The task runs before each frame, and the next statement before any further frame.
  EXPECT_EQ(trace.framesAtRun, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(trace.framesAtEvent, (std::vector<int>{0, 3}));
}

// Left Ctrl or numpad 7 (0x10000) and right Ctrl or numpad 9 (0x20000) held
// while a message waits reach its task once; a task that already finished, and
// other keys, get nothing.
TEST_F(ScriptRun, OnlyHeldSkipKeysReachAWaitingTask) {
  const struct {
    uint32_t held;
    int fromFrame;  // 0: held from the start
    int runsToFinish;
    int messages;
    int frames;
  } cases[] = {
      {0x10000, 4, 1000, 1, 4},
      {0x20000, 4, 1000, 1, 4},
      {0x10000, 0, 1, 0, 1},
      {0x1000 | 0x2000 | 0x20 | 0x40000, 0, 5, 0, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.held << " from frame " << c.fromFrame);
    trace = Trace{};
    trace.runsToFinish = c.runsToFinish;
    frame.frames = 0;
    frame.held = c.fromFrame == 0 ? c.held : 0;
    frame.onFrame = [this, &c](int n) {
      if (n == c.fromFrame) frame.held = c.held;
    };
    RunScript(Sjis(u"あ\n"));
    EXPECT_EQ(trace.keyHeldMessages, c.messages);
    EXPECT_EQ(frame.frames, c.frames);
  }
}

TEST_F(ScriptRun, ScriptExceptionResults) {
  struct Case {
    int code;
    int result;
    bool snapshot;
  };
  const std::vector<Case> cases = {{0, 1, true}, {1, 2, true}, {2, 0, false}, {3, 0, false}};
  for (const Case& c : cases) {
    for (bool duringWait : {false, true}) {
      SCOPED_TRACE("code " + std::to_string(c.code) + (duringWait ? " during a wait" : " from a node"));
      ScriptVarSnapshot().Clear();
      ScriptVars().Insert(u"V", 7);
      trace.runsToFinish = 1000;
      frame.frames = 0;
      frame.onFrame = [&](int n) {
        if (n == 2) throw ScriptException{c.code};
      };
      std::string text = duringWait ? Sjis(u"あ\n") : ".SSL " + std::to_string(c.code) + "\n";
      int free = CountFreeACT();
      EXPECT_EQ(RunScript(text), c.result);
      EXPECT_EQ(CountFreeACT(), free);
      EXPECT_EQ(group->WaitTask(), nullptr);
      EXPECT_EQ(group->runEnds, 1);
      EXPECT_EQ(ScriptVarSnapshot().GetValue(u"V", -1), c.snapshot ? 7 : -1);
      frame.onFrame = nullptr;
    }
  }
}

TEST_F(ScriptRun, QuitEndsTheRunQuietly) {
  DebugCapture capture;
  trace.runsToFinish = 1000;
  frame.onFrame = [](int n) {
    if (n == 3) throw MakeError(u"main", 295, kErrorTypeQuit, nullptr, u"Quit");
  };
  EXPECT_EQ(RunScript(Sjis(u"あ\n") + ".DGR never\n"), 0);
  EXPECT_EQ(group->runEnds, 1);
  EXPECT_EQ(capture.Text(), u"");
  frame.onFrame = nullptr;
  EXPECT_EQ(RunScript(".S1B x\n.DGR never\n"), 0);
  EXPECT_EQ(trace.events.size(), 1u);  // only the message of the first run
}

TEST_F(ScriptRun, RuntimeErrorsCarryTheNodesLine) {
  struct Case {
    const char* what;
    std::string text;
    int line;
    std::u16string message;
  };
  const std::vector<Case> cases = {
      {"missing label", ".DOF\n.JMP nowhere\n", 3, u"ラベルが見つかりません。[NOWHERE]"},
      {"PST with a variable as value", "\n.PST a = b\n", 3, u"数値を指定してください。"},
      {"label without page break", ".JMP top\n.LAB top\n", 2, u"ラベルの直前にページ区切りがありません"},
      {"error by code", ".DOF\n.DOF\n.S1A 4\n", 4, u"0004: ラベルが定義されていません"},
      {"error by unknown code", ".S1A 99\n", 2, u"0000: None"},
      {"missing jump entry", ".IVG 3\n", 2, u"ラベルが見つかりません。[]"},
      {"long label, reported whole", ".JMP " + std::string(200, 'x') + "\n", 2,
       u"ラベルが見つかりません。[" + std::u16string(200, u'X') + u"]"},
  };
  for (const Case& c : cases) {
    DebugCapture capture;
    trace.runsToFinish = 1000;
    try {
      RunScript(c.text);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const ExceptionHandle& e) {
      EXPECT_EQ(e.Type, 0) << c.what;
      EXPECT_EQ(e.Line, c.line) << c.what;
      EXPECT_EQ(std::u16string(e.Message), c.message) << c.what;
      EXPECT_EQ(std::u16string(e.Source), u"run.txt") << c.what;
      EXPECT_EQ(capture.Text(), u"run.txt(" + platform::Utf8ToUtf16(std::to_string(c.line)) +
                                    u"): Runtime Error: " + c.message + u"\n")
          << c.what;
    }
  }
}

TEST_F(ScriptRun, ErrorAfterAWaitReleasesTheTask) {
  DebugCapture quiet;
  trace.runsToFinish = 1000;
  frame.onFrame = [](int n) {
    if (n == 2) ThrowScriptError2(0, u"boom");
  };
  EXPECT_THROW(RunScript(Sjis(u"あ\n")), ExceptionHandle);
  EXPECT_EQ(group->WaitTask(), nullptr);
}

TEST_F(ScriptRun, ResumesAfterThePageBreak) {
  Compile(".DGR one\n\n.DGR two\n\n.DGR three\n");
  EXPECT_EQ(group->Run(2), 0);
  EXPECT_EQ(trace.events, (std::vector<std::u16string>{u"THREE"}));
  EXPECT_EQ(trace.pageBreaksRun, 0);  // the run starts after the page break, not on it
  EXPECT_EQ(CurrentPage, 2u);
  trace.events.clear();
  EXPECT_EQ(group->Run(-1), 0);
  EXPECT_EQ(trace.events.size(), 3u);
  EXPECT_EQ(CurrentPage, 0u);
}

TEST_F(ScriptRun, ResumingAtAMissingPageIsAnError) {
  Compile(".DGR one\n\n.DGR two\n");
  DebugCapture capture;
  try {
    group->Run(7);
    FAIL() << "no error";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(e.Line, 7);
    EXPECT_EQ(std::u16string(e.Message), u"再開できるページが見つかりません");
  }
}

TEST_F(ScriptRun, PrepareDeclaresJudgeOperandsAndRecordsTheScript) {
  group = std::make_unique<TestGroup>();
  group->Compile(".DOF\n", u"data\\Chapter_1.txt");
  std::string iv(kJumpTableSize, '\n');
  group->LoadTables(iv + "#1\nx\nFLAG == 1\n3 <= Count\n");
  const int seenBefore = ScriptRunHistory().Contains(u"chapter_1") ? 1 : 0;
  EXPECT_EQ(group->Prepare(), seenBefore);
  EXPECT_EQ(group->Prepare(), 1);
  EXPECT_TRUE(ScriptRunHistory().Contains(u"CHAPTER_1"));
  EXPECT_NE(ScriptVars().Find(SCRIPTVARENTRY::kInteger, u"FLAG"), nullptr);
  EXPECT_NE(ScriptVars().Find(SCRIPTVARENTRY::kInteger, u"COUNT"), nullptr);
  EXPECT_EQ(ScriptVars().Count(), 2u);
}

TEST_F(ScriptRun, GroupReleasesAPendingWaitTask) {
  int free = CountFreeACT();
  {
    TestGroup pending;
    pending.SetWaitTask(MakeACT(&WaitProc, 0));
    pending.SetWaitTask(MakeACT(&WaitProc, 0));  // the first is released here
    EXPECT_EQ(CountFreeACT(), free - 1);
  }
  EXPECT_EQ(CountFreeACT(), free);
}

TEST_F(ScriptRun, EveryCommandFormCompilesAndControlFlowRuns) {
  const std::string text =
      ".RSX n\n.RST z\n.PST n = 0\n" + Sjis(u"はじめ\n") + "\n" +
      ".LAB loop\n.GRP bg01 1\n.CHR c01\n.CHL c02\n.WAV se\n.SEL loop " + Sjis(u"選ぶ") + "\n" +
      ".RMS " + Sjis(u"題") + "\n.CLM " + Sjis(u"注") + "\n.LGR l\n.VOI v\n@v\n.RSP z\n" +
      ".SFS s\n.DON d\n.DOF\n.TOF\n.SSL 9\n.END1\n.END2 1\n.SED\n.FLS 1\n" +
      ".S1M\n.S2A a\n.S2B b\n.S2M\n.PST n + 1\n.PJP n < 3 loop\n.DGR done\n.END\n";
  trace.runsToFinish = 1;
  ScriptVars().Insert(u"N", 0);
  // SSL, S1A and S1B are the test nodes' exits; give the base node the rest.
  auto base = std::make_unique<ScriptStateGroup>();
  base->Compile(text, u"all.txt");
  EXPECT_EQ(base->Run(-1), 0);
  EXPECT_EQ(ScriptVars().GetValue(u"N", -1), 3);
}

}  // namespace
