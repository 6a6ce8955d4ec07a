// The view tree: ring order, active child, closing, routing, and the tree
// staying whole when views move, close or die in unusual orders.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/exception.h"
#include "dxdraw/rect.h"
#include "dxdraw/view.h"
#include "support/assertion_counter.h"

namespace DxDraw {
namespace {

// A view or group that records the messages it gets, and its end, in a shared log.
template <class Base>
class Logged : public Base {
 public:
  Logged(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
  ~Logged() override { log_->push_back("~" + name_); }

  MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override {
    log_->push_back(name_ + ":" + std::to_string(msg));
    if (answer_ >= 0 && msg != kMsgCountViews) return answer_;
    return Base::OnMessage(msg, a, b);
  }

  MessageResult answer_ = -1;  // forced OnMessage result, -1 for the default

 protected:
  std::string name_;
  std::vector<std::string>* log_;
};

using LogGroup = Logged<ssGroup>;

// A view also logs its flag changes and updates.
class LogView : public Logged<ssView> {
 public:
  using Logged::Logged;
  void SetFlag(uint16_t bits, int on) override {
    log_->push_back(name_ + (on ? "+" : "-") + std::to_string(bits));
    ssView::SetFlag(bits, on);
  }
  void Update() override {
    log_->push_back(name_ + ".update");
    // A copy: the callback may release this view, and with it onUpdate.
    if (std::function<void()> fn = onUpdate) fn();
  }

  std::function<void()> onUpdate;
};

std::vector<ssView*> RingOf(const ssGroup& g) {
  std::vector<ssView*> out;
  for (ssView* v = g.GetFirstChild(); v != nullptr; v = v->GetNextSibling()) out.push_back(v);
  return out;
}

struct Tree : ::testing::Test {
  std::vector<std::string> log;
  LogGroup* group = new LogGroup("G", &log);
  LogView* a = new LogView("A", &log);
  LogView* b = new LogView("B", &log);
  LogView* c = new LogView("C", &log);

  void AddAll() {
    group->AddChild(a);
    group->AddChild(b);
    group->AddChild(c);
    log.clear();
  }
  ~Tree() override {
    if (group != nullptr) group->Release();
  }
};

TEST_F(Tree, AddsChildrenInRingOrderAndSendsAttached) {
  group->AddChild(a);
  group->AddChild(b);
  group->AddChild(c);
  EXPECT_EQ(RingOf(*group), (std::vector<ssView*>{a, b, c}));
  EXPECT_EQ(group->GetFirstChild(), a);
  EXPECT_EQ(c->GetNextSibling(), nullptr);
  EXPECT_EQ(a->GetPrevSibling(), nullptr);
  EXPECT_EQ(c->GetPrevSibling(), b);
  EXPECT_EQ(a->GetParent(), group);
  EXPECT_EQ(log, (std::vector<std::string>{"A:1", "B:1", "C:1"}));
  EXPECT_EQ(a->GetFlags(), kViewVisible);
}

TEST_F(Tree, RemovingTailOrOnlyChildKeepsRingWhole) {
  AddAll();
  group->RemoveChild(c);
  EXPECT_EQ(RingOf(*group), (std::vector<ssView*>{a, b}));
  EXPECT_EQ(group->GetLastChild(), b);
  group->RemoveChild(a);
  group->RemoveChild(a);  // no longer in the ring: nothing happens
  EXPECT_EQ(RingOf(*group), (std::vector<ssView*>{b}));
  group->RemoveChild(b);
  EXPECT_EQ(group->GetFirstChild(), nullptr);
  for (ssView* v : {a, b, c}) delete v;
  a = b = c = nullptr;
}

TEST_F(Tree, ClosingActiveChildPassesActiveToNextInRing) {
  AddAll();
  group->SetActiveChild(b);
  EXPECT_EQ(b->GetFlags() & kViewActive, kViewActive);
  b->Close();
  EXPECT_EQ(group->GetActiveChild(), c);
  EXPECT_EQ(c->GetFlags() & kViewActive, kViewActive);
  EXPECT_EQ(b->GetFlags() & kViewActive, 0);
  c->Close();  // the tail: the ring wraps to the first child
  EXPECT_EQ(group->GetActiveChild(), a);
  a->Close();
  EXPECT_EQ(group->GetActiveChild(), nullptr);
  EXPECT_EQ(b->GetParent(), nullptr);
  EXPECT_FALSE(b->IsVisible());
  for (ssView* v : {a, b, c}) delete v;
  a = b = c = nullptr;
}

TEST_F(Tree, ShowAndHideCallNothingWhenAlreadyInThatState) {
  AddAll();
  a->Show();
  EXPECT_TRUE(log.empty());
  a->Hide();
  a->Hide();
  a->Show();
  EXPECT_EQ(log, (std::vector<std::string>{"A-1", "A+1"}));
}

TEST_F(Tree, CountMessageCountsTheWholeSubtree) {
  auto* inner = new LogGroup("I", &log);
  group->AddChild(a);
  group->AddChild(inner);
  inner->AddChild(b);
  int count = 0;
  group->OnMessage(kMsgCountViews, reinterpret_cast<MessageArg>(&count), 0);
  EXPECT_EQ(count, 4);
  delete c;
  c = nullptr;
}

TEST_F(Tree, GroupCloseHidesThenReleasesChildrenLastToFirst) {
  AddAll();
  group->Release();
  group = nullptr;
  const std::vector<std::string> expected = {
      "C-1", "B-1", "A-1",               // hidden from the tail backwards
      "C:3", "~C", "B:3", "~B", "A:3", "~A",  // released last to first
      "G:3", "~G"};
  EXPECT_EQ(log, expected);
}

TEST_F(Tree, DispatchRoutesByCode) {
  auto* inner = new LogGroup("I", &log);
  group->AddChild(a);
  group->AddChild(inner);
  inner->AddChild(b);
  group->AddChild(c);
  group->SetActiveChild(inner);
  inner->SetActiveChild(b);
  log.clear();

  EXPECT_EQ(group->Dispatch(kDispatchActiveChain, 77, 0, 0), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"B:77"}));
  log.clear();
  group->Dispatch(kDispatchFirstChildChain, 77, 0, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"A:77"}));
  log.clear();
  EXPECT_EQ(group->Dispatch(kDispatchBroadcast, 77, 0, 0), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"G:77", "A:77", "I:77", "B:77", "C:77"}));
  // A broadcast gives a view's own answer, and 1 from a group whatever it answered.
  a->answer_ = 7;
  group->answer_ = 5;
  EXPECT_EQ(a->Dispatch(kDispatchBroadcast, 77, 0, 0), 7);
  EXPECT_EQ(group->Dispatch(kDispatchBroadcast, 77, 0, 0), 1);
  a->answer_ = group->answer_ = 1;
  log.clear();
  EXPECT_EQ(group->Dispatch(9, 77, 0, 0), 1);
  EXPECT_TRUE(log.empty());

  // Any message but the hit test: the first view whose handler returns 0.
  b->answer_ = 0;
  EXPECT_EQ(group->Dispatch(kDispatchHitTest, 77, 0, 0), reinterpret_cast<MessageResult>(b));
  group->answer_ = 0;
  log.clear();
  EXPECT_EQ(group->Dispatch(kDispatchHitTest, 77, 0, 0), reinterpret_cast<MessageResult>(static_cast<ssView*>(group)));
  EXPECT_EQ(log, (std::vector<std::string>{"G:77"}));  // the children are not asked
}

// A view answering the hit test the way the renderer's hit-test handlers do:
// 1 with itself stored when hit, 0 when not.
class HitView : public ssView {
 public:
  explicit HitView(bool hit) : hit_(hit) {}
  MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override {
    ++asked;
    if (msg != kMsgHitTest) return ssView::OnMessage(msg, a, b);
    if (!hit_) return 0;
    *reinterpret_cast<ssView**>(b) = this;
    return 1;
  }
  int asked = 0;

 private:
  bool hit_;
};

TEST(TreeHitTest, DispatchAnswersTheViewItsHitHandlerReports) {
  ssGroup* group = new ssGroup;
  auto* miss = new HitView(false);
  auto* hit = new HitView(true);
  auto* after = new HitView(true);
  auto* plain = new ssView;  // does not handle hit tests at all
  group->AddChild(plain);
  group->AddChild(miss);
  group->AddChild(hit);
  group->AddChild(after);
  after->asked = 0;
  POINT p{1, 1};
  ssView* out = nullptr;
  const MessageResult found =
      group->Dispatch(kDispatchHitTest, kMsgHitTest, reinterpret_cast<MessageArg>(&p), reinterpret_cast<MessageArg>(&out));
  EXPECT_EQ(found, reinterpret_cast<MessageResult>(hit));
  EXPECT_EQ(after->asked, 0);
  // A miss alone answers nothing, and a view without a handler is never a hit.
  EXPECT_EQ(miss->Dispatch(kDispatchHitTest, kMsgHitTest, reinterpret_cast<MessageArg>(&p),
                           reinterpret_cast<MessageArg>(&out)),
            0);
  EXPECT_EQ(plain->Dispatch(kDispatchHitTest, kMsgHitTest, reinterpret_cast<MessageArg>(&p),
                            reinterpret_cast<MessageArg>(&out)),
            0);
  group->Release();
}

TEST_F(Tree, AddingAChildOfAnotherGroupMovesIt) {
  AddAll();
  auto* other = new LogGroup("O", &log);
  group->SetActiveChild(b);
  other->AddChild(b);
  EXPECT_EQ(RingOf(*group), (std::vector<ssView*>{a, c}));
  EXPECT_EQ(RingOf(*other), (std::vector<ssView*>{b}));
  EXPECT_EQ(b->GetParent(), other);
  EXPECT_EQ(group->GetActiveChild(), c);
  // Adding a child again moves it to the end of its own ring.
  group->AddChild(a);
  EXPECT_EQ(RingOf(*group), (std::vector<ssView*>{c, a}));
  other->Release();
}

TEST_F(Tree, AddingAGroupUnderItselfIsRefused) {
  AssertionCounter counter;
  auto* inner = new LogGroup("I", &log);
  auto* innermost = new LogGroup("J", &log);
  group->AddChild(inner);
  inner->AddChild(innermost);
  EXPECT_FALSE(innermost->AddChild(group));
  EXPECT_FALSE(innermost->AddChild(innermost));
  EXPECT_FALSE(inner->AddChild(nullptr));
  EXPECT_EQ(counter.count, 2);
  EXPECT_EQ(RingOf(*group), (std::vector<ssView*>{inner}));
  EXPECT_EQ(innermost->GetFirstChild(), nullptr);
  for (ssView* v : {a, b, c}) delete v;
  a = b = c = nullptr;
}

TEST_F(Tree, DestroyedGroupLeavesChildrenDetached) {
  AddAll();
  delete group;  // not closed: the children live on
  group = nullptr;
  for (LogView* v : {a, b, c}) {
    EXPECT_EQ(v->GetParent(), nullptr);
    EXPECT_EQ(v->GetNextSibling(), nullptr);
    v->Close();  // must not touch the freed group
    delete v;
  }
  a = b = c = nullptr;
}

TEST_F(Tree, DestroyedChildLeavesTheRing) {
  AddAll();
  group->SetActiveChild(b);
  delete b;
  b = nullptr;
  EXPECT_EQ(RingOf(*group), (std::vector<ssView*>{a, c}));
  EXPECT_EQ(group->GetActiveChild(), c);
}

// A walk over the ring survives a callback that closes any view of it.
TEST(TreeWalk, UpdateSurvivesCallbacksClosingViews) {
  struct Case {
    const char* name;
    int closer;                    // index of the view whose update closes
    std::vector<int> closed;       // indexes it closes (released)
    std::vector<std::string> updated;
  };
  const std::vector<Case> cases = {
      {"next sibling", 0, {1}, {"A.update", "C.update"}},
      {"itself", 1, {1}, {"A.update", "B.update", "C.update"}},
      {"tail from first", 0, {2}, {"A.update", "B.update"}},
      {"two at once", 0, {1, 2}, {"A.update"}},
      {"earlier sibling", 2, {0}, {"A.update", "B.update", "C.update"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::vector<std::string> events;
    auto* g = new ssGroup;
    LogView* views[3] = {new LogView("A", &events), new LogView("B", &events), new LogView("C", &events)};
    for (LogView* v : views) g->AddChild(v);
    views[test.closer]->onUpdate = [&, test] {
      for (int i : test.closed) views[i]->Release();
    };
    events.clear();
    g->Update();
    std::vector<std::string> updates;
    for (const std::string& e : events) {
      if (e.ends_with(".update")) updates.push_back(e);
    }
    EXPECT_EQ(updates, test.updated);
    g->Release();
  }
}

TEST(TreeWalk, ACallbackMayCloseTheGroupBeingWalked) {
  std::vector<std::string> events;
  auto* outer = new ssGroup;
  auto* g = new ssGroup;
  outer->AddChild(g);
  auto* a = new LogView("A", &events);
  auto* b = new LogView("B", &events);
  g->AddChild(a);
  g->AddChild(b);
  a->onUpdate = [g] { g->Release(); };  // takes a and b with it
  events.clear();
  outer->Update();
  EXPECT_EQ(events, (std::vector<std::string>{"A.update", "B-1", "A-1", "B:3", "~B", "A:3", "~A"}));
  EXPECT_EQ(outer->GetFirstChild(), nullptr);
  outer->Release();
}

TEST_F(Tree, WalkStateIsRestoredWhenACallbackThrows) {
  AddAll();
  a->onUpdate = [] { throw 5; };
  EXPECT_THROW(group->Update(), int);
  a->onUpdate = nullptr;
  log.clear();
  LogView* doomed = c;
  b->onUpdate = [doomed] { doomed->Release(); };
  c = nullptr;
  group->Update();
  EXPECT_EQ(log, (std::vector<std::string>{"A.update", "B.update", "C:3", "C-1", "~C"}));
}

}  // namespace
}  // namespace DxDraw
