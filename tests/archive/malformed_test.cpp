// Damaged archives: a bad record is a missing entry to the opening calls, loading a
// damaged entry gives an error record naming the file and what is wrong; nothing
// crashes, and the sound entries of the same archive keep loading.
#include <sys/types.h>
#include <unistd.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "archive/archive_impl.h"
#include "archive_test_util.h"

namespace archive_test {
namespace {

using safpack::RawRecord;

std::vector<uint8_t> Index(int version, uint8_t flags, const std::vector<RawRecord>& records) {
  return version == 5 ? safpack::EncodeIndex5(flags, records) : safpack::EncodeIndex6(flags, records);
}

// Puts `data` at block `block`, growing the archive as needed.
void PutBlock(std::vector<uint8_t>& archive, uint32_t block, const std::vector<uint8_t>& data) {
  const std::size_t at = std::size_t{block} * 2048;
  if (archive.size() < at + data.size()) archive.resize(at + data.size());
  std::copy(data.begin(), data.end(), archive.begin() + static_cast<std::ptrdiff_t>(at));
}

// A root holding "good.txt" (stored, block 1) and "bad" with the given fields and data
// at block 2.
std::vector<uint8_t> WithBadEntry(int version, uint8_t flags, uint32_t a, uint32_t b, uint32_t c,
                                  const std::vector<uint8_t>& data) {
  const std::string good = "good entry";
  std::vector<RawRecord> records = {{"", true, 1, 0, 2}, {"good.txt", false, 1, 10, 0}, {"bad", false, a, b, c}};
  std::vector<uint8_t> bytes = Index(version, flags, records);
  PutBlock(bytes, 1, std::vector<uint8_t>(good.begin(), good.end()));
  PutBlock(bytes, 2, data);
  return bytes;
}

class MalformedTest : public ::testing::TestWithParam<int> {
 protected:
  int version() const { return GetParam(); }

  // Opens bytes as an archive; returns the error message of the open, if any.
  std::u16string OpenError(const std::vector<uint8_t>& bytes) {
    const std::filesystem::path p = dir_.Write("bad" + std::to_string(count_++) + ".saf", bytes);
    path_ = U16(p);
    ArchivePtr opened;
    std::u16string error = ErrorOf([&] { opened = OpenSaf(p); });
    if (error.empty()) {
      EXPECT_TRUE(opened) << "neither opened nor refused";
    }
    archive_ = opened;
    return error;
  }

  void ExpectOpenError(const std::vector<uint8_t>& bytes, std::u16string_view what) {
    std::u16string error = OpenError(bytes);
    EXPECT_NE(error.find(what), std::u16string::npos) << platform::Utf16ToUtf8(error);
    EXPECT_NE(error.find(path_), std::u16string::npos) << platform::Utf16ToUtf8(error);
  }

  // The error of loading "bad" whole, as data and as text; the good entry still loads.
  void ExpectLoadError(const std::vector<uint8_t>& bytes, std::u16string_view what) {
    ASSERT_EQ(OpenError(bytes), u"");
    ASSERT_TRUE(archive_);
    for (int text = 0; text < 2; ++text) {
      std::u16string error = ErrorOf([&] {
        void* p = text ? static_cast<void*>(LoadArchiveTextFile(archive_.get(), u"bad"))
                       : LoadArchiveFile(archive_.get(), u"bad");
        std::free(p);
      });
      EXPECT_NE(error.find(what), std::u16string::npos) << platform::Utf16ToUtf8(error);
      EXPECT_NE(error.find(path_), std::u16string::npos) << platform::Utf16ToUtf8(error);
      EXPECT_NE(error.find(u"bad"), std::u16string::npos) << platform::Utf16ToUtf8(error);
    }
    std::vector<uint8_t> good = Load(archive_.get(), u"good.txt");
    EXPECT_EQ(std::string(good.begin(), good.end()), "good entry");
  }

  ScratchDir dir_;
  int count_ = 0;
  std::u16string path_;
  ArchivePtr archive_;
};

TEST_P(MalformedTest, ABadChildRangeLeavesItsEntriesMissingAndTheRestWorking) {
  struct Row {
    const char* what_happens;
    std::vector<RawRecord> records;
    std::vector<std::u16string> listed;  // GetFileList, in order
    std::u16string missing;
  };
  const std::vector<Row> rows = {
      {"root children past the table", {{"", true, 1, 0, 5}, {"a", false, 1, 0, 0}}, {}, u"a"},
      {"child range wraps 32 bits", {{"", true, 0xFFFFFFFF, 0, 2}, {"a", false, 1, 0, 0}}, {}, u"a"},
      {"empty directory whose first child is out of range",
       {{"", true, 1, 0, 2}, {"d", true, 0x7FFFFFFF, 0, 0}, {"a", false, 1, 0, 0}}, {u"a"}, u"d/a"},
      {"subdirectory past the table", {{"", true, 1, 0, 2}, {"d", true, 3, 0, 9}, {"a", false, 1, 0, 0}}, {u"a"}, u"d/a"},
      {"directory holding the root", {{"", true, 1, 0, 2}, {"d", true, 0, 0, 1}, {"a", false, 1, 0, 0}}, {u"a"}, u"d/d"},
      {"directory holding itself", {{"", true, 1, 0, 2}, {"d", true, 1, 0, 1}, {"a", false, 1, 0, 0}}, {u"a"}, u"d/d"},
      {"two directories sharing children",
       {{"", true, 1, 0, 3}, {"d", true, 4, 0, 1}, {"e", true, 4, 0, 1}, {"g", false, 1, 0, 0}, {"f", false, 1, 0, 0}},
       {u"d/f", u"g"}, u"e/f"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what_happens);
    for (uint8_t flags : {uint8_t{0}, safpack::kFlagScrambled}) {
      std::vector<uint8_t> bytes = Index(version(), flags, row.records);
      bytes.resize(4096);
      ASSERT_EQ(OpenError(bytes), u"");
      std::vector<SAFFILEINFO> list;
      archive_->GetFileList(list);
      std::vector<std::u16string> listed;
      for (const SAFFILEINFO& info : list) listed.emplace_back(info.path);
      EXPECT_EQ(listed, row.listed);
      for (const std::u16string& name : row.listed) EXPECT_TRUE(archive_->Exists(name));
      EXPECT_FALSE(archive_->Exists(row.missing));
      EXPECT_EQ(ErrorOf([&] { EXPECT_EQ(Load(archive_.get(), row.missing), std::vector<uint8_t>{}); }), u"");
    }
  }
}

TEST_P(MalformedTest, IndexLongerThanTheFileIsAnErrorRecord) {
  std::vector<uint8_t> bytes = Index(version(), 0, {{"", true, 1, 0, 1}, {"a", false, 1, 0, 0}});
  bytes[2] = 0x40;  // 64 records claimed, 2 present
  ExpectOpenError(bytes, u"runs past the end");
  ExpectOpenError({0, static_cast<uint8_t>(version()), 1}, u"cut short");
  ExpectOpenError(Index(version(), 0, {}), u"no entries");
}

// A file cut short, or an index pointing past the end: refused whole at opening,
// a nested archive too, named with its entry. An empty entry has nothing to read.
TEST_P(MalformedTest, EntryPastTheEndIsADamagedArchive) {
  // Block 0x200000 is byte 2^32: computed in 32 bits it would read the header.
  ExpectOpenError(WithBadEntry(version(), 0, 0x200000, 10, 0, {}), u"entry bad (block 2097152, 10 bytes) lies past");
  ExpectOpenError(WithBadEntry(version(), 0, 2, 1000000, 0, {1, 2, 3}), u"past the end");
  safpack::WriterOptions same;
  same.version = version();
  safpack::SafWriter outer(same);
  outer.AddFile(u"inner.saf", WithBadEntry(version(), 0, 2, 1000000, 0, {1, 2, 3}));
  ASSERT_EQ(OpenError(outer.Build()), u"");
  EXPECT_NE(ErrorOf([&] { archive_->OpenArchive(u"inner.saf"); }).find(u"past the end of the archive inner.saf"),
            std::u16string::npos);
  // A packer that doesn't pad the last block puts an empty entry's block past the end.
  ASSERT_EQ(OpenError(WithBadEntry(version(), 0, 3, 0, 0, {})), u"");
  bool found = false;
  EXPECT_EQ(Load(archive_.get(), u"bad", &found), std::vector<uint8_t>{});
  EXPECT_TRUE(found);
}

TEST_P(MalformedTest, ALyingDecodedSizeCostsNoMoreMemoryThanTheStreamMakes) {
  // 0xFFFFFFFF would also wrap the text loader's size + 1.
  ExpectLoadError(WithBadEntry(version(), 0, 2, 16, 0xFFFFFFFF, std::vector<uint8_t>(16, 7)), u"too large");
  const std::vector<uint8_t> data = PatternBytes(300000, 9);
  for (bool lzss : {false, true}) {
    if (lzss && version() == 5) continue;
    SCOPED_TRACE(lzss);
    const std::vector<uint8_t> stream = lzss ? safpack::LzssEncode(data) : safpack::ZlibCompress(data);
    const uint8_t flags = lzss ? safpack::kFlagLzss : 0;
    ExpectLoadError(WithBadEntry(version(), flags, 2, static_cast<uint32_t>(stream.size()), 0xFFFFFFF0u, stream),
                    u"ends early (300000 of 4294967280 bytes)");
    ComPtr<ICompressedFile> decoder = ComPtr<ICompressedFile>::Adopt(archive_->OpenCompressedFile(u"bad"));
    ASSERT_TRUE(decoder);
    uint64_t produced = 0;
    void* block = decoder->DecodeToNewBlock(1, &produced);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(produced, data.size());
    EXPECT_EQ(std::memcmp(block, data.data(), data.size()), 0);
    EXPECT_LT(malloc_usable_size(block), 4 * data.size());
    std::free(block);
  }
}

TEST_P(MalformedTest, FileIsNeverEnteredAsADirectory) {
  // "f"'s block and decoded size read as a child range would name the root's records.
  std::vector<RawRecord> records = {{"", true, 1, 0, 2}, {"f", false, 1, 4, 2}, {"x", false, 1, 4, 0}};
  std::vector<uint8_t> bytes = Index(version(), 0, records);
  PutBlock(bytes, 1, {'d', 'a', 't', 'a'});
  ASSERT_EQ(OpenError(bytes), u"");
  EXPECT_TRUE(archive_->Exists(u"x"));
  EXPECT_FALSE(archive_->Exists(u"f/x"));
  EXPECT_FALSE(archive_->Exists(u"f/f"));
}

TEST_P(MalformedTest, ShortReadAfterTheFileShrinksIsAnErrorRecord) {
  std::vector<uint8_t> bytes = WithBadEntry(version(), 0, 2, 3000, 0, NoiseBytes(3000, 1));
  ASSERT_EQ(OpenError(bytes), u"");
  // The entry was inside the file when the index was read.
  ASSERT_EQ(::truncate(platform::Utf16ToUtf8(path_).c_str(), 2048 * 2 + 100), 0);
  std::u16string error = ErrorOf([&] { std::free(LoadArchiveFile(archive_.get(), u"bad")); });
  EXPECT_NE(error.find(u"ends early (100 of 3000 bytes)"), std::u16string::npos) << platform::Utf16ToUtf8(error);
  // A mapping of the lost range fails instead of faulting.
  ComPtr<IMappingFile> m = ComPtr<IMappingFile>::Adopt(archive_->OpenMappingFile(u"bad"));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Map(0, 0), nullptr);
  EXPECT_NE(m->Map(0, 100), nullptr);
}

TEST_P(MalformedTest, NestedArchiveOfAnotherVersionIsRefused) {
  safpack::WriterOptions other;
  other.version = version() == 5 ? 6 : 5;
  safpack::SafWriter inner(other);
  inner.AddFile(u"x.txt", std::string("x"));
  safpack::WriterOptions same;
  same.version = version();
  safpack::SafWriter outer(same);
  outer.AddFile(u"other.saf", inner.Build());
  outer.AddFile(u"text.txt", std::string("just text"));
  ASSERT_EQ(OpenError(outer.Build()), u"");
  EXPECT_EQ(archive_->OpenArchive(u"other.saf"), nullptr);
  EXPECT_EQ(archive_->OpenArchive(u"text.txt"), nullptr);
}

TEST_P(MalformedTest, ADamagedNestedArchiveIsAMissingEntry) {
  // The inner index claims more records than its entry holds, though the outer file
  // goes on past it.
  std::vector<uint8_t> inner = Index(version(), 0, {{"", true, 1, 0, 1}, {"a", false, 0, 0, 0}});
  inner[2] = 9;
  safpack::WriterOptions same;
  same.version = version();
  safpack::SafWriter outer(same);
  outer.AddFile(u"inner.saf", inner);
  outer.AddFile(u"after.bin", NoiseBytes(4000, 3));
  ASSERT_EQ(OpenError(outer.Build()), u"");
  EXPECT_EQ(ErrorOf([&] { EXPECT_EQ(archive_->OpenArchive(u"inner.saf"), nullptr); }), u"");
}

INSTANTIATE_TEST_SUITE_P(Versions, MalformedTest, ::testing::Values(5, 6),
                         [](const ::testing::TestParamInfo<int>& info) { return "v" + std::to_string(info.param); });

// Compressed streams that do not decode to the recorded size.
struct StreamCase {
  const char* name;
  bool lzss;
  // Makes the stored bytes and the recorded decoded size from a good stream.
  std::function<void(std::vector<uint8_t>& stream, uint32_t& size)> damage;
  std::u16string_view message;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class DamagedStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(DamagedStreamTest, IsAnErrorRecordNamingTheEntry) {
  const StreamCase& sc = GetParam();
  const std::vector<uint8_t> data = PatternBytes(sc.lzss ? 3000 : 300000, 5);
  std::vector<uint8_t> stream = sc.lzss ? safpack::LzssEncode(data) : safpack::ZlibCompress(data);
  uint32_t size = static_cast<uint32_t>(data.size());
  sc.damage(stream, size);
  const uint8_t flags = sc.lzss ? safpack::kFlagLzss : 0;
  for (int version : {5, 6}) {
    if (sc.lzss && version == 5) continue;
    SCOPED_TRACE(version);
    ScratchDir dir;
    const std::filesystem::path p =
        dir.Write("s.saf", WithBadEntry(version, flags, 2, static_cast<uint32_t>(stream.size()), size, stream));
    ArchivePtr a = OpenSaf(p);
    ASSERT_TRUE(a);
    std::u16string error = ErrorOf([&] { std::free(LoadArchiveTextFile(a.get(), u"bad")); });
    EXPECT_NE(error.find(sc.message), std::u16string::npos) << platform::Utf16ToUtf8(error);
    EXPECT_NE(error.find(U16(p)), std::u16string::npos);
    EXPECT_NE(error.find(u"bad"), std::u16string::npos);
    // A caller's buffer is left to the caller; the decoder never writes past it.
    std::vector<uint8_t> buffer(size + 64, 0xCC);
    ErrorOf([&] { LoadArchiveFile(a.get(), u"bad", buffer.data()); });
    for (std::size_t i = size; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xCC) << i;
    std::vector<uint8_t> good = Load(a.get(), u"good.txt");
    EXPECT_EQ(std::string(good.begin(), good.end()), "good entry");
  }
}

const StreamCase kStreamCases[] = {
    {"zlib_garbage", false, [](auto& s, auto&) { std::fill(s.begin() + 2, s.end(), 0xFF); }, u"damaged"},
    {"zlib_cut_short", false, [](auto& s, auto&) { s.resize(s.size() / 2); }, u"ends early"},
    {"zlib_without_checksum", false, [](auto& s, auto&) { s.resize(s.size() - 4); }, u"damaged"},
    {"zlib_longer_than_recorded", false, [](auto&, auto& n) { n -= 10; }, u"damaged"},
    {"zlib_shorter_than_recorded", false, [](auto&, auto& n) { n += 10; }, u"ends early"},
    {"zlib_preset_dictionary", false, [](auto& s, auto& n) {
       s = {0x78, 0xBB, 0, 0, 0, 1, 0, 0};
       n = 100;
     }, u"damaged"},
    {"lzss_longer_than_recorded", true, [](auto&, auto& n) { n -= 10; }, u"damaged"},
    {"lzss_shorter_than_recorded", true, [](auto&, auto& n) { n += 10; }, u"ends early"},
    {"lzss_cut_short", true, [](auto& s, auto&) { s.resize(s.size() / 2); }, u"ends early"},
};

INSTANTIATE_TEST_SUITE_P(Streams, DamagedStreamTest, ::testing::ValuesIn(kStreamCases),
                         [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

TEST(MalformedNames, AVersion6NameOutsideTheBlockIsAMissingEntry) {
  ScratchDir dir;
  struct Row {
    const char* what_happens;
    int64_t offset;  // of the second file's name
    std::vector<uint8_t> names;
  };
  const std::vector<Row> rows = {
      {"offset at the block's end", 4, {'a', 0, 'b', 0}},
      {"offset far past it", 0x7FFFFFFF, {'a', 0}},
      {"name without NUL", 2, {'a', 0, 'b', 'c'}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what_happens);
    const std::vector<RawRecord> records = {{"", true, 1, 0, 2, 0}, {"", false, 0, 0, 0, 0}, {"", false, 0, 0, 0, row.offset}};
    ArchivePtr a = OpenSaf(dir.Write("n.saf", safpack::EncodeIndex6(0, records, &row.names)));
    ASSERT_TRUE(a);
    std::vector<SAFFILEINFO> list;
    a->GetFileList(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(std::u16string(list[0].path), u"a");
    EXPECT_FALSE(a->Exists(u""));
    EXPECT_FALSE(a->Exists(u"b"));
  }
  // A names block larger than the file.
  std::vector<uint8_t> bytes = safpack::EncodeIndex6(0, std::vector<RawRecord>{{"", true, 1, 0, 0}});
  bytes[4] = bytes[5] = bytes[6] = 0xFF;
  bytes[7] = 0x7F;
  EXPECT_NE(ErrorOf([&] { OpenSaf(dir.Write("m.saf", bytes)); }).find(u"runs past the end"), std::u16string::npos);
}

}  // namespace
}  // namespace archive_test
