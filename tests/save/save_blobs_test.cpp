// The stored byte layouts: golden blobs built here from the field offsets, and
// decoders fed blobs that are short, long or damaged.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/exception.h"
#include "platform/text.h"
#include "save/save_blobs.h"
#include "save_test_util.h"
#include "textscript/script_vars.h"

namespace {

using save_test::Raises;
using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, size_t at, std::initializer_list<uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<ptrdiff_t>(at));
}
void Put16(Bytes& b, size_t at, uint16_t v) { Put(b, at, {uint8_t(v), uint8_t(v >> 8)}); }
void Put32(Bytes& b, size_t at, uint32_t v) { Put(b, at, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }

TEST(SaveBlobs, CommonMatchesItsStoredLayout) {
  Save::CommonData data;
  data.lastSavedSlot = 5;
  std::u16string family = u"山田", given = u"太郎";
  std::copy(family.begin(), family.end(), data.familyName);
  std::copy(given.begin(), given.end(), data.givenName);
  Save::SetFlag(data, 0, true);
  Save::SetFlag(data, Save::kFlagCount - 1, true);

  Bytes golden(2308, 0);
  Put32(golden, 0, 5);
  Put16(golden, 4, 0x5C71);  // 山
  Put16(golden, 6, 0x7530);  // 田
  Put16(golden, 132, 0x592A);  // 太
  Put16(golden, 134, 0x90CE);  // 郎
  golden[260] = 0x80;
  golden[2307] = 0x01;
  EXPECT_EQ(Save::EncodeCommon(data), golden);

  Save::CommonData back;
  Save::DecodeCommon(golden, back);
  EXPECT_EQ(Save::EncodeCommon(back), golden);
}

TEST(SaveBlobs, ShortCommonFillsOnlyItsOwnLengthAndNamesStayTerminated) {
  Save::CommonData data;
  data.givenName[0] = u'G';
  Save::DecodeCommon(Bytes{7, 0, 0, 0, 'A', 0}, data);
  EXPECT_EQ(data.lastSavedSlot, 7);
  EXPECT_EQ(std::u16string(data.familyName), u"A");
  EXPECT_EQ(std::u16string(data.givenName), u"G");

  Bytes full(2400, 'x');  // longer than the record, names without terminators
  Save::DecodeCommon(full, data);
  EXPECT_EQ(std::u16string(data.familyName).size(), 63u);
}

TEST(SaveBlobs, NameListsMatchTheirLayoutAndReadOnlyInsideTheBlob) {
  EXPECT_EQ(Save::EncodeNameList({}), Bytes{0});
  EXPECT_EQ(Save::EncodeNameList({u"ABC", u"", u"ＢＧ"}), (Bytes{'A', 'B', 'C', 0, 0x82, 0x61, 0x82, 0x66, 0, 0}));
  EXPECT_EQ(Save::DecodeNameList(Bytes{0}), std::vector<std::u16string>{});

  struct Case {
    Bytes blob;
    std::vector<std::u16string> names;
  } cases[] = {
      {{}, {}},
      {{'A', 'B', 'C'}, {u"ABC"}},                    // neither NUL nor end byte
      {{'A', 0, 'B', 0}, {u"A", u"B"}},               // no end byte
      {{'A', 0, 0, 'B', 0, 0}, {u"A"}},               // the first empty name ends the list
  };
  for (const Case& c : cases) EXPECT_EQ(Save::DecodeNameList(c.blob), c.names);

  Bytes long_name(62, 'N');
  for (int b : {0x82, 0xA0, int('Z'), 0, 0}) long_name.push_back(uint8_t(b));  // あ across the 63-byte cut
  EXPECT_EQ(Save::DecodeNameList(long_name), std::vector<std::u16string>{std::u16string(62, u'N')});
}

TEST(SaveBlobs, VariablesMatchTheirLayoutAndRoundTripShiftJisNames) {
  TextScript::ScriptVarTable table;
  table.Insert(u"変数", -2);
  EXPECT_EQ(Save::EncodeVariables(table), (Bytes{0x95, 0xCF, 0x90, 0x94, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0}));

  for (int i = 0; i < 50; ++i) table.Insert(u"フラグ" + std::u16string(1, char16_t(u'A' + i % 26)) + char16_t(u'0' + i / 26), i * 1000 - 7);
  const std::vector<Save::VariableRecord> back = Save::DecodeVariables(Save::EncodeVariables(table));
  ASSERT_EQ(back.size(), table.Count());
  for (const Save::VariableRecord& r : back) {
    const TextScript::SCRIPTVARENTRY* e = table.Find(TextScript::SCRIPTVARENTRY::kInteger, r.name);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->value, r.value);
  }
}

TEST(SaveBlobs, VariablesThatDoNotFitOrAreCutShortRaiseInsteadOfVanishing) {
  TextScript::ScriptVarTable big;
  for (int i = 0; i < 4000; ++i) big.Insert(u"VARIABLE_" + platform::Utf8ToUtf16(std::to_string(i)), i);
  EXPECT_TRUE(Raises([&] { Save::EncodeVariables(big); }));

  EXPECT_TRUE(Raises([] { Save::DecodeVariables(Bytes{'A', 0, 1, 2}); }));
  EXPECT_TRUE(Raises([] { Save::DecodeVariables(Bytes{'A', 'B'}); }));
  EXPECT_EQ(Save::DecodeVariables(Bytes{'A', 0, 1, 0, 0, 0}).size(), 1u);  // no end byte: the blob's end
}

TEST(SaveBlobs, SlotHeaderMatchesItsStoredLayout) {
  Save::SlotHeader header;
  header.summary.comment = "\x83\x5A\x81\x5B\x83\x75";  // セーブ
  header.summary.time = {2026, 12, 1, 7, 8, 9, 10, 11};
  header.resumePage = 42;
  header.thumbInfo.biWidth = 140;
  header.thumbInfo.biHeight = 105;
  header.thumbInfo.biBitCount = 32;
  header.thumbBits.resize(Save::kThumbPixelBytes);
  for (size_t i = 0; i < header.thumbBits.size(); ++i) header.thumbBits[i] = uint8_t(i * 7);
  header.scene.records[Save::kSceneBackground].state = 2;
  std::strcpy(header.scene.records[Save::kSceneBackground].name, "BG01");
  header.scene.records[Save::kSceneSe2].state = 2;
  std::strcpy(header.scene.records[Save::kSceneSe2].name, "SE_LOOP");

  Bytes golden(65796, 0);
  Put(golden, 4, {0x83, 0x5A, 0x81, 0x5B, 0x83, 0x75});
  const uint16_t time[] = {2026, 12, 1, 7, 8, 9, 10, 11};
  for (int i = 0; i < 8; ++i) Put16(golden, 40 + 2 * i, time[i]);
  Put32(golden, 56, 42);
  Put32(golden, 60, 40);
  Put32(golden, 64, 140);
  Put32(golden, 68, 105);
  Put16(golden, 72, 1);
  Put16(golden, 74, 32);
  std::copy(header.thumbBits.begin(), header.thumbBits.end(), golden.begin() + 100);
  Put(golden, 65636, {2, 'B', 'G', '0', '1'});
  Put(golden, 65764, {2, 'S', 'E', '_', 'L', 'O', 'O', 'P'});
  ASSERT_EQ(Save::EncodeSlotHeader(header), golden);

  const Save::SlotHeader back = Save::DecodeSlotHeader(golden);
  EXPECT_EQ(back.summary.comment, header.summary.comment);
  EXPECT_EQ(back.summary.time, header.summary.time);
  EXPECT_EQ(back.resumePage, 42u);
  EXPECT_EQ(Save::EncodeSlotHeader(back), golden);
}

TEST(SaveBlobs, CommentIsCutTo35BytesWithoutSplittingACharacter) {
  std::string kana;
  for (int i = 0; i < 20; ++i) kana += "\x82\xA0";  // あ x 20, 40 bytes
  struct Case {
    std::string in;
    size_t kept;
  } cases[] = {{std::string(40, 'c'), 35}, {kana, 34}, {"a" + kana, 35}};
  for (const Case& c : cases) {
    Save::SlotHeader header;
    header.summary.comment = c.in;
    const Bytes blob = Save::EncodeSlotHeader(header);
    EXPECT_EQ(Save::DecodeSlotSummary(blob).comment, c.in.substr(0, c.kept));
    EXPECT_EQ(blob[4 + c.kept], 0);
  }
}

TEST(SaveBlobs, HeaderReadersRefuseWrongSizesAndUntrustedThumbnails) {
  EXPECT_TRUE(Raises([] { Save::DecodeSlotHeader(Bytes(65795)); }));
  EXPECT_TRUE(Raises([] { Save::DecodeSlotHeader(Bytes(65797)); }));
  EXPECT_TRUE(Raises([] { Save::DecodeSlotSummary(Bytes(55)); }));

  Save::SlotHeader header;  // a save without a picture
  const Bytes none = Save::EncodeSlotHeader(header);
  EXPECT_EQ(Bytes(none.begin() + 60, none.begin() + 100), Bytes(40, 0)) << "the all-zero mark";
  EXPECT_TRUE(Save::DecodeThumbnail(none).empty());
  header.thumbInfo.biWidth = 4000;  // sizes the blob cannot hold
  header.thumbInfo.biHeight = 105;
  header.thumbInfo.biBitCount = 32;
  EXPECT_TRUE(Save::DecodeThumbnail(Save::EncodeSlotHeader(header)).empty());

  header.thumbInfo.biWidth = 140;
  header.thumbBits.assign(Save::kThumbPixelBytes, 0);
  header.thumbBits[0] = 0x11;  // bottom-left pixel, blue
  const std::vector<uint32_t> pixels = Save::DecodeThumbnail(Save::EncodeSlotHeader(header));
  ASSERT_EQ(pixels.size(), 140u * 105u);
  EXPECT_EQ(pixels[140 * 104], 0x11u);
}

}  // namespace
