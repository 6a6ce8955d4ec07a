// A small XML reader for the game's configuration and screen layouts: an
// event-driven parser over a character reader, and XmlLoad, which builds a tree
// of XmlElement records from a Shift-JIS (CP932) buffer.
//
// Accepted: elements with attributes in single or double quotes, the five
// predefined entities and those declared in a DOCTYPE internal subset,
// comments, processing instructions and CDATA sections. A malformed document
// (end of input inside a construct, an end tag with nothing open, a second
// top-level element, an entity without ';', a bad byte at the end, elements left
// open) is an error, reported with the line it was found on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace XML {

// The characters of a document, one UTF-16 unit per call; 0 at the end.
class IReader {
 public:
  virtual ~IReader() = default;
  virtual char16_t ReadChar() = 0;
  // True when the input held bytes that do not form a character (checked at the end).
  virtual bool Failed() const { return false; }
};

}  // namespace XML

// Reads CP932 bytes from memory. A NUL byte ends the document; a lead byte
// with no byte after it is a failure.
class CMemoryReaderSJIS : public XML::IReader {
 public:
  CMemoryReaderSJIS(const void* data, std::size_t bytes)
      : m_pCurrent(static_cast<const uint8_t*>(data)), m_Remaining(data != nullptr ? bytes : 0) {}
  char16_t ReadChar() override;
  bool Failed() const override { return m_Failed; }

 private:
  const uint8_t* m_pCurrent;
  std::size_t m_Remaining;
  bool m_Failed = false;
};

struct XmlAttribute {
  std::u16string name;
  std::u16string value;  // entities expanded
};

struct XmlElement {
  static constexpr int32_t kElement = 0;
  static constexpr int32_t kText = 1;

  XmlElement() = default;
  // Deletes the subtree without recursion, so a deep document cannot exhaust the stack.
  ~XmlElement();
  XmlElement(const XmlElement&) = delete;
  XmlElement& operator=(const XmlElement&) = delete;

  // The first child element named exactly `name`, or null.
  XmlElement* FindChild(std::u16string_view name) const;
  // The attribute named exactly `name`, or null.
  const XmlAttribute* FindAttribute(std::u16string_view name) const;
  // Appends every child named `name` (every child when null), in document order.
  void FindChildren(std::vector<XmlElement*>& out, const char16_t* name) const;
  // The texts of the text-node children, concatenated.
  std::u16string GetText() const;

  XmlElement* parent = nullptr;  // null for the root
  int32_t kind = kElement;
  std::u16string name;           // empty for text nodes
  std::vector<XmlAttribute> attributes;
  std::vector<std::unique_ptr<XmlElement>> children;  // elements and text nodes in document order
  std::u16string text;           // of a text node
};

// The parser's callbacks; each returns false to stop the parse. A null entry
// accepts the event.
struct XmlCallbacks {
  bool (*beginDocument)(void* context) = nullptr;
  bool (*text)(void* context, std::u16string_view text) = nullptr;
  bool (*startElement)(void* context, std::u16string_view name,
                       const std::vector<XmlAttribute>& attributes) = nullptr;
  bool (*endElement)(void* context, std::u16string_view name) = nullptr;
  // Processing instructions and comments, with their delimiters.
  bool (*instruction)(void* context, std::u16string_view text) = nullptr;
};

inline constexpr uint32_t kXmlTrimText = 1;  // trim each text line and join the lines with "\n"

class XmlParser {
 public:
  static constexpr int kComplete = 0;
  static constexpr int kStopped = 1;  // a callback returned false
  static constexpr int kError = 2;

  // Parses the whole document; the result is one of the three above.
  int Parse(XML::IReader* reader, const XmlCallbacks& callbacks, void* context, uint32_t flags);

  // The line (from 1) on which the error was found; 0 after a parse without error.
  int ErrorLine() const { return m_ErrorLine; }

 private:
  char16_t ReadRaw();
  char16_t Get();
  void Unget(char16_t c) { m_Pushed.push_back(c); }
  char16_t SkipBlanks();
  bool ReadName(char16_t first, std::u16string& name);
  bool ReadEntity(std::u16string& out);
  bool ReadQuoted(char16_t quote, bool expand, std::u16string& out);
  bool Expect(std::u16string_view s);
  void CloseLine(std::u16string& line, std::u16string& text, bool atTag);
  int ParseTag();
  int ParseMarkup();
  int ParseDoctype();
  int Fail();

  XML::IReader* m_pReader = nullptr;
  const XmlCallbacks* m_pCallbacks = nullptr;
  void* m_pContext = nullptr;
  uint32_t m_Flags = 0;
  int m_Line = 1;
  int m_ErrorLine = 0;
  int m_Open = 0;              // elements open
  bool m_RootSeen = false;     // a top-level element has been closed or opened
  bool m_AtEnd = false;        // the reader gave 0; it is not asked again
  bool m_HasPeek = false;      // m_Peek holds the character read after a CR
  char16_t m_Peek = 0;
  std::vector<char16_t> m_Pushed;
  std::map<std::u16string, std::u16string, std::less<>> m_Entities;
};

// Parses a CP932 document into a tree; flags: kXmlTrimText. Null on a syntax
// error (then *errorLine, when given, holds the line) or when the document holds
// no element (*errorLine = 0).
std::unique_ptr<XmlElement> XmlLoad(const void* buffer, std::size_t bytes, uint32_t flags,
                                    int* errorLine = nullptr);

// As XmlLoad, but a failure throws an error record naming the file and the line.
std::unique_ptr<XmlElement> XmlLoadOrThrow(const void* buffer, std::size_t bytes, uint32_t flags,
                                           const char16_t* fileName);
