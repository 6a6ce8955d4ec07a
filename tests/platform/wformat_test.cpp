#include "platform/wformat.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace platform {
namespace {

TEST(FormatString, FollowsTheWideConventions) {
  EXPECT_EQ(FormatString(u"%s(%d): Compile Error: %s\n", u"a.txt", 12, u"構文エラー"),
            u"a.txt(12): Compile Error: 構文エラー\n");
  EXPECT_EQ(FormatString(u"[%hs|%S]", "narrow", "\x82\xa0"), u"[narrow|\u3042]");
  EXPECT_EQ(FormatString(u"%04X %x %5d|%-5d|%05d", 0xBEEFu, 255u, 42, 42, -42),
            u"BEEF ff    42|42   |-0042");
  EXPECT_EQ(FormatString(u"%c%hc%%", u'あ', 'z'), u"あz%");
  EXPECT_EQ(FormatString(u"%.2s|%5s|%-4s|", u"abcdef", u"ab", u"x"), u"ab|   ab|x   |");
  EXPECT_EQ(FormatString(u"%I64d %lld %u", int64_t{-5000000000}, 7ll, 4294967295u),
            u"-5000000000 7 4294967295");
  EXPECT_EQ(FormatString(u"%s %hs", static_cast<const char16_t*>(nullptr),
                         static_cast<const char*>(nullptr)),
            u"(null) (null)");
  EXPECT_EQ(FormatString(u"%.1f", 2.25), u"2.2");
  EXPECT_EQ(FormatString(u"%+d|% d|%#x", 5, 5, 255u), u"+5| 5|0xff");
  EXPECT_EQ(FormatString(u"%*d|%-*d|%*d|", 4, 7, 3, 8, -3, 5), u"   7|8  |5  |");
  EXPECT_EQ(FormatString(u"%hhd|%hhu|%hd|%hu|%C|%lC", 300, 511u, -70000, 70000u, 0xB1, u'あ'),
            u"44|255|-4464|4464|ｱ|あ");  // %C: the other width
}

TEST(FormatString, PointersPrintAsUpperHexOfPointerWidth) {
  std::u16string s = FormatString(u"%p", reinterpret_cast<void*>(uintptr_t{0xAB}));
  EXPECT_EQ(s.size(), sizeof(void*) * 2);
  EXPECT_EQ(s.substr(s.size() - 2), u"AB");
  EXPECT_EQ(s.find_first_not_of(u'0'), s.size() - 2);
}

TEST(FormatString, OddFormatsStandAsWritten) {
  EXPECT_EQ(FormatString(u"100%"), u"100%");
  EXPECT_EQ(FormatString(u"%q!"), u"%q!");
  EXPECT_EQ(FormatString(nullptr), u"");
}

TEST(FormatText, NeverWritesPastTheBuffer) {
  char16_t buf[8];
  for (auto& c : buf) c = u'#';
  EXPECT_EQ(FormatText(buf, 5, u"%s-%d", u"abcdef", 1), 4u);
  EXPECT_EQ(std::u16string(buf), u"abcd");
  EXPECT_EQ(buf[5], u'#');
  EXPECT_EQ(FormatText(buf, 0, u"x"), 0u);
  EXPECT_EQ(buf[0], u'a');
}

}  // namespace
}  // namespace platform
