#include "game/yesno.h"

#include <array>
#include <string>

#include "app/frame.h"
#include "app/input.h"
#include "app/settings.h"
#include "core/util.h"
#include "dxdraw/text.h"
#include "game/game_state.h"
#include "game/screen_parts.h"
#include "message/messview.h"

namespace Game {
namespace {

constexpr int kHalfOpaque = 128;
constexpr uint32_t kWhiteText = 0xFFFFFF;
constexpr uint32_t kRedText = 0xFF0000;
constexpr int kViewWidth = 720;
constexpr int kViewX = 40;
constexpr int kFontHeight = 32;

// The piece of the SYSTEM picture and the text view over it.
class TextOverlay {
 public:
  TextOverlay(int pieceHeight, int pieceY, int viewHeight, int viewY, uint32_t effects) {
    DxDraw::SPRITEFRAME frame = SheetFrame({72, 240, 72 + 584, 240 + pieceHeight});
    m_Piece = AppendSprite(TextScript::GetSystemPicture(), &frame, DxDraw::BLT_FADE | DxDraw::BLT_WEIGHTED, 108,
                           pieceY);
    m_Piece->m_Param.Level = kHalfOpaque;
    m_View.reset(new TextScript::DxMessView2(kViewWidth, viewHeight));
    m_View->SetPosition(kViewX, viewY);
    SetFont();
    m_View->SetEffectFlags(m_View->GetEffectFlags() | effects);
    AppendToScreen(m_View.get());
  }
  ~TextOverlay() {
    if (m_TookFontBit) SettingsChanged |= kFontChanged;
  }
  TextOverlay(const TextOverlay&) = delete;
  TextOverlay& operator=(const TextOverlay&) = delete;

  TextScript::DxMessView2* View() const { return m_View.get(); }

  void DrawAt(std::u16string_view text, int x, int y, uint32_t colour) {
    std::u16string line(text);
    m_View->SetTextOrigin(x, y);
    m_View->DrawText(0, colour, 0, line.c_str(), nullptr, 0);
  }
  // The line centred at y 0 as the view measures it.
  void DrawCentred(std::u16string_view text) {
    DxDraw::TEXTDATA& data = m_View->GetTextData();
    DxDraw::TextBegin(&data, m_View.get());
    int width = DxDraw::GetStringWidth(&data, text);
    DxDraw::TextEnd(&data);
    DrawAt(text, (kViewWidth - width) / 2, 0, kWhiteText);
  }
  // After a frame: true when the font face changed, the view took the new face
  // and was cleared for drawing everything again.
  bool TakeFontChange() {
    if ((SettingsChanged & kFontChanged) == 0) return false;
    SetFont();
    SettingsChanged &= ~kFontChanged;
    m_TookFontBit = true;
    m_View->FillRect(nullptr, 0, 0);
    return true;
  }

 private:
  void SetFont() { m_View->SetFont(kFontHeight, 0, App::Settings().game.font_name); }

  // Declared first so that the view goes before the piece.
  ViewHolder<DxDraw::DxSprite> m_Piece;
  ViewHolder<TextScript::DxMessView2> m_View;
  bool m_TookFontBit = false;
};

struct Answer {
  const char16_t* text;
  int x;  // in the view
};
constexpr std::array<Answer, 2> kAnswers{{{kYesText, 264}, {kNoText, 360}}};
constexpr int kAnswerY = 42;

int AnswerWidth(const Answer& answer) { return CountDisplayCells(answer.text) * 16; }

void DrawAnswer(TextOverlay& box, const Answer& answer, uint32_t colour) {
  DxDraw::RECT area{answer.x, kAnswerY, answer.x + AnswerWidth(answer), kAnswerY + kFontHeight};
  box.View()->FillRect(&area, 0, 0);
  box.DrawAt(answer.text, answer.x, kAnswerY, colour);
}

void DrawQuestion(TextOverlay& box, std::u16string_view question) {
  box.DrawCentred(question);
  for (const Answer& answer : kAnswers) box.DrawAt(answer.text, answer.x, kAnswerY, kWhiteText);
}

}  // namespace

int ShowYesNoBox(std::u16string_view question) {
  TextOverlay box(82, 148, 126, 152, DxDraw::TEXT_LARGE | DxDraw::TEXT_PROPORTIONAL);
  DrawQuestion(box, question);
  std::array<DxDraw::RECT, kAnswers.size()> hits{};
  for (std::size_t i = 0; i < kAnswers.size(); ++i) {
    int left = kViewX + kAnswers[i].x;
    hits[i] = {left, 190, left + AnswerWidth(kAnswers[i]), 230};
  }
  const App::InputState& in = App::Input();
  DxDraw::HoverTracker tracker;
  tracker.Reset();
  int last = -1;
  for (;;) {
    App::WaitNextFrame();
    if (box.TakeFontChange()) DrawQuestion(box, question);
    int hit = tracker.Update(std::span<const DxDraw::RECT>(hits), in.cursor_x, in.cursor_y);
    if (hit != last) {
      if (last >= 0) DrawAnswer(box, kAnswers[last], kWhiteText);
      if (hit >= 0) DrawAnswer(box, kAnswers[hit], kRedText);
      last = hit;
    }
    if (hit >= 0 && Pressed(App::kButtonClick)) return hit == 0 ? 1 : 0;
  }
}

void ShowNoticeBand(std::u16string_view text, uint32_t ms) {
  TextOverlay band(42, 340, 42, 344, DxDraw::TEXT_LARGE);
  band.DrawCentred(text);
  do {
    App::WaitNextFrame();
    if (band.TakeFontChange()) band.DrawCentred(text);
  } while (App::Input().held != 0);
  App::WaitTime(ms, App::kWaitEndsOnDecide);
}

}  // namespace Game
