// One game cycle: compile the story, show the title or load, run, persist.
//
// The application calls RunGameSession ("_start.txt", r) in a loop with the
// result of the previous call while that result is above 0. Mode 0 or 1 shows
// the title first; mode m >= 2 loads save entry m - 1 (slot m - 2) directly.
// The result: 0 quit, 1 the title again, s + 2 a load of slot s, and
// kSessionFailed when the title itself failed: its error was shown and the
// program ends with exit code 1.
//
// The screens that the cycle calls are installed by whoever builds them, by
// setting their member of Hooks() (Hooks().showTitle = the title screen),
// which leaves the others as they are. Without a title screen a new game starts
// at once; without an ending screen the endings go straight back to the title. The save data is
// reached through the same hooks, set to the save module from the start; tests
// replace them, and an empty hook reads and writes nothing.
//
// Errors: a missing "iv.txt" or script and a compile error leave with their
// error record. Any other error record raised from the title to the end of the
// run (a broken picture, a runtime error of the script) is shown to the player
// with its file, line and message after the global records are written, and
// the cycle returns 1: back to the title; an error of the title itself gives
// kSessionFailed instead. The quit record ends the cycle with 0 after the
// global records are written.
//
// The save file: one that can't be opened at the start of a cycle is reported
// with its path and reason, and the game goes on without it; a failed write of
// the global records at the end is reported, and the save data tries them again
// at its next write. Quick save and quick load report the same way. The global
// records are also written with every save (slot or quick, in its transaction)
// and when the player's names change (WriteProgress), so a program that dies
// loses at most what was read since then.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "core/exception.h"

namespace Game {

class ScriptStateGroup_App;

struct SessionHooks {
  // The logo and title: -1 show it again, 0 quit, 1 new game, t >= 2 load entry t - 1.
  std::function<int()> showTitle;
  // The ending pictures of END and END2.
  std::function<void()> showEnding;
  // Reads the COMMON record, the group's scene names and the album list
  // (creating the save data when missing).
  std::function<void(ScriptStateGroup_App& group)> openSaveData;
  // Writes the COMMON record, the scene names and the album list.
  std::function<void(ScriptStateGroup_App& group)> writeGlobalData;
  // Loads save entry `entry` (slot entry - 1): the scene records and the
  // variables; returns the page to start at.
  std::function<int(int entry)> loadGameFromSlot;
  // Quick save: true when it was written.
  std::function<bool()> quickSave;
  // The slot of the latest quick save, or -1.
  std::function<int()> findLatestQuickSave;
  // Whether save entry `entry` loads whole (see Save::SlotLoadable).
  std::function<bool(int entry)> slotLoadable;
  // The backlog screen, from the message window's button.
  std::function<void()> showBacklog;
  // A Yes/No question; true for yes.
  std::function<bool(std::u16string_view text)> askYesNo;
  // A notice shown for `ms` milliseconds.
  std::function<void(std::u16string_view text, uint32_t ms)> showNotice;
  // Shows an error record to the player.
  std::function<void(const ExceptionHandle& record)> reportError;
};

// The save module's global records, load and quick saves; no screens.
SessionHooks DefaultSessionHooks();
// Replaces the hooks (empty members: the built-in behaviour above).
void SetSessionHooks(SessionHooks hooks);
SessionHooks& Hooks();

inline constexpr int kSessionFailed = -1;

int RunGameSession(std::u16string_view scriptName, int mode);

// Writes the global records of the running cycle now, as its end does (a
// failure is reported the same way); nothing outside a cycle.
void WriteProgress();

// Saves the running game in entry `number` (the slot dialog's save) with the
// global records; raises the save data's error record. The quick save builds
// its inputs the same way.
void SaveGameToSlot(int number, std::u16string_view comment);

// The quick save of the message window: true when it was written. A failure is
// shown to the player with its reason, and the story goes on.
bool QuickSaveGame();
// The slot the quick load of the message window loads, or -1. The newest quick
// save is looked up and read whole first: a save file that can't be read is
// shown as the quick save's failures are, a damaged slot is refused with its
// box, and either way the story goes on where it was.
int QuickLoadSlot();

// The screens above when installed. Without a Yes/No box the question goes to
// a message box; without a notice nothing is shown.
void ShowEnding();
bool AskYesNo(std::u16string_view text);
void ShowNotice(std::u16string_view text, uint32_t ms);
// Tells the player what went wrong: file, line and message of the record.
void ReportGameError(const ExceptionHandle& record);

}  // namespace Game
