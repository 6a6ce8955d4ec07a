// The classes behind the archive interfaces. Other subsystems use archive.h only;
// this header is for the archive sources and their tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/archive.h"
#include "platform/file.h"

namespace archive_detail {

// --- Names -------------------------------------------------------------------

// The case folding of entry names: ASCII, Latin-1, Greek, Cyrillic and the
// full-width Latin letters.
char16_t FoldCase(char16_t c);
bool NamesEqual(std::u16string_view a, std::u16string_view b);
std::u16string FoldName(std::u16string_view name);
constexpr bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

// A UTF-16 entry path split into its directory components (empty ones dropped)
// and its last part, the name to find.
struct EntryPath {
  std::vector<std::u16string_view> directories;
  std::u16string_view name;
};
EntryPath SplitEntryPath(std::u16string_view path);

}  // namespace archive_detail

// --- Index scrambling ------------------------------------------------------------
// Each is an XOR with a one-byte key and so undoes itself; the packer uses the same.

// One run over the 32 * n record bytes: the key starts at 0x6B, rises by 1 after
// every byte and restarts at 0x6B after every 60 bytes.
void UnscrambleIndex5(std::span<uint8_t> records);
// Per 16-byte record: the key starts at 0xD4 and rises by 1 after every byte.
void UnscrambleIndex6(std::span<uint8_t> records);
// One run over the names block: the key starts at 0x27 and falls by 1 after every byte.
void UnscrambleNames6(std::span<uint8_t> names);

// --- LZSS --------------------------------------------------------------------

// Decodes an LZSS stream (4096-byte ring starting cleared, writes from 0xFEE; one flag
// byte per eight tokens, least significant bit first; 1 = literal byte, 0 = match of
// two bytes: 12-bit ring position, 4-bit length - 3). Each call has its own ring.
// Returns the bytes written, or ICompressedFile::kDecodeFailed when the stream would
// write past the end of `output`.
uint64_t LzssDecode(std::span<uint8_t> output, std::span<const uint8_t> input);

// --- Entry windows and decoders ------------------------------------------------

// A window [base, base + size) of a file, with its own descriptor and position;
// reads go through pread, so windows never disturb one another.
class CArchiveFile final : public CComImpl<IArchiveFile> {
 public:
  // Takes a reference on the owner (which may be null) and adopts the file.
  CArchiveFile(std::u16string_view name, IArchive* owner, platform::File file, uint64_t base,
               uint64_t size);

  HRESULT QueryInterface(const IID& iid, void** out) override;
  uint64_t GetSize() override { return m_Size; }
  uint64_t Seek(int64_t offset, int origin) override;
  uint64_t Tell() override { return m_Pos; }
  uint64_t Read(void* buffer, uint64_t count) override;
  IArchiveFile* Duplicate() override;
  int GetHandle() override { return m_File.native_handle(); }
  uint64_t GetRawPosition() override { return m_Base + m_Pos; }
  void* MapView(uint64_t offset, std::size_t count) override;
  void UnmapView(void* view, std::size_t count) override;
  const std::u16string& GetName() const override { return m_Name; }

 private:
  ~CArchiveFile() override;

  IArchive* m_pOwner;     // holds a reference; answers QueryInterface for IArchive
  std::u16string m_Name;  // entry name, for Duplicate and messages
  platform::File m_File;
  uint64_t m_Base;        // absolute file offset of the window
  uint64_t m_Size;        // window size in bytes
  uint64_t m_Pos = 0;     // position in the window, 0..m_Size
};

// Where a decoder writes: a caller's buffer of the decoded size, or a malloc'ed
// block that grows as output arrives, never past the decoded size.
class DecodeOutput {
 public:
  // The caller's buffer of `size` bytes.
  DecodeOutput(void* buffer, uint64_t size) : m_pData(static_cast<uint8_t*>(buffer)), m_Size(size), m_Capacity(size) {}
  // A block of its own, with `extra` bytes kept free behind the output.
  DecodeOutput(uint64_t size, std::size_t extra) : m_Size(size), m_Extra(extra), m_Growing(true) {}
  ~DecodeOutput() {
    if (m_Growing) std::free(m_pData);
  }
  DecodeOutput(const DecodeOutput&) = delete;
  DecodeOutput& operator=(const DecodeOutput&) = delete;

  // Room for up to `want` more bytes behind the output so far, fewer near the
  // decoded size; a growing block is grown first. Empty when the decoded size is
  // reached or memory ran out. The room stays valid until the next call.
  std::span<uint8_t> Room(uint64_t want);
  // `n` bytes of the room were written.
  void Commit(uint64_t n) { m_Produced += n; }

  uint64_t Produced() const { return m_Produced; }
  bool OutOfMemory() const { return m_OutOfMemory; }
  // Hands the block over (a growing one, of at least one byte); null when memory ran out.
  void* Release();

 private:
  uint8_t* m_pData = nullptr;
  uint64_t m_Size;             // the decoded size: the output never passes it
  uint64_t m_Capacity = 0;     // bytes the block holds for output
  uint64_t m_Produced = 0;
  std::size_t m_Extra = 0;     // bytes allocated behind the capacity
  bool m_Growing = false;      // the block is ours, malloc'ed and grown with realloc
  bool m_OutOfMemory = false;
};

// Common part of the three decoders: the source window and the decoded size.
class CDecoderBase : public CComImpl<ICompressedFile> {
 public:
  CDecoderBase(IArchiveFile* source, uint64_t decoded_size);

  HRESULT QueryInterface(const IID& iid, void** out) override;
  uint64_t GetSize() override { return m_DecodedSize; }
  uint64_t GetCompressedSize() override { return m_pSource->GetSize(); }
  uint64_t Decode(void* output) final;
  void* DecodeToNewBlock(std::size_t extra, uint64_t* produced) final;

 protected:
  ~CDecoderBase() override;
  // Decodes the whole entry into `out`; returns what Decode returns.
  virtual uint64_t DecodeTo(DecodeOutput& out) = 0;
  // Reads the whole window from its start; false when it ends early.
  bool ReadWindow(std::vector<uint8_t>& in);

  IArchiveFile* m_pSource;  // holds a reference
  uint64_t m_DecodedSize;
};

// A stored entry: the window's bytes as they are.
class CFlatFile final : public CDecoderBase {
 public:
  using CDecoderBase::CDecoderBase;

 private:
  uint64_t DecodeTo(DecodeOutput& out) override;
};

// A zlib stream. Windows under 128 KiB are read in one piece; larger ones stream
// through a 128 KiB input buffer, so their compressed bytes are never all in memory.
class CZipFile final : public CDecoderBase {
 public:
  static constexpr uint64_t kStreamChunk = 0x20000;
  using CDecoderBase::CDecoderBase;

 private:
  uint64_t DecodeTo(DecodeOutput& out) override;
};

// An LZSS stream (LzssDecode), read whole.
class CEggFile final : public CDecoderBase {
 public:
  using CDecoderBase::CDecoderBase;

 private:
  uint64_t DecodeTo(DecodeOutput& out) override;
};

// A read-only memory mapping of a window, page-aligned underneath.
class CMappingFile final : public CComImpl<IMappingFile> {
 public:
  // Takes a reference on the source.
  explicit CMappingFile(IArchiveFile* source);

  HRESULT QueryInterface(const IID& iid, void** out) override;
  uint64_t GetSize() override { return m_pSource->GetSize(); }
  const void* Map(uint64_t offset, uint32_t count) override;
  IMappingFile* Duplicate() override;

 private:
  ~CMappingFile() override;
  void Unmap();

  IArchiveFile* m_pSource;  // holds a reference
  uint64_t m_RawBase;       // absolute file offset of the window's start
  void* m_pView = nullptr;  // the current view as mapped (page-aligned), or null
  std::size_t m_ViewSize = 0;
};

// OpenFile wrapped in a CMappingFile, for every archive kind.
IMappingFile* OpenMappingFileOf(IArchive* archive, std::u16string_view name);

// --- SAF archives --------------------------------------------------------------

// The index of a SAF archive, either version, read once at open.
class CSafArchive : public CComImpl<IArchive> {
 public:
  struct Entry {
    std::u16string name;
    uint32_t a;      // directory: first child; file: data block number
    uint32_t b;      // file: stored byte size
    uint32_t c;      // directory: child count; file: decoded size, 0 when stored
    bool directory;
    bool named = true;         // false when the name lay outside the names block: never found
    uint32_t child_count = 0;  // children [a, a + child_count) in use, set at open (see ListChildren)
  };
  static constexpr uint64_t kSectorSize = 2048;

  // Reads the index of the archive at `base` of the file, whose data must end by
  // `limit` (the end of the enclosing entry, or of the file). False when the file
  // cannot be opened or holds another version; raises an ExceptionHandle when the
  // header or the index as a whole does not fit the file. A bad child range only
  // makes entries missing.
  bool Open(std::u16string_view path, uint64_t base, uint64_t limit = UINT64_MAX);
  // Raises the error record when a file entry in use, not empty, lies past the
  // archive's end, naming the archive as the entry `nested` of another when given.
  void CheckEntryWindows(std::u16string_view nested = {}) const;

  // Entry index, or -1.
  int FindEntry(std::u16string_view path) const;

  bool Exists(std::u16string_view name) override { return FindEntry(name) >= 0; }
  IArchiveFile* OpenFile(std::u16string_view name) override;
  IMappingFile* OpenMappingFile(std::u16string_view name) override { return OpenMappingFileOf(this, name); }
  IArchive* OpenArchive(std::u16string_view name) override;
  void GetFileList(std::vector<SAFFILEINFO>& list) override;
  IArchive* Duplicate() override {
    AddRef();
    return this;
  }
  bool IsCompressed(std::u16string_view name) override;
  ICompressedFile* OpenCompressedFile(std::u16string_view name) override;
  const std::u16string& GetPath() const override { return m_Path; }

  int Version() const { return m_Version; }
  uint8_t Flags() const { return m_Flags; }
  const std::vector<Entry>& Entries() const { return m_Entries; }

 protected:
  explicit CSafArchive(int version) : m_Version(version) {}
  ~CSafArchive() override = default;

  // Reads the `count` records (and names) that follow the 4-byte common header.
  virtual void ReadIndex(const platform::File& file, uint16_t count) = 0;
  // A new, unopened archive of the same version.
  virtual CSafArchive* CreateSibling() const = 0;
  // A directory component of "." names the current directory (version 6 only).
  virtual bool SkipsDotComponents() const = 0;

  [[noreturn]] void Fail(int line, const char16_t* format, ...) const;
  void ListChildren();
  // The entry's file window; false when it does not lie inside the archive.
  bool EntryWindow(int index, uint64_t* offset, uint64_t* size) const;
  // The file entry by name, or -1 for a missing entry or a directory.
  int FindFile(std::u16string_view name) const;

  int m_Version;
  uint8_t m_Flags = 0;      // header byte 0
  std::u16string m_Path;    // the archive file
  uint64_t m_Base = 0;      // where this archive starts in its file
  uint64_t m_Limit = 0;     // where its data must end
  std::vector<Entry> m_Entries;
};

class CArchive5 final : public CSafArchive {
 public:
  static constexpr std::size_t kRecordSize = 32;
  static constexpr std::size_t kNameSize = 20;
  CArchive5() : CSafArchive(5) {}

 private:
  void ReadIndex(const platform::File& file, uint16_t count) override;
  CSafArchive* CreateSibling() const override { return new CArchive5; }
  bool SkipsDotComponents() const override { return false; }
};

class CArchive6 final : public CSafArchive {
 public:
  static constexpr std::size_t kRecordSize = 16;
  static constexpr uint8_t kFlagLzss = 0x02;
  CArchive6() : CSafArchive(6) {}

 private:
  void ReadIndex(const platform::File& file, uint16_t count) override;
  CSafArchive* CreateSibling() const override { return new CArchive6; }
  bool SkipsDotComponents() const override { return true; }
};

inline constexpr uint8_t kSafFlagScrambled = 0x01;

// Opens `created` (a new archive, adopted) over [base, limit) of the file at
// `path` as the entry `name` of another archive: null when it holds no archive of
// its version or a damaged index (a bad record of the holder); raises, naming
// `name`, when an entry of it lies past its end, as for an archive file.
IArchive* OpenNestedArchive(CSafArchive* created, std::u16string_view path, uint64_t base, uint64_t limit,
                            std::u16string_view name);

// --- Folder archives -----------------------------------------------------------

// A development folder: entry names are file paths under it, matched part by part
// without regard to case; every entry is stored.
class CDirArchive final : public CComImpl<IArchive> {
 public:
  bool Open(std::u16string_view folder);

  bool Exists(std::u16string_view name) override { return Resolve(name).has_value(); }
  IArchiveFile* OpenFile(std::u16string_view name) override;
  IMappingFile* OpenMappingFile(std::u16string_view name) override { return OpenMappingFileOf(this, name); }
  IArchive* OpenArchive(std::u16string_view name) override;
  void GetFileList(std::vector<SAFFILEINFO>& list) override { list.clear(); }
  IArchive* Duplicate() override {
    AddRef();
    return this;
  }
  bool IsCompressed(std::u16string_view) override { return false; }
  ICompressedFile* OpenCompressedFile(std::u16string_view name) override;
  const std::u16string& GetPath() const override { return m_Path; }

  // The file or folder an entry name names, or nothing.
  std::optional<std::filesystem::path> Resolve(std::u16string_view name) const;

 private:
  // A folder's entries by case-folded name, each the first such name in byte
  // order; valid while the folder's modification time is `stamp`, once that time
  // lies far enough back that a change in the same clock tick cannot hide.
  struct Listing {
    std::filesystem::file_time_type stamp;
    bool settled = false;
    std::unordered_map<std::u16string, std::filesystem::path> by_folded_name;
  };

  ~CDirArchive() override = default;
  // The entry of `folder` named `part` without regard to case, or nothing.
  std::optional<std::filesystem::path> FindInFolder(const std::filesystem::path& folder,
                                                    std::u16string_view part) const;

  std::filesystem::path m_Base;  // the folder, absolute
  std::u16string m_Path;         // the folder as text, ending in "/"
  // Listings of the folders looked into, so a name whose case differs costs no
  // rescan; the lock lets the sound thread look up beside the game thread.
  mutable std::mutex m_ListingLock;
  mutable std::unordered_map<std::string, Listing> m_Listings;
};
