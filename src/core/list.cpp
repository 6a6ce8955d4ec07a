#include "core/list.h"

namespace {

// The two kinds share their code; Node and Group are ListNode/ListGroup or
// DoubleListNode/DoubleListGroup.

template <class Node, class Group>
Node* InsertChain(Group* group, Node* position, Node* chain) {
  // A null chain changes nothing: in particular head and tail of a non-empty
  // list stay as they are.
  if (chain == nullptr) return nullptr;
  ++group->m_nChanges;

  Node* before = position != nullptr ? position->m_pPrev : group->m_pTail;
  chain->m_pPrev = before;
  if (before != nullptr) {
    before->m_pNext = chain;
  } else {
    group->m_pHead = chain;
  }

  Node* last = chain;
  for (Node* n = chain; n != nullptr; n = n->m_pNext) {
    n->m_pOwner = group;
    ++group->m_nCount;
    last = n;
  }

  last->m_pNext = position;
  if (position != nullptr) {
    position->m_pPrev = last;
  } else {
    group->m_pTail = last;
  }
  return last;
}

template <class Node, class Group>
Node* RemoveNode(Group* group, Node* node) {
  if (node == nullptr || group->m_nCount == 0 || node->m_pOwner != group) return nullptr;
  if (node->m_pPrev != nullptr) {
    node->m_pPrev->m_pNext = node->m_pNext;
  } else {
    group->m_pHead = node->m_pNext;
  }
  if (node->m_pNext != nullptr) {
    node->m_pNext->m_pPrev = node->m_pPrev;
  } else {
    group->m_pTail = node->m_pPrev;
  }
  node->m_pPrev = nullptr;
  node->m_pNext = nullptr;
  node->m_pOwner = nullptr;
  --group->m_nCount;
  ++group->m_nChanges;
  return node;
}

// Each node removes itself from the list while it is destroyed.
template <class Group>
void DeleteAll(Group* group) {
  while (group->m_nCount != 0 && group->m_pHead != nullptr) delete group->m_pHead;
}

}  // namespace

ListNode::~ListNode() {
  if (m_pOwner != nullptr) m_pOwner->Remove(this);
}

ListGroup::~ListGroup() { DeleteAll(this); }

ListNode* ListGroup::InsertBefore(ListNode* position, ListNode* chain) {
  return InsertChain(this, position, chain);
}

ListNode* ListGroup::Remove(ListNode* node) { return RemoveNode(this, node); }

ListNode* ListGroup::GetAt(int index) const {
  const int count = m_nCount;
  if (index >= 0) {
    if (index >= count) return nullptr;
    ListNode* n;
    if (index <= count / 2) {
      n = m_pHead;
      for (int i = 0; i < index; ++i) n = n->m_pNext;
    } else {
      n = m_pTail;
      for (int i = 0; i < count - index - 1; ++i) n = n->m_pPrev;
    }
    return n;
  }
  // -1 is the tail; k steps back from it.
  const int k = -(index + 1);
  if (k >= count) return nullptr;
  ListNode* n;
  if (k <= count / 2) {
    n = m_pTail;
    for (int i = 0; i < k; ++i) n = n->m_pPrev;
  } else {
    n = m_pHead;
    for (int i = 0; i < count + index; ++i) n = n->m_pNext;
  }
  return n;
}

DoubleListNode::~DoubleListNode() {
  if (m_pOwner != nullptr) m_pOwner->Remove(this);
}

DoubleListGroup::~DoubleListGroup() { DeleteAll(this); }

DoubleListNode* DoubleListGroup::InsertBefore(DoubleListNode* position, DoubleListNode* chain) {
  return InsertChain(this, position, chain);
}

DoubleListNode* DoubleListGroup::Remove(DoubleListNode* node) { return RemoveNode(this, node); }
