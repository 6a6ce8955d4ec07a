// The command line: the program's arguments become one text (ArgIterator gives
// each argument back unchanged), the settings' "Options" text is appended to it,
// and the tokens set the start options. A token beginning with "@" names a
// response file whose tokens take its place; response files do not nest. A
// response file is CP932 text, or UTF-8 when it starts with the UTF-8 mark.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace App {

struct UserSettings;

// Ends the program with an exit code from wherever it is raised; the program's
// entry catches it (a missing response file, a folder that cannot be made).
struct ProgramExit {
  int code;
};

// Longest token, in UTF-16 units; longer ones are cut.
inline constexpr std::size_t kTokenMax = 255;
// Longest program path.
inline constexpr std::size_t kProgramPathMax = 259;

class ArgIterator {
 public:
  explicit ArgIterator(std::u16string_view text) : m_Text(text) {}

  // The next token, or nothing at the end. A missing response file shows
  // "File not found '%s'" and throws ProgramExit{1}.
  std::optional<std::u16string> Next();

 private:
  // The next token of the command-line text or of the response file.
  std::optional<std::u16string> ReadStringToken();
  std::optional<std::u16string> ReadFileToken();

  enum State { kFinished = 0, kText = 1, kFile = 2 };

  std::u16string m_Text;
  std::size_t m_Pos = 0;
  State m_State = kText;
  std::u16string m_File;  // the open response file's text, decoded
  std::size_t m_FilePos = 0;
};

// Joins the arguments (UTF-8) into one command-line text: an argument holding a
// blank, a tab or a double quote (or none at all) is quoted, and each of its
// quotes written as backslash-quote outside the quoted runs.
std::u16string QuoteArguments(std::span<const std::string> args);

// The program path (first token without a leading hyphen) and its folder, with
// the separator that ends it.
struct ProgramPaths {
  std::u16string path;
  std::u16string directory;
};

ProgramPaths ParseProgramPath(std::u16string_view text);
// The folder of a program path, with the separator that ends it; empty without one.
std::u16string ProgramDirectory(std::u16string_view path);

// Sets the start options from the tokens (and the sound-enable word and the
// full-screen byte for -S and -W); returns the program path and folder.
ProgramPaths ParseCommandLine(std::u16string_view text, UserSettings& settings);

}  // namespace App
