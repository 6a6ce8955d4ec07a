#include "app/cmdline.h"

#include <cstdlib>

#include "app/settings.h"
#include "core/util.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/wformat.h"

namespace App {

namespace {

// Collects one token from `text` at `pos`: a backslash-quote is a quote, a quoted
// run keeps blanks, and the token ends at one of `ends` (a blank is consumed).
// `run_ends_at_line_feed` is the response files' rule for unclosed quotes.
std::u16string CollectToken(std::u16string_view text, std::size_t& pos, std::u16string_view ends,
                            bool run_ends_at_line_feed) {
  std::u16string token;
  auto put = [&token](char16_t c) {
    if (token.size() < kTokenMax) token += c;
  };
  while (pos < text.size()) {
    char16_t c = text[pos];
    if (ends.find(c) != std::u16string_view::npos) {
      if (c == u' ') ++pos;
      break;
    }
    ++pos;
    if (c == u'\\' && pos < text.size() && text[pos] == u'"') {
      put(u'"');
      ++pos;
    } else if (c == u'"') {
      while (pos < text.size() && text[pos] != u'"' && !(run_ends_at_line_feed && text[pos] == u'\n')) {
        put(text[pos++]);
      }
      if (pos < text.size() && text[pos] == u'"') ++pos;
    } else {
      put(c);
    }
  }
  return token;
}

void SkipChars(std::u16string_view text, std::size_t& pos, std::u16string_view skip) {
  while (pos < text.size() && skip.find(text[pos]) != std::u16string_view::npos) ++pos;
}

// A response file's text: CP932, or UTF-8 when it starts with the UTF-8 mark,
// read as text, so each CR LF becomes one line feed.
std::u16string DecodeResponseFile(std::string_view bytes) {
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  std::u16string text = bytes.starts_with(kUtf8Mark) ? platform::Utf8ToUtf16(bytes.substr(kUtf8Mark.size()))
                                                     : platform::Cp932ToUtf16(bytes);
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

std::u16string ProgramDirectory(std::u16string_view path) {
  std::size_t cut = path.find_last_of(u"/\\");
  return std::u16string(cut == std::u16string_view::npos ? std::u16string_view() : path.substr(0, cut + 1));
}

std::optional<std::u16string> ArgIterator::ReadStringToken() {
  SkipChars(m_Text, m_Pos, u" \t");
  if (m_Pos >= m_Text.size()) {
    m_State = kFinished;
    return std::nullopt;
  }
  std::u16string token = CollectToken(m_Text, m_Pos, u" \t", false);
  if (m_Pos >= m_Text.size()) m_State = kFinished;
  return token;
}

std::optional<std::u16string> ArgIterator::ReadFileToken() {
  SkipChars(m_File, m_FilePos, u" \t\n\r");
  if (m_FilePos >= m_File.size()) return std::nullopt;
  return CollectToken(m_File, m_FilePos, u" \t\n\r", true);
}

std::optional<std::u16string> ArgIterator::Next() {
  for (;;) {
    if (m_State == kFinished) return std::nullopt;
    if (m_State == kFile) {
      if (std::optional<std::u16string> token = ReadFileToken()) return token;
      m_File.clear();
      m_FilePos = 0;
      m_State = kText;
      if (m_Pos >= m_Text.size()) m_State = kFinished;
      continue;
    }
    std::optional<std::u16string> token = ReadStringToken();
    if (!token || !token->starts_with(u'@')) return token;
    std::u16string name = token->substr(1);
    std::size_t size = 0;
    void* data = LoadFile(name, &size);
    if (data == nullptr) {
      platform::ShowMessageBox(nullptr, platform::FormatString(u"File not found '%s'", name.c_str()),
                               u"Error", platform::MB_ICONWARNING);
      throw ProgramExit{1};
    }
    m_File = DecodeResponseFile(std::string_view(static_cast<const char*>(data), size));
    std::free(data);
    m_FilePos = 0;
    m_State = kFile;
  }
}

std::u16string QuoteArguments(std::span<const std::string> args) {
  std::u16string text;
  for (const std::string& arg : args) {
    if (!text.empty()) text += u' ';
    std::u16string wide = platform::Utf8ToUtf16(arg);
    if (!wide.empty() && wide.find_first_of(u" \t\"") == std::u16string::npos) {
      text += wide;
      continue;
    }
    // Quoted runs keep blanks and backslashes as they are; a quote closes the
    // run, goes out as backslash-quote, and the run opens again.
    text += u'"';
    for (char16_t c : wide) {
      if (c == u'"') {
        text += u"\"\\\"\"";
      } else {
        text += c;
      }
    }
    text += u'"';
  }
  return text;
}

ProgramPaths ParseProgramPath(std::u16string_view text) {
  ArgIterator args(text);
  while (std::optional<std::u16string> token = args.Next()) {
    if (token->starts_with(u'-')) continue;
    ProgramPaths paths;
    paths.path = token->substr(0, kProgramPathMax);
    paths.directory = ProgramDirectory(paths.path);
    return paths;
  }
  return {};
}

ProgramPaths ParseCommandLine(std::u16string_view text, UserSettings& settings) {
  ProgramPaths paths;
  bool have_path = false;
  StartOptions& options = settings.options;
  options.debug_level = 0;
  ArgIterator args(text);
  while (std::optional<std::u16string> token = args.Next()) {
    const std::u16string& t = *token;
    if (!t.starts_with(u'-')) {
      if (!have_path) {
        have_path = true;
        paths.path = t.substr(0, kProgramPathMax);
        paths.directory = ProgramDirectory(paths.path);
      }
      continue;
    }
    if (t.size() == 11 && t[1] == u'-') {
      std::u16string name;
      for (char16_t c : t.substr(2)) name += AsciiUpper(c);
      if (name == u"SELDRIVER") options.select_driver = true;
      continue;
    }
    switch (t.size() >= 2 ? AsciiUpper(t[1]) : 0) {
      case u'A':
        options.archives_always = true;
        break;
      case u'D':
        options.debug_level = (t.size() >= 3 && t[2] == u'2') ? 2 : 1;
        break;
      case u'M':
        options.simd_off = true;
        break;
      case u'S':
        settings.sound_enable = 0;
        break;
      case u'W':
        settings.game.full_screen = 0;
        break;
      default:  // -E, -I, -O with their text, and anything else: no effect
        break;
    }
  }
  return paths;
}

}  // namespace App
