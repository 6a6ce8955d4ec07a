// The generated LALR(1) parser of the script grammar and what its actions call.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>

namespace TextScript {

class ScriptStateGroup;
class ScriptReader;

// Argument flags of a statement rule.
enum : uint32_t {
  kDeclareArg1 = 0x1,  // the first argument names a variable to declare
  kDeclareArg2 = 0x2,
  kOneCharArg = 0x4,   // the first argument must be one character long
};

// State of one parse. Token values are heap strings owned by the parser's
// stack until a rule takes them.
struct ParseContext {
  ScriptStateGroup& group;
  ScriptReader& reader;
  std::exception_ptr pending;  // raised inside a rule or the lexer; thrown once the parser has unwound
  int errorLine = 0;           // reader's line when the parser reported an error
  std::string errorMessage;    // what it reported

  // Builds a statement node from the values in `args` (each slot is taken and
  // cleared, whatever happens). False when it failed: the failure is pending.
  bool Build(uint8_t opcode, uint8_t op, std::initializer_list<char16_t**> args, uint32_t flags);
  bool BuildPageBreak();
  // Takes the values of `args` and frees them.
  static void Drop(std::initializer_list<char16_t**> args);
};

char16_t* NewToken(const std::u16string& text);
void FreeToken(char16_t* token);

// Parses the group's reader to the end, appending one node per statement and
// page break. Returns 0; errors leave as exceptions.
int ScriptParse(ScriptStateGroup& group);

// Writes "<file>(<line>): <message>\n" to the debugger output and throws a Type 0
// error record with the reader's line.
[[noreturn]] void ThrowScriptParseError(ScriptStateGroup& group, int line, const char16_t* message);

}  // namespace TextScript
