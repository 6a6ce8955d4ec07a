#include "app/process.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/text.h"

namespace App {

SingleInstanceLock::SingleInstanceLock(std::u16string_view class_name, std::string folder) {
  if (folder.empty()) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    folder = runtime != nullptr && *runtime != '\0' ? runtime : std::filesystem::temp_directory_path().string();
  }
  std::string path = folder + "/" + platform::Utf16ToUtf8(class_name) + ".lock";
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

SingleInstanceLock::~SingleInstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::u16string ExecutablePath() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::u16string() : platform::Utf8ToUtf16(exe.string());
}

std::u16string DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return platform::Utf8ToUtf16(xdg);
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return {};
  return platform::Utf8ToUtf16(std::string(home) + "/.local/share");
}

}  // namespace App
