// Settings files of sections and "key=value" lines, read and written with the
// rules the engine's settings expect: sections and keys match without regard to
// case, values are trimmed and lose one pair of surrounding quotes, the first of
// two equal keys wins, and a value is cut to 255 units. Writing keeps every other
// line and comment as it stands, changes a key in place, adds a missing key at the
// end of its section (a missing section at the end of the file), and replaces the
// file atomically, so a crash leaves either the old file or the new one.
// A file with a UTF-16 byte-order mark is read and written as UTF-16 in its
// byte order. Any other file is read line by line: a line that is valid UTF-8
// reads as UTF-8, else as CP932; a UTF-8 mark at the start is kept. Lines the
// program did not change are written back byte for byte, with their own line
// endings; changed and added lines are written as UTF-8.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The longest value a read returns, in UTF-16 units.
inline constexpr std::size_t kProfileValueMax = 255;

class Profile {
 public:
  // An empty profile (an absent file reads as one).
  Profile() = default;
  // Parses the bytes of a settings file.
  static Profile Parse(std::string_view bytes);
  // Reads a file; an absent or unreadable file gives an empty profile.
  static Profile Load(const std::filesystem::path& path);

  // The value of `key` in `section`, or nothing when the key is absent.
  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;
  // The value, or `fallback` when the key is absent.
  std::u16string Get(std::u16string_view section, std::u16string_view key,
                     std::u16string_view fallback) const;

  // Sets a key: in place when it exists, else at the end of its section.
  void Set(std::u16string_view section, std::u16string_view key, std::u16string_view value);

  // The file's bytes as they would be written.
  std::string Serialize() const;
  // Writes the file atomically: a temporary file beside it, flushed, then renamed
  // over it. `before_rename` (tests) runs between the two and may throw, as a
  // crash would stop there. False when the file could not be written; `error`,
  // when given, then holds the reason.
  bool Save(const std::filesystem::path& path, const std::function<void()>& before_rename = {},
            std::error_code* error = nullptr) const;

 private:
  enum class Encoding { kBytes, kUtf16Le, kUtf16Be };

  struct Line {
    std::u16string text;     // the line as read, without its line ending
    std::string bytes;       // a byte file's line as read, written back while `edited` is false
    bool edited = false;     // changed or added by the program: `text` is written
    std::u16string ending;   // u"\r\n", u"\n", or empty for a last line without one
    std::u16string section;  // the section it belongs to ("" before the first)
    std::u16string key;      // trimmed key of a "key=value" line, else empty
    bool header = false;     // a "[section]" line
  };

  static Line MakeLine(std::u16string text, const std::u16string& section);
  // Splits decoded lines or, for a byte file, raw ones into `lines_`.
  void AddLines(std::u16string_view text);
  void AddByteLines(std::string_view bytes);
  void AddLine(Line line);
  const Line* FindLine(std::u16string_view section, std::u16string_view key) const;
  std::string Encode(std::u16string_view text) const;

  std::vector<Line> lines_;
  Encoding encoding_ = Encoding::kBytes;
  std::string mark_;  // the byte-order mark the file starts with, written back as it was
  bool crlf_ = false;  // the file's first line ended with CR LF: added lines do the same
};

// Whether the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);
// Text of a file in the engine's outside-text rule: UTF-8 with or without a
// byte-order mark, otherwise CP932.
std::u16string DecodeOutsideText(std::string_view bytes);

}  // namespace platform
