#include "app/startup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iterator>

#include "app/cmdline.h"
#include "app/frame.h"
#include "app/input.h"
#include "app/process.h"
#include "app/settings.h"
#include "app/winapp.h"
#include "archive/archive.h"
#include "core/act.h"
#include "core/exception.h"
#include "dxdraw/drawview.h"
#include "dxdraw/dxscreen.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/pixel.h"
#include "platform/file.h"
#include "platform/main_window.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/wformat.h"
#include "sound/sound.h"

namespace App {

namespace {

constexpr std::u16string_view kUserSubfolder = u"/quelvastor/mesrin_trial";
constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
constexpr uint32_t kRequiredDirectX = 0x700;
// Shown instead of the DirectX box when no display could be opened at all.
constexpr std::u16string_view kNeedsDisplay =
    u"ディスプレイを開けません。このプログラムはグラフィカルセッション (X11 または Wayland) の中で起動してください。";
constexpr const char16_t* kSystemSoundNames[] = {u"SUBMIT.WAV", u"CANCEL.WAV"};
// Commands greyed before every game run, and while the logo shows.
constexpr uint32_t kGreyedPerRun[] = {kCommandBackToTitle, kCommandSave, kCommandLoad, kCommandVariables};
constexpr uint32_t kGreyedDuringLogo[] = {kCommandSoundSettings, kCommandSystemSettings, kCommandChangeName};

// The cursor's frames in its picture: size, the point at the pointer, source.
constexpr DxDraw::SPRITEFRAME kCursorFrames[] = {
    {16, 16, 0, 0, {0, 0, 16, 16}, 0},
    {16, 16, 4, 0, {16, 0, 32, 16}, 0},
    {16, 16, 8, 8, {112, 0, 128, 16}, 0},
};

// What one run of the program holds; cleared at its end.
struct ShellState {
  std::u16string program_path;
  std::u16string program_directory;
  std::u16string user_folder;
  std::u16string settings_path;
  std::u16string data_folder;
  DxDraw::DxSurface* system_picture = nullptr;
  DxDraw::DxScreenSurface* screen = nullptr;  // the screen of the running DirectX level
  ShellSystems* running = nullptr;            // the systems while that screen is up
  int cursor_frame = 0;                       // row of kCursorFrames the cursor sprite shows
  std::vector<std::u16string> fonts;
  bool window_made = false;  // CreateMainWindow found a display
  int exit_code = 0;  // set by a start that must end non-zero after an orderly shut-down
};

ShellState& State() {
  static ShellState state;
  return state;
}

void ShowError(IShellProcess& sys, const std::u16string& text) {
  // After a quit signal a box would close as soon as it opened, unseen (one
  // that waited for a click would hold up a logout): the text goes to stderr.
  if (QuitSignalReceived() != 0) return platform::WriteBoxToStderr(u"エラー", text);
  platform::ShowMessageBox(sys.MainWindowHandle(), text, u"エラー", platform::MB_OK);
}

// The box of a failure that ends the program (an error record's fields, or a
// library's message), captioned with the product title.
void ShowExceptionBox(platform::WindowHandle owner, const std::u16string& report) {
  MessageBoxF(owner, (std::u16string(kProductTitle) + u" Exception Error").c_str(), u"%s", report.c_str());
}

// The per-user folder of the settings, the save file and the instance lock:
// under the data home, or the program's own folder without a home.
std::u16string UserFolderOf(IShellProcess& sys) {
  std::u16string home = sys.DataHome();
  return home.empty() ? ProgramDirectory(sys.ExecutablePath()) : home + std::u16string(kUserSubfolder);
}

std::u16string WithSlash(std::u16string folder) {
  if (!folder.empty() && folder.back() != u'/') folder += u'/';
  return folder;
}

void ReleaseArchives() {
  for (IArchive** archive : {&SystemArchive, &ScriptArchive, &SoundArchive}) {
    if (*archive != nullptr) (*archive)->Release();
    *archive = nullptr;
  }
}

// Stops every stream channel, whatever plays on it (music, effects, voice), not
// only the system sounds.
void StopSystemSounds(IShellDevices& sys) {
  for (int channel = 0; channel < kStreamChannelCount; ++channel) sys.StopChannel(channel);
}

void LoadSystemSounds(IShellDevices& sys) {
  if (!sys.IsSoundEnabled()) return;
  for (int slot = 0; slot < 2; ++slot) {
    uint32_t size = 0;
    void* data = LoadArchiveFile(SystemArchive, kSystemSoundNames[slot], nullptr, &size);
    if (data == nullptr) continue;
    sys.LoadWaveSlot(slot, data, size);
    std::free(data);
  }
}

// The system's reason why the archive file or folder at `path` did not open,
// on a line of its own; empty when nothing is there, so a missing archive is
// told without one.
std::u16string UnreadableReason(std::u16string_view path, bool folder) {
  const std::string native = platform::Utf16ToUtf8(path);
  struct stat st;
  int error = 0;
  if (::stat(native.c_str(), &st) != 0) {
    error = errno == ENOENT ? 0 : errno;
  } else if (S_ISDIR(st.st_mode) != folder) {
    error = folder ? ENOTDIR : EISDIR;
  } else if (const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) {
    ::close(fd);
  } else {
    error = errno;
  }
  return error == 0 ? std::u16string() : u"\n" + platform::Utf8ToUtf16(std::strerror(error));
}

void GreyCommands(std::span<const uint32_t> ids) {
  for (uint32_t id : ids) EnableMenuCommand(id, false);
}

void EnableCommands(std::span<const uint32_t> ids) {
  for (uint32_t id : ids) EnableMenuCommand(id, true);
}

// Level 4: the data, the system resources, the logo and the game runs.
void RunGameBody(ShellSystems& sys) {
  ShellState& state = State();
  UserSettings& settings = Settings();
  state.data_folder = sys.FileExists(u"system.saf") ? u"./" : u"../data/";
  const std::u16string& data = state.data_folder;
  // Every archive is checked, the system one too: the sounds and the SYSTEM
  // picture come from it. The player learns which file is missing or damaged.
  auto open = [&](IArchive*& archive, std::u16string_view name, bool folder) {
    const std::u16string path = platform::Utf8ToUtf16(
        std::filesystem::absolute(platform::WidePath(data + std::u16string(name))).lexically_normal().string());
    std::u16string damaged;
    try {
      archive = folder ? sys.OpenDirArchive(path) : sys.OpenSafArchive(path);
    } catch (const ExceptionHandle& record) {
      damaged = record.Message;
      if (damaged.starts_with(path + u": ")) damaged.erase(0, path.size() + 2);
    }
    if (archive != nullptr) return;
    std::u16string box = damaged.empty() ? platform::FormatString(u"データがありません。(%s)", path.c_str())
                                         : platform::FormatString(u"データが壊れています。(%s)\n%s", path.c_str(),
                                                                  damaged.c_str());
    // One that is there but can't be read says why (a folder in its place, a mode that forbids it).
    if (damaged.empty()) box += UnreadableReason(path, folder);
    ShowError(sys, box);
    state.exit_code = 1;
    throw MakeError(u"main", 522, kErrorTypeQuit, nullptr, u"データがありません。");
  };
  open(SystemArchive, u"system.saf", false);
  if (sys.FileExists(data + u"script/data/_start.txt") && !settings.options.archives_always) {
    open(ScriptArchive, u"script/data", true);
    open(SoundArchive, u"script/sound", true);
  } else {
    open(ScriptArchive, u"script.saf", false);
    open(SoundArchive, u"sound.saf", false);
  }
  LoadSystemSounds(sys);
  LinkACT(15, MakeACT(FrameCounterProc, 0));
  state.system_picture = sys.LoadSystemPicture();
  state.fonts = sys.ListFonts();
  sys.SetMasterVolume(sys.VolumeToAttenuation(settings.game.main_volume * 255 / 100));
  sys.LoadSystemConfig();
  GreyCommands(kGreyedPerRun);
  GreyCommands(kGreyedDuringLogo);
  try {
    sys.ShowBrandLogo();
  } catch (const ScriptException&) {
    // A request made while the logo shows has no script to go to: the game starts.
  } catch (const ExceptionHandle& record) {
    // A broken logo is shown once and ends the program, as a broken title does.
    if (record.Type == kErrorTypeQuit) throw;
    ShowError(sys, platform::FormatString(u"%s(%d): %s", record.Source, record.Line, record.Message));
    state.exit_code = 1;
    return;
  }
  EnableCommands(kGreyedDuringLogo);
  int r = 0;
  do {
    GreyCommands(kGreyedPerRun);
    r = sys.RunGameSession(u"_start.txt", r);
    StopSystemSounds(sys);
  } while (r > 0);
  // The title failed and its error was shown: the program ends there.
  if (r < 0) state.exit_code = 1;
}

void RunGame(ShellSystems& sys) {
  // The tear-down runs on every way out, then the record goes on.
  struct TearDown {
    ShellSystems& sys;
    ~TearDown() {
      ShellState& s = State();
      s.fonts.clear();
      if (s.system_picture != nullptr) s.system_picture->Release();
      s.system_picture = nullptr;
      sys.EndScriptRuntime();
      StopSystemSounds(sys);
      ReleaseArchives();
    }
  } tear_down{sys};
  RunGameBody(sys);
}

// Level 3: devices, the screen, then the game. 0 after a run, 1 after a start
// that could not run (no display, a display, sound or input that failed).
int RunDirectX(ShellSystems& sys, Frame& frame) {
  UserSettings& settings = Settings();
  InitACT();
  if (!State().window_made) {
    ShowError(sys, std::u16string(kNeedsDisplay));
    TermACT();
    return 1;
  }
  uint32_t version = sys.GetDirectXVersion();
  DebugPrintf(u"DirectX=%X\n", version);
  if (version < kRequiredDirectX) {
    ShowError(sys, u"このゲームをプレイするには DirectX7か、それ以上のバーションをインストールする必要があります。");
    TermACT();
    return 1;
  }
  if (sys.InitDisplay(settings.game.full_screen != 0, settings.options.select_driver,
                      settings.words.refresh_rate) != 0) {
    sys.DeleteDisplay();
    ShowError(sys, u"ディスプレイの初期化に失敗しました。");
    TermACT();
    return 1;
  }
  if (!sys.IsDisplayWindowed()) platform::MainWindow().SetMenuBarVisible(false);
  DxDraw::InitDxDraw();
  if (settings.options.simd_off) DxDraw::SetSimdEnabled(0);

  DxDraw::DrawGroup* root = new DxDraw::DrawGroup();
  root->SetPosition(0, 0);

  SOUNDCONFIG config{};
  config.enable = settings.sound_enable;
  switch (settings.words.sound_freq) {
    case 1: config.samplesPerSec = 22050; break;
    case 2: config.samplesPerSec = 11025; break;
    default: config.samplesPerSec = 44100; break;
  }
  config.channels = 2;
  config.bitsPerSample = 16;
  config.cooperativeLevel = 2;
  config.highPriority = settings.words.sound_priority > 0 ? 1 : 0;
  config.segmentPlayer = 0;
  StreamSize = settings.words.stream_size;
  if (sys.InitSound(config) != 0) {
    root->Release();
    sys.DeleteDisplay();
    TermACT();
    return 1;
  }
  if (!sys.InitInput()) {
    root->Release();
    sys.DeleteDisplay();
    sys.ShutdownSound();
    TermACT();
    return 1;
  }

  DxDraw::DxScreenSurface32* screen = nullptr;
  // The devices go in reverse order on every way out; only RunGame's records
  // are caught here, any other goes on to the program's catcher.
  auto tear_down = [&] {
    sys.AttachGame(nullptr);
    frame.SetRoot(nullptr);
    frame.SetScreen(nullptr);
    State().screen = nullptr;
    State().running = nullptr;
    if (screen != nullptr) screen->Release();
    TermACT();
    root->Release();
    settings.windowed = sys.IsDisplayWindowed() ? 1 : 0;
    sys.DeleteDisplay();
    sys.ShutdownSound();
  };
  try {
    sys.ApplyChannelVolumes(settings);
    CheckMenuRadio(kCommandMessageSpeedFirst, kCommandMessageSpeedLast, MessageSpeedCommand(settings.words.message_wait));
    sys.SetMessageSpeed(settings.words.message_wait);
    CheckMenuRadio(kCommandAutoSpeedFirst, kCommandAutoSpeedLast, AutoSpeedCommand(settings.words.message_skip));
    sys.SetAutoSpeed(settings.words.message_skip);

    screen = new DxDraw::DxScreenSurface32();
    screen->Resize(kScreenWidth, kScreenHeight);
    State().screen = screen;
    State().running = &sys;
    SetCursorFrame(0);
    CheckMenuRadio(kCommandDrawSpeedFirst, kCommandDrawSpeedLast, DrawSpeedCommand(settings.words.skip_frame));
    root->AddChild(screen);
    frame.SetRoot(root);
    frame.SetPresenter(sys.MainPresenter());
    frame.SetScreen(screen);
    frame.StartDrawSpeed(settings.words.skip_frame);
    sys.AttachGame(screen);
    try {
      RunGame(sys);
    } catch (const ExceptionHandle& record) {
      // A quit ends silently; any other record is shown, and the program ends
      // with 1 after the orderly shut-down, so neither player nor launcher takes it for success.
      if (record.Type != kErrorTypeQuit) {
        DebugReportException(record);
        ShowExceptionBox(sys.MainWindowHandle(), FormatExceptionReport(record));
        State().exit_code = 1;
      }
    } catch (const ScriptException&) {
      // A request with no script left to take it ends the run like a quit.
    }
  } catch (...) {
    tear_down();
    throw;
  }
  tear_down();
  return 0;
}

// Writes every setting but "Options" over the settings file as it is now (lines
// and keys of other hands stay), replacing it atomically.
void WriteSettingsFile(ShellSystems& sys) {
  const ShellState& state = State();
  platform::Profile latest = platform::Profile::Load(platform::WidePath(state.settings_path));
  WriteSettings(latest, Settings(), sys.GetMessageSpeed(), sys.GetAutoSpeed());
  std::error_code why;
  if (!latest.Save(platform::WidePath(state.settings_path), {}, &why)) {
    // The old file stays whole; the player learns that the changes are lost.
    ShowError(sys, u"設定を保存できませんでした。\n" + state.settings_path + u"\n" + platform::Utf8ToUtf16(why.message()));
  }
}

// Level 2: folders, settings, command line, window; RunDirectX; the write-back.
int WinAppRun(ShellSystems& sys, std::span<const std::string> args) {
  ShellState& state = State();
  UserSettings& settings = Settings();
  std::u16string executable = sys.ExecutablePath();
  std::vector<std::string> argv;
  argv.push_back(platform::Utf16ToUtf8(executable));
  argv.insert(argv.end(), args.begin(), args.end());
  std::u16string command_line = QuoteArguments(argv);
  // The program's own path is taken whole from the system, not from the first
  // token: the token limit would cut a deep install path.
  state.program_path = executable;
  state.program_directory = ProgramDirectory(executable);

  state.user_folder = UserFolderOf(sys);
  CreateDirectoryPath(WithSlash(state.user_folder));
  state.settings_path = WithSlash(state.user_folder) + std::u16string(kSettingsFileName);
  platform::Profile profile = platform::Profile::Load(platform::WidePath(state.settings_path));
  ReadSettings(profile, settings);
  if (!settings.extra_options.empty()) command_line += u" " + settings.extra_options;
  ParseCommandLine(command_line, settings);

  if (settings.sound_enable != 0) sys.PrepareSound();
  state.window_made = sys.CreateMainWindow(settings.options.debug_level != 0);
  if (!state.program_directory.empty() && ::chdir(platform::Utf16ToUtf8(state.program_directory).c_str()) != 0) {
    DebugPrintf(u"chdir failed: %s\n", state.program_directory.c_str());
  }

  Frame frame;
  Frame* previous_frame = SetCurrentFrame(&frame);
  WinApp app(sys, frame);
  frame.SetWindowProc(&app);
  InstallScriptFrame();
  struct Restore {
    Frame* previous;
    ~Restore() { SetCurrentFrame(previous); }
  } restore{previous_frame};
  // A start that could not run ends non-zero and leaves the settings file as it was.
  if (RunDirectX(sys, frame) != 0) return 1;

  WriteSettingsFile(sys);
  return state.exit_code;
}

}  // namespace

void CreateDirectoryPath(std::u16string_view path) {
  const std::string native = platform::Utf16ToUtf8(path);
  int error = 0;
  for (std::size_t at = 1; at <= native.size() && error == 0; ++at) {
    if (at < native.size() && native[at] != '/') continue;
    if (at < native.size() && at + 1 < native.size() && native[at + 1] == '/') continue;
    std::string prefix = native.substr(0, at);
    struct stat st;
    if (::stat(prefix.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) error = ENOTDIR;
    } else if (errno != ENOENT || ::mkdir(prefix.c_str(), 0700) != 0) {
      error = errno;
    }
  }
  // A folder that is there but can't take files (another user's, as after a
  // start under sudo) fails the same way, before anything is written in it.
  if (error == 0) error = platform::FolderWriteError(native);
  if (error == 0) return;
  // The system's reason tells the player what to mend (a folder of another
  // user, a file where a folder should be).
  platform::ShowMessageBox(nullptr, platform::FormatString(u"Error: 無効なディレクトリ名です。(%s)\n%s",
                                                           std::u16string(path).c_str(),
                                                           platform::Utf8ToUtf16(std::strerror(error)).c_str()),
                           u"エラー", platform::MB_ICONWARNING);
  throw ProgramExit{1};
}

int RunProgram(ShellSystems& sys, std::span<const std::string> args) {
  if (!sys.LockSingleInstance(UserFolderOf(sys))) return 0;
  QuitSignals signals;
  State() = ShellState();
  Settings() = UserSettings();
  int code = 0;
  try {
    code = WinAppRun(sys, args);
  } catch (const ExceptionHandle& record) {
    if (record.Type != kErrorTypeQuit) ShowExceptionBox(nullptr, FormatExceptionReport(record));
    code = 1;
  } catch (const ProgramExit& exit) {
    code = exit.code;
  } catch (const std::exception& error) {
    // A library's failure (memory, the file system) ends the program the same
    // way as a record, never silently.
    ShowExceptionBox(nullptr, platform::Utf8ToUtf16(error.what()));
    code = 1;
  }
  sys.DestroyMainWindow();
  sys.UnlockSingleInstance();
  return code;
}

void WriteSettingsNow() {
  ShellState& state = State();
  if (state.running == nullptr) return;
  Settings().windowed = state.running->IsDisplayWindowed() ? 1 : 0;
  WriteSettingsFile(*state.running);
}

const std::u16string& DataFolder() { return State().data_folder; }
const std::u16string& UserFolder() { return State().user_folder; }
const std::vector<std::u16string>& FontList() { return State().fonts; }
DxDraw::DxSurface* SystemPicture() { return State().system_picture; }

void SetCursorFrame(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kCursorFrames))) return;
  State().cursor_frame = index;
  DxDraw::DxScreenSurface* screen = State().screen;
  if (screen != nullptr && screen->GetCursorSprite() != nullptr) screen->GetCursorSprite()->SetFrame(&kCursorFrames[index]);
}

int CursorFrame() { return State().cursor_frame; }

}  // namespace App
