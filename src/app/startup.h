// Start-up and shut-down. The program nests four levels, each with its own
// set-up, its own catcher and its own tear-down in reverse order:
//   RunProgram   single instance, the process-wide services, the WinApp object;
//   WinAppRun    folders, the settings file, the command line, the window and
//                its menu, then RunDirectX, then the settings write-back;
//   RunDirectX   tasks, the display check, the display, sound, input, the
//                screen surface, then RunGame under a catcher;
//   RunGame      the data folder and the three archives, system sounds, the
//                SYSTEM picture, fonts, the logo and the loop of game runs.
// Every call into another subsystem goes through ShellSystems, so tests run
// the whole sequence against fakes and the program wires in the real ones.
// An entry point a build does not have yet throws MissingSubsystem; the
// start-up then stops at that step with a box naming it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"

struct IArchive;
struct SOUNDCONFIG;

namespace DxDraw {
class DxSurface;
class ssGroup;
}

namespace platform {
class IPresenter;
}

namespace App {

struct UserSettings;

// The window caption and the prefix of the exception box's caption.
inline constexpr std::u16string_view kProductTitle = u"mesrin 体験版";
// The class the single-instance lock and the window are named after.
inline constexpr std::u16string_view kWindowClass = u"MESRIN";

// Thrown by an entry point this build does not have.
struct MissingSubsystem {
  std::u16string name;
};

class ShellSystems {
 public:
  virtual ~ShellSystems() = default;

  // --- Process and window
  // False when another instance holds the lock.
  virtual bool LockSingleInstance() = 0;
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

  // --- Display (4.107, 6.106)
  // 0x700 when a display can be opened, 0 when not.
  virtual uint32_t GetDirectXVersion() = 0;
  // 0 on success. Runs the mode check and the driver choice; full screen on request.
  virtual int InitDisplay(bool full_screen, bool select_driver, uint32_t refresh_rate) = 0;
  virtual bool IsDisplayWindowed() = 0;
  virtual void DeleteDisplay() = 0;

  // --- Sound
  virtual int InitSound(const SOUNDCONFIG& config) = 0;
  virtual void ShutdownSound() = 0;
  virtual bool IsSoundEnabled() = 0;
  virtual void LoadWaveSlot(int slot, const void* data, uint32_t size) = 0;
  virtual void SetMasterVolume(int32_t attenuation) = 0;
  virtual int32_t VolumeToAttenuation(int level) = 0;
  virtual void StopChannel(int channel) = 0;

  // --- Input
  virtual bool InitInput() = 0;

  // --- Archives
  virtual IArchive* OpenSafArchive(std::u16string_view path) = 0;
  virtual IArchive* OpenDirArchive(std::u16string_view folder) = 0;
  virtual bool FileExists(std::u16string_view path) = 0;

  // --- Game layer
  virtual void ApplyChannelVolumes(const UserSettings& settings) = 0;
  virtual void SetMessageSpeed(uint32_t index) = 0;
  virtual void SetAutoSpeed(uint32_t index) = 0;
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

  // --- Menu actions of the game layer and the save data
  virtual int ShowSaveLoadDialog(int mode) = 0;  // slot, or -1
  virtual void ShowNotice(std::u16string_view text, uint32_t ms) = 0;
  virtual void SetLoadSlot(int slot) = 0;
  virtual void ShowVariableDialog() = 0;
  virtual void ShowFlagDialog() = 0;
  virtual void ShowSoundDialog() = 0;
  virtual void ShowSystemSettings() = 0;
  virtual void ShowNameDialog() = 0;
  virtual void ShowManual() = 0;
};

// The program: the three levels below it and the exit code.
int RunProgram(ShellSystems& systems, std::span<const std::string> args);

// "../data/" or "./": where the data was looked for in this run.
const std::u16string& DataFolder();
// The user folder and the settings file of this run.
const std::u16string& UserFolder();
// The fonts listed at start-up.
const std::vector<std::u16string>& FontList();
// The SYSTEM picture, kept for the whole run (null outside it).
DxDraw::DxSurface* SystemPicture();

// Gives the screen's cursor sprite row `index` (0-2) of the cursor table and
// keeps the index; an index outside the table changes nothing.
void SetCursorFrame(int index);
// The cursor row last set.
int CursorFrame();

// Creates every missing level of `path` with mode 0700. A level that cannot
// be made shows "Error: 無効なディレクトリ名です。(%s)" and throws ProgramExit{1}.
void CreateDirectoryPath(std::u16string_view path);

}  // namespace App
