// Code-page and Unicode conversions of the engine's narrow and wide texts.
// Narrow game text is CP932 (the Japanese Windows code page); wide text is UTF-16.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char16_t kReplacementChar = 0xFFFD;

// CP932 bytes to UTF-16. Bytes that do not decode become U+FFFD; a lead byte
// that ends the input becomes U+FFFD too. Never fails, never reads past `in`.
std::u16string Cp932ToUtf16(std::string_view in);

// UTF-16 to CP932. Characters CP932 lacks become '?'.
std::string Utf16ToCp932(std::u16string_view in);

// UTF-16 to UTF-8 and back, for file names and terminal output. Unpaired
// surrogates and malformed UTF-8 become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view in);
std::u16string Utf8ToUtf16(std::string_view in);

// The lead-byte test of CP932 (0x81-0x9F, 0xE0-0xFC), independent of the locale.
constexpr bool IsCp932LeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The code point at `index` (which must be inside `text`), moving `index` past it:
// a high surrogate followed by a low one is joined; any other unit, a lone
// surrogate included, stands alone.
char32_t NextCodePoint(std::u16string_view text, std::size_t& index);

// Length of a NUL-terminated wide text.
std::size_t WideLength(const char16_t* s);

// Copies `src` into `dst` of `capacity` units (capacity >= 1), cut to fit, always terminated.
// Returns the units copied, terminator excluded.
std::size_t CopyWide(char16_t* dst, std::size_t capacity, std::u16string_view src);

// Copies `src` into a fixed field, cut to fit without leaving half of a
// surrogate pair at the end, always terminated.
template <std::size_t N>
void CopyWideField(char16_t (&field)[N], std::u16string_view src) {
  std::size_t n = src.size() < N - 1 ? src.size() : N - 1;
  if (n > 0 && n < src.size() && src[n - 1] >= 0xD800 && src[n - 1] <= 0xDBFF) --n;
  CopyWide(field, N, src.substr(0, n));
}

// `c` with a-z turned into A-Z; every other unit, full-width letters included,
// stays as it is. Names in scripts, settings files and on the command line compare this way.
inline char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Whether `a` and `b` are the same once both are upper-cased as above.
inline bool SameIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

}  // namespace platform
