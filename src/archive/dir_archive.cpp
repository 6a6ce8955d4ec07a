// Development folders as archives. The data was made on a file system that ignores
// case, so each part of an entry name is matched against the folder's listing
// without regard to case when the exact name is not there. Listings are kept per
// folder and made again when the folder's modification time changes.
#include <algorithm>
#include <chrono>
#include <system_error>

#include "archive/archive_impl.h"
#include "platform/text.h"

namespace fs = std::filesystem;

std::optional<fs::path> CDirArchive::FindInFolder(const fs::path& folder, std::u16string_view part) const {
  std::error_code ec;
  fs::path exact = folder / platform::Utf16ToUtf8(part);
  if (fs::exists(fs::symlink_status(exact, ec)) || fs::exists(exact, ec)) return exact;
  // Otherwise the first name in byte order that matches without regard to case,
  // so the choice is stable; from the folder's listing, made again only when
  // the folder changed.
  const fs::file_time_type stamp = fs::last_write_time(folder, ec);
  if (ec) return std::nullopt;
  std::lock_guard<std::mutex> guard(m_ListingLock);
  Listing& listing = m_Listings[folder.string()];
  if (!listing.settled || listing.stamp != stamp) {
    listing.stamp = stamp;
    listing.settled = fs::file_time_type::clock::now() - stamp > std::chrono::seconds(2);
    listing.by_folded_name.clear();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const fs::path& path = it->path();
      auto [at, added] =
          listing.by_folded_name.try_emplace(archive_detail::FoldName(platform::Utf8ToUtf16(path.filename().string())), path);
      if (!added && path.filename().string() < at->second.filename().string()) at->second = path;
    }
  }
  const auto found = listing.by_folded_name.find(archive_detail::FoldName(part));
  if (found == listing.by_folded_name.end()) return std::nullopt;
  return found->second;
}

bool CDirArchive::Open(std::u16string_view folder) {
  std::error_code ec;
  fs::path base = platform::WidePath(folder);
  if (base.empty()) base = ".";
  base = fs::absolute(base, ec).lexically_normal();
  if (ec) return false;
  if (!fs::is_directory(base, ec)) {
    // The folder's own name may differ in case too: match it part by part.
    fs::path found = base.root_path();
    for (const fs::path& part : base.relative_path()) {
      if (part.empty()) continue;
      std::optional<fs::path> next = FindInFolder(found, platform::Utf8ToUtf16(part.string()));
      if (!next) return false;
      found = *next;
    }
    if (!fs::is_directory(found, ec)) return false;
    base = found;
  }
  m_Base = base;
  std::string text = base.string();
  if (text.empty() || text.back() != '/') text += '/';
  m_Path = platform::Utf8ToUtf16(text);
  return true;
}

std::optional<fs::path> CDirArchive::Resolve(std::u16string_view name) const {
  const archive_detail::EntryPath parts = archive_detail::SplitEntryPath(name);
  if (parts.name.empty() || parts.name == u"." || parts.name == u"..") return std::nullopt;
  fs::path at = m_Base;
  auto step = [&](std::u16string_view part) -> bool {
    // Names stay inside the folder, and a NUL would end the native path early.
    if (part == u".." || part.find(u'\0') != std::u16string_view::npos) return false;
    if (part == u".") return true;
    std::optional<fs::path> next = FindInFolder(at, part);
    if (!next) return false;
    at = std::move(*next);
    return true;
  };
  for (std::u16string_view dir : parts.directories) {
    if (!step(dir)) return std::nullopt;
  }
  if (!step(parts.name)) return std::nullopt;
  std::error_code ec;
  if (!fs::exists(at, ec)) return std::nullopt;
  return at;
}

IArchiveFile* CDirArchive::OpenFile(std::u16string_view name) {
  std::optional<fs::path> path = Resolve(name);
  if (!path) return nullptr;
  // Only regular files open: folders, pipes and devices give null. The type is
  // tested before opening, since opening a pipe waits for a writer.
  std::error_code ec;
  if (!fs::is_regular_file(*path, ec)) return nullptr;
  platform::File file = platform::File::OpenRead(*path);
  if (!file.IsOpen()) return nullptr;
  const int64_t size = file.Size();
  if (size < 0) return nullptr;
  return new CArchiveFile(name, this, std::move(file), 0, static_cast<uint64_t>(size));
}

IArchive* CDirArchive::OpenArchive(std::u16string_view name) {
  std::optional<fs::path> path = Resolve(name);
  if (!path) return nullptr;
  std::error_code ec;
  if (!fs::is_regular_file(*path, ec)) return nullptr;
  // A folder holds archives of version 6 only; one whose index is damaged is a
  // missing entry here, and one with an entry past its end damaged, as inside an
  // archive file. The file's own path names it.
  return OpenNestedArchive(new CArchive6, platform::Utf8ToUtf16(path->string()), 0, UINT64_MAX, {});
}

ICompressedFile* CDirArchive::OpenCompressedFile(std::u16string_view name) {
  IArchiveFile* file = OpenFile(name);
  if (file == nullptr) return nullptr;
  auto* decoder = new CFlatFile(file, file->GetSize());
  file->Release();
  return decoder;
}

IArchive* OpenDirArchive(std::u16string_view folder) {
  ComPtr<CDirArchive> archive = ComPtr<CDirArchive>::Adopt(new CDirArchive);
  if (!archive->Open(folder)) return nullptr;
  return archive.detach();
}
