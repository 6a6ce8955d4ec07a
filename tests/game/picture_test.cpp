#include "game/picture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/config.h"
#include "platform/text.h"

namespace {

std::string Describe(const std::vector<PictureLayer>& layers) {
  std::string out;
  for (const PictureLayer& l : layers) {
    out += platform::Utf16ToUtf8(l.name);
    if (l.x != 0) out += "@" + std::to_string(l.x);
    out += " ";
  }
  return out;
}

TEST(PictureLayers, GrpNamesOfSevenOrNineCharacters) {
  const struct {
    std::u16string name;
    std::string layers;
  } cases[] = {
      {u"BG11010", "BG10000 BG11000 BG10010 "},
      {u"BG10000", "BG10000 "},
      {u"BGabcde", "BGa0000 BGab000 BGa0c00 BGa00d0 BGa000e "},
      {u"EV0000001", "EV0000000 EV0000001 "},
      {u"EV1002030", "EV1000000 EV1002000 EV1000030 "},
      {u"BG1", ""},
      {u"BG100000", ""},
      {u"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(GrpLayers(c.name)), c.layers) << platform::Utf16ToUtf8(c.name);
}

TEST(PictureLayers, CharacterNamesTakeTheirPositionFromTheConfiguration) {
  SystemConfig& config = GetSystemConfig();
  const SystemConfig saved = config;
  config.chrPositions = {{u'A', 240}, {u'*', 400}};
  config.chlPositions = {{u'*', 560}};
  const struct {
    std::u16string name;
    int command;
    std::string layers;
  } cases[] = {
      {u"A010203", 3, "H010000 A000200@240 A000003@240 "},
      {u"a000203", 3, "a000200@240 a000003@240 "},
      {u"C000300", 3, "C000300@400 "},
      {u"A000300", 4, "A000300@560 "},
      {u"B000000", 4, ""},
      {u"A0102", 3, ""},  // shorter than 7: no field is read past the name
      {u"A01020304", 3, "H010000 A000200@240 A000003@240 "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Describe(CharacterLayers(c.name, c.command)), c.layers) << platform::Utf16ToUtf8(c.name);
  }
  config.chlPositions.clear();
  EXPECT_EQ(Describe(CharacterLayers(u"A000300", 4)), "A000300 ");
  config = saved;
}

}  // namespace
