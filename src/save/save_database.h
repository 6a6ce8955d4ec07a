// The save database "save.dat" in the per-user folder: two tables, `global`
// (the rows 'SCENE', 'ALBUM' and 'COMMON', ids 1-3, each with a blob) and
// `entry` (one row per saved game, found by its `number`).
//
// Transactions: every save-data operation holds a SaveDbLevel for its length.
// The first level opens the file and begins a transaction, the last commits it
// and closes the file, so an operation called inside another joins the outer
// transaction. A level left by an exception abandons the whole transaction: the
// outermost level rolls it back (and a level that would still commit after an
// inner one was abandoned rolls back and raises instead), so a failed save never
// leaves half a slot.
//
// Failures raise the error record of Type 0, source "script/scr_gui" (see
// sqlite_db.h). Main thread only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "save/save_types.h"

namespace Save {

class SQLite3;

class CSaveDatabase {
 public:
  static CSaveDatabase& Instance();

  // The per-user folder holding "save.dat"; set by the shell before any use.
  void SetFolder(std::u16string_view folder);
  // The database file's path.
  std::u16string FilePath() const;
  // How long an operation waits for a file another connection holds locked
  // before it fails (5 seconds unless set).
  void SetBusyTimeout(int milliseconds) { m_BusyTimeoutMs = milliseconds; }

  // Opens a level: the first one opens the file ("セーブファイルを開けません\n"
  // when it cannot be opened) and begins the transaction.
  void Open();
  // Closes a level: the last one commits (raising, after a rollback, when the
  // commit fails or an inner level was abandoned) and closes the file.
  void Close();
  // Closes a level that an exception is leaving: the transaction is abandoned.
  void CloseGuard() noexcept;
  int OpenCount() const { return m_OpenCount; }
  // The open connection; null while closed.
  SQLite3* Connection() const { return m_pDB; }

  // ---- Schema and global records ----

  // Creates whichever of the two tables and the three global rows is missing,
  // with the statements the file format fixes.
  void CreateTables();
  void WriteCommon(const CommonData& data);
  // Fills `data` from the COMMON blob (a short blob fills its own length).
  void ReadCommon(CommonData& data);
  void WriteScene(std::span<const uint8_t> blob);
  std::vector<uint8_t> ReadScene();
  void WriteAlbum(std::span<const uint8_t> blob);
  std::vector<uint8_t> ReadAlbum();
  void WriteValueData(int number, std::span<const uint8_t> blob);
  std::vector<uint8_t> ReadValueData(int number);

  // ---- Slot rows ----

  // Updates the row's header, or inserts the row.
  void WriteHeader(int number, std::span<const uint8_t> header);
  // The header blob of the row; raises when there is no row.
  std::vector<uint8_t> ReadHeader(int number);
  // Sets the row's backlog column to NULL.
  void ClearBacklog(int number);
  bool EntryExists(int number);
  void DeleteEntry(int number);
  // Renumbers row `from` as `to`, replacing a row already numbered `to`; nothing
  // when `from` has no row.
  void MoveEntry(int from, int to);
  // Replaces the comment inside the stored header; nothing without a row or for
  // a header of the wrong size.
  void SetComment(int number, std::string_view text);
  // The slot index (number - 1) of the first of rows 91-99 present, or -1.
  int FindQuickEntry();

 private:
  CSaveDatabase() = default;
  void WriteGlobal(const char16_t* sql, int line, std::span<const uint8_t> blob);
  std::vector<uint8_t> ReadGlobal(const char16_t* sql, int line);
  void Finish(bool commit);

  std::u16string m_Folder;
  int m_BusyTimeoutMs = 5000;
  int m_OpenCount = 0;
  SQLite3* m_pDB = nullptr;  // counted reference while open
  bool m_Abandoned = false;  // an inner level was left by an exception
};

// A level of the save database for one scope: Close() commits it; a level
// destroyed without Close() (an exception passing) abandons the transaction.
class SaveDbLevel {
 public:
  SaveDbLevel() { CSaveDatabase::Instance().Open(); }
  ~SaveDbLevel() {
    if (!m_Closed) CSaveDatabase::Instance().CloseGuard();
  }
  SaveDbLevel(const SaveDbLevel&) = delete;
  SaveDbLevel& operator=(const SaveDbLevel&) = delete;

  void Close() {
    m_Closed = true;
    CSaveDatabase::Instance().Close();
  }
  SQLite3* Connection() const { return CSaveDatabase::Instance().Connection(); }

 private:
  bool m_Closed = false;
};

}  // namespace Save
