// Byte sources of the streams: a disk file, or one entry of an archive read through
// its own window (positioned reads, so the service thread never moves a file
// position the game thread uses).
#include <algorithm>
#include <new>

#include "archive/archive.h"
#include "platform/file.h"
#include "sound/stream.h"

namespace {

class CStreamFileReader final : public CComImpl<IStreamReader> {
 public:
  int Open(std::u16string_view name) override {
    Close();
    file_ = platform::File::OpenRead(platform::WidePath(name));
    if (!file_.IsOpen()) return 0;
    size_ = static_cast<uint64_t>(std::max<int64_t>(file_.Size(), 0));
    return 1;
  }
  int Close() override {
    file_ = platform::File();
    size_ = 0;
    return 1;
  }
  uint32_t Read(void* buffer, uint32_t bytes) override {
    const int64_t got = file_.IsOpen() ? file_.Read(buffer, bytes) : -1;
    return got > 0 ? static_cast<uint32_t>(got) : 0;
  }
  void Seek(int64_t offset, uint32_t origin) override {
    if (origin > 2) return;
    file_.Seek(offset, static_cast<platform::File::Origin>(origin));
  }
  uint64_t Tell() override {
    const int64_t at = file_.Seek(0, platform::File::Origin::kCurrent);
    return at > 0 ? static_cast<uint64_t>(at) : 0;
  }
  uint64_t GetSize() override { return size_; }

 private:
  platform::File file_;
  uint64_t size_ = 0;  // 0 while closed
};

class CStreamArchiveReader final : public CComImpl<IStreamReader> {
 public:
  explicit CStreamArchiveReader(IArchive* archive) : archive_(archive->Duplicate()) {}
  ~CStreamArchiveReader() override {
    Close();
    ReleaseInterface(archive_);
  }

  int Open(std::u16string_view name) override {
    Close();
    entry_ = archive_ != nullptr ? archive_->OpenFile(name) : nullptr;
    return entry_ != nullptr ? 1 : 0;
  }
  int Close() override {
    ReleaseInterface(entry_);
    return 1;
  }
  uint32_t Read(void* buffer, uint32_t bytes) override {
    if (entry_ == nullptr || entry_->Tell() >= entry_->GetSize()) return 0;
    return static_cast<uint32_t>(entry_->Read(buffer, bytes));
  }
  void Seek(int64_t offset, uint32_t origin) override {
    if (entry_ == nullptr || origin > 2) return;
    const uint64_t size = entry_->GetSize();
    // The window takes its own end only as an offset from the end.
    const int64_t from = origin == 1 ? static_cast<int64_t>(entry_->Tell()) : 0;
    if (origin != 2 && from + offset == static_cast<int64_t>(size)) {
      entry_->Seek(0, IArchiveFile::kSeekEnd);
    } else {
      entry_->Seek(offset, static_cast<int>(origin));
    }
  }
  uint64_t Tell() override { return entry_ != nullptr ? entry_->Tell() : 0; }
  uint64_t GetSize() override { return entry_ != nullptr ? entry_->GetSize() : 0; }

 private:
  IArchive* archive_;                // own reference
  IArchiveFile* entry_ = nullptr;    // the open entry, or null
};

}  // namespace

IStreamReader* CreateStreamFileReader() { return new (std::nothrow) CStreamFileReader(); }

IStreamReader* CreateStreamArchiveReader(IArchive* archive) {
  if (archive == nullptr) return nullptr;
  return new (std::nothrow) CStreamArchiveReader(archive);
}
