#include "platform/glyph_rasterizer.h"

#include <algorithm>

#include "platform/service.h"
#include "platform/text.h"

namespace platform {

int HeadlessAdvance(char32_t ch, int height) {
  bool half = ch < 0x100 || (ch >= 0xFF61 && ch <= 0xFF9F);
  return half ? height / 2 : height;
}

namespace {

class HeadlessFace : public IFontFace {
 public:
  HeadlessFace(int height, std::shared_ptr<int> renders)
      : height_(std::max(height, 1)), renders_(std::move(renders)) {}

  int CellHeight() const override { return height_; }

  int TextWidth(std::u16string_view text) override {
    int width = 0;
    for (size_t i = 0; i < text.size();) width += HeadlessAdvance(NextCodePoint(text, i), height_);
    return width;
  }

  void Render(std::u16string_view text, std::span<uint8_t> pixels, int width, int height,
              int pitch) override {
    ++*renders_;
    int pen = 0;
    for (size_t i = 0; i < text.size();) {
      int advance = HeadlessAdvance(NextCodePoint(text, i), height_);
      int right = std::min(pen + advance - 1, width);
      int bottom = std::min(height_ - 1, height);
      for (int y = 0; y < bottom; ++y) {
        for (int x = std::max(pen, 0); x < right; ++x) {
          size_t at = static_cast<size_t>(y) * static_cast<size_t>(pitch) + static_cast<size_t>(x);
          if (at < pixels.size()) pixels[at] = kGlyphLevels;
        }
      }
      pen += advance;
    }
  }

 private:
  int height_;
  std::shared_ptr<int> renders_;
};

}  // namespace

std::unique_ptr<IFontFace> HeadlessGlyphRasterizer::OpenFace(const FontRequest& request) {
  ++faces_opened_;
  return std::make_unique<HeadlessFace>(request.height, renders_);
}

std::vector<std::u16string> HeadlessGlyphRasterizer::ListFontFamilies() {
  return {u"ＭＳ ゴシック", u"ＭＳ 明朝"};
}

namespace {

ServiceSlot<IGlyphRasterizer, HeadlessGlyphRasterizer> g_rasterizer;

}  // namespace

IGlyphRasterizer& GlyphRasterizer() { return g_rasterizer.Get(); }

IGlyphRasterizer* SetGlyphRasterizer(IGlyphRasterizer* rasterizer) {
  return g_rasterizer.Install(rasterizer);
}

}  // namespace platform
