#include <benchmark/benchmark.h>

#include <string>

#include "dxdraw/text.h"
#include "message/messview.h"
#include "backend/fonts/font_freetype.h"

namespace {

// Four lines of 24 full-width characters: the game's text view (768 x 140,
// font 32, line spacing 3) holds exactly this.
std::u16string Page() {
  const std::u16string line = u"吾輩は猫である。名前はまだ無い。どこで生れたかとん";
  return line + line + line + line;
}

// The game's message view on the real faces, with its effect bits.
struct View {
  View() {
    platform::SetGlyphRasterizer(&rasterizer);
    view = new TextScript::DxMessView2(768, 140);
    view->SetFont(32, 3, u"ＭＳ ゴシック");
    view->SetEffectFlags(view->GetEffectFlags() | DxDraw::TEXT_PROPORTIONAL | DxDraw::TEXT_LARGE);
  }
  ~View() {
    view->Release();
    platform::SetGlyphRasterizer(nullptr);
  }

  platform::FreeTypeRasterizer rasterizer;
  TextScript::DxMessView2* view = nullptr;
};

// One page as the message command draws it (without the per-character wait):
// clear, expand, draw each character. Arg 0: every glyph rendered by the face;
// arg 1: a page of one repeated character, so each glyph comes from the cache.
void BM_MessagePage(benchmark::State& state) {
  View v;
  const std::u16string page = state.range(0) == 0 ? Page() : std::u16string(Page().size(), u'猫');
  for (auto _ : state) {
    v.view->Clear(0);
    v.view->SetTextOrigin(0, 0);
    v.view->DrawText(0, 0xFFFFFF, 0, page.c_str(), nullptr, 0);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
  state.SetLabel(state.range(0) == 0 ? "rendered glyphs" : "cached glyphs");
}
BENCHMARK(BM_MessagePage)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
