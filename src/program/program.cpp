#include "program/program.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/input.h"
#include "app/probe.h"
#include "app/settings.h"
#include "app/winapp.h"
#include "archive/archive.h"
#include "backend/fonts/font_freetype.h"
#include "backend/gtk/gtk_message_box.h"
#include "backend/gtk/gtk_window.h"
#include "backend/sdl/audio_sdl.h"
#include "core/exception.h"
#include "dxdraw/dxview.h"
#include "game/config.h"
#include "game/debug_dialog.h"
#include "game/extras.h"
#include "game/game_env.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/manual.h"
#include "game/picture.h"
#include "game/script_app.h"
#include "game/settings_dialog.h"
#include "game/settings_menu.h"
#include "game/session.h"
#include "game/stage.h"
#include "game/title.h"
#include "platform/audio.h"
#include "platform/glyph_rasterizer.h"
#include "platform/main_window.h"
#include "save/save_data.h"
#include "save/save_dialog.h"
#include "sound/sound.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

namespace App {

namespace {
constexpr int32_t kDefaultRefreshHz = 60;
}  // namespace

ProgramSystems::ProgramSystems() = default;
ProgramSystems::~ProgramSystems() = default;

bool ProgramSystems::LockSingleInstance(std::u16string_view user_folder) {
  lock_ = std::make_unique<SingleInstanceLock>(kWindowClass, user_folder);
  return !lock_->another_instance();
}
void ProgramSystems::UnlockSingleInstance() { lock_.reset(); }
std::u16string ProgramSystems::ExecutablePath() { return App::ExecutablePath(); }
std::u16string ProgramSystems::DataHome() { return App::DataHome(); }

bool ProgramSystems::CreateMainWindow(bool debug) {
  shell_ = platform::GtkShell::Open(std::u16string(kWindowClass), std::u16string(kProductTitle), 800, 600);
  if (!shell_) return false;
  shell_->window().SetMenu(MainMenu());
  if (!debug) shell_->window().RemoveTopMenu(kDebugMenuIndex);
  shell_->Install();
  shell_->Show();
  return true;
}
void ProgramSystems::DestroyMainWindow() { shell_.reset(); }
platform::WindowHandle ProgramSystems::MainWindowHandle() { return shell_ ? shell_->window().Handle() : nullptr; }
platform::IPresenter* ProgramSystems::MainPresenter() { return shell_ ? &shell_->presenter() : nullptr; }

uint32_t ProgramSystems::GetDirectXVersion() { return shell_ ? 0x700 : 0; }

// The modes this display offers: the picture's size and the monitor's own,
// at the monitor's refresh rate, at 16, 24 and 32 bits; full screen scales
// the picture onto the monitor.
int ProgramSystems::InitDisplay(bool full_screen, bool select_driver, uint32_t refresh_rate) {
  if (!shell_) return 1;
  std::vector<platform::MonitorInfo> monitors = shell_->Monitors();
  if (monitors.empty()) return 1;
  // The driver dialog's Cancel (-1) keeps the first monitor.
  int chosen = 0;
  if (select_driver) chosen = std::max(shell_->ChooseMonitor(monitors), 0);
  const platform::MonitorInfo& monitor = monitors.at(static_cast<size_t>(chosen));
  shell_->UseMonitor(monitor.number);
  int32_t hz = monitor.refresh_hz > 0 ? monitor.refresh_hz : kDefaultRefreshHz;
  std::vector<DisplayMode> modes;
  for (int32_t depth : {16, 24, 32}) {
    modes.push_back({800, 600, depth, hz});
    modes.push_back({monitor.width, monitor.height, depth, hz});
  }
  ModeChoice choice =
      ChooseDisplayMode(modes, {800, 600, 24, static_cast<int32_t>(refresh_rate)}, full_screen);
  if (choice.full_screen) EnterFullScreen();
  return 0;
}
bool ProgramSystems::IsDisplayWindowed() { return !platform::MainWindow().IsFullScreen(); }
void ProgramSystems::DeleteDisplay() {
  if (shell_) shell_->window().SetFullScreen(false);
}

void ProgramSystems::PrepareSound() { platform::PrepareSdlAudioDevice(); }
// The sound engine plays through SDL's device.
int ProgramSystems::InitSound(const SOUNDCONFIG& config) {
  platform::SetAudioDeviceOpener(platform::OpenSdlAudioDevice);
  return ::InitSound(MainWindowHandle(), &config);
}
void ProgramSystems::ShutdownSound() { ::ShutdownSound(); }
bool ProgramSystems::IsSoundEnabled() { return ::IsSoundEnabled() != 0; }
void ProgramSystems::LoadWaveSlot(int slot, const void* data, uint32_t size) { ::LoadWaveSlot(slot, data, size); }
void ProgramSystems::SetMasterVolume(int32_t attenuation) { ::SetMasterVolume(attenuation); }
int32_t ProgramSystems::VolumeToAttenuation(int level) { return ::VolumeToAttenuation(level); }
void ProgramSystems::StopChannel(int channel) { ::StopChannel(channel); }

bool ProgramSystems::InitInput() {
  InputParams params;
  return App::InitInput(&params) != 0;
}

IArchive* ProgramSystems::OpenSafArchive(std::u16string_view path) { return ::OpenSafArchive(path); }
IArchive* ProgramSystems::OpenDirArchive(std::u16string_view folder) { return ::OpenDirArchive(folder); }
bool ProgramSystems::FileExists(std::u16string_view path) { return App::FileExists(path) != 0; }

// The game layer and the save data.
void ProgramSystems::ApplyChannelVolumes(const UserSettings& settings) {
  Game::ApplyBgmVolume(settings.game.enable_bgm);
  Game::ApplyVoiceVolume(settings.game.enable_voice);
  Game::ApplySeVolume(settings.game.enable_se);
}
void ProgramSystems::SetMessageSpeed(uint32_t index) { Game::SetMessageSpeed(static_cast<int>(index)); }
void ProgramSystems::SetAutoSpeed(uint32_t index) { Game::SetAutoSpeed(static_cast<int>(index)); }
uint32_t ProgramSystems::GetMessageSpeed() { return static_cast<uint32_t>(Game::GetMessageSpeed()); }
uint32_t ProgramSystems::GetAutoSpeed() { return static_cast<uint32_t>(Game::GetAutoSpeed()); }
DxDraw::DxSurface* ProgramSystems::LoadSystemPicture() { return ScriptLoadImage(SystemArchive, u"SYSTEM", 0, 0); }
void ProgramSystems::AttachGame(DxDraw::ssGroup* stage_parent) {
  Game::SetStageParent(stage_parent);
  if (stage_parent != nullptr) {
    Save::SetSaveFolder(UserFolder());
    Save::SetSlotDialogHost(&slot_dialog_);
    Game::SetMenuSwitch(EnableMenuCommand);
    Game::SetMenuTextSwitch([](uint32_t id, std::u16string_view text) {
      return platform::MainWindow().SetMenuItemText(id, text);
    });
    Game::InstallGameScreens();
    platform::SetDialogHostService(&dialog_host_);
    Game::SetDisplayHooks({[] { return platform::MainWindow().IsFullScreen(); }, [] { WinApp::ToggleFullScreen(); },
                           [] { return FontList(); }});
    Game::SetTitleScreens({[this] { return ShowSaveLoadDialog(1); },
                           [this](DxDraw::DxSurface* sheet) { Game::ShowSettingsDialog(sheet, MainWindowHandle()); }});
  } else {
    platform::SetDialogHostService(nullptr);
    Game::SetDisplayHooks({});
    Save::SetSlotDialogHost(nullptr);
    Game::SetMenuSwitch(nullptr);
    Game::SetMenuTextSwitch(nullptr);
  }
}
void ProgramSystems::LoadSystemConfig() { ::LoadSystemConfig(); }
void ProgramSystems::ShowBrandLogo() { Game::ShowBrandLogo(); }
int ProgramSystems::RunGameSession(std::u16string_view script, int mode) { return Game::RunGameSession(script, mode); }
void ProgramSystems::EndScriptRuntime() {
  Game::ClearScriptVariables();
  Game::EndScriptRuntime();
}
std::vector<std::u16string> ProgramSystems::ListFonts() { return platform::GlyphRasterizer().ListFontFamilies(); }

int ProgramSystems::ShowSaveLoadDialog(int mode) {
  Save::SlotDialogController::Services services;
  services.save = [](int number, std::u16string_view comment) { Game::SaveGameToSlot(number, comment); };
  return Save::ShowSaveLoadDialog(mode, MainWindowHandle(), services);
}
void ProgramSystems::ShowNotice(std::u16string_view text, uint32_t ms) { Game::ShowNotice(text, ms); }
void ProgramSystems::SetLoadSlot(int slot) { Game::SetLoadSlot(slot); }
// The dialogs of the settings and the debug screens come with their own parts.
void ProgramSystems::ShowVariableDialog() { Game::ShowVariableDialog(MainWindowHandle()); }
void ProgramSystems::ShowFlagDialog() { Game::ShowFlagDialog(MainWindowHandle()); }
void ProgramSystems::ShowSoundDialog() { Game::ShowSoundDialog(MainWindowHandle()); }
void ProgramSystems::ShowSystemSettings() { Game::ShowSystemSettings(MainWindowHandle()); }
void ProgramSystems::ShowNameDialog() { Game::ShowNameDialog(MainWindowHandle()); }
void ProgramSystems::ShowManual() { Game::ShowManual(); }

int RunMesrin(ShellSystems& systems, std::span<const std::string> args) {
  // Before any thread starts (the sound device's start runs on one).
  platform::GtkShell::PrepareEnvironment();
  platform::FreeTypeRasterizer fonts;
  if (fonts.ok()) platform::SetGlyphRasterizer(&fonts);
  // Boxes raised while the window is not up are real dialogs where a display opens.
  platform::GtkStartupMessageBox boxes;
  platform::IMessageBox* previous_boxes = platform::SetMessageBoxService(&boxes);
  int code = RunProgram(systems, args);
  platform::SetMessageBoxService(previous_boxes);
  platform::SetGlyphRasterizer(nullptr);
  return code;
}

}  // namespace App
