// SAF archives of every format: lookups, nested archives, file lists and the
// whole-entry loaders, each run over version 5 and 6, plain and scrambled, deflate
// and LZSS.
#include <cstdlib>
#include <cstring>
#include <thread>

#include "archive/archive_impl.h"
#include "archive_test_util.h"

namespace archive_test {
namespace {

class SafFormatTest : public ::testing::TestWithParam<Format> {
 protected:
  void SetUp() override {
    const Format f = GetParam();
    safpack::SafWriter w(f.Options());
    w.AddFile(u"readme.txt", std::string("hello archive"), false);
    w.AddFile(u"BG/a.jpg", picture_, true);
    w.AddFile(u"BG/b.jpg", noise_, false);
    w.AddFile(u"abcdefghijklmnop.txt", std::string("twenty-byte name"), true);  // 20 bytes exactly
    w.AddFile(u"dup.txt", std::string("first"), false);
    w.AddFile(u"DUP.TXT", std::string("second"), false);
    // 表 is 0x95 0x5C in CP932: its trail byte is a backslash.
    w.AddFile(u"a表/c表.txt", std::string("trail byte"), true);
    w.AddFile(u"empty.bin", std::vector<uint8_t>{}, true);
    safpack::SafWriter inner(f.Options());
    inner.AddFile(u"inner/x.txt", std::string("nested text"), true);
    inner.AddFile(u"inner/y.bin", noise_, false);
    w.AddArchive(u"nest.saf", inner);
    path_ = dir_.Write("test.saf", w.Build());
    archive_ = OpenSaf(path_);
    ASSERT_TRUE(archive_);
  }

  std::string Text(std::u16string_view name) {
    std::vector<uint8_t> bytes = Load(archive_.get(), name);
    return std::string(bytes.begin(), bytes.end());
  }

  ScratchDir dir_;
  std::filesystem::path path_;
  ArchivePtr archive_;
  std::vector<uint8_t> picture_ = PatternBytes(5000, 1);
  std::vector<uint8_t> noise_ = NoiseBytes(3000, 2);
};

TEST_P(SafFormatTest, OpensAsItsOwnVersion) {
  auto* saf = static_cast<CSafArchive*>(archive_.get());
  EXPECT_EQ(saf->Version(), GetParam().version);
  EXPECT_EQ(ArchivePtr::Adopt(GetParam().version == 5 ? OpenArchive6(U16(path_)) : OpenArchive5(U16(path_))).get(),
            nullptr);
}

TEST_P(SafFormatTest, FindsEntriesByEitherSeparatorAndAnyCase) {
  struct Row {
    std::u16string_view name;
    bool found;
  };
  const Row rows[] = {
      {u"BG/a.jpg", true},          {u"bg\\A.JPG", true},    {u"Bg/A.Jpg", true},
      {u"bg//a.jpg", true},         {u"readme.txt", true},   {u"README.TXT", true},
      {u"bg/c.jpg", false},         {u"a.jpg", false},       {u"readme.txt/x", false},
      {u"abcdefghijklmnop.txt", true}, {u"abcdefghijklmnop.tx", false},
      {u"a表/c表.txt", true},        {u"A表\\C表.TXT", true},  {u"bg", true},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(archive_->Exists(r.name), r.found) << platform::Utf16ToUtf8(r.name);
  }
  EXPECT_EQ(Text(u"bg\\A.JPG"), Text(u"BG/a.jpg"));
}

TEST_P(SafFormatTest, DotDirectoryIsTheRootInVersion6Only) {
  // Version 5 looks "./" up as a directory named ".", which no archive has.
  EXPECT_EQ(archive_->Exists(u"./bg/a.jpg"), GetParam().version == 6);
  EXPECT_EQ(archive_->Exists(u".\\readme.txt"), GetParam().version == 6);
}

TEST_P(SafFormatTest, LoadsEveryKindOfEntry) {
  EXPECT_EQ(Load(archive_.get(), u"bg/a.jpg"), picture_);
  EXPECT_EQ(Load(archive_.get(), u"bg/b.jpg"), noise_);
  EXPECT_EQ(Text(u"abcdefghijklmnop.txt"), "twenty-byte name");
  EXPECT_EQ(Text(u"a表\\c表.txt"), "trail byte");
  EXPECT_EQ(Text(u"DUP.TXT"), "first");  // the first of two equal names wins
  EXPECT_TRUE(archive_->IsCompressed(u"bg/a.jpg"));
  EXPECT_FALSE(archive_->IsCompressed(u"bg/b.jpg"));
  EXPECT_FALSE(archive_->IsCompressed(u"missing"));
}

// A directory exists but, like a missing name, opens as nothing through every door.
TEST_P(SafFormatTest, DirectoriesAndMissingEntriesOpenAsNull) {
  for (std::u16string_view name : {u"bg", u"nothing.txt"}) {
    SCOPED_TRACE(platform::Utf16ToUtf8(name));
    EXPECT_FALSE(archive_->IsCompressed(name));
    EXPECT_EQ(archive_->OpenFile(name), nullptr);
    EXPECT_EQ(archive_->OpenCompressedFile(name), nullptr);
    EXPECT_EQ(archive_->OpenMappingFile(name), nullptr);
    EXPECT_EQ(archive_->OpenArchive(name), nullptr);
    uint32_t size = 77;
    EXPECT_EQ(LoadArchiveFile(archive_.get(), name, nullptr, &size), nullptr);
    EXPECT_EQ(size, 77u);
    EXPECT_EQ(LoadArchiveTextFile(archive_.get(), name), nullptr);
  }
}

TEST_P(SafFormatTest, EmptyEntryLoadsAsEmptyAndTextAsLoneNul) {
  uint32_t size = 99;
  void* p = LoadArchiveFile(archive_.get(), u"empty.bin", nullptr, &size);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(size, 0u);
  std::free(p);
  uint32_t length = 99;
  char* text = LoadArchiveTextFile(archive_.get(), u"empty.bin", nullptr, &length);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(text[0], '\0');
  std::free(text);
}

TEST_P(SafFormatTest, TextLoaderEndsTheTextWithNul) {
  uint32_t length = 0;
  char* text = LoadArchiveTextFile(archive_.get(), u"abcdefghijklmnop.txt", nullptr, &length);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(length, 16u);
  EXPECT_STREQ(text, "twenty-byte name");
  std::free(text);
  // Into the caller's buffer, which holds the size + 1.
  char buffer[32];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(LoadArchiveTextFile(archive_.get(), u"readme.txt", buffer, &length), buffer);
  EXPECT_EQ(length, 13u);
  EXPECT_STREQ(buffer, "hello archive");
}

TEST_P(SafFormatTest, NestedArchiveReadsFromItsOwnStart) {
  ArchivePtr nested = ArchivePtr::Adopt(archive_->OpenArchive(u"NEST.SAF"));
  ASSERT_TRUE(nested);
  EXPECT_EQ(static_cast<CSafArchive*>(nested.get())->Version(), GetParam().version);
  std::vector<uint8_t> text = Load(nested.get(), u"inner/x.txt");
  EXPECT_EQ(std::string(text.begin(), text.end()), "nested text");
  EXPECT_EQ(Load(nested.get(), u"inner\\y.bin"), noise_);
  EXPECT_FALSE(nested->Exists(u"readme.txt"));
  // Its file list counts offsets from its own start, not the outer archive's.
  ComPtr<IArchiveFile> blob = ComPtr<IArchiveFile>::Adopt(archive_->OpenFile(u"NEST.SAF"));
  ASSERT_TRUE(blob);
  std::vector<char> nest(blob->GetSize());
  ASSERT_EQ(blob->Read(nest.data(), nest.size()), nest.size());
  std::vector<SAFFILEINFO> list;
  nested->GetFileList(list);
  ASSERT_EQ(list.size(), 2u);
  for (const SAFFILEINFO& info : list) {
    ComPtr<IArchiveFile> file = ComPtr<IArchiveFile>::Adopt(nested->OpenFile(info.path));
    ASSERT_TRUE(file);
    std::vector<char> stored(info.size);
    ASSERT_EQ(file->Read(stored.data(), info.size), info.size);
    ASSERT_LE(info.offset + info.size, nest.size()) << platform::Utf16ToUtf8(info.path);
    EXPECT_EQ(std::vector<char>(nest.begin() + info.offset, nest.begin() + info.offset + info.size), stored)
        << platform::Utf16ToUtf8(info.path);
  }
  // The nested archive keeps working after the outer one is gone.
  archive_.reset();
  EXPECT_EQ(Load(nested.get(), u"inner/y.bin"), noise_);
}

TEST_P(SafFormatTest, FileListIsDepthFirstWithOffsetsFromTheArchiveStart) {
  std::vector<SAFFILEINFO> list(3);  // the list is emptied first
  archive_->GetFileList(list);
  std::vector<std::string> paths;
  for (const SAFFILEINFO& info : list) paths.push_back(platform::Utf16ToUtf8(info.path));
  const std::vector<std::string> expected = {"readme.txt", "BG/a.jpg", "BG/b.jpg", "abcdefghijklmnop.txt",
                                             "dup.txt",    "DUP.TXT",  "a表/c表.txt", "empty.bin",
                                             "nest.saf"};
  EXPECT_EQ(paths, expected);
  // Offsets and sizes address the stored bytes in the file.
  std::ifstream in(path_, std::ios::binary);
  for (const SAFFILEINFO& info : list) {
    EXPECT_EQ(info.offset % 2048, 0u);
    if (std::u16string_view(info.path) == u"DUP.TXT") continue;  // its name opens the first one
    ComPtr<IArchiveFile> file = ComPtr<IArchiveFile>::Adopt(archive_->OpenFile(info.path));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetSize(), info.size);
    std::vector<char> raw(info.size), window(info.size);
    in.seekg(static_cast<std::streamoff>(info.offset));
    in.read(raw.data(), static_cast<std::streamsize>(raw.size()));
    EXPECT_EQ(file->Read(window.data(), info.size), info.size);
    EXPECT_EQ(raw, window) << platform::Utf16ToUtf8(info.path);
  }
}

TEST_P(SafFormatTest, CompressedEntriesOfEverySizeDecodeWhole) {
  const Format f = GetParam();
  safpack::SafWriter w(f.Options());
  // Noise keeps the stored size close to the decoded size: these straddle the
  // 128 KiB line between one-piece and streamed inflation.
  const std::size_t sizes[] = {1, 1000, 0x1FF00, 0x20000, 0x20001, 0x30000};
  for (std::size_t n : sizes) {
    w.AddFile(platform::Utf8ToUtf16("n" + std::to_string(n)), NoiseBytes(n, static_cast<uint32_t>(n)), true);
  }
  w.AddFile(u"pattern", PatternBytes(0x60000, 9), true);
  w.AddFile(u"runs", std::vector<uint8_t>(70000, 'z'), true);  // long overlapping matches
  ArchivePtr a = OpenSaf(dir_.Write("sizes.saf", w.Build()));
  ASSERT_TRUE(a);
  for (std::size_t n : sizes) {
    EXPECT_EQ(Load(a.get(), platform::Utf8ToUtf16("n" + std::to_string(n))), NoiseBytes(n, static_cast<uint32_t>(n)))
        << n;
  }
  EXPECT_EQ(Load(a.get(), u"pattern"), PatternBytes(0x60000, 9));
  EXPECT_EQ(Load(a.get(), u"runs"), std::vector<uint8_t>(70000, 'z'));
}

TEST_P(SafFormatTest, TwoDecodesInARowAreAlike) {
  ComPtr<ICompressedFile> d = ComPtr<ICompressedFile>::Adopt(archive_->OpenCompressedFile(u"bg/a.jpg"));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->GetSize(), picture_.size());
  std::vector<uint8_t> first(d->GetSize()), second(d->GetSize());
  EXPECT_EQ(d->Decode(first.data()), first.size());
  // Another entry in between must leave nothing behind for the next decode.
  EXPECT_EQ(Text(u"a表/c表.txt"), "trail byte");
  EXPECT_EQ(d->Decode(second.data()), second.size());
  EXPECT_EQ(first, picture_);
  EXPECT_EQ(second, picture_);
}

TEST_P(SafFormatTest, InterfacesLeadToTheirSources) {
  ComPtr<IArchiveFile> file = ComPtr<IArchiveFile>::Adopt(archive_->OpenFile(u"readme.txt"));
  ASSERT_TRUE(file);
  void* out = nullptr;
  ASSERT_EQ(file->QueryInterface(IArchive::kIid, &out), S_OK);
  EXPECT_EQ(out, archive_.get());
  static_cast<IArchive*>(out)->Release();
  EXPECT_EQ(file->QueryInterface(ICompressedFile::kIid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  ComPtr<ICompressedFile> d = ComPtr<ICompressedFile>::Adopt(archive_->OpenCompressedFile(u"bg/a.jpg"));
  ASSERT_TRUE(d);
  ASSERT_EQ(d->QueryInterface(IArchiveFile::kIid, &out), S_OK);
  auto* source = static_cast<IArchiveFile*>(out);
  EXPECT_EQ(source->GetSize(), d->GetCompressedSize());
  source->Release();

  ComPtr<IArchive> same = ComPtr<IArchive>::Adopt(archive_->Duplicate());
  EXPECT_EQ(same.get(), archive_.get());
  // archive_, same, and the owners of the two open windows
  EXPECT_EQ(static_cast<CSafArchive*>(archive_.get())->RefCount(), 4);
}

TEST_P(SafFormatTest, EntriesOutliveTheirArchive) {
  ComPtr<ICompressedFile> d = ComPtr<ICompressedFile>::Adopt(archive_->OpenCompressedFile(u"bg/a.jpg"));
  ComPtr<IMappingFile> m = ComPtr<IMappingFile>::Adopt(archive_->OpenMappingFile(u"bg/b.jpg"));
  archive_.reset();
  std::vector<uint8_t> out(d->GetSize());
  EXPECT_EQ(d->Decode(out.data()), out.size());
  EXPECT_EQ(out, picture_);
  const void* p = m->Map(0, 0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::memcmp(p, noise_.data(), noise_.size()), 0);
}

TEST_P(SafFormatTest, WindowsReadOnTwoThreadsAtOnce) {
  // The sound thread reads its own windows while the game thread loads entries.
  ComPtr<IArchiveFile> sound = ComPtr<IArchiveFile>::Adopt(archive_->OpenFile(u"bg/b.jpg"));
  ASSERT_TRUE(sound);
  std::atomic<int> bad{0};
  std::thread reader([&] {
    std::vector<uint8_t> chunk(noise_.size());
    for (int i = 0; i < 200; ++i) {
      sound->Seek(0, IArchiveFile::kSeekBegin);
      std::size_t got = 0;
      while (got < chunk.size()) got += static_cast<std::size_t>(sound->Read(chunk.data() + got, 257));
      if (chunk != noise_) ++bad;
    }
  });
  for (int i = 0; i < 50; ++i) {
    if (Load(archive_.get(), u"bg/a.jpg") != picture_) ++bad;
  }
  reader.join();
  EXPECT_EQ(bad.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, SafFormatTest, ::testing::ValuesIn(kFormats), FormatName);

// Another version, or a file too short to tell, is damaged data: an error naming
// the file, not an assertion. A missing file is only missing.
TEST(SafArchive, RefusesAnotherVersionAsDamagedDataNamingTheFile) {
  static int reports = 0;
  AssertionHandler previous = SetAssertionHandler([](const char16_t*, int, const char16_t*) { ++reports; });
  ScratchDir dir;
  std::vector<uint8_t> bytes = safpack::EncodeIndex6(0, std::vector<safpack::RawRecord>{{"", true, 1, 0, 0}});
  bytes[1] = 7;
  for (const auto& [name, data] : {std::pair{"v7.saf", bytes}, std::pair{"one.saf", std::vector<uint8_t>{0}},
                                   std::pair{"empty.saf", std::vector<uint8_t>{}}}) {
    const std::filesystem::path p = dir.Write(name, data);
    const std::u16string error = ErrorOf([&] { OpenSaf(p); });
    EXPECT_EQ(error, U16(p) + u": 未対応のSAF形式です") << name;
  }
  EXPECT_EQ(OpenSaf(dir / "missing.saf").get(), nullptr);
  EXPECT_EQ(reports, 0);
  SetAssertionHandler(previous);
}

TEST(ZlibEntries, WindowsAroundTheStreamingLineDecodeAlike) {
  // Windows of 0x20000 bytes and more stream through the input buffer; bytes after
  // the stream's end (here zeros) are left alone either way.
  const std::vector<uint8_t> data = NoiseBytes(0x1FF00, 11);
  const std::vector<uint8_t> stream = safpack::ZlibCompress(data);
  ASSERT_LT(stream.size(), 0x1FFFFu);
  for (uint32_t window : {0x1FFFFu, 0x20000u, 0x20001u}) {
    SCOPED_TRACE(window);
    std::vector<safpack::RawRecord> records = {{"", true, 1, 0, 1}, {"z", false, 1, window, 0x1FF00}};
    std::vector<uint8_t> bytes = safpack::EncodeIndex6(0, records);
    bytes.resize(2048 + window, 0);
    std::copy(stream.begin(), stream.end(), bytes.begin() + 2048);
    ScratchDir dir;
    ArchivePtr a = OpenSaf(dir.Write("z.saf", bytes));
    ASSERT_TRUE(a);
    EXPECT_EQ(Load(a.get(), u"z"), data);
  }
}

// A version 5 name may be padded with NULs rather than blanks: it ends at either.
TEST(SafArchive, Version5NamesEndAtANulAsAtABlank) {
  auto padded = [](std::string name) { return name.resize(20, '\0'), name; };
  for (uint8_t flags : {uint8_t{0}, safpack::kFlagScrambled}) {
    const std::vector<safpack::RawRecord> records = {{"", true, 1, 0, 2},
                                                     {padded("dir"), true, 3, 0, 1},
                                                     {padded("a.txt"), false, 1, 4, 0},
                                                     {padded("b.txt"), false, 1, 4, 0}};
    std::vector<uint8_t> bytes = safpack::EncodeIndex5(flags, records);
    bytes.resize(2048);
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    ScratchDir dir;
    ArchivePtr a = OpenSaf(dir.Write("n.saf", bytes));
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->Exists(u"A.TXT"));
    EXPECT_EQ(Load(a.get(), u"dir/b.txt"), (std::vector<uint8_t>{'d', 'a', 't', 'a'}));
  }
}

TEST(SafArchive, FileExistsInArchiveCopiesTheNameUnchanged) {
  ScratchDir dir;
  safpack::SafWriter w;
  w.AddFile(u"sys/Sub.wav", std::string("x"));
  ArchivePtr a = OpenSaf(dir.Write("s.saf", w.Build()));
  std::u16string out = u"old";
  EXPECT_TRUE(FileExistsInArchive(a.get(), u"SYS\\sub.WAV", &out));
  EXPECT_EQ(out, u"SYS\\sub.WAV");
  EXPECT_FALSE(FileExistsInArchive(a.get(), u"sys/none.wav", &out));
  EXPECT_EQ(out, u"SYS\\sub.WAV");
  EXPECT_TRUE(FileExistsInArchive(a.get(), u"sys/sub.wav"));
  EXPECT_FALSE(FileExistsInArchive(nullptr, u"sys/sub.wav"));
}

}  // namespace
}  // namespace archive_test
