// Shared helpers of the save tests: a per-test folder holding "save.dat", the
// process-wide records reset around each test, and a plain sqlite3 view of the
// file that does not go through the engine.
#pragma once

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/exception.h"
#include "platform/text.h"
#include "save/save_data.h"
#include "save/save_database.h"

namespace save_test {

// True when `f` raises the error record of Type 0.
template <class F>
bool Raises(F f) {
  try {
    f();
  } catch (const ExceptionHandle& e) {
    return e.Type == kErrorTypeError;
  }
  return false;
}

class SaveFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    folder_ = std::filesystem::path(::testing::TempDir()) /
              ("save_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(folder_);
    Save::SetSaveFolder(platform::Utf8ToUtf16(folder_.string()));
    ResetRecords();
  }
  void TearDown() override {
    ResetRecords();
    Save::CSaveDatabase::Instance().SetBusyTimeout(5000);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  static void ResetRecords() {
    Save::ResetGlobalDataState();
    Save::GetCommonData() = Save::CommonData{};
    Save::GetSceneState() = Save::SceneState{};
  }
  std::filesystem::path File() const { return folder_ / "save.dat"; }

  std::filesystem::path folder_;
};

// A connection of the plain library to a database file, closed at the end.
class RawDb {
 public:
  explicit RawDb(const std::filesystem::path& path) {
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  }
  ~RawDb() { sqlite3_close(db_); }
  RawDb(const RawDb&) = delete;
  RawDb& operator=(const RawDb&) = delete;

  // Column 0 of every row as text (NULL as "<null>", blobs by their byte count
  // as "blob:N").
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
    while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
      switch (sqlite3_column_type(stmt, 0)) {
        case SQLITE_NULL: out.push_back("<null>"); break;
        case SQLITE_BLOB: out.push_back("blob:" + std::to_string(sqlite3_column_bytes(stmt, 0))); break;
        default: out.push_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))); break;
      }
    }
    sqlite3_finalize(stmt);
    return out;
  }
  // Column 0 of the first row as bytes.
  std::vector<uint8_t> Blob(const std::string& sql) {
    std::vector<uint8_t> out;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
    if (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, 0));
      out.assign(p, p + sqlite3_column_bytes(stmt, 0));
    }
    sqlite3_finalize(stmt);
    return out;
  }
  // Runs `sql` with `blob` bound to its one parameter.
  void Put(const std::string& sql, const std::vector<uint8_t>& blob) {
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
    sqlite3_bind_blob(stmt, 1, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE) << sql;
    sqlite3_finalize(stmt);
  }
  sqlite3* get() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace save_test
