#include "platform/profile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/file.h"
#include "platform/text.h"

namespace platform {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The value part of a "key=value" line as a read returns it.
std::u16string ReadValue(std::u16string_view line) {
  std::u16string_view value = Trim(line.substr(line.find(u'=') + 1));
  if (value.size() >= 2 && ((value.front() == u'"' && value.back() == u'"') ||
                            (value.front() == u'\'' && value.back() == u'\''))) {
    value = value.substr(1, value.size() - 2);
  }
  if (value.size() > kProfileValueMax) value = value.substr(0, kProfileValueMax);
  return std::u16string(value);
}

std::u16string KeyLine(std::u16string_view key, std::u16string_view value) {
  std::u16string line(key);
  line += u'=';
  line += value;
  return line;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    std::size_t extra;
    char32_t min;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= bytes.size()) return false;
    char32_t cp = c & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
      unsigned char t = static_cast<unsigned char>(bytes[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

std::u16string DecodeOutsideText(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return Utf8ToUtf16(bytes.substr(3));
  if (IsValidUtf8(bytes)) return Utf8ToUtf16(bytes);
  return Cp932ToUtf16(bytes);
}

Profile::Line Profile::MakeLine(std::u16string text, const std::u16string& section) {
  Line line;
  line.section = section;
  std::u16string_view body = Trim(text);
  if (body.starts_with(u'[')) {
    std::size_t close = body.find(u']');
    line.header = true;
    line.section = std::u16string(Trim(body.substr(1, close == std::u16string_view::npos ? body.npos : close - 1)));
  } else if (!body.starts_with(u';')) {
    std::size_t eq = body.find(u'=');
    if (eq != std::u16string_view::npos) line.key = std::u16string(Trim(body.substr(0, eq)));
  }
  line.text = std::move(text);
  return line;
}

void Profile::AddLine(Line line) {
  if (lines_.empty() && line.ending == u"\r\n") crlf_ = true;
  std::u16string section = lines_.empty() ? std::u16string() : lines_.back().section;
  Line made = MakeLine(std::move(line.text), section);
  made.bytes = std::move(line.bytes);
  made.ending = std::move(line.ending);
  lines_.push_back(std::move(made));
}

void Profile::AddLines(std::u16string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = std::min(text.find(u'\n', start), text.size());
    Line line;
    line.text = std::u16string(text.substr(start, end - start));
    // Appended, not assigned: g++ 12 at -O2 and above warns falsely (-Wrestrict) on
    // assigning a one-unit literal here.
    if (end < text.size()) line.ending.push_back(u'\n');
    if (!line.text.empty() && line.text.back() == u'\r' && !line.ending.empty()) {
      line.text.pop_back();
      line.ending = u"\r\n";
    }
    AddLine(std::move(line));
    start = end + 1;
  }
}

void Profile::AddByteLines(std::string_view bytes) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = std::min(bytes.find('\n', start), bytes.size());
    Line line;
    line.bytes = std::string(bytes.substr(start, end - start));
    if (end < bytes.size()) line.ending.push_back(u'\n');
    if (!line.bytes.empty() && line.bytes.back() == '\r' && !line.ending.empty()) {
      line.bytes.pop_back();
      line.ending = u"\r\n";
    }
    line.text = IsValidUtf8(line.bytes) ? Utf8ToUtf16(line.bytes) : Cp932ToUtf16(line.bytes);
    AddLine(std::move(line));
    start = end + 1;
  }
}

Profile Profile::Parse(std::string_view bytes) {
  Profile profile;
  const bool le = bytes.starts_with("\xFF\xFE"), be = bytes.starts_with("\xFE\xFF");
  if (le || be) {
    profile.encoding_ = le ? Encoding::kUtf16Le : Encoding::kUtf16Be;
    profile.mark_ = std::string(bytes.substr(0, 2));
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
      text += static_cast<char16_t>(le ? (second << 8 | first) : (first << 8 | second));
    }
    profile.AddLines(text);
    return profile;
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) profile.mark_ = std::string(bytes.substr(0, 3));
  profile.AddByteLines(bytes.substr(profile.mark_.size()));
  return profile;
}

Profile Profile::Load(const std::filesystem::path& path) {
  File file = File::OpenRead(path);
  if (!file.IsOpen()) return Profile();
  int64_t size = file.Size();
  if (size <= 0) return Profile();
  std::string bytes(static_cast<std::size_t>(size), '\0');
  int64_t got = file.ReadAt(bytes.data(), bytes.size(), 0);
  if (got < 0) return Profile();
  bytes.resize(static_cast<std::size_t>(got));
  return Parse(bytes);
}

const Profile::Line* Profile::FindLine(std::u16string_view section, std::u16string_view key) const {
  for (const Line& line : lines_) {
    if (!line.header && !line.key.empty() && SameIgnoringAsciiCase(line.section, section) &&
        SameIgnoringAsciiCase(line.key, key)) {
      return &line;
    }
  }
  return nullptr;
}

std::optional<std::u16string> Profile::Find(std::u16string_view section, std::u16string_view key) const {
  const Line* line = FindLine(section, key);
  if (line == nullptr) return std::nullopt;
  return ReadValue(line->text);
}

std::u16string Profile::Get(std::u16string_view section, std::u16string_view key,
                            std::u16string_view fallback) const {
  std::optional<std::u16string> value = Find(section, key);
  return value ? *value : std::u16string(fallback);
}

void Profile::Set(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  if (const Line* found = FindLine(section, key)) {
    Line& line = lines_[static_cast<std::size_t>(found - lines_.data())];
    line.text = KeyLine(line.key, value);
    line.edited = true;
    return;
  }
  // After the last key line of the section, so blank lines and comments that
  // lead into the next section stay with it.
  std::size_t insert_at = lines_.size();
  bool have_section = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (!SameIgnoringAsciiCase(lines_[i].section, section)) continue;
    if (lines_[i].header) {
      have_section = true;
      insert_at = i + 1;
    } else if (have_section && !lines_[i].key.empty()) {
      insert_at = i + 1;
    }
  }
  std::u16string name(section);
  auto added = [&](std::u16string text) {
    Line line = MakeLine(std::move(text), name);
    line.edited = true;
    line.ending = crlf_ ? u"\r\n" : u"\n";
    return line;
  };
  if (!have_section) {
    lines_.push_back(added(u"[" + name + u"]"));
    insert_at = lines_.size();
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at), added(KeyLine(key, value)));
}

std::string Profile::Encode(std::u16string_view text) const {
  if (encoding_ == Encoding::kBytes) return Utf16ToUtf8(text);
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    out += encoding_ == Encoding::kUtf16Le ? low : high;
    out += encoding_ == Encoding::kUtf16Le ? high : low;
  }
  return out;
}

std::string Profile::Serialize() const {
  std::string out = mark_;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    out += encoding_ == Encoding::kBytes && !line.edited ? line.bytes : Encode(line.text);
    // A last line without an ending gets one when lines follow it.
    const bool last = i + 1 == lines_.size();
    out += Encode(!line.ending.empty() || last ? std::u16string_view(line.ending)
                                               : std::u16string_view(crlf_ ? u"\r\n" : u"\n"));
  }
  return out;
}

bool Profile::Save(const std::filesystem::path& path, const std::function<void()>& before_rename,
                   std::error_code* error) const {
  std::filesystem::path temp = path;
  temp += ".tmp";
  // Keeps errno's reason, then takes the temporary file away.
  auto fail = [&](bool made) {
    if (error != nullptr) *error = std::error_code(errno, std::system_category());
    std::error_code ignored;
    if (made) std::filesystem::remove(temp, ignored);
    return false;
  };
  std::string bytes = Serialize();
  {
    File file = File::CreateForWrite(temp);
    if (!file.IsOpen()) return fail(false);
    if (!file.Write(bytes.data(), bytes.size()) || ::fsync(file.native_handle()) != 0) return fail(true);
  }
  if (before_rename) before_rename();
  if (std::rename(temp.c_str(), path.c_str()) != 0) return fail(true);
  // The rename itself is made durable by flushing the folder.
  int dir = ::open(path.parent_path().empty() ? "." : path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace platform
