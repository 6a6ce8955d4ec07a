#include "core/act.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/exception.h"

namespace {

// What the procedures saw: "<user>:<message>" per call, with a = the dying
// task's user word for ACT_CHILD_REMOVED.
std::vector<std::string> g_log;
int g_assertions = 0;
void CountAssertion(const char16_t*, int, const char16_t*) { ++g_assertions; }

void LogProc(ACT* task, uint32_t message, intptr_t a, intptr_t) {
  std::string line = std::to_string(task->user) + ":" + std::to_string(message);
  if (message == ACT_CHILD_REMOVED) line += "(" + std::to_string(reinterpret_cast<ACT*>(a)->user) + ")";
  g_log.push_back(line);
}

// Runs are logged only; everything else is ignored.
void RunLogProc(ACT* task, uint32_t message, intptr_t, intptr_t) {
  if (message == ACT_RUN) g_log.push_back(std::to_string(task->user));
}

class ACTTest : public testing::Test {
 protected:
  void SetUp() override {
    InitACT();
    g_log.clear();
    g_assertions = 0;
    previous_ = SetAssertionHandler(CountAssertion);
  }
  void TearDown() override {
    TermACT();
    SetAssertionHandler(previous_);
  }
  // Makes a child of `parent` by hand, as the ring's owner would.
  static void Adopt(ACT* parent, ACT* child) {
    if (parent->lastChild == nullptr) {
      child->next = child;
    } else {
      child->next = parent->lastChild->next;
      parent->lastChild->next = child;
    }
    parent->lastChild = child;
    child->parent = parent;
  }
  AssertionHandler previous_ = nullptr;
};

TEST_F(ACTTest, MakeSendsCreateAndLinkSendsLinked) {
  ACT* t = MakeACT(LogProc, 7);
  EXPECT_EQ(t->flags, ACT_FLAG_RUN);
  EXPECT_EQ(t->work, 0);
  EXPECT_EQ(t->state, 0);
  EXPECT_EQ(t->parent, nullptr);
  EXPECT_TRUE(LinkACT(3, t));
  EXPECT_EQ(t->parent, ACTLevelRoot(3));
  EXPECT_EQ(g_log, (std::vector<std::string>{"7:1", "7:4"}));
}

TEST_F(ACTTest, LinkedTasksRunInLinkOrderAndAClearedFlagSkipsTheSubtree) {
  ACT* a = MakeACT(RunLogProc, 1);
  ACT* b = MakeACT(RunLogProc, 2);
  ACT* c = MakeACT(RunLogProc, 3);
  ACT* bChild = MakeACT(RunLogProc, 20);
  for (ACT* t : {a, b, c}) LinkACT(2, t);
  Adopt(b, bChild);

  RunACTLevels(2, 2);
  RunACTLevels(2, 2);
  EXPECT_EQ(g_log, (std::vector<std::string>{"1", "2", "20", "3", "1", "2", "20", "3"}));

  g_log.clear();
  b->flags &= ~ACT_FLAG_RUN;
  RunACTLevels(0, -1);
  EXPECT_EQ(g_log, (std::vector<std::string>{"1", "3"}));
}

TEST_F(ACTTest, RunSendsRunBeforeAndRunEndAfterTheChildren) {
  ACT* parent = MakeACT(LogProc, 1);
  ACT* child = MakeACT(LogProc, 2);
  Adopt(parent, child);
  g_log.clear();
  RunACT(parent);
  EXPECT_EQ(g_log, (std::vector<std::string>{"1:5", "2:5", "2:6", "1:6"}));
  DeleteACT(parent);
}

TEST_F(ACTTest, KillSendsChildRemovedLastChildFirstThenDestroys) {
  ACT* t = MakeACT(LogProc, 1);
  ACT* c1 = MakeACT(LogProc, 11);
  ACT* c2 = MakeACT(LogProc, 12);
  LinkACT(0, t);
  Adopt(t, c1);
  Adopt(t, c2);
  g_log.clear();
  const int freeBefore = CountFreeACT();

  KillACT(t);
  EXPECT_EQ(g_log, (std::vector<std::string>{"1:3(12)", "12:2", "1:3(11)", "11:2", "1:2"}));
  EXPECT_EQ(t->parent, nullptr);
  EXPECT_EQ(t->lastChild, nullptr);
  EXPECT_EQ(ACTLevelRoot(0)->lastChild, nullptr);
  // The children went back to the pool; the task itself did not.
  EXPECT_EQ(CountFreeACT(), freeBefore + 2);
  DeleteACT(t);
  EXPECT_EQ(CountFreeACT(), freeBefore + 3);
}

TEST_F(ACTTest, PoolHolds112TasksAndThenThrows) {
  std::vector<ACT*> tasks;
  for (int i = 0; i < kACTPoolSize - kACTLevelCount; ++i) tasks.push_back(MakeACT(nullptr, i));
  try {
    MakeACT(nullptr, 0);
    FAIL() << "the 113th task was made";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.Message), u"MakeACT: Empty Memory!!");
    EXPECT_EQ(std::u16string(e.Source), u"act");
    EXPECT_EQ(e.Line, 224);
    EXPECT_EQ(e.Type, 0);
  }
  DeleteACT(tasks.back());
  EXPECT_NE(MakeACT(nullptr, 0), nullptr);
}

TEST_F(ACTTest, RunLevelsCoversTheRangeAndRefusesBadOnes) {
  for (int level = 0; level < kACTLevelCount; ++level) LinkACT(level, MakeACT(RunLogProc, level));
  RunACTLevels(5, -1);
  std::vector<std::string> expected;
  for (int level = 5; level < kACTLevelCount; ++level) expected.push_back(std::to_string(level));
  EXPECT_EQ(g_log, expected);

  g_log.clear();
  RunACTLevels(9, 8);
  RunACTLevels(-1, 3);
  RunACTLevels(0, 16);
  RunACTLevels(16, -1);
  EXPECT_TRUE(g_log.empty());
}

TEST_F(ACTTest, LinkRefusesLevelsOutOfRangeAndTasksAlreadyLinked) {
  ACT* t = MakeACT(nullptr, 0);
  EXPECT_FALSE(LinkACT(-1, t));
  EXPECT_FALSE(LinkACT(16, t));
  EXPECT_EQ(t->parent, nullptr);
  EXPECT_TRUE(LinkACT(4, t));
  EXPECT_FALSE(LinkACT(5, t));
  EXPECT_EQ(ACTLevelRoot(5)->lastChild, nullptr);
  EXPECT_EQ(ACTLevelRoot(16), nullptr);
  EXPECT_EQ(ACTLevelRoot(-1), nullptr);
  EXPECT_EQ(g_assertions, 3);
}

TEST_F(ACTTest, DetachOfAStrangerChangesNothing) {
  ACT* a = MakeACT(nullptr, 1);
  ACT* b = MakeACT(nullptr, 2);
  ACT* stranger = MakeACT(nullptr, 3);
  LinkACT(1, a);
  LinkACT(1, b);
  ACT* root = ACTLevelRoot(1);
  DetachACT(root, stranger);
  EXPECT_EQ(root->lastChild, b);
  EXPECT_EQ(b->next, a);
  EXPECT_EQ(a->next, b);

  DetachACT(root, b);
  EXPECT_EQ(root->lastChild, a);
  EXPECT_EQ(a->next, a);
  EXPECT_EQ(b->parent, nullptr);
  DetachACT(root, a);
  EXPECT_EQ(root->lastChild, nullptr);
}

// Regression: deleting a task twice used to put its record on the free list twice,
// so two later tasks shared it.
TEST_F(ACTTest, DeletingTwiceIsRefused) {
  ACT* t = MakeACT(nullptr, 0);
  const int freeBefore = CountFreeACT();
  DeleteACT(t);
  DeleteACT(t);
  EXPECT_EQ(CountFreeACT(), freeBefore + 1);
  EXPECT_EQ(g_assertions, 1);
  ACT* x = MakeACT(nullptr, 1);
  ACT* y = MakeACT(nullptr, 2);
  EXPECT_NE(x, y);

  // Level roots and foreign records are refused too.
  ACT fake{};
  DeleteACT(ACTLevelRoot(0));
  DeleteACT(&fake);
  EXPECT_EQ(g_assertions, 3);
  EXPECT_NE(ACTLevelRoot(0), nullptr);
}

// Regression: a task that deleted its next sibling made the walk run a freed
// (or reused) record and lose its place in the ring.
ACT* g_victim = nullptr;
void DeleteSiblingProc(ACT* task, uint32_t message, intptr_t, intptr_t) {
  if (message != ACT_RUN) return;
  g_log.push_back(std::to_string(task->user));
  if (g_victim != nullptr) {
    DeleteACT(g_victim);
    g_victim = nullptr;
    // The freed record is handed out again at once and linked at the end.
    LinkACT(6, MakeACT(RunLogProc, 99));
  }
}

TEST_F(ACTTest, ATaskMayDeleteItsNextSiblingDuringTheWalk) {
  ACT* a = MakeACT(DeleteSiblingProc, 1);
  ACT* b = MakeACT(RunLogProc, 2);
  ACT* c = MakeACT(RunLogProc, 3);
  for (ACT* t : {a, b, c}) LinkACT(6, t);
  g_victim = b;
  RunACTLevels(6, 6);
  EXPECT_EQ(g_log, (std::vector<std::string>{"1", "3"}));
  g_log.clear();
  RunACTLevels(6, 6);
  EXPECT_EQ(g_log, (std::vector<std::string>{"1", "3", "99"}));
}

// The last child deleting itself and the task before it.
void DeleteSelfProc(ACT* task, uint32_t message, intptr_t, intptr_t) {
  if (message != ACT_RUN) return;
  g_log.push_back(std::to_string(task->user));
  if (g_victim != nullptr) DeleteACT(std::exchange(g_victim, nullptr));
  DeleteACT(task);
}

TEST_F(ACTTest, ATaskMayDeleteItselfAndEarlierSiblingsDuringTheWalk) {
  ACT* a = MakeACT(RunLogProc, 1);
  ACT* b = MakeACT(DeleteSelfProc, 2);
  ACT* c = MakeACT(RunLogProc, 3);
  for (ACT* t : {a, b, c}) LinkACT(7, t);
  g_victim = a;
  const int freeBefore = CountFreeACT();
  RunACTLevels(7, 7);
  EXPECT_EQ(g_log, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(CountFreeACT(), freeBefore + 2);
  EXPECT_EQ(ACTLevelRoot(7)->lastChild, c);
  EXPECT_EQ(c->next, c);
}

// Deleting from inside a kill: a task that deletes itself when destroyed, and a
// parent that deletes itself when told a child is going. Each record goes back
// to the pool exactly once.
void DeleteOnDestroyProc(ACT* task, uint32_t message, intptr_t, intptr_t) {
  if (message == ACT_DESTROY) DeleteACT(task);
}
void DeleteOnChildRemovedProc(ACT* task, uint32_t message, intptr_t, intptr_t) {
  if (message == ACT_CHILD_REMOVED) DeleteACT(task);
}

TEST_F(ACTTest, DeletingFromInsideAKillFreesEachRecordOnce) {
  const int freeAtStart = CountFreeACT();

  ACT* self = MakeACT(DeleteOnDestroyProc, 1);
  DeleteACT(self);
  EXPECT_EQ(CountFreeACT(), freeAtStart);

  self = MakeACT(DeleteOnDestroyProc, 1);
  LinkACT(0, self);
  KillACT(self);  // a kill alone keeps the record, but the task deleted itself
  EXPECT_EQ(CountFreeACT(), freeAtStart);

  ACT* parent = MakeACT(nullptr, 2);
  Adopt(parent, MakeACT(DeleteOnDestroyProc, 3));
  Adopt(parent, MakeACT(DeleteOnDestroyProc, 4));
  DeleteACT(parent);
  EXPECT_EQ(CountFreeACT(), freeAtStart);

  parent = MakeACT(DeleteOnChildRemovedProc, 5);
  LinkACT(1, parent);
  Adopt(parent, MakeACT(nullptr, 6));
  Adopt(parent, MakeACT(nullptr, 7));
  DeleteACT(parent->lastChild);
  EXPECT_EQ(CountFreeACT(), freeAtStart);
  EXPECT_EQ(ACTLevelRoot(1)->lastChild, nullptr);
  EXPECT_EQ(g_assertions, 0);

  // The free list is whole: every remaining record can be handed out, each once.
  std::vector<ACT*> all;
  for (int i = 0; i < freeAtStart; ++i) all.push_back(MakeACT(nullptr, i));
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  EXPECT_EQ(CountFreeACT(), 0);
}

TEST_F(ACTTest, TermReturnsEveryLinkedRecord) {
  ACT* t = MakeACT(nullptr, 0);
  LinkACT(0, t);
  Adopt(t, MakeACT(nullptr, 1));
  ACT* unlinked = MakeACT(nullptr, 2);
  TermACT();
  EXPECT_EQ(CountFreeACT(), kACTPoolSize - 1);
  EXPECT_EQ(ACTLevelRoot(0), nullptr);
  DeleteACT(unlinked);
  EXPECT_EQ(CountFreeACT(), kACTPoolSize);
  InitACT();
}

}  // namespace
