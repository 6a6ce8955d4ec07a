// For checks of a folder this user may not write in, run in a child process
// (EXPECT_EXIT): root may write anywhere, so a child of a test run as root
// becomes "nobody" (65534); a test run as another user stays that user, and a
// folder of mode 0555 is then not writable for it either.
#pragma once

#include <grp.h>
#include <unistd.h>

#include <cstdlib>

inline void BecomeAnotherUser() {
  if (::geteuid() != 0) return;
  if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) {
    std::_Exit(125);
  }
}
