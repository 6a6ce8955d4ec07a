// "config.xml": the game's layout and content file in the script archive. Four
// readers take their own part of it each time they need it: the system values
// once at start-up (LoadSystemConfig), the backlog's face table, and the page
// layouts of the CG album ("cgalbum") and the scene replay ("sceneplay").
//
// Lookups match names exactly and take the first match. Numbers follow the C
// library's scanf and strtol rules (leading blanks, reading stops at the first
// character that does not fit); a number that cannot be read keeps the field's
// default.
//
// Failures: a missing or unparsable file, or a missing element or attribute
// that is read without a count, throws an error record (Type 0) naming the file
// and the element path; so do a button value of fewer than eight numbers and a
// negative size. Lists (bgm, pos, face, cg) may be absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "save/save_types.h"

struct IArchive;
struct XmlElement;

inline constexpr const char16_t* kConfigFileName = u"config.xml";

// Where the character pictures of one letter stand: key '*' matches any letter.
struct CharacterPosition {
  char16_t key = 0;  // upper-case first character of the name; 0 for an empty name
  int32_t x = 0;
};

// The values LoadSystemConfig keeps for the program's life.
struct SystemConfig {
  char16_t familyName[Save::kNameUnits] = {};  // default "#1"; cut to 63 units
  char16_t givenName[Save::kNameUnits] = {};   // default "#2"; cut to 63 units
  int32_t titleMenuX = 0;                      // top-left of the title menu
  int32_t titleMenuY = 0;
  int32_t endingCount = 0;                     // ending pictures ("ed01" ...)
  std::u16string titleMusic;                   // bgm mode "title"
  std::u16string cgModeMusic;                  // bgm mode "cgmode"
  std::vector<CharacterPosition> chrPositions; // CHR command, file order
  std::vector<CharacterPosition> chlPositions; // CHL command, file order
};

SystemConfig& GetSystemConfig();

// Reads the system part of the file from ScriptArchive into GetSystemConfig()
// and puts the two names into the COMMON record as its defaults.
void LoadSystemConfig(const char16_t* fileName = kConfigFileName);
// The system part of a parsed file; fileName only names it in errors.
void ReadSystemConfig(const XmlElement& root, SystemConfig& out, const char16_t* fileName);

// x of the first entry whose key is the letter (upper-cased) or '*'; 0 when none.
int32_t FindCharacterPosition(std::span<const CharacterPosition> list, char16_t letter);

// The backlog's face table: speaker key and cell of the face sheet.
struct BacklogFace {
  char16_t key = 0;     // first character of the upper-cased "chr" value
  int32_t number = 0;   // cell number
};
std::vector<BacklogFace> LoadBacklogFaces(const char16_t* fileName = kConfigFileName);
std::vector<BacklogFace> ReadBacklogFaces(const XmlElement& root, const char16_t* fileName);

// One screen button of a page: w x h at (x, y); its normal picture at (sx0,
// sy0) and its highlighted picture at (sx1, sy1) of the page picture.
struct GalleryButton {
  int32_t x = 0, y = 0, w = 0, h = 0, sx0 = 0, sy0 = 0, sx1 = 0, sy1 = 0;
};

// One thumbnail of a page.
struct GalleryItem {
  int32_t x = 0;        // screen position of the thumbnail's top-left
  int32_t y = 0;
  std::u16string flag;  // album: picture key that unlocks it; replay: scene label
  std::u16string text;  // album: comma list of the pictures shown (SplitCommaList)
  int32_t sheetRow = 0; // row of its thumbnails in the sheet (numbered over all pages)
};

// The layout of the album ("cgalbum") or the replay ("sceneplay").
struct GalleryConfig {
  int32_t width = 140;     // thumbnail size on screen and in the sheet
  int32_t height = 105;
  int32_t cellWidth = 0;   // sheet grid ("thumbsize")
  int32_t cellHeight = 0;
  GalleryButton exit, prev, next;
  std::vector<std::vector<GalleryItem>> pages;  // at least one
  int32_t lockedRow = 0;   // sheet row of the locked picture: the number of items
};
GalleryConfig LoadGalleryConfig(std::u16string_view section, const char16_t* fileName = kConfigFileName);
GalleryConfig ReadGalleryConfig(const XmlElement& root, std::u16string_view section, const char16_t* fileName);

// The text cut at every ',' (empty pieces kept, nothing trimmed); an empty
// text gives one empty piece.
std::vector<std::u16string> SplitCommaList(std::u16string_view text);

// The file from ScriptArchive parsed with trimmed text lines; throws when it is
// missing or broken.
std::unique_ptr<XmlElement> LoadConfigTree(const char16_t* fileName);
