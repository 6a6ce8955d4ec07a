// The packer: what it refuses to write, and folders packed by the library and by
// the command-line tool.
#include <cstdlib>
#include <stdexcept>

#include "archive/archive_impl.h"
#include "archive_test_util.h"

namespace archive_test {
namespace {

TEST(SafWriter, RefusesNamesTheVersionCannotHold) {
  struct Row {
    int version;
    std::u16string_view name;
    bool accepted;
  };
  const Row rows[] = {
      {5, u"abcdefghijklmnop.txt", true},   {5, u"abcdefghijklmnopq.txt", false},  // 20 and 21 bytes
      {5, u"a表.txt", true},                  {5, u"表.txt", false},  // a lead byte would read as the directory bit
      {5, u"ｱ.txt", false},                   {5, u"a b.txt", false},  // a blank ends a name
      {6, u"表.txt", true},                   {6, u"a b.txt", true},
      {6, u"😀.txt", false},                  {5, u"é.txt", false},  // not in CP932
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(platform::Utf16ToUtf8(r.name));
    safpack::WriterOptions o;
    o.version = r.version;
    safpack::SafWriter w(o);
    w.AddFile(r.name, std::string("x"));
    if (r.accepted) {
      ScratchDir dir;
      ArchivePtr a = OpenSaf(dir.Write("n.saf", w.Build()));
      ASSERT_TRUE(a);
      EXPECT_TRUE(a->Exists(r.name));
    } else {
      EXPECT_THROW(w.Build(), std::invalid_argument);
    }
  }
  safpack::WriterOptions five;
  five.version = 5;
  safpack::SafWriter w5(five);
  safpack::SafWriter w6;
  EXPECT_THROW(w6.AddArchive(u"n.saf", w5), std::invalid_argument);
}

TEST(SafWriter, PacksAFolderWithNestedArchivesStored) {
  ScratchDir dir;
  dir.Write("in/Bg/a.png", NoiseBytes(3000, 1));
  dir.Write("in/script/_start.txt", std::string(500, 's'));
  safpack::SafWriter nested;
  nested.AddFile(u"x.txt", std::string("nested"));
  nested.Write(dir / "in/pack.SAF");
  std::filesystem::create_directories(dir / "in/empty");
  safpack::SafWriter w;
  w.AddFolder(dir / "in", u"", [](std::u16string_view) { return true; });
  ArchivePtr a = OpenSaf(dir.Write("out.saf", w.Build()));
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->IsCompressed(u"bg/a.png"));
  EXPECT_TRUE(a->IsCompressed(u"script/_start.txt"));
  EXPECT_FALSE(a->IsCompressed(u"pack.saf"));
  EXPECT_TRUE(a->Exists(u"empty"));
  EXPECT_EQ(Load(a.get(), u"Bg/a.png"), NoiseBytes(3000, 1));
  ArchivePtr inner = ArchivePtr::Adopt(a->OpenArchive(u"pack.saf"));
  ASSERT_TRUE(inner);
  EXPECT_TRUE(inner->Exists(u"X.TXT"));
}

TEST(SafPackTool, PacksEveryFormat) {
  ScratchDir dir;
  dir.Write("in/bg/a.png", PatternBytes(4000, 2));
  dir.Write("in/_start.txt", PatternBytes(4000, 3));
  struct Row {
    const char* options;
    int version;
  };
  const Row rows[] = {{"-5", 5}, {"-5 -s -c none", 5}, {"-6 -c zlib -k .png", 6}, {"-6 -s -c lzss", 6}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.options);
    const std::string out = (dir / "out.saf").string();
    const std::string command =
        std::string(SAFPACK_PATH) + " " + r.options + " '" + out + "' '" + (dir / "in").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ArchivePtr a = OpenSaf(dir / "out.saf");
    ASSERT_TRUE(a);
    EXPECT_EQ(static_cast<CSafArchive*>(a.get())->Version(), r.version);
    const bool compressed = std::string(r.options).find("none") == std::string::npos;
    EXPECT_EQ(a->IsCompressed(u"_start.txt"), compressed);
    EXPECT_EQ(a->IsCompressed(u"bg/a.png"), compressed && std::string(r.options).find(".png") == std::string::npos);
    EXPECT_EQ(Load(a.get(), u"bg/a.png"), PatternBytes(4000, 2));
    EXPECT_EQ(Load(a.get(), u"_START.TXT"), PatternBytes(4000, 3));
  }
  const std::string bad = std::string(SAFPACK_PATH) + " -5 -c lzss x.saf in 2>/dev/null";
  EXPECT_NE(std::system(bad.c_str()), 0);
}

}  // namespace
}  // namespace archive_test
