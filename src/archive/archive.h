// Resource archives: the four reference-counted interfaces every reader of game
// data goes through, the factories of the archive kinds, and whole-entry loading.
//
// Names are UTF-16 paths relative to the archive root with "/" or "\" between
// parts, compared without regard to case; the first matching record wins.
//
// Failures: a missing entry gives null (or false). A bad record is a missing
// entry to every opening call: a child range or a name that does not fit the
// index, a nested archive whose own index is damaged. Those calls return null and
// never throw for what lies in one record; the rest of the archive works. Loading
// an entry whose data does not decode to its size raises an ExceptionHandle naming
// the archive file, the entry and what is wrong; nothing claimed by a record is
// allocated before the data shows it. Opening an archive file raises one when its
// header or its index does not fit the file, or an entry's data lies past its end
// (a file cut short): such an archive is refused whole, at once; so is a nested
// archive, named with its entry. An empty entry has nothing to read: wherever its
// block lies, it reads as empty.
//
// Threads: an archive's lookups and opens only read its index, so the sound service
// thread may open and read its own windows while the game thread loads entries; each
// window, decoder and mapping is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/combase.h"

struct IArchiveFile;
struct ICompressedFile;
struct IMappingFile;

// One record of a file list.
struct SAFFILEINFO {
  char16_t path[260];  // directories joined with "/", NUL-terminated, cut to 259 units
  uint64_t size;       // stored byte size of the entry
  uint64_t offset;     // data offset from the archive's own start (block number * 2048)
};

// An archive: finds entries by path and opens them. Read-only.
struct IArchive : IUnknown {
  static constexpr GUID kIid = {0x7A6DA752, 0x6315, 0x11DB, {0x89, 0x0B, 0x00, 0x18, 0x71, 0x69, 0x2C, 0x11}};

  // True when the entry (a file, or a directory) is found.
  virtual bool Exists(std::u16string_view name) = 0;
  // A new window over the file entry's stored bytes, or null (missing, or a directory).
  virtual IArchiveFile* OpenFile(std::u16string_view name) = 0;
  // OpenFile wrapped in a mapping; null when OpenFile gives null.
  virtual IMappingFile* OpenMappingFile(std::u16string_view name) = 0;
  // The entry opened as a nested archive, or null (missing, a damaged index, or
  // not an archive of the kind this archive holds); raises when an entry of it
  // lies past its end.
  virtual IArchive* OpenArchive(std::u16string_view name) = 0;
  // Empties `list`, then fills it with one record per file, depth first in record order.
  virtual void GetFileList(std::vector<SAFFILEINFO>& list) = 0;
  // This archive, with one more reference.
  virtual IArchive* Duplicate() = 0;
  // True when the file entry is stored compressed (false when missing or a directory).
  virtual bool IsCompressed(std::u16string_view name) = 0;
  // A new decoder of the whole file entry, or null (missing, or a directory).
  virtual ICompressedFile* OpenCompressedFile(std::u16string_view name) = 0;

  // The archive file or folder, for messages.
  virtual const std::u16string& GetPath() const = 0;
};

// A seekable window [base, base + size) of one file, with its own position.
// Reads never pass the window's end. QueryInterface for IArchive yields the owner.
struct IArchiveFile : IUnknown {
  static constexpr GUID kIid = {0x8F6DFE18, 0x6315, 0x11DB, {0x89, 0x0B, 0x00, 0x18, 0x71, 0x69, 0x2C, 0x11}};

  static constexpr uint64_t kSeekFailed = ~uint64_t{0};
  enum SeekOrigin : int { kSeekBegin = 0, kSeekCurrent = 1, kSeekEnd = 2 };

  virtual uint64_t GetSize() = 0;
  // New position in the window, or kSeekFailed with the position unchanged when the
  // target lies before 0, at or past the size (begin, current) or past the size (end).
  virtual uint64_t Seek(int64_t offset, int origin) = 0;
  virtual uint64_t Tell() = 0;
  // Reads up to `count` bytes at the position and advances it; returns the bytes read.
  virtual uint64_t Read(void* buffer, uint64_t count) = 0;
  // A new window on the same entry at the same position, or null.
  virtual IArchiveFile* Duplicate() = 0;
  // The file descriptor the window reads, or -1 when it reads no file.
  virtual int GetHandle() = 0;
  // Absolute position in the file: base + position.
  virtual uint64_t GetRawPosition() = 0;
  // Maps `count` bytes of the file at the absolute, page-aligned `offset` read-only.
  // Null on failure, or when the range leaves the file.
  virtual void* MapView(uint64_t offset, std::size_t count) = 0;
  virtual void UnmapView(void* view, std::size_t count) = 0;

  // The entry name the window was opened with.
  virtual const std::u16string& GetName() const = 0;
};

// Decodes a whole entry in one call. QueryInterface for IArchiveFile yields the source.
struct ICompressedFile : IUnknown {
  static constexpr GUID kIid = {0xB255EBC0, 0x6315, 0x11DB, {0x89, 0x0B, 0x00, 0x18, 0x71, 0x69, 0x2C, 0x11}};

  // Returned by Decode when the data is damaged (a corrupt stream, or one that runs
  // past the decoded size).
  static constexpr uint64_t kDecodeFailed = ~uint64_t{0};

  // The decoded size in bytes.
  virtual uint64_t GetSize() = 0;
  // The size of the source window.
  virtual uint64_t GetCompressedSize() = 0;
  // Decodes into `output`, which holds GetSize() bytes, and never writes past it.
  // Returns the bytes produced: GetSize() when the entry is whole, fewer when its
  // data ends early, kDecodeFailed when it is damaged.
  virtual uint64_t Decode(void* output) = 0;
  // Decodes into a new malloc'ed block that grows as output arrives, up to
  // GetSize() bytes with `extra` bytes free behind them, so a size claimed by a
  // damaged record costs no more memory than its data produces. `*produced` gets
  // what Decode would return. Null only when memory ran out.
  virtual void* DecodeToNewBlock(std::size_t extra, uint64_t* produced) = 0;
};

// A memory view of a window. One view per object: a new Map ends the previous one.
// QueryInterface for IArchiveFile yields the source.
struct IMappingFile : IUnknown {
  static constexpr GUID kIid = {0xA46BF284, 0x6315, 0x11DB, {0x89, 0x0B, 0x00, 0x18, 0x71, 0x69, 0x2C, 0x11}};

  // The size of the source window.
  virtual uint64_t GetSize() = 0;
  // Pointer to window byte `offset`, valid for `count` bytes (0 = to the window's end;
  // a count past the end is cut to the end). Null when offset is at or past the end
  // or the mapping fails.
  virtual const void* Map(uint64_t offset, uint32_t count) = 0;
  // A new mapping over a duplicate of the source window, or null.
  virtual IMappingFile* Duplicate() = 0;
};

// Opens a SAF archive file of version 5 or 6 (the second byte of the file).
// Null when the file cannot be opened; raises an ExceptionHandle naming the file
// when it is too short for the version byte, its version is neither, its
// header or index runs past the end of the file, or a file entry's data does.
IArchive* OpenSafArchive(std::u16string_view path);
// The same for one version: null when the file is missing or of another version.
IArchive* OpenArchive5(std::u16string_view path);
IArchive* OpenArchive6(std::u16string_view path);
// A development folder as an archive: every entry is a stored file under it.
// Null when the folder does not exist.
IArchive* OpenDirArchive(std::u16string_view folder);

// Loads a whole entry, decoded, into `buffer` (which must hold the decoded size) or,
// when `buffer` is null, into a new malloc'ed block the caller frees. Stores the size
// in `*size` when given. Null when the entry is missing; raises an ExceptionHandle
// naming the archive and entry when its record is damaged or the entry does not
// decode to its full size.
void* LoadArchiveFile(IArchive* archive, std::u16string_view name, void* buffer = nullptr,
                      uint32_t* size = nullptr);
// As LoadArchiveFile, with a NUL byte behind the text: `buffer` must hold the decoded
// size + 1. The length stored excludes the NUL.
char* LoadArchiveTextFile(IArchive* archive, std::u16string_view name, char* buffer = nullptr,
                          uint32_t* length = nullptr);

// True when the archive holds the name; when it does and `out` is given, the name is
// copied into it unchanged.
bool FileExistsInArchive(IArchive* archive, std::u16string_view name, std::u16string* out = nullptr);

// The three archives of the running game, one reference each, opened at start-up
// and released at its end; null while closed.
extern IArchive* SystemArchive;  // "system.saf": system sounds, the "SYSTEM" picture
extern IArchive* ScriptArchive;  // "script.saf" or "script/data": scripts, pictures, "config.xml"
extern IArchive* SoundArchive;   // "sound.saf" or "script/sound": music, voices, effects
