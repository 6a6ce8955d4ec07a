// The real glyph rasterizer: faces found through fontconfig and drawn by FreeType.
#pragma once

#include <memory>

#include "platform/glyph_rasterizer.h"

namespace platform {

class FreeTypeRasterizer : public IGlyphRasterizer {
 public:
  FreeTypeRasterizer();
  ~FreeTypeRasterizer() override;
  // False when FreeType or fontconfig could not be started; every face is then null.
  bool ok() const;

  std::unique_ptr<IFontFace> OpenFace(const FontRequest& request) override;
  std::vector<std::u16string> ListFontFamilies() override;

  // The family fontconfig is asked for: the Windows faces the game data names
  // stand for installed Japanese faces with the same style and spacing.
  static std::u16string SubstituteFamily(const std::u16string& family);

 // Shared by the rasterizer and every face it opened, so faces may outlive it.
  struct Library;

 private:
  std::shared_ptr<Library> library_;
};

}  // namespace platform
