// The game-wide state: read flags, reading speeds, the backlog, name lists and
// scene records.
#include <gtest/gtest.h>

#include <cstring>

#include "game/game_state.h"
#include "save/save_types.h"

namespace {

class StateTest : public ::testing::Test {
 protected:
  StateTest() { Save::GetCommonData() = Save::CommonData{}; }
  ~StateTest() override {
    Save::GetCommonData() = Save::CommonData{};
    Game::ClearSceneState();
  }
};

TEST_F(StateTest, ReadFlagsCoverPagesBelowThePrologueFlagOnly) {
  struct Case {
    int page;
    bool kept;
  };
  const Case cases[] = {{-1, false}, {0, true}, {7, true}, {8, true}, {16382, true}, {16383, false}, {20000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    Game::SetReadFlag(c.page);
    EXPECT_EQ(Game::TestReadFlag(c.page), c.kept ? 1 : 0);
  }
  EXPECT_FALSE(Save::GetFlag(Save::GetCommonData(), Game::kPrologueFlag)) << "a page set the prologue flag";
  Game::SetPrologueSeen();
  EXPECT_EQ(Save::GetCommonData().flags[2047], 0x01 | 0x02);  // prologue and page 16382
  EXPECT_EQ(Game::TestReadFlag(16383), 0);
}

TEST_F(StateTest, SpeedIndicesSurviveTheirRoundTripAndUnknownValuesReadAsTheDefault) {
  for (int i = 0; i < 4; ++i) {
    Game::SetMessageSpeed(i);
    EXPECT_EQ(Game::GetMessageSpeed(), i);
  }
  for (int i = 0; i < 5; ++i) {
    Game::SetAutoSpeed(i);
    EXPECT_EQ(Game::GetAutoSpeed(), i);
  }
  Game::SetMessageSpeed(3);
  Game::SetMessageSpeed(9);  // outside the table: unchanged
  EXPECT_EQ(Game::MessageDelayPercent, 400);
  Game::MessageDelayPercent = 100;
  EXPECT_EQ(Game::GetMessageSpeed(), 2);
  Game::AutoWait = 5;
  EXPECT_EQ(Game::GetAutoSpeed(), 3);
}

TEST_F(StateTest, BacklogKeepsTheLatestSixtyWithUpperCaseVoices) {
  Game::BacklogList log;
  for (int i = 0; i <= 60; ++i) log.Append(std::u16string(1, static_cast<char16_t>(u'0' + i % 10)), u"v001");
  ASSERT_EQ(log.Size(), 60u);
  EXPECT_EQ(log[0].text, u"1");  // the first was dropped
  EXPECT_EQ(log.Back().voice, u"V001");
  log.Append(u"x", u"00");
  EXPECT_EQ(log.Back().voice, u"");
  // A step back leaves the list as its page began, the entries the page's own
  // messages pushed out back in their place; a load starts a page with none.
  log.MarkPageStart();
  for (const char16_t* text : {u"p", u"q", u"r"}) log.Append(text, u"");
  log.BackToPageStart();
  ASSERT_EQ(log.Size(), 60u);
  EXPECT_EQ(log[0].text, u"2");
  EXPECT_EQ(log.Back().text, u"x");
  log.Clear();
  log.Append(u"y", u"");
  log.BackToPageStart();
  EXPECT_TRUE(log.Empty());
}

TEST_F(StateTest, NameListsIgnoreCase) {
  Game::NameList list;
  EXPECT_TRUE(Game::AddName(list, u"bg1"));
  EXPECT_FALSE(Game::AddName(list, u"BG1"));
  EXPECT_TRUE(Game::AddName(list, u"BG2"));
  EXPECT_EQ(list.size(), 2u);
}

TEST_F(StateTest, SceneRecordNamesAreCutAtAWholeCharacter) {
  struct Case {
    std::u16string name;
    std::u16string kept;
  };
  const Case cases[] = {
      {u"bg01a", u"bg01a"},
      {std::u16string(40, u'a'), std::u16string(30, u'a')},
      {u"a" + std::u16string(20, u'背'), u"a" + std::u16string(14, u'背')},  // 29 bytes; a 15th would need 31
  };
  for (const Case& c : cases) {
    Game::SetSceneRecord(Save::kSceneBgm, 1, c.name);
    EXPECT_EQ(Game::SceneRecordName(Save::kSceneBgm), c.kept);
    EXPECT_EQ(Save::GetSceneState().records[Save::kSceneBgm].name[30], 0);
  }
  Game::ClearSceneState();
  EXPECT_EQ(Game::SceneRecordState(Save::kSceneBgm), 0);
  EXPECT_EQ(Game::SceneRecordName(Save::kSceneBgm), u"");
}

}  // namespace
