// BMP files: the reader (OS/2 and Windows headers of every size, bit-field masks,
// run-length rows, the pixel offset, top-down rows) and the 24- and 32-bit writers
// of DxImage.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "dxdraw/decoders.h"
#include "dxdraw/image.h"
#include "dxdraw/picture_bytes.h"
#include "platform/file.h"

namespace DxDraw {
namespace {

// File header: "BM" at 0, file size u32 at 2, two reserved u16 at 6 and 8, pixel
// offset u32 at 10. The info header follows at 14: biSize u32 +0, width i32 +4,
// height i32 +8, planes u16 +12, bit count u16 +14, compression u32 +16, image size
// u32 +20, pixels per metre i32 +24 and +28, colours used u32 +32, important u32
// +36; headers of 52 bytes and more carry the R, G, B masks at +40, +44, +48 and
// from 56 bytes the alpha mask at +52. The OS/2 header of 12 bytes holds size u32
// +0, width u16 +4, height u16 +6, planes u16 +8 and bit count u16 +10, and its
// palette entries are 3 bytes (B, G, R).
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kInfoHeaderSize = 40;

constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;

// One channel of a bit-field mask: where it sits and how many bits it has.
struct MaskField {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  explicit MaskField(uint32_t m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    bits = std::popcount(m >> shift);
    if (bits > 8) {
      shift += bits - 8;  // keep the top 8 bits
      bits = 8;
    }
  }
  // The channel widened to 0..255; `none` when the mask is empty.
  uint8_t Read(uint32_t v, uint8_t none) const {
    if (mask == 0) return none;
    uint32_t f = (v >> shift) & ((1u << bits) - 1);
    uint32_t out = 0;
    // Repeat the field's bits down to 8 bits, as x555 widening does.
    for (int have = 0; have < 8; have += bits) out = (out << bits) | f;
    return static_cast<uint8_t>(out >> ((bits * ((8 + bits - 1) / bits)) - 8));
  }
};

// Run-length pixels (RLE8: a byte a pixel, RLE4: a nibble) into 8-bit index rows,
// bottom row first. Pixels that no run reaches stay index 0; runs past the right
// edge or the top row are cut. The data may end without its end marker once
// every row has been reached.
bool DecodeRle(std::span<const uint8_t> in, bool nibbles, int width, int rows, DibBlock& out,
               std::u16string& error) {
  const uint32_t stride = out.stride();
  int64_t x = 0, y = 0;
  auto put = [&](unsigned index) {
    if (x < width && y < rows) out.bits[static_cast<size_t>(y) * stride + static_cast<size_t>(x)] = static_cast<uint8_t>(index);
    ++x;
  };
  size_t i = 0;
  while (y < rows) {
    if (in.size() - i < 2) {
      error = u"BMP run-length data is truncated";
      return false;
    }
    const unsigned count = in[i], value = in[i + 1];
    i += 2;
    if (count > 0) {  // a run of one value (RLE4: two alternating nibbles)
      for (unsigned k = 0; k < count; ++k) put(nibbles ? ((k & 1) ? value & 15 : value >> 4) : value);
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of picture
      return true;
    } else if (value == 2) {  // move right and up
      if (in.size() - i < 2) {
        error = u"BMP run-length data is truncated";
        return false;
      }
      x += in[i];
      y += in[i + 1];
      i += 2;
    } else {  // `value` pixels stored as they are, padded to an even byte count
      const size_t bytes = nibbles ? (value + 1) / 2 : value;
      if (in.size() - i < bytes) {
        error = u"BMP run-length data is truncated";
        return false;
      }
      for (unsigned k = 0; k < value; ++k) put(nibbles ? ((k & 1) ? in[i + k / 2] & 15 : in[i + k / 2] >> 4) : in[i + k]);
      i = std::min(in.size(), i + ((bytes + 1) & ~size_t{1}));
    }
  }
  return true;
}

}  // namespace

bool DecodeBmpToDib(std::span<const uint8_t> data, DibBlock& out, std::u16string& error) {
  const size_t size = data.size();
  const uint8_t* p = data.data();
  if (size < kFileHeaderSize + kCoreHeaderSize || p[0] != 'B' || p[1] != 'M') {
    error = u"BMP data is truncated or not a BMP";
    return false;
  }
  const uint32_t offBits = Get32(p + 10);
  const uint8_t* h = p + kFileHeaderSize;
  const uint32_t headerSize = Get32(h);
  const bool core = headerSize == kCoreHeaderSize;
  if ((!core && headerSize < kInfoHeaderSize) || headerSize > size - kFileHeaderSize) {
    error = u"BMP info header size is invalid";
    return false;
  }
  BITMAPINFOHEADER& hdr = out.header;
  hdr = BITMAPINFOHEADER{};
  hdr.biPlanes = 1;
  int bits;
  uint32_t compression = 0, clrUsed = 0;
  if (core) {
    hdr.biWidth = Get16(h + 4);
    hdr.biHeight = Get16(h + 6);
    bits = Get16(h + 10);
  } else {
    hdr.biWidth = static_cast<int32_t>(Get32(h + 4));
    hdr.biHeight = static_cast<int32_t>(Get32(h + 8));
    bits = Get16(h + 14);
    compression = Get32(h + 16);
    hdr.biSizeImage = Get32(h + 20);
    hdr.biXPelsPerMeter = static_cast<int32_t>(Get32(h + 24));
    hdr.biYPelsPerMeter = static_cast<int32_t>(Get32(h + 28));
    clrUsed = Get32(h + 32);
  }

  if (hdr.biWidth <= 0 || hdr.biHeight == 0 || hdr.biHeight == INT32_MIN) {
    error = u"BMP picture size is invalid";
    return false;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    error = u"BMP bit count is not supported";
    return false;
  }
  const bool bitFields = compression == kBitFields || compression == kAlphaBitFields;
  // Run-length rows are bottom-up only.
  const bool rle = hdr.biHeight > 0 && ((compression == kRle8 && bits == 8) || (compression == kRle4 && bits == 4));
  if (compression != 0 && !rle && !(bitFields && (bits == 16 || bits == 32))) {
    error = u"BMP compression is not supported";
    return false;
  }

  // Bit-field masks lie inside headers of 52 bytes or more, else right after the
  // 40-byte header (three masks, four for the alpha form). Some tools leave the
  // table out and start the pixels right after the header: a table that would
  // reach past the pixel offset is not there, and the default masks apply.
  size_t tableStart = kFileHeaderSize + headerSize;
  uint32_t masks[4] = {0, 0, 0, 0};
  if (bitFields) {
    const int count = compression == kAlphaBitFields ? 4 : 3;
    const uint8_t* m = h + 40;
    if (headerSize < 40u + 4u * count) {
      m = nullptr;
      if (offBits == 0 || offBits >= tableStart + 4u * count) {
        if (size < tableStart + 4u * count) {
          error = u"BMP colour masks are truncated";
          return false;
        }
        m = p + tableStart;
        tableStart += 4u * count;
      }
    }
    if (m != nullptr) {
      for (int i = 0; i < count; ++i) masks[i] = Get32(m + 4 * i);
      if (headerSize >= 56) masks[3] = Get32(h + 52);
    } else if (bits == 16) {
      masks[0] = 0x7C00, masks[1] = 0x3E0, masks[2] = 0x1F;
    } else {
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }
  }

  // The palette of 1-, 4- and 8-bit pictures: biClrUsed entries (0: all), never more
  // than the bit count can index. The OS/2 header has no count: its palette fills
  // the room before the pixel offset, up to all entries.
  out.palette.clear();
  if (bits <= 8) {
    const uint32_t most = 1u << bits;
    const size_t entrySize = core ? 3 : 4;
    if (core && offBits > tableStart) clrUsed = static_cast<uint32_t>(std::min<size_t>(most, (offBits - tableStart) / 3));
    if (clrUsed == 0 || clrUsed > most) clrUsed = most;
    if (size - tableStart < entrySize * clrUsed) {
      error = u"BMP palette is truncated";
      return false;
    }
    out.palette.resize(clrUsed);
    for (uint32_t i = 0; i < clrUsed; ++i) {
      const uint8_t* e = p + tableStart + entrySize * i;
      out.palette[i] = RGBQUAD{e[0], e[1], e[2], 0};
    }
    tableStart += entrySize * clrUsed;
    hdr.biClrUsed = clrUsed;
  }

  // The pixels start at the file's pixel offset; files that leave it 0 have them
  // right after the header and palette.
  const size_t pixelStart = offBits != 0 ? offBits : tableStart;
  const uint64_t rows = static_cast<uint64_t>(std::abs(static_cast<int64_t>(hdr.biHeight)));
  const uint64_t stride = DibStride(hdr.biWidth, rle ? 8 : bits);
  if (stride == 0 || stride * rows > kMaxPictureBytes) {
    error = u"BMP picture is too large";
    return false;
  }
  if (pixelStart < kFileHeaderSize + headerSize || pixelStart > size ||
      (!rle && size - pixelStart < stride * rows)) {
    error = u"BMP pixel data is truncated";
    return false;
  }
  const uint8_t* pixels = p + pixelStart;

  if (rle) {
    hdr.biBitCount = 8;
    out.bits.assign(stride * rows, 0);
    return DecodeRle(data.subspan(pixelStart), compression == kRle4, hdr.biWidth, static_cast<int>(rows), out, error);
  }

  const bool x555 = !bitFields || (bits == 16 && masks[0] == 0x7C00 && masks[1] == 0x3E0 && masks[2] == 0x1F);
  const bool plain32 = bits == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF &&
                       (masks[3] == 0 || masks[3] == 0xFF000000u);
  if (!bitFields || x555 || plain32) {
    hdr.biBitCount = static_cast<uint16_t>(bits);
    out.bits.assign(pixels, pixels + stride * rows);
    return true;
  }

  // Other bit-field layouts (565, 10-bit channels, ...) are widened to 32 bits with
  // the alpha mask, or opaque without one.
  const MaskField r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
  hdr.biBitCount = 32;
  const uint32_t outStride = DibStride(hdr.biWidth, 32);
  out.bits.assign(static_cast<size_t>(outStride) * rows, 0);
  for (uint64_t y = 0; y < rows; ++y) {
    const uint8_t* s = pixels + y * stride;
    uint8_t* d = out.bits.data() + y * outStride;
    for (int x = 0; x < hdr.biWidth; ++x, d += 4) {
      const uint32_t v = bits == 16 ? Get16(s + 2 * x) : Get32(s + 4 * x);
      d[0] = b.Read(v, 0);
      d[1] = g.Read(v, 0);
      d[2] = r.Read(v, 0);
      d[3] = a.Read(v, 255);
    }
  }
  return true;
}

namespace {

// The whole file a BMP writer makes: `bits` (24 or 32) bits per pixel from a 32-,
// 16- or 8-bit image, rows in memory order, which is the order the stored height
// names. Empty for an image without pixels.
std::vector<uint8_t> EncodeBmp(const DxImage& image, int bits) {
  std::vector<uint8_t> out;
  const BITMAPINFOHEADER* info = image.GetInfoHeader();
  if (info == nullptr || image.GetBits() == nullptr) return out;
  const int width = info->biWidth;
  const int64_t rows = std::abs(static_cast<int64_t>(info->biHeight));
  const uint32_t stride = DibStride(width, bits);

  out.reserve(54 + static_cast<size_t>(stride) * rows);
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<uint32_t>(54 + stride * rows));
  Put16(out, 0);
  Put16(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(info->biHeight));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(bits));
  for (int i = 0; i < 6; ++i) Put32(out, 0);

  const uint8_t* row = image.GetBits();
  const int srcStride = image.GetStride();
  const int depth = info->biBitCount;
  const RGBQUAD* palette = const_cast<DxImage&>(image).GetPalette();
  for (int64_t y = 0; y < rows; ++y, row += srcStride) {
    const size_t start = out.size();
    for (int x = 0; x < width; ++x) {
      uint8_t px[4] = {0, 0, 0, 255};
      if (depth == 32) {
        std::memcpy(px, row + 4 * x, 4);
        px[3] = static_cast<uint8_t>(255 - px[3]);  // transparency back to opacity
      } else if (depth == 16) {
        const unsigned v = Get16(row + 2 * x);
        px[0] = Expand5(v & 31);
        px[1] = Expand5((v >> 5) & 31);
        px[2] = Expand5((v >> 10) & 31);
        px[3] = (v & 0x8000) ? 0 : 255;
      } else if (depth == 8 && palette != nullptr) {
        px[0] = palette[row[x]].rgbBlue;
        px[1] = palette[row[x]].rgbGreen;
        px[2] = palette[row[x]].rgbRed;
      }
      out.insert(out.end(), px, px + bits / 8);
    }
    out.resize(start + stride, 0);
  }
  return out;
}

// Writes the file beside its final name and renames it into place, so a failed
// write never leaves a cut file nor touches one already there. 1 on success.
int WriteBmp(const DxImage& image, int bits, const std::u16string& name) {
  const std::vector<uint8_t> bytes = EncodeBmp(image, bits);
  if (bytes.empty()) return 0;
  const std::filesystem::path target = platform::WidePath(name);
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  bool written;
  {
    platform::File file = platform::File::CreateForWrite(temporary);
    if (!file.IsOpen()) return 0;
    written = file.Write(bytes.data(), bytes.size());
  }
  std::error_code ignored;
  if (written) {
    std::error_code renamed;
    std::filesystem::rename(temporary, target, renamed);
    if (!renamed) return 1;
  }
  std::filesystem::remove(temporary, ignored);
  return 0;
}

}  // namespace

int DxImage::SaveBMP24(const std::u16string& name) { return WriteBmp(*this, 24, name); }

int DxImage::SaveBMP32(const std::u16string& name) { return WriteBmp(*this, 32, name); }

}  // namespace DxDraw
