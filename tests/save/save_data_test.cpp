// The save file as the game uses it: its schema seen through the plain library,
// the global records across runs, slots, quick saves, transactions and damaged
// files.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "core/exception.h"
#include "dxdraw/dxsurface.h"
#include "platform/message_box.h"
#include "save/sqlite_db.h"
#include "save_test_util.h"
#include "support/another_user.h"
#include "textscript/script_vars.h"

namespace save_test {
namespace {

using Bytes = std::vector<uint8_t>;

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const { s->Release(); }
};
using SurfacePtr = std::unique_ptr<DxDraw::DxSurface, SurfaceRelease>;

// An 800 x 600 stage picture: the top half one colour, the bottom half another.
SurfacePtr StagePicture() {
  SurfacePtr s(DxDraw::CreateSurface(32));
  s->Create(800, 600);
  s->FillRect(0, 0, 800, 300, 0x0000FF, 255);
  s->FillRect(0, 300, 800, 300, 0xFF0000, 255);
  return s;
}

uint32_t PixelAt(DxDraw::DxSurface* s, int x, int y) {
  uint32_t v;
  std::memcpy(&v, s->GetPixelAddress(x, y), 4);
  return v & 0x00FFFFFF;
}

void SetRecord(Save::SceneSlot slot, uint8_t state, const char* name) {
  Save::SceneStateRecord& r = Save::GetSceneState().records[slot];
  r = Save::SceneStateRecord{};
  r.state = state;
  std::strncpy(r.name, name, sizeof r.name - 1);
}

class SaveDataTest : public SaveFolderTest {
 protected:
  void Start() {
    scene_.clear();
    album_.clear();
    Save::OpenSaveDataAtStart(scene_, album_);
  }
  void SaveWithPage(int number, int page) {
    TextScript::ScriptVarTable vars;
    vars.Insert(u"PAGE", page);
    Save::SaveInputs in;
    in.resumePage = page;
    in.variables = &vars;
    Save::SaveGameToSlot(number, u"", in);
  }
  int PageOf(int number) { return static_cast<int>(Save::DecodeSlotHeader(Save::CSaveDatabase::Instance().ReadHeader(number)).resumePage); }

  Save::NameList scene_, album_;
};

TEST_F(SaveDataTest, FirstStartWritesTheFixedSchemaThatThePlainLibraryReads) {
  Start();
  RawDb raw(File());
  EXPECT_EQ(raw.Column("SELECT sql FROM sqlite_master WHERE type='table' ORDER BY rowid"),
            (std::vector<std::string>{
                "CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT, value_text TEXT, value_bin BLOB)",
                "CREATE TABLE entry (id INTEGER PRIMARY KEY, number INTEGER, header BLOB, backlog BLOB, "
                "value_data BLOB)"}));
  EXPECT_EQ(raw.Column("PRAGMA encoding"), std::vector<std::string>{"UTF-16le"});
  EXPECT_EQ(raw.Column("PRAGMA journal_mode"), std::vector<std::string>{"delete"});
  EXPECT_EQ(raw.Column("SELECT id || ':' || name FROM global ORDER BY id"),
            (std::vector<std::string>{"1:SCENE", "2:ALBUM", "3:COMMON"}));
  EXPECT_EQ(raw.Column("SELECT value_bin FROM global ORDER BY id"),
            (std::vector<std::string>{"blob:1", "blob:1", "blob:2308"}));
  EXPECT_EQ(raw.Column("SELECT value_text FROM global"), std::vector<std::string>(3, "<null>"));
  const Bytes common = raw.Blob("SELECT value_bin FROM global WHERE name='COMMON'");
  EXPECT_EQ(Bytes(common.begin(), common.begin() + 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));  // no slot saved yet
}

TEST_F(SaveDataTest, GlobalRecordsSurviveIntoTheNextRunAndUnreadOnesAreNeverWrittenBack) {
  Start();
  Save::GetCommonData().lastSavedSlot = 12;
  Save::GetCommonData().familyName[0] = u'山';
  Save::SetFlag(Save::GetCommonData(), 300, true);
  ASSERT_TRUE(Save::WriteGlobalData({u"SCENE_A", u"シーン"}, {u"A01", u"B02"}));

  ResetRecords();  // the next run starts from the shell's initial state
  EXPECT_FALSE(Save::WriteGlobalData({}, {}));  // nothing read yet: the progress stays
  Start();
  EXPECT_EQ(Save::GetCommonData().lastSavedSlot, 12);
  EXPECT_EQ(Save::GetCommonData().familyName[0], u'山');
  EXPECT_TRUE(Save::GetFlag(Save::GetCommonData(), 300));
  EXPECT_EQ(scene_, (Save::NameList{u"SCENE_A", u"シーン"}));
  EXPECT_EQ(album_, (Save::NameList{u"A01", u"B02"}));
}

TEST_F(SaveDataTest, SaveAndLoadRestorePageSceneVariablesAndThumbnail) {
  Start();
  SurfacePtr picture = StagePicture();
  SetRecord(Save::kSceneBackground, 2, "BG01");
  SetRecord(Save::kSceneCharacter, 1, "CH_A");
  SetRecord(Save::kSceneBgm, 1, "BGM03");
  SetRecord(Save::kSceneSe1, 2, "RAIN");
  TextScript::ScriptVarTable snapshot;
  for (int i = 0; i < 1000; ++i) snapshot.Insert(u"V" + platform::Utf8ToUtf16(std::to_string(i)), i * 3 - 500);
  snapshot.Insert(u"変数", 7);
  const Save::SceneState saved = Save::GetSceneState();
  SaveWithPage(5, 1);  // saved over a row whose backlog column holds something
  { RawDb(File()).Column("UPDATE entry SET backlog=x'0102' WHERE number=5"); }

  Save::SaveGameToSlot(5, u"森の中", {picture.get(), 321, &snapshot});
  ASSERT_TRUE(Save::SlotExists(5));
  EXPECT_FALSE(Save::SlotExists(4));
  EXPECT_EQ(platform::Cp932ToUtf16(Save::ReadSlotSummary(5).comment), u"森の中");
  EXPECT_EQ(RawDb(File()).Column("SELECT backlog FROM entry WHERE number=5"), std::vector<std::string>{"<null>"});

  const std::vector<uint32_t> thumb = Save::ReadSlotThumbnail(5);
  ASSERT_EQ(thumb.size(), 140u * 105u);
  EXPECT_EQ(thumb[0], PixelAt(picture.get(), 0, 0));              // top row from the top half
  EXPECT_EQ(thumb[140 * 104 + 139], PixelAt(picture.get(), 799, 599));

  Save::GetSceneState() = Save::SceneState{};
  TextScript::ScriptVarTable live, liveSnapshot;
  live.Insert(u"STALE", 1);
  EXPECT_EQ(Save::LoadGameFromSlot(5, live, liveSnapshot), 321);
  for (int i = 0; i < Save::kSceneSlotCount; ++i) {
    EXPECT_EQ(Save::GetSceneState().records[i].state, saved.records[i].state) << i;
    EXPECT_STREQ(Save::GetSceneState().records[i].name, saved.records[i].name) << i;
  }
  EXPECT_EQ(live.Count(), snapshot.Count());
  EXPECT_EQ(live.Find(0, u"STALE"), nullptr);
  EXPECT_EQ(live.GetValue(u"V999", 0), 999 * 3 - 500);
  EXPECT_EQ(liveSnapshot.GetValue(u"変数", 0), 7);
}

TEST_F(SaveDataTest, AFailedLoadLeavesTheGameAsItWas) {
  Start();
  SaveWithPage(5, 10);
  SaveWithPage(6, 11);
  {
    RawDb raw(File());
    sqlite3_exec(raw.get(), "UPDATE entry SET header=zeroblob(100) WHERE number=5;"
                            "UPDATE entry SET value_data=x'414200' WHERE number=6;", nullptr, nullptr, nullptr);
  }
  SetRecord(Save::kSceneBgm, 1, "PLAYING");
  for (int number : {5, 6, 7}) {  // a short header, variables cut short, no row
    TextScript::ScriptVarTable live, snapshot;
    live.Insert(u"KEEP", 1);
    EXPECT_TRUE(Raises([&] { Save::LoadGameFromSlot(number, live, snapshot); })) << number;
    EXPECT_EQ(live.GetValue(u"KEEP", 0), 1) << number;
    EXPECT_STREQ(Save::GetSceneState().records[Save::kSceneBgm].name, "PLAYING") << number;
  }
  EXPECT_EQ(Save::CSaveDatabase::Instance().OpenCount(), 0);
}

TEST_F(SaveDataTest, QuickSavesRotateThroughEntries91To99) {
  Start();
  for (int saves : {9, 10}) {
    for (int n = 91; n <= 99; ++n) Save::DeleteSlot(n);
    for (int i = 0; i < saves; ++i) {
      TextScript::ScriptVarTable vars;
      Save::QuickSave({nullptr, i, &vars});
    }
    RawDb raw(File());
    EXPECT_EQ(raw.Column("SELECT number FROM entry WHERE number >= 91 ORDER BY number"),
              (std::vector<std::string>{"91", "92", "93", "94", "95", "96", "97", "98", "99"}))
        << saves;
    for (int n = 91; n <= 99; ++n) EXPECT_EQ(PageOf(n), saves - 1 - (n - 91)) << saves << " " << n;
    EXPECT_EQ(Save::FindLatestQuickSave(), 90);
  }
}

TEST_F(SaveDataTest, LatestQuickSaveIsTheLowestPresentEntry) {
  Start();
  EXPECT_EQ(Save::FindLatestQuickSave(), -1);
  SaveWithPage(95, 1);
  SaveWithPage(90, 1);  // a hand slot below the quick saves does not count
  EXPECT_EQ(Save::FindLatestQuickSave(), 94);
}

TEST_F(SaveDataTest, MovesAndDeletesNeverLeaveTwoRowsWithOneNumber) {
  Start();
  SaveWithPage(3, 30);
  SaveWithPage(4, 40);
  Save::CSaveDatabase::Instance().MoveEntry(3, 4);
  Save::CSaveDatabase::Instance().MoveEntry(8, 4);  // nothing to move
  EXPECT_EQ(RawDb(File()).Column("SELECT number FROM entry"), std::vector<std::string>{"4"});
  EXPECT_EQ(PageOf(4), 30);
  Save::DeleteSlot(4);
  EXPECT_FALSE(Save::SlotExists(4));
}

TEST_F(SaveDataTest, CommentEditChangesOnlyTheCommentOfAWholeHeader) {
  Start();
  SaveWithPage(2, 77);
  SaveWithPage(3, 1);
  // A header of any other length than the whole one is left as it is, even one
  // long enough to hold the comment field.
  { RawDb(File()).Column("UPDATE entry SET header=zeroblob(60000) WHERE number=3"); }
  Save::SetSlotComment(2, std::string(40, 'x'));
  Save::SetSlotComment(3, "ignored");
  Save::SetSlotComment(9, "no row");
  EXPECT_EQ(Save::ReadSlotSummary(2).comment, std::string(35, 'x'));
  EXPECT_EQ(PageOf(2), 77);
  EXPECT_EQ(RawDb(File()).Blob("SELECT header FROM entry WHERE number=3"), Bytes(60000, 0));
  EXPECT_FALSE(Save::SlotExists(9));
}

TEST_F(SaveDataTest, NestedLevelsShareOneTransactionThatCommitsOnlyAtTheOutermost) {
  Start();
  auto& db = Save::CSaveDatabase::Instance();
  db.Open();
  db.Open();
  SaveWithPage(5, 1);
  db.Close();
  EXPECT_TRUE(RawDb(File()).Column("SELECT number FROM entry").empty());  // not yet committed
  db.Close();
  EXPECT_EQ(RawDb(File()).Column("SELECT number FROM entry"), std::vector<std::string>{"5"});
}

TEST_F(SaveDataTest, AnErrorInsideALevelRollsBackEverythingItWrote) {
  Start();
  SaveWithPage(5, 1);
  // An exception leaving the outermost level.
  EXPECT_TRUE(Raises([&] {
    Save::SaveDbLevel level;
    SaveWithPage(6, 1);
    Save::DeleteSlot(5);
    ThrowError(u"test", __LINE__, u"failure in the middle");
  }));
  // An inner level abandoned and the error swallowed by its caller: the outer
  // level must not commit half the work.
  EXPECT_TRUE(Raises([&] {
    Save::SaveDbLevel level;
    SaveWithPage(7, 1);
    try {
      Save::SaveDbLevel inner;
      ThrowError(u"test", __LINE__, u"inner failure");
    } catch (const ExceptionHandle&) {
    }
    level.Close();
  }));
  EXPECT_EQ(RawDb(File()).Column("SELECT number FROM entry"), std::vector<std::string>{"5"});
  EXPECT_EQ(Save::CSaveDatabase::Instance().OpenCount(), 0);
}

TEST_F(SaveDataTest, ALockedFileIsWaitedForUntilTheTimeoutThenReported) {
  Start();
  auto& db = Save::CSaveDatabase::Instance();
  db.SetBusyTimeout(300);
  RawDb other(File());
  ASSERT_EQ(sqlite3_exec(other.get(), "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_TRUE(Raises([&] { SaveWithPage(5, 1); }));  // held past the timeout
  EXPECT_EQ(db.OpenCount(), 0);
  // The end of a run can't write its records either: they are kept, and the
  // next run takes them instead of the older ones in the file.
  Save::SetFlag(Save::GetCommonData(), 300, true);
  EXPECT_TRUE(Raises([&] { Save::WriteGlobalData({u"SCENE_A"}, {u"A01"}); }));
  Start();
  EXPECT_EQ(scene_, Save::NameList{u"SCENE_A"});
  EXPECT_EQ(album_, Save::NameList{u"A01"});
  EXPECT_TRUE(Save::GetFlag(Save::GetCommonData(), 300));

  // Released within the timeout: a timeout no loaded machine misses, since
  // the wait ends at the release, not at the timeout.
  db.SetBusyTimeout(30000);
  std::jthread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sqlite3_exec(other.get(), "COMMIT;", nullptr, nullptr, nullptr);
  });
  SaveWithPage(5, 1);
  release.join();
  EXPECT_TRUE(Save::SlotExists(5));
  ASSERT_TRUE(Save::WriteGlobalData(scene_, album_));
  ResetRecords();
  Start();
  EXPECT_EQ(album_, Save::NameList{u"A01"});
  EXPECT_TRUE(Save::GetFlag(Save::GetCommonData(), 300));

  // A quit noted during the wait ends it: nothing is written, though the lock
  // goes (late) only when the wait has not ended by itself.
  static std::atomic<bool> quit{false};
  platform::ModalCancelCheck previous = platform::SetModalCancelCheck([] { return quit.load(); });
  ASSERT_EQ(sqlite3_exec(other.get(), "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
  std::atomic<bool> ended{false};
  std::jthread note([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    quit = true;
    for (int i = 0; i < 1000 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sqlite3_exec(other.get(), "COMMIT;", nullptr, nullptr, nullptr);
  });
  EXPECT_TRUE(Raises([&] { SaveWithPage(6, 1); }));
  ended = true;
  note.join();
  platform::SetModalCancelCheck(previous);
  quit = false;
  EXPECT_FALSE(Save::SlotExists(6));
}

// With the system's reason: a folder that isn't there, or one of another user,
// where the file can't be made.
TEST_F(SaveDataTest, AFolderThatCannotHoldTheFileRaisesAndLeavesNothingOpen) {
  auto failure = [] {
    try {
      Save::SlotExists(1);
    } catch (const ExceptionHandle& e) {
      EXPECT_EQ(std::u16string(e.Source), u"script/scr_gui");
      return platform::Utf16ToUtf8(e.Message);
    }
    return std::string("no error");
  };
  std::filesystem::permissions(folder_, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  EXPECT_EXIT({ BecomeAnotherUser(); std::fputs(failure().c_str(), stderr); std::_Exit(0); },
              ::testing::ExitedWithCode(0), "セーブファイルを開けません\nPermission denied");
  Save::SetSaveFolder(platform::Utf8ToUtf16((folder_ / "missing").string()));
  EXPECT_EQ(failure(), "セーブファイルを開けません\nNo such file or directory");
  EXPECT_EQ(Save::CSaveDatabase::Instance().OpenCount(), 0);
}

// The box names what failed, the file and the reason, and ends where the reason does.
TEST_F(SaveDataTest, TheFailureBoxEndsWithTheReason) {
  platform::HeadlessMessageBox box;
  box.SetEcho(false);
  platform::IMessageBox* previous = platform::SetMessageBoxService(&box);
  EXPECT_FALSE(Save::ReportingSaveFailure(u"セーブできませんでした。", [] {
    ThrowError(u"script/scr_gui", __LINE__, u"disk full\n\n");
    return true;
  }));
  platform::SetMessageBoxService(previous);
  ASSERT_EQ(box.shown().size(), 1u);
  EXPECT_EQ(box.shown()[0].text,
            u"セーブできませんでした。\n" + Save::CSaveDatabase::Instance().FilePath() + u"\ndisk full");
}

TEST_F(SaveDataTest, ADamagedFileIsMovedAsideWithAMessageAndAFreshOneStarted) {
  platform::HeadlessMessageBox box;
  box.SetEcho(false);
  platform::IMessageBox* previous = platform::SetMessageBoxService(&box);

  // A file that is not a database, and a database whose schema page is damaged.
  std::vector<Bytes> damaged{Bytes(4096, 'x')};
  Start();
  SaveWithPage(5, 1);
  std::ifstream in(File(), std::ios::binary);
  Bytes good((std::istreambuf_iterator<char>(in)), {});
  in.close();
  for (size_t i = 100; i < 4096 && i < good.size(); ++i) good[i] = uint8_t(0xA5 ^ i);
  damaged.push_back(good);

  for (size_t k = 0; k < damaged.size(); ++k) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    std::ofstream(File(), std::ios::binary)
        .write(reinterpret_cast<const char*>(damaged[k].data()), static_cast<std::streamsize>(damaged[k].size()));
    ResetRecords();
    Start();
    std::ifstream moved(folder_ / "save.dat.broken", std::ios::binary);
    EXPECT_EQ(Bytes((std::istreambuf_iterator<char>(moved)), {}), damaged[k]) << k;
    EXPECT_EQ(RawDb(File()).Column("SELECT name FROM global ORDER BY id"),
              (std::vector<std::string>{"SCENE", "ALBUM", "COMMON"}))
        << k;
    EXPECT_TRUE(Save::WriteGlobalData({}, {})) << k;
  }
  EXPECT_EQ(box.shown().size(), damaged.size());
  // A name already taken is never replaced: the next one is used.
  std::ofstream(File(), std::ios::binary) << std::string(4096, 'x');
  ResetRecords();
  Start();
  EXPECT_TRUE(std::filesystem::exists(folder_ / "save.dat.broken2"));
  platform::SetMessageBoxService(previous);
}

TEST_F(SaveDataTest, AGoodFileWithoutTablesGetsThemAndIsKept) {
  std::ofstream(File()).close();  // an empty file is an empty database
  Start();
  EXPECT_FALSE(std::filesystem::exists(folder_ / "save.dat.broken"));
  EXPECT_EQ(RawDb(File()).Column("SELECT name FROM global ORDER BY id"),
            (std::vector<std::string>{"SCENE", "ALBUM", "COMMON"}));
}

TEST(SaveSqlite, FailedPrepareLeavesNoStatementAndForeignInterfacesAreRefused) {
  ComPtr<Save::SQLite3> db = ComPtr<Save::SQLite3>::Adopt(new Save::SQLite3);
  ASSERT_EQ(db->Open(u":memory:", 0), SQLITE_OK);
  Save::SQLite3Statement* stmt = nullptr;
  EXPECT_EQ(db->Prepare(&stmt, u"SELEKT nothing;"), SQLITE_ERROR);
  EXPECT_EQ(stmt, nullptr);
  EXPECT_EQ(db->RefCount(), 1);  // the failed statement let its connection go

  void* out = &out;
  EXPECT_EQ(db->QueryInterface(IID{1, 2, 3, {4}}, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(db->QueryInterface(Save::SQLite3::kIid, &out), S_OK);
  EXPECT_EQ(out, db.get());
  db->Release();
}

TEST(SaveThumbnail, OnlyAGrpBackgroundNamesAThumbPictureFromItsFirstThreeBytes) {
  struct Case {
    uint8_t state;
    const char* name;
    std::optional<std::u16string> thumb;
  } cases[] = {{2, "BG01", u"thumb/BG0"}, {2, "", std::nullopt}, {3, "BG01", std::nullopt}, {0, "", std::nullopt}};
  for (const Case& c : cases) {
    Save::SceneState scene;
    scene.records[Save::kSceneBackground].state = c.state;
    std::strcpy(scene.records[Save::kSceneBackground].name, c.name);
    EXPECT_EQ(Save::ThumbnailPictureName(scene), c.thumb) << int(c.state) << c.name;
  }
}

}  // namespace
}  // namespace save_test
