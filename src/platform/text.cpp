#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

// One iconv descriptor per thread and direction; iconv_open is far too slow to
// call for every archive name.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

iconv_t Cp932Decoder() {
  thread_local Converter c("UTF-16LE", "CP932");
  return c.ok() ? c.get() : nullptr;
}

iconv_t Cp932Encoder() {
  thread_local Converter c("CP932", "UTF-16LE");
  return c.ok() ? c.get() : nullptr;
}

void AppendUtf16Le(std::u16string& out, const char* bytes, std::size_t n) {
  for (std::size_t i = 0; i + 1 < n; i += 2) {
    out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                        (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
}

}  // namespace

std::u16string Cp932ToUtf16(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  iconv_t cd = Cp932Decoder();
  std::size_t pos = 0;
  char buf[512];
  while (pos < in.size()) {
    unsigned char b = static_cast<unsigned char>(in[pos]);
    if (b < 0x80) {  // ASCII is the same in CP932, byte for byte
      out.push_back(b);
      ++pos;
      continue;
    }
    if (cd == nullptr) {
      out.push_back(kReplacementChar);
      ++pos;
      continue;
    }
    std::size_t unit = IsCp932LeadByte(b) ? 2 : 1;
    if (pos + unit > in.size()) {
      out.push_back(kReplacementChar);
      break;
    }
    char* src = const_cast<char*>(in.data() + pos);
    std::size_t src_left = unit;
    char* dst = buf;
    std::size_t dst_left = sizeof buf;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    if (r == static_cast<std::size_t>(-1) || src_left != 0) {
      out.push_back(kReplacementChar);
      ++pos;  // resynchronise on the next byte, as a bad trail byte may start a character
      continue;
    }
    AppendUtf16Le(out, buf, sizeof buf - dst_left);
    pos += unit;
  }
  return out;
}

std::string Utf16ToCp932(std::u16string_view in) {
  std::string out;
  out.reserve(in.size() * 2);
  iconv_t cd = Cp932Encoder();
  for (std::size_t i = 0; i < in.size(); ++i) {
    char16_t c = in[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (cd == nullptr) {
      out.push_back('?');
      continue;
    }
    char src_bytes[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    char* src = src_bytes;
    std::size_t src_left = 2;
    char buf[8];
    char* dst = buf;
    std::size_t dst_left = sizeof buf;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    if (r == static_cast<std::size_t>(-1) || src_left != 0) {
      out.push_back('?');
      continue;
    }
    out.append(buf, sizeof buf - dst_left);
  }
  return out;
}

char32_t NextCodePoint(std::u16string_view text, std::size_t& index) {
  char16_t first = text[index++];
  if (first >= 0xD800 && first <= 0xDBFF && index < text.size()) {
    char16_t second = text[index];
    if (second >= 0xDC00 && second <= 0xDFFF) {
      ++index;
      return 0x10000 + ((static_cast<char32_t>(first) - 0xD800) << 10) + (second - 0xDC00);
    }
  }
  return first;
}

std::string Utf16ToUtf8(std::u16string_view in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size();) {
    char32_t cp = NextCodePoint(in, i);
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = kReplacementChar;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  std::size_t i = 0;
  while (i < in.size()) {
    unsigned char b = static_cast<unsigned char>(in[i]);
    char32_t cp;
    std::size_t len;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      len = 4;
    } else {
      out.push_back(kReplacementChar);
      ++i;
      continue;
    }
    bool good = i + len <= in.size();
    for (std::size_t k = 1; good && k < len; ++k) {
      unsigned char t = static_cast<unsigned char>(in[i + k]);
      if ((t & 0xC0) != 0x80) {
        good = false;
      } else {
        cp = (cp << 6) | (t & 0x3F);
      }
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!good || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(kReplacementChar);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::size_t WideLength(const char16_t* s) {
  std::size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

std::size_t CopyWide(char16_t* dst, std::size_t capacity, std::u16string_view src) {
  if (capacity == 0) return 0;
  std::size_t n = src.size() < capacity - 1 ? src.size() : capacity - 1;
  std::memcpy(dst, src.data(), n * sizeof(char16_t));
  dst[n] = 0;
  return n;
}

}  // namespace platform
