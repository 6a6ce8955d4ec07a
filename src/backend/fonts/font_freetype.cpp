#include "backend/fonts/font_freetype.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "platform/text.h"

namespace platform {

namespace {

// Faces the game's data and settings name, and the installed face that stands for each.
struct FaceSubstitute {
  std::u16string_view windows_name;
  std::u16string_view family;
};

constexpr std::array<FaceSubstitute, 8> kSubstitutes = {{
    {u"ＭＳ 明朝", u"IPAMincho"},
    {u"ＭＳ Ｐ明朝", u"IPAPMincho"},
    {u"ＭＳ ゴシック", u"IPAGothic"},
    {u"ＭＳ Ｐゴシック", u"IPAPGothic"},
    {u"MS Mincho", u"IPAMincho"},
    {u"MS PMincho", u"IPAPMincho"},
    {u"MS Gothic", u"IPAGothic"},
    {u"MS PGothic", u"IPAPGothic"},
}};

// Matched when the asked family is not installed at all.
constexpr std::u16string_view kDefaultFamily = u"IPAMincho";

std::string ToUtf8(std::u16string_view text) { return Utf16ToUtf8(text); }

}  // namespace

struct FreeTypeRasterizer::Library {
  FT_Library ft = nullptr;
  FcConfig* config = nullptr;
  // FreeType's library object is not thread-safe for face creation.
  std::mutex mutex;

  ~Library() {
    if (ft != nullptr) FT_Done_FreeType(ft);
    if (config != nullptr) FcConfigDestroy(config);
  }
};

namespace {

class FreeTypeFace : public IFontFace {
 public:
  // The cell is exactly `height` pixels, split between ascent and descent in
  // the design's proportion (the size's own metrics are rounded outwards, which
  // would make the cell a pixel taller).
  FreeTypeFace(std::shared_ptr<FreeTypeRasterizer::Library> library, FT_Face face, int height)
      : library_(std::move(library)), face_(face) {
    long design = static_cast<long>(face_->ascender) - face_->descender;
    ascent_ = design > 0 ? static_cast<int>((2L * height * face_->ascender + design) / (2 * design))
                         : height;
    ascent_ = std::clamp(ascent_, 0, height);
    descent_ = height - ascent_;
  }
  ~FreeTypeFace() override {
    std::lock_guard lock(library_->mutex);
    FT_Done_Face(face_);
  }

  int CellHeight() const override { return ascent_ + descent_; }

  int TextWidth(std::u16string_view text) override {
    int width = 0;
    for (size_t i = 0; i < text.size();) {
      char32_t ch = NextCodePoint(text, i);
      if (FT_Load_Char(face_, ch, FT_LOAD_DEFAULT) != 0) continue;
      width += static_cast<int>((face_->glyph->advance.x + 32) >> 6);
    }
    return width;
  }

  void Render(std::u16string_view text, std::span<uint8_t> pixels, int width, int height,
              int pitch) override {
    int pen = 0;
    for (size_t i = 0; i < text.size();) {
      char32_t ch = NextCodePoint(text, i);
      if (FT_Load_Char(face_, ch, FT_LOAD_RENDER) != 0) continue;
      FT_GlyphSlot slot = face_->glyph;
      Blit(slot->bitmap, pen + slot->bitmap_left, ascent_ - slot->bitmap_top, pixels, width,
           height, pitch);
      pen += static_cast<int>((slot->advance.x + 32) >> 6);
    }
  }

 private:
  static void Blit(const FT_Bitmap& bitmap, int left, int top, std::span<uint8_t> pixels,
                   int width, int height, int pitch) {
    int rows = static_cast<int>(bitmap.rows);
    int columns = static_cast<int>(bitmap.width);
    for (int v = 0; v < rows; ++v) {
      int y = top + v;
      if (y < 0 || y >= height) continue;
      const uint8_t* source = bitmap.buffer + static_cast<ptrdiff_t>(v) * bitmap.pitch;
      for (int u = 0; u < columns; ++u) {
        int x = left + u;
        if (x < 0 || x >= width) continue;
        uint8_t level = 0;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
          level = (source[u / 8] & (0x80 >> (u % 8))) ? kGlyphLevels : 0;
        } else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
          int grays = std::max(bitmap.num_grays - 1, 1);
          level = static_cast<uint8_t>((source[u] * kGlyphLevels + grays / 2) / grays);
        }
        size_t at = static_cast<size_t>(y) * static_cast<size_t>(pitch) + static_cast<size_t>(x);
        if (at < pixels.size()) pixels[at] = std::max(pixels[at], level);
      }
    }
  }

  std::shared_ptr<FreeTypeRasterizer::Library> library_;
  FT_Face face_;
  int ascent_ = 0;
  int descent_ = 0;
};

}  // namespace

FreeTypeRasterizer::FreeTypeRasterizer() : library_(std::make_shared<Library>()) {
  if (FT_Init_FreeType(&library_->ft) != 0) library_->ft = nullptr;
  // The process's own configuration, which the window's toolkit loads too: a
  // second copy would parse the same files and hold the same font lists again.
  library_->config = FcConfigReference(nullptr);
}

FreeTypeRasterizer::~FreeTypeRasterizer() = default;

bool FreeTypeRasterizer::ok() const { return library_->ft != nullptr && library_->config != nullptr; }

std::u16string FreeTypeRasterizer::SubstituteFamily(const std::u16string& family) {
  if (family.empty()) return std::u16string(kDefaultFamily);
  for (const FaceSubstitute& s : kSubstitutes) {
    if (family == s.windows_name) return std::u16string(s.family);
  }
  return family;
}

std::unique_ptr<IFontFace> FreeTypeRasterizer::OpenFace(const FontRequest& request) {
  if (!ok() || request.height <= 0) return nullptr;
  std::string family = ToUtf8(SubstituteFamily(request.family));
  std::string fallback = ToUtf8(kDefaultFamily);

  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(fallback.c_str()));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcPatternAddInteger(pattern, FC_WEIGHT, request.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(library_->config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(library_->config, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return nullptr;

  FcChar8* file = nullptr;
  int index = 0;
  std::string path;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    path = reinterpret_cast<const char*>(file);
  }
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  FcPatternDestroy(match);
  if (path.empty()) return nullptr;

  FT_Face face = nullptr;
  {
    std::lock_guard lock(library_->mutex);
    if (FT_New_Face(library_->ft, path.c_str(), index, &face) != 0) return nullptr;
  }
  // The height asked for is the cell (ascent + descent), as a Windows font's positive height.
  FT_Size_RequestRec size{};
  size.type = FT_SIZE_REQUEST_TYPE_CELL;
  size.height = static_cast<FT_Long>(request.height) * 64;
  if (FT_Request_Size(face, &size) != 0) {
    std::lock_guard lock(library_->mutex);
    FT_Done_Face(face);
    return nullptr;
  }
  return std::make_unique<FreeTypeFace>(library_, face, request.height);
}

std::vector<std::u16string> FreeTypeRasterizer::ListFontFamilies() {
  std::vector<std::u16string> families;
  if (!ok()) return families;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_SPACING, nullptr);
  FcFontSet* fonts = FcFontList(library_->config, pattern, objects);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  if (fonts == nullptr) return families;
  std::set<std::u16string> seen;
  for (int i = 0; i < fonts->nfont; ++i) {
    FcPattern* font = fonts->fonts[i];
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(font, FC_SPACING, 0, &spacing);
    if (spacing != FC_MONO && spacing != FC_DUAL) continue;
    FcChar8* name = nullptr;
    if (FcPatternGetString(font, FC_FAMILY, 0, &name) != FcResultMatch || name == nullptr) continue;
    std::u16string family = Utf8ToUtf16(reinterpret_cast<const char*>(name));
    if (family.empty() || family[0] == u'@') continue;
    if (seen.insert(family).second) families.push_back(family);
  }
  FcFontSetDestroy(fonts);
  // The faces that stand in for the Windows ones are listed under the Windows
  // names too, which the settings and the game data use ("ＭＳ 明朝" by default).
  for (const FaceSubstitute& s : kSubstitutes) {
    if (s.windows_name.front() < 0x80) continue;  // the Latin spellings would list each face twice
    if (seen.count(std::u16string(s.family)) != 0 && seen.insert(std::u16string(s.windows_name)).second)
      families.emplace_back(s.windows_name);
  }
  std::sort(families.begin(), families.end());
  return families;
}

}  // namespace platform
