#include "core/xml.h"

#include <utility>

#include "core/exception.h"
#include "core/util.h"
#include "platform/text.h"

// --- Reader ---------------------------------------------------------------------

char16_t CMemoryReaderSJIS::ReadChar() {
  if (m_Remaining == 0) return 0;
  const uint8_t b = *m_pCurrent;
  if (b < 0x80) {
    ++m_pCurrent;
    --m_Remaining;
    return b;
  }
  char16_t out[2];
  if (platform::IsCp932LeadByte(b)) {
    // The trail byte is read only when there is one.
    if (m_Remaining < 2) {
      m_Failed = true;
      ++m_pCurrent;
      --m_Remaining;
      return platform::kReplacementChar;
    }
    if (AnsiToWide(out, 2, reinterpret_cast<const char*>(m_pCurrent), 2) == 1) {
      m_pCurrent += 2;
      m_Remaining -= 2;
      return out[0];
    }
    // A pair that is no character: the lead byte alone stands for it, and the
    // next byte is read for itself.
    ++m_pCurrent;
    --m_Remaining;
    return platform::kReplacementChar;
  }
  // Half-width katakana and the unused single bytes.
  ++m_pCurrent;
  --m_Remaining;
  return AnsiToWide(out, 2, reinterpret_cast<const char*>(&b), 1) == 1 ? out[0]
                                                                     : platform::kReplacementChar;
}

// --- Element --------------------------------------------------------------------

XmlElement::~XmlElement() {
  std::vector<std::unique_ptr<XmlElement>> pending = std::move(children);
  while (!pending.empty()) {
    std::unique_ptr<XmlElement> e = std::move(pending.back());
    pending.pop_back();
    for (auto& c : e->children) pending.push_back(std::move(c));
    e->children.clear();
  }
}

XmlElement* XmlElement::FindChild(std::u16string_view n) const {
  for (const auto& c : children) {
    if (c->kind == kElement && c->name == n) return c.get();
  }
  return nullptr;
}

const XmlAttribute* XmlElement::FindAttribute(std::u16string_view n) const {
  for (const auto& a : attributes) {
    if (a.name == n) return &a;
  }
  return nullptr;
}

void XmlElement::FindChildren(std::vector<XmlElement*>& out, const char16_t* n) const {
  for (const auto& c : children) {
    if (n == nullptr || c->name == n) out.push_back(c.get());
  }
}

std::u16string XmlElement::GetText() const {
  std::u16string out;
  for (const auto& c : children) {
    if (c->kind == kText) out += c->text;
  }
  return out;
}

// --- Parser ---------------------------------------------------------------------

namespace {

constexpr bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

constexpr bool IsNameChar(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
         c == u'_' || c == u':' || c >= 0x100;
}

// Longest entity name read before a missing ';' is declared an error.
constexpr std::size_t kMaxEntityName = 64;

}  // namespace

int XmlParser::Fail() {
  m_ErrorLine = m_Line;
  return kError;
}

char16_t XmlParser::ReadRaw() {
  if (m_HasPeek) {
    m_HasPeek = false;
    return m_Peek;
  }
  if (m_AtEnd) return 0;
  const char16_t c = m_pReader->ReadChar();
  if (c == 0) m_AtEnd = true;
  return c;
}

char16_t XmlParser::Get() {
  if (!m_Pushed.empty()) {
    const char16_t c = m_Pushed.back();
    m_Pushed.pop_back();
    return c;
  }
  char16_t c = ReadRaw();
  if (c == u'\r') {
    // CR LF is one line end; a lone CR is one too, and stays a CR.
    const char16_t next = ReadRaw();
    if (next == u'\n') {
      c = u'\n';
    } else if (next != 0) {
      m_Peek = next;
      m_HasPeek = true;
    }
    ++m_Line;
  } else if (c == u'\n') {
    ++m_Line;
  }
  return c;
}

char16_t XmlParser::SkipBlanks() {
  char16_t c = Get();
  while (IsBlank(c)) c = Get();
  return c;
}

// Reads a name starting with `first`; the character after it is pushed back.
bool XmlParser::ReadName(char16_t first, std::u16string& name) {
  name.clear();
  char16_t c = first;
  while (IsNameChar(c)) {
    name += c;
    c = Get();
  }
  if (c != 0) Unget(c);
  return !name.empty();
}

// After '&': the entity's value, "?" when it is not declared.
bool XmlParser::ReadEntity(std::u16string& out) {
  std::u16string name;
  for (;;) {
    const char16_t c = Get();
    if (c == u';') break;
    // '#' lets character references through as (undeclared) names.
    if (!(IsNameChar(c) || c == u'#') || name.size() >= kMaxEntityName) return false;
    name += c;
  }
  auto it = m_Entities.find(name);
  out += it != m_Entities.end() ? it->second : u"?";
  return true;
}

// After the opening quote: the value up to the matching quote.
bool XmlParser::ReadQuoted(char16_t quote, bool expand, std::u16string& out) {
  out.clear();
  for (;;) {
    const char16_t c = Get();
    if (c == 0) return false;
    if (c == quote) return true;
    if (expand && c == u'&') {
      if (!ReadEntity(out)) return false;
    } else {
      out += c;
    }
  }
}

bool XmlParser::Expect(std::u16string_view s) {
  for (char16_t want : s) {
    if (Get() != want) return false;
  }
  return true;
}

void XmlParser::CloseLine(std::u16string& line, std::u16string& text, bool atTag) {
  if ((m_Flags & kXmlTrimText) != 0) {
    const std::size_t first = line.find_first_not_of(u" \t\n");
    if (first != std::u16string::npos) {
      const std::size_t last = line.find_last_not_of(u" \t\n");
      if (!text.empty()) text += u'\n';
      text.append(line, first, last - first + 1);
    }
  } else {
    if (!atTag) line += u'\n';
    bool blank = true;
    for (char16_t c : line) blank = blank && IsBlank(c);
    if (!blank) text += line;
  }
  line.clear();
}

int XmlParser::Parse(XML::IReader* reader, const XmlCallbacks& callbacks, void* context,
                     uint32_t flags) {
  m_pReader = reader;
  m_pCallbacks = &callbacks;
  m_pContext = context;
  m_Flags = flags;
  m_Line = 1;
  m_ErrorLine = 0;
  m_Open = 0;
  m_RootSeen = false;
  m_AtEnd = reader == nullptr;
  m_HasPeek = false;
  m_Pushed.clear();
  m_Entities = {{u"lt", u"<"}, {u"gt", u">"}, {u"amp", u"&"}, {u"quot", u"\""}, {u"apos", u"'"}};

  if (callbacks.beginDocument != nullptr && !callbacks.beginDocument(context)) return kStopped;

  std::u16string line;
  std::u16string text;
  for (;;) {
    const char16_t c = Get();
    if (c == 0) {
      if (m_Open != 0 || (reader != nullptr && reader->Failed())) return Fail();
      return kComplete;
    }
    if (c == u'&') {
      if (!ReadEntity(line)) return Fail();
    } else if (c == u'\n' || c == u'<') {
      CloseLine(line, text, c == u'<');
      if (c == u'<') {
        if (!text.empty()) {
          if (callbacks.text != nullptr && !callbacks.text(context, text)) return kStopped;
          text.clear();
        }
        const int result = ParseTag();
        if (result != kComplete) return result;
      }
    } else {
      line += c;
    }
  }
}

// After '<'.
int XmlParser::ParseTag() {
  const XmlCallbacks& cb = *m_pCallbacks;
  char16_t c = Get();
  if (c == u'?') {
    std::u16string pi = u"<?";
    do {
      c = Get();
      if (c == 0) return Fail();
      pi += c;
    } while (c != u'>');
    if (cb.instruction != nullptr && !cb.instruction(m_pContext, pi)) return kStopped;
    return kComplete;
  }
  if (c == u'!') return ParseMarkup();

  std::u16string name;
  if (c == u'/') {
    if (!ReadName(Get(), name)) return Fail();
    if (SkipBlanks() != u'>') return Fail();
    // An end tag with nothing open would close the document's parent.
    if (m_Open == 0) return Fail();
    --m_Open;
    if (cb.endElement != nullptr && !cb.endElement(m_pContext, name)) return kStopped;
    return kComplete;
  }

  if (!ReadName(c, name)) return Fail();
  // One top-level element only.
  if (m_Open == 0 && m_RootSeen) return Fail();
  std::vector<XmlAttribute> attributes;
  for (;;) {
    c = SkipBlanks();
    if (c == u'>' || c == u'/') break;
    XmlAttribute a;
    if (!ReadName(c, a.name)) return Fail();
    if (SkipBlanks() != u'=') return Fail();
    const char16_t quote = SkipBlanks();
    if (quote != u'"' && quote != u'\'') return Fail();
    if (!ReadQuoted(quote, true, a.value)) return Fail();
    attributes.push_back(std::move(a));
  }
  const bool empty = c == u'/';
  if (empty && Get() != u'>') return Fail();
  ++m_Open;
  m_RootSeen = true;
  if (cb.startElement != nullptr && !cb.startElement(m_pContext, name, attributes)) return kStopped;
  if (empty) {
    --m_Open;
    if (cb.endElement != nullptr && !cb.endElement(m_pContext, name)) return kStopped;
  }
  return kComplete;
}

// After "<!": a comment, a CDATA section or the document type.
int XmlParser::ParseMarkup() {
  const XmlCallbacks& cb = *m_pCallbacks;
  char16_t c = Get();
  if (c == u'-') {
    if (Get() != u'-') return Fail();
    std::u16string body;
    for (;;) {
      c = Get();
      if (c == 0) return Fail();
      if (c == u'>' && body.size() >= 2 && body.ends_with(u"--")) break;
      body += c;
    }
    body.resize(body.size() - 2);
    const std::u16string comment = u"<!--" + body + u"-->";
    if (cb.instruction != nullptr && !cb.instruction(m_pContext, comment)) return kStopped;
    return kComplete;
  }
  if (c == u'[') {
    if (!Expect(u"CDATA[")) return Fail();
    std::u16string body;
    for (;;) {
      c = Get();
      if (c == 0) return Fail();
      if (c == u'&') {
        if (!ReadEntity(body)) return Fail();
        continue;
      }
      if (c == u'>' && body.ends_with(u"]]")) break;
      body += c;
    }
    body.resize(body.size() - 2);
    if (!body.empty() && cb.text != nullptr && !cb.text(m_pContext, body)) return kStopped;
    return kComplete;
  }
  if (c == u'D' && Expect(u"OCTYPE")) return ParseDoctype();
  return Fail();
}

// After "<!DOCTYPE": a name and the internal subset, which may declare entities.
int XmlParser::ParseDoctype() {
  std::u16string name;
  char16_t c = SkipBlanks();
  if (!ReadName(c, name)) return Fail();
  if (SkipBlanks() != u'[') return Fail();
  for (;;) {
    c = SkipBlanks();
    if (c == u']') {
      if (SkipBlanks() != u'>') return Fail();
      return kComplete;
    }
    if (c != u'<' || Get() != u'!') return Fail();
    c = Get();
    if (c == u'-') {
      do {
        c = Get();
        if (c == 0) return Fail();
      } while (c != u'>');
      continue;
    }
    if (c != u'E' || !Expect(u"NTITY")) return Fail();
    c = Get();
    if (!IsBlank(c)) return Fail();
    if (!ReadName(SkipBlanks(), name)) return Fail();
    const char16_t quote = SkipBlanks();
    if (quote != u'"' && quote != u'\'') return Fail();
    std::u16string value;
    if (!ReadQuoted(quote, false, value)) return Fail();
    if (SkipBlanks() != u'>') return Fail();
    // The predefined entities and the first declaration win.
    m_Entities.try_emplace(name, std::move(value));
  }
}

// --- Tree builder ---------------------------------------------------------------

namespace {

struct TreeBuilder {
  std::unique_ptr<XmlElement> root;
  std::vector<XmlElement*> open;  // the element stack; back is the innermost

  static bool OnText(void* context, std::u16string_view text) {
    auto* self = static_cast<TreeBuilder*>(context);
    if (self->open.empty()) return true;  // text outside any element is dropped
    auto node = std::make_unique<XmlElement>();
    node->kind = XmlElement::kText;
    node->text = text;
    node->parent = self->open.back();
    self->open.back()->children.push_back(std::move(node));
    return true;
  }

  static bool OnStart(void* context, std::u16string_view name,
                      const std::vector<XmlAttribute>& attributes) {
    auto* self = static_cast<TreeBuilder*>(context);
    auto element = std::make_unique<XmlElement>();
    element->name = name;
    element->attributes = attributes;
    XmlElement* e = element.get();
    if (self->open.empty()) {
      self->root = std::move(element);
    } else {
      e->parent = self->open.back();
      self->open.back()->children.push_back(std::move(element));
    }
    self->open.push_back(e);
    return true;
  }

  static bool OnEnd(void* context, std::u16string_view) {
    auto* self = static_cast<TreeBuilder*>(context);
    if (!self->open.empty()) self->open.pop_back();
    return true;
  }
};

}  // namespace

std::unique_ptr<XmlElement> XmlLoad(const void* buffer, std::size_t bytes, uint32_t flags,
                                    int* errorLine) {
  CMemoryReaderSJIS reader(buffer, bytes);
  TreeBuilder builder;
  XmlCallbacks callbacks;
  callbacks.text = TreeBuilder::OnText;
  callbacks.startElement = TreeBuilder::OnStart;
  callbacks.endElement = TreeBuilder::OnEnd;
  XmlParser parser;
  const int result = parser.Parse(&reader, callbacks, &builder, flags);
  if (errorLine != nullptr) *errorLine = parser.ErrorLine();
  if (result != XmlParser::kComplete) return nullptr;
  return std::move(builder.root);
}

std::unique_ptr<XmlElement> XmlLoadOrThrow(const void* buffer, std::size_t bytes, uint32_t flags,
                                           const char16_t* fileName) {
  int line = 0;
  std::unique_ptr<XmlElement> root = XmlLoad(buffer, bytes, flags, &line);
  if (root != nullptr) return root;
  const char16_t* name = fileName != nullptr ? fileName : u"";
  if (line != 0) ThrowError(u"xml", __LINE__, u"%s(%d): XML syntax error", name, line);
  ThrowError(u"xml", __LINE__, u"%s: no XML element", name);
}
