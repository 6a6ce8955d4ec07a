// The byte reader under the script lexer and the jump/judge table loader: one
// NUL-terminated CP932 text, read byte by byte with four bytes of pushback and
// a line count. CR LF and a lone CR both read as one LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace TextScript {

class ScriptReader {
 public:
  static constexpr std::size_t kHeaderSize = 128;  // a text whose first byte is 0 carries a header this long
  static constexpr int kPushbackSize = 4;
  static constexpr std::size_t kTokenSize = 1024;  // units of a word, number or comment token, terminator included

  // Reads `text` from its start, or from byte 128 when it holds a header (its
  // first byte is 0 and it is at least that long). Reading ends at the first NUL
  // or at the end of `text`, whichever comes first. Line 1, nothing pushed back.
  void Init(std::string_view text);

  // The next byte, 0 at the end of the text (returned again on every later call).
  int GetChar();
  // Pushes a byte back; pushing LF uncounts its line. A NUL is not pushed: the
  // end of the text reads as 0 anyway.
  void UngetChar(int c);

  // Past spaces and tabs; the first other byte is pushed back.
  void SkipBlanks();
  // Past spaces, tabs, line ends and "//" comments; the first other byte is
  // pushed back. Returns whether a line end was passed.
  bool SkipBlankLines();
  // Up to and including the next LF (or to the end of the text).
  void SkipLine();

  // '0'-'9', or the word characters ('a'-'z', 'A'-'Z', '0'-'9', '_', '@'), into a
  // narrow buffer cut at kTokenSize - 1 bytes; the whole run is consumed and the
  // first other byte pushed back.
  void ReadDigits(std::string& out);
  void ReadWordChars(std::string& out);
  // The same, widened into a token.
  void ReadNumberToken(std::u16string& out);
  void ReadWordToken(std::u16string& out);

  // The next byte that does not begin a "//" comment: a comment is read to the
  // end of its line and its line end is returned.
  int NextLineStart();

  int Line() const { return m_nLine; }
  int LastToken() const { return m_nLastToken; }
  void SetLastToken(int token) { m_nLastToken = token; }

  static bool IsWordChar(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '@';
  }
  static bool IsDigit(int c) { return c >= '0' && c <= '9'; }
  static bool IsLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

 private:
  int32_t m_nLine = 1;                  // lines counted so far, 1 at the start
  const uint8_t* m_pCursor = nullptr;   // next byte of the text
  const uint8_t* m_pStart = nullptr;    // first byte of the buffer
  const uint8_t* m_pEnd = nullptr;      // just past the last byte given
  uint8_t m_Pushback[kPushbackSize] = {};
  int32_t m_nPushback = 0;              // bytes on the pushback stack
  int m_nLastToken = -1;                // the lexer's last token code; -1 before the first
};

}  // namespace TextScript
