// The script lexer: keywords, words, numbers, message lines and comment lines
// of a CP932 script turned into token codes.
#pragma once

#include <string>
#include <string_view>

#include "textscript/script_reader.h"

namespace TextScript {

// Token codes. Single characters such as '=', '+', '-', '<', '>' and ',' are
// their own byte values.
enum : int {
  kTokenEnd = 0,
  kTokenV = 258,         // a number or a word (words upper-cased)
  kTokenText = 259,      // a message line, or message lines joined with "\n"
  kTokenNewline = 260,
  kTokenSEL = 262,
  kTokenRMS = 263,
  kTokenCLM = 264,
  kTokenGRP = 265,
  kTokenCHR = 266,
  kTokenCHL = 267,
  kTokenLGR = 268,
  kTokenWAV = 269,
  kTokenVOI = 270,
  kTokenJMP = 271,
  kTokenRJP = 272,
  kTokenPJP = 273,
  kTokenPST = 274,
  kTokenRSP = 275,
  kTokenRST = 276,
  kTokenRSX = 277,
  kTokenSFS = 278,
  kTokenDON = 279,
  kTokenDOF = 280,
  kTokenTOF = 281,
  kTokenIVG = 282,
  kTokenSSL = 283,
  kTokenEND = 284,
  kTokenEND1 = 285,
  kTokenEND2 = 286,
  kTokenSED = 287,
  kTokenDGR = 288,
  kTokenLAB = 289,
  kTokenSharpLine = 290,  // a line opened by the full-width '＃'; value: the rest of the line
  kTokenSlashLine = 291,  // a line opened by "////"; value: the rest, each byte one unit
  kTokenAt = 292,         // '@', the short form of a voice statement
  kTokenFLS = 293,
  kTokenS1A = 294,
  kTokenS1B = 295,
  kTokenS1M = 296,
  kTokenS2A = 297,
  kTokenS2B = 298,
  kTokenS2M = 299,
};

struct ScriptKeyword {
  const char16_t* name;
  int token;
};

// The command names after '.', in the order they are searched; a null name ends it.
extern const ScriptKeyword kScriptKeywords[];

// The keyword token of an upper-case command name, or 0 when there is none.
int FindScriptKeyword(std::u16string_view name);

// The next token of the reader's text. `value` receives the text of V, TEXT,
// SHARPLINE and SLASHLINE tokens. A text whose last line has no line end gets
// one NEWLINE before its end, so that its last statement is complete. Throws
// ScriptError2 "コマンド名が違います。" for a command name the table lacks.
int ScriptLex(ScriptReader& reader, std::u16string& value);

}  // namespace TextScript
