// SAF archive files, versions 5 and 6: the index read at open, path lookup, and
// the entries opened as windows, decoders and nested archives.
//
// Common header (from the archive's base): u8 flags (bit 0 index scrambled; version 6
// bit 1 compressed entries are LZSS, else deflate), u8 version, u16 entry count n.
// Version 5: 32-byte records follow at 4. Version 6: u32 names-block size m at 4,
// 16-byte records at 8, then the m-byte block of NUL-terminated names.
// Entry 0 is the root; a directory's children are the records [a, a + c). A file's
// data is b bytes at block a (of 2048 bytes) from the base; c is its decoded size,
// 0 when stored.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#include "archive/archive_impl.h"
#include "core/exception.h"
#include "platform/text.h"
#include "platform/wformat.h"

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Opens a regular file only: opening a pipe would wait for a writer.
platform::File OpenArchiveFile(std::u16string_view path) {
  const std::filesystem::path native = platform::WidePath(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(native, ec)) return platform::File();
  return platform::File::OpenRead(native);
}

}  // namespace

// --- Index scrambling ------------------------------------------------------------

void UnscrambleIndex5(std::span<uint8_t> records) {
  uint8_t key = 0x6B;
  int run = 0;
  for (uint8_t& b : records) {
    b ^= key;
    ++key;
    if (++run == 60) {
      run = 0;
      key = 0x6B;
    }
  }
}

void UnscrambleIndex6(std::span<uint8_t> records) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    records[i] ^= static_cast<uint8_t>(0xD4 + i % CArchive6::kRecordSize);
  }
}

void UnscrambleNames6(std::span<uint8_t> names) {
  uint8_t key = 0x27;
  for (uint8_t& b : names) b ^= key--;
}

// --- Opening ---------------------------------------------------------------------

void CSafArchive::Fail(int line, const char16_t* format, ...) const {
  va_list args;
  va_start(args, format);
  std::u16string what = platform::FormatStringV(format, args);
  va_end(args);
  ThrowError(u"archive", line, u"%s: %s", m_Path.c_str(), what.c_str());
}

bool CSafArchive::Open(std::u16string_view path, uint64_t base, uint64_t limit) {
  m_Path.assign(path);
  m_Base = base;
  platform::File file = OpenArchiveFile(path);
  if (!file.IsOpen()) return false;
  const int64_t file_size = file.Size();
  if (file_size < 0) return false;
  m_Limit = std::min<uint64_t>(limit, static_cast<uint64_t>(file_size));
  if (m_Base > m_Limit) Fail(__LINE__, u"the archive starts past the end of the file");

  // Too short for the version byte, or another version: not an archive of this kind.
  uint8_t header[4] = {0, 0, 0, 0};
  const uint64_t avail = std::min<uint64_t>(m_Limit - m_Base, sizeof header);
  if (avail < 2 || file.ReadAt(header, static_cast<std::size_t>(avail), static_cast<int64_t>(m_Base)) !=
                       static_cast<int64_t>(avail)) {
    return false;
  }
  if (header[1] != m_Version) return false;
  if (avail < sizeof header) Fail(__LINE__, u"the header is cut short");
  m_Flags = header[0];
  const uint16_t count = Le16(header + 2);
  if (count == 0) Fail(__LINE__, u"the index holds no entries");

  ReadIndex(file, count);
  ListChildren();
  return true;
}

void CArchive5::ReadIndex(const platform::File& file, uint16_t count) {
  const uint64_t at = m_Base + 4;
  const uint64_t bytes = uint64_t{count} * kRecordSize;
  if (bytes > m_Limit - at) Fail(__LINE__, u"the index of %u entries runs past the end of the file", count);
  std::vector<uint8_t> raw(static_cast<std::size_t>(bytes));
  if (file.ReadAt(raw.data(), raw.size(), static_cast<int64_t>(at)) != static_cast<int64_t>(bytes)) {
    Fail(__LINE__, u"the index cannot be read");
  }
  if (m_Flags & kSafFlagScrambled) UnscrambleIndex5(raw);
  m_Entries.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    uint8_t* r = raw.data() + i * kRecordSize;
    Entry& e = m_Entries[i];
    e.directory = (r[0] & 0x80) != 0;
    r[0] &= 0x7F;
    // The name is padded with blanks; CP932 trail bytes are never blanks or NULs, so
    // cutting after conversion finds the same end.
    std::u16string name = platform::Cp932ToUtf16(std::string_view(reinterpret_cast<const char*>(r), kNameSize));
    const std::size_t end = name.find_first_of(std::u16string_view(u" \0", 2));
    if (end != std::u16string::npos) name.resize(end);
    if (name.size() > kNameSize) name.resize(kNameSize);
    e.name = std::move(name);
    e.a = Le32(r + 20);
    e.b = Le32(r + 24);
    e.c = Le32(r + 28);
  }
}

void CArchive6::ReadIndex(const platform::File& file, uint16_t count) {
  uint8_t size_field[4];
  if (m_Limit - m_Base < 8 || file.ReadAt(size_field, 4, static_cast<int64_t>(m_Base + 4)) != 4) {
    Fail(__LINE__, u"the header is cut short");
  }
  const uint64_t names_size = Le32(size_field);
  const uint64_t at = m_Base + 8;
  const uint64_t bytes = uint64_t{count} * kRecordSize;
  if (bytes + names_size > m_Limit - at) {
    Fail(__LINE__, u"the index of %u entries and %u name bytes runs past the end of the file", count,
         static_cast<unsigned>(names_size));
  }
  std::vector<uint8_t> raw(static_cast<std::size_t>(bytes));
  std::vector<uint8_t> names(static_cast<std::size_t>(names_size));
  if (file.ReadAt(raw.data(), raw.size(), static_cast<int64_t>(at)) != static_cast<int64_t>(bytes) ||
      file.ReadAt(names.data(), names.size(), static_cast<int64_t>(at + bytes)) != static_cast<int64_t>(names_size)) {
    Fail(__LINE__, u"the index cannot be read");
  }
  if (m_Flags & kSafFlagScrambled) {
    UnscrambleIndex6(raw);
    UnscrambleNames6(names);
  }
  m_Entries.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t* r = raw.data() + i * kRecordSize;
    Entry& e = m_Entries[i];
    const uint32_t name_field = Le32(r);
    e.directory = (name_field & 0x80000000u) != 0;
    const uint32_t offset = name_field & 0x7FFFFFFFu;
    const void* nul = offset < names.size() ? std::memchr(names.data() + offset, 0, names.size() - offset) : nullptr;
    e.a = Le32(r + 4);
    e.b = Le32(r + 8);
    e.c = Le32(r + 12);
    // A name outside the block, or without its NUL, leaves a record nobody can find.
    e.named = nul != nullptr;
    if (!e.named) continue;
    const auto* begin = reinterpret_cast<const char*>(names.data() + offset);
    e.name = platform::Cp932ToUtf16(std::string_view(begin, static_cast<const char*>(nul) - begin));
  }
}

// Gives each directory reachable from the root the children it may use. A range
// that leaves the table, or that shares a record with a range already given (the
// root's own record counts as given), gives none: its entries are missing, the
// rest of the archive works. The ranges in use are then disjoint and hold no
// ancestor, so every walk of the tree ends and visits each record at most once.
void CSafArchive::ListChildren() {
  const uint64_t n = m_Entries.size();
  std::map<uint64_t, uint64_t> given{{0, 1}};  // start -> end of every range in use
  // Breadth first in record order: of two directories sharing records, the one
  // listed first keeps them.
  std::vector<std::size_t> pending{0};
  for (std::size_t next_dir = 0; next_dir < pending.size(); ++next_dir) {
    Entry& dir = m_Entries[pending[next_dir]];
    const uint64_t first = dir.a;
    const uint64_t end = first + dir.c;
    if (dir.c == 0 || end > n) continue;
    auto next = given.lower_bound(end);
    if (next != given.begin() && std::prev(next)->second > first) continue;
    given.emplace(first, end);
    dir.child_count = dir.c;
    for (uint64_t i = first; i < end; ++i) {
      if (m_Entries[i].directory && m_Entries[i].named) pending.push_back(static_cast<std::size_t>(i));
    }
  }
}

// A file whose data lies past the archive's end (a file cut short, or an index
// that points outside it) makes the whole archive damaged: found at opening, it
// is named with the file, rather than turning up later as one unreadable entry
// or a silent sound.
void CSafArchive::CheckEntryWindows(std::u16string_view nested) const {
  const std::u16string archive = nested.empty() ? std::u16string() : u" " + std::u16string(nested);
  for (const Entry& dir : m_Entries) {
    if (!dir.directory || dir.child_count == 0) continue;
    for (uint64_t i = dir.a; i < uint64_t{dir.a} + dir.child_count; ++i) {
      const Entry& e = m_Entries[i];
      uint64_t offset = 0;
      uint64_t size = 0;
      if (e.directory || !e.named || EntryWindow(static_cast<int>(i), &offset, &size)) continue;
      Fail(__LINE__, u"entry %s (block %u, %u bytes) lies past the end of the archive%s", e.name.c_str(), e.a, e.b,
           archive.c_str());
    }
  }
}

// --- Lookup --------------------------------------------------------------------

int CSafArchive::FindEntry(std::u16string_view path) const {
  const archive_detail::EntryPath parts = archive_detail::SplitEntryPath(path);
  uint64_t first = m_Entries[0].a;
  uint64_t count = m_Entries[0].child_count;
  auto find = [&](std::u16string_view name) -> int {
    for (uint64_t i = first; i < first + count; ++i) {
      const Entry& e = m_Entries[i];
      if (e.named && archive_detail::NamesEqual(e.name, name)) return static_cast<int>(i);
    }
    return -1;
  };
  for (std::u16string_view dir : parts.directories) {
    if (dir == u"." && SkipsDotComponents()) continue;
    const int r = find(dir);
    // Only directories are entered: a file's a and c are a block and a size.
    if (r < 0 || !m_Entries[r].directory) return -1;
    first = m_Entries[r].a;
    count = m_Entries[r].child_count;
  }
  return find(parts.name);
}

int CSafArchive::FindFile(std::u16string_view name) const {
  const int i = FindEntry(name);
  return (i >= 0 && !m_Entries[i].directory) ? i : -1;
}

bool CSafArchive::EntryWindow(int index, uint64_t* offset, uint64_t* size) const {
  const Entry& e = m_Entries[index];
  const uint64_t at = m_Base + uint64_t{e.a} * kSectorSize;
  // An empty entry has nothing to read wherever its block lies (a packer that
  // doesn't pad the last block puts it past the end): its window is empty.
  if (e.b == 0) {
    *offset = std::min(at, m_Limit);
    *size = 0;
    return true;
  }
  if (at > m_Limit || e.b > m_Limit - at) return false;
  *offset = at;
  *size = e.b;
  return true;
}

// --- IArchive --------------------------------------------------------------------

bool CSafArchive::IsCompressed(std::u16string_view name) {
  const int i = FindFile(name);
  return i >= 0 && m_Entries[i].c != 0;
}

IArchiveFile* CSafArchive::OpenFile(std::u16string_view name) {
  const int i = FindFile(name);
  if (i < 0) return nullptr;
  uint64_t offset = 0;
  uint64_t size = 0;
  if (!EntryWindow(i, &offset, &size)) return nullptr;
  platform::File file = OpenArchiveFile(m_Path);
  if (!file.IsOpen()) return nullptr;
  return new CArchiveFile(name, this, std::move(file), offset, size);
}

ICompressedFile* CSafArchive::OpenCompressedFile(std::u16string_view name) {
  const int i = FindFile(name);
  if (i < 0) return nullptr;
  const Entry& e = m_Entries[i];
  const bool lzss = m_Version == 6 && (m_Flags & CArchive6::kFlagLzss) != 0;
  ComPtr<IArchiveFile> file = ComPtr<IArchiveFile>::Adopt(OpenFile(name));
  if (!file) return nullptr;
  if (e.c == 0) return new CFlatFile(file.get(), file->GetSize());
  if (lzss) return new CEggFile(file.get(), e.c);
  return new CZipFile(file.get(), e.c);
}

IArchive* CSafArchive::OpenArchive(std::u16string_view name) {
  const int i = FindFile(name);
  if (i < 0) return nullptr;
  uint64_t offset = 0;
  uint64_t size = 0;
  if (!EntryWindow(i, &offset, &size)) return nullptr;
  return OpenNestedArchive(CreateSibling(), m_Path, offset, offset + size, name);
}

void CSafArchive::GetFileList(std::vector<SAFFILEINFO>& list) {
  list.clear();
  // Depth first in record order over the children in use (ListChildren), so the
  // walk ends.
  struct Level {
    uint64_t next;
    uint64_t end;
    std::size_t prefix_length;
  };
  std::u16string prefix;
  std::vector<Level> stack{{m_Entries[0].a, uint64_t{m_Entries[0].a} + m_Entries[0].child_count, 0}};
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next == level.end) {
      stack.pop_back();
      if (!stack.empty()) prefix.resize(stack.back().prefix_length);
      continue;
    }
    const Entry& e = m_Entries[level.next++];
    if (!e.named) continue;
    if (e.directory) {
      prefix += e.name;
      prefix += u'/';
      stack.push_back({e.a, uint64_t{e.a} + e.child_count, prefix.size()});
      continue;
    }
    SAFFILEINFO info{};
    std::u16string path = prefix + e.name;
    platform::CopyWide(info.path, std::size(info.path), path);
    info.size = e.b;
    info.offset = uint64_t{e.a} * kSectorSize;
    list.push_back(info);
  }
}

// --- Factories -------------------------------------------------------------------

namespace {

template <class Archive>
IArchive* OpenVersion(std::u16string_view path) {
  ComPtr<Archive> archive = ComPtr<Archive>::Adopt(new Archive);
  if (!archive->Open(path, 0)) return nullptr;
  archive->CheckEntryWindows();
  return archive.detach();
}

}  // namespace

IArchive* OpenNestedArchive(CSafArchive* created, std::u16string_view path, uint64_t base, uint64_t limit,
                            std::u16string_view name) {
  ComPtr<CSafArchive> nested = ComPtr<CSafArchive>::Adopt(created);
  try {
    if (!nested->Open(path, base, limit)) return nullptr;
  } catch (const ExceptionHandle&) {
    return nullptr;  // a damaged nested index is one damaged record of the archive holding it
  }
  nested->CheckEntryWindows(name);
  return nested.detach();
}

IArchive* OpenArchive5(std::u16string_view path) { return OpenVersion<CArchive5>(path); }
IArchive* OpenArchive6(std::u16string_view path) { return OpenVersion<CArchive6>(path); }

IArchive* OpenSafArchive(std::u16string_view path) {
  platform::File file = OpenArchiveFile(path);
  if (!file.IsOpen()) return nullptr;
  uint8_t header[2] = {0, 0};
  const int64_t got = file.ReadAt(header, sizeof header, 0);
  file = platform::File();
  if (got == 2 && header[1] == 5) return OpenArchive5(path);
  if (got == 2 && header[1] == 6) return OpenArchive6(path);
  // Damaged data, or not an archive at all: said as such, naming the file.
  ThrowError(u"archive", __LINE__, u"%s: 未対応のSAF形式です", std::u16string(path).c_str());
}
