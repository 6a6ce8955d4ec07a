// Entry windows, mappings, the LZSS decoder and the index scrambling.
#include <unistd.h>

#include <cstring>

#include "archive/archive_impl.h"
#include "archive_test_util.h"

namespace archive_test {
namespace {

constexpr uint64_t kFailed = IArchiveFile::kSeekFailed;

// A stored 100-byte entry behind another entry, so its window starts inside the file.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    safpack::SafWriter w;
    w.AddFile(u"first.bin", NoiseBytes(5000, 1));
    w.AddFile(u"w.bin", bytes_);
    w.AddFile(u"empty.bin", std::vector<uint8_t>{});
    archive_ = OpenSaf(dir_.Write("w.saf", w.Build()));
    ASSERT_TRUE(archive_);
    file_ = ComPtr<IArchiveFile>::Adopt(archive_->OpenFile(u"w.bin"));
    ASSERT_TRUE(file_);
  }

  ScratchDir dir_;
  std::vector<uint8_t> bytes_ = NoiseBytes(100, 7);
  ArchivePtr archive_;
  ComPtr<IArchiveFile> file_;
};

TEST_F(WindowTest, SeekTellAndReadFollowTheTable) {
  enum Op { kSeek, kRead };
  struct Row {
    Op op;
    int64_t offset;  // seek offset, or read count
    int origin;
    uint64_t result;
    uint64_t position;  // Tell afterwards
  };
  const Row rows[] = {
      {kSeek, 0, 2, 100, 100},  {kRead, 5, 0, 0, 100},      {kSeek, 1, 2, kFailed, 100},
      {kSeek, 100, 0, kFailed, 100}, {kSeek, -1, 0, kFailed, 100}, {kSeek, 99, 0, 99, 99},
      {kSeek, 1, 1, kFailed, 99}, {kSeek, -9, 1, 90, 90},   {kRead, 100, 0, 10, 100},
      {kSeek, -100, 2, 0, 0},   {kSeek, -101, 2, kFailed, 0}, {kRead, 40, 0, 40, 40},
      {kSeek, INT64_MAX, 1, kFailed, 40}, {kSeek, INT64_MIN, 2, kFailed, 40}, {kSeek, 0, 3, kFailed, 40},
      {kRead, 0, 0, 0, 40},     {kRead, 1000, 0, 60, 100},
  };
  uint8_t buffer[200];
  int line = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(line++);
    if (r.op == kSeek) {
      EXPECT_EQ(file_->Seek(r.offset, r.origin), r.result);
    } else {
      const uint64_t before = file_->Tell();
      EXPECT_EQ(file_->Read(buffer, static_cast<uint64_t>(r.offset)), r.result);
      EXPECT_EQ(std::memcmp(buffer, bytes_.data() + before, r.result), 0);
    }
    EXPECT_EQ(file_->Tell(), r.position);
    EXPECT_EQ(file_->GetRawPosition() - file_->Tell(), 2048u * 4);  // index block, then 5000 bytes
  }
}

TEST_F(WindowTest, DuplicateKeepsThePositionEvenAtTheEnd) {
  for (int64_t at : {0, 37, 99, 100}) {
    SCOPED_TRACE(at);
    if (at == 100) {
      file_->Seek(0, IArchiveFile::kSeekEnd);
    } else {
      file_->Seek(at, IArchiveFile::kSeekBegin);
    }
    ComPtr<IArchiveFile> copy = ComPtr<IArchiveFile>::Adopt(file_->Duplicate());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Tell(), static_cast<uint64_t>(at));
    EXPECT_EQ(copy->GetName(), u"w.bin");
    EXPECT_NE(copy->GetHandle(), file_->GetHandle());
    // The two move independently.
    copy->Seek(0, IArchiveFile::kSeekBegin);
    EXPECT_EQ(file_->Tell(), static_cast<uint64_t>(at));
  }
}

TEST_F(WindowTest, EmptyWindowReadsNothing) {
  ComPtr<IArchiveFile> empty = ComPtr<IArchiveFile>::Adopt(archive_->OpenFile(u"empty.bin"));
  ASSERT_TRUE(empty);
  uint8_t b = 0;
  EXPECT_EQ(empty->GetSize(), 0u);
  EXPECT_EQ(empty->Seek(0, IArchiveFile::kSeekBegin), kFailed);
  EXPECT_EQ(empty->Seek(0, IArchiveFile::kSeekEnd), 0u);
  EXPECT_EQ(empty->Read(&b, 1), 0u);
  ComPtr<IMappingFile> m = ComPtr<IMappingFile>::Adopt(archive_->OpenMappingFile(u"empty.bin"));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Map(0, 0), nullptr);
}

TEST_F(WindowTest, MappingIsClampedToTheWindow) {
  ComPtr<IMappingFile> m = ComPtr<IMappingFile>::Adopt(archive_->OpenMappingFile(u"w.bin"));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->GetSize(), 100u);
  struct Row {
    uint64_t offset;
    uint32_t count;
    bool mapped;
  };
  const Row rows[] = {{0, 0, true},  {5, 0, true},   {5, 10, true},         {99, 1, true},
                      {99, 0, true}, {50, 4000000000u, true}, {100, 0, false}, {100, 1, false},
                      {UINT64_MAX, 1, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.offset);
    const void* p = m->Map(r.offset, r.count);
    ASSERT_EQ(p != nullptr, r.mapped);
    if (p == nullptr) continue;
    const std::size_t n = r.count == 0 || r.count > 100 - r.offset ? 100 - r.offset : r.count;
    EXPECT_EQ(std::memcmp(p, bytes_.data() + r.offset, n), 0);
  }
  void* out = nullptr;
  ASSERT_EQ(m->QueryInterface(IArchiveFile::kIid, &out), S_OK);
  EXPECT_EQ(static_cast<IArchiveFile*>(out)->GetName(), u"w.bin");
  static_cast<IArchiveFile*>(out)->Release();

  ComPtr<IMappingFile> copy = ComPtr<IMappingFile>::Adopt(m->Duplicate());
  ASSERT_TRUE(copy);
  const void* a = m->Map(10, 0);
  const void* b = copy->Map(10, 0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(std::memcmp(a, b, 90), 0);
}

TEST_F(WindowTest, MappingOfAWindowWithoutAFileUsesItsOwnOffsets) {
  // A window that reads no file maps by window offsets and frees by its own rules.
  struct MemoryWindow : CComImpl<IArchiveFile> {
    std::vector<uint8_t> data = NoiseBytes(64, 3);
    std::u16string name = u"memory";
    uint64_t mapped_offset = 99;
    uint64_t GetSize() override { return data.size(); }
    uint64_t Seek(int64_t, int) override { return 0; }
    uint64_t Tell() override { return 0; }
    uint64_t Read(void*, uint64_t) override { return 0; }
    IArchiveFile* Duplicate() override { return nullptr; }
    int GetHandle() override { return -1; }
    uint64_t GetRawPosition() override { return 0; }
    void* MapView(uint64_t offset, std::size_t) override {
      mapped_offset = offset;
      return data.data() + offset;
    }
    void UnmapView(void*, std::size_t) override {}
    const std::u16string& GetName() const override { return name; }
  };
  auto* window = new MemoryWindow;
  ComPtr<IMappingFile> m = ComPtr<IMappingFile>::Adopt(new CMappingFile(window));
  EXPECT_EQ(m->Map(7, 3), window->data.data() + 7);
  EXPECT_EQ(window->mapped_offset, 7u);
  EXPECT_EQ(m->Duplicate(), nullptr);
  window->Release();
}

// --- LZSS --------------------------------------------------------------------

std::vector<uint8_t> Decode(const std::vector<uint8_t>& stream, std::size_t capacity, uint64_t* produced) {
  std::vector<uint8_t> out(capacity, 0xEE);
  *produced = LzssDecode(out, stream);
  if (*produced <= capacity) out.resize(*produced);
  return out;
}

TEST(LzssDecode, FollowsTheTokenTable) {
  struct Row {
    const char* what_happens;
    std::vector<uint8_t> stream;
    std::vector<uint8_t> expected;
  };
  const std::vector<Row> rows = {
      {"match at ring 0 of 18 zero bytes", {0x00, 0x00, 0x0F}, std::vector<uint8_t>(18, 0)},
      {"overlapping match repeats the last byte", {0x01, 'x', 0xEE, 0xF2}, std::vector<uint8_t>(6, 'x')},
      {"literals, least significant flag first", {0x05, 'a', 0x00, 0x00, 'b'}, {'a', 0, 0, 0, 'b'}},
      {"match of the first two literals", {0x03, 'p', 'q', 0xEE, 0xF0}, {'p', 'q', 'p', 'q', 'p'}},
      {"a lone flag byte", {0xFF}, {}},
      {"match missing its second byte", {0x00, 0x00}, {}},
      {"second flag byte after eight tokens",
       {0xFF, '1', '2', '3', '4', '5', '6', '7', '8', 0x01, '9'},
       {'1', '2', '3', '4', '5', '6', '7', '8', '9'}},
      {"empty stream", {}, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what_happens);
    uint64_t produced = 0;
    EXPECT_EQ(Decode(r.stream, 64, &produced), r.expected);
    EXPECT_EQ(produced, r.expected.size());
  }
}

TEST(LzssDecode, NeverWritesPastTheOutput) {
  uint64_t produced = 0;
  std::vector<uint8_t> guarded(20, 0xEE);
  const std::vector<uint8_t> stream = {0x00, 0x00, 0x0F};  // 18 bytes
  EXPECT_EQ(LzssDecode(std::span<uint8_t>(guarded.data(), 17), stream), ICompressedFile::kDecodeFailed);
  EXPECT_EQ(guarded[17], 0xEE);
  Decode({0x01, 'a'}, 0, &produced);
  EXPECT_EQ(produced, ICompressedFile::kDecodeFailed);
}

TEST(LzssDecode, EachDecodeStartsFromAClearRing) {
  // The first stream fills ring bytes 0xFEE-0xFFF; the second reads them before writing.
  std::vector<uint8_t> fill = {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 9, 10, 11, 12, 13, 14, 15, 16, 0x03, 17, 18};
  const std::vector<uint8_t> read_back = {0x00, 0xEE, 0xFF};  // 18 bytes from 0xFEE
  uint64_t produced = 0;
  EXPECT_EQ(Decode(fill, 64, &produced).size(), 18u);
  EXPECT_EQ(Decode(read_back, 64, &produced), std::vector<uint8_t>(18, 0));
}

TEST(LzssEncode, RoundTripsThroughTheDecoder) {
  const std::vector<std::vector<uint8_t>> inputs = {
      {}, {42}, std::vector<uint8_t>(5000, 0), std::vector<uint8_t>(5000, 'q'), PatternBytes(100000, 4),
      NoiseBytes(10000, 5),
  };
  for (const auto& data : inputs) {
    const std::vector<uint8_t> stream = safpack::LzssEncode(data);
    std::vector<uint8_t> out(data.size());
    EXPECT_EQ(LzssDecode(out, stream), data.size());
    EXPECT_EQ(out, data);
  }
}

// --- Scrambling --------------------------------------------------------------------

TEST(IndexScrambling, KeysFollowTheirSchedules) {
  // Applied to zeros, each routine writes out its key sequence.
  std::vector<uint8_t> v5(128, 0), v6(40, 0), names(300, 0);
  UnscrambleIndex5(v5);
  UnscrambleIndex6(v6);
  UnscrambleNames6(names);
  EXPECT_EQ(v5[0], 0x6B);
  EXPECT_EQ(v5[59], 0x6B + 59);
  EXPECT_EQ(v5[60], 0x6B);  // restarts every 60 bytes, across record borders
  EXPECT_EQ(v5[127], 0x6B + 7);
  EXPECT_EQ(v6[0], 0xD4);
  EXPECT_EQ(v6[15], 0xE3);
  EXPECT_EQ(v6[16], 0xD4);  // restarts with every record
  EXPECT_EQ(names[0], 0x27);
  EXPECT_EQ(names[0x27], 0x00);
  EXPECT_EQ(names[0x28], 0xFF);  // the key wraps below 0
}

TEST(IndexScrambling, ScrambledIndexTouchesOnlyTheRecords) {
  const std::vector<safpack::RawRecord> records = {{"", true, 1, 0, 1}, {"name", false, 1, 2, 3}};
  const std::vector<uint8_t> plain5 = safpack::EncodeIndex5(0, records);
  const std::vector<uint8_t> scrambled5 = safpack::EncodeIndex5(safpack::kFlagScrambled, records);
  EXPECT_EQ(scrambled5[0], safpack::kFlagScrambled);
  EXPECT_TRUE(std::equal(plain5.begin() + 1, plain5.begin() + 4, scrambled5.begin() + 1));
  const std::vector<uint8_t> plain6 = safpack::EncodeIndex6(0, records);
  const std::vector<uint8_t> scrambled6 = safpack::EncodeIndex6(safpack::kFlagScrambled, records);
  EXPECT_TRUE(std::equal(plain6.begin() + 1, plain6.begin() + 8, scrambled6.begin() + 1));
  EXPECT_EQ(scrambled6.size(), plain6.size());
}

}  // namespace
}  // namespace archive_test
