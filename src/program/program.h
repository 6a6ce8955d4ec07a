// The real subsystems behind the start-up: the GTK window and its display, the
// sound engine, input, the archives, the game layer and the save data.
#pragma once

#include <memory>

#include "app/process.h"
#include "app/startup.h"
#include "backend/gtk/gtk_dialogs.h"
#include "backend/gtk/save_dialog_gtk.h"

namespace platform {
class GtkShell;
}

namespace App {

class ProgramSystems : public ShellSystems {
 public:
  ProgramSystems();
  ~ProgramSystems() override;

  // The process and the GTK window.
  bool LockSingleInstance(std::u16string_view user_folder) override;
  void UnlockSingleInstance() override;
  std::u16string ExecutablePath() override;
  std::u16string DataHome() override;
  bool CreateMainWindow(bool debug) override;
  void DestroyMainWindow() override;
  platform::WindowHandle MainWindowHandle() override;
  platform::IPresenter* MainPresenter() override;

  // The display, sound, input and the data files.
  uint32_t GetDirectXVersion() override;
  int InitDisplay(bool full_screen, bool select_driver, uint32_t refresh_rate) override;
  bool IsDisplayWindowed() override;
  void DeleteDisplay() override;

  void PrepareSound() override;
  int InitSound(const SOUNDCONFIG& config) override;
  void ShutdownSound() override;
  bool IsSoundEnabled() override;
  void LoadWaveSlot(int slot, const void* data, uint32_t size) override;
  void SetMasterVolume(int32_t attenuation) override;
  int32_t VolumeToAttenuation(int level) override;
  void StopChannel(int channel) override;
  bool InitInput() override;

  IArchive* OpenSafArchive(std::u16string_view path) override;
  IArchive* OpenDirArchive(std::u16string_view folder) override;
  bool FileExists(std::u16string_view path) override;

  // The game layer.
  void ApplyChannelVolumes(const UserSettings& settings) override;
  uint32_t GetMessageSpeed() override;
  uint32_t GetAutoSpeed() override;
  DxDraw::DxSurface* LoadSystemPicture() override;
  void AttachGame(DxDraw::ssGroup* stage_parent) override;
  void LoadSystemConfig() override;
  void ShowBrandLogo() override;
  int RunGameSession(std::u16string_view script, int mode) override;
  void EndScriptRuntime() override;
  std::vector<std::u16string> ListFonts() override;

  // The menu's actions on the game layer and the save data.
  void SetMessageSpeed(uint32_t index) override;
  void SetAutoSpeed(uint32_t index) override;
  int ShowSaveLoadDialog(int mode) override;
  void ShowNotice(std::u16string_view text, uint32_t ms) override;
  void SetLoadSlot(int slot) override;
  void ShowVariableDialog() override;
  void ShowFlagDialog() override;
  void ShowSoundDialog() override;
  void ShowSystemSettings() override;
  void ShowNameDialog() override;
  void ShowManual() override;

 private:
  std::unique_ptr<SingleInstanceLock> lock_;
  std::unique_ptr<platform::GtkShell> shell_;
  platform::GtkSlotDialogHost slot_dialog_;
  platform::GtkDialogHost dialog_host_;
};

// The program's entry: the FreeType glyphs and the boxes of a program without
// its window installed around RunProgram.
int RunMesrin(ShellSystems& systems, std::span<const std::string> args);

}  // namespace App
