// Start-up and shut-down. The program nests four levels, each with its own
// set-up, its own catcher and its own tear-down in reverse order:
//   RunProgram   single instance, the process-wide services, the WinApp object;
//   WinAppRun    folders, the settings file, the command line, the window and
//                its menu, then RunDirectX, then the settings write-back (also
//                made whenever the menu or a settings dialog changes one);
//   RunDirectX   tasks, the display check, the display, sound, input, the
//                screen surface, then RunGame under a catcher;
//   RunGame      the data folder and the three archives, system sounds, the
//                SYSTEM picture, fonts, the logo and the loop of game runs.
// Every call into another subsystem goes through ShellSystems (shell_systems.h),
// so tests run the whole sequence against fakes and the program wires in the real ones.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/product.h"
#include "app/shell_systems.h"

namespace DxDraw {
class DxSurface;
}

namespace App {

// The program: the three levels below it and the exit code.
int RunProgram(ShellSystems& systems, std::span<const std::string> args);

// "../data/" or "./": where the data was looked for in this run.
const std::u16string& DataFolder();
// The user folder and the settings file of this run.
const std::u16string& UserFolder();
// The fonts listed at start-up.
const std::vector<std::u16string>& FontList();
// The SYSTEM picture, kept for the whole run (null outside it).
DxDraw::DxSurface* SystemPicture();

// Writes the settings file now, as the end of the program does (every key but
// "Options", FullScreen as the display is now), so settings the player changed
// outlive a program that never reaches its end; a file that can't be written
// is shown in a box with its path and reason. Nothing while the game's screen
// is not up.
void WriteSettingsNow();

// Gives the screen's cursor sprite row `index` (0-2) of the cursor table and
// keeps the index; an index outside the table changes nothing.
void SetCursorFrame(int index);
// The cursor row last set.
int CursorFrame();

// Creates every missing level of `path` with mode 0700. A level that cannot
// be made, or a last level this user can't make files in, shows "Error:
// 無効なディレクトリ名です。(%s)" with the system's reason on the next line, and
// throws ProgramExit{1}.
void CreateDirectoryPath(std::u16string_view path);

}  // namespace App
