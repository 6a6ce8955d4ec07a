#include "app/settings.h"

#include <climits>

#include "platform/profile.h"
#include "platform/text.h"
#include "platform/wformat.h"

namespace App {

namespace {

// How a key's text becomes its value.
enum class Rule {
  kExactOne,     // 1 only for the exact text "1"
  kByte,         // low 8 bits of the number
  kByteNonNeg,   // negative -> 0, then low 8 bits
  kWord,         // negative -> the default
  kBaseColor,    // four numbers separated by commas
  kFontName,     // the text, cut to fit
};

struct KeySpec {
  const char16_t* name;
  const char16_t* default_text;
  Rule rule;
  uint8_t GameSettings::*byte = nullptr;
  uint32_t SettingsWords::*word = nullptr;
  uint32_t upper = UINT32_MAX;  // largest value the program indexes with
  bool clamp = false;           // above `upper`: the bound (else the default)
};

// The keys in the file's order.
const KeySpec kKeys[] = {
    {u"FullScreen", u"2", Rule::kExactOne, &GameSettings::full_screen},
    {u"DisplaySpeed", u"0", Rule::kByte, &GameSettings::display_speed},
    {u"TextSkip1", u"1", Rule::kByte, &GameSettings::text_skip1},
    {u"TextSkip2", u"1", Rule::kByte, &GameSettings::text_skip2},
    {u"BaseColor", u"64,64,240,160", Rule::kBaseColor},
    {u"FontName", u"ＭＳ 明朝", Rule::kFontName},
    {u"EnableVoice", u"1", Rule::kByteNonNeg, &GameSettings::enable_voice},
    {u"EnableBgm", u"1", Rule::kByteNonNeg, &GameSettings::enable_bgm},
    {u"EnableSe", u"1", Rule::kByteNonNeg, &GameSettings::enable_se},
    {u"MainVolume", u"50", Rule::kByteNonNeg, &GameSettings::main_volume},
    {u"BgmVolume", u"50", Rule::kByteNonNeg, &GameSettings::bgm_volume},
    {u"VoiceVolume", u"50", Rule::kByteNonNeg, &GameSettings::voice_volume},
    {u"SeVolume", u"50", Rule::kByteNonNeg, &GameSettings::se_volume},
    {u"SkipFrame", u"1", Rule::kWord, nullptr, &SettingsWords::skip_frame, 16, true},
    {u"RefreshRate", u"0", Rule::kWord, nullptr, &SettingsWords::refresh_rate},
    {u"SoundFreq", u"0", Rule::kWord, nullptr, &SettingsWords::sound_freq},
    {u"SoundPriority", u"0", Rule::kWord, nullptr, &SettingsWords::sound_priority},
    {u"StreamSize", u"4", Rule::kWord, nullptr, &SettingsWords::stream_size},
    {u"MessageWait", u"2", Rule::kWord, nullptr, &SettingsWords::message_wait, 3},
    {u"MessageSkip", u"3", Rule::kWord, nullptr, &SettingsWords::message_skip, 4},
};

constexpr std::u16string_view kOptionsKey = u"Options";

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f'; }

// Parses one number at `pos` as %d does; false when there is none.
bool ScanInt(std::u16string_view text, std::size_t& pos, int32_t& out) {
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+')) negative = text[pos++] == u'-';
  std::size_t digits = pos;
  int64_t value = 0;
  while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
    if (value <= INT32_MAX) value = value * 10 + (text[pos] - u'0');
    ++pos;
  }
  if (pos == digits) return false;
  if (negative) value = -value;
  out = static_cast<int32_t>(value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value);
  return true;
}

// BaseColor: each number that parses sets its component; the rest keep theirs.
void ReadBaseColor(std::u16string_view text, uint8_t (&color)[4]) {
  std::size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    int32_t value;
    if (!ScanInt(text, pos, value)) return;
    color[i] = static_cast<uint8_t>(value);
    if (i < 3) {
      if (pos >= text.size() || text[pos] != u',') return;
      ++pos;
    }
  }
}

void ReadKey(const KeySpec& key, std::u16string_view text, GameSettings& game, SettingsWords& words) {
  int32_t n = ParseInt(text);
  switch (key.rule) {
    case Rule::kExactOne:
      game.*key.byte = text == u"1" ? 1 : 0;
      break;
    case Rule::kByte:
      game.*key.byte = static_cast<uint8_t>(n);
      break;
    case Rule::kByteNonNeg:
      game.*key.byte = static_cast<uint8_t>(n < 0 ? 0 : n);
      break;
    case Rule::kWord: {
      uint32_t fallback = static_cast<uint32_t>(ParseInt(key.default_text));
      uint32_t value = n < 0 ? fallback : static_cast<uint32_t>(n);
      if (value > key.upper) value = key.clamp ? key.upper : fallback;
      words.*key.word = value;
      break;
    }
    case Rule::kBaseColor:
      ReadBaseColor(key.default_text, game.base_color);
      ReadBaseColor(text, game.base_color);
      break;
    case Rule::kFontName:
      platform::CopyWide(game.font_name, kFontNameUnits, text);
      break;
  }
}

std::u16string WriteKey(const KeySpec& key, const UserSettings& settings, uint32_t message_speed,
                        uint32_t auto_speed) {
  const GameSettings& game = settings.game;
  switch (key.rule) {
    case Rule::kExactOne:
      return settings.windowed ? u"0" : u"1";
    case Rule::kByte:
      return game.*key.byte != 0 ? u"1" : u"0";
    case Rule::kByteNonNeg:
      return platform::FormatString(u"%d", static_cast<int>(game.*key.byte));
    case Rule::kWord: {
      uint32_t value = settings.words.*key.word;
      if (key.word == &SettingsWords::message_wait) value = message_speed;
      if (key.word == &SettingsWords::message_skip) value = auto_speed;
      return platform::FormatString(u"%d", static_cast<int>(value));
    }
    case Rule::kBaseColor:
      return platform::FormatString(u"%d,%d,%d,%d", game.base_color[0], game.base_color[1],
                                    game.base_color[2], game.base_color[3]);
    case Rule::kFontName:
      return std::u16string(game.font_name, platform::WideLength(game.font_name));
  }
  return {};
}

}  // namespace

int32_t ParseInt(std::u16string_view text) {
  std::size_t pos = 0;
  int32_t value = 0;
  return ScanInt(text, pos, value) ? value : 0;
}

UserSettings::UserSettings() : game(DefaultGameSettings()) {}

UserSettings& Settings() {
  static UserSettings settings;
  return settings;
}

GameSettings DefaultGameSettings() {
  GameSettings game{};
  SettingsWords words;
  for (const KeySpec& key : kKeys) ReadKey(key, key.default_text, game, words);
  return game;
}

void ReadSettings(const platform::Profile& profile, UserSettings& settings) {
  for (const KeySpec& key : kKeys) {
    std::u16string text = profile.Get(kSettingsSection, key.name, key.default_text);
    if (text.empty()) text = key.default_text;
    ReadKey(key, text, settings.game, settings.words);
  }
  settings.extra_options = profile.Get(kSettingsSection, kOptionsKey, u"");
}

void WriteSettings(platform::Profile& profile, const UserSettings& settings, uint32_t message_speed,
                   uint32_t auto_speed) {
  for (const KeySpec& key : kKeys) {
    profile.Set(kSettingsSection, key.name, WriteKey(key, settings, message_speed, auto_speed));
  }
}

}  // namespace App
