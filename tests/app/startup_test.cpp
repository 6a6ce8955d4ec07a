#include "app/startup.h"
#include "app/fake_systems.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "app/cmdline.h"
#include "app/frame.h"
#include "app/process.h"
#include "app/settings.h"
#include "app/winapp.h"
#include "archive/archive.h"
#include "core/exception.h"
#include "platform/debug_output.h"
#include "platform/event_source.h"
#include "platform/file.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/presenter.h"
#include "platform/text.h"
#include "sound/sound.h"
#include "support/another_user.h"

namespace App {
namespace {

// A program folder "bin", data in "data", the user's home in "home"; the
// current folder, the message boxes and the main window are restored afterwards.
class StartupTest : public ::testing::Test {
 protected:
  StartupTest()
      : root_(fs::temp_directory_path() / ("shell_startup_" + std::to_string(::getpid()))),
        cwd_(fs::current_path()) {
    fs::remove_all(root_);
    MakeInstall(root_);
    previous_box_ = platform::SetMessageBoxService(nullptr);
    ResetBoxes();
    previous_window_ = platform::SetMainWindow(&window_);
    previous_sink_ = platform::SetDebugSink([](std::u16string_view) {});
  }
  ~StartupTest() override {
    fs::current_path(cwd_);
    platform::SetMessageBoxService(previous_box_);
    platform::SetMainWindow(previous_window_);
    platform::SetDebugSink(previous_sink_);
    fs::remove_all(root_);
  }

  // The program folder and the three archives of an install at `root`.
  static void MakeInstall(const fs::path& root) {
    fs::create_directories(root / "bin");
    fs::create_directories(root / "data");
    for (const char* name : {"system.saf", "script.saf", "sound.saf"}) std::ofstream(root / "data" / name) << "x";
  }
  fs::path SettingsFile() const { return root_ / "home" / "quelvastor" / "mesrin_trial" / "mesrin.ini"; }
  void WriteSettingsFile(const std::string& text) {
    fs::create_directories(SettingsFile().parent_path());
    std::ofstream(SettingsFile()) << text;
  }
  std::string SettingsText() const {
    std::ifstream in(SettingsFile());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void ResetBoxes() {
    boxes_ = std::make_unique<platform::HeadlessMessageBox>();
    boxes_->SetEcho(false);
    platform::SetMessageBoxService(boxes_.get());
  }
  std::vector<std::u16string> BoxTexts() const {
    std::vector<std::u16string> texts;
    for (const auto& b : boxes_->shown()) texts.push_back(b.text);
    return texts;
  }
  int Run(FakeSystems& sys, std::vector<std::string> args = {}) { return RunProgram(sys, args); }

  fs::path root_;
  fs::path cwd_;
  std::unique_ptr<platform::HeadlessMessageBox> boxes_;
  platform::HeadlessMainWindow window_;
  platform::IMessageBox* previous_box_;
  platform::IMainWindow* previous_window_;
  platform::DebugSink previous_sink_;
};

TEST_F(StartupTest, NormalRunCallsEveryStepInOrderAndWritesTheSettings) {
  std::ofstream(root_ / "SUBMIT.WAV") << "submit";
  std::ofstream(root_ / "CANCEL.WAV") << "cancel";
  FakeSystems sys(root_);
  sys.session_results = {3, 1, 0};
  EXPECT_EQ(Run(sys), 0);
  const std::vector<std::string> expected = {
      "Lock", "Window", "DirectX", "Display", "Sound", "Input", "Volumes", "MessageSpeed2", "AutoSpeed3",
      "AttachGame", "Wave0", "Wave1", "SystemPicture", "MasterVolume", "Config", "Logo", "Session", "Session",
      "Session", "EndScript", "DetachGame", "DeleteDisplay", "ShutdownSound", "DestroyWindow"};
  EXPECT_EQ(sys.calls, expected);
  EXPECT_EQ(sys.session_modes, (std::vector<int>{0, 3, 1}));
  EXPECT_EQ(sys.sound_rate, 44100u);
  EXPECT_EQ(sys.waves, (std::map<int, std::string>{{0, "submit"}, {1, "cancel"}}));
  EXPECT_EQ(sys.master_level, 50 * 255 / 100);
  EXPECT_EQ(sys.skip_counter, 0) << "SkipFrame 1 presents every frame";
  EXPECT_EQ(fs::current_path(), fs::canonical(root_ / "bin"));
  EXPECT_EQ(DataFolder(), u"../data/");
  EXPECT_EQ(FontList(), (std::vector<std::u16string>{}));  // cleared by the tear-down
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_EQ(fs::status(SettingsFile().parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(sys.lock_folder, platform::Utf8ToUtf16(SettingsFile().parent_path().string()));
  std::string text = SettingsText();
  EXPECT_NE(text.find("FullScreen=0\n"), std::string::npos);
  EXPECT_NE(text.find("MessageWait=1\n"), std::string::npos);
  EXPECT_NE(text.find("MessageSkip=4\n"), std::string::npos);
  // The menu after the run: the scenario commands greyed, the settings ones back.
  EXPECT_FALSE(IsMenuCommandEnabled(kCommandBackToTitle));
  EXPECT_FALSE(IsMenuCommandEnabled(kCommandStepBack));
  EXPECT_TRUE(IsMenuCommandEnabled(kCommandSystemSettings));
  EXPECT_TRUE(window_.IsMenuItemChecked(40018));
  EXPECT_TRUE(window_.IsMenuItemChecked(40023));
  EXPECT_TRUE(window_.IsMenuItemChecked(40004));
  EXPECT_FALSE(window_.HasItem(kCommandVariables));
}

// A start that cannot run shows why, ends non-zero and leaves the settings file as it was.
TEST_F(StartupTest, EachFailureShowsItsBoxAndEndsWithItsCode) {
  const std::u16string home = platform::Utf8ToUtf16((root_ / "data/system.saf/share").string());
  struct Row {
    const char* fail;
    std::string settings;
    std::vector<std::string> args;
    std::u16string box;  // empty: none
    int exit_code;
    const char* last_device_call;  // the last of DeleteDisplay/ShutdownSound, or ""
  } rows[] = {
      {"Lock", "", {}, u"", 0, ""},
      {"Window", "", {}, u"ディスプレイを開けません。このプログラムはグラフィカルセッション (X11 または Wayland) の中で起動してください。", 1, ""},
      {"DirectX", "", {}, u"このゲームをプレイするには DirectX7か、それ以上のバーションをインストールする必要があります。", 1, ""},
      {"Display(full)", "[mesrin]\nFullScreen=1\n", {}, u"ディスプレイの初期化に失敗しました。", 1, "DeleteDisplay"},
      {"Sound", "", {}, u"", 1, "DeleteDisplay"},
      {"Input", "", {}, u"", 1, "ShutdownSound"},
      // The system's reason comes with the folder.
      {"Home", "", {}, u"Error: 無効なディレクトリ名です。(" + home + u"/quelvastor/mesrin_trial/)\nNot a directory", 1, ""},
      {"", "", {"@/no/such/file"}, u"File not found '/no/such/file'", 1, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fail);
    fs::remove_all(root_ / "home");
    if (!row.settings.empty()) WriteSettingsFile(row.settings);
    ResetBoxes();
    FakeSystems sys(root_);
    sys.fail = row.fail;
    EXPECT_EQ(Run(sys, row.args), row.exit_code);
    std::vector<std::u16string> expected_boxes;
    if (!row.box.empty()) expected_boxes.push_back(row.box);
    EXPECT_EQ(BoxTexts(), expected_boxes);
    EXPECT_EQ(SettingsText(), row.settings);
    std::string last;
    for (const std::string& c : sys.calls) {
      if (c == "DeleteDisplay" || c == "ShutdownSound") last = c;
    }
    EXPECT_EQ(last, row.last_device_call);
    EXPECT_EQ(sys.Called("Session"), 0);
  }
}

// A user folder that is there but another user's (as after a start under sudo)
// ends the start as one that can't be made, before the settings or the lock are
// written in it.
TEST_F(StartupTest, AUserFolderOfAnotherUserEndsTheStartWithItsReason) {
  const fs::path folder = SettingsFile().parent_path();
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
  std::optional<SingleInstanceLock> lock;
  FakeSystems sys(root_);
  sys.hooks["Lock"] = [&] { lock.emplace(kWindowClass, platform::Utf8ToUtf16(folder.string())); };
  boxes_->SetEcho(true);
  EXPECT_EXIT({ BecomeAnotherUser(); std::_Exit(Run(sys)); }, ::testing::ExitedWithCode(1),
              "無効なディレクトリ名です。\\(" + folder.string() + "/\\)\nPermission denied");
  EXPECT_TRUE(fs::is_empty(folder));
}

// Settings that can't be written at the end are shown with the file and the
// reason; the file in the way stays as it was. After a quit signal, when a box
// would close unseen, the same text goes to stderr.
TEST_F(StartupTest, SettingsThatCantBeWrittenAreShownWithTheirPathAndReason) {
  fs::create_directories(SettingsFile());
  const std::u16string text =
      u"設定を保存できませんでした。\n" + platform::Utf8ToUtf16(SettingsFile().string()) + u"\nIs a directory";
  for (bool by_signal : {false, true}) {
    SCOPED_TRACE(by_signal ? "quit signal" : "normal end");
    ResetBoxes();
    FakeSystems sys(root_);
    if (by_signal) sys.hooks["Session"] = [] { ::raise(SIGTERM); WaitNextFrame(); };
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(sys), 0);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors, by_signal ? "[エラー] " + platform::Utf16ToUtf8(text) + "\n" : "");
    EXPECT_EQ(BoxTexts(), by_signal ? std::vector<std::u16string>{} : std::vector<std::u16string>{text});
    EXPECT_TRUE(fs::is_directory(SettingsFile()));
    EXPECT_FALSE(fs::exists(SettingsFile().string() + ".tmp"));
  }
}

TEST_F(StartupTest, MissingOrDamagedDataNamesTheFileAndEndsNonZeroInOrder) {
  for (const char* name : {"system.saf", "script.saf", "sound.saf"}) {
    const fs::path file = root_ / "data" / name;
    const std::u16string path = platform::Utf8ToUtf16(file.string());
    // Missing, empty, a folder in its place (there, but not a file that can be read).
    const std::u16string boxes[] = {u"データがありません。(" + path + u")",
                                    u"データが壊れています。(" + path + u")\n未対応のSAF形式です",
                                    u"データがありません。(" + path + u")\nIs a directory"};
    for (int kind = 0; kind < 3; ++kind) {
      SCOPED_TRACE(std::string(name) + " " + std::to_string(kind));
      fs::remove_all(root_ / "home");
      fs::remove(file);
      if (kind == 1) std::ofstream(file).close();
      if (kind == 2) fs::create_directory(file);
      ResetBoxes();
      FakeSystems sys(root_);
      EXPECT_EQ(Run(sys), 1);
      EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{boxes[kind]});
      EXPECT_TRUE(fs::exists(SettingsFile()));
      EXPECT_EQ(sys.Called("Session"), 0);
      EXPECT_EQ(sys.calls.back(), "DestroyWindow");
      fs::remove(file);
      std::ofstream(file) << "x";
    }
  }
}

// Raises a signal in the game run; the next frame must end the run as a quit.
std::function<void()> SignalThenFrame(int number) {
  return [number] {
    ::raise(number);
    WaitNextFrame();
    ThrowError(u"frame", 0, u"the frame went on after the signal");
  };
}

TEST_F(StartupTest, RecordsEndTheRunAtTheirLevel) {
  struct Row {
    const char* step;
    std::function<void()> raise;
    int exit_code;
    std::u16string box_prefix;
    bool written;
    std::vector<int> sessions = {0};  // what the game cycles return, in turn
    int cycles = -1;                  // the game cycles run (-1: not counted)
  } rows[] = {
      // A record leaving the run is shown; the program shuts down in order and ends with 1.
      {"Session", [] { ThrowError(u"script", 1, u"bad"); }, 1, u"Type: 0\r\nSource: script\r\nLine: 1", true},
      {"Session", [] { throw MakeQuitRecord(kQuitLinePump); }, 0, u"", true},
      // A logout, a terminal closing or `kill` ends the program as a quit does.
      {"Session", SignalThenFrame(SIGTERM), 0, u"", true},
      {"Session", SignalThenFrame(SIGINT), 0, u"", true},
      {"Session", SignalThenFrame(SIGHUP), 0, u"", true},
      // A request while the logo shows has no script to go to.
      {"Logo", [] { throw ScriptException{ScriptException::kBackToTitle}; }, 0, u"", true},
      // A broken logo, or a title that failed (its cycle showed the error),
      // ends the program once: no cycle after it.
      {"Logo", [] { ThrowError(u"brand", 3, u"broken"); }, 1, u"brand(3): broken", true, {0}, 0},
      {"Session", nullptr, 1, u"", true, {-1, 0}, 1},
      // A record escaping the device level skips the write-back.
      {"Volumes", [] { ThrowError(u"x", 7, u"boom"); }, 1, u"Type: 0\r\nSource: x\r\nLine: 7", false},
      {"Session", [] { throw std::runtime_error("disk full"); }, 1, u"disk full", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.step);
    fs::remove_all(root_ / "home");
    ResetBoxes();
    FakeSystems sys(root_);
    if (row.raise) sys.hooks[row.step] = row.raise;
    sys.session_results = row.sessions;
    std::u16string debug;
    platform::SetDebugSink([&debug](std::u16string_view text) { debug += text; });
    EXPECT_EQ(Run(sys), row.exit_code);
    platform::SetDebugSink([](std::u16string_view) {});
    if (row.cycles >= 0) {
      EXPECT_EQ(sys.Called("Session"), row.cycles);
    }
    std::vector<std::u16string> boxes = BoxTexts();
    if (row.box_prefix.empty()) {
      EXPECT_TRUE(boxes.empty());
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].substr(0, row.box_prefix.size()), row.box_prefix);
      if (row.box_prefix.starts_with(u"Type")) {
        EXPECT_EQ(boxes_->shown()[0].caption, std::u16string(kProductTitle) + u" Exception Error");
        // A record caught at the device level is reported in the debugger output, once.
        const std::size_t report = debug.find(u"Exception Error:");
        EXPECT_EQ(report != std::u16string::npos && report == debug.rfind(u"Exception Error:"), row.written);
      }
    }
    EXPECT_EQ(fs::exists(SettingsFile()), row.written);
  }
}

TEST_F(StartupTest, DevelopmentFoldersAndOptionsChooseTheSources) {
  fs::create_directories(root_ / "data" / "script" / "data");
  fs::create_directories(root_ / "data" / "script" / "sound");
  std::ofstream(root_ / "data" / "script" / "data" / "_start.txt") << "";
  WriteSettingsFile("[mesrin]\nSoundFreq=2\nSkipFrame=3\nFullScreen=1\nOptions=-A\n");
  FakeSystems with_a(root_);
  EXPECT_EQ(Run(with_a), 0);
  EXPECT_EQ(with_a.Called("DirArchive"), 0);
  EXPECT_EQ(with_a.sound_rate, 11025u);
  EXPECT_EQ(with_a.skip_counter, 2);
  EXPECT_TRUE(window_.IsMenuItemChecked(40004));
  EXPECT_NE(SettingsText().find("Options=-A"), std::string::npos);
  // Read from the display before it goes: deleting it leaves full screen.
  EXPECT_NE(SettingsText().find("FullScreen=1"), std::string::npos);

  WriteSettingsFile("[mesrin]\nSoundFreq=1\n");
  FakeSystems dev(root_);
  EXPECT_EQ(Run(dev, {"-D"}), 0);
  EXPECT_EQ(dev.Called("DirArchive"), 2);
  EXPECT_EQ(dev.calls[1], "Window(debug)");
  EXPECT_EQ(dev.sound_rate, 22050u);
}

// The program's own path is followed whole, however deep the install.
TEST_F(StartupTest, ADeepInstallPathFindsItsData) {
  fs::path deep = root_ / std::string(100, 'd') / std::string(100, 'e') / std::string(100, 'f');
  MakeInstall(deep);
  FakeSystems sys(deep);
  EXPECT_EQ(Run(sys), 0);
  EXPECT_EQ(fs::current_path(), deep / "bin");
  EXPECT_EQ(sys.Called("Session"), 1);
}

}  // namespace
}  // namespace App

namespace App {
namespace {

// Sets an environment variable (null: unsets it) for the object's life.
struct EnvironmentValue {
  EnvironmentValue(const char* name, const char* value) : name(name) {
    if (const char* old = std::getenv(name)) saved = old;
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~EnvironmentValue() { saved ? ::setenv(name, saved->c_str(), 1) : ::unsetenv(name); }
  const char* name;
  std::optional<std::string> saved;
};

// The lock lies in the data folder it protects: a second start of the same
// user finds it whatever its environment, a holder in another folder is not a
// second instance, and a folder where no file can be made lets the program go on.
TEST(SingleInstanceLockTest, OnlyALockHeldInTheSameDataFolderIsASecondInstance) {
  fs::path temp = fs::temp_directory_path() / ("shell_lock_" + std::to_string(::getpid()));
  fs::remove_all(temp);
  fs::create_directories(temp);
  std::ofstream(temp / "file") << "x";
  const std::u16string data = platform::Utf8ToUtf16((temp / "home" / "game").string());
  const std::u16string other = platform::Utf8ToUtf16((temp / "other").string());
  const std::u16string blocked = platform::Utf8ToUtf16((temp / "file" / "game").string());
  struct Row {
    const char* name;
    const std::u16string* held_in;  // a folder where another holder keeps the lock, or null
    const std::u16string* folder;   // the folder of this start
    const char* runtime;            // XDG_RUNTIME_DIR of this start, null: unset
    bool another;
    bool held;
  } rows[] = {
      {"held in the same folder", &data, &data, nullptr, true, false},
      {"held there, started with a runtime folder", &data, &data, "/tmp", true, false},
      {"held in another data folder", &other, &data, nullptr, false, true},
      {"no file can be made", nullptr, &blocked, nullptr, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::unique_ptr<SingleInstanceLock> holder;
    if (row.held_in != nullptr) {
      EnvironmentValue xdg("XDG_RUNTIME_DIR", nullptr);
      holder = std::make_unique<SingleInstanceLock>(u"MESRIN_TEST", *row.held_in);
      ASSERT_TRUE(holder->held());
    }
    EnvironmentValue xdg("XDG_RUNTIME_DIR", row.runtime);
    SingleInstanceLock start(u"MESRIN_TEST", *row.folder);
    EXPECT_EQ(start.another_instance(), row.another);
    EXPECT_EQ(start.held(), row.held);
  }
  EXPECT_TRUE(fs::is_directory(temp / "home" / "game"));
  EXPECT_FALSE(fs::exists(temp / "home" / "game" / "MESRIN_TEST.lock")) << "each holder removes its file";
  EXPECT_EQ(fs::status(temp / "home").permissions() & fs::perms::all, fs::perms::owner_all);
  fs::remove_all(temp);
}

}  // namespace
}  // namespace App
