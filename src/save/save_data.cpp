#include "save/save_data.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>

#include "core/exception.h"
#include "dxdraw/dxsurface.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/wformat.h"
#include "save/save_database.h"
#include "save/sqlite_db.h"
#include "textscript/script_vars.h"

namespace Save {

namespace {

constexpr int kQuickSaveEntry = 100;
constexpr int kNewestQuickEntry = 91;
constexpr int kOldestQuickEntry = 99;

bool g_GlobalsRead = false;  // the global records were read or created in this process

// The names of a write of the global records that failed, kept (with COMMON,
// which stays in GetCommonData()) for the next write: a new start hands them
// back instead of reading the older ones from the file.
struct UnwrittenNames {
  NameList scene;
  NameList album;
};
std::optional<UnwrittenNames> g_Unwritten;

CSaveDatabase& Db() { return CSaveDatabase::Instance(); }

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const { s->Release(); }
};
using SurfacePtr = std::unique_ptr<DxDraw::DxSurface, SurfaceRelease>;

// The whole picture shrunk into a 140 x 105 surface; its header and rows go into
// the slot header as the surface holds them (bottom row first).
void MakeThumbnail(DxDraw::DxSurface* picture, SlotHeader& header) {
  if (picture == nullptr || picture->GetWidth() <= 0) return;
  SurfacePtr thumb(DxDraw::CreateSurface(32));
  if (!thumb || thumb->Create(kThumbWidth, kThumbHeight) == 0) return;
  const DxDraw::RECT whole{0, 0, kThumbWidth, kThumbHeight};
  if (thumb->StretchBlt(&whole, picture, nullptr) == 0) return;
  header.thumbInfo = *thumb->GetInfoHeader();
  const size_t bytes = size_t{static_cast<size_t>(thumb->GetStride())} * kThumbHeight;
  header.thumbBits.assign(thumb->GetBits(), thumb->GetBits() + bytes);
}

// Reads the three global records without changing anything until all are read.
void ReadGlobals(NameList& sceneNames, NameList& album) {
  SaveDbLevel level;
  Db().CreateTables();
  CommonData common = GetCommonData();
  Db().ReadCommon(common);
  NameList scene = DecodeNameList(Db().ReadScene());
  NameList albumNames = DecodeNameList(Db().ReadAlbum());
  level.Close();
  GetCommonData() = common;
  sceneNames.insert(sceneNames.end(), scene.begin(), scene.end());
  album.insert(album.end(), albumNames.begin(), albumNames.end());
}

void CreateFreshFile(const NameList& sceneNames, const NameList& album) {
  SaveDbLevel level;
  Db().CreateTables();
  g_GlobalsRead = true;
  try {
    WriteGlobalData(sceneNames, album);
  } catch (...) {
    g_GlobalsRead = false;
    g_Unwritten.reset();
    throw;
  }
  level.Close();
}

// Moves `from` to the first free name of "<from>.broken", "<from>.broken2", ...
// without replacing any file; returns the new name.
std::filesystem::path MoveAside(const std::filesystem::path& from) {
  for (int n = 1;; ++n) {
    std::filesystem::path to = from;
    to += n == 1 ? ".broken" : ".broken" + std::to_string(n);
    std::error_code ec;
    if (std::filesystem::exists(to, ec)) continue;
    // link() refuses an existing target, so nothing can be overwritten.
    if (::link(from.c_str(), to.c_str()) == 0) {
      ::unlink(from.c_str());
    } else if (errno == EEXIST) {
      continue;
    } else {
      std::filesystem::rename(from, to, ec);
      if (ec) ThrowError(kSaveErrorSource, __LINE__, u"セーブファイルを開けません\n");
    }
    // A journal left beside the damaged file belongs to it, not to the new one.
    std::filesystem::path journal = from, movedJournal = to;
    journal += "-journal";
    movedJournal += "-journal";
    if (std::filesystem::exists(journal, ec)) std::filesystem::rename(journal, movedJournal, ec);
    return to;
  }
}

}  // namespace

void SetSaveFolder(std::u16string_view folder) { Db().SetFolder(folder); }

void ResetGlobalDataState() {
  g_GlobalsRead = false;
  g_Unwritten.reset();
}

void OpenSaveDataAtStart(NameList& sceneNames, NameList& album) {
  if (g_Unwritten.has_value()) {
    // The file holds older records than the ones the last write could not store.
    sceneNames.insert(sceneNames.end(), g_Unwritten->scene.begin(), g_Unwritten->scene.end());
    album.insert(album.end(), g_Unwritten->album.begin(), g_Unwritten->album.end());
    return;
  }
  g_GlobalsRead = false;
  const std::filesystem::path path = platform::WidePath(Db().FilePath());
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    CreateFreshFile(sceneNames, album);
    return;
  }
  ClearSqliteFailure();
  try {
    ReadGlobals(sceneNames, album);
  } catch (const ExceptionHandle&) {
    const int code = LastSqliteFailure();
    if (code != SQLITE_CORRUPT && code != SQLITE_NOTADB) throw;
    const std::filesystem::path moved = MoveAside(path);
    platform::ShowMessageBox(
        nullptr,
        u"セーブファイルが壊れているため読み込めません。\n" + platform::Utf8ToUtf16(moved.string()) +
            u" に移して、新しいセーブファイルを作ります。",
        u"セーブファイル", platform::MB_OK | platform::MB_ICONWARNING);
    CreateFreshFile(sceneNames, album);
    return;
  }
  g_GlobalsRead = true;
}

bool WriteGlobalData(const NameList& sceneNames, const NameList& album) {
  if (!g_GlobalsRead) return false;
  const std::vector<uint8_t> scene = EncodeNameList(sceneNames);
  const std::vector<uint8_t> albumBlob = EncodeNameList(album);
  try {
    SaveDbLevel level;
    Db().WriteCommon(GetCommonData());
    Db().WriteScene(scene);
    Db().WriteAlbum(albumBlob);
    level.Close();
  } catch (const ExceptionHandle&) {
    g_Unwritten = UnwrittenNames{sceneNames, album};
    throw;
  }
  g_Unwritten.reset();
  return true;
}

std::optional<std::u16string> ThumbnailPictureName(const SceneState& scene) {
  const SceneStateRecord& background = scene.records[kSceneBackground];
  if (background.state != 2 || background.name[0] == 0) return std::nullopt;
  const std::string_view name(background.name, strnlen(background.name, 3));
  return u"thumb/" + platform::Cp932ToUtf16(name);
}

void SaveGameToSlot(int number, std::u16string_view comment, const SaveInputs& inputs) {
  SlotHeader header;
  header.summary.comment = CutCp932(platform::Utf16ToCp932(comment), kCommentBytesMax);
  header.summary.time = LocalSlotTime();
  header.resumePage = static_cast<uint32_t>(inputs.resumePage);
  MakeThumbnail(inputs.picture, header);
  header.scene = GetSceneState();
  const std::vector<uint8_t> blob = EncodeSlotHeader(header);
  const TextScript::ScriptVarTable none;
  const std::vector<uint8_t> variables = EncodeVariables(inputs.variables ? *inputs.variables : none);

  SaveDbLevel level;
  Db().WriteHeader(number, blob);
  Db().ClearBacklog(number);
  Db().WriteValueData(number, variables);
  if (inputs.sceneNames != nullptr && inputs.album != nullptr) WriteGlobalData(*inputs.sceneNames, *inputs.album);
  level.Close();
}

int32_t LoadGameFromSlot(int number, TextScript::ScriptVarTable& live, TextScript::ScriptVarTable& snapshot) {
  SaveDbLevel level;
  const SlotHeader header = DecodeSlotHeader(Db().ReadHeader(number));
  const std::vector<VariableRecord> variables = DecodeVariables(Db().ReadValueData(number));
  level.Close();

  GetSceneState() = header.scene;
  live.Clear();
  for (const VariableRecord& v : variables) live.Insert(v.name, v.value);
  snapshot.CopyFrom(live);
  return static_cast<int32_t>(header.resumePage);
}

bool SlotLoadable(int number) {
  SaveDbLevel level;
  const std::vector<uint8_t> header = Db().ReadHeader(number);
  const std::vector<uint8_t> variables = Db().ReadValueData(number);
  level.Close();
  try {
    DecodeSlotHeader(header);
    DecodeVariables(variables);
  } catch (const ExceptionHandle&) {
    return false;
  }
  return true;
}

bool SlotExists(int number) { return Db().EntryExists(number); }

SlotSummary ReadSlotSummary(int number) { return DecodeSlotHeader(Db().ReadHeader(number)).summary; }

std::vector<uint32_t> ReadSlotThumbnail(int number) { return DecodeThumbnail(Db().ReadHeader(number)); }

void DeleteSlot(int number) { Db().DeleteEntry(number); }

void SetSlotComment(int number, std::string_view text) { Db().SetComment(number, text); }

int QuickSave(const SaveInputs& inputs) {
  SaveDbLevel level;
  SaveGameToSlot(kQuickSaveEntry, u"", inputs);
  Db().DeleteEntry(kOldestQuickEntry);
  for (int n = kOldestQuickEntry - 1; n >= kNewestQuickEntry; --n) Db().MoveEntry(n, n + 1);
  Db().MoveEntry(kQuickSaveEntry, kNewestQuickEntry);
  level.Close();
  return 1;
}

int FindLatestQuickSave() { return Db().FindQuickEntry(); }

void ReportSaveFailure(std::u16string_view what, const ExceptionHandle& error) {
  std::u16string reason(error.Message);
  while (!reason.empty() && reason.back() == u'\n') reason.pop_back();
  const std::u16string text = std::u16string(what) + u"\n" + Db().FilePath() + u"\n" + reason;
  platform::ShowMessageBox(nullptr, text, u"セーブファイル", platform::MB_OK | platform::MB_ICONERROR);
}

std::u16string DamagedSlotText(int slot) {
  return platform::FormatString(u"%d番のデータは壊れているため、ロードできません。", slot + 1);
}

void ShowDamagedSlot(int slot) {
  platform::ShowMessageBox(nullptr, DamagedSlotText(slot), u"ロード", platform::MB_OK | platform::MB_ICONWARNING);
}

}  // namespace Save
