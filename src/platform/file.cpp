#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/text.h"

namespace platform {

std::filesystem::path WidePath(std::u16string_view path) {
  std::string utf8 = Utf16ToUtf8(path);
  for (char& c : utf8) {
    if (c == '\\') c = '/';
  }
  return std::filesystem::path(utf8);
}

int FolderWriteError(const std::filesystem::path& folder) {
  // The effective ids decide, as they do for the files made there.
  const char* native = folder.empty() ? "." : folder.c_str();
  return ::faccessat(AT_FDCWD, native, W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

File File::OpenRead(const std::filesystem::path& path) {
  // Opened without blocking so that a pipe or device named by a data file
  // cannot hang the open; anything but a regular file is refused.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return File();
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return File();
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return File(fd);
}

File File::CreateForWrite(const std::filesystem::path& path) {
  return File(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
}

int64_t File::Size() const {
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

namespace {

// Reads until `n` bytes, the end of the file or an error, retrying short reads.
// A negative offset reads at the file position and advances it.
int64_t ReadFully(int fd, void* buffer, std::size_t n, int64_t offset) {
  std::size_t done = 0;
  while (done < n) {
    char* at = static_cast<char*>(buffer) + done;
    ssize_t r = offset < 0 ? ::read(fd, at, n - done)
                           : ::pread(fd, at, n - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return static_cast<int64_t>(done);
}

}  // namespace

int64_t File::ReadAt(void* buffer, std::size_t n, int64_t offset) const {
  if (fd_ < 0 || offset < 0) return -1;
  return ReadFully(fd_, buffer, n, offset);
}

int64_t File::Read(void* buffer, std::size_t n) {
  if (fd_ < 0) return -1;
  return ReadFully(fd_, buffer, n, -1);
}

bool File::Write(const void* buffer, std::size_t n) {
  if (fd_ < 0) return false;
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = ::write(fd_, static_cast<const char*>(buffer) + done, n - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(r);
  }
  return true;
}

int64_t File::Seek(int64_t offset, Origin origin) {
  if (fd_ < 0) return -1;
  int whence = origin == Origin::kBegin ? SEEK_SET : origin == Origin::kCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

}  // namespace platform
