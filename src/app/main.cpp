// The program: the start-up over the real subsystems, the GTK window, the
// FreeType glyphs and the GTK slot dialog.
#include <memory>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/input.h"
#include "app/probe.h"
#include "app/settings.h"
#include "app/process.h"
#include "app/startup.h"
#include "app/winapp.h"
#include "archive/archive.h"
#include "core/exception.h"
#include "dxdraw/dxview.h"
#include "game/config.h"
#include "game/game_env.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/picture.h"
#include "game/script_app.h"
#include "game/session.h"
#include "game/stage.h"
#include "platform/font_freetype.h"
#include "platform/glyph_rasterizer.h"
#include "platform/gtk_window.h"
#include "platform/main_window.h"
#include "platform/save_dialog_gtk.h"
#include "save/save_data.h"
#include "save/save_dialog.h"
#include "sound/sound.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

namespace {

constexpr int32_t kDefaultRefreshHz = 60;

class ProgramSystems : public App::ShellSystems {
 public:
  bool LockSingleInstance() override {
    lock_ = std::make_unique<App::SingleInstanceLock>(App::kWindowClass);
    return lock_->held();
  }
  std::u16string ExecutablePath() override { return App::ExecutablePath(); }
  std::u16string DataHome() override { return App::DataHome(); }

  bool CreateMainWindow(bool debug) override {
    shell_ = platform::GtkShell::Open(std::u16string(App::kWindowClass), std::u16string(App::kProductTitle), 800, 600);
    if (!shell_) return false;
    shell_->window().SetMenu(App::MainMenu());
    if (!debug) shell_->window().RemoveTopMenu(App::kDebugMenuIndex);
    shell_->Install();
    shell_->Show();
    return true;
  }
  void DestroyMainWindow() override { shell_.reset(); }
  platform::WindowHandle MainWindowHandle() override { return shell_ ? shell_->window().Handle() : nullptr; }
  platform::IPresenter* MainPresenter() override { return shell_ ? &shell_->presenter() : nullptr; }

  uint32_t GetDirectXVersion() override { return shell_ ? 0x700 : 0; }

  // The modes this display offers: the picture's size and the monitor's own,
  // at the monitor's refresh rate, at 16, 24 and 32 bits; full screen scales
  // the picture onto the monitor.
  int InitDisplay(bool full_screen, bool select_driver, uint32_t refresh_rate) override {
    if (!shell_) return 1;
    std::vector<platform::MonitorInfo> monitors = shell_->Monitors();
    if (monitors.empty()) return 1;
    int chosen = 0;
    if (select_driver) chosen = std::max(shell_->ChooseMonitor(monitors), 0);
    shell_->UseMonitor(chosen);
    const platform::MonitorInfo& monitor = monitors[static_cast<size_t>(chosen)];
    int32_t hz = monitor.refresh_hz > 0 ? monitor.refresh_hz : kDefaultRefreshHz;
    std::vector<App::DisplayMode> modes;
    for (int32_t depth : {16, 24, 32}) {
      modes.push_back({800, 600, depth, hz});
      modes.push_back({monitor.width, monitor.height, depth, hz});
    }
    App::ModeChoice choice =
        App::ChooseDisplayMode(modes, {800, 600, 24, static_cast<int32_t>(refresh_rate)}, full_screen);
    if (choice.full_screen) shell_->window().SetFullScreen(true);
    return 0;
  }
  bool IsDisplayWindowed() override { return !platform::MainWindow().IsFullScreen(); }
  void DeleteDisplay() override {
    if (shell_) shell_->window().SetFullScreen(false);
  }

  int InitSound(const SOUNDCONFIG& config) override { return ::InitSound(MainWindowHandle(), &config); }
  void ShutdownSound() override { ::ShutdownSound(); }
  bool IsSoundEnabled() override { return ::IsSoundEnabled() != 0; }
  void LoadWaveSlot(int slot, const void* data, uint32_t size) override { ::LoadWaveSlot(slot, data, size); }
  void SetMasterVolume(int32_t attenuation) override { ::SetMasterVolume(attenuation); }
  int32_t VolumeToAttenuation(int level) override { return ::VolumeToAttenuation(level); }
  void StopChannel(int channel) override { ::StopChannel(channel); }

  bool InitInput() override {
    App::InputParams params;
    return App::InitInput(&params) != 0;
  }

  IArchive* OpenSafArchive(std::u16string_view path) override { return ::OpenSafArchive(path); }
  IArchive* OpenDirArchive(std::u16string_view folder) override { return ::OpenDirArchive(folder); }
  bool FileExists(std::u16string_view path) override { return App::FileExists(path) != 0; }

  // The game layer and the save data.
  void ApplyChannelVolumes(const App::UserSettings& settings) override {
    Game::ApplyBgmVolume(settings.game.enable_bgm);
    Game::ApplyVoiceVolume(settings.game.enable_voice);
    Game::ApplySeVolume(settings.game.enable_se);
  }
  void SetMessageSpeed(uint32_t index) override { Game::SetMessageSpeed(static_cast<int>(index)); }
  void SetAutoSpeed(uint32_t index) override { Game::SetAutoSpeed(static_cast<int>(index)); }
  uint32_t GetMessageSpeed() override { return static_cast<uint32_t>(Game::GetMessageSpeed()); }
  uint32_t GetAutoSpeed() override { return static_cast<uint32_t>(Game::GetAutoSpeed()); }
  DxDraw::DxSurface* LoadSystemPicture() override { return ScriptLoadImage(SystemArchive, u"SYSTEM", 0, 0); }
  void AttachGame(DxDraw::ssGroup* stage_parent) override {
    Game::SetStageParent(stage_parent);
    if (stage_parent != nullptr) {
      Save::SetSaveFolder(App::UserFolder());
      Save::SetSlotDialogHost(&slot_dialog_);
      Game::SetMenuSwitch(App::EnableMenuCommand);
    } else {
      Save::SetSlotDialogHost(nullptr);
      Game::SetMenuSwitch(nullptr);
    }
  }
  void LoadSystemConfig() override { ::LoadSystemConfig(); }
  // The brand logo comes with the title screens; until then the game starts without it.
  void ShowBrandLogo() override {}
  int RunGameSession(std::u16string_view script, int mode) override { return Game::RunGameSession(script, mode); }
  void EndScriptRuntime() override {
    Game::ClearScriptVariables();
    Game::EndScriptRuntime();
  }
  std::vector<std::u16string> ListFonts() override { return platform::GlyphRasterizer().ListFontFamilies(); }

  int ShowSaveLoadDialog(int mode) override {
    Save::SlotDialogController::Services services;
    services.save = [](int number, std::u16string_view comment) {
      Save::SaveInputs inputs;
      inputs.picture = StageSprite != nullptr ? StageSprite->GetImage() : nullptr;
      inputs.resumePage = static_cast<int32_t>(TextScript::CurrentPage);
      inputs.variables = &TextScript::ScriptVarSnapshot();
      Save::SaveGameToSlot(number, comment, inputs);
    };
    return Save::ShowSaveLoadDialog(mode, MainWindowHandle(), services);
  }
  void ShowNotice(std::u16string_view text, uint32_t ms) override { Game::ShowNotice(text, ms); }
  void SetLoadSlot(int slot) override { Game::SetLoadSlot(slot); }
  // The dialogs of the settings and the debug screens come with their own parts.
  void ShowVariableDialog() override {}
  void ShowFlagDialog() override {}
  void ShowSoundDialog() override {}
  void ShowSystemSettings() override {}
  void ShowNameDialog() override {}
  void ShowManual() override {}

 private:
  std::unique_ptr<App::SingleInstanceLock> lock_;
  std::unique_ptr<platform::GtkShell> shell_;
  platform::GtkSlotDialogHost slot_dialog_;
};

}  // namespace

int main(int argc, char** argv) {
  platform::FreeTypeRasterizer fonts;
  if (fonts.ok()) platform::SetGlyphRasterizer(&fonts);
  ProgramSystems systems;
  std::vector<std::string> args(argv + 1, argv + argc);
  int code = App::RunProgram(systems, args);
  platform::SetGlyphRasterizer(nullptr);
  return code;
}
