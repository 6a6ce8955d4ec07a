// The user's settings: the GameSettings block, the separate settings words and
// the start options, read once from section "mesrin" of the settings file before
// the window exists and written back (all but "Options") when the program ends.
// Reading never fails: an absent key takes its default text, a key present with
// an empty value reads as its default too, and a number outside what the program
// can index with reads as its default (the message and auto speeds) or its
// nearest bound (the draw speed).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class Profile;
}

namespace App {

inline constexpr std::u16string_view kSettingsSection = u"mesrin";
inline constexpr std::u16string_view kSettingsFileName = u"mesrin.ini";
inline constexpr int kFontNameUnits = 32;  // the face name with its terminator

// One block, copied whole by the system settings dialog.
struct GameSettings {
  uint8_t full_screen;     // 1: start in full screen
  uint8_t display_speed;   // 0 pictures fade in, 1 they appear at once
  uint8_t text_skip1;      // skipping stops at pages not read before
  uint8_t text_skip2;      // skipping stops at a selection
  uint8_t base_color[4];   // message-window tint: red, green, blue, transparency
  char16_t font_name[kFontNameUnits];  // message font face, NUL-terminated
  uint8_t enable_voice;
  uint8_t enable_bgm;
  uint8_t enable_se;
  uint8_t main_volume;     // percent 0-100, as are the three below
  uint8_t bgm_volume;
  uint8_t voice_volume;
  uint8_t se_volume;
};
static_assert(sizeof(GameSettings) == 80);

// The settings kept outside the block.
struct SettingsWords {
  uint32_t skip_frame = 1;      // draw speed: 0 automatic, else present every n-th frame (1-16)
  uint32_t refresh_rate = 0;    // full-screen refresh rate, 0 the display's default
  uint32_t sound_freq = 0;      // 0 44100 Hz, 1 22050, 2 11025, other values 44100
  uint32_t sound_priority = 0;  // above 0: the sound thread runs at high priority
  uint32_t stream_size = 4;     // stream segment factor
  uint32_t message_wait = 2;    // "MessageWait": the message-speed index, 0 (fastest) to 3 (slowest)
  uint32_t message_skip = 3;    // "MessageSkip": the auto-speed index 0-4
};

// Options given on the command line (and in "Options"); all off at start.
struct StartOptions {
  bool select_driver = false;    // --SELDRIVER: choose the display at start
  bool archives_always = false;  // -A: archives even when the development folders exist
  int debug_level = 0;           // -D 1, -D2 2; 0 removes the debug menu
  bool simd_off = false;         // -M: the scalar pixel routines only
};

// Everything the settings file and the command line decide.
struct UserSettings {
  UserSettings();  // every key at its default

  GameSettings game;
  SettingsWords words;
  StartOptions options;
  uint32_t sound_enable = 1;  // cleared by -S: no sound device
  uint32_t windowed = 1;      // 1 while the display runs in a window; decides "FullScreen" on write-back
  std::u16string extra_options;  // the "Options" text, appended to the command line
};

// The program's settings.
UserSettings& Settings();

// Every key's default (the values its default text reads as).
GameSettings DefaultGameSettings();

// Reads every key of the settings section into `settings` (block, words and
// the "Options" text; the start options are left alone).
void ReadSettings(const platform::Profile& profile, UserSettings& settings);

// Writes every key but "Options" into the profile in the file's key order.
// MessageWait and MessageSkip take the indices in force now.
void WriteSettings(platform::Profile& profile, const UserSettings& settings, uint32_t message_speed,
                   uint32_t auto_speed);

// _wtoi: leading blanks, a sign, digits up to the first other character; 0 when
// there are none; clamped to the 32-bit range.
int32_t ParseInt(std::u16string_view text);

}  // namespace App
