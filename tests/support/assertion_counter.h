// Counts the engine's internal assertion reports while alive, for tests that
// check a misuse is reported rather than acted on.
#pragma once

#include "core/exception.h"

struct AssertionCounter {
  static inline int count = 0;
  AssertionHandler previous;
  AssertionCounter()
      : previous(SetAssertionHandler([](const char16_t*, int, const char16_t*) { ++count; })) {
    count = 0;
  }
  ~AssertionCounter() { SetAssertionHandler(previous); }
  AssertionCounter(const AssertionCounter&) = delete;
  AssertionCounter& operator=(const AssertionCounter&) = delete;
};
