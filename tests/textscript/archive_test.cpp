// A script and its "iv.txt" read from a packed archive, compiled and run.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "archive/archive.h"
#include "safwriter.h"
#include "script_test_util.h"

namespace {

using namespace TextScript;
using namespace textscript_test;

class ScratchFile {
 public:
  ScratchFile()
      : m_Path(std::filesystem::temp_directory_path() /
               ("textscript_" + std::to_string(::getpid()) + ".saf")) {}
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(m_Path, ignored);
  }
  const std::filesystem::path& Path() const { return m_Path; }

 private:
  std::filesystem::path m_Path;
};

TEST(ScriptFromArchive, CompilesLoadsTablesAndRuns) {
  VarsReset vars;
  std::string iv;
  for (int i = 0; i < kJumpTableSize; ++i) iv += "route" + std::to_string(i) + " // fallback\r\n";
  iv += "#0\r\nbad\r\nSCORE << 2\r\n#0\r\ngood\r\nSCORE >= 2\r\n";
  const std::string script = Sjis(u"序章\r\n") + "\r\n.PST score + 1\r\n.PST score + 1\r\n.IVG 0\r\n" +
                             "\r\n.LAB bad\r\n.PST result = 1\r\n.END\r\n" +
                             "\r\n.LAB good\r\n.PST result = 2\r\n";

  safpack::SafWriter writer;
  writer.AddFile(u"iv.txt", iv, true);
  writer.AddFile(u"scenario/_start.txt", script, true);
  ScratchFile file;
  ASSERT_TRUE(writer.Write(file.Path()));

  IArchive* archive = OpenSafArchive(platform::Utf8ToUtf16(file.Path().string()));
  ASSERT_NE(archive, nullptr);
  uint32_t length = 0;
  char* ivText = LoadArchiveTextFile(archive, u"IV.TXT", nullptr, &length);
  char* scriptText = LoadArchiveTextFile(archive, u"scenario\\_start.txt");
  archive->Release();
  ASSERT_NE(ivText, nullptr);
  ASSERT_NE(scriptText, nullptr);
  EXPECT_EQ(length, iv.size());

  ScriptStateGroup group;
  group.LoadTables(ivText);
  group.Compile(scriptText, u"_start.txt");
  std::free(ivText);
  std::free(scriptText);

  EXPECT_EQ(group.JudgeTable().GetCount(), 2);
  EXPECT_EQ(group.Run(-1), 0);
  EXPECT_EQ(ScriptVars().GetValue(u"RESULT", 0), 2);
  EXPECT_EQ(ScriptVars().GetValue(u"SCORE", 0), 2);
}

}  // namespace
