#include "core/util.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/text.h"

// --- Text ---------------------------------------------------------------------

const char16_t* NextCodePoint(const char16_t* text, int available, char32_t* codePoint) {
  if (text == nullptr || available == 0 || available < -1) return nullptr;
  // An unlimited text is NUL-terminated, so its second unit can always be read.
  const std::size_t units = available == -1 || available >= 2 ? 2 : 1;
  std::size_t index = 0;
  char32_t c = platform::NextCodePoint(std::u16string_view(text, units), index);
  if (codePoint != nullptr) *codePoint = c;
  return text + index;
}

int EncodeUtf16(char16_t* out, char32_t codePoint) {
  if (codePoint < 0x10000) {
    out[0] = static_cast<char16_t>(codePoint);
    return 1;
  }
  out[0] = static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
  out[1] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
  return 2;
}

int CountDisplayCells(const char16_t* text) {
  if (text == nullptr) return 0;
  int cells = 0;
  char32_t c = 0;
  for (const char16_t* p = text; *p != 0;) {
    p = NextCodePoint(p, -1, &c);
    cells += (c >= 0x100 && !(c >= 0xFF61 && c <= 0xFF9F)) ? 2 : 1;
  }
  return cells;
}

int AnsiToWide(char16_t* out, int capacity, const char* in, int length) {
  if (in == nullptr || capacity < 0 || length < -1) return 0;
  const std::size_t bytes = length == -1 ? std::strlen(in) + 1 : static_cast<std::size_t>(length);
  const std::u16string wide = platform::Cp932ToUtf16(std::string_view(in, bytes));
  const int units = static_cast<int>(wide.size());
  if (capacity == 0) return units;
  if (out == nullptr || units > capacity) return 0;
  std::memcpy(out, wide.data(), wide.size() * sizeof(char16_t));
  return units;
}

std::unique_ptr<char16_t[]> DuplicateText(std::u16string_view text) {
  auto copy = std::make_unique<char16_t[]>(text.size() + 1);
  text.copy(copy.get(), text.size());
  copy[text.size()] = 0;
  return copy;
}

// --- Files and paths ------------------------------------------------------------

namespace {

// Opens the file and finds its size; false when either fails.
bool OpenWhole(std::u16string_view path, platform::File& file, std::size_t& size) {
  file = platform::File::OpenRead(platform::WidePath(path));
  if (!file.IsOpen()) return false;
  const int64_t s = file.Size();
  if (s < 0 || static_cast<uint64_t>(s) > SIZE_MAX) return false;
  size = static_cast<std::size_t>(s);
  return true;
}

// A short read (the file shrank under us) is a failure, not a smaller file.
bool ReadWhole(const platform::File& file, void* buffer, std::size_t size) {
  return size == 0 || file.ReadAt(buffer, size, 0) == static_cast<int64_t>(size);
}

}  // namespace

void* LoadFile(std::u16string_view path, std::size_t* size) {
  platform::File file;
  std::size_t bytes = 0;
  if (!OpenWhole(path, file, bytes)) return nullptr;
  // An empty file still gives a buffer the caller can free.
  void* buffer = std::malloc(bytes != 0 ? bytes : 1);
  if (buffer == nullptr) return nullptr;
  if (!ReadWhole(file, buffer, bytes)) {
    std::free(buffer);
    return nullptr;
  }
  if (size != nullptr) *size = bytes;
  return buffer;
}

void* LoadFile(std::u16string_view path, void* buffer, std::size_t capacity, std::size_t* size) {
  if (buffer == nullptr) return nullptr;
  platform::File file;
  std::size_t bytes = 0;
  if (!OpenWhole(path, file, bytes) || bytes > capacity) return nullptr;
  if (!ReadWhole(file, buffer, bytes)) return nullptr;
  if (size != nullptr) *size = bytes;
  return buffer;
}

platform::File CreateFileForWrite(std::u16string_view path) {
  return platform::File::CreateForWrite(platform::WidePath(path));
}

int64_t SeekFile64(platform::File& file, int64_t offset, platform::File::Origin origin) {
  if (!file.IsOpen()) return -1;
  return file.Seek(offset, origin);
}

namespace {

// Part limits, terminator included, as the split buffers hold them.
constexpr std::size_t kDriveUnits = 3;
constexpr std::size_t kPartUnits = 256;

constexpr bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::u16string_view Cut(std::u16string_view s, std::size_t units) {
  return s.substr(0, units - 1);
}

}  // namespace

std::u16string ReplacePathParts(std::u16string_view path, const char16_t* drive,
                                const char16_t* folder, const char16_t* name,
                                const char16_t* extension) {
  std::u16string_view rest = path;
  std::u16string_view d;
  if (rest.size() >= 2 && rest[1] == u':') {
    d = rest.substr(0, 2);
    rest.remove_prefix(2);
  }
  std::size_t slash = std::u16string_view::npos;
  for (std::size_t i = rest.size(); i-- > 0;) {
    if (IsSeparator(rest[i])) {
      slash = i;
      break;
    }
  }
  std::u16string_view f;
  if (slash != std::u16string_view::npos) {
    f = rest.substr(0, slash + 1);
    rest.remove_prefix(slash + 1);
  }
  const std::size_t dot = rest.rfind(u'.');
  std::u16string_view n = rest.substr(0, dot);
  std::u16string_view e = dot != std::u16string_view::npos ? rest.substr(dot) : std::u16string_view();

  if (drive != nullptr) d = drive;
  if (folder != nullptr) f = folder;
  if (name != nullptr) n = name;
  if (extension != nullptr) e = extension;
  d = Cut(d, kDriveUnits);
  f = Cut(f, kPartUnits);
  n = Cut(n, kPartUnits);
  e = Cut(e, kPartUnits);

  std::u16string out;
  if (!d.empty()) {
    out += d[0];
    out += u':';
  }
  if (!f.empty()) {
    out += f;
    if (!IsSeparator(f.back())) out += u'\\';
  }
  out += n;
  if (!e.empty()) {
    if (e[0] != u'.') out += u'.';
    out += e;
  }
  return out;
}

// --- Others -------------------------------------------------------------------

namespace {

std::mutex g_RandLock;  // constant-initialised, so it exists before any caller
uint32_t g_RandSeed = 1;

}  // namespace

int LockedRand() {
  std::lock_guard<std::mutex> guard(g_RandLock);
  g_RandSeed = g_RandSeed * 214013u + 2531011u;
  return static_cast<int>((g_RandSeed >> 16) & 0x7FFF);
}

void SwapMemory(void* a, void* b, std::size_t bytes) {
  auto* p = static_cast<uint8_t*>(a);
  auto* q = static_cast<uint8_t*>(b);
  // Four bytes at a time, then the rest one by one.
  for (; bytes >= 4; bytes -= 4, p += 4, q += 4) {
    uint32_t x;
    uint32_t y;
    std::memcpy(&x, p, 4);
    std::memcpy(&y, q, 4);
    std::memcpy(p, &y, 4);
    std::memcpy(q, &x, 4);
  }
  for (; bytes > 0; --bytes, ++p, ++q) {
    const uint8_t t = *p;
    *p = *q;
    *q = t;
  }
}

void EmptyFunction() {}
