#include "textscript/script_reader.h"

#include "core/exception.h"

namespace TextScript {

void ScriptReader::Init(std::string_view text) {
  m_pStart = reinterpret_cast<const uint8_t*>(text.data());
  m_pEnd = m_pStart + text.size();
  m_pCursor = m_pStart;
  // An empty text must not be taken for a header: skip only what is there.
  if (!text.empty() && text[0] == 0 && text.size() >= kHeaderSize) m_pCursor += kHeaderSize;
  m_nPushback = 0;
  m_nLine = 1;
  m_nLastToken = -1;
}

int ScriptReader::GetChar() {
  if (m_nPushback > 0) {
    int c = m_Pushback[--m_nPushback];
    if (c == '\n') ++m_nLine;
    return c;
  }
  if (m_pCursor == m_pEnd || *m_pCursor == 0) return 0;
  int c = *m_pCursor++;
  if (c == '\r') {
    if (m_pCursor != m_pEnd && *m_pCursor == '\n') ++m_pCursor;
    c = '\n';
  }
  if (c == '\n') ++m_nLine;
  return c;
}

void ScriptReader::UngetChar(int c) {
  if (c == 0) return;
  if (m_nPushback == kPushbackSize) {
    ReportAssertion(u"textscript/reader", __LINE__, u"pushback full");
    return;
  }
  m_Pushback[m_nPushback++] = static_cast<uint8_t>(c);
  if (c == '\n') --m_nLine;
}

void ScriptReader::SkipBlanks() {
  int c;
  do c = GetChar();
  while (c == ' ' || c == '\t');
  UngetChar(c);
}

bool ScriptReader::SkipBlankLines() {
  bool passed_line_end = false;
  int c;
  for (;;) {
    c = NextLineStart();
    if (c == '\n') {
      passed_line_end = true;
    } else if (c != ' ' && c != '\t') {
      break;
    }
  }
  UngetChar(c);
  return passed_line_end;
}

void ScriptReader::SkipLine() {
  int c;
  do c = GetChar();
  while (c != '\n' && c != 0);
}

void ScriptReader::ReadDigits(std::string& out) {
  out.clear();
  int c;
  while (IsDigit(c = GetChar())) {
    if (out.size() < kTokenSize - 1) out.push_back(static_cast<char>(c));
  }
  UngetChar(c);
}

void ScriptReader::ReadWordChars(std::string& out) {
  out.clear();
  int c;
  while (IsWordChar(c = GetChar())) {
    if (out.size() < kTokenSize - 1) out.push_back(static_cast<char>(c));
  }
  UngetChar(c);
}

namespace {

// Word and number characters are ASCII, which the code page maps to themselves.
void Widen(const std::string& in, std::u16string& out) {
  out.assign(in.begin(), in.end());
}

}  // namespace

void ScriptReader::ReadNumberToken(std::u16string& out) {
  std::string narrow;
  ReadDigits(narrow);
  Widen(narrow, out);
}

void ScriptReader::ReadWordToken(std::u16string& out) {
  std::string narrow;
  ReadWordChars(narrow);
  Widen(narrow, out);
}

int ScriptReader::NextLineStart() {
  for (;;) {
    int c = GetChar();
    if (c != '/') return c;
    int next = GetChar();
    if (next != '/') {
      UngetChar(next);
      return '/';
    }
    do c = GetChar();
    while (c != '\n' && c != 0);
    UngetChar(c);
  }
}

}  // namespace TextScript
