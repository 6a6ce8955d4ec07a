// The ACT task scheduler: small records with a procedure called once per frame.
// Tasks hang in trees under 16 level roots that the frame runs in a fixed order;
// a task may also stay unlinked and be run by its owner with RunACT. All records
// come from one static pool of 128 (16 of them are the level roots). Game thread
// only; nothing is locked.
#pragma once

#include <cstdint>

struct ACT;

// Called as procedure(task, message, a, b); the result of a call is not used.
using ACTPROC = void (*)(ACT* task, uint32_t message, intptr_t a, intptr_t b);

inline constexpr uint32_t ACT_CREATE = 1;         // by MakeACT, once the record is ready
inline constexpr uint32_t ACT_DESTROY = 2;        // by KillACT, last, to the dying task
inline constexpr uint32_t ACT_CHILD_REMOVED = 3;  // by KillACT, to the dying task's parent; a = the task
inline constexpr uint32_t ACT_LINKED = 4;         // by LinkACT, after linking
inline constexpr uint32_t ACT_RUN = 5;            // by RunACT, before the children run
inline constexpr uint32_t ACT_RUN_END = 6;        // by RunACT, after the children ran
inline constexpr uint32_t ACT_KEY_HELD = 0x8000;  // by the script run loop while the skip keys are held

inline constexpr uint32_t ACT_FLAG_RUN = 1;       // clear: the task and its subtree are skipped

inline constexpr int kACTPoolSize = 128;
inline constexpr int kACTLevelCount = 16;

struct ACT {
  ACT* parent;        // a level root or another task; null when unlinked
  ACT* next;          // next sibling in the parent's circular ring; on the free list, the next free record
  ACT* lastChild;     // last child of this task's ring (its next is the first); null without children
  ACTPROC proc;       // may be null
  intptr_t user;      // for the procedure's use
  intptr_t work;      // for the procedure's use; 0 at creation
  uint32_t flags;     // ACT_FLAG_RUN
  int32_t state;      // for the procedure's use, 0 at creation; the script's wait tasks set -1 when done
  uint32_t serial;    // changes each time the record is handed out, so a walk can tell a reused record
  bool inUse;         // false while the record is on the free list
  bool dying;         // KillACT of this task is under way
  bool deletePending; // deleted while dying: returned to the pool when the kill ends
};

// Fills the free list and takes the 16 level roots from it. Run once at start-up.
void InitACT();
// Kills every level's tree and returns the roots. Run once at shut-down.
void TermACT();

// A new, unlinked task with the run flag set; ACT_CREATE is sent when there is a
// procedure. Throws the error record "MakeACT: Empty Memory!!" when the pool is empty.
ACT* MakeACT(ACTPROC proc, intptr_t user);

// Appends the task to the level's ring and sends ACT_LINKED. Levels outside
// 0-15 (and tasks that are not live) are refused: false.
bool LinkACT(int level, ACT* task);

// Sends ACT_RUN, runs each child present when the walk began (first to last)
// whose run flag is set, then sends ACT_RUN_END. A child removed by another
// during the walk is not run, and one added during it waits for the next run.
void RunACT(ACT* task);

// RunACT on level roots `from` to `to` inclusive; `to` = -1 means 15. A range
// outside 0-15, or from > to, runs nothing.
void RunACTLevels(int from, int to);

// Calls the task's procedure, when it has one.
void SendACT(ACT* task, uint32_t message, intptr_t a, intptr_t b);

// Destroys the task's subtree (children from the last backwards, depth first,
// each returned to the pool), unlinks the task (ACT_CHILD_REMOVED to its parent)
// and sends it ACT_DESTROY. The record itself stays allocated.
void KillACT(ACT* task);

// KillACT, then returns the record to the pool. A record that is already free,
// a level root or a pointer outside the pool is refused (reported, nothing changes).
void DeleteACT(ACT* task);

// Removes the child from the parent's ring and clears its parent and next; a
// child not in the ring leaves everything unchanged.
void DetachACT(ACT* parent, ACT* child);

// The root of a level, or null when the level is out of range or the scheduler
// is not running.
ACT* ACTLevelRoot(int level);

// Records on the free list.
int CountFreeACT();
