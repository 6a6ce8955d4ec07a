// The script engine's own exceptions and the error texts of compiling and running.
// Both exceptions are caught by the compile driver or the run loop, given the
// line they belong to, and turned into the program's error record.
#pragma once

#include <cstdint>

#include "core/exception.h"

namespace TextScript {

// An error by number: the code indexes the compile message table.
struct ScriptError {
  int32_t line;
  int32_t code;
};

// An error with its own text.
struct ScriptError2 {
  static constexpr int kTextSize = 1024;  // units of text, terminator included

  int32_t line;
  char16_t text[kTextSize];

  // Stores the line and formats the text (cut to fit).
  static ScriptError2& Format(ScriptError2& record, int line, const char16_t* format, ...);
};

// Builds and throws a ScriptError2.
[[noreturn]] void ThrowScriptError2(int line, const char16_t* format, ...);

inline constexpr int kCompileMessageCount = 16;

// The text of a ScriptError code; codes outside the table give the text of code 0.
const char16_t* CompileMessage(int code);

// Writes "<file>(<line>): <kind>: <text>\n" to the debugger output and throws a
// Type 0 error record whose source is the script's file name.
[[noreturn]] void ThrowScriptReport(const char16_t* fileName, int line, const char16_t* kind,
                                    const char16_t* text);

inline constexpr const char16_t* kCompileErrorKind = u"Compile Error";
inline constexpr const char16_t* kRuntimeErrorKind = u"Runtime Error";

}  // namespace TextScript
