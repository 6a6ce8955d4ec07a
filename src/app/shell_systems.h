// What the shell asks of the subsystems around it, split by who asks:
//   IShellProcess  the process and the main window (the outer start-up levels);
//   IShellDevices  display, sound, input and the data files (the device level
//                  and the game level of the start-up);
//   IGameHooks     the game layer's entry points the start-up calls;
//   IMenuActions   what the menu commands open or set (the window procedure).
// ShellSystems joins the four: the program implements it over the real
// subsystems, the tests over fakes that note each call, and the start-up runs
// the same sequence against either.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"

struct IArchive;
struct SOUNDCONFIG;

namespace DxDraw {
class DxSurface;
class ssGroup;
}  // namespace DxDraw

namespace platform {
class IPresenter;
}

namespace App {

struct UserSettings;

class IShellProcess {
 public:
  // False when another instance holds the lock kept in the per-user folder.
  virtual bool LockSingleInstance(std::u16string_view user_folder) = 0;
  // Lets the lock go as the program ends, leaving no lock file behind.
  virtual void UnlockSingleInstance() {}
  // The running executable's full path.
  virtual std::u16string ExecutablePath() = 0;
  // The per-user data home ("$XDG_DATA_HOME" or "~/.local/share"); empty without a home.
  virtual std::u16string DataHome() = 0;
  // Makes the main window with menu 110 (the debug menu only with `debug`) and
  // installs it; false when there is no display.
  virtual bool CreateMainWindow(bool debug) = 0;
  virtual void DestroyMainWindow() = 0;
  virtual platform::WindowHandle MainWindowHandle() = 0;
  // Where the screen presents (the window's picture).
  virtual platform::IPresenter* MainPresenter() = 0;

 protected:
  ~IShellProcess() = default;
};

class IShellDevices {
 public:
  // --- Display
  // Named after the version check it stands in for; it answers whether the
  // main window, and so a display, exists: 0x700 when it does, 0 when not.
  virtual uint32_t GetDirectXVersion() = 0;
  // 0 on success. Runs the mode check and the driver choice; full screen on request.
  virtual int InitDisplay(bool full_screen, bool select_driver, uint32_t refresh_rate) = 0;
  virtual bool IsDisplayWindowed() = 0;
  // The display's tear-down; the window stays until the program ends, so all
  // it does is leave full screen.
  virtual void DeleteDisplay() = 0;

  // --- Sound
  // Lets the sound device start getting ready while the window opens; InitSound
  // still opens it. Nothing to do where the device opens at once.
  virtual void PrepareSound() {}
  virtual int InitSound(const SOUNDCONFIG& config) = 0;
  virtual void ShutdownSound() = 0;
  virtual bool IsSoundEnabled() = 0;
  virtual void LoadWaveSlot(int slot, const void* data, uint32_t size) = 0;
  virtual void SetMasterVolume(int32_t attenuation) = 0;
  virtual int32_t VolumeToAttenuation(int level) = 0;
  virtual void StopChannel(int channel) = 0;

  // --- Input
  virtual bool InitInput() = 0;

  // --- Archives and files
  virtual IArchive* OpenSafArchive(std::u16string_view path) = 0;
  virtual IArchive* OpenDirArchive(std::u16string_view folder) = 0;
  virtual bool FileExists(std::u16string_view path) = 0;

 protected:
  ~IShellDevices() = default;
};

class IGameHooks {
 public:
  virtual void ApplyChannelVolumes(const UserSettings& settings) = 0;
  // The speeds the game layer holds at the end of the run (its own settings
  // screen may have changed them), for the settings file.
  virtual uint32_t GetMessageSpeed() = 0;
  virtual uint32_t GetAutoSpeed() = 0;
  // The SYSTEM picture of the system archive (one reference for the caller).
  virtual DxDraw::DxSurface* LoadSystemPicture() = 0;
  // Hands the game layer the group its stage hangs in and the menu switch; null takes them back.
  virtual void AttachGame(DxDraw::ssGroup* stage_parent) = 0;
  virtual void LoadSystemConfig() = 0;
  virtual void ShowBrandLogo() = 0;
  virtual int RunGameSession(std::u16string_view script, int mode) = 0;
  // ClearScriptVariables, then EndScriptRuntime.
  virtual void EndScriptRuntime() = 0;
  // The Japanese fixed-pitch faces for the settings dialog.
  virtual std::vector<std::u16string> ListFonts() = 0;

 protected:
  ~IGameHooks() = default;
};

class IMenuActions {
 public:
  // The message and auto speed items (indices 0-3 and 0-4); the start-up sets
  // the saved ones the same way.
  virtual void SetMessageSpeed(uint32_t index) = 0;
  virtual void SetAutoSpeed(uint32_t index) = 0;
  virtual int ShowSaveLoadDialog(int mode) = 0;  // slot, or -1
  virtual void ShowNotice(std::u16string_view text, uint32_t ms) = 0;
  virtual void SetLoadSlot(int slot) = 0;
  virtual void ShowVariableDialog() = 0;
  virtual void ShowFlagDialog() = 0;
  virtual void ShowSoundDialog() = 0;
  virtual void ShowSystemSettings() = 0;
  virtual void ShowNameDialog() = 0;
  virtual void ShowManual() = 0;

 protected:
  ~IMenuActions() = default;
};

class ShellSystems : public IShellProcess, public IShellDevices, public IGameHooks, public IMenuActions {
 public:
  virtual ~ShellSystems() = default;
};

}  // namespace App
