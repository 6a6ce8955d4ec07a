// What the program asks of the process and the system at start: one instance
// at a time, where its executable lies, and the user's data home.
#pragma once

#include <string>
#include <string_view>

namespace App {

// An exclusive lock on a file named after the window class in the user's
// runtime folder, held while the object lives.
class SingleInstanceLock {
 public:
  // `folder` empty: "$XDG_RUNTIME_DIR", else the temporary folder.
  explicit SingleInstanceLock(std::u16string_view class_name, std::string folder = {});
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
  // False when another instance holds it.
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The running executable's full path (from /proc/self/exe).
std::u16string ExecutablePath();
// "$XDG_DATA_HOME", else "$HOME/.local/share"; empty without a home.
std::u16string DataHome();

}  // namespace App
