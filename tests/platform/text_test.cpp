#include "platform/text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Cp932, DecodesAsciiKanaKanjiAndTheTwoBytesShiftJisDiffersOn) {
  // 0x5C is a backslash in CP932 (a yen sign in Shift_JIS); 0x8160 is U+FF5E.
  std::string in = "\x5c\x81\x60\x82\xa0\x83\x41\xb1\x87\x40";
  EXPECT_EQ(Cp932ToUtf16(in), u"\\\uFF5E\u3042\u30A2\uFF71\u2460");
}

TEST(Cp932, BadBytesBecomeReplacementCharacters) {
  struct Case {
    std::string in;
    std::u16string out;
  } cases[] = {
      {"A\x81", u"A\uFFFD"},              // lead byte as the last byte
      {"\x81\x20" "B", u"\uFFFD B"},      // invalid trail resynchronises on it
      {"\xFF" "C", u"\uFFFDC"},           // a byte that is never a character
      {std::string("\0Z", 2), std::u16string(u"\0Z", 2)},
  };
  for (const auto& c : cases) EXPECT_EQ(Cp932ToUtf16(c.in), c.out);
}

TEST(Cp932, RoundTripsJapaneseText) {
  std::u16string text = u"データがありません。ＭＳ ゴシック";
  EXPECT_EQ(Cp932ToUtf16(Utf16ToCp932(text)), text);
  EXPECT_EQ(Utf16ToCp932(u"\U0001F600"), "??");  // no such character in CP932
}

TEST(Utf8, RoundTripsAndRepairsMalformedInput) {
  std::u16string text = u"a\u00e9\u3042\U0001F600\U0010FFFF";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // lone surrogate
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");   // overlong form
  EXPECT_EQ(Utf8ToUtf16("\xE0\x82\x80"), u"\uFFFD\uFFFD\uFFFD");  // U+0080 in three bytes
  EXPECT_EQ(Utf8ToUtf16("\xE3\x81"), u"\uFFFD\uFFFD");   // truncated sequence
}

TEST(CopyWide, CutsToCapacityAndTerminates) {
  char16_t buf[4] = {1, 1, 1, 1};
  EXPECT_EQ(CopyWide(buf, 4, u"abcdef"), 3u);
  EXPECT_EQ(std::u16string(buf), u"abc");
  EXPECT_EQ(CopyWide(buf, 1, u"abc"), 0u);
  EXPECT_EQ(buf[0], 0);
}

// Only a-z change: the neighbours of both ends ('@' '[' before and after A-Z,
// '`' '{' around a-z) and full-width letters stay as they are.
TEST(AsciiCase, OnlyAToZFoldAtBothEndsOfTheAlphabet) {
  std::u16string upper;
  for (char16_t c : std::u16string_view(u"@AZ[`az{\uFF41")) upper += AsciiUpper(c);
  EXPECT_EQ(upper, u"@AZ[`AZ{\uFF41");
  EXPECT_TRUE(SameIgnoringAsciiCase(u"az", u"AZ"));
  EXPECT_FALSE(SameIgnoringAsciiCase(u"`", u"@"));
  EXPECT_FALSE(SameIgnoringAsciiCase(u"{", u"["));
  EXPECT_FALSE(SameIgnoringAsciiCase(u"a", u"ab"));
}

}  // namespace
}  // namespace platform
