#include "app/probe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exception.h"
#include "platform/message_box.h"

namespace App {
namespace {

class ProbeTest : public ::testing::Test {
 protected:
  ProbeTest() : previous_(platform::SetMessageBoxService(&boxes_)) { boxes_.SetEcho(false); }
  ~ProbeTest() override { platform::SetMessageBoxService(previous_); }
  platform::HeadlessMessageBox boxes_;
  platform::IMessageBox* previous_;
};

TEST_F(ProbeTest, ModeFallbackFollowsTheTable) {
  const std::vector<DisplayMode> monitor = {
      {1920, 1080, 16, 60}, {1920, 1080, 24, 60}, {1920, 1080, 32, 60},
      {800, 600, 16, 60},   {800, 600, 24, 60},   {800, 600, 32, 60},
  };
  const std::vector<DisplayMode> only32 = {{800, 600, 32, 75}};
  const std::vector<DisplayMode> only16 = {{800, 600, 16, 60}};
  const std::vector<DisplayMode> only8 = {{800, 600, 8, 60}};
  const std::vector<DisplayMode> big = {{1024, 768, 24, 60}};
  struct Row {
    const std::vector<DisplayMode>* modes;
    DisplayMode wanted;
    bool full;
    DisplayMode chosen;
    bool chosen_full;
    std::vector<std::u16string> boxes;
  } rows[] = {
      {&monitor, {800, 600, 24, 0}, true, {800, 600, 24, 0}, true, {}},
      {&monitor, {800, 600, 24, 60}, true, {800, 600, 24, 60}, true, {}},
      {&monitor, {800, 600, 24, 85}, true, {800, 600, 24, 0}, true, {u"リフレッシュレートをデフォルトに変更します。"}},
      {&monitor, {800, 600, 24, 85}, false, {800, 600, 24, 0}, false, {}},
      {&only32, {800, 600, 24, 0}, true, {800, 600, 32, 0}, true, {}},
      {&only16, {800, 600, 24, 0}, true, {800, 600, 16, 0}, true, {}},
      {&only16, {800, 600, 32, 60}, true, {800, 600, 16, 60}, true, {}},
      {&only32, {800, 600, 16, 60}, true, {800, 600, 32, 0}, true, {u"リフレッシュレートをデフォルトに変更します。"}},
      {&only8, {800, 600, 16, 0}, true, {800, 600, 24, 0}, false, {u"ウィンドウモードに変更します(1)。"}},
      {&only8, {800, 600, 24, 0}, true, {800, 600, 16, 0}, false, {u"ウィンドウモードに変更します(3)。"}},
      {&only8, {800, 600, 32, 0}, true, {800, 600, 16, 0}, false, {u"ウィンドウモードに変更します(2)。"}},
      {&big, {800, 600, 24, 0}, true, {800, 600, 24, 0}, false, {u"ウィンドウモードに変更します(4)。"}},
      {&big, {800, 600, 24, 0}, false, {800, 600, 24, 0}, false, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.wanted.depth << "bit " << row.wanted.refresh << "Hz full " << row.full
                                    << " table " << row.modes->size());
    platform::HeadlessMessageBox boxes;
    boxes.SetEcho(false);
    platform::SetMessageBoxService(&boxes);
    ModeChoice choice = ChooseDisplayMode(*row.modes, row.wanted, row.full);
    platform::SetMessageBoxService(&boxes_);
    EXPECT_EQ(choice.full_screen, row.chosen_full);
    EXPECT_EQ(choice.mode.depth, row.chosen.depth);
    EXPECT_EQ(choice.mode.refresh, row.chosen.refresh);
    std::vector<std::u16string> texts;
    for (const auto& b : boxes.shown()) {
      texts.push_back(b.text);
      EXPECT_EQ(b.caption, u"DirectDraw 初期化");
    }
    EXPECT_EQ(texts, row.boxes);
  }
}

TEST_F(ProbeTest, AssertBoxAbortThrowsAndTheOthersContinue) {
  boxes_.SetAnswer(platform::IDIGNORE);
  EXPECT_EQ(AssertBox("x > 0", "backlog.cpp", 12, nullptr), 1);
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_EQ(boxes_.shown()[0].text, u"Assert(x > 0);\nFile backlog.cpp, line 12.");
  EXPECT_EQ(boxes_.shown()[0].caption, u"MESRIN");
  EXPECT_EQ(boxes_.shown()[0].flags, platform::MB_ABORTRETRYIGNORE | platform::MB_ICONERROR);
  if (!DebuggerAttached()) {
    boxes_.SetAnswer(platform::IDRETRY);
    EXPECT_EQ(AssertBox("a", "f", 1, "more"), 1);
    EXPECT_EQ(boxes_.shown()[1].text, u"Assert(a);\nFile f, line 1.  more");
  }
  boxes_.SetAnswer(platform::IDABORT);
  try {
    AssertBox("y", "g.cpp", 3, nullptr);
    ADD_FAILURE() << "Abort returned";
  } catch (const ExceptionHandle& record) {
    EXPECT_EQ(record.Type, kErrorTypeError);
    EXPECT_EQ(std::u16string(record.Source), u"misc");
    EXPECT_EQ(record.Line, 55);
    EXPECT_EQ(std::u16string(record.Message), u"Assert(y);\nFile g.cpp, line 3.");
  }
}

}  // namespace
}  // namespace App
