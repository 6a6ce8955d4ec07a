#include "platform/wformat.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/text.h"

namespace platform {
namespace {

enum class Length { kNone, kShort, kChar, kLong, kLongLong, kSize, kLongDouble };

struct Spec {
  bool left = false;
  bool plus = false;
  bool space = false;
  bool zero = false;
  bool alt = false;
  int width = -1;
  int precision = -1;
  Length length = Length::kNone;
};

void Pad(std::u16string& out, std::u16string_view body, const Spec& spec) {
  std::size_t width = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
  std::size_t fill = body.size() < width ? width - body.size() : 0;
  if (spec.left) {
    out.append(body);
    out.append(fill, u' ');
  } else {
    out.append(fill, u' ');
    out.append(body);
  }
}

void AppendAscii(std::u16string& out, const char* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<unsigned char>(s[i]));
}

// Numbers go through the C library's narrow printf with the same flags.
std::u16string FormatNumber(const Spec& spec, char conv, va_list& args) {
  char fmt[32];
  char* f = fmt;
  *f++ = '%';
  if (spec.left) *f++ = '-';
  if (spec.plus) *f++ = '+';
  if (spec.space) *f++ = ' ';
  if (spec.zero) *f++ = '0';
  if (spec.alt) *f++ = '#';
  *f++ = '*';
  *f++ = '.';
  *f++ = '*';
  char buf[512];
  int width = spec.width;
  int precision = spec.precision;
  int n = 0;
  bool is_signed = conv == 'd' || conv == 'i';
  bool is_float = conv == 'e' || conv == 'E' || conv == 'f' || conv == 'F' || conv == 'g' ||
                  conv == 'G' || conv == 'a' || conv == 'A';
  if (is_float) {
    *f++ = 'L';
    *f++ = conv;
    *f = 0;
    long double v = spec.length == Length::kLongDouble ? va_arg(args, long double)
                                                      : va_arg(args, double);
    n = std::snprintf(buf, sizeof buf, fmt, width, precision, v);
  } else {
    *f++ = 'j';
    *f++ = conv;
    *f = 0;
    if (is_signed) {
      intmax_t v;
      switch (spec.length) {
        case Length::kLongLong: v = va_arg(args, long long); break;
        case Length::kSize: v = va_arg(args, ptrdiff_t); break;
        case Length::kShort: v = static_cast<short>(va_arg(args, int)); break;
        case Length::kChar: v = static_cast<signed char>(va_arg(args, int)); break;
        // The engine's wide printf is a 32-bit one: %ld is a 32-bit long there.
        default: v = va_arg(args, int); break;
      }
      n = std::snprintf(buf, sizeof buf, fmt, width, precision, v);
    } else {
      uintmax_t v;
      switch (spec.length) {
        case Length::kLongLong: v = va_arg(args, unsigned long long); break;
        case Length::kSize: v = va_arg(args, size_t); break;
        case Length::kShort: v = static_cast<unsigned short>(va_arg(args, unsigned)); break;
        case Length::kChar: v = static_cast<unsigned char>(va_arg(args, unsigned)); break;
        default: v = va_arg(args, unsigned); break;
      }
      n = std::snprintf(buf, sizeof buf, fmt, width, precision, v);
    }
  }
  std::u16string out;
  if (n > 0) AppendAscii(out, buf, static_cast<std::size_t>(n) < sizeof buf ? n : sizeof buf - 1);
  return out;
}

}  // namespace

std::u16string FormatStringV(const char16_t* format, va_list args_in) {
  std::u16string out;
  if (format == nullptr) return out;
  va_list args;
  va_copy(args, args_in);
  const char16_t* p = format;
  while (*p != 0) {
    if (*p != u'%') {
      out.push_back(*p++);
      continue;
    }
    const char16_t* start = p++;
    if (*p == u'%') {
      out.push_back(u'%');
      ++p;
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == u'-') spec.left = true;
      else if (*p == u'+') spec.plus = true;
      else if (*p == u' ') spec.space = true;
      else if (*p == u'0') spec.zero = true;
      else if (*p == u'#') spec.alt = true;
      else break;
    }
    if (*p == u'*') {
      spec.width = va_arg(args, int);
      if (spec.width < 0) {
        spec.left = true;
        spec.width = -spec.width;
      }
      ++p;
    } else {
      while (*p >= u'0' && *p <= u'9') {
        spec.width = (spec.width < 0 ? 0 : spec.width) * 10 + (*p - u'0');
        if (spec.width > 4096) spec.width = 4096;
        ++p;
      }
    }
    if (*p == u'.') {
      ++p;
      spec.precision = 0;
      if (*p == u'*') {
        spec.precision = va_arg(args, int);
        ++p;
      } else {
        while (*p >= u'0' && *p <= u'9') {
          spec.precision = spec.precision * 10 + (*p - u'0');
          if (spec.precision > 4096) spec.precision = 4096;
          ++p;
        }
      }
    }
    bool narrow = false;
    bool wide = false;
    if (*p == u'h') {
      ++p;
      narrow = true;
      spec.length = Length::kShort;
      if (*p == u'h') {
        ++p;
        spec.length = Length::kChar;
      }
    } else if (*p == u'l') {
      ++p;
      wide = true;
      spec.length = Length::kLong;
      if (*p == u'l') {
        ++p;
        spec.length = Length::kLongLong;
      }
    } else if (*p == u'L') {
      ++p;
      spec.length = Length::kLongDouble;
    } else if (*p == u'z' || *p == u't') {
      ++p;
      spec.length = Length::kSize;
    } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
      p += 3;
      spec.length = Length::kLongLong;
    } else if (*p == u'w') {
      ++p;
      wide = true;
    }
    char16_t conv = *p;
    if (conv == 0) {
      out.append(start, p);  // a lone '%' at the end stands as written
      break;
    }
    ++p;
    switch (conv) {
      case u's':
      case u'S': {
        bool is_narrow = conv == u'S' ? !wide : narrow;
        std::u16string text;
        if (is_narrow) {
          const char* s = va_arg(args, const char*);
          if (s == nullptr) s = "(null)";
          std::size_t n = std::strlen(s);
          if (spec.precision >= 0 && static_cast<std::size_t>(spec.precision) < n) n = spec.precision;
          text = Cp932ToUtf16(std::string_view(s, n));
        } else {
          const char16_t* s = va_arg(args, const char16_t*);
          if (s == nullptr) s = u"(null)";
          std::size_t n = 0;
          while (s[n] != 0 && (spec.precision < 0 || n < static_cast<std::size_t>(spec.precision))) ++n;
          text.assign(s, n);
        }
        Pad(out, text, spec);
        break;
      }
      case u'c':
      case u'C': {
        bool is_narrow = conv == u'C' ? !wide : narrow;
        int v = va_arg(args, int);
        std::u16string text;
        if (is_narrow) {
          char c = static_cast<char>(v);
          text = Cp932ToUtf16(std::string_view(&c, 1));
        } else {
          text.push_back(static_cast<char16_t>(v));
        }
        Pad(out, text, spec);
        break;
      }
      case u'p': {
        char buf[32];
        int n = std::snprintf(buf, sizeof buf, "%0*jX", static_cast<int>(sizeof(void*) * 2),
                              static_cast<uintmax_t>(reinterpret_cast<uintptr_t>(va_arg(args, void*))));
        std::u16string text;
        AppendAscii(text, buf, n);
        Pad(out, text, spec);
        break;
      }
      case u'd': case u'i': case u'u': case u'o': case u'x': case u'X':
      case u'e': case u'E': case u'f': case u'F': case u'g': case u'G': case u'a': case u'A':
        out.append(FormatNumber(spec, static_cast<char>(conv), args));
        break;
      case u'n':
        (void)va_arg(args, int*);  // never written: a format string must not write memory
        break;
      default:
        out.append(start, p);  // unknown conversions stand as written
        break;
    }
  }
  va_end(args);
  return out;
}

std::u16string FormatString(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::u16string s = FormatStringV(format, args);
  va_end(args);
  return s;
}

std::size_t FormatTextV(char16_t* buf, std::size_t capacity, const char16_t* format, va_list args) {
  if (capacity == 0) return 0;
  return CopyWide(buf, capacity, FormatStringV(format, args));
}

std::size_t FormatText(char16_t* buf, std::size_t capacity, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::size_t n = FormatTextV(buf, capacity, format, args);
  va_end(args);
  return n;
}

}  // namespace platform
