#include "save/save_database.h"

#include <sqlite3.h>

#include <algorithm>

#include "core/exception.h"
#include "save/save_blobs.h"
#include "save/sqlite_db.h"

namespace Save {

namespace {

constexpr char16_t kCreateGlobal[] =
    u"CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT, value_text TEXT, value_bin BLOB);";
constexpr char16_t kCreateEntry[] =
    u"CREATE TABLE entry (id INTEGER PRIMARY KEY, number INTEGER, header BLOB, backlog BLOB, value_data BLOB);";
constexpr char16_t kSelectHeader[] = u"SELECT header FROM entry WHERE number=?;";
constexpr char16_t kUpdateHeader[] = u"UPDATE entry SET header=? WHERE number=?;";
constexpr char16_t kSelectNumber[] = u"SELECT number FROM entry WHERE number=?;";
constexpr char16_t kDeleteEntry[] = u"DELETE FROM entry WHERE number=?;";

constexpr int kFirstQuickEntry = 91;
constexpr int kLastQuickEntry = 99;

std::vector<uint8_t> Copy(std::span<const uint8_t> blob) { return {blob.begin(), blob.end()}; }

}  // namespace

CSaveDatabase& CSaveDatabase::Instance() {
  static CSaveDatabase database;
  return database;
}

void CSaveDatabase::SetFolder(std::u16string_view folder) { m_Folder = folder; }

std::u16string CSaveDatabase::FilePath() const {
  std::u16string path = m_Folder;
  if (!path.empty() && path.back() != u'/' && path.back() != u'\\') path += u'/';
  return path + u"save.dat";
}

void CSaveDatabase::Open() {
  if (++m_OpenCount > 1) return;
  ComPtr<SQLite3> db = ComPtr<SQLite3>::Adopt(new SQLite3);
  if (const int rc = db->Open(FilePath(), m_BusyTimeoutMs); rc != SQLITE_OK) {
    m_OpenCount = 0;
    RaiseSqliteError(__LINE__, rc, u"セーブファイルを開けません\n" + db->OpenFailure());
  }
  if (db->Exec("BEGIN;") != SQLITE_OK) {
    m_OpenCount = 0;
    RaiseSqliteError(__LINE__, db->ErrorCode(), db->ErrorText());
  }
  m_pDB = db.detach();
  m_Abandoned = false;
}

void CSaveDatabase::Finish(bool commit) {
  ComPtr<SQLite3> db = ComPtr<SQLite3>::Adopt(std::exchange(m_pDB, nullptr));
  m_OpenCount = 0;
  if (commit && db->Exec("COMMIT;") == SQLITE_OK) return;
  const int code = db->ErrorCode();
  const std::u16string text = db->ErrorText();
  // A failed COMMIT may leave the transaction open; nothing of it is kept.
  db->Exec("ROLLBACK;");
  if (commit) RaiseSqliteError(__LINE__, code, text);
}

void CSaveDatabase::Close() {
  if (m_OpenCount <= 0 || m_pDB == nullptr) {
    ReportAssertion(u"save/sqlite", __LINE__, u"m_pDB");
    return;
  }
  if (--m_OpenCount > 0) return;
  if (m_Abandoned) {
    m_Abandoned = false;
    Finish(false);
    ThrowError(kSaveErrorSource, __LINE__, u"the save data was not written: an operation inside it failed");
  }
  Finish(true);
}

void CSaveDatabase::CloseGuard() noexcept {
  if (m_OpenCount <= 0 || m_pDB == nullptr) return;
  m_Abandoned = true;
  if (--m_OpenCount > 0) return;
  m_Abandoned = false;
  Finish(false);
}

// ---- Schema and global records ----

void CSaveDatabase::CreateTables() {
  SaveDbLevel level;
  Query tables(m_pDB, u"SELECT name FROM sqlite_master WHERE type='table' AND name=?;", __LINE__);
  for (const char16_t* name : {u"global", u"entry"}) {
    tables.Bind(1, std::u16string_view(name));
    if (!tables.Step()) Query(m_pDB, name[0] == u'g' ? kCreateGlobal : kCreateEntry, __LINE__).Run();
    tables.Reset();
  }
  Query exists(m_pDB, u"SELECT id FROM global WHERE name=?;", __LINE__);
  Query insert(m_pDB, u"INSERT INTO global(name) VALUES(?);", __LINE__);
  for (const char16_t* name : {u"SCENE", u"ALBUM", u"COMMON"}) {
    exists.Bind(1, std::u16string_view(name));
    if (!exists.Step()) {
      insert.Bind(1, std::u16string_view(name));
      insert.Run();
      insert.Reset();
    }
    exists.Reset();
  }
  level.Close();
}

void CSaveDatabase::WriteGlobal(const char16_t* sql, int line, std::span<const uint8_t> blob) {
  SaveDbLevel level;
  Query(m_pDB, sql, line).Bind(1, blob).Run();
  level.Close();
}

std::vector<uint8_t> CSaveDatabase::ReadGlobal(const char16_t* sql, int line) {
  SaveDbLevel level;
  Query query(m_pDB, sql, line);
  query.RequireRow();
  std::vector<uint8_t> blob = Copy(query.Blob(0));
  level.Close();
  return blob;
}

void CSaveDatabase::WriteCommon(const CommonData& data) {
  WriteGlobal(u"UPDATE global SET value_bin=? WHERE name='COMMON';", __LINE__, EncodeCommon(data));
}

void CSaveDatabase::ReadCommon(CommonData& data) {
  DecodeCommon(ReadGlobal(u"SELECT value_bin FROM global WHERE name='COMMON';", __LINE__), data);
}

void CSaveDatabase::WriteScene(std::span<const uint8_t> blob) {
  WriteGlobal(u"UPDATE global SET value_bin=? WHERE name='SCENE';", __LINE__, blob);
}

std::vector<uint8_t> CSaveDatabase::ReadScene() {
  return ReadGlobal(u"SELECT value_bin FROM global WHERE name='SCENE';", __LINE__);
}

void CSaveDatabase::WriteAlbum(std::span<const uint8_t> blob) {
  WriteGlobal(u"UPDATE global SET value_bin=? WHERE name='ALBUM';", __LINE__, blob);
}

std::vector<uint8_t> CSaveDatabase::ReadAlbum() {
  return ReadGlobal(u"SELECT value_bin FROM global WHERE name='ALBUM';", __LINE__);
}

void CSaveDatabase::WriteValueData(int number, std::span<const uint8_t> blob) {
  SaveDbLevel level;
  Query(m_pDB, u"UPDATE entry SET value_data=? WHERE number=?;", __LINE__).Bind(1, blob).Bind(2, number).Run();
  level.Close();
}

std::vector<uint8_t> CSaveDatabase::ReadValueData(int number) {
  SaveDbLevel level;
  Query query(m_pDB, u"SELECT value_data FROM entry WHERE number=?;", __LINE__);
  query.Bind(1, number).RequireRow();
  std::vector<uint8_t> blob = Copy(query.Blob(0));
  level.Close();
  return blob;
}

// ---- Slot rows ----

void CSaveDatabase::WriteHeader(int number, std::span<const uint8_t> header) {
  SaveDbLevel level;
  if (EntryExists(number)) {
    Query(m_pDB, kUpdateHeader, __LINE__).Bind(1, header).Bind(2, number).Run();
  } else {
    Query(m_pDB, u"INSERT INTO entry(number,header) VALUES(?,?);", __LINE__).Bind(1, number).Bind(2, header).Run();
  }
  level.Close();
}

std::vector<uint8_t> CSaveDatabase::ReadHeader(int number) {
  SaveDbLevel level;
  Query query(m_pDB, kSelectHeader, __LINE__);
  query.Bind(1, number).RequireRow();
  std::vector<uint8_t> blob = Copy(query.Blob(0));
  level.Close();
  return blob;
}

void CSaveDatabase::ClearBacklog(int number) {
  SaveDbLevel level;
  // Parameter 1 stays unbound, so the column becomes NULL.
  Query(m_pDB, u"UPDATE entry SET backlog=? WHERE number=?;", __LINE__).Bind(2, number).Run();
  level.Close();
}

bool CSaveDatabase::EntryExists(int number) {
  SaveDbLevel level;
  const bool found = Query(m_pDB, kSelectNumber, __LINE__).Bind(1, number).Step();
  level.Close();
  return found;
}

void CSaveDatabase::DeleteEntry(int number) {
  SaveDbLevel level;
  Query(m_pDB, kDeleteEntry, __LINE__).Bind(1, number).Run();
  level.Close();
}

void CSaveDatabase::MoveEntry(int from, int to) {
  SaveDbLevel level;
  if (EntryExists(from)) {
    // Two rows must never share a number: the target goes first.
    DeleteEntry(to);
    Query(m_pDB, u"UPDATE entry SET number=? WHERE number=?;", __LINE__).Bind(1, to).Bind(2, from).Run();
  }
  level.Close();
}

void CSaveDatabase::SetComment(int number, std::string_view text) {
  SaveDbLevel level;
  Query select(m_pDB, kSelectHeader, __LINE__);
  if (select.Bind(1, number).Step() && select.Blob(0).size() == kSlotHeaderBytes) {
    std::vector<uint8_t> stored = Copy(select.Blob(0));
    select.Reset();
    PutSlotComment(stored, text);
    Query(m_pDB, kUpdateHeader, __LINE__).Bind(1, stored).Bind(2, number).Run();
  }
  level.Close();
}

int CSaveDatabase::FindQuickEntry() {
  SaveDbLevel level;
  Query query(m_pDB, kSelectHeader, __LINE__);
  int found = -1;
  for (int number = kFirstQuickEntry; number <= kLastQuickEntry && found < 0; ++number) {
    if (query.Bind(1, number).Step()) found = number - 1;
  }
  level.Close();
  return found;
}

}  // namespace Save
