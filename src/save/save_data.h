// The save data as the game layer, the shell and the slot dialog use it: the
// global records read at the start of a game run and written at its end (and
// with every save), saved games in slots, and the quick saves.
//
// The save data does not reach into the game layer (which builds on it): what
// it stores is passed in, and what a load reads is handed back.
// - The scene-name list and the album list are the game layer's
//   std::vector<std::u16string>; the read flags and names live in GetCommonData()
//   and the five scene records in GetSceneState() (save_types.h).
// - A save takes SaveInputs: the picture its thumbnail is made from (the game
//   layer picks it: the "thumb/" picture named by ThumbnailPictureName when the
//   script archive holds one, else the StageSprite's 800x600 image), the resume
//   page and the variables' page snapshot.
// - A load reads and checks the whole slot before it changes anything; then it
//   sets the scene records and refills the variable tables it is given, and
//   returns the start page. The game layer empties its own backlog.
// - The per-user folder holding "save.dat" is set once by the shell
//   (SetSaveFolder).
//
// Slot numbers: the player's slot index s (0-98) is entry number s + 1; entries
// 91-99 also hold the quick saves, 91 the newest.
//
// Failures raise the error record of Type 0, source "script/scr_gui"; a failed
// operation changes nothing in the file (see save_database.h). Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "save/save_blobs.h"
#include "save/save_types.h"

namespace DxDraw {
class DxSurface;
}
namespace TextScript {
class ScriptVarTable;
}

namespace Save {

using NameList = std::vector<std::u16string>;

// The per-user folder holding "save.dat".
void SetSaveFolder(std::u16string_view folder);

// ---- Global records ----

// Creates "save.dat" when it is missing and writes the current records into it;
// otherwise reads COMMON into GetCommonData() and appends the stored names to
// `sceneNames` and `album`. A file SQLite finds damaged or not a database is
// moved aside under a new name (never overwritten), the player is told, and a
// fresh file is started. Other failures raise the error record.
void OpenSaveDataAtStart(NameList& sceneNames, NameList& album);
// Writes COMMON, SCENE and ALBUM in one transaction. Does nothing (and returns
// false) unless OpenSaveDataAtStart succeeded in this process: records that
// were never read are not written over the player's progress. When the write
// fails, the records are kept: the next OpenSaveDataAtStart hands the names back
// (and keeps GetCommonData()) instead of reading the file, so the next write
// stores them.
bool WriteGlobalData(const NameList& sceneNames, const NameList& album);
// Forgets that the global records were read (a new start reads them again).
void ResetGlobalDataState();

// ---- Slots ----

struct SaveInputs {
  DxDraw::DxSurface* picture = nullptr;                  // thumbnail source; null gives no thumbnail
  int32_t resumePage = 0;                                // the current page number
  const TextScript::ScriptVarTable* variables = nullptr; // the page snapshot; null saves none
  // The game's scene-name and album lists. Given both, the save writes the
  // global records too (WriteGlobalData, in the save's one transaction), so
  // the progress up to a save outlives a program that never reaches its end.
  const NameList* sceneNames = nullptr;
  const NameList* album = nullptr;
};

// The archive name (without extension) of the thumbnail picture for the scene:
// "thumb/" and the three bytes after the background's kind byte when it shows a
// GRP picture (kind 2); nothing otherwise. Try ".tif", then ".png".
std::optional<std::u16string> ThumbnailPictureName(const SceneState& scene);

// Stores a saved game in entry `number`: the comment (cut to 35 CP932 bytes),
// the local time, the resume page, a 140 x 105 thumbnail of the picture, the
// scene records and the variables; the backlog column becomes NULL. With the
// inputs' lists, the global records are written in the same transaction.
void SaveGameToSlot(int number, std::u16string_view comment, const SaveInputs& inputs);

// Loads entry `number`: checks the header and the variables first, then sets
// GetSceneState(), empties `live` and fills it, copies it into `snapshot`, and
// returns the resume page.
int32_t LoadGameFromSlot(int number, TextScript::ScriptVarTable& live, TextScript::ScriptVarTable& snapshot);

// Whether entry `number` loads whole: its header, scene records and variables
// read to their ends. Changes nothing; raises only when the file can't be read
// (or holds no such entry), so a damaged slot is refused before the running
// game is left.
bool SlotLoadable(int number);

bool SlotExists(int number);
// Comment and time of a stored slot; raises for a header of another size (a
// slot that could not be loaded).
SlotSummary ReadSlotSummary(int number);
// The thumbnail as top-down 0x00RRGGBB pixels, or empty when there is none.
std::vector<uint32_t> ReadSlotThumbnail(int number);
void DeleteSlot(int number);
// Replaces a stored slot's comment (CP932 bytes; cut to 35).
void SetSlotComment(int number, std::string_view text);

// Saves to entry 100 (with the global records, as SaveGameToSlot), drops entry
// 99, moves 98..91 one up and 100 to 91, all in one transaction. Hand saves in
// 91-99 rotate with the quick saves. Returns 1.
int QuickSave(const SaveInputs& inputs);
// The slot index of the newest quick save (90 for entry 91), or -1.
int FindLatestQuickSave();

// ---- What the player is told ----

// The one box for a save file that can't be used, wherever it is used: what
// could not be done, the file's path and the reason (the record's message).
void ReportSaveFailure(std::u16string_view what, const ExceptionHandle& error);
// Runs `work` (which returns bool). A failure is reported as above and gives
// false; the quit record passes untouched.
template <class F>
bool ReportingSaveFailure(std::u16string_view what, F work) {
  try {
    return work();
  } catch (const ExceptionHandle& error) {
    if (error.Type == kErrorTypeQuit) throw;
    ReportSaveFailure(what, error);
    return false;
  }
}
// The box refusing to load slot index `slot` (0-98), whose data is damaged.
std::u16string DamagedSlotText(int slot);
void ShowDamagedSlot(int slot);

}  // namespace Save
