// The view tree: every thing on screen is an ssView hanging in an ssGroup's ring
// of children, and all communication along the tree is the three-argument view
// message. Drawables derive ssView virtually, so a positioned group has one node.
#pragma once

#include <cstdint>

namespace DxDraw {

struct DRAWINFO;
class ssGroup;

// Message arguments are pointer-sized: many carry the address of a record.
using MessageArg = uintptr_t;
using MessageResult = intptr_t;

// View message codes of the renderer. For most codes a handler returns 0 when
// it handled the message and 1 when it did not.
enum : uint32_t {
  kMsgCountViews = 0,            // a: int* counter, incremented once per view of the subtree
  kMsgAttached = 1,              // sent by ssGroup::AddChild
  kMsgClosing = 3,               // sent by ssView::Close before the view leaves the tree
  kMsgRunUpdate = 0x4001,        // run the update callback
  kMsgGetTransform = 0x4002,     // a: float** (or 0), b: float[15] state (or 0)
  kMsgComposeTransform = 0x4003, // a: float[16] matrix, b: float[15] state, composed from the root
  kMsgHitTest = 0x4004,          // a: POINT* in the receiver's parent's coordinates, b: ssView** out
  kMsgCollectDirty = 0x4065,     // a: the screen surface, b: DirtyRectList*
  kMsgCommitDrawn = 0x4066,      // the picture was presented: what was drawn is now the previous state
  kMsgSetChanged = 0x4067,       // a: change bits to OR in
  kMsgAddDirty = 0x4068,         // a: const RECT* in screen coordinates
  kMsgRepaint = 0x4069,          // a: const RECT* to repaint, b: platform::IPresenter*
};

// Routing codes of ssView::Dispatch.
enum : int {
  kDispatchOwn = 0,
  kDispatchActiveChain = 1,
  kDispatchFirstChildChain = 2,
  kDispatchBroadcast = 3,
  kDispatchHitTest = 4,
};

// View flag bits.
enum : uint16_t {
  kViewVisible = 1,
  kViewActive = 4,
};

class ssView {
 public:
  ssView() = default;
  ssView(const ssView&) = delete;
  ssView& operator=(const ssView&) = delete;
  // A view destroyed while still in a ring takes itself out first.
  virtual ~ssView();

  // Leaves the tree: the closing message, hidden, out of the parent's ring.
  virtual void Close();
  // Close, then delete. Returns 0.
  virtual int Release();
  virtual MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b);
  virtual MessageResult Dispatch(int code, uint32_t msg, MessageArg a, MessageArg b);
  // Once per frame, before drawing.
  virtual void Update() {}
  virtual void Draw(DRAWINFO* info) { (void)info; }
  virtual void SetFlag(uint16_t bits, int on);
  virtual void Show();
  virtual void Hide();
  // Leaves the parent without the closing message and without hiding.
  virtual void Detach();

  ssGroup* GetParent() const { return m_pParent; }
  uint16_t GetFlags() const { return m_Flags; }
  bool IsVisible() const { return (m_Flags & kViewVisible) != 0; }
  // Null when this view is its parent's tail (or has no parent).
  ssView* GetNextSibling() const;
  // Null when this view is its parent's first child (or has no parent).
  ssView* GetPrevSibling() const;

 private:
  friend class ssGroup;

  ssGroup* m_pParent = nullptr;
  ssView* m_pNext = nullptr;  // next in the parent's ring; a one-child ring points to itself
  uint16_t m_Flags = kViewVisible;
};

class ssGroup : public virtual ssView {
 public:
  ssGroup() = default;
  // Children are not released by the destructor (closing the group does); they
  // are left detached, with no parent.
  ~ssGroup() override;

  // Hides and releases every child, last to first, then closes the group itself.
  void Close() override;
  MessageResult OnMessage(uint32_t msg, MessageArg a, MessageArg b) override;
  MessageResult Dispatch(int code, uint32_t msg, MessageArg a, MessageArg b) override;
  void Update() override;
  void Draw(DRAWINFO* info) override;

  ssView* GetFirstChild() const { return m_pTail != nullptr ? m_pTail->m_pNext : nullptr; }
  ssView* GetLastChild() const { return m_pTail; }
  ssView* GetActiveChild() const { return m_pActive; }
  // Appends the view as the last child and sends it the attached message. A view
  // in another group leaves it first. Refused (false) for a null view, for the
  // group itself and for any of its ancestors, which would close a cycle.
  bool AddChild(ssView* view);
  // Takes the view out of the ring; a view not in the ring is left alone.
  void RemoveChild(ssView* view);
  void SetActiveChild(ssView* view);

  // Calls fn(child) for every child in ring order. A child closed or moved by a
  // callback during the walk is skipped safely, whichever child it is.
  template <class Fn>
  void ForEachChild(Fn&& fn);

 private:
  friend class ssView;

  // One walk over the ring in progress; RemoveChild moves `next` on when it
  // takes that child out, so the walk never touches a removed view.
  struct RingWalk {
    ssView* next;
    RingWalk* outer;
    ssGroup* owner;  // cleared when the group is destroyed by a callback during the walk
  };

  void Unlink(ssView* view);

  ssView* m_pTail = nullptr;    // last child; its link leads to the first
  ssView* m_pActive = nullptr;  // the child with the active flag, or null
  RingWalk* m_pWalks = nullptr; // innermost walk in progress, or null
};

template <class Fn>
void ssGroup::ForEachChild(Fn&& fn) {
  if (m_pTail == nullptr) return;
  // Unregisters the walk however the callback leaves (update callbacks may throw).
  struct WalkGuard {
    RingWalk walk;
    ~WalkGuard() {
      if (walk.owner != nullptr) walk.owner->m_pWalks = walk.outer;
    }
  } guard{RingWalk{GetFirstChild(), m_pWalks, this}};
  // The guard takes the walk out of the list before it goes out of scope.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif
  m_pWalks = &guard.walk;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  while (guard.walk.next != nullptr) {
    ssView* child = guard.walk.next;
    guard.walk.next = child->GetNextSibling();
    fn(child);
  }
}

}  // namespace DxDraw
