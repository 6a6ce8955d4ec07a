#include "game/config.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <string>

#include "archive/archive.h"
#include "core/exception.h"
#include "core/xml.h"
#include "game/error_text.h"
#include "platform/text.h"
#include "save/save_types.h"

namespace {

// A system part with every element that must be there; `extra` goes inside <system>.
std::string SystemXml(const std::string& extra, const std::string& name = "first=\"山田\" last=\"太郎\"") {
  return "<config><system><name " + name +
         "/><title menu=\" 560,300\"/><ending credit=\"7\"/>"
         "<chr><pos name=\"a\" x=\"100\"/><pos name=\"*\" x=\"400\"/><pos name=\"B\" x=\"200\"/></chr>"
         "<chl><pos name=\"*\" x=\"560\"/></chl>" +
         extra + "</system></config>";
}

std::unique_ptr<XmlElement> Parse(const std::string& utf8) {
  const std::string cp932 = platform::Utf16ToCp932(platform::Utf8ToUtf16(utf8));
  return XmlLoadOrThrow(cp932.data(), cp932.size(), kXmlTrimText, u"config.xml");
}

// The text with the first `from` replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

using game_test::ErrorOf;

TEST(SystemConfigReader, ReadsNamesMenuMusicAndPositions) {
  SystemConfig c;
  ReadSystemConfig(*Parse(SystemXml("<bgm mode=\"title\" name=\"b01\"/><bgm mode=\"Title\" name=\"x\"/>"
                                    "<bgm mode=\"cgmode\" name=\"b09\"/><bgm mode=\"title\" name=\"b02\"/>")),
                   c, u"config.xml");
  EXPECT_EQ(std::u16string(c.familyName), u"山田");
  EXPECT_EQ(std::u16string(c.givenName), u"太郎");
  EXPECT_EQ(c.titleMenuX, 560);
  EXPECT_EQ(c.titleMenuY, 300);
  EXPECT_EQ(c.endingCount, 7);
  EXPECT_EQ(c.titleMusic, u"b02");
  EXPECT_EQ(c.cgModeMusic, u"b09");
  // A '*' before a letter's own entry wins: b stands at 400, not 200.
  const struct {
    char16_t letter;
    int32_t chr, chl;
  } lookups[] = {{u'a', 100, 560}, {u'A', 100, 560}, {u'b', 400, 560}, {u'z', 400, 560}};
  for (const auto& l : lookups) {
    EXPECT_EQ(FindCharacterPosition(c.chrPositions, l.letter), l.chr) << char(l.letter);
    EXPECT_EQ(FindCharacterPosition(c.chlPositions, l.letter), l.chl) << char(l.letter);
  }
  EXPECT_EQ(FindCharacterPosition({}, u'A'), 0);
}

TEST(SystemConfigReader, UnreadableNumbersKeepTheirValueAndLongNamesAreCut) {
  SystemConfig c;
  c.titleMenuY = 33;
  const std::string longName(70, 'n');
  const std::string xml = "<config><system><name first=\"" + longName + "\" last=\"\"/><title menu=\"12;5\"/>"
                          "<ending credit=\"x\"/><chr><pos name=\"\" x=\"q\"/></chr><chl/></system></config>";
  ReadSystemConfig(*Parse(xml), c, u"config.xml");
  EXPECT_EQ(std::u16string(c.familyName), std::u16string(63, u'n'));
  EXPECT_EQ(c.titleMenuX, 12);
  EXPECT_EQ(c.titleMenuY, 33);
  EXPECT_EQ(c.endingCount, 0);
  ASSERT_EQ(c.chrPositions.size(), 1u);
  EXPECT_EQ(c.chrPositions[0].key, 0);
  EXPECT_EQ(c.chrPositions[0].x, 0);
}

TEST(ConfigReaders, MissingPartsAndBadValuesNameTheFileAndTheElement) {
  const std::string gallery = "<cgalbum width=\"140\" height=\"105\" thumbsize=\"150,110\" exit=\"1,2,3,4,5,6,7,8\" "
                              "prev=\"1,2,3,4,5,6,7,8\" next=\"1,2,3,4,5,6,7,8\"><page/></cgalbum>";
  struct Case {
    std::string xml;
    int reader;  // 0 system, 1 backlog, 2 album
    std::string error;
  };
  const Case cases[] = {
      {"<config/>", 0, "config.xml: element 'system' is missing."},
      {Replaced(SystemXml(""), "<title menu=\" 560,300\"/>", ""), 0, "element 'system/title' is missing"},
      {SystemXml("", "first=\"a\""), 0, "attribute 'last' of 'system/name' is missing"},
      {"<config><system><name first=\"\" last=\"\"/><title menu=\"\"/><ending credit=\"1\"/><chr><pos x=\"1\"/></chr>"
       "<chl/></system></config>",
       0, "attribute 'name' of 'system/chr/pos' is missing"},
      {"<config><system><name first=\"\" last=\"\"/><title menu=\"\"/><ending credit=\"-1\"/><chr/><chl/>"
       "</system></config>",
       0, "negative"},
      {SystemXml(""), 1, "element 'system/backlog' is missing"},
      {SystemXml("<backlog><face chr=\"a\"/></backlog>"), 1, "attribute 'number' of 'system/backlog/face'"},
      {"<c/>", 2, "element 'cgalbum' is missing"},
      {"<c><cgalbum width=\"1\" height=\"1\" thumbsize=\"1,1\" exit=\"1,2,3,4,5,6,7\" prev=\"\" next=\"\"/></c>", 2,
       "'exit' of 'cgalbum' needs eight numbers"},
      {"<c><cgalbum width=\"-140\" height=\"1\" thumbsize=\"1,1\"/></c>", 2, "'cgalbum' has a negative size"},
      {"<c>" + Replaced(gallery, "<page/>", "") + "</c>", 2, "element 'cgalbum/page' is missing"},
      {"<c>" + Replaced(gallery, "<page/>", "<page><cg pos=\"1,1\"/></page>") + "</c>", 2,
       "attribute 'flag' of 'cgalbum/page/cg' is missing"},
      {"<c>" + gallery + "</c>", 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    const std::unique_ptr<XmlElement> root = Parse(c.xml);
    const std::string error = ErrorOf([&] {
      SystemConfig config;
      if (c.reader == 0) ReadSystemConfig(*root, config, u"config.xml");
      if (c.reader == 1) ReadBacklogFaces(*root, u"config.xml");
      if (c.reader == 2) ReadGalleryConfig(*root, u"cgalbum", u"config.xml");
    });
    if (c.error.empty()) {
      EXPECT_EQ(error, "");
    } else {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      EXPECT_EQ(error.rfind("config.xml", 0), 0u) << error;
    }
  }
}

TEST(GalleryConfigReader, NumbersItemsOverPagesByTheirCgElementsOnly) {
  const std::string xml =
      "<c><sceneplay width=\"w\" height=\"90\" thumbsize=\"150,110\" exit=\"700,550,80,30,0,600,80,600\" "
      "prev=\"1,2,3,4,5,6,7,8\" next=\"8,7,6,5,4,3,2,1\">"
      "<page><cg pos=\"10,20\" flag=\"S01\">a,b</cg>stray<cg pos=\"30,40\" flag=\"S02\"/>"
      "<cg pos=\"50,60\" flag=\"S03\"/></page>"
      "<page><cg pos=\"1,1\" flag=\"S04\"/><cg pos=\"2,2\" flag=\"S05\"/></page></sceneplay></c>";
  const GalleryConfig g = ReadGalleryConfig(*Parse(xml), u"sceneplay", u"config.xml");
  EXPECT_EQ(g.width, 140);
  EXPECT_EQ(g.height, 90);
  EXPECT_EQ(g.cellWidth, 150);
  EXPECT_EQ(g.cellHeight, 110);
  EXPECT_EQ(g.exit.y, 550);
  EXPECT_EQ(g.exit.sy1, 600);
  EXPECT_EQ(g.next.x, 8);
  ASSERT_EQ(g.pages.size(), 2u);
  ASSERT_EQ(g.pages[0].size(), 3u);
  EXPECT_EQ(g.pages[0][0].text, u"a,b");
  EXPECT_EQ(g.pages[0][2].x, 50);
  EXPECT_EQ(g.pages[0][2].y, 60);
  EXPECT_EQ(g.pages[1][0].sheetRow, 3);
  EXPECT_EQ(g.pages[1][1].sheetRow, 4);
  EXPECT_EQ(g.pages[1][1].flag, u"S05");
  EXPECT_EQ(g.lockedRow, 5);
}

TEST(ConfigReaders, BacklogFacesTakeTheUpperCasedFirstCharacter) {
  const auto faces = ReadBacklogFaces(
      *Parse(SystemXml("<backlog><face chr=\"mi\" number=\"3\"/><face chr=\"K\" number=\"x\"/></backlog>")),
      u"config.xml");
  ASSERT_EQ(faces.size(), 2u);
  EXPECT_EQ(faces[0].key, u'M');
  EXPECT_EQ(faces[0].number, 3);
  EXPECT_EQ(faces[1].key, u'K');
  EXPECT_EQ(faces[1].number, 0);
}

TEST(SplitCommaList, CutsAtEveryCommaKeepingEmptyPieces) {
  const struct {
    std::u16string text;
    std::vector<std::u16string> pieces;
  } cases[] = {
      {u"a,b", {u"a", u"b"}},       {u"a,,b", {u"a", u"", u"b"}}, {u"a,", {u"a", u""}},
      {u"abc", {u"abc"}},           {u"", {u""}},                 {u" a , b", {u" a ", u" b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommaList(c.text), c.pieces) << platform::Utf16ToUtf8(c.text);
}

TEST(LoadSystemConfig, ReadsTheArchiveAndReportsAMissingOrBrokenFile) {
  const auto dir = std::filesystem::temp_directory_path() / ("config_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string cp932 = platform::Utf16ToCp932(platform::Utf8ToUtf16(SystemXml("")));
  std::ofstream(dir / "config.xml", std::ios::binary) << cp932;
  std::ofstream(dir / "broken.xml", std::ios::binary) << "<config><system>";
  IArchive* previous = ScriptArchive;
  ScriptArchive = OpenDirArchive(platform::Utf8ToUtf16(dir.string()));
  ASSERT_NE(ScriptArchive, nullptr);

  Save::CommonData& common = Save::GetCommonData();
  const Save::CommonData saved = common;
  LoadSystemConfig();
  EXPECT_EQ(std::u16string(common.familyName), u"山田");
  EXPECT_EQ(std::u16string(common.givenName), u"太郎");
  EXPECT_EQ(GetSystemConfig().titleMenuX, 560);
  EXPECT_NE(ErrorOf([] { LoadSystemConfig(u"none.xml"); }).find("none.xml: file not found"), std::string::npos);
  EXPECT_NE(ErrorOf([] { LoadSystemConfig(u"broken.xml"); }).find("broken.xml"), std::string::npos);
  EXPECT_EQ(GetSystemConfig().titleMenuX, 560) << "a broken file changes nothing";
  common = saved;

  ScriptArchive->Release();
  ScriptArchive = previous;
  std::filesystem::remove_all(dir);
}

}  // namespace
