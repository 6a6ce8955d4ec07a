// The image object: pixel memory, geometry, the drawing context count, and the
// conversion of decoded pictures into 32- and 16-bit pixels.
#include "dxdraw/image.h"

#include <cstdlib>
#include <cstring>

#include "dxdraw/picture_bytes.h"

namespace DxDraw {

DxImage::DxImage(int depth) : m_Depth(depth) {}

DxImage::~DxImage() = default;

void DxImage::Destroy() {
  m_HasInfo = false;
  m_Header = BITMAPINFOHEADER{};
  m_Palette.clear();
  m_pBits.reset();
}

int DxImage::Create(int width, int height) {
  Destroy();
  if (width <= 0 || height == 0 || height == INT32_MIN) return 0;
  const uint64_t stride = DibStride(width, m_Depth);
  const uint64_t rows = static_cast<uint64_t>(std::abs(static_cast<int64_t>(height)));
  if (stride == 0 || stride * rows > kMaxPictureBytes) return 0;

  if (m_pPending && m_PendingBytes == stride * rows) {
    m_pBits = std::move(m_pPending);
  } else {
    m_pBits.reset(new (std::nothrow) uint8_t[stride * rows]());
  }
  m_pPending.reset();
  if (!m_pBits) return 0;
  m_Header = BITMAPINFOHEADER{};
  m_Header.biWidth = width;
  m_Header.biHeight = height;
  m_Header.biBitCount = static_cast<uint16_t>(m_Depth);
  const int entries = m_Depth == 1 ? 2 : m_Depth == 4 ? 16 : m_Depth == 8 ? 256 : 0;
  const int step = entries == 2 ? 255 : entries == 16 ? 17 : 1;
  m_Palette.assign(entries, RGBQUAD{});
  for (int i = 0; i < entries; ++i) {
    const auto g = static_cast<uint8_t>(i * step);
    m_Palette[i] = RGBQUAD{g, g, g, 0};
  }
  m_HasInfo = true;
  return 1;
}

uint8_t* DxImage::GetPixelAddress(int x, int y) const {
  if (!m_HasInfo) return nullptr;
  const ptrdiff_t stride = GetStride();
  const ptrdiff_t column = static_cast<ptrdiff_t>(m_Header.biBitCount) * x / 8;
  if (m_Header.biHeight < 0) return m_pBits.get() + y * stride + column;
  return m_pBits.get() + (static_cast<ptrdiff_t>(m_Header.biHeight) - 1 - y) * stride + column;
}

HDC DxImage::GetDC() {
  if (m_DCCount > 0) {
    ++m_DCCount;
    return m_pDC.get();
  }
  if (!m_HasInfo) return nullptr;
  m_pDC = std::make_unique<DeviceContext>();
  m_pDC->image = this;
  m_DCCount = 1;
  return m_pDC.get();
}

unsigned DxImage::ReleaseDC() {
  if (!m_pDC || m_DCCount == 0) return m_DCCount;
  if (--m_DCCount == 0) m_pDC.reset();
  return m_DCCount;
}

int DxImage::LoadFromDib(const DibBlock& dib) {
  if (m_Depth == 32) return ConvertTo32(dib);
  if (m_Depth == 16) return ConvertTo16(dib);
  return 0;
}

namespace {

// Checks that a decoded picture's header, palette and rows hold together, so the
// conversions can read without further bounds checks.
bool DibIsConsistent(const DibBlock& dib, std::u16string& why) {
  const auto& h = dib.header;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) {
    why = u"picture size is not positive";
    return false;
  }
  const uint64_t stride = dib.stride();
  const uint64_t rows = static_cast<uint64_t>(std::abs(static_cast<int64_t>(h.biHeight)));
  if (stride == 0 || stride * rows > kMaxPictureBytes) {
    why = u"picture is too large";
    return false;
  }
  if (dib.bits.size() < stride * rows) {
    why = u"pixel data is shorter than the picture";
    return false;
  }
  return true;
}

// The palette entry of an index; indices past the palette read black.
inline RGBQUAD PaletteEntry(const DibBlock& dib, unsigned index) {
  return index < dib.palette.size() ? dib.palette[index] : RGBQUAD{};
}

// Index of pixel x in a row of 1-, 4- or 8-bit pixels.
inline unsigned IndexAt(const uint8_t* row, int x, int bits) {
  if (bits == 8) return row[x];
  if (bits == 4) return (row[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F;
  return (row[x / 8] >> (7 - (x & 7))) & 1;
}

}  // namespace

bool DxImage::CreateForDib(const DibBlock& dib) {
  std::u16string why;
  if (!DibIsConsistent(dib, why)) {
    SetError(why);
    return false;
  }
  const int rows = static_cast<int>(std::abs(static_cast<int64_t>(dib.header.biHeight)));
  if (!Create(dib.header.biWidth, rows)) {
    SetError(u"picture is too large");
    return false;
  }
  return true;
}

int DxImage::ConvertTo32(const DibBlock& dib) {
  if (!CreateForDib(dib)) return 0;
  const auto& h = dib.header;
  const int width = h.biWidth;
  const int rows = static_cast<int>(std::abs(static_cast<int64_t>(h.biHeight)));
  const int bits = h.biBitCount;
  const uint32_t stride = dib.stride();
  for (int y = 0; y < rows; ++y) {
    // Block rows run bottom-up unless the header says top-down.
    const int blockRow = h.biHeight > 0 ? rows - 1 - y : y;
    const uint8_t* s = dib.bits.data() + static_cast<size_t>(blockRow) * stride;
    uint8_t* d = GetPixelAddress(0, y);
    for (int x = 0; x < width; ++x, d += 4) {
      switch (bits) {
        case 1:
        case 4:
        case 8: {
          RGBQUAD q = PaletteEntry(dib, IndexAt(s, x, bits));
          d[0] = q.rgbBlue;
          d[1] = q.rgbGreen;
          d[2] = q.rgbRed;
          d[3] = 0;
          break;
        }
        case 16: {
          const unsigned v = s[2 * x] | (s[2 * x + 1] << 8);
          d[0] = Expand5(v & 31);
          d[1] = Expand5((v >> 5) & 31);
          d[2] = Expand5((v >> 10) & 31);
          d[3] = (v & 0x8000) ? 255 : 0;
          break;
        }
        case 24:
          d[0] = s[3 * x];
          d[1] = s[3 * x + 1];
          d[2] = s[3 * x + 2];
          d[3] = 0;
          break;
        case 32:
          d[0] = s[4 * x];
          d[1] = s[4 * x + 1];
          d[2] = s[4 * x + 2];
          d[3] = static_cast<uint8_t>(255 - s[4 * x + 3]);
          break;
        default:
          break;  // other depths leave the pixels zero
      }
    }
  }
  return 1;
}

int DxImage::ConvertTo16(const DibBlock& dib) {
  if (!CreateForDib(dib)) return 0;
  const auto& h = dib.header;
  const int width = h.biWidth;
  const int rows = static_cast<int>(std::abs(static_cast<int64_t>(h.biHeight)));
  const int bits = h.biBitCount;
  const uint32_t stride = dib.stride();
  auto pack = [](unsigned r, unsigned g, unsigned b) { return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3); };
  for (int y = 0; y < rows; ++y) {
    const int blockRow = h.biHeight > 0 ? rows - 1 - y : y;
    const uint8_t* s = dib.bits.data() + static_cast<size_t>(blockRow) * stride;
    uint8_t* d = GetPixelAddress(0, y);
    for (int x = 0; x < width; ++x, d += 2) {
      unsigned v;
      switch (bits) {
        case 1:
        case 4:
        case 8: {
          RGBQUAD q = PaletteEntry(dib, IndexAt(s, x, bits));
          v = pack(q.rgbRed, q.rgbGreen, q.rgbBlue);
          break;
        }
        case 16:
          v = s[2 * x] | (s[2 * x + 1] << 8);
          break;
        case 24:
          v = pack(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
          break;
        case 32:
          v = pack(s[4 * x + 2], s[4 * x + 1], s[4 * x]) | (s[4 * x + 3] == 0 ? 0x8000 : 0);
          break;
        default:
          v = 0;
          break;
      }
      d[0] = static_cast<uint8_t>(v);
      d[1] = static_cast<uint8_t>(v >> 8);
    }
  }
  return 1;
}

}  // namespace DxDraw
