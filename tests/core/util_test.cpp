#include "core/util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/text.h"

namespace {

TEST(NextCodePoint, JoinsPairsAndLeavesLoneSurrogatesAlone) {
  const struct {
    std::u16string text;
    int available;
    char32_t expected;
    int advance;  // 0: null result
  } cases[] = {
      {u"A", -1, u'A', 1},
      {u"\xD83D\xDE00", -1, 0x1F600, 2},
      {u"\xD83D\xDE00", 2, 0x1F600, 2},
      {u"\xD83D\xDE00", 1, 0xD83D, 1},  // only one unit available
      // Regression: a high surrogate before a unit that is not a low one used to
      // swallow that unit into a made-up code point.
      {u"\xD83D" u"A", -1, 0xD83D, 1},
      {u"\xD83D\xD83D", -1, 0xD83D, 1},
      {u"\xDE00\xD83D", -1, 0xDE00, 1},  // a lone low surrogate
      {u"x", 0, 0, 0},
  };
  for (const auto& c : cases) {
    char32_t cp = 0xFFFFFFFF;
    const char16_t* after = NextCodePoint(c.text.c_str(), c.available, &cp);
    if (c.advance == 0) {
      EXPECT_EQ(after, nullptr);
      continue;
    }
    EXPECT_EQ(after, c.text.c_str() + c.advance) << static_cast<uint32_t>(c.expected);
    EXPECT_EQ(cp, c.expected);
  }
  EXPECT_EQ(NextCodePoint(nullptr, -1, nullptr), nullptr);
}

TEST(EncodeUtf16, RoundTripsThroughNextCodePoint) {
  for (char32_t cp : {char32_t{0x41}, char32_t{0x3042}, char32_t{0xFFFF}, char32_t{0x10000},
                      char32_t{0x1F600}, char32_t{0x10FFFF}}) {
    char16_t units[2] = {};
    const int n = EncodeUtf16(units, cp);
    EXPECT_EQ(n, cp < 0x10000 ? 1 : 2);
    char32_t back = 0;
    EXPECT_EQ(NextCodePoint(units, n, &back), units + n);
    EXPECT_EQ(back, cp);
  }
  char16_t pair[2];
  EncodeUtf16(pair, 0x1F600);
  EXPECT_EQ(pair[0], 0xD83D);
  EXPECT_EQ(pair[1], 0xDE00);
}

TEST(CountDisplayCells, WideCharactersTakeTwoCells) {
  EXPECT_EQ(CountDisplayCells(u"abc漢字\xFF71"), 3 + 4 + 1);
  EXPECT_EQ(CountDisplayCells(u"\xD83D\xDE00"), 2);  // one code point, not two
  EXPECT_EQ(CountDisplayCells(u"\x00FF\x0100"), 1 + 2);
  EXPECT_EQ(CountDisplayCells(u"\xFF60\xFF61\xFF9F\xFFA0"), 2 + 1 + 1 + 2);
  EXPECT_EQ(CountDisplayCells(u""), 0);
}

TEST(AnsiToWide, ConvertsWithinTheCapacity) {
  const char sjis[] = "a\x82\xA0z";  // a, HIRAGANA A, z
  char16_t out[8];
  std::fill(std::begin(out), std::end(out), u'#');
  EXPECT_EQ(AnsiToWide(out, 8, sjis, 4), 3);
  EXPECT_EQ(std::u16string(out, 3), u"aあz");
  EXPECT_EQ(out[3], u'#');

  EXPECT_EQ(AnsiToWide(nullptr, 0, sjis, 4), 3);       // the size needed
  EXPECT_EQ(AnsiToWide(out, 8, sjis, -1), 4);          // with the terminator
  EXPECT_EQ(out[3], 0);

  std::fill(std::begin(out), std::end(out), u'#');
  EXPECT_EQ(AnsiToWide(out, 2, sjis, 4), 0);           // does not fit: nothing written
  EXPECT_EQ(out[0], u'#');
  EXPECT_EQ(AnsiToWide(out, 3, sjis, 4), 3);           // just fits
  EXPECT_EQ(AnsiToWide(out, 8, "\x82", 1), 1);         // a lead byte with no trail
  EXPECT_EQ(out[0], platform::kReplacementChar);
}

class FileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("core_util_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::u16string Path(const std::string& name) const {
    return platform::Utf8ToUtf16((dir_ / name).string());
  }
  void Write(const std::string& name, const std::string& bytes) {
    platform::File f = CreateFileForWrite(Path(name));
    ASSERT_TRUE(f.IsOpen());
    ASSERT_TRUE(f.Write(bytes.data(), bytes.size()));
  }
  std::filesystem::path dir_;
};

TEST_F(FileTest, LoadFileReadsTheWholeFileIntoANewBuffer) {
  Write("a.bin", std::string("xy\0z", 4));
  std::size_t size = 0;
  void* p = LoadFile(Path("a.bin"), &size);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::memcmp(p, "xy\0z", 4), 0);
  std::free(p);

  Write("empty.bin", "");
  p = LoadFile(Path("empty.bin"), &size);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(size, 0u);
  std::free(p);
}

TEST_F(FileTest, LoadFileOfAMissingFileLeavesTheSizeAlone) {
  std::size_t size = 1234;
  EXPECT_EQ(LoadFile(Path("missing.bin"), &size), nullptr);
  char buffer[4];
  EXPECT_EQ(LoadFile(Path("missing.bin"), buffer, sizeof buffer, &size), nullptr);
  EXPECT_EQ(size, 1234u);
}

// Regression: the caller's buffer used to be filled with the whole file, whatever its size.
TEST_F(FileTest, LoadFileIntoABufferNeverWritesPastItsCapacity) {
  Write("five.bin", "12345");
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  std::size_t size = 99;
  EXPECT_EQ(LoadFile(Path("five.bin"), buffer, 4, &size), nullptr);
  EXPECT_EQ(size, 99u);
  EXPECT_EQ(std::string(buffer, 8), "########");

  EXPECT_EQ(LoadFile(Path("five.bin"), buffer, 5, &size), buffer);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(std::string(buffer, 8), "12345###");
}

TEST_F(FileTest, WidePathsWithBackslashesAndSeekBeyond4GiB) {
  std::filesystem::create_directories(dir_ / "sub");
  platform::File f = CreateFileForWrite(Path("sub") + u"\\data.bin");
  ASSERT_TRUE(f.IsOpen());
  EXPECT_EQ(SeekFile64(f, int64_t{5} << 30, platform::File::Origin::kBegin), int64_t{5} << 30);
  EXPECT_EQ(SeekFile64(f, 16, platform::File::Origin::kCurrent), (int64_t{5} << 30) + 16);
  EXPECT_EQ(SeekFile64(f, -1, platform::File::Origin::kBegin), -1);
  platform::File closed;
  EXPECT_EQ(SeekFile64(closed, 0, platform::File::Origin::kBegin), -1);
}

TEST(ReplacePathParts, SplitsReplacesAndJoins) {
  const struct {
    const char16_t* path;
    const char16_t* drive;
    const char16_t* folder;
    const char16_t* name;
    const char16_t* ext;
    const char16_t* expected;
  } cases[] = {
      {u"C:\\game\\script\\_start.txt", u"", u"", nullptr, u"", u"_start"},
      {u"script/a.b.txt", u"", u"", nullptr, u"", u"a.b"},
      {u"C:\\game\\save.dat", nullptr, nullptr, nullptr, u".bak", u"C:\\game\\save.bak"},
      {u"C:\\game\\save.dat", nullptr, nullptr, nullptr, u"bak", u"C:\\game\\save.bak"},
      {u"C:\\game\\save.dat", nullptr, u"data", nullptr, nullptr, u"C:data\\save.dat"},
      {u"C:\\game\\save.dat", u"", nullptr, u"config", nullptr, u"\\game\\config.dat"},
      {u"noext", nullptr, nullptr, nullptr, nullptr, u"noext"},
      {u"dir\\", nullptr, nullptr, u"file", u"txt", u"dir\\file.txt"},
      {u"D:", nullptr, nullptr, nullptr, nullptr, u"D:"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplacePathParts(c.path, c.drive, c.folder, c.name, c.ext), c.expected)
        << platform::Utf16ToUtf8(c.path);
  }
  // Parts are cut to their buffers: 255 units for a name.
  const std::u16string longName(400, u'n');
  EXPECT_EQ(ReplacePathParts(longName + u".txt", u"", u"", nullptr, u"").size(), 255u);
}

TEST(HitTestRects, RightAndBottomEdgesAreOutside) {
  struct R {
    int left, top, right, bottom;
  };
  const R rects[] = {{0, 0, 10, 10}, {5, 5, 20, 20}, {30, 0, 40, 5}};
  const struct {
    int x, y, expected;
  } cases[] = {{0, 0, 0}, {9, 9, 0}, {10, 9, 1}, {10, 10, 1}, {19, 19, 1}, {20, 5, -1},
               {35, 5, -1}, {35, 4, 2}, {-1, 0, -1}};
  for (const auto& c : cases) EXPECT_EQ(HitTestRects(rects, 3, c.x, c.y), c.expected) << c.x << "," << c.y;
  EXPECT_EQ(HitTestRects(rects, 0, 0, 0), -1);
  EXPECT_EQ(HitTestRects(rects, -1, 0, 0), -1);
}

TEST(SwapMemory, SwapsWholeWordsAndTheRemainder) {
  for (std::size_t n : {0u, 1u, 3u, 4u, 7u, 8u, 13u}) {
    std::vector<uint8_t> a(n), b(n);
    for (std::size_t i = 0; i < n; ++i) {
      a[i] = static_cast<uint8_t>(i);
      b[i] = static_cast<uint8_t>(100 + i);
    }
    const auto a0 = a, b0 = b;
    SwapMemory(a.data(), b.data(), n);
    EXPECT_EQ(a, b0);
    EXPECT_EQ(b, a0);
  }
  // Unaligned blocks.
  uint8_t buf[11] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  SwapMemory(buf + 1, buf + 6, 5);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 11), (std::vector<uint8_t>{0, 6, 7, 8, 9, 10, 1, 2, 3, 4, 5}));
}

}  // namespace
