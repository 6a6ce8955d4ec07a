// The message text view: command arrays, name expansion, drawing character by
// character with its delay, and the font it owns.
#include "message/messview.h"

#include <cstdlib>

#include "app/frame.h"
#include "platform/text.h"
#include "save/save_types.h"

namespace TextScript {
namespace {

constexpr bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The text of a name field: up to its NUL, never past the field.
std::u16string_view NameField(const char16_t (&field)[Save::kNameUnits]) {
  std::size_t n = 0;
  while (n < Save::kNameUnits && field[n] != 0) ++n;
  return {field, n};
}

// Walks the text with "#1" and "#2" replaced by the names, handing each unit
// to emit until the text ends (or a NUL) or emit returns false.
template <class Emit>
void WalkExpanded(std::u16string_view text, std::u16string_view family, std::u16string_view given, Emit emit) {
  for (std::size_t i = 0; i < text.size() && text[i] != 0; ++i) {
    if (text[i] == u'#' && i + 1 < text.size() && (text[i + 1] == u'1' || text[i + 1] == u'2')) {
      for (char16_t c : text[i + 1] == u'1' ? family : given) {
        if (!emit(c)) return;
      }
      ++i;
      continue;
    }
    if (!emit(text[i])) return;
  }
}

}  // namespace

MessCommandArray::~MessCommandArray() {
  for (const MESSCOMMAND& c : m_Commands) {
    if (c.code == kMessBuffer) std::free(reinterpret_cast<void*>(c.value));
  }
}

std::size_t ExpandMessageGlyphs(std::span<MESSCOMMAND> out, std::u16string_view text,
                                std::u16string_view familyName, std::u16string_view givenName) {
  if (out.empty()) return 0;
  const std::size_t limit = out.size() - 1;
  std::size_t n = 0;
  WalkExpanded(text, familyName, givenName, [&](char16_t c) {
    if (n == limit) return false;
    out[n++] = MESSCOMMAND{kMessChar, c};
    return true;
  });
  out[n++] = MESSCOMMAND{kMessEnd, 0};
  return n;
}

std::size_t CopyMessageGlyphs(std::span<MESSCOMMAND> out, std::u16string_view text) {
  if (out.empty()) return 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size() && text[i] != 0 && n + 1 < out.size(); ++i) {
    out[n++] = MESSCOMMAND{kMessChar, text[i]};
  }
  out[n++] = MESSCOMMAND{kMessEnd, 0};
  return n;
}

MESSCOMMAND* ExpandMessageGlyphs(uint32_t, MESSCOMMAND* out, std::size_t capacity, const char16_t* text) {
  if (out == nullptr || capacity == 0) return out;
  const Save::CommonData& common = Save::GetCommonData();
  std::u16string_view source = text != nullptr ? std::u16string_view(text) : std::u16string_view();
  return out + ExpandMessageGlyphs(std::span<MESSCOMMAND>(out, capacity), source, NameField(common.familyName),
                                   NameField(common.givenName));
}

std::u16string ExpandMessageText(std::u16string_view text, std::size_t maxUnits) {
  const Save::CommonData& common = Save::GetCommonData();
  std::u16string out;
  WalkExpanded(text, NameField(common.familyName), NameField(common.givenName), [&](char16_t c) {
    if (out.size() == maxUnits) return false;
    out.push_back(c);
    return true;
  });
  return out;
}

void DxMessBase::DrawText(uint32_t ignored, uint32_t colour, uint32_t delay, const char16_t* text,
                          CharCallback callback, intptr_t argument) {
  MessCommandArray commands(kMessageCapacity);
  ExpandMessageGlyphs(ignored, commands.data(), commands.size(), text);
  DrawCommands(ignored, colour, delay, commands.data(), callback, argument);
}

DxMessView2::DxMessView2(int width, int height) : DxSurfaceSprite32(width, height) {
  SetPosition(0, 0);
  DxDraw::InitTextData(&m_Text);
  m_Text.area = DxDraw::RECT{0, 0, width, height};
  m_Text.flags = DxDraw::TEXT_BOLD | DxDraw::TEXT_SHADOW;
  m_Param.Flags = DxDraw::BLT_WEIGHTED;
}

DxMessView2::~DxMessView2() {
  if (m_Text.pFont != nullptr) m_Text.pFont->Release();
}

void DxMessView2::Clear(uint32_t colour) { FillRect(nullptr, colour, 0); }

void DxMessView2::SetTextOrigin(int x, int y) {
  m_Text.x = x;
  m_Text.y = y;
}

void DxMessView2::GetTextOrigin(DxDraw::POINT* out) {
  if (out != nullptr) *out = DxDraw::POINT{m_Text.x, m_Text.y};
}

void DxMessView2::GetPenEnd(DxDraw::POINT* out) {
  if (out == nullptr) return;
  const int h = m_Text.pFont != nullptr ? m_Text.pFont->GetHeight() : 0;
  *out = DxDraw::POINT{h + m_Text.spacing, h + m_Text.line_spacing};
}

void DxMessView2::SetFont(int height, int lineSpacing, const char16_t* face) {
  if (m_Text.pFont != nullptr) {
    m_Text.pFont->Release();
    m_Text.pFont = nullptr;
  }
  m_Text.spacing = 0;
  m_Text.line_spacing = lineSpacing;
  auto* font = new DxDraw::DxFont;  // counted: the view holds the one reference
  font->Create(face, height);
  m_Text.pFont = font;
}

void DxMessView2::DrawCommands(uint32_t, uint32_t colour, uint32_t delay, const MESSCOMMAND* commands,
                               CharCallback callback, intptr_t argument) {
  m_Text.user[0] = 0;
  m_Text.user[1] = 0;
  m_Text.callback = nullptr;
  m_CallbackArgument = argument;
  m_Text.color = SwapRedBlue(colour);
  m_Delay = delay;
  m_Callback = callback;
  m_Wait = true;
  // A text run never joins a surrogate half left over from an earlier one.
  m_PendingHigh = 0;
  struct RunGuard {
    DxMessView2* view;
    ~RunGuard() {
      DxDraw::TextEnd(&view->m_Text);
      view->m_PendingHigh = 0;  // a high half at the end of the text is dropped
    }
  };
  DxDraw::TextBegin(&m_Text, this);
  RunGuard guard{this};
  PutCommands(0, commands);
}

void DxMessView2::PutCommands(uint32_t, const MESSCOMMAND* commands) {
  if (commands == nullptr) return;
  for (const MESSCOMMAND* c = commands; c->code != kMessEnd; ++c) PutCommand(*c);
}

void DxMessView2::PutCommand(const MESSCOMMAND& command) {
  const bool on = command.value != 0;
  switch (command.code) {
    case kMessDelay: m_Delay = static_cast<uint32_t>(command.value); return;
    case kMessColor: m_Text.color = static_cast<uint32_t>(command.value); return;
    case kMessBold: m_Text.flags = on ? (m_Text.flags | DxDraw::TEXT_BOLD) : (m_Text.flags & ~DxDraw::TEXT_BOLD); return;
    case kMessWait: m_Wait = on; return;
    case kMessShadow:
      m_Text.flags = on ? (m_Text.flags | DxDraw::TEXT_SHADOW) : (m_Text.flags & ~DxDraw::TEXT_SHADOW);
      return;
    case kMessOutline:
      m_Text.flags = on ? (m_Text.flags | DxDraw::TEXT_OUTLINE) : (m_Text.flags & ~DxDraw::TEXT_OUTLINE);
      return;
    case kMessChar: break;
    default: return;
  }
  const uint32_t unit = command.value & 0xFFFF;
  if (IsHighSurrogate(unit)) {
    // Held for its low half; a high half followed by another high half is lost.
    m_PendingHigh = static_cast<char16_t>(unit);
    return;
  }
  uint32_t ch = unit;
  if (m_PendingHigh != 0 && IsLowSurrogate(unit)) {
    ch = (static_cast<uint32_t>(m_PendingHigh) - 0xD7C0) << 10 | (unit - 0xDC00);
  }
  // A high half not followed by a low one stands for nothing and is dropped.
  m_PendingHigh = 0;
  DrawChar(&m_Text, ch);
  if (m_Delay != 0 && m_Wait) {
    if (m_Callback != nullptr) m_Callback(m_CallbackArgument);
    App::WaitTime(m_Delay, App::kWaitEndsOnDecideOrSkip);
  }
}

void DxMessView2::LineFeed() {
  DxDraw::TextBegin(&m_Text, this);
  DrawChar(&m_Text, u'\n');
  DxDraw::TextEnd(&m_Text);
}

}  // namespace TextScript
