#include "app/process.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/text.h"

namespace App {

namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written only by the handler; a lock-free atomic is safe to store from one.
std::atomic<int> g_quit_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void NoteQuitSignal(int number) { g_quit_signal.store(number, std::memory_order_relaxed); }

// "<temporary folder>/<class>-<uid>", made 0700 when missing; empty when the
// name is taken by anything but a folder this user owns.
std::string UserTemporaryFolder(std::string_view class_name) {
  std::error_code error;
  std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  if (error) temp = "/tmp";
  std::string name(class_name);
  std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
  std::string folder = (temp / (name + "-" + std::to_string(::getuid()))).string();
  ::mkdir(folder.c_str(), 0700);
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return {};
  return folder;
}

int OpenLockFile(const std::string& folder, const std::string& name) {
  if (folder.empty()) return -1;
  return ::open((folder + "/" + name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

}  // namespace

SingleInstanceLock::SingleInstanceLock(std::u16string_view class_name, std::string folder) {
  std::string name = platform::Utf16ToUtf8(class_name);
  std::string file = name + ".lock";
  if (!folder.empty()) {
    fd_ = OpenLockFile(folder, file);
  } else {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') fd_ = OpenLockFile(runtime, file);
    if (fd_ < 0) fd_ = OpenLockFile(UserTemporaryFolder(name), file);
    if (fd_ < 0) fd_ = OpenLockFile(platform::Utf16ToUtf8(DataHome()), file);
  }
  if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
  another_ = errno == EWOULDBLOCK;
  ::close(fd_);
  fd_ = -1;
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
