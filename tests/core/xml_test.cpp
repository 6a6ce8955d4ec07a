#include "core/xml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exception.h"
#include "platform/text.h"

namespace {

std::unique_ptr<XmlElement> Load(const std::string& doc, uint32_t flags = kXmlTrimText,
                                 int* line = nullptr) {
  return XmlLoad(doc.data(), doc.size(), flags, line);
}

std::string Utf8(const std::u16string& s) { return platform::Utf16ToUtf8(s); }

TEST(XmlLoad, BuildsTheTreeWithAttributesAndText) {
  auto root = Load(
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
      "<!-- settings -->\n"
      "<config version='2'>\n"
      "  <Font face=\"MS Gothic\" size = '24'/>\n"
      "  <title>Game</title>\n"
      "  <item>a</item><item>b</item>\n"
      "</config>\n");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->name, u"config");
  EXPECT_EQ(root->parent, nullptr);
  ASSERT_NE(root->FindAttribute(u"version"), nullptr);
  EXPECT_EQ(root->FindAttribute(u"version")->value, u"2");

  XmlElement* font = root->FindChild(u"Font");
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->parent, root.get());
  EXPECT_EQ(font->FindAttribute(u"face")->value, u"MS Gothic");
  EXPECT_EQ(font->FindAttribute(u"size")->value, u"24");
  EXPECT_EQ(font->FindAttribute(u"Face"), nullptr);
  EXPECT_EQ(root->FindChild(u"font"), nullptr);  // names are case-sensitive

  EXPECT_EQ(root->FindChild(u"title")->GetText(), u"Game");
  std::vector<XmlElement*> items;
  root->FindChildren(items, u"item");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]->GetText(), u"a");
  EXPECT_EQ(items[1]->GetText(), u"b");
  std::vector<XmlElement*> all;
  root->FindChildren(all, nullptr);
  EXPECT_EQ(all.size(), 4u);
}

TEST(XmlLoad, TrimmedTextJoinsIndentedLines) {
  auto root = Load("<t>\n    first line\n\t\tsecond  line \n  third\n</t>");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetText(), u"first line\nsecond  line\nthird");

  // Without trimming the line ends stay, and blank lines are dropped.
  root = Load("<t>\n  a\n\n  b</t>", 0);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetText(), u"  a\n  b");
}

// What each way of writing text in a document reads as.
TEST(XmlLoad, EntitiesDoctypeCdataShiftJisAndNulReadAsText) {
  const struct {
    const char* what;
    std::string doc;
    std::u16string text;
  } cases[] = {
      {"built-in and unknown entities", "<t>&lt;b&gt; &unknown;</t>", u"<b> ?"},
      {"entities declared in the DOCTYPE subset; the first declaration wins, built-ins stay",
       "<!DOCTYPE config [\n"
       "  <!-- names -->\n"
       "  <!ENTITY maker \"ACME\">\n"
       "  <!ENTITY maker 'second'>\n"
       "  <!ENTITY lt 'not this'>\n"
       "]>\n"
       "<config>&maker;&lt;</config>",
       u"ACME<"},
      {"CDATA", "<t><![CDATA[a <b> &amp; c]]></t>", u"a <b> & c"},
      {"a half-width katakana byte", "<t>\xB1</t>", u"\xFF71"},
      {"a NUL byte ends the document", std::string("<t>x</t>\0<u>", 12), u"x"},
  };
  for (const auto& c : cases) {
    auto root = Load(c.doc);
    ASSERT_NE(root, nullptr) << c.what;
    EXPECT_EQ(root->GetText(), c.text) << c.what;
  }
  // Attribute values read entities and CP932 the same way.
  auto root = Load("<t a=\"&quot;&amp;&apos;\" name=\"\x93\xFA\x96\x7B\"/>");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->FindAttribute(u"a")->value, u"\"&'");
  EXPECT_EQ(root->FindAttribute(u"name")->value, u"日本");
}

TEST(XmlLoad, LeadBytesAtTheEdgesOfTheirRangesTakeTheirTrailByte) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"\x81\x5C", u"―"}, {"\x9F\x5C", u"歃"}, {"\xE0\x5C", u"濬"}, {"\xFC\x4B", u"黑"},
      // Single bytes just inside the gap between the ranges.
      {"\xA1", u"\xFF61"}, {"\xDF", u"\xFF9F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(c.bytes[0])));
    auto root = Load("<t a=\"" + c.bytes + "\">" + c.bytes + "</t>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->FindAttribute(u"a")->value, c.text);
    EXPECT_EQ(root->GetText(), c.text);
  }
}

TEST(XmlLoad, DocumentWithoutElementsGivesNull) {
  int line = -1;
  EXPECT_EQ(Load("  just text\n", kXmlTrimText, &line), nullptr);
  EXPECT_EQ(line, 0);
  EXPECT_EQ(Load(""), nullptr);
  EXPECT_EQ(XmlLoad(nullptr, 10, 1), nullptr);
}

// Malformed documents give null and the line of the fault; never a crash or a
// read past the buffer.
TEST(XmlLoad, MalformedDocumentsAreErrorsWithTheirLine) {
  const struct {
    const char* what;
    std::string doc;
    int line;
  } cases[] = {
      {"last element not closed", "<a>\n<b></b>\n", 3},
      {"stray end tag", "<a></a>\n</a>", 2},
      {"second root", "<a/>\n<b/>", 2},
      {"entity without ';'", "<a>\n&lt b</a>", 2},
      {"entity at the end", "<a>&amp", 1},
      {"entity name too long", "<a>&" + std::string(65, 'x') + ";</a>", 1},
      {"lead byte as last byte", "<a/>\x82", 1},
      {"end inside a tag", "<a\n  x='1'", 2},
      {"end inside a quoted value", "<a x='1>", 1},
      {"attribute without '='", "<a x '1'/>", 1},
      {"attribute without quotes", "<a x=1/>", 1},
      {"empty tag name", "< a/>", 1},
      {"empty end tag name", "<a></>", 1},
      {"end inside a comment", "<a/><!-- x", 1},
      {"end inside CDATA", "<a><![CDATA[x]]", 1},
      {"end inside an instruction", "<?xml", 1},
      {"unknown markup", "<!FOO><a/>", 1},
      {"DOCTYPE without subset", "<!DOCTYPE a><a/>", 1},
      {"unknown DOCTYPE keyword", "<!DOCTYPE a [ <!ELEMENT a> ]><a/>", 1},
      {"end inside DOCTYPE", "<!DOCTYPE a [\n", 2},
      {"CR line ends count", "<a>\r\r\n\r", 4},
  };
  for (const auto& c : cases) {
    int line = 0;
    EXPECT_EQ(Load(c.doc, kXmlTrimText, &line), nullptr) << c.what;
    EXPECT_EQ(line, c.line) << c.what;
  }
}

TEST(XmlLoad, LeadByteAtTheEndOfTheBufferIsNotReadPast) {
  // The buffer ends at the lead byte; the byte after it in memory must not be used.
  const char bytes[] = "<a>x\x82\xA0</a>";
  CMemoryReaderSJIS reader(bytes, 5);
  std::u16string got;
  for (char16_t c = reader.ReadChar(); c != 0; c = reader.ReadChar()) got += c;
  EXPECT_EQ(got, u"<a>x\xFFFD");
  EXPECT_TRUE(reader.Failed());
}

TEST(XmlLoad, AnInvalidTrailByteIsReadForItself) {
  CMemoryReaderSJIS reader("\x81<", 2);
  EXPECT_EQ(reader.ReadChar(), platform::kReplacementChar);
  EXPECT_EQ(reader.ReadChar(), u'<');
  EXPECT_EQ(reader.ReadChar(), 0);
  EXPECT_FALSE(reader.Failed());
}

TEST(XmlLoadOrThrow, NamesTheFileAndTheLine) {
  const std::string doc = "<a>\n<b>\n</a></a></a>";
  try {
    XmlLoadOrThrow(doc.data(), doc.size(), kXmlTrimText, u"config.xml");
    FAIL();
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.Message), u"config.xml(3): XML syntax error");
    EXPECT_EQ(e.Type, kErrorTypeError);
  }
  EXPECT_THROW(XmlLoadOrThrow("", 0, kXmlTrimText, u"empty.xml"), ExceptionHandle);
  const std::string good = "<a/>";
  EXPECT_NE(XmlLoadOrThrow(good.data(), good.size(), kXmlTrimText, u"a.xml"), nullptr);
}

// Records the events a document gives.
struct EventLog {
  std::vector<std::string> events;
  int stopAt = -1;
  bool Add(std::string e) {
    events.push_back(std::move(e));
    return static_cast<int>(events.size()) != stopAt;
  }
};

XmlCallbacks LoggingCallbacks() {
  XmlCallbacks cb;
  cb.beginDocument = [](void* c) { return static_cast<EventLog*>(c)->Add("begin"); };
  cb.text = [](void* c, std::u16string_view t) {
    return static_cast<EventLog*>(c)->Add("text " + Utf8(std::u16string(t)));
  };
  cb.startElement = [](void* c, std::u16string_view n, const std::vector<XmlAttribute>& a) {
    return static_cast<EventLog*>(c)->Add("start " + Utf8(std::u16string(n)) + " " +
                                          std::to_string(a.size()));
  };
  cb.endElement = [](void* c, std::u16string_view n) {
    return static_cast<EventLog*>(c)->Add("end " + Utf8(std::u16string(n)));
  };
  cb.instruction = [](void* c, std::u16string_view t) {
    return static_cast<EventLog*>(c)->Add("pi " + Utf8(std::u16string(t)));
  };
  return cb;
}

TEST(XmlParser, SendsEventsInDocumentOrderAndStopsWhenACallbackSaysSo) {
  const std::string doc = "<?xml v?><!--c--><a k='v'>x<b/></a>";
  const std::vector<std::string> expected = {"begin",   "pi <?xml v?>", "pi <!--c-->", "start a 1",
                                             "text x",  "start b 0",    "end b",       "end a"};
  XmlCallbacks cb = LoggingCallbacks();
  {
    EventLog log;
    CMemoryReaderSJIS reader(doc.data(), doc.size());
    XmlParser parser;
    EXPECT_EQ(parser.Parse(&reader, cb, &log, kXmlTrimText), XmlParser::kComplete);
    EXPECT_EQ(log.events, expected);
  }
  {
    EventLog log;
    log.stopAt = 4;
    CMemoryReaderSJIS reader(doc.data(), doc.size());
    XmlParser parser;
    EXPECT_EQ(parser.Parse(&reader, cb, &log, kXmlTrimText), XmlParser::kStopped);
    EXPECT_EQ(log.events.size(), 4u);
  }
}

TEST(XmlElement, DeepTreesAreDeletedWithoutRecursion) {
  std::string doc;
  for (int i = 0; i < 100000; ++i) doc += "<a>";
  for (int i = 0; i < 100000; ++i) doc += "</a>";
  auto root = Load(doc);
  ASSERT_NE(root, nullptr);
  root.reset();
}

}  // namespace
