#include "dxdraw/view.h"

#include "core/exception.h"

namespace DxDraw {

namespace {

constexpr const char16_t* kModule = u"dxdraw/dxdraw";

// Routing by hit: for the hit-test message a handler that hits returns nonzero
// and stores the view it hit in *b (a group's handler stores the descendant);
// a handler that returns 0 has answered "no hit", and a nonzero result with
// nothing stored means the class does not handle hit tests. For every other
// message a view is answered when its handler returns 0 (handled). Returns the
// view found, or null; `descend` tells a group whether to ask its children.
ssView* HitByHandler(ssView* view, uint32_t msg, MessageArg a, MessageArg b, bool& descend) {
  if (msg == kMsgHitTest) {
    auto* out = reinterpret_cast<ssView**>(b);
    if (out == nullptr) {
      descend = false;
      return nullptr;
    }
    *out = nullptr;
    const MessageResult result = view->OnMessage(msg, a, b);
    if (result != 0 && *out != nullptr) {
      descend = false;
      return *out;
    }
    descend = result != 0;
    return nullptr;
  }
  descend = true;
  return view->OnMessage(msg, a, b) == 0 ? view : nullptr;
}

}  // namespace

// ---- ssView ----

ssView::~ssView() {
  if (m_pParent == nullptr) return;
  ssGroup* parent = m_pParent;
  ssView* next = m_pNext;
  const bool wasActive = parent->m_pActive == this;
  if (wasActive) parent->m_pActive = nullptr;
  parent->RemoveChild(this);
  if (wasActive && parent->m_pTail != nullptr && next != nullptr && next != this) {
    parent->SetActiveChild(next);
  }
}

void ssView::Close() {
  OnMessage(kMsgClosing, 0, 0);
  Hide();
  ssView::Detach();
}

int ssView::Release() {
  Close();
  delete this;
  return 0;
}

MessageResult ssView::OnMessage(uint32_t msg, MessageArg a, MessageArg b) {
  (void)b;
  if (msg == kMsgCountViews && a != 0) ++*reinterpret_cast<int*>(a);
  return 1;
}

MessageResult ssView::Dispatch(int code, uint32_t msg, MessageArg a, MessageArg b) {
  switch (code) {
    case kDispatchOwn:
    case kDispatchActiveChain:
    case kDispatchFirstChildChain:
    case kDispatchBroadcast:
      return OnMessage(msg, a, b);
    case kDispatchHitTest: {
      bool descend = false;
      return reinterpret_cast<MessageResult>(HitByHandler(this, msg, a, b, descend));
    }
    default:
      return 1;
  }
}

void ssView::SetFlag(uint16_t bits, int on) {
  if (on != 0) {
    m_Flags = static_cast<uint16_t>(m_Flags | bits);
  } else {
    m_Flags = static_cast<uint16_t>(m_Flags & ~bits);
  }
}

void ssView::Show() {
  if ((m_Flags & kViewVisible) == 0) SetFlag(kViewVisible, 1);
}

void ssView::Hide() {
  if ((m_Flags & kViewVisible) != 0) SetFlag(kViewVisible, 0);
}

void ssView::Detach() {
  ssGroup* parent = m_pParent;
  if (parent == nullptr) return;
  ssView* next = m_pNext;
  const bool wasActive = parent->m_pActive == this;
  parent->RemoveChild(this);
  // The active flag passes to the view that followed this one in the ring.
  if (wasActive && parent->m_pTail != nullptr && next != nullptr && next != this) {
    parent->SetActiveChild(next);
  }
  m_pParent = nullptr;
  m_pNext = nullptr;
}

ssView* ssView::GetNextSibling() const {
  if (m_pParent == nullptr || m_pParent->m_pTail == this) return nullptr;
  return m_pNext;
}

ssView* ssView::GetPrevSibling() const {
  if (m_pParent == nullptr) return nullptr;
  ssView* first = m_pParent->GetFirstChild();
  if (first == nullptr || first == this) return nullptr;
  ssView* v = first;
  while (v->m_pNext != this) {
    v = v->m_pNext;
    if (v == first) return nullptr;
  }
  return v;
}

// ---- ssGroup ----

ssGroup::~ssGroup() {
  // Children outlive a group destroyed without Close: they are left detached
  // rather than pointing at freed memory.
  ssView* tail = m_pTail;
  if (tail != nullptr) {
    ssView* v = tail->m_pNext;
    for (;;) {
      ssView* next = v->m_pNext;
      v->m_pParent = nullptr;
      v->m_pNext = nullptr;
      if (v == tail) break;
      v = next;
    }
  }
  m_pTail = nullptr;
  m_pActive = nullptr;
  // A callback destroyed this group during a walk over it: the walk ends there.
  for (RingWalk* walk = m_pWalks; walk != nullptr; walk = walk->outer) {
    walk->next = nullptr;
    walk->owner = nullptr;
  }
}

void ssGroup::Close() {
  if (m_pTail != nullptr) {
    for (ssView* v = m_pTail; v != nullptr;) {
      v->Hide();
      v = v->GetPrevSibling();
    }
  }
  while (m_pTail != nullptr) {
    ssView* tail = m_pTail;
    tail->Release();
    // A view whose Release kept it in the ring would loop here for ever.
    if (m_pTail == tail) tail->ssView::Detach();
  }
  SetActiveChild(nullptr);
  ssView::Close();
}

MessageResult ssGroup::OnMessage(uint32_t msg, MessageArg a, MessageArg b) {
  if (msg == kMsgCountViews) {
    ssView::OnMessage(msg, a, b);
    ForEachChild([&](ssView* child) { child->OnMessage(msg, a, b); });
    return 1;
  }
  return ssView::OnMessage(msg, a, b);
}

MessageResult ssGroup::Dispatch(int code, uint32_t msg, MessageArg a, MessageArg b) {
  switch (code) {
    case kDispatchOwn:
      return OnMessage(msg, a, b);
    case kDispatchActiveChain:
      return m_pActive != nullptr ? m_pActive->Dispatch(kDispatchActiveChain, msg, a, b) : 1;
    case kDispatchFirstChildChain: {
      ssView* first = GetFirstChild();
      return first != nullptr ? first->Dispatch(kDispatchFirstChildChain, msg, a, b) : 1;
    }
    case kDispatchBroadcast:
      OnMessage(msg, a, b);
      ForEachChild([&](ssView* child) { child->Dispatch(kDispatchBroadcast, msg, a, b); });
      return 1;
    case kDispatchHitTest: {
      bool descend = false;
      if (ssView* hit = HitByHandler(this, msg, a, b, descend)) {
        return reinterpret_cast<MessageResult>(hit);
      }
      if (!descend) return 0;
      MessageResult found = 0;
      ForEachChild([&](ssView* child) {
        if (found == 0) found = child->Dispatch(kDispatchHitTest, msg, a, b);
      });
      return found;
    }
    default:
      return 1;
  }
}

void ssGroup::Update() {
  ForEachChild([](ssView* child) { child->Update(); });
}

void ssGroup::Draw(DRAWINFO* info) {
  ForEachChild([info](ssView* child) { child->Draw(info); });
}

bool ssGroup::AddChild(ssView* view) {
  if (view == nullptr) return false;
  for (const ssView* up = this; up != nullptr; up = up->m_pParent) {
    if (up == view) {
      ReportAssertion(kModule, __LINE__, u"AddChild would make a cycle");
      return false;
    }
  }
  // A view can be in one ring only: it leaves the old one first (also when the
  // old one is this group: it then moves to the end).
  if (view->m_pParent != nullptr) view->ssView::Detach();
  view->m_pParent = this;
  if (m_pTail != nullptr) {
    view->m_pNext = m_pTail->m_pNext;
    m_pTail->m_pNext = view;
  } else {
    view->m_pNext = view;
  }
  m_pTail = view;
  view->OnMessage(kMsgAttached, 0, 0);
  return true;
}

void ssGroup::RemoveChild(ssView* view) {
  if (m_pTail == nullptr || view == nullptr) return;
  if (m_pTail == view && view->m_pNext == view) {
    Unlink(view);
    m_pTail = nullptr;
  } else {
    ssView* prev = m_pTail;
    while (prev->m_pNext != view) {
      prev = prev->m_pNext;
      if (prev == m_pTail) return;  // not in this ring
    }
    Unlink(view);
    prev->m_pNext = view->m_pNext;
    if (m_pTail == view) m_pTail = prev;
  }
  if (m_pActive == view) {
    m_pActive = nullptr;
    view->SetFlag(kViewActive, 0);
  }
  view->m_pParent = nullptr;
  view->m_pNext = nullptr;
}

// Moves every walk in progress past a child about to leave the ring.
void ssGroup::Unlink(ssView* view) {
  ssView* after = m_pTail == view ? nullptr : view->m_pNext;
  for (RingWalk* walk = m_pWalks; walk != nullptr; walk = walk->outer) {
    if (walk->next == view) walk->next = after;
  }
}

void ssGroup::SetActiveChild(ssView* view) {
  if (view == m_pActive) return;
  if (view != nullptr && view->m_pParent != this) return;  // only a child can be active
  if (m_pActive != nullptr) m_pActive->SetFlag(kViewActive, 0);
  if (view != nullptr) view->SetFlag(kViewActive, 1);
  m_pActive = view;
}

}  // namespace DxDraw
