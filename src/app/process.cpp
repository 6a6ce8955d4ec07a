#include "app/process.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/file.h"
#include "platform/text.h"

namespace App {

namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
// Tries at the lock while holders keep removing the file under it.
constexpr int kLockAttempts = 8;

// Written only by the handler; a lock-free atomic is safe to store from one.
std::atomic<int> g_quit_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void NoteQuitSignal(int number) { g_quit_signal.store(number, std::memory_order_relaxed); }

// Makes every missing level of `folder` (0700); a failure shows at the open.
void MakeFolders(const std::filesystem::path& folder) {
  std::filesystem::path at;
  for (const std::filesystem::path& part : folder) {
    at /= part;
    ::mkdir(at.c_str(), 0700);
  }
}

}  // namespace

SingleInstanceLock::SingleInstanceLock(std::u16string_view class_name, std::u16string_view folder) {
  if (folder.empty()) return;
  const std::filesystem::path where = platform::WidePath(folder);
  MakeFolders(where);
  path_ = (where / (platform::Utf16ToUtf8(class_name) + ".lock")).string();
  // A holder removes the file before it lets go: a lock taken on the removed
  // file is no lock, and is taken again on the file that stands there now.
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) return;
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      another_ = errno == EWOULDBLOCK;
      break;
    }
    struct stat held, named;
    if (::fstat(fd_, &held) == 0 && ::stat(path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      return;
    }
    ::close(fd_);
    fd_ = -1;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

SingleInstanceLock::~SingleInstanceLock() {
  if (fd_ < 0) return;
  ::unlink(path_.c_str());
  ::close(fd_);
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

QuitSignals::QuitSignals() {
  g_quit_signal.store(0);
  struct sigaction action {};
  action.sa_handler = NoteQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (std::size_t i = 0; i < std::size(kQuitSignals); ++i) ::sigaction(kQuitSignals[i], &action, &previous_[i]);
  previous_check_ = platform::SetModalCancelCheck([] { return QuitSignalReceived() != 0; });
}

QuitSignals::~QuitSignals() {
  platform::SetModalCancelCheck(previous_check_);
  for (std::size_t i = 0; i < std::size(kQuitSignals); ++i) ::sigaction(kQuitSignals[i], &previous_[i], nullptr);
  g_quit_signal.store(0);
}

int QuitSignalReceived() { return g_quit_signal.load(std::memory_order_relaxed); }

}  // namespace App
