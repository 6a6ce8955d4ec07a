// Development folders as archives.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "archive/archive_impl.h"
#include "archive_test_util.h"

namespace archive_test {
namespace {

class DirArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("script/data/BG/A.jpg", std::string("picture"));
    dir_.Write("script/data/_start.txt", std::string("start"));
    dir_.Write("script/data/Voice/Ch1/v001.OGG", std::string("voice"));
    dir_.Write("script/data/a表/Ｂ.txt", std::string("wide"));
    dir_.Write("outside.txt", std::string("outside"));
    archive_ = ArchivePtr::Adopt(OpenDirArchive(U16(dir_ / "script/data")));
    ASSERT_TRUE(archive_);
  }

  std::string Text(std::u16string_view name) {
    bool found = false;
    std::vector<uint8_t> bytes = Load(archive_.get(), name, &found);
    return found ? std::string(bytes.begin(), bytes.end()) : "<missing>";
  }

  ScratchDir dir_;
  ArchivePtr archive_;
};

TEST_F(DirArchiveTest, BaseIsTheSameWithOrWithoutTrailingSeparator) {
  for (std::string folder : {"script/data/", "script/data\\", "script/./data", "Script/DATA"}) {
    ArchivePtr other = ArchivePtr::Adopt(OpenDirArchive(U16(dir_.path()) + u"/" + platform::Utf8ToUtf16(folder)));
    ASSERT_TRUE(other) << folder;
    EXPECT_EQ(other->GetPath(), archive_->GetPath()) << folder;
  }
  EXPECT_EQ(archive_->GetPath().back(), u'/');
  EXPECT_EQ(OpenDirArchive(U16(dir_ / "script/missing")), nullptr);
  EXPECT_EQ(OpenDirArchive(U16(dir_ / "outside.txt")), nullptr);
}

TEST_F(DirArchiveTest, MatchesEveryPartWithoutRegardToCase) {
  struct Row {
    std::u16string_view name;
    const char* text;
  };
  const Row rows[] = {
      {u"bg/a.jpg", "picture"},          {u"BG\\A.JPG", "picture"},   {u"./bg/a.jpg", "picture"},
      {u"voice/ch1/V001.ogg", "voice"},  {u"VOICE\\CH1\\v001.ogg", "voice"}, {u"_START.TXT", "start"},
      {u"bg/b.jpg", "<missing>"},        {u"../outside.txt", "<missing>"}, {u"bg/../_start.txt", "<missing>"},
      {u"A表\\ｂ.TXT", "wide"},          {u"a表/Ｂ.txt", "wide"},
      {u"bg", "<missing>"},              {std::u16string_view(u"bg/a.jpg\0x", 10), "<missing>"},
  };
  for (const Row& r : rows) EXPECT_EQ(Text(r.name), r.text) << platform::Utf16ToUtf8(r.name);
  EXPECT_TRUE(archive_->Exists(u"Bg/a.JPG"));
  EXPECT_TRUE(archive_->Exists(u"voice/CH1"));  // folders exist too
  EXPECT_FALSE(archive_->Exists(u"../outside.txt"));
}

TEST_F(DirArchiveTest, ExactSpellingWinsOverOtherCases) {
  dir_.Write("script/data/bg/a.jpg", std::string("lower"));
  EXPECT_EQ(Text(u"BG/A.jpg"), "picture");
  EXPECT_EQ(Text(u"bg/a.jpg"), "lower");
}

TEST_F(DirArchiveTest, AFolderChangedAfterALookupIsListedAgain) {
  for (bool settled : {false, true}) {
    SCOPED_TRACE(settled);
    if (settled) {
      const auto hour_ago = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
      std::filesystem::last_write_time(dir_ / "script/data/BG", hour_ago);
    }
    EXPECT_EQ(Text(u"bg/a.JPG"), "picture");
    dir_.Write("script/data/BG/New.jpg", std::string("new"));
    EXPECT_EQ(Text(u"bg/NEW.JPG"), "new");
    std::filesystem::remove(dir_ / "script/data/BG/New.jpg");
    EXPECT_EQ(Text(u"bg/new.jpg"), "<missing>");
  }
}

TEST_F(DirArchiveTest, OnlyRegularFilesOpen) {
  EXPECT_EQ(archive_->OpenFile(u"voice/ch1"), nullptr);
  EXPECT_EQ(archive_->OpenCompressedFile(u"voice"), nullptr);
  EXPECT_EQ(archive_->OpenMappingFile(u"BG"), nullptr);
  ASSERT_EQ(::mkfifo((dir_ / "script/data/pipe").c_str(), 0600), 0);
  EXPECT_TRUE(archive_->Exists(u"pipe"));
  EXPECT_EQ(archive_->OpenFile(u"PIPE"), nullptr);
  EXPECT_EQ(archive_->OpenArchive(u"pipe"), nullptr);
}

TEST_F(DirArchiveTest, EntriesAreWholeStoredFiles) {
  EXPECT_FALSE(archive_->IsCompressed(u"bg/a.jpg"));
  ComPtr<IArchiveFile> f = ComPtr<IArchiveFile>::Adopt(archive_->OpenFile(u"bg/a.jpg"));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->GetSize(), 7u);
  EXPECT_EQ(f->GetRawPosition(), 0u);
  ComPtr<IMappingFile> m = ComPtr<IMappingFile>::Adopt(archive_->OpenMappingFile(u"bg/a.jpg"));
  ASSERT_TRUE(m);
  const void* p = m->Map(3, 0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(p), 4), "ture");
  std::vector<SAFFILEINFO> list(2);
  archive_->GetFileList(list);
  EXPECT_TRUE(list.empty());
  ComPtr<IArchive> same = ComPtr<IArchive>::Adopt(archive_->Duplicate());
  EXPECT_EQ(same.get(), archive_.get());
}

TEST_F(DirArchiveTest, OpensVersion6ArchivesOnly) {
  for (int version : {5, 6}) {
    safpack::WriterOptions o;
    o.version = version;
    safpack::SafWriter w(o);
    w.AddFile(u"in.txt", std::string("inside"), true);
    dir_.Write("script/data/Pack" + std::to_string(version) + ".saf", w.Build());
  }
  EXPECT_EQ(archive_->OpenArchive(u"pack5.saf"), nullptr);
  ArchivePtr six = ArchivePtr::Adopt(archive_->OpenArchive(u"PACK6.SAF"));
  ASSERT_TRUE(six);
  std::vector<uint8_t> text = Load(six.get(), u"in.txt");
  EXPECT_EQ(std::string(text.begin(), text.end()), "inside");
  EXPECT_EQ(archive_->OpenArchive(u"_start.txt"), nullptr);
  EXPECT_EQ(archive_->OpenArchive(u"missing.saf"), nullptr);
  // A version 6 file whose index runs past its end is a missing entry too; one
  // whose entry does is damaged.
  dir_.Write("script/data/cut.saf", std::vector<uint8_t>{0, 6, 9, 0, 0, 0, 0, 0});
  EXPECT_EQ(ErrorOf([&] { EXPECT_EQ(archive_->OpenArchive(u"cut.saf"), nullptr); }), u"");
  const safpack::RawRecord records[] = {{"", true, 1, 0, 1}, {"a", false, 5, 10, 0}};
  dir_.Write("script/data/short.saf", safpack::EncodeIndex6(0, records));
  EXPECT_NE(ErrorOf([&] { archive_->OpenArchive(u"short.saf"); }).find(u"entry a (block 5, 10 bytes)"),
            std::u16string::npos);
}

}  // namespace
}  // namespace archive_test
