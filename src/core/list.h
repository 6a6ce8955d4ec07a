// Intrusive doubly linked lists. Every element derives from a node that carries
// its own links and a pointer to the list that owns it; the list ("group") owns
// its nodes and deletes them when it dies. A group is itself a node, so a list
// can be an element of another list.
//
// There are two parallel kinds with the same layout and the same behaviour,
// ListNode/ListGroup and DoubleListNode/DoubleListGroup, kept apart so that a
// node of one kind can never be put in a list of the other. The typed wrappers
// CListNode, CListGroup, CDoubleListNode and CDoubleListGroup add no data; they
// only cast to the element and list types of each use.
#pragma once

#include <cstdint>

class ListGroup;

class ListNode {
 public:
  ListNode() = default;
  // A node that is in a list leaves it (removes itself) when it dies.
  virtual ~ListNode();
  ListNode(const ListNode&) = delete;
  ListNode& operator=(const ListNode&) = delete;

  ListNode* m_pPrev = nullptr;    // previous node of the owning list; null at the head
  ListNode* m_pNext = nullptr;    // next node; null at the tail
  ListGroup* m_pOwner = nullptr;  // the list that holds the node; null when in none
};

class ListGroup : public ListNode {
 public:
  ListGroup() = default;
  // Deletes every node, head first, then leaves its own owner like any node.
  ~ListGroup() override;

  // Links the chain (one or more nodes linked through m_pNext, ending with a null
  // m_pNext) in before `position`; a null position appends it at the tail. Every
  // chain node becomes owned by this list. Returns the last node of the chain;
  // a null chain returns null and changes nothing.
  ListNode* InsertBefore(ListNode* position, ListNode* chain);
  ListNode* Append(ListNode* chain) { return InsertBefore(nullptr, chain); }

  // Unlinks a node of this list and clears its links and owner. Returns the node,
  // or null (and changes nothing) when it is null or not owned by this list.
  ListNode* Remove(ListNode* node);

  // The node at `index`: 0 is the head, -1 the tail, -2 the one before it. Null
  // when out of range. Walks from the nearer end.
  ListNode* GetAt(int index) const;

  uint32_t m_Tag = 0;             // free for the owner's use; no list operation reads it
  ListNode* m_pHead = nullptr;
  ListNode* m_pTail = nullptr;
  int32_t m_nCount = 0;           // nodes reachable from m_pHead
  uint32_t m_nChanges = 0;        // bumped by every insert and remove: an index kept over the list sees it is stale
};

class DoubleListGroup;

class DoubleListNode {
 public:
  DoubleListNode() = default;
  virtual ~DoubleListNode();
  DoubleListNode(const DoubleListNode&) = delete;
  DoubleListNode& operator=(const DoubleListNode&) = delete;

  DoubleListNode* m_pPrev = nullptr;
  DoubleListNode* m_pNext = nullptr;
  DoubleListGroup* m_pOwner = nullptr;
};

class DoubleListGroup : public DoubleListNode {
 public:
  DoubleListGroup() = default;
  ~DoubleListGroup() override;

  // As ListGroup::InsertBefore.
  DoubleListNode* InsertBefore(DoubleListNode* position, DoubleListNode* chain);
  DoubleListNode* Append(DoubleListNode* chain) { return InsertBefore(nullptr, chain); }
  // As ListGroup::Remove: a node of another list is refused.
  DoubleListNode* Remove(DoubleListNode* node);

  uint32_t m_Tag = 0;
  DoubleListNode* m_pHead = nullptr;
  DoubleListNode* m_pTail = nullptr;
  int32_t m_nCount = 0;
  uint32_t m_nChanges = 0;
};

// --- Typed wrappers ------------------------------------------------------------

// N: the element class deriving from this; G: its list class.
template <class N, class G>
class CListNode : public ListNode {
 public:
  N* GetNext() const { return static_cast<N*>(m_pNext); }
  N* GetPrev() const { return static_cast<N*>(m_pPrev); }
  G* GetOwner() const { return static_cast<G*>(m_pOwner); }
};

// G: the list class deriving from this; N: its element class; Base: ListGroup or
// a class derived from it (when the list is itself an element of another list).
template <class G, class N, class Base = ListGroup>
class CListGroup : public Base {
 public:
  N* GetHead() const { return static_cast<N*>(this->m_pHead); }
  N* GetTail() const { return static_cast<N*>(this->m_pTail); }
  int32_t GetCount() const { return this->m_nCount; }
  N* GetAt(int index) const { return static_cast<N*>(Base::GetAt(index)); }
  N* InsertBefore(N* position, N* chain) { return static_cast<N*>(Base::InsertBefore(position, chain)); }
  N* Append(N* chain) { return static_cast<N*>(Base::InsertBefore(nullptr, chain)); }
  N* Remove(N* node) { return static_cast<N*>(Base::Remove(node)); }
};

template <class N, class G>
class CDoubleListNode : public DoubleListNode {
 public:
  N* GetNext() const { return static_cast<N*>(m_pNext); }
  N* GetPrev() const { return static_cast<N*>(m_pPrev); }
  G* GetOwner() const { return static_cast<G*>(m_pOwner); }
};

template <class G, class N>
class CDoubleListGroup : public DoubleListGroup {
 public:
  N* GetHead() const { return static_cast<N*>(m_pHead); }
  N* GetTail() const { return static_cast<N*>(m_pTail); }
  int32_t GetCount() const { return m_nCount; }
  N* InsertBefore(N* position, N* chain) {
    return static_cast<N*>(DoubleListGroup::InsertBefore(position, chain));
  }
  N* Append(N* chain) { return static_cast<N*>(DoubleListGroup::InsertBefore(nullptr, chain)); }
  N* Remove(N* node) { return static_cast<N*>(DoubleListGroup::Remove(node)); }
};

// --- Singly linked chains ------------------------------------------------------
// Chains of records linked through a member `next` (a T*), ending with null.

// Links `node` after the last element; returns the head, or the node when the
// chain was empty.
template <class T>
T* ListAppendTail(T* head, T* node) {
  if (head == nullptr) return node;
  T* last = head;
  while (last->next != nullptr) last = last->next;
  last->next = node;
  return head;
}

// The element `n` links after the head (0 gives the head); null when the chain
// is shorter or n is negative.
template <class T>
T* ListNodeAt(T* head, int n) {
  if (n < 0) return nullptr;
  T* p = head;
  for (; p != nullptr && n > 0; --n) p = p->next;
  return p;
}
