// Shared by the text tests: a 32-bit picture to draw into and a rasterizer
// whose glyphs are boxes with a level of their own per character.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "dxdraw/image.h"
#include "dxdraw/text.h"
#include "platform/glyph_rasterizer.h"
#include "platform/text.h"

namespace DxDraw::testing {

// A 32-bit picture with every pixel set to `pixel` (B, G, R, T from low to high byte).
inline std::unique_ptr<DxImage> MakePicture(int width, int height, uint32_t pixel = 0xFF000000) {
  auto image = std::make_unique<DxImage>(32);
  image->Create(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image->GetPixelAddress(x, y);
      for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(pixel >> (8 * i));
    }
  }
  return image;
}

inline uint32_t PixelAt(const DxImage& image, int x, int y) {
  const uint8_t* p = image.GetPixelAddress(x, y);
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Glyphs fill their whole advance x cell box with the level 1 + ch % 15, so a
// glyph left over from another character shows. Advances follow the headless
// rule unless set per character (in cell-height units of 1/4).
class BoxRasterizer : public platform::IGlyphRasterizer {
 public:
  struct Shared {
    std::map<char32_t, int> quarter_advances;  // advance = height * n / 4
    std::u16string last_text;
    int renders = 0;
  };

  static uint8_t LevelOf(char32_t ch) { return static_cast<uint8_t>(1 + ch % 15); }

  std::unique_ptr<platform::IFontFace> OpenFace(const platform::FontRequest& request) override;
  std::vector<std::u16string> ListFontFamilies() override { return {}; }

  std::shared_ptr<Shared> shared = std::make_shared<Shared>();
};

class BoxFace : public platform::IFontFace {
 public:
  BoxFace(int height, std::shared_ptr<BoxRasterizer::Shared> shared)
      : height_(height), shared_(std::move(shared)) {}
  int CellHeight() const override { return height_; }
  int Advance(char32_t ch) const {
    auto it = shared_->quarter_advances.find(ch);
    if (it != shared_->quarter_advances.end()) return height_ * it->second / 4;
    return platform::HeadlessAdvance(ch, height_);
  }
  int TextWidth(std::u16string_view text) override {
    int w = 0;
    for (size_t i = 0; i < text.size();) w += Advance(platform::NextCodePoint(text, i));
    return w;
  }
  void Render(std::u16string_view text, std::span<uint8_t> pixels, int width, int height,
              int pitch) override {
    ++shared_->renders;
    shared_->last_text = std::u16string(text);
    int pen = 0;
    for (size_t i = 0; i < text.size();) {
      char32_t ch = platform::NextCodePoint(text, i);
      int advance = Advance(ch);
      for (int y = 0; y < std::min(height_, height); ++y) {
        for (int x = pen; x < std::min(pen + advance, width); ++x) {
          pixels[static_cast<size_t>(y) * static_cast<size_t>(pitch) + static_cast<size_t>(x)] =
              BoxRasterizer::LevelOf(ch);
        }
      }
      pen += advance;
    }
  }

 private:
  int height_;
  std::shared_ptr<BoxRasterizer::Shared> shared_;
};

inline std::unique_ptr<platform::IFontFace> BoxRasterizer::OpenFace(
    const platform::FontRequest& request) {
  return std::make_unique<BoxFace>(request.height, shared);
}

// A fresh text record drawing with `font` into `area`.
inline TEXTDATA TextRecord(DxFont* font, RECT area, uint32_t flags = 0) {
  TEXTDATA td;
  InitTextData(&td);
  td.pFont = font;
  td.area = area;
  td.flags = flags;
  return td;
}

// Owns a font and releases it at the end of the test.
struct FontHolder {
  explicit FontHolder(int height, const char16_t* face = nullptr) : font(new DxFont()) {
    font->Create(face, height);
  }
  ~FontHolder() { font->Release(); }
  DxFont* font;
};

}  // namespace DxDraw::testing
