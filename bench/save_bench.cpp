// One slot saved and loaded with a thumbnail shrunk from the 800x600 stage and
// 1,000 variables, the saves writing the global records with them as the game's
// do, and the global records alone as at the end of a game run, on a file in
// the temp folder (each save commits and syncs as in the game).
#include <unistd.h>

#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "dxdraw/dxsurface.h"
#include "platform/text.h"
#include "save/save_data.h"
#include "textscript/script_vars.h"

namespace {

class SaveFile {
 public:
  SaveFile() {
    folder_ = std::filesystem::temp_directory_path() / ("save_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    Save::SetSaveFolder(platform::Utf8ToUtf16(folder_.string()));
    Save::NameList scene, album;
    Save::OpenSaveDataAtStart(scene, album);
    stage_ = DxDraw::CreateSurface(32);
    stage_->Create(800, 600);
    for (int y = 0; y < 600; y += 20) stage_->FillRect(0, y, 800, 20, static_cast<uint32_t>(y * 0x010203), 255);
    for (int i = 0; i < 1000; ++i) vars_.Insert(u"VARIABLE" + platform::Utf8ToUtf16(std::to_string(i)), i);
    for (int i = 0; i < 200; ++i) scene_.push_back(u"SCENE" + platform::Utf8ToUtf16(std::to_string(i)));
    for (int i = 0; i < 300; ++i) album_.push_back(u"A" + platform::Utf8ToUtf16(std::to_string(i)));
  }
  ~SaveFile() {
    stage_->Release();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  Save::SaveInputs Inputs() { return {stage_, 1234, &vars_, &scene_, &album_}; }
  const Save::NameList& Scene() const { return scene_; }
  const Save::NameList& Album() const { return album_; }

 private:
  std::filesystem::path folder_;
  DxDraw::DxSurface* stage_ = nullptr;
  TextScript::ScriptVarTable vars_;
  Save::NameList scene_, album_;  // the lists of a long play: 200 scenes, 300 pictures
};

void BM_SaveSlot(benchmark::State& state) {
  SaveFile file;
  for (auto _ : state) Save::SaveGameToSlot(5, u"ベンチマーク", file.Inputs());
}
BENCHMARK(BM_SaveSlot)->Unit(benchmark::kMillisecond);

void BM_LoadSlot(benchmark::State& state) {
  SaveFile file;
  Save::SaveGameToSlot(5, u"ベンチマーク", file.Inputs());
  TextScript::ScriptVarTable live, snapshot;
  for (auto _ : state) benchmark::DoNotOptimize(Save::LoadGameFromSlot(5, live, snapshot));
}
BENCHMARK(BM_LoadSlot)->Unit(benchmark::kMillisecond);

void BM_QuickSave(benchmark::State& state) {
  SaveFile file;
  for (auto _ : state) Save::QuickSave(file.Inputs());
}
BENCHMARK(BM_QuickSave)->Unit(benchmark::kMillisecond);

void BM_WriteGlobalData(benchmark::State& state) {
  SaveFile file;
  for (auto _ : state) {
    Save::GetCommonData().lastSavedSlot = static_cast<int32_t>(state.iterations() % 99);
    if (!Save::WriteGlobalData(file.Scene(), file.Album())) state.SkipWithError("the global records were not written");
  }
}
BENCHMARK(BM_WriteGlobalData)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
