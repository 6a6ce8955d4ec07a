// A process killed while it saves leaves a file that opens, checks clean and holds
// each slot's old or new save, never a mix.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <thread>

#include "core/exception.h"
#include "save_test_util.h"
#include "textscript/script_vars.h"

namespace save_test {
namespace {

constexpr int kSlots = 4;

// Saves generation after generation to slots 1-4 and quick saves, forever: every
// part of a save carries the generation, so a mixed slot shows.
[[noreturn]] void SaveForever(int firstGeneration) {
  try {
    for (int generation = firstGeneration;; ++generation) {
      TextScript::ScriptVarTable vars;
      vars.Insert(u"GEN", generation);
      const std::u16string text = platform::Utf8ToUtf16(std::to_string(generation));
      const Save::SaveInputs inputs{nullptr, generation, &vars};
      Save::SaveGameToSlot(generation % kSlots + 1, text, inputs);
      if (generation % 3 == 0) Save::QuickSave(inputs);
    }
  } catch (...) {
  }
  _exit(1);
}

// The generation a slot holds, checked across header comment, page and variables;
// -1 for a mixed slot.
int GenerationOf(int number) {
  const Save::SlotHeader header = Save::DecodeSlotHeader(Save::CSaveDatabase::Instance().ReadHeader(number));
  const std::vector<Save::VariableRecord> vars =
      Save::DecodeVariables(Save::CSaveDatabase::Instance().ReadValueData(number));
  const int page = static_cast<int>(header.resumePage);
  const bool same = vars.size() == 1 && vars[0].value == page &&
                    (header.summary.comment.empty() || header.summary.comment == std::to_string(page));
  return same ? page : -1;
}

TEST_F(SaveFolderTest, SavesKilledAtRandomMomentsLeaveOldOrNewSlotsNeverAMix) {
  Save::NameList scene, album;
  Save::OpenSaveDataAtStart(scene, album);
  std::mt19937 random(12345);
  int generation = 0;
  for (int kill = 0; kill < 30; ++kill) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveForever(generation);
    std::this_thread::sleep_for(std::chrono::milliseconds(10 + random() % 90));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself";

    {
      RawDb raw(File());
      ASSERT_EQ(raw.Column("PRAGMA integrity_check"), std::vector<std::string>{"ok"}) << kill;
      ASSERT_EQ(raw.Column("SELECT count(*) - count(DISTINCT number) FROM entry"), std::vector<std::string>{"0"});
      EXPECT_TRUE(raw.Column("SELECT number FROM entry WHERE number = 100").empty());
    }
    int newest = generation;
    for (int number : {1, 2, 3, 4, 91, 92, 93, 94, 95, 96, 97, 98, 99}) {
      if (!Save::SlotExists(number)) continue;
      const int found = GenerationOf(number);
      ASSERT_GE(found, 0) << "slot " << number << " after kill " << kill;
      newest = std::max(newest, found);
    }
    generation = newest + 1;  // the next child goes on where this one stopped
  }
  EXPECT_GT(generation, 30);  // the children did save between the kills
}

}  // namespace
}  // namespace save_test
