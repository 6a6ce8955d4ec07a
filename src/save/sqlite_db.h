// The SQLite layer under the save data: two small reference-counted wrappers
// (SQLite3 owns a connection, SQLite3Statement owns a prepared statement and
// keeps its connection alive) and Query, the one shape every save-data query
// takes: prepare, bind, step, read column 0.
//
// SQL texts are UTF-16 and go through the library's UTF-16 entry points, so a
// file created here has the UTF-16 text encoding the game's files always had.
//
// Failures: a statement that does not prepare, a step that fails (reading or
// writing) and a query that finds no row where one is required raise the error
// record of Type 0, source "script/scr_gui", with SQLite's message. The wrappers
// are used on the main thread only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/combase.h"

struct sqlite3;
struct sqlite3_stmt;

namespace Save {

inline constexpr char16_t kSaveErrorSource[] = u"script/scr_gui";

class SQLite3Statement;

// Raises the error record of a failed SQLite call on `line` with `text`, and
// remembers its primary result code.
[[noreturn]] void RaiseSqliteError(int line, int code, const std::u16string& text);
// The primary result code of the last error raised by this layer (SQLITE_CORRUPT,
// SQLITE_NOTADB, ...), so a caller can tell a damaged file from other failures.
int LastSqliteFailure();
// Forgets the last failure, before a call whose failures are to be told apart.
void ClearSqliteFailure();

class SQLite3 : public CComBaseT<IUnknown> {
 public:
  static constexpr GUID kIid = {0x332CD012, 0x7FD6, 0x44B9, {0x88, 0x58, 0x2D, 0x56, 0x1F, 0x41, 0xF8, 0xE5}};

  SQLite3() = default;

  // Opens (creating when missing) the database file; the SQLite result code. A
  // failed open keeps no connection, only the system's reason (OpenFailure).
  // Busy files are waited for up to `busyMs`, or until a quit is noted
  // (platform::ModalCancelRequested).
  int Open(std::u16string_view path, int busyMs);
  // Why the last Open failed, in the system's words; empty when it gave none.
  const std::u16string& OpenFailure() const { return m_OpenFailure; }
  // A new statement prepared on this connection in `out`: 0, or the SQLite
  // result code with `out` untouched.
  int Prepare(SQLite3Statement** out, const char16_t* sql, int bytes = -1, const void** tail = nullptr);
  // Runs SQL without results; the SQLite result code.
  int Exec(const char* sql);

  sqlite3* Handle() const { return m_pDB; }
  // The connection's last error message, or "out of memory" without a connection.
  std::u16string ErrorText() const;
  // The extended result code of the last failure on this connection.
  int ErrorCode() const;

  HRESULT InternalQueryInterface(const IID& iid, void** out) override;

 protected:
  ~SQLite3() override;

 private:
  // SQLite's busy handler: 1 to try again after a short sleep, 0 to give up.
  static int WaitWhileBusy(void* connection, int tries);
  // How often a busy wait looks at the quit note.
  static constexpr int kBusySleepMs = 10;

  sqlite3* m_pDB = nullptr;
  int m_BusyMs = 0;  // the longest wait for a locked file, ms
  std::u16string m_OpenFailure;
};

class SQLite3Statement : public CComBaseT<IUnknown> {
 public:
  static constexpr GUID kIid = {0x42A76924, 0x6A38, 0x423C, {0x8F, 0x86, 0xA2, 0x35, 0x33, 0xF5, 0xF5, 0x4C}};

  // Holds a reference to `owner` until destroyed.
  explicit SQLite3Statement(SQLite3* owner);

  // Prepares into this (still empty) statement; the SQLite result code.
  int Prepare(const char16_t* sql, int bytes = -1, const void** tail = nullptr);
  // One step; a busy database has already been waited for by the connection.
  int Step();

  sqlite3_stmt* Handle() const { return m_pStmt; }
  SQLite3* Owner() const { return m_pOwner; }

  HRESULT InternalQueryInterface(const IID& iid, void** out) override;

 protected:
  ~SQLite3Statement() override;

 private:
  sqlite3_stmt* m_pStmt = nullptr;
  SQLite3* m_pOwner;  // counted reference
};

// One prepared query on a connection, in the common shape of the save data.
// Blobs and texts are bound without copies: the caller's buffers must outlive
// the next Step. `line` names the query in error records.
class Query {
 public:
  // Prepares `sql`; raises the error record when it does not prepare.
  Query(SQLite3* db, const char16_t* sql, int line);

  // Parameters are numbered from 1. Bind resets the statement first when it has run.
  Query& Bind(int index, int32_t value);
  Query& Bind(int index, std::span<const uint8_t> blob);
  Query& Bind(int index, std::u16string_view text);

  // One step: true for a row, false when done; raises on any failure.
  bool Step();
  // Steps a statement that changes data; raises on failure.
  void Run() { Step(); }
  // Steps and raises the error record when there is no row.
  void RequireRow();
  // Resets the statement and clears its bindings, for the next use.
  void Reset();

  // Column values of the current row; a NULL blob is empty.
  std::span<const uint8_t> Blob(int column) const;
  bool IsNull(int column) const;
  int32_t Int(int column) const;

 private:
  [[noreturn]] void Fail() const;

  ComPtr<SQLite3Statement> m_Stmt;
  int m_Line;
  bool m_Stepped = false;
};

}  // namespace Save
