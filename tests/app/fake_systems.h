// Subsystems of the shell that note each call, for the start-up and menu tests.
#pragma once

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/startup.h"
#include "app/winapp.h"
#include "archive/archive.h"
#include "dxdraw/dxscreen.h"
#include "platform/file.h"
#include "platform/main_window.h"
#include "platform/presenter.h"
#include "platform/text.h"
#include "sound/sound.h"

namespace App {

namespace fs = std::filesystem;

// Subsystems that note each call; `fail` names the step that fails and `hook`
// may act at any named step (throw, answer).
class FakeSystems : public ShellSystems {
 public:
  explicit FakeSystems(fs::path root = {}) : root_(std::move(root)), presenter_(800, 600) {}

  std::vector<std::string> calls;
  std::string fail;
  std::map<std::string, std::function<void()>> hooks;
  std::vector<int> session_results{0};
  std::vector<int> session_modes;
  std::u16string lock_folder;  // where the instance lock was asked for

  // How many times the step was called.
  long Called(const std::string& call) const { return std::count(calls.begin(), calls.end(), call); }
  void Note(const std::string& call) {
    calls.push_back(call);
    auto it = hooks.find(call);
    if (it != hooks.end()) it->second();
  }
  bool Fails(const std::string& call) {
    Note(call);
    return fail == call;
  }

  bool LockSingleInstance(std::u16string_view user_folder) override {
    lock_folder = user_folder;
    return !Fails("Lock");
  }
  std::u16string ExecutablePath() override { return platform::Utf8ToUtf16((root_ / "bin" / "mesrin").string()); }
  std::u16string DataHome() override {
    // "Home": a home under a file, where no folder can be made.
    return platform::Utf8ToUtf16((root_ / (fail == "Home" ? "data/system.saf/share" : "home")).string());
  }
  bool CreateMainWindow(bool debug) override {
    Note(debug ? "Window(debug)" : "Window");
    if (fail == "Window") return false;  // no display
    platform::MainWindow().SetMenu(MainMenu());
    if (!debug) platform::MainWindow().RemoveTopMenu(kDebugMenuIndex);
    return true;
  }
  void DestroyMainWindow() override { Note("DestroyWindow"); }
  platform::WindowHandle MainWindowHandle() override { return nullptr; }
  platform::IPresenter* MainPresenter() override { return &presenter_; }
  uint32_t GetDirectXVersion() override { return Fails("DirectX") ? 0 : 0x700; }
  // Full screen is the main window's, as the program's display makes it.
  int InitDisplay(bool full, bool, uint32_t) override {
    if (full) platform::MainWindow().SetFullScreen(true);
    return Fails(full ? "Display(full)" : "Display") ? 1 : 0;
  }
  bool IsDisplayWindowed() override { return !platform::MainWindow().IsFullScreen(); }
  // The display leaves full screen as it goes, as a real one does.
  void DeleteDisplay() override {
    Note("DeleteDisplay");
    platform::MainWindow().SetFullScreen(false);
  }
  int InitSound(const SOUNDCONFIG& config) override {
    sound_rate = config.samplesPerSec;
    return Fails("Sound") ? 1 : 0;
  }
  void ShutdownSound() override { Note("ShutdownSound"); }
  bool IsSoundEnabled() override { return true; }
  void LoadWaveSlot(int slot, const void* data, uint32_t size) override {
    Note("Wave" + std::to_string(slot));
    waves[slot].assign(static_cast<const char*>(data), size);
  }
  void SetMasterVolume(int32_t attenuation) override {
    Note("MasterVolume");
    master_level = attenuation;
  }
  int32_t VolumeToAttenuation(int level) override { return level; }  // the level passes through unchanged
  void StopChannel(int) override {}
  bool InitInput() override { return !Fails("Input"); }
  IArchive* OpenSafArchive(std::u16string_view path) override {
    // Anything but a file with bytes goes to the real reader: missing, a folder, damaged.
    const fs::path file = platform::WidePath(path);
    if (!fs::is_regular_file(file) || fs::file_size(file) == 0) return ::OpenSafArchive(path);
    return ::OpenDirArchive(platform::Utf8ToUtf16(root_.string()));
  }
  IArchive* OpenDirArchive(std::u16string_view folder) override {
    Note("DirArchive");
    return ::OpenDirArchive(folder);
  }
  bool FileExists(std::u16string_view path) override { return fs::exists(platform::WidePath(path)); }
  void ApplyChannelVolumes(const UserSettings&) override { Note("Volumes"); }
  void SetMessageSpeed(uint32_t i) override { Note("MessageSpeed" + std::to_string(i)); }
  void SetAutoSpeed(uint32_t i) override { Note("AutoSpeed" + std::to_string(i)); }
  uint32_t GetMessageSpeed() override { return 1; }
  uint32_t GetAutoSpeed() override { return 4; }
  DxDraw::DxSurface* LoadSystemPicture() override {
    Note("SystemPicture");
    return nullptr;
  }
  void AttachGame(DxDraw::ssGroup* parent) override {
    Note(parent != nullptr ? "AttachGame" : "DetachGame");
    if (auto* screen = dynamic_cast<DxDraw::DxScreenSurface*>(parent)) skip_counter = screen->GetSkipCounter();
  }
  void LoadSystemConfig() override { Note("Config"); }
  void ShowBrandLogo() override { Note("Logo"); }
  int RunGameSession(std::u16string_view, int mode) override {
    session_modes.push_back(mode);
    Note("Session");
    int r = session_results.front();
    if (session_results.size() > 1) session_results.erase(session_results.begin());
    return r;
  }
  void EndScriptRuntime() override { Note("EndScript"); }
  std::vector<std::u16string> ListFonts() override { return {u"IPAGothic"}; }
  int ShowSaveLoadDialog(int mode) override {
    Note("SaveLoad" + std::to_string(mode));
    return dialog_answer;
  }
  void ShowNotice(std::u16string_view, uint32_t ms) override { Note("Notice" + std::to_string(ms)); }
  void SetLoadSlot(int slot) override { Note("LoadSlot" + std::to_string(slot)); }
  void ShowVariableDialog() override { Note("Variables"); }
  void ShowFlagDialog() override { Note("Flags"); }
  void ShowSoundDialog() override { Note("SoundDialog"); }
  void ShowSystemSettings() override { Note("SystemSettings"); }
  void ShowNameDialog() override { Note("NameDialog"); }
  void ShowManual() override { Note("Manual"); }

  uint32_t sound_rate = 0;
  std::map<int, std::string> waves;  // each system sound slot's wave data
  int32_t master_level = -1;         // the level given to the master volume
  int32_t skip_counter = -1;         // the screen's skip counter when the game is attached
  int dialog_answer = -1;

 private:
  fs::path root_;
  platform::HeadlessPresenter presenter_;
};

}  // namespace App
