#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/cmdline.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace App {
namespace {

using platform::Profile;

// A fresh folder under the test's temporary directory, removed afterwards.
class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("shell_settings_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

UserSettings ReadOne(const std::string& line) {
  UserSettings settings;
  ReadSettings(Profile::Parse("[mesrin]\n" + line + "\n"), settings);
  return settings;
}

// Which value of the settings a row checks.
enum class Field { kFullScreen, kDisplaySpeed, kTextSkip1, kMainVolume, kEnableSe, kSkipFrame,
                   kRefreshRate, kStreamSize, kMessageWait, kMessageSkip, kSoundFreq };

uint32_t Value(const UserSettings& s, Field f) {
  switch (f) {
    case Field::kFullScreen: return s.game.full_screen;
    case Field::kDisplaySpeed: return s.game.display_speed;
    case Field::kTextSkip1: return s.game.text_skip1;
    case Field::kMainVolume: return s.game.main_volume;
    case Field::kEnableSe: return s.game.enable_se;
    case Field::kSkipFrame: return s.words.skip_frame;
    case Field::kRefreshRate: return s.words.refresh_rate;
    case Field::kStreamSize: return s.words.stream_size;
    case Field::kMessageWait: return s.words.message_wait;
    case Field::kMessageSkip: return s.words.message_skip;
    case Field::kSoundFreq: return s.words.sound_freq;
  }
  return 0;
}

TEST(SettingsTest, KeysReadByTheirRules) {
  struct Row {
    const char* line;
    Field field;
    uint32_t expected;
  } rows[] = {
      {"", Field::kFullScreen, 0},               // absent: "2" starts in a window
      {"FullScreen=", Field::kFullScreen, 0},
      {"FullScreen=2", Field::kFullScreen, 0},
      {"FullScreen=1", Field::kFullScreen, 1},
      {"fullscreen = \"1\" ", Field::kFullScreen, 1},  // case, blanks and quotes
      {"FullScreen=01", Field::kFullScreen, 0},  // only the exact text
      {"DisplaySpeed=257", Field::kDisplaySpeed, 1},
      {"TextSkip1=", Field::kTextSkip1, 1},
      {"TextSkip1=0", Field::kTextSkip1, 0},
      {"", Field::kMainVolume, 50},
      {"MainVolume=-5", Field::kMainVolume, 0},
      {"MainVolume=300", Field::kMainVolume, 44},
      {"MainVolume=", Field::kMainVolume, 50},
      {"MainVolume=70abc", Field::kMainVolume, 70},
      {"EnableSe=-1", Field::kEnableSe, 0},
      {"SkipFrame=-1", Field::kSkipFrame, 1},
      {"SkipFrame=3", Field::kSkipFrame, 3},
      {"SkipFrame=0", Field::kSkipFrame, 0},
      {"SkipFrame=17", Field::kSkipFrame, 16},
      {"SkipFrame=99999999999", Field::kSkipFrame, 16},
      {"SoundFreq=7", Field::kSoundFreq, 7},
      {"RefreshRate=-60", Field::kRefreshRate, 0},
      {"RefreshRate=75", Field::kRefreshRate, 75},
      {"StreamSize=-2", Field::kStreamSize, 4},
      {"StreamSize=", Field::kStreamSize, 4},
      {"MessageWait=3", Field::kMessageWait, 3},
      {"MessageWait=4", Field::kMessageWait, 2},
      {"MessageWait=-1", Field::kMessageWait, 2},
      {"MessageSkip=4", Field::kMessageSkip, 4},
      {"MessageSkip=5", Field::kMessageSkip, 3},
      {"MessageSkip=x", Field::kMessageSkip, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Value(ReadOne(row.line), row.field), row.expected) << row.line;
  }
}

TEST(SettingsTest, BaseColorAndFontNameKeepDefaultsWhereTheTextFallsShort) {
  struct Row {
    const char* line;
    uint8_t color[4];
  } rows[] = {
      {"", {64, 64, 240, 160}},
      {"BaseColor=", {64, 64, 240, 160}},
      {"BaseColor=1,2,3,4", {1, 2, 3, 4}},
      {"BaseColor=1,2", {1, 2, 240, 160}},
      {"BaseColor=300,-1, 7,x", {44, 255, 7, 160}},
      {"BaseColor=garbage", {64, 64, 240, 160}},
  };
  for (const Row& row : rows) {
    UserSettings s = ReadOne(row.line);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s.game.base_color[i], row.color[i]) << row.line << " " << i;
  }
  EXPECT_EQ(std::u16string(ReadOne("").game.font_name), u"ＭＳ 明朝");
  std::string long_name = "FontName=" + std::string(40, 'F');
  EXPECT_EQ(std::u16string(ReadOne(long_name).game.font_name), std::u16string(31, u'F'));
  EXPECT_EQ(ReadOne("Options= -W -S ").extra_options, u"-W -S");
}

TEST(SettingsTest, WriteBackRoundTripsAndLeavesOptionsAlone) {
  UserSettings s;
  s.game.display_speed = 5;  // written as "1"
  s.game.base_color[3] = 9;
  s.game.main_volume = 80;
  s.words.skip_frame = 0;
  s.windowed = 0;
  Profile profile = Profile::Parse("[mesrin]\nOptions=-D\n");
  WriteSettings(profile, s, 1, 4);
  EXPECT_EQ(profile.Get(u"mesrin", u"FullScreen", u""), u"1");
  EXPECT_EQ(profile.Get(u"mesrin", u"DisplaySpeed", u""), u"1");
  EXPECT_EQ(profile.Get(u"mesrin", u"BaseColor", u""), u"64,64,240,9");
  EXPECT_EQ(profile.Get(u"mesrin", u"FontName", u""), u"ＭＳ 明朝");
  EXPECT_EQ(profile.Get(u"mesrin", u"MessageWait", u""), u"1");
  EXPECT_EQ(profile.Get(u"mesrin", u"MessageSkip", u""), u"4");
  EXPECT_EQ(profile.Get(u"mesrin", u"Options", u""), u"-D");

  UserSettings back;
  ReadSettings(profile, back);
  EXPECT_EQ(back.game.full_screen, 1);
  EXPECT_EQ(back.game.main_volume, 80);
  EXPECT_EQ(back.words.skip_frame, 0u);
  EXPECT_EQ(back.words.message_skip, 4u);
}

TEST(ProfileTest, FirstOfTwoKeysWinsAndValuesAreCut) {
  std::string text = "; comment\n[Other]\nKey=other\n[MESRIN]\nKey=first\nkey=second\nLong=" +
                     std::string(300, 'v') + "\nQuoted='a b'\nBare=\"\nEmpty=\"\"\n\tTabbed =\tx\t\n";
  Profile p = Profile::Parse(text);
  EXPECT_EQ(p.Get(u"mesrin", u"KEY", u"-"), u"first");
  EXPECT_EQ(p.Get(u"other", u"key", u"-"), u"other");
  EXPECT_EQ(p.Get(u"mesrin", u"Long", u"").size(), 255u);
  EXPECT_EQ(p.Get(u"mesrin", u"Quoted", u""), u"a b");
  EXPECT_EQ(p.Get(u"mesrin", u"Bare", u""), u"\"");
  EXPECT_EQ(p.Get(u"mesrin", u"Empty", u"-"), u"");
  EXPECT_EQ(p.Get(u"mesrin", u"Tabbed", u"-"), u"x");
  EXPECT_EQ(p.Get(u"mesrin", u"Missing", u"dflt"), u"dflt");
}

// The bytes of a UTF-16 file with its byte-order mark.
std::string Utf16File(std::u16string_view text, bool little_endian) {
  std::string out = little_endian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    out += little_endian ? std::string{low, high} : std::string{high, low};
  }
  return out;
}

TEST(ProfileTest, ReadsEachLineInItsOwnEncodingAndUtf16Files) {
  struct Row {
    std::string bytes;
    std::u16string font;
  } rows[] = {
      {"\xEF\xBB\xBF[mesrin]\nFontName=\xE6\x98\x8E\xE6\x9C\x9D\n", u"明朝"},
      {"[mesrin]\nFontName=\xE6\x98\x8E\xE6\x9C\x9D\n", u"明朝"},
      {"[mesrin]\r\nFontName=\x96\xBE\x92\xA9\r\n", u"明朝"},
      // A CP932 comment does not turn the UTF-8 value into CP932.
      {"; \x96\xBE\x92\xA9\n[mesrin]\nFontName=\xE6\x98\x8E\xE6\x9C\x9D", u"明朝"},
      {Utf16File(u"[mesrin]\r\nFontName=ＭＳ 明朝\r\n", true), u"ＭＳ 明朝"},
      {Utf16File(u"[mesrin]\nFontName=ＭＳ 明朝", false), u"ＭＳ 明朝"},
  };
  for (const Row& row : rows) EXPECT_EQ(Profile::Parse(row.bytes).Get(u"mesrin", u"FontName", u""), row.font) << row.bytes;
}

TEST(ProfileTest, WriterKeepsForeignLinesAndAddsKeysToTheirSection) {
  Profile p = Profile::Parse("; top\r\n[mesrin]\r\nFullScreen=0\r\n; note\r\nUnknown=keep\r\n\r\n[other]\r\nx=1\r\n");
  p.Set(u"MESRIN", u"fullscreen", u"1");
  p.Set(u"mesrin", u"SkipFrame", u"2");
  p.Set(u"third", u"A", u"b");
  EXPECT_EQ(p.Serialize(),
            "; top\r\n[mesrin]\r\nFullScreen=1\r\n; note\r\nUnknown=keep\r\nSkipFrame=2\r\n\r\n[other]\r\nx=1\r\n"
            "[third]\r\nA=b\r\n");

  // Lines the writer did not change keep their bytes, whatever their encoding and ending.
  const std::string mixed = "\xEF\xBB\xBF; \x96\xBE\x92\xA9\n[mesrin]\r\nFontName=\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D\n"
                            "Title=\x83\x5C\r\nMainVolume=10";
  Profile m = Profile::Parse(mixed);
  EXPECT_EQ(m.Serialize(), mixed);
  m.Set(u"mesrin", u"MainVolume", u"90");
  m.Set(u"mesrin", u"SkipFrame", u"2");
  EXPECT_EQ(m.Serialize(), mixed.substr(0, mixed.size() - 2) + "90\nSkipFrame=2\n");

  // A UTF-16 file stays UTF-16 in its byte order, its values and its one section kept.
  for (bool le : {true, false}) {
    Profile u = Profile::Parse(Utf16File(u"[mesrin]\r\nFontName=ＭＳ 明朝\r\nMainVolume=10\r\n", le));
    u.Set(u"mesrin", u"MainVolume", u"90");
    u.Set(u"mesrin", u"SkipFrame", u"2");
    EXPECT_EQ(u.Serialize(), Utf16File(u"[mesrin]\r\nFontName=ＭＳ 明朝\r\nMainVolume=90\r\nSkipFrame=2\r\n", le)) << le;
  }
}

TEST(ProfileTest, CrashBeforeRenameLeavesTheOldFileWhole) {
  TempDir dir;
  std::filesystem::path file = dir.path() / "mesrin.ini";
  WriteBytes(file, "[mesrin]\nMainVolume=10\n");
  Profile p = Profile::Load(file);
  p.Set(u"mesrin", u"MainVolume", u"90");
  struct Crash {};
  EXPECT_THROW(p.Save(file, [] { throw Crash{}; }), Crash);
  EXPECT_EQ(ReadBytes(file), "[mesrin]\nMainVolume=10\n");
  ASSERT_TRUE(p.Save(file));
  EXPECT_EQ(ReadBytes(file), "[mesrin]\nMainVolume=90\n");
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
  EXPECT_FALSE(p.Save(dir.path() / "missing" / "mesrin.ini"));
}

TEST(CommandLineTest, TokensFollowTheQuoteRules) {
  struct Row {
    std::u16string text;
    std::vector<std::u16string> tokens;
  } rows[] = {
      {u"", {}},
      {u"  a\tb  c ", {u"a", u"b", u"c"}},
      {u"\"C:/Program Files/x.exe\" -W", {u"C:/Program Files/x.exe", u"-W"}},
      {u"a\\\"b c\\d", {u"a\"b", u"c\\d"}},
      {u"x\"y z\"w", {u"xy zw"}},
      {u"\"unclosed run", {u"unclosed run"}},
      {u"\"\"", {u""}},
  };
  for (const Row& row : rows) {
    ArgIterator it(row.text);
    std::vector<std::u16string> got;
    while (auto t = it.Next()) got.push_back(*t);
    EXPECT_EQ(got, row.tokens) << platform::Utf16ToUtf8(row.text);
  }
  ArgIterator longer(std::u16string(300, u'z'));
  EXPECT_EQ(longer.Next()->size(), kTokenMax);
}

TEST(CommandLineTest, QuotedArgumentsComeBackUnchanged) {
  std::vector<std::string> args = {"/opt/my games/mesrin", "-W", "say \"hi there\"", "", "a\\",
                                   "x\\\"y", "tab\there", "\xE6\x98\x8E"};
  ArgIterator it(QuoteArguments(args));
  for (const std::string& arg : args) {
    auto t = it.Next();
    ASSERT_TRUE(t.has_value()) << arg;
    EXPECT_EQ(*t, platform::Utf8ToUtf16(arg));
  }
  EXPECT_FALSE(it.Next().has_value());
}

TEST(CommandLineTest, OptionsSetTheStartState) {
  struct Row {
    std::u16string text;
    bool driver, archives, simd_off, sound, full;
    int debug;
  } rows[] = {
      {u"prog", false, false, false, true, true, 0},
      {u"prog --seldriver -a -m", true, true, true, true, true, 0},
      {u"prog -S -w -Ofoo -Ebar -I -Z", false, false, false, false, false, 0},
      {u"prog -D2", false, false, false, true, true, 2},
      {u"prog -dx", false, false, false, true, true, 1},
      {u"prog ---SELDRIVER", false, false, false, true, true, 0},
  };
  for (const Row& row : rows) {
    UserSettings s;
    s.game.full_screen = 1;
    ParseCommandLine(row.text, s);
    SCOPED_TRACE(platform::Utf16ToUtf8(row.text));
    EXPECT_EQ(s.options.select_driver, row.driver);
    EXPECT_EQ(s.options.archives_always, row.archives);
    EXPECT_EQ(s.options.simd_off, row.simd_off);
    EXPECT_EQ(s.sound_enable, row.sound ? 1u : 0u);
    EXPECT_EQ(s.game.full_screen, row.full ? 1 : 0);
    EXPECT_EQ(s.options.debug_level, row.debug);
  }
  ProgramPaths paths = ParseProgramPath(u"-x \"/opt/my games/mesrin\" other");
  EXPECT_EQ(paths.path, u"/opt/my games/mesrin");
  EXPECT_EQ(paths.directory, u"/opt/my games/");
}

TEST(CommandLineTest, ResponseFilesReplaceTheirTokenAndDoNotNest) {
  TempDir dir;
  std::filesystem::path file = dir.path() / "opts.txt";
  std::u16string text = u"prog @" + platform::Utf8ToUtf16(file.string()) + u" last";
  struct Row {
    const char* name;
    std::string bytes;
    std::vector<std::u16string> tokens;
  } rows[] = {
      {"lines", "-S\n  \"two words\n@inner\n-W", {u"-S", u"two words", u"@inner", u"-W"}},
      // Read as text: no CR is left at the end of an unclosed quoted run.
      {"CR LF", "-S\r\n\"-W\r\n\"a b\"\r\n", {u"-S", u"-W", u"a b"}},
      // CP932 even where the bytes would pass as UTF-8.
      {"CP932", "\xE3\x81\xB1", {u"\u7E3A\uFF71"}},
      {"UTF-8 mark", "\xEF\xBB\xBF-S \xE6\x98\x8E", {u"-S", u"\u660E"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteBytes(file, row.bytes);
    ArgIterator it(text);
    std::vector<std::u16string> got;
    while (auto t = it.Next()) got.push_back(*t);
    std::vector<std::u16string> expected = {u"prog"};
    expected.insert(expected.end(), row.tokens.begin(), row.tokens.end());
    expected.push_back(u"last");
    EXPECT_EQ(got, expected);
  }

  WriteBytes(file, "-S\r\n-W\r\n");
  UserSettings s;
  s.game.full_screen = 1;
  ParseCommandLine(text, s);
  EXPECT_EQ(s.sound_enable, 0u);
  EXPECT_EQ(s.game.full_screen, 0);
}

TEST(CommandLineTest, MissingResponseFileShowsItsNameAndExitsWithOne) {
  platform::HeadlessMessageBox boxes;
  boxes.SetEcho(false);
  platform::IMessageBox* previous = platform::SetMessageBoxService(&boxes);
  UserSettings s;
  try {
    ParseCommandLine(u"prog @/nonexistent/resp -S", s);
    ADD_FAILURE() << "no exit";
  } catch (const ProgramExit& exit) {
    EXPECT_EQ(exit.code, 1);
  }
  platform::SetMessageBoxService(previous);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, u"File not found '/nonexistent/resp'");
  EXPECT_EQ(boxes.shown()[0].caption, u"Error");
  EXPECT_EQ(s.sound_enable, 1u);  // nothing after the missing file took effect
}

}  // namespace
}  // namespace App
