#include "textscript/script_lex.h"

#include "platform/text.h"
#include "textscript/script_error.h"
#include "textscript/script_vars.h"

namespace TextScript {

const ScriptKeyword kScriptKeywords[] = {
    {u"GRP", kTokenGRP},   {u"CHR", kTokenCHR}, {u"CHL", kTokenCHL}, {u"LAB", kTokenLAB},
    {u"WAV", kTokenWAV},   {u"PST", kTokenPST}, {u"SEL", kTokenSEL}, {u"RMS", kTokenRMS},
    {u"CLM", kTokenCLM},   {u"LGR", kTokenLGR}, {u"VOI", kTokenVOI}, {u"FLS", kTokenFLS},
    {u"JMP", kTokenJMP},   {u"RJP", kTokenRJP}, {u"PJP", kTokenPJP}, {u"RSP", kTokenRSP},
    {u"RST", kTokenRST},   {u"RSX", kTokenRSX}, {u"SFS", kTokenSFS}, {u"DON", kTokenDON},
    {u"DOF", kTokenDOF},   {u"TOF", kTokenTOF}, {u"IVG", kTokenIVG}, {u"SSL", kTokenSSL},
    {u"END", kTokenEND},   {u"END1", kTokenEND1}, {u"END2", kTokenEND2}, {u"SED", kTokenSED},
    {u"DGR", kTokenDGR},   {u"S1A", kTokenS1A}, {u"S1B", kTokenS1B}, {u"S1M", kTokenS1M},
    {u"S2A", kTokenS2A},   {u"S2B", kTokenS2B}, {u"S2M", kTokenS2M}, {nullptr, 0},
};

namespace {

constexpr int kFullWidthSharpLead = 0x81;   // '＃' in CP932 is 0x81 0x94
constexpr int kFullWidthSharpTrail = 0x94;

// The bytes up to, not including, the next LF (pushed back) or the end.
std::string RestOfLine(ScriptReader& reader) {
  std::string bytes;
  int c;
  while ((c = reader.GetChar()) != '\n' && c != 0) bytes.push_back(static_cast<char>(c));
  reader.UngetChar(c);
  return bytes;
}

void CutToToken(std::u16string& value) {
  if (value.size() > ScriptReader::kTokenSize - 1) value.resize(ScriptReader::kTokenSize - 1);
}

// A message line and every following line that starts with a lead byte. A
// following '＃' line is a comment line, not message text, so both of its bytes
// are looked at before joining.
int ReadMessage(ScriptReader& reader, std::u16string& value) {
  std::string bytes;
  for (;;) {
    int c = reader.GetChar();
    if (c == 0) {
      reader.UngetChar('\n');
      break;
    }
    if (c == '\n') {
      int first = reader.GetChar();
      bool join = platform::IsCp932LeadByte(static_cast<unsigned char>(first));
      if (first == kFullWidthSharpLead) {
        int second = reader.GetChar();
        reader.UngetChar(second);
        if (second == kFullWidthSharpTrail) join = false;
      }
      reader.UngetChar(first);
      if (join) {
        bytes.push_back('\n');
        continue;
      }
      reader.UngetChar('\n');
      break;
    }
    bytes.push_back(static_cast<char>(c));
  }
  value = platform::Cp932ToUtf16(bytes);
  return kTokenText;
}

int LexOne(ScriptReader& reader, std::u16string& value) {
  for (;;) {
    reader.SkipBlanks();
    int c = reader.GetChar();
    if (c == 0) return kTokenEnd;

    if (c == kFullWidthSharpLead) {
      int second = reader.GetChar();
      if (second == kFullWidthSharpTrail) {
        value = platform::Cp932ToUtf16(RestOfLine(reader));
        CutToToken(value);
        return kTokenSharpLine;
      }
      reader.UngetChar(second);
    }
    if (platform::IsCp932LeadByte(static_cast<unsigned char>(c))) {
      reader.UngetChar(c);
      return ReadMessage(reader, value);
    }
    if (c == '\n') return kTokenNewline;
    if (c == '@') return kTokenAt;

    if (c == '/') {
      int second = reader.GetChar();
      if (second != '/') {
        reader.UngetChar(second);
        return '/';
      }
      int third = reader.GetChar();
      if (third == '/') {
        int fourth = reader.GetChar();
        if (fourth == '/') {
          std::string bytes = RestOfLine(reader);
          value.assign(bytes.begin(), bytes.end());  // each byte one unit, no code page
          for (char16_t& u : value) u &= 0xFF;
          CutToToken(value);
          return kTokenSlashLine;
        }
        third = fourth;
      }
      // A comment: its text vanishes, its line end stays.
      reader.UngetChar(third);
      RestOfLine(reader);
      continue;
    }

    if (c == '.') {
      int next = reader.GetChar();
      if (ScriptReader::IsLetter(next) || next == '_') {
        reader.UngetChar(next);
        std::u16string name;
        reader.ReadWordToken(name);
        UpperCaseScriptName(name);
        int token = FindScriptKeyword(name);
        if (token == 0) ThrowScriptError2(reader.Line(), u"コマンド名が違います。");
        return token;
      }
      c = next;  // the '.' is dropped
    }

    if (ScriptReader::IsDigit(c)) {
      reader.UngetChar(c);
      reader.ReadNumberToken(value);
      return kTokenV;
    }
    if (ScriptReader::IsLetter(c)) {
      reader.UngetChar(c);
      reader.ReadWordToken(value);
      UpperCaseScriptName(value);
      return kTokenV;
    }
    return c;
  }
}

}  // namespace

int FindScriptKeyword(std::u16string_view name) {
  for (const ScriptKeyword* k = kScriptKeywords; k->name != nullptr; ++k) {
    if (ScriptNameEqual(name, k->name)) return k->token;
  }
  return 0;
}

int ScriptLex(ScriptReader& reader, std::u16string& value) {
  value.clear();
  int token = LexOne(reader, value);
  // A last line without its line end still ends its statement.
  if (token == kTokenEnd && reader.LastToken() != kTokenNewline && reader.LastToken() != -1 &&
      reader.LastToken() != kTokenEnd) {
    token = kTokenNewline;
  }
  reader.SetLastToken(token);
  return token;
}

}  // namespace TextScript
