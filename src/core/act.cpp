#include "core/act.h"

#include <cstdint>

#include "core/exception.h"

namespace {

ACT g_Pool[kACTPoolSize];
ACT* g_pFree = nullptr;               // head of the free list, linked through next
ACT* g_pLevels[kACTLevelCount] = {};  // level roots; null before InitACT and after TermACT

// All fields but next (the free-list link) and serial.
void ClearRecord(ACT* a) {
  a->parent = nullptr;
  a->lastChild = nullptr;
  a->proc = nullptr;
  a->user = 0;
  a->work = 0;
  a->flags = 0;
  a->state = 0;
  a->dying = false;
  a->deletePending = false;
}

void PushFree(ACT* a) {
  ClearRecord(a);
  a->inUse = false;
  a->next = g_pFree;
  g_pFree = a;
}

ACT* PopFree() {
  ACT* a = g_pFree;
  if (a == nullptr) return nullptr;
  g_pFree = a->next;
  a->next = nullptr;
  a->inUse = true;
  ++a->serial;
  return a;
}

// Returns a record to the pool; one whose KillACT is still under way goes when
// that ends, so the kill never works on a record already on the free list.
void Recycle(ACT* a) {
  if (a->dying) {
    a->deletePending = true;
  } else {
    PushFree(a);
  }
}

bool IsPoolRecord(const ACT* a) {
  const auto p = reinterpret_cast<uintptr_t>(a);
  const auto base = reinterpret_cast<uintptr_t>(&g_Pool[0]);
  return p >= base && p < base + sizeof(g_Pool) && (p - base) % sizeof(ACT) == 0;
}

bool IsLive(const ACT* a) { return a != nullptr && IsPoolRecord(a) && a->inUse; }

bool IsLevelRoot(const ACT* a) {
  for (const ACT* root : g_pLevels) {
    if (root != nullptr && root == a) return true;
  }
  return false;
}

}  // namespace

void InitACT() {
  g_pFree = nullptr;
  for (int i = kACTPoolSize - 1; i >= 0; --i) PushFree(&g_Pool[i]);
  for (int level = 0; level < kACTLevelCount; ++level) {
    ACT* root = PopFree();
    if (root == nullptr) ThrowError(u"act", 224, u"MakeACT: Empty Memory!!");
    root->flags = ACT_FLAG_RUN;
    g_pLevels[level] = root;
  }
}

void TermACT() {
  for (ACT*& root : g_pLevels) {
    if (root == nullptr) continue;
    KillACT(root);
    PushFree(root);
    root = nullptr;
  }
}

ACT* MakeACT(ACTPROC proc, intptr_t user) {
  ACT* task = PopFree();
  if (task == nullptr) ThrowError(u"act", 224, u"MakeACT: Empty Memory!!");
  ClearRecord(task);
  task->proc = proc;
  task->user = user;
  task->flags = ACT_FLAG_RUN;
  if (proc != nullptr) SendACT(task, ACT_CREATE, 0, 0);
  return task;
}

bool LinkACT(int level, ACT* task) {
  if (level < 0 || level >= kACTLevelCount || g_pLevels[level] == nullptr) {
    ReportAssertion(u"act", __LINE__, u"level out of range");
    return false;
  }
  // A task already in a ring would be in two at once.
  if (!IsLive(task) || IsLevelRoot(task) || task->parent != nullptr) {
    ReportAssertion(u"act", __LINE__, u"task cannot be linked");
    return false;
  }
  ACT* root = g_pLevels[level];
  if (root->lastChild == nullptr) {
    task->next = task;
  } else {
    task->next = root->lastChild->next;
    root->lastChild->next = task;
  }
  root->lastChild = task;
  task->parent = root;
  SendACT(task, ACT_LINKED, 0, 0);
  return true;
}

void RunACT(ACT* task) {
  if (!IsLive(task)) return;
  const uint32_t serial = task->serial;
  auto gone = [&] { return !task->inUse || task->serial != serial; };

  SendACT(task, ACT_RUN, 0, 0);
  if (gone()) return;

  if (task->lastChild != nullptr) {
    // The ring is copied before any child runs: a child may delete a sibling
    // (or itself) while it runs, and a deleted record may be handed out again
    // at once. Each entry is run only while it is still the same record under
    // this task.
    struct Entry {
      ACT* task;
      uint32_t serial;
    };
    Entry children[kACTPoolSize];
    int count = 0;
    ACT* last = task->lastChild;
    for (ACT* c = last->next; count < kACTPoolSize; c = c->next) {
      children[count++] = {c, c->serial};
      if (c == last) break;
    }
    for (int i = 0; i < count; ++i) {
      ACT* c = children[i].task;
      if (c->inUse && c->serial == children[i].serial && c->parent == task &&
          (c->flags & ACT_FLAG_RUN) != 0) {
        RunACT(c);
      }
      if (gone()) return;
    }
  }
  SendACT(task, ACT_RUN_END, 0, 0);
}

void RunACTLevels(int from, int to) {
  if (to == -1) to = kACTLevelCount - 1;
  if (from < 0 || to >= kACTLevelCount || from > to) return;
  for (int level = from; level <= to; ++level) RunACT(g_pLevels[level]);
}

void SendACT(ACT* task, uint32_t message, intptr_t a, intptr_t b) {
  if (task != nullptr && task->proc != nullptr) task->proc(task, message, a, b);
}

void KillACT(ACT* task) {
  // A procedure may ask again for a task whose kill is under way; once is enough.
  if (!IsLive(task) || task->dying) return;
  task->dying = true;
  while (ACT* child = task->lastChild) {
    const uint32_t serial = child->serial;
    KillACT(child);
    // KillACT unlinks the child; should a procedure have linked it back, it is
    // taken out here so the loop ends.
    if (task->lastChild == child) DetachACT(task, child);
    // Its ACT_DESTROY may have deleted it already.
    if (child->inUse && child->serial == serial) Recycle(child);
  }
  if (ACT* parent = task->parent) {
    SendACT(parent, ACT_CHILD_REMOVED, reinterpret_cast<intptr_t>(task), 0);
    DetachACT(parent, task);
    task->parent = nullptr;
    task->next = nullptr;
  }
  SendACT(task, ACT_DESTROY, 0, 0);
  task->dying = false;
  if (task->deletePending) PushFree(task);
}

void DeleteACT(ACT* task) {
  if (task == nullptr) return;
  if (!IsLive(task) || IsLevelRoot(task)) {
    ReportAssertion(u"act", __LINE__, u"DeleteACT of a record that is not a live task");
    return;
  }
  if (task->deletePending) {
    ReportAssertion(u"act", __LINE__, u"DeleteACT of a task already being deleted");
    return;
  }
  const uint32_t serial = task->serial;
  KillACT(task);
  if (task->inUse && task->serial == serial) Recycle(task);
}

void DetachACT(ACT* parent, ACT* child) {
  if (parent == nullptr || child == nullptr || parent->lastChild == nullptr) return;
  ACT* last = parent->lastChild;
  ACT* prev = last;
  ACT* c = last->next;
  for (int guard = 0; guard < kACTPoolSize; ++guard) {
    if (c == child) {
      if (c == prev) {
        parent->lastChild = nullptr;
      } else {
        prev->next = c->next;
        if (c == last) parent->lastChild = prev;
      }
      child->parent = nullptr;
      child->next = nullptr;
      return;
    }
    if (c == last) return;
    prev = c;
    c = c->next;
  }
}

ACT* ACTLevelRoot(int level) {
  if (level < 0 || level >= kACTLevelCount) return nullptr;
  return g_pLevels[level];
}

int CountFreeACT() {
  int n = 0;
  for (const ACT* a = g_pFree; a != nullptr && n <= kACTPoolSize; a = a->next) ++n;
  return n;
}
