#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "allocation_counter.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/text.h"
#include "backend/fonts/font_freetype.h"

namespace {

using namespace DxDraw;

const std::u16string kLine = u"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。";

// A message view's worth of surface and a font on the real faces.
struct Stage {
  explicit Stage(uint32_t flags) {
    platform::SetGlyphRasterizer(&rasterizer);
    font = new DxFont();
    font->Create(u"ＭＳ ゴシック", 24);
    surface = CreateSurface(32);
    surface->Create(800, 200);
    surface->FillRect(nullptr, 0, 0);
    InitTextData(&td);
    td.pFont = font;
    td.area = RECT{0, 0, 800, 200};
    td.flags = flags;
  }
  ~Stage() {
    surface->Release();
    font->Release();
    platform::SetGlyphRasterizer(nullptr);
  }

  platform::FreeTypeRasterizer rasterizer;
  DxFont* font = nullptr;
  DxSurface* surface = nullptr;
  TEXTDATA td;
};

// The same character again and again inside one run: the glyph is rendered once.
void BM_DrawCharCached(benchmark::State& state) {
  Stage stage(static_cast<uint32_t>(state.range(0)));
  TextBegin(&stage.td, stage.surface);
  uint64_t glyphs = 0;
  uint64_t before = g_Allocations.load();
  for (auto _ : state) {
    stage.td.x = stage.td.y = 0;
    stage.surface->DrawChar(&stage.td, u'猫');
    ++glyphs;
  }
  uint64_t allocations = g_Allocations.load() - before;
  TextEnd(&stage.td);
  state.SetItemsProcessed(static_cast<int64_t>(glyphs));
  state.counters["allocs_per_glyph"] = static_cast<double>(allocations) / static_cast<double>(glyphs);
}
BENCHMARK(BM_DrawCharCached)->Arg(0)->Arg(TEXT_SHADOW | TEXT_OUTLINE)->Arg(TEXT_LARGE);

// A line of different characters: every glyph is rendered by FreeType.
void BM_DrawLine(benchmark::State& state) {
  Stage stage(static_cast<uint32_t>(state.range(0)));
  uint64_t glyphs = 0;
  uint64_t allocations = 0;
  for (auto _ : state) {
    stage.td.x = stage.td.y = 0;
    uint64_t before = g_Allocations.load();
    for (char16_t ch : kLine) stage.surface->DrawChar(&stage.td, ch);
    allocations += g_Allocations.load() - before;
    glyphs += kLine.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(glyphs));
  state.counters["allocs_per_glyph"] = static_cast<double>(allocations) / static_cast<double>(glyphs);
}
BENCHMARK(BM_DrawLine)->Arg(0)->Arg(TEXT_SHADOW | TEXT_OUTLINE)->Arg(TEXT_LARGE)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
