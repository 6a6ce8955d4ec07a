// Files with 64-bit offsets, and the engine's wide paths turned into native ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace platform {

// A wide path as the data names it ("\" or "/" between parts) as a native path.
std::filesystem::path WidePath(std::u16string_view path);

// 0 when this process may make files in `folder` (empty: the current one), else
// the system's reason, an errno value: EACCES for a folder of another user.
int FolderWriteError(const std::filesystem::path& folder);

// An open file; closed when the object dies. Reads at an offset do not move the
// file position, so one file may be read from several threads.
class File {
 public:
  enum class Origin { kBegin, kCurrent, kEnd };

  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing regular file for reading; check IsOpen().
  static File OpenRead(const std::filesystem::path& path);
  // Creates or truncates a file for writing.
  static File CreateForWrite(const std::filesystem::path& path);

  bool IsOpen() const { return fd_ >= 0; }
  // Size in bytes, or -1.
  int64_t Size() const;
  // Reads up to `n` bytes at `offset`, retrying short reads; returns the bytes read or -1.
  int64_t ReadAt(void* buffer, std::size_t n, int64_t offset) const;
  // Reads at the file position and advances it.
  int64_t Read(void* buffer, std::size_t n);
  // Writes all `n` bytes at the file position; false on failure.
  bool Write(const void* buffer, std::size_t n);
  // Moves the file position; returns the new position or -1.
  int64_t Seek(int64_t offset, Origin origin);
  int native_handle() const { return fd_; }

 private:
  explicit File(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace platform
