#include "message/messview.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/act.h"
#include "message/frame_fixture.h"
#include "message/messwindow.h"
#include "platform/glyph_rasterizer.h"
#include "platform/text.h"
#include "save/save_types.h"
#include "textscript/script_host.h"

namespace TextScript {
namespace {

using message_test::FrameFixture;

std::u16string CommandText(const std::vector<MESSCOMMAND>& commands) {
  std::u16string out;
  for (const MESSCOMMAND& c : commands) {
    if (c.code == kMessEnd) break;
    out.push_back(static_cast<char16_t>(c.value));
  }
  return out;
}

TEST(ExpandMessageGlyphs, PutsInNamesAndKeepsTheEndInsideTheCapacity) {
  struct Case {
    std::u16string text;
    std::size_t capacity;
    std::u16string expected;  // the characters before the end command
  };
  const std::u16string longText(2000, u'x');
  const Case cases[] = {
      {u"#1さん", 16, u"山田さん"},
      {u"#2と#1", 16, u"太郎と山田"},
      {u"#3", 16, u"#3"},
      {u"ab#", 16, u"ab#"},
      {u"##1", 16, u"#山田"},
      {u"#", 16, u"#"},
      {u"abcdef", 4, u"abc"},
      {u"#1#1", 4, u"山田山"},  // a name is cut where the capacity ends
      {u"abc", 1, u""},
      {longText, kMessageCapacity, std::u16string(1023, u'x')},
      {std::u16string(u"ab\0cd", 5), 16, u"ab"},
  };
  // A text without names comes out the same through CopyMessageGlyphs.
  for (const bool copy : {false, true}) {
    for (const Case& c : cases) {
      if (copy && c.text.find(u'#') != std::u16string::npos) continue;
      SCOPED_TRACE(platform::Utf16ToUtf8(c.text.substr(0, 20)) + (copy ? " copied" : ""));
      std::vector<MESSCOMMAND> out(c.capacity + 1, MESSCOMMAND{0xEE, 0xEE});
      const std::span<MESSCOMMAND> room(out.data(), c.capacity);
      const std::size_t n = copy ? CopyMessageGlyphs(room, c.text) : ExpandMessageGlyphs(room, c.text, u"山田", u"太郎");
      EXPECT_EQ(n, c.expected.size() + 1);
      EXPECT_EQ(CommandText(out), c.expected);
      EXPECT_EQ(out[n - 1].code, kMessEnd);
      EXPECT_EQ(out[c.capacity].code, 0xEEu) << "wrote past the capacity";
    }
  }
  MESSCOMMAND none{0xEE, 0};
  EXPECT_EQ(ExpandMessageGlyphs(std::span(&none, 0), u"abc", u"", u""), 0u);
  EXPECT_EQ(CopyMessageGlyphs(std::span(&none, 0), u"abc"), 0u);
  EXPECT_EQ(none.code, 0xEEu);
}

TEST(ExpandMessageGlyphs, NamesInsideANameAreNotExpandedAgain) {
  Save::CommonData& common = Save::GetCommonData();
  const Save::CommonData saved = common;
  platform::CopyWide(common.familyName, Save::kNameUnits, u"#2#1");
  platform::CopyWide(common.givenName, Save::kNameUnits, u"B");
  MessCommandArray commands(16);
  MESSCOMMAND* end = ExpandMessageGlyphs(0, commands.data(), commands.size(), u"<#1>");
  EXPECT_EQ(end - commands.data(), 7);
  EXPECT_EQ(CommandText({commands.data(), end}), u"<#2#1>");
  EXPECT_EQ(ExpandMessageText(u"#1#2", 5), u"#2#1B");
  EXPECT_EQ(ExpandMessageText(u"#1#2", 3), u"#2#");
  common = saved;
}

// Faces that draw the headless boxes and note every text they render.
class RecordingRasterizer : public platform::IGlyphRasterizer {
 public:
  class Face : public platform::IFontFace {
   public:
    Face(std::unique_ptr<platform::IFontFace> inner, std::u32string* log) : inner_(std::move(inner)), log_(log) {}
    int CellHeight() const override { return inner_->CellHeight(); }
    int TextWidth(std::u16string_view text) override { return inner_->TextWidth(text); }
    void Render(std::u16string_view text, std::span<uint8_t> pixels, int width, int height, int pitch) override {
      for (std::size_t i = 0; i < text.size();) log_->push_back(platform::NextCodePoint(text, i));
      inner_->Render(text, pixels, width, height, pitch);
    }

   private:
    std::unique_ptr<platform::IFontFace> inner_;
    std::u32string* log_;
  };

  std::unique_ptr<platform::IFontFace> OpenFace(const platform::FontRequest& request) override {
    return std::make_unique<Face>(headless_.OpenFace(request), &log);
  }
  std::vector<std::u16string> ListFontFamilies() override { return {}; }

  std::u32string log;  // every character rendered, in order (a glyph drawn again from the cache is not)

 private:
  platform::HeadlessGlyphRasterizer headless_;
};

class MessViewTest : public FrameFixture {
 protected:
  MessViewTest() {
    previous_rasterizer_ = platform::SetGlyphRasterizer(&rasterizer_);
    view_ = new DxMessView2(200, 100);
    view_->SetFont(16, 2, nullptr);
    screen_->AddChild(view_);
  }
  ~MessViewTest() override {
    view_->Release();
    platform::SetGlyphRasterizer(previous_rasterizer_);
  }

  static void CountCall(intptr_t argument) { ++*reinterpret_cast<int*>(argument); }

  RecordingRasterizer rasterizer_;
  platform::IGlyphRasterizer* previous_rasterizer_ = nullptr;
  DxMessView2* view_ = nullptr;
};

TEST_F(MessViewTest, DrawsEachCharacterOnceAndWaitsOnlyAfterDrawnOnes) {
  struct Case {
    std::u16string text;
    uint32_t delay;
    std::u32string drawn;
    int calls;  // per-character callbacks
  };
  const Case cases[] = {
      // A low half alone stands for itself, also after a text that ended in a high half.
      {u"\xDE00", 20, U"\xDE00", 1},
      {u"ab", 0, U"ab", 0},
      {u"ab", 20, U"ab", 2},
      {u"a\xD83D\xDE00", 20, U"a\U0001F600", 2},  // a pair is one character
      {u"a\xD83D", 20, U"a", 1},                  // a high half at the end draws nothing
      {u"\xD83D" u"b", 20, U"b", 1},              // nor before an ordinary character
  };
  // A high half left at the end of one text is not joined to the next text.
  view_->DrawText(0, 0xFFFFFF, 0, u"x\xD83D", nullptr, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(c.text));
    rasterizer_.log.clear();
    int calls = 0;
    view_->Clear(0);
    view_->SetTextOrigin(0, 0);
    const uint64_t frames = frame_.FrameCount();
    view_->DrawText(0, 0xFFFFFF, c.delay, c.text.c_str(), CountCall, reinterpret_cast<intptr_t>(&calls));
    EXPECT_EQ(rasterizer_.log, c.drawn);
    EXPECT_EQ(calls, c.calls);
    // Each wait of 20 ms takes two frames of 16 ms; no delay takes none.
    EXPECT_EQ(frame_.FrameCount() - frames, c.delay == 0 ? 0u : 2u * static_cast<uint64_t>(c.calls));
  }
  // A held skip button ends each wait at the next frame.
  source_.SetKey(App::DIK_NUMPAD7, true);
  const uint64_t frames = frame_.FrameCount();
  view_->DrawText(0, 0xFFFFFF, 20, u"ab", nullptr, 0);
  EXPECT_EQ(frame_.FrameCount() - frames, 2u);
  source_.SetKey(App::DIK_NUMPAD7, false);
}

TEST_F(MessViewTest, DrawTextTakesRgbAndLineFeedKeepsColourAndCallback) {
  view_->SetEffectFlags(0);
  int calls = 0;
  view_->DrawText(0, 0x00FF0000, 20, u"A", CountCall, reinterpret_cast<intptr_t>(&calls));
  EXPECT_EQ(view_->GetTextColor(), 0x000000FFu);
  const uint8_t* p = view_->GetPixelAddress(2, 2);
  EXPECT_EQ(p[0], 0);  // blue
  EXPECT_GE(p[2], 240);  // red, at the glyph's full coverage

  // The blank line before a message without a speaker moves the pen only.
  view_->SetTextOrigin(0, 0);
  view_->LineFeed();
  DxDraw::POINT pen{};
  view_->GetTextOrigin(&pen);
  EXPECT_EQ(pen.x, 0);
  EXPECT_GE(pen.y, 16);
  EXPECT_EQ(view_->GetTextColor(), 0x000000FFu);
  MESSCOMMAND commands[] = {{kMessChar, u'B'}, {kMessDelay, 0}, {kMessChar, u'C'}, {kMessEnd, 0}};
  DxDraw::TextBegin(&view_->GetTextData(), view_);
  view_->PutCommands(0, commands);
  DxDraw::TextEnd(&view_->GetTextData());
  EXPECT_EQ(calls, 2);
}

TEST_F(MessViewTest, ACallbackThrowingStopsTheTextAndEndsTheRun) {
  struct Abort {
    static void At2(intptr_t argument) {
      if (++*reinterpret_cast<int*>(argument) == 2) throw ScriptException{ScriptException::kRedraw};
    }
  };
  int calls = 0;
  const uint64_t frames = frame_.FrameCount();
  EXPECT_THROW(view_->DrawText(0, 0xFFFFFF, 5, u"abcd", Abort::At2, reinterpret_cast<intptr_t>(&calls)),
               ScriptException);
  EXPECT_EQ(rasterizer_.log, U"ab");
  EXPECT_EQ(frame_.FrameCount() - frames, 1u) << "the callback comes before the character's wait";
  EXPECT_EQ(view_->GetFont()->BeginCount(), 0);
  EXPECT_EQ(view_->GetTextData().m_BeginCount, 0);
}

// The voice the icon watches, played for a number of frames.
int g_voiceFrames = 0;
int g_voiceStops = 0;
bool VoicePlaying(int) { return g_voiceFrames-- > 0; }
void VoiceStop(int) { ++g_voiceStops; }

TEST_F(MessViewTest, ClickWaitEndsOnClickVoiceEndOrHeldSkipAfterTheAutoWait) {
  struct Case {
    const char* name;
    int voiceFrames;      // frames the voice still plays (0: none)
    int clickAt;          // frame of a left click (-1: none)
    bool ctrlHeld;
    uint32_t autoWait;
    int result;
    int stops;
    int minFrames, maxFrames;
    std::vector<int> icon;  // the icon's source left edges as they change, a step every 100 ms
  };
  const Case cases[] = {
      {"click", 0, 3, false, 0, 0x1000, 0, 4, 6, {0}},
      {"voice ends", 3, -1, false, 0, 0, 1, 3, 6, {0}},
      {"ctrl without auto-wait waits for the click", 0, 40, true, 0, 0x1000, 0, 40, 43, {0, 16, 32, 48, 0}},
      {"ctrl with auto-wait", 0, -1, true, 160, 0x10000, 0, 10, 14, {0}},
      {"ctrl and a click in one frame without auto-wait", 0, 0, true, 0, 0x1000, 0, 1, 3, {0}},
  };
  SetVoiceWatch({VoicePlaying, VoiceStop});
  std::vector<int> icon;
  source_.play = [&](message_test::TimedEventSource&) {
    auto* sprite = dynamic_cast<DxDraw::DxSprite*>(screen_->GetLastChild());
    if (sprite == nullptr || sprite == view_ || !sprite->IsVisible()) return;
    DxDraw::SPRITEFRAME frame{};
    sprite->GetFrame(&frame);
    EXPECT_EQ(frame.source.top, 16);  // the icon's frames are the sheet's second row of 16
    if (icon.empty() || icon.back() != frame.source.left) icon.push_back(frame.source.left);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    icon.clear();
    g_voiceFrames = c.voiceFrames;
    g_voiceStops = 0;
    view_->SetAutoWait(c.autoWait);
    if (c.ctrlHeld) {
      // Down half a second before, so that it is the skip key from the start.
      source_.SetKey(App::DIK_LCONTROL, true);
      App::WaitNextFrame();
      clock_.Advance(500);
      App::WaitNextFrame();
    }
    for (int f = 0; f < 60; ++f) {
      if (f == c.clickAt) {
        AddFrames(1, [](platform::HeadlessEventSource& s) { s.SetMouseButton(0, true); });
      } else {
        AddFrames(1);
      }
    }
    const uint64_t start = frame_.FrameCount();
    const int result = view_->WaitClick(0, c.voiceFrames > 0 ? 3 : -1);
    const int frames = static_cast<int>(frame_.FrameCount() - start);
    EXPECT_EQ(result & 0x3FFFF, c.result);
    EXPECT_EQ(g_voiceStops, c.stops);
    EXPECT_GE(frames, c.minFrames);
    EXPECT_LE(frames, c.maxFrames);
    EXPECT_EQ(icon, c.icon);
    EXPECT_EQ(CountFreeACT(), kACTPoolSize - kACTLevelCount);
    while (source_.pending_frames() > 0) App::WaitNextFrame();
    source_.ReleaseAll();
    App::WaitNextFrame();
  }
  SetVoiceWatch({});
}

}  // namespace
}  // namespace TextScript
