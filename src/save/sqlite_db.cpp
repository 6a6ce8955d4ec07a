#include "save/sqlite_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/exception.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace Save {

namespace {

int g_LastFailure = SQLITE_OK;  // primary result code of the last raised failure

}  // namespace

int LastSqliteFailure() { return g_LastFailure; }

void ClearSqliteFailure() { g_LastFailure = SQLITE_OK; }

void RaiseSqliteError(int line, int code, const std::u16string& text) {
  g_LastFailure = code & 0xFF;
  ThrowError(kSaveErrorSource, line, u"%s", text.c_str());
}

// ---- SQLite3 ----

// Waits for a file another connection holds locked, in short sleeps up to the
// connection's limit; a quit (the boxes' cancel check) ends the wait at once, so
// the operation fails, writing nothing, and the program can end.
int SQLite3::WaitWhileBusy(void* connection, int tries) {
  const auto* self = static_cast<const SQLite3*>(connection);
  const int waited = tries * kBusySleepMs;
  if (waited >= self->m_BusyMs || platform::ModalCancelRequested()) return 0;
  sqlite3_sleep(std::min(kBusySleepMs, self->m_BusyMs - waited));
  return 1;
}

SQLite3::~SQLite3() {
  if (m_pDB != nullptr) sqlite3_close(m_pDB);
}

int SQLite3::Open(std::u16string_view path, int busyMs) {
  if (m_pDB != nullptr) ReportAssertion(u"save/sqlite", __LINE__, u"m_pDB == NULL");
  const std::u16string name(path);
  sqlite3* db = nullptr;
  int rc = sqlite3_open16(name.c_str(), &db);
  m_OpenFailure.clear();
  if (rc != SQLITE_OK) {
    int error = db != nullptr ? sqlite3_system_errno(db) : 0;
    // A file that can't be made is tried read-only next, and that it is missing
    // then hides why it couldn't be made: the folder tells (another user's, say).
    if (error == ENOENT) {
      if (const int folder = platform::FolderWriteError(platform::WidePath(name).parent_path())) error = folder;
    }
    if (error != 0) m_OpenFailure = platform::Utf8ToUtf16(std::strerror(error));
    // A handle comes back even from a failed open; it must still be closed.
    sqlite3_close(db);
    return rc;
  }
  sqlite3_extended_result_codes(db, 1);
  m_BusyMs = busyMs;
  sqlite3_busy_handler(db, WaitWhileBusy, this);
  m_pDB = db;
  return SQLITE_OK;
}

int SQLite3::Prepare(SQLite3Statement** out, const char16_t* sql, int bytes, const void** tail) {
  ComPtr<SQLite3Statement> stmt = ComPtr<SQLite3Statement>::Adopt(new SQLite3Statement(this));
  const int rc = stmt->Prepare(sql, bytes, tail);
  if (rc != SQLITE_OK) return rc;
  *out = stmt.detach();
  return SQLITE_OK;
}

int SQLite3::Exec(const char* sql) { return sqlite3_exec(m_pDB, sql, nullptr, nullptr, nullptr); }

std::u16string SQLite3::ErrorText() const {
  const auto* text = static_cast<const char16_t*>(sqlite3_errmsg16(m_pDB));
  return text != nullptr ? std::u16string(text) : std::u16string(u"out of memory");
}

int SQLite3::ErrorCode() const { return sqlite3_extended_errcode(m_pDB); }

HRESULT SQLite3::InternalQueryInterface(const IID& iid, void** out) {
  if (out != nullptr && IsEqualGUID(iid, kIid)) {
    AddRef();
    *out = this;
    return S_OK;
  }
  return CComBaseT<IUnknown>::InternalQueryInterface(iid, out);
}

// ---- SQLite3Statement ----

SQLite3Statement::SQLite3Statement(SQLite3* owner) : m_pOwner(owner) { m_pOwner->AddRef(); }

SQLite3Statement::~SQLite3Statement() {
  if (m_pStmt != nullptr) {
    sqlite3_clear_bindings(m_pStmt);
    sqlite3_finalize(m_pStmt);
    m_pStmt = nullptr;
  }
  m_pOwner->Release();
}

int SQLite3Statement::Prepare(const char16_t* sql, int bytes, const void** tail) {
  if (m_pStmt != nullptr) ReportAssertion(u"save/sqlite", __LINE__, u"m_pStmt==NULL");
  return sqlite3_prepare16_v2(m_pOwner->Handle(), sql, bytes, &m_pStmt, tail);
}

int SQLite3Statement::Step() { return sqlite3_step(m_pStmt); }

HRESULT SQLite3Statement::InternalQueryInterface(const IID& iid, void** out) {
  if (out != nullptr && IsEqualGUID(iid, kIid)) {
    AddRef();
    *out = this;
    return S_OK;
  }
  return CComBaseT<IUnknown>::InternalQueryInterface(iid, out);
}

// ---- Query ----

Query::Query(SQLite3* db, const char16_t* sql, int line) : m_Line(line) {
  const int rc = db->Prepare(m_Stmt.put(), sql);
  if (rc != SQLITE_OK) RaiseSqliteError(line, rc, db->ErrorText());
}

void Query::Fail() const {
  SQLite3* db = m_Stmt->Owner();
  RaiseSqliteError(m_Line, db->ErrorCode(), db->ErrorText());
}

Query& Query::Bind(int index, int32_t value) {
  if (m_Stepped) Reset();
  if (sqlite3_bind_int(m_Stmt->Handle(), index, value) != SQLITE_OK) Fail();
  return *this;
}

Query& Query::Bind(int index, std::span<const uint8_t> blob) {
  if (m_Stepped) Reset();
  // An empty span still binds an empty blob, not NULL.
  static const uint8_t kNothing = 0;
  const void* data = blob.empty() ? &kNothing : blob.data();
  if (sqlite3_bind_blob(m_Stmt->Handle(), index, data, static_cast<int>(blob.size()), SQLITE_STATIC) != SQLITE_OK)
    Fail();
  return *this;
}

Query& Query::Bind(int index, std::u16string_view text) {
  if (m_Stepped) Reset();
  const int bytes = static_cast<int>(text.size() * sizeof(char16_t));
  if (sqlite3_bind_text16(m_Stmt->Handle(), index, text.data(), bytes, SQLITE_STATIC) != SQLITE_OK) Fail();
  return *this;
}

bool Query::Step() {
  m_Stepped = true;
  const int rc = m_Stmt->Step();
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail();
}

void Query::RequireRow() {
  if (Step()) return;
  // SQLite reports no error for an empty result; name the query instead.
  const char* sql = sqlite3_sql(m_Stmt->Handle());
  RaiseSqliteError(m_Line, SQLITE_NOTFOUND, u"no row: " + platform::Utf8ToUtf16(sql != nullptr ? sql : ""));
}

void Query::Reset() {
  sqlite3_reset(m_Stmt->Handle());
  sqlite3_clear_bindings(m_Stmt->Handle());
  m_Stepped = false;
}

std::span<const uint8_t> Query::Blob(int column) const {
  sqlite3_stmt* stmt = m_Stmt->Handle();
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, column));
  const int bytes = sqlite3_column_bytes(stmt, column);
  if (data == nullptr || bytes <= 0) return {};
  return {data, static_cast<size_t>(bytes)};
}

bool Query::IsNull(int column) const { return sqlite3_column_type(m_Stmt->Handle(), column) == SQLITE_NULL; }

int32_t Query::Int(int column) const { return sqlite3_column_int(m_Stmt->Handle(), column); }

}  // namespace Save
