// Opens arbitrary bytes as "save.dat" the way a game run starts, then lists and
// loads every slot: nothing may crash, and errors must arrive as error records.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/exception.h"
#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "save/save_data.h"
#include "save/save_database.h"
#include "textscript/script_vars.h"

namespace {

class NoBoxes : public platform::IMessageBox {
 public:
  int Show(platform::WindowHandle, std::u16string_view, std::u16string_view, uint32_t flags) override {
    return platform::DefaultAnswer(flags);
  }
};

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    // A memory file system where there is one: each run writes and syncs files.
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::filesystem::path p = base / ("save_file_fuzz_" + std::to_string(getpid()));
    Save::SetSaveFolder(platform::Utf8ToUtf16(p.string()));
    platform::SetDebugSink([](std::u16string_view) {});
    static NoBoxes boxes;
    platform::SetMessageBoxService(&boxes);
    return p;
  }();
  return folder;
}

// The folder exists only while a run uses it, so nothing is left behind.
void MakeFolder() { std::filesystem::create_directories(Folder()); }
void RemoveFolder() {
  std::error_code ec;
  std::filesystem::remove_all(Folder(), ec);
}

// A real file with global records, a slot and a quick save, written into the
// corpus folder (the first argument that is not a flag) so the fuzzer starts
// from the file format rather than from noise.
void WriteSeed(const char* corpus) {
  MakeFolder();
  Save::NameList scene{u"SCENE01"}, album{u"A01", u"B02"};
  Save::OpenSaveDataAtStart(scene, album);
  TextScript::ScriptVarTable vars;
  vars.Insert(u"FLAG", 3);
  Save::SaveGameToSlot(5, u"seed", {nullptr, 12, &vars});
  Save::QuickSave({nullptr, 13, &vars});
  Save::WriteGlobalData(scene, album);
  Save::ResetGlobalDataState();
  std::filesystem::copy_file(Folder() / "save.dat", std::filesystem::path(corpus) / "seed_save_dat",
                             std::filesystem::copy_options::overwrite_existing);
  RemoveFolder();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  for (int i = 1; i < *argc; ++i) {
    if ((*argv)[i][0] != '-' && std::filesystem::is_directory((*argv)[i])) {
      WriteSeed((*argv)[i]);
      break;
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MakeFolder();
  std::ofstream(Folder() / "save.dat", std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  Save::GetCommonData() = Save::CommonData{};
  Save::NameList scene, album;
  try {
    Save::OpenSaveDataAtStart(scene, album);
    {
      // One level for the whole walk: the file is opened once.
      Save::SaveDbLevel level;
      for (int number = 1; number <= 100; ++number) {
        try {
          if (!Save::SlotExists(number)) continue;
          Save::ReadSlotSummary(number);
          Save::ReadSlotThumbnail(number);
          TextScript::ScriptVarTable live, snapshot;
          Save::LoadGameFromSlot(number, live, snapshot);
        } catch (const ExceptionHandle&) {
        }
      }
      Save::FindLatestQuickSave();
      level.Close();
    }
    Save::WriteGlobalData(scene, album);
  } catch (const ExceptionHandle&) {
  }
  RemoveFolder();
  return 0;
}
