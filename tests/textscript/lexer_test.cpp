#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "script_test_util.h"
#include "textscript/script_error.h"
#include "textscript/script_lex.h"

namespace {

using namespace TextScript;
using textscript_test::Sjis;

struct Token {
  int code;
  std::u16string value;
  int line;  // reader's line once the token was read

  bool operator==(const Token&) const = default;
};

void PrintTo(const Token& t, std::ostream* os) {
  *os << "{" << t.code << ", \"" << platform::Utf16ToUtf8(t.value) << "\", " << t.line << "}";
}

std::vector<Token> Lex(const std::string& text) {
  ScriptReader reader;
  reader.Init(text);
  std::vector<Token> tokens;
  for (int guard = 0; guard < 1000; ++guard) {
    std::u16string value;
    int code = ScriptLex(reader, value);
    tokens.push_back({code, value, reader.Line()});
    if (code == kTokenEnd) break;
  }
  return tokens;
}

std::vector<int> Codes(const std::string& text) {
  std::vector<int> codes;
  for (const Token& t : Lex(text)) codes.push_back(t.code);
  return codes;
}

constexpr int NL = kTokenNewline;
constexpr int V = kTokenV;
constexpr int TEXT = kTokenText;
constexpr int END = kTokenEnd;

TEST(ScriptLexer, TokenSequences) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<int> codes;
  };
  const std::vector<Case> cases = {
      {"empty text", "", {END}},
      {"blank line", "\n", {NL, END}},
      {"command and word", ".grp bg01\n", {kTokenGRP, V, NL, END}},
      {"operators are their bytes", ".PST A = 3\n", {kTokenPST, V, '=', V, NL, END}},
      {"comma is its byte", ".GRP A,B\n", {kTokenGRP, V, ',', V, NL, END}},
      {"voice short form", "@v001\n", {kTokenAt, V, NL, END}},
      {"two-slash comment keeps its line end", "// note\n.DOF\n", {NL, kTokenDOF, NL, END}},
      {"three-slash comment", "/// note\n", {NL, END}},
      {"four slashes", "////abc\n", {kTokenSlashLine, NL, END}},
      {"comment after a command", ".DOF // off\n", {kTokenDOF, NL, END}},
      {"empty comments keep their line ends", ".DOF //\n///\n.DON\n", {kTokenDOF, NL, NL, kTokenDON, NL, END}},
      {"lone slash", "/x\n", {'/', V, NL, END}},
      {"dot and digit is a number", ".5\n", {V, NL, END}},
      {"digits then letters", "5a\n", {V, V, NL, END}},
      {"blanks and tabs", " \t.TOF \t\n", {kTokenTOF, NL, END}},
      {"keyword with digit", ".END1 2\n", {kTokenEND1, V, NL, END}},
      {"last line without line end", ".JMP L1", {kTokenJMP, V, NL, END}},
      {"comment ending the text", "//x", {END}},
      {"command names in any case", ".s2m\n.Rjp x\n", {kTokenS2M, NL, kTokenRJP, V, NL, END}},
      {"a message ends at its line end", Sjis(u"あ\nい"), {TEXT, NL, END}},
      {"a sharp line after a message", Sjis(u"あ\n＃x\n"), {TEXT, NL, kTokenSharpLine, NL, END}},
      {"a header is skipped", std::string(ScriptReader::kHeaderSize, '\0') + ".DOF\n", {kTokenDOF, NL, END}},
      {"a leading NUL shorter than a header is empty", std::string(1, '\0'), {END}},
      {"a leading NUL and a command", std::string("\0.DOF\n", 6), {END}},
      {"reading stops at an embedded NUL", std::string(".DOF\n\0.TOF\n", 11), {kTokenDOF, NL, END}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Codes(c.text), c.codes) << c.what;
  }
}

TEST(ScriptLexer, WordsAreUpperCasedAndNumbersKept) {
  std::vector<Token> tokens = Lex("@voice_a1 0123\n");
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(tokens[1].value, u"VOICE_A1");
  EXPECT_EQ(tokens[2].value, u"0123");
  tokens = Lex("5a\n");
  EXPECT_EQ(tokens[0].value, u"5");
  EXPECT_EQ(tokens[1].value, u"A");
}

TEST(ScriptLexer, LineEndsGiveTheSameTokensAndLines) {
  const std::string lf = ".GRP A\n\n" + Sjis(u"あい") + "\n.DOF\n";
  const std::string crlf = ".GRP A\r\n\r\n" + Sjis(u"あい") + "\r\n.DOF\r\n";
  const std::string cr = ".GRP A\r\r" + Sjis(u"あい") + "\r.DOF\r";
  EXPECT_EQ(Lex(lf), Lex(crlf));
  EXPECT_EQ(Lex(lf), Lex(cr));
  std::vector<Token> tokens = Lex(lf);
  // GRP V NL NL TEXT NL DOF NL END: a NEWLINE's line is the line after it.
  ASSERT_EQ(tokens.size(), 9u);
  EXPECT_EQ(tokens[2].line, 2);
  EXPECT_EQ(tokens[3].line, 3);
  EXPECT_EQ(tokens[4].line, 3);  // the message pushed its line end back
  EXPECT_EQ(tokens[5].line, 4);
  EXPECT_EQ(tokens[7].line, 5);
}

TEST(ScriptLexer, MessageLinesJoinOnlyWhenTheNextStartsWithALeadByte) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::u16string> messages;
  };
  const std::vector<Case> cases = {
      {"two lines join", Sjis(u"あ\nい\n"), {u"あ\nい"}},
      {"ASCII inside a message stays", Sjis(u"あ abc\n"), {u"あ abc"}},
      {"empty line between", Sjis(u"あ\n\nい\n"), {u"あ", u"い"}},
      {"blank-led line between", Sjis(u"あ\n い\n"), {u"あ", u"い"}},
      {"full-width sharp line is not joined", Sjis(u"あ\n＃注\nい\n"), {u"あ", u"い"}},
      {"other 0x81 characters are joined", Sjis(u"あ\n「い」\n"), {u"あ\n「い」"}},
      {"message at the end of the text", Sjis(u"あ"), {u"あ"}},
  };
  for (const Case& c : cases) {
    std::vector<std::u16string> messages;
    for (const Token& t : Lex(c.text)) {
      if (t.code == TEXT) messages.push_back(t.value);
    }
    EXPECT_EQ(messages, c.messages) << c.what;
  }
}

TEST(ScriptLexer, LeadBytesAtTheEdgesOfTheirRangesStartAndJoinMessages) {
  struct Case {
    std::string bytes;
    std::vector<std::u16string> messages;  // of the character on two lines
  };
  const std::vector<Case> cases = {
      {"\x81\x5C", {u"―\n―"}},
      {"\x9F\x5C", {u"歃\n歃"}},
      {"\xE0\x5C", {u"濬\n濬"}},
      {"\xFC\x4B", {u"黑\n黑"}},
      {"\xA1", {}},  // half-width katakana lie between the ranges: no message
      {"\xDF", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(c.bytes[0])));
    std::vector<std::u16string> messages;
    for (const Token& t : Lex(c.bytes + "\n" + c.bytes + "\n")) {
      if (t.code == TEXT) messages.push_back(t.value);
    }
    EXPECT_EQ(messages, c.messages);
  }
}

TEST(ScriptLexer, SharpAndSlashLinesCarryTheirText) {
  std::vector<Token> tokens = Lex(Sjis(u"＃見出し\n") + "////abc\xE9\n");
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(tokens[0].code, kTokenSharpLine);
  EXPECT_EQ(tokens[0].value, u"見出し");
  EXPECT_EQ(tokens[2].code, kTokenSlashLine);
  EXPECT_EQ(tokens[2].value, std::u16string(u"abc\u00E9"));  // bytes widened, no code page
}

TEST(ScriptLexer, UnknownCommandThrowsWithItsLine) {
  ScriptReader reader;
  std::string text = "\n\n.XYZ\n";
  reader.Init(text);
  std::u16string value;
  EXPECT_EQ(ScriptLex(reader, value), NL);
  EXPECT_EQ(ScriptLex(reader, value), NL);
  try {
    ScriptLex(reader, value);
    FAIL() << "no error";
  } catch (const ScriptError2& e) {
    EXPECT_EQ(e.line, 3);
    EXPECT_EQ(std::u16string(e.text), u"コマンド名が違います。");
  }
}

TEST(ScriptLexer, LongWordsAndNumbersAreCutToTheTokenBuffer) {
  std::string text = "." + std::string("GRP ") + std::string(5000, 'a') + " " + std::string(5000, '7') + "\n";
  std::vector<Token> tokens = Lex(text);
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(tokens[1].value.size(), ScriptReader::kTokenSize - 1);
  EXPECT_EQ(tokens[2].value.size(), ScriptReader::kTokenSize - 1);
}

TEST(ScriptReader, PushbackUncountsLineEnds) {
  ScriptReader reader;
  std::string text = "a\nb";
  reader.Init(text);
  EXPECT_EQ(reader.GetChar(), 'a');
  EXPECT_EQ(reader.GetChar(), '\n');
  EXPECT_EQ(reader.Line(), 2);
  reader.UngetChar('\n');
  EXPECT_EQ(reader.Line(), 1);
  EXPECT_EQ(reader.GetChar(), '\n');
  EXPECT_EQ(reader.Line(), 2);
  EXPECT_EQ(reader.GetChar(), 'b');
  EXPECT_EQ(reader.GetChar(), 0);
  EXPECT_EQ(reader.GetChar(), 0);  // the end reads again as the end
}

TEST(ScriptReader, NextLineStartReturnsTheCommentsLineEnd) {
  ScriptReader reader;
  std::string text = "a// x\n/b";
  reader.Init(text);
  EXPECT_EQ(reader.NextLineStart(), 'a');
  EXPECT_EQ(reader.NextLineStart(), '\n');
  EXPECT_EQ(reader.NextLineStart(), '/');
  EXPECT_EQ(reader.NextLineStart(), 'b');
  EXPECT_EQ(reader.NextLineStart(), 0);
}

}  // namespace
