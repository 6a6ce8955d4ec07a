// Entry names: case folding and path splitting. Paths are split only as UTF-16,
// after conversion, since a CP932 trail byte can be 0x5C ("\").
#include "archive/archive_impl.h"

namespace archive_detail {

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  // Latin-1 capitals, except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
  // Greek capitals (U+0391-U+03A9, no U+03A2).
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
  // Cyrillic: U+0400-U+040F to U+0450-U+045F, U+0410-U+042F to U+0430-U+044F.
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  // Full-width Latin capitals.
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 0x20);
  return c;
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::u16string FoldName(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) c = FoldCase(c);
  return folded;
}

EntryPath SplitEntryPath(std::u16string_view path) {
  EntryPath out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (!IsSeparator(path[i])) continue;
    if (i > start) out.directories.push_back(path.substr(start, i - start));
    start = i + 1;
  }
  out.name = path.substr(start);
  return out;
}

}  // namespace archive_detail
