// What the program asks of the process and the system at start: one instance
// at a time, where its executable lies, the user's data home, and an orderly
// end on the signals a logout, a terminal or `kill` sends.
#pragma once

#include <signal.h>

#include <string>
#include <string_view>

#include "platform/message_box.h"

namespace App {

// An exclusive lock on "<class name>.lock" in the per-user data folder, beside
// the save file and the settings it protects, held while the object lives:
// every start of the same user with the same data finds it, whatever its
// environment. Only a lock another process holds counts as a second instance:
// when the file can't be made, or the lock call fails for any other reason, the
// program goes on without the lock. The holder removes the file as it lets the
// lock go, so no start (one without a display, say) leaves it behind; a start
// that took the lock on a file removed meanwhile takes it again on the new one.
class SingleInstanceLock {
 public:
  // `folder`: the per-user data folder; missing levels are made (0700).
  SingleInstanceLock(std::u16string_view class_name, std::u16string_view folder);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
  // True when another process holds the lock.
  bool another_instance() const { return another_; }
  // True while this object holds the lock (false when it went on without one).
  bool held() const { return fd_ >= 0; }

 private:
  std::string path_;  // the lock file
  int fd_ = -1;
  bool another_ = false;
};

// The running executable's full path (from /proc/self/exe).
std::u16string ExecutablePath();
// "$XDG_DATA_HOME", else "$HOME/.local/share"; empty without a home.
std::u16string DataHome();

// While it lives, SIGTERM, SIGINT and SIGHUP end the program as the quit key
// does: the handler only notes the signal and the frame throws the quit record,
// so the tear-down and the settings write-back run. A box or dialog that is up
// when the note comes, or opens after it, ends as if cancelled (it is the
// boxes' cancel check meanwhile), so nothing waits for a player who has gone.
// A second signal of a kind already noted takes its default action, so a
// shut-down that hangs can still be cut short. The destructor puts the previous
// actions and check back and forgets the note.
class QuitSignals {
 public:
  QuitSignals();
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

 private:
  struct sigaction previous_[3];
  platform::ModalCancelCheck previous_check_ = nullptr;  // the boxes' cancel check before this one
};

// The last signal noted while a QuitSignals lives, or 0.
int QuitSignalReceived();

}  // namespace App
