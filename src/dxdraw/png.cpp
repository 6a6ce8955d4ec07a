// PNG pictures through libpng. libpng reports errors by longjmp, so every call into
// it happens inside the plain functions below, whose frames hold no object with a
// destructor; the C++ wrapper owns the memory and the library structures.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dxdraw/decoders.h"
#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace DxDraw {
namespace {

// The read cursor and the last message, kept in the library's I/O and error
// pointers so decodes may run side by side.
struct PngState {
  const uint8_t* data;
  size_t size;
  size_t pos;
  char message[200];
};

// What the header pass found, after the transformations.
struct PngLayout {
  uint32_t width;
  uint32_t height;
  int dibBits;        // bits per DIB pixel: 1, 4, 8, 24 or 32
  int paletteKind;    // 0 none, 1 the PLTE entries, 2 a grey ramp
  int paletteCount;
  png_color palette[256];
  size_t rowBytes;    // what libpng writes per row
  size_t fileRowBytes;  // one row as the file stores it, before any widening
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp png, png_const_charp message) {
  (void)png;
  // Warnings go to the debugger output; decoding goes on.
  char line[240];
  std::snprintf(line, sizeof line, "libpng warning: %s\n", message);
  platform::OutputDebugText(platform::Utf8ToUtf16(line));
}

void OnPngRead(png_structp png, png_bytep out, size_t count) {
  auto* state = static_cast<PngState*>(png_get_io_ptr(png));
  // A short read is an error, never fewer bytes than asked for.
  if (count > state->size - state->pos) png_error(png, "PNG data is truncated");
  std::memcpy(out, state->data + state->pos, count);
  state->pos += count;
}

// Reads the header and sets the transformations: to a DIB of the picture's own
// layout, or (engine32) straight to the engine's 32-bit pixels, B, G, R and
// T = 255 - alpha. 1 on success.
int ReadPngHeader(png_structp png, png_infop info, bool engine32, PngLayout* layout) {
  if (setjmp(png_jmpbuf(png))) return 0;
  png_set_user_limits(png, 32768, 32768);
  png_read_info(png, info);
  layout->fileRowBytes = png_get_rowbytes(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0, interlace = 0;
  if (!png_get_IHDR(png, info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr)) return 0;
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (depth == 16) png_set_strip_16(png);
  const int base = depth == 16 ? 8 : depth;
  layout->width = width;
  layout->height = height;
  layout->paletteKind = 0;
  layout->paletteCount = 0;
  if (engine32) {
    // Every layout widened to 8-bit B, G, R with the opacity turned into
    // transparency, or a zero transparency byte where the picture has no alpha.
    png_set_expand(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (trns || (colourType & PNG_COLOR_MASK_ALPHA)) {
      png_set_invert_alpha(png);
    } else {
      png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    layout->dibBits = 32;
  } else {
    switch (colourType) {
      case PNG_COLOR_TYPE_PALETTE:
        if (trns) {
          png_set_palette_to_rgb(png);
          png_set_tRNS_to_alpha(png);
          layout->dibBits = 32;
        } else {
          png_colorp entries = nullptr;
          int count = 0;
          if (!png_get_PLTE(png, info, &entries, &count)) png_error(png, "palette picture without a palette");
          if (base == 2) png_set_packing(png);  // 2-bit indices widened to 8 bits
          layout->dibBits = base == 2 ? 8 : base;
          layout->paletteKind = 1;
          layout->paletteCount = count > 256 ? 256 : count;
          std::memcpy(layout->palette, entries, sizeof(png_color) * layout->paletteCount);
        }
        break;
      case PNG_COLOR_TYPE_GRAY:
        if (trns) {
          if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
          png_set_gray_to_rgb(png);
          png_set_tRNS_to_alpha(png);
          layout->dibBits = 32;
        } else {
          // 2-bit grey is widened to 8-bit levels; 1, 4 and 8 bits keep a ramp palette.
          if (base == 2) png_set_expand_gray_1_2_4_to_8(png);
          layout->dibBits = base == 2 ? 8 : base;
          layout->paletteKind = 2;
          layout->paletteCount = 1 << layout->dibBits;
        }
        break;
      case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_gray_to_rgb(png);
        layout->dibBits = 32;
        break;
      case PNG_COLOR_TYPE_RGB:
        if (trns) png_set_tRNS_to_alpha(png);
        layout->dibBits = trns ? 32 : 24;
        break;
      case PNG_COLOR_TYPE_RGB_ALPHA:
        layout->dibBits = 32;
        break;
      default:
        png_error(png, "unknown PNG colour type");
    }
  }
  if (layout->dibBits >= 24) png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  layout->rowBytes = png_get_rowbytes(png, info);
  return 1;
}

// Reads every row into the given row pointers. 1 on success.
int ReadPngRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return 0;
  png_read_image(png, rows);
  return 1;
}

// Reads the chunks after the rows up to IEND. 1 on success.
int ReadPngEnd(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return 0;
  png_read_end(png, info);
  return 1;
}

}  // namespace

namespace {

// Decodes into the layout ReadPngHeader chose; `rowsAt` gets the header (size,
// depth, palette filled in) and returns the bottom-up rows of DibStride bytes
// each, or null when they cannot be had.
bool DecodePng(std::span<const uint8_t> data, bool engine32, DibBlock& out,
               const std::function<uint8_t*(const DibBlock&)>& rowsAt, std::u16string& error) {
  if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0) {
    error = u"not PNG data";
    return false;
  }
  PngState state{data.data(), data.size(), 0, {}};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  if (png == nullptr) {
    error = u"libpng could not start";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    error = u"libpng could not start";
    return false;
  }
  png_set_read_fn(png, &state, OnPngRead);

  // Errors libpng raised are shown as the decoder always showed them; the caller
  // gets the reason as well.
  auto fail = [&](bool fromLibrary) {
    png_destroy_read_struct(&png, &info, nullptr);
    const std::u16string message = platform::Utf8ToUtf16(state.message);
    if (fromLibrary)
      platform::ShowMessageBox(nullptr, message + u"\n\nOnMemory:\n", u"libpng error", platform::MB_ICONERROR);
    error = u"libpng error: " + message;
    return false;
  };
  auto layout = std::make_unique<PngLayout>();
  if (!ReadPngHeader(png, info, engine32, layout.get())) return fail(true);

  const uint32_t stride = DibStride(layout->width, layout->dibBits);
  const uint64_t total = static_cast<uint64_t>(stride) * layout->height;
  if (stride == 0 || layout->rowBytes > stride || total > kMaxPictureBytes) {
    std::snprintf(state.message, sizeof state.message, "picture is too large");
    return fail(false);
  }
  // Deflate expands at most about 1032 to 1, so the file bounds what its rows can
  // hold; a header claiming more is refused before the rows are allocated. The
  // bound is on the rows the file stores: the widened rows libpng hands back are
  // up to 32 times longer, and a flat picture may well compress that far.
  if ((static_cast<uint64_t>(layout->fileRowBytes) + 1) * layout->height / 1032 > data.size()) {
    std::snprintf(state.message, sizeof state.message, "PNG data is too short for its size");
    return fail(false);
  }
  out.header = BITMAPINFOHEADER{};
  out.header.biWidth = static_cast<int32_t>(layout->width);
  out.header.biHeight = static_cast<int32_t>(layout->height);
  out.header.biBitCount = static_cast<uint16_t>(layout->dibBits);
  out.header.biClrUsed = static_cast<uint32_t>(layout->paletteCount);
  out.palette.assign(layout->paletteCount, RGBQUAD{});
  for (int i = 0; i < layout->paletteCount; ++i) {
    if (layout->paletteKind == 1) {
      const png_color& c = layout->palette[i];
      out.palette[i] = RGBQUAD{c.blue, c.green, c.red, 0};
    } else {
      const auto g = static_cast<uint8_t>(i * 255 / (layout->paletteCount - 1));
      out.palette[i] = RGBQUAD{g, g, g, 0};
    }
  }
  uint8_t* bits = rowsAt(out);
  if (bits == nullptr) {
    std::snprintf(state.message, sizeof state.message, "picture is too large");
    return fail(false);
  }
  std::vector<png_bytep> rows(layout->height);
  for (uint32_t i = 0; i < layout->height; ++i) rows[i] = bits + static_cast<size_t>(layout->height - 1 - i) * stride;
  if (!ReadPngRows(png, rows.data())) return fail(true);
  // Every row is in: damage after them (a missing IEND, a cut last chunk) costs
  // nothing of the picture.
  if (!ReadPngEnd(png, info)) OnPngWarning(png, state.message);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool DecodePngToDib(std::span<const uint8_t> data, DibBlock& out, std::u16string& error) {
  auto rowsAt = [&out](const DibBlock&) {
    out.bits.assign(static_cast<size_t>(out.stride()) * static_cast<uint32_t>(out.header.biHeight), 0);
    return out.bits.data();
  };
  return DecodePng(data, false, out, rowsAt, error);
}

bool DecodePngTo32(std::span<const uint8_t> data, Picture32& out, std::u16string& error) {
  DibBlock layout;
  return DecodePng(data, true, layout, [&](const DibBlock& dib) { return out.Allocate(dib.header); }, error);
}

}  // namespace DxDraw
