// Whole-entry loading, the existence test and the three global archives.
#include "archive/archive.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "core/exception.h"

IArchive* SystemArchive = nullptr;
IArchive* ScriptArchive = nullptr;
IArchive* SoundArchive = nullptr;

namespace {

// Decodes `name` into `buffer` (or a new block with `extra` bytes behind the entry)
// and checks that the whole entry came out; `*produced` gets the decoded size.
char* LoadEntry(IArchive* archive, std::u16string_view name, char* buffer, std::size_t extra,
                uint32_t* produced) {
  if (archive == nullptr) return nullptr;
  ComPtr<ICompressedFile> decoder = ComPtr<ICompressedFile>::Adopt(archive->OpenCompressedFile(name));
  const std::u16string entry(name);
  // Missing: a damaged index was refused when the archive was opened.
  if (!decoder) return nullptr;
  const uint64_t size = decoder->GetSize();
  // Sizes are handed out as 32-bit counts, and the text loader adds its NUL behind.
  if (size >= std::numeric_limits<uint32_t>::max()) {
    throw MakeError(u"archive", __LINE__, kErrorTypeError, nullptr,
                    u"%s: entry %s is too large to load (%llu bytes)", archive->GetPath().c_str(),
                    entry.c_str(), static_cast<unsigned long long>(size));
  }
  // A block of our own grows as the entry decodes, and is freed again on every
  // failure, thrown or returned.
  std::unique_ptr<char, decltype(&std::free)> owned(nullptr, &std::free);
  char* out = buffer;
  uint64_t got = 0;
  if (out == nullptr) {
    owned.reset(static_cast<char*>(decoder->DecodeToNewBlock(extra, &got)));
    out = owned.get();
    if (out == nullptr) {
      throw MakeError(u"archive", __LINE__, kErrorTypeError, nullptr,
                      u"%s: no memory to load entry %s (%llu bytes)", archive->GetPath().c_str(),
                      entry.c_str(), static_cast<unsigned long long>(size));
    }
  } else {
    got = decoder->Decode(out);
  }
  if (got != size) {
    if (got == ICompressedFile::kDecodeFailed) {
      throw MakeError(u"archive", __LINE__, kErrorTypeError, nullptr, u"%s: entry %s is damaged",
                      archive->GetPath().c_str(), entry.c_str());
    }
    throw MakeError(u"archive", __LINE__, kErrorTypeError, nullptr,
                    u"%s: entry %s ends early (%llu of %llu bytes)", archive->GetPath().c_str(),
                    entry.c_str(), static_cast<unsigned long long>(got),
                    static_cast<unsigned long long>(size));
  }
  owned.release();
  *produced = static_cast<uint32_t>(size);
  return out;
}

}  // namespace

void* LoadArchiveFile(IArchive* archive, std::u16string_view name, void* buffer, uint32_t* size) {
  uint32_t produced = 0;
  char* out = LoadEntry(archive, name, static_cast<char*>(buffer), 0, &produced);
  if (out != nullptr && size != nullptr) *size = produced;
  return out;
}

char* LoadArchiveTextFile(IArchive* archive, std::u16string_view name, char* buffer, uint32_t* length) {
  uint32_t produced = 0;
  char* out = LoadEntry(archive, name, buffer, 1, &produced);
  if (out == nullptr) return nullptr;
  out[produced] = '\0';
  if (length != nullptr) *length = produced;
  return out;
}

bool FileExistsInArchive(IArchive* archive, std::u16string_view name, std::u16string* out) {
  if (archive == nullptr || !archive->Exists(name)) return false;
  if (out != nullptr) out->assign(name);
  return true;
}
