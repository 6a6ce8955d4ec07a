// Arbitrary bytes opened as a SAF archive of version 5 or 6: every listed entry is
// loaded whole, as text, read through a window, mapped, and opened as a nested
// archive. Damage must end in an error record or a null, never in a crash.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "core/exception.h"

namespace {

int g_budget = 0;  // entry visits left for this input, so nested archives stay cheap

void Touch(const void* p, std::size_t n) {
  if (p == nullptr || n == 0) return;
  volatile uint8_t sink = static_cast<const uint8_t*>(p)[0];
  sink = static_cast<const uint8_t*>(p)[n - 1];
  (void)sink;
}

void Walk(IArchive* archive, int depth) {
  std::vector<SAFFILEINFO> list;
  archive->GetFileList(list);
  for (const SAFFILEINFO& info : list) {
    if (--g_budget < 0) return;
    const std::u16string name(info.path);
    try {
      archive->Exists(name);
      archive->IsCompressed(name);
      uint32_t size = 0;
      std::free(LoadArchiveFile(archive, name, nullptr, &size));
      std::free(LoadArchiveTextFile(archive, name));
    } catch (const ExceptionHandle&) {
    }
    try {
      ComPtr<IMappingFile> map = ComPtr<IMappingFile>::Adopt(archive->OpenMappingFile(name));
      if (map) {
        const uint64_t n = map->GetSize();
        Touch(map->Map(0, 0), static_cast<std::size_t>(n));
        if (n > 3) Touch(map->Map(n - 3, 100), 3);
        ComPtr<IMappingFile> copy = ComPtr<IMappingFile>::Adopt(map->Duplicate());
        if (copy) Touch(copy->Map(n / 2, 1), n / 2 < n ? 1 : 0);
      }
    } catch (const ExceptionHandle&) {
    }
    try {
      ComPtr<IArchiveFile> file = ComPtr<IArchiveFile>::Adopt(archive->OpenFile(name));
      if (file) {
        uint8_t buffer[64];
        file->Seek(-7, IArchiveFile::kSeekEnd);
        file->Read(buffer, sizeof buffer);
        ComPtr<IArchiveFile> copy = ComPtr<IArchiveFile>::Adopt(file->Duplicate());
        if (copy) copy->Read(buffer, sizeof buffer);
      }
    } catch (const ExceptionHandle&) {
    }
    if (depth < 2) {
      try {
        ComPtr<IArchive> nested = ComPtr<IArchive>::Adopt(archive->OpenArchive(name));
        if (nested) Walk(nested.get(), depth + 1);
      } catch (const ExceptionHandle&) {
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int fd = [] {
    SetAssertionHandler([](const char16_t*, int, const char16_t*) {});
    return ::memfd_create("saf", 0);
  }();
  static const std::u16string path = [] {
    std::u16string p = u"/proc/self/fd/";
    for (char c : std::to_string(fd)) p += static_cast<char16_t>(c);
    return p;
  }();
  if (fd < 0) return 0;

  std::vector<uint8_t> bytes(data, data + size);
  // Most inputs should reach a reader: the version byte picks one of the two.
  if (bytes.size() >= 2 && bytes[1] != 5 && bytes[1] != 6) bytes[1] = static_cast<uint8_t>(5 + (bytes[1] & 1));
  if (::ftruncate(fd, 0) != 0) return 0;
  if (!bytes.empty() && ::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) return 0;

  g_budget = 256;
  try {
    ComPtr<IArchive> archive = ComPtr<IArchive>::Adopt(OpenSafArchive(path));
    if (archive) {
      Walk(archive.get(), 0);
      archive->Exists(u"./a/b");
      archive->Exists(u"a\\b/c");
    }
  } catch (const ExceptionHandle&) {
  }
  return 0;
}
