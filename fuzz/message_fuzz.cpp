// Expands arbitrary text with arbitrary names into a command array of an
// arbitrary capacity, checks that the end command stays inside it, then draws
// the commands (with state commands mixed in) without delay on a small view.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "message/messview.h"

namespace {

// Splits the input at the first two 0xFFFF units into family name, given name
// and text.
std::u16string Units(const uint8_t* data, size_t size) {
  std::u16string out;
  for (size_t i = 0; i + 1 < size; i += 2) out.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  return out;
}

TextScript::DxMessView2* View() {
  static TextScript::DxMessView2* view = [] {
    auto* v = new TextScript::DxMessView2(64, 48);
    v->SetFont(12, 1, nullptr);
    return v;
  }();
  return view;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t capacity = data[0] | (data[1] & 0x7) << 8;
  const std::u16string all = Units(data + 2, size - 2);
  const size_t a = std::min(all.find(u'\xFFFF'), all.size());
  const size_t b = std::min(all.find(u'\xFFFF', a + 1), all.size());
  const std::u16string family = all.substr(0, a);
  const std::u16string given = a < all.size() ? all.substr(a + 1, b - a - 1) : u"";
  const std::u16string text = b < all.size() ? all.substr(b + 1) : all;

  std::vector<TextScript::MESSCOMMAND> commands(capacity + 1, TextScript::MESSCOMMAND{0xEE, 0xEE});
  const size_t n = TextScript::ExpandMessageGlyphs(std::span(commands.data(), capacity), text, family, given);
  if (capacity == 0 ? n != 0 : (n == 0 || n > capacity || commands[n - 1].code != TextScript::kMessEnd)) std::abort();
  if (commands[capacity].code != 0xEE) std::abort();
  if (n == 0) return 0;

  // Units of the text with a 0x7 prefix become state commands; never code 7
  // (an owned buffer) nor a delay, which would wait on the clock.
  for (size_t i = 0; i + 1 < n; ++i) {
    const uint32_t unit = static_cast<uint32_t>(commands[i].value);
    const uint32_t code = unit & 0xF;
    if ((unit >> 12) == 0x7 && code != TextScript::kMessBuffer && code != TextScript::kMessDelay) {
      commands[i] = TextScript::MESSCOMMAND{unit & 0xF, (unit >> 4) & 0xFF};
    }
  }
  TextScript::DxMessView2* view = View();
  view->Clear(0);
  view->SetTextOrigin(0, 0);
  view->DrawCommands(0, 0xFFFFFF, 0, commands.data(), nullptr, 0);
  return 0;
}
