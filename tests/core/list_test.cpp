#include "core/list.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

int g_deleted = 0;

class Group;
class Node : public CListNode<Node, Group> {
 public:
  explicit Node(int v) : value(v) {}
  ~Node() override { ++g_deleted; }
  int value;
};
class Group : public CListGroup<Group, Node> {};

class DNode;
class DGroup;
class DNode : public CDoubleListNode<DNode, DGroup> {
 public:
  explicit DNode(int v) : value(v) {}
  int value;
};
class DGroup : public CDoubleListGroup<DGroup, DNode> {};

// Values head to tail, checking links, owners and the count on the way.
template <class G, class N>
std::vector<int> Values(const G& g) {
  std::vector<int> out;
  const N* prev = nullptr;
  for (N* n = g.GetHead(); n != nullptr; n = n->GetNext()) {
    EXPECT_EQ(n->GetPrev(), prev);
    EXPECT_EQ(n->GetOwner(), &g);
    out.push_back(n->value);
    prev = n;
  }
  EXPECT_EQ(g.GetTail(), prev);
  EXPECT_EQ(static_cast<int>(out.size()), g.GetCount());
  return out;
}
std::vector<int> Values(const Group& g) { return Values<Group, Node>(g); }
std::vector<int> Values(const DGroup& g) { return Values<DGroup, DNode>(g); }

// A chain of fresh nodes linked through next.
template <class N>
N* Chain(std::initializer_list<int> values) {
  N* head = nullptr;
  N* last = nullptr;
  for (int v : values) {
    N* n = new N(v);
    if (last != nullptr) {
      last->m_pNext = n;
      n->m_pPrev = last;
    } else {
      head = n;
    }
    last = n;
  }
  return head;
}

TEST(ListGroup, DeletingTheGroupDeletesEveryNode) {
  g_deleted = 0;
  auto* g = new Group;
  for (int i = 0; i < 3; ++i) g->Append(new Node(i));
  delete g;
  EXPECT_EQ(g_deleted, 3);
}

TEST(ListGroup, DeletingANodeLeavesItsList) {
  Group g;
  Node* a = g.Append(new Node(1));
  Node* b = g.Append(new Node(2));
  g.Append(new Node(3));
  delete b;
  EXPECT_EQ(Values(g), (std::vector<int>{1, 3}));
  delete a;
  EXPECT_EQ(Values(g), (std::vector<int>{3}));
}

TEST(ListGroup, GetAtCountsFromEitherEnd) {
  Group g;
  for (int i = 0; i < 5; ++i) g.Append(new Node(i));
  const struct {
    int index;
    int value;  // -1: null
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, -1}, {-1, 4}, {-2, 3},
               {-3, 2}, {-4, 1}, {-5, 0}, {-6, -1}, {1 << 30, -1}, {-(1 << 30), -1}};
  for (const auto& c : cases) {
    Node* n = g.GetAt(c.index);
    if (c.value < 0) {
      EXPECT_EQ(n, nullptr) << c.index;
    } else {
      ASSERT_NE(n, nullptr) << c.index;
      EXPECT_EQ(n->value, c.value) << c.index;
    }
  }
  Group empty;
  EXPECT_EQ(empty.GetAt(0), nullptr);
  EXPECT_EQ(empty.GetAt(-1), nullptr);
}

TEST(ListGroup, InsertsChainsAtHeadMiddleAndTail) {
  Group g;
  Node* first = g.Append(new Node(10));
  g.Append(new Node(20));
  Node* last = g.InsertBefore(first, Chain<Node>({1, 2, 3}));
  EXPECT_EQ(last->value, 3);
  EXPECT_EQ(g.GetHead()->value, 1);
  EXPECT_EQ(Values(g), (std::vector<int>{1, 2, 3, 10, 20}));

  g.InsertBefore(g.GetAt(-1), Chain<Node>({15, 16}));
  g.InsertBefore(nullptr, Chain<Node>({30}));
  EXPECT_EQ(Values(g), (std::vector<int>{1, 2, 3, 10, 15, 16, 20, 30}));
}

TEST(ListGroup, AGroupCanBeANodeOfAnotherGroup) {
  g_deleted = 0;
  auto* outer = new ListGroup;
  auto* inner = new Group;
  inner->Append(new Node(1));
  inner->Append(new Node(2));
  outer->Append(inner);
  EXPECT_EQ(outer->m_nCount, 1);
  EXPECT_EQ(inner->m_pOwner, outer);
  delete outer;
  EXPECT_EQ(g_deleted, 2);
}

// Both kinds of list: the singly and the doubly linked group.
template <class T>
class BothLists : public testing::Test {};
using ListKinds = testing::Types<std::pair<Group, Node>, std::pair<DGroup, DNode>>;
TYPED_TEST_SUITE(BothLists, ListKinds);

// Regression (doubly linked): a node of another list used to be unlinked from the wrong list.
TYPED_TEST(BothLists, RemoveRefusesANodeOfAnotherList) {
  using G = typename TypeParam::first_type;
  using N = typename TypeParam::second_type;
  G a;
  G b;
  N* n = a.Append(new N(1));
  a.Append(new N(2));
  b.Append(new N(3));
  EXPECT_EQ(b.Remove(n), nullptr);
  EXPECT_EQ(b.Remove(nullptr), nullptr);
  EXPECT_EQ((Values<G, N>(a)), (std::vector<int>{1, 2}));
  EXPECT_EQ((Values<G, N>(b)), (std::vector<int>{3}));

  EXPECT_EQ(a.Remove(n), n);
  EXPECT_EQ(n->GetOwner(), nullptr);
  delete n;
  delete a.Remove(a.GetHead());
  EXPECT_EQ(a.GetCount(), 0);
  EXPECT_EQ(a.GetHead(), nullptr);
  EXPECT_EQ(a.GetTail(), nullptr);
}

// Regression (doubly linked): a null chain put into a non-empty list used to
// clear its head and tail.
TYPED_TEST(BothLists, NullChainChangesNothing) {
  using G = typename TypeParam::first_type;
  using N = typename TypeParam::second_type;
  G g;
  g.Append(new N(1));
  g.Append(new N(2));
  EXPECT_EQ(g.InsertBefore(nullptr, nullptr), nullptr);
  EXPECT_EQ(g.InsertBefore(g.GetHead(), nullptr), nullptr);
  EXPECT_EQ((Values<G, N>(g)), (std::vector<int>{1, 2}));
}

TEST(DoubleListGroup, InsertsAndRemovesLikeTheFirstKind) {
  DGroup g;
  DNode* mid = g.Append(new DNode(2));
  g.InsertBefore(mid, Chain<DNode>({0, 1}));
  g.Append(Chain<DNode>({3, 4}));
  EXPECT_EQ(Values(g), (std::vector<int>{0, 1, 2, 3, 4}));
  delete g.Remove(mid);
  delete g.Remove(g.GetHead());
  delete g.Remove(g.GetTail());
  EXPECT_EQ(Values(g), (std::vector<int>{1, 3}));
}

struct Link {
  Link* next = nullptr;
  int value = 0;
};

TEST(SinglyLinkedChain, AppendTailAndNodeAt) {
  Link a{nullptr, 1}, b{nullptr, 2}, c{nullptr, 3};
  Link* head = ListAppendTail<Link>(nullptr, &a);
  EXPECT_EQ(head, &a);
  head = ListAppendTail(head, &b);
  head = ListAppendTail(head, &c);
  EXPECT_EQ(head, &a);
  EXPECT_EQ(ListNodeAt(head, 0), &a);
  EXPECT_EQ(ListNodeAt(head, 2), &c);
  EXPECT_EQ(ListNodeAt(head, 3), nullptr);
  EXPECT_EQ(ListNodeAt(head, -1), nullptr);
  EXPECT_EQ(ListNodeAt<Link>(nullptr, 0), nullptr);
}

}  // namespace
