// Loading pictures into images: by file signature from archive entries, disk
// files or memory, and the raw 16-bit "HBM" block.
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/archive.h"
#include "core/util.h"
#include "dxdraw/decoders.h"
#include "dxdraw/image.h"
#include "dxdraw/picture_bytes.h"

namespace DxDraw {
namespace {

// HBM block: "HBM" at 0, byte 3 unused, width i32 at 4, height u32 at 8, flags u32
// at 12, then the rows at 16, or (flag 16) the zlib stream's length u32 at 16 and
// the stream at 20. Rows are x555 pixels padded to 4 bytes.
constexpr size_t kHbmHeaderSize = 16;
constexpr uint32_t kHbmCompressed = 16;
constexpr uint32_t kHbmBottomUp = 32;

struct InflateGuard {
  z_stream* stream;
  ~InflateGuard() { inflateEnd(stream); }
};

// Inflates exactly out.size() bytes; the stream must end there. Empty on success.
std::u16string InflateExactly(std::span<const uint8_t> in, std::vector<uint8_t>& out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return u"zlib could not start";
  InflateGuard guard{&z};
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int result;
  do {
    result = inflate(&z, Z_NO_FLUSH);
  } while (result == Z_OK);
  if (result == Z_BUF_ERROR && z.avail_out == 0) return u"compressed pixels are longer than the picture";
  if (result == Z_BUF_ERROR) return u"compressed pixels end early";
  if (result != Z_STREAM_END) return u"compressed pixels are damaged";
  if (z.avail_out != 0) return u"compressed pixels are shorter than the picture";
  return {};
}

}  // namespace

int DxImage::LoadHbm(std::span<const uint8_t> data) {
  if (m_Depth != 16) {
    SetError(u"HBM pictures load only into 16-bit images");
    return 0;
  }
  if (data.size() < kHbmHeaderSize || std::memcmp(data.data(), "HBM", 3) != 0) {
    SetError(u"HBM header is truncated");
    return 0;
  }
  const auto width = static_cast<int32_t>(Get32(data.data() + 4));
  const uint32_t height = Get32(data.data() + 8);
  const uint32_t flags = Get32(data.data() + 12);
  const uint64_t rowBytes = DibStride(width, 16);
  if (width <= 0 || height == 0 || height > 32768 || rowBytes == 0 || rowBytes * height > kMaxPictureBytes) {
    SetError(u"HBM picture size is invalid");
    return 0;
  }
  const size_t total = rowBytes * height;
  std::vector<uint8_t> rows;
  std::span<const uint8_t> stored;
  if (flags & kHbmCompressed) {
    if (data.size() < kHbmHeaderSize + 4) {
      SetError(u"HBM header is truncated");
      return 0;
    }
    const uint32_t length = Get32(data.data() + kHbmHeaderSize);
    if (length > data.size() - kHbmHeaderSize - 4) {
      SetError(u"HBM compressed pixels are truncated");
      return 0;
    }
    // Deflate expands at most about 1032 to 1: a stream too short for the
    // picture is refused before its rows are allocated.
    if (total / 1032 > length + 64) {
      SetError(u"HBM compressed pixels are shorter than the picture");
      return 0;
    }
    rows.resize(total);
    std::u16string why = InflateExactly(data.subspan(kHbmHeaderSize + 4, length), rows);
    if (!why.empty()) {
      SetError(u"HBM " + why);
      return 0;
    }
    stored = rows;
  } else {
    if (data.size() - kHbmHeaderSize < total) {
      SetError(u"HBM pixels are truncated");
      return 0;
    }
    stored = data.subspan(kHbmHeaderSize, total);
  }
  if (!Create(width, static_cast<int>(height))) {
    SetError(u"HBM picture is too large");
    return 0;
  }
  // Stored rows run top row first unless the block says bottom row first.
  for (uint32_t i = 0; i < height; ++i) {
    const int y = (flags & kHbmBottomUp) ? static_cast<int>(height - 1 - i) : static_cast<int>(i);
    std::memcpy(GetPixelAddress(0, y), stored.data() + i * rowBytes, rowBytes);
  }
  return 1;
}

uint8_t* Picture32::Allocate(const BITMAPINFOHEADER& header) {
  const uint64_t bytes = static_cast<uint64_t>(DibStride(header.biWidth, 32)) * static_cast<uint32_t>(header.biHeight);
  if (header.biWidth <= 0 || header.biHeight <= 0 || bytes == 0 || bytes > kMaxPictureBytes) return nullptr;
  width = header.biWidth;
  height = header.biHeight;
  bits = std::make_unique_for_overwrite<uint8_t[]>(bytes);
  return bits.get();
}

int DxImage::LoadPicture32(Picture32&& picture) {
  if (m_Depth != 32 || !picture.bits) return 0;
  m_pPending = std::move(picture.bits);
  m_PendingBytes = static_cast<size_t>(DibStride(picture.width, 32)) * static_cast<size_t>(picture.height);
  if (!Create(picture.width, picture.height)) {
    SetError(u"picture is too large");
    return 0;
  }
  return 1;
}

int DxImage::LoadJpeg(std::span<const uint8_t> data) {
  std::u16string why;
  if (m_Depth == 32) {
    Picture32 picture;
    if (DecodeJpegTo32(data, picture, why)) return LoadPicture32(std::move(picture));
  } else {
    DibBlock dib;
    if (DecodeJpegToDib(data, dib, why)) return LoadFromDib(dib);
  }
  SetError(why);
  return 0;
}

int DxImage::LoadFromMemory(std::span<const uint8_t> data) {
  DibBlock dib;
  std::u16string why;
  bool decoded;
  if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') {
    decoded = DecodeBmpToDib(data, dib, why);
  } else if (data.size() >= 4 && std::memcmp(data.data() + 1, "PNG", 3) == 0) {
    if (m_Depth == 32) {
      // Straight into the pixels: no DIB block, no second pass.
      Picture32 picture;
      if (DecodePngTo32(data, picture, why)) return LoadPicture32(std::move(picture));
      SetError(why);
      return 0;
    }
    decoded = DecodePngToDib(data, dib, why);
  } else if (data.size() >= 3 && std::memcmp(data.data(), "HBM", 3) == 0 && m_Depth == 16) {
    return LoadHbm(data);
  } else {
    SetError(u"unknown picture format");
    return 0;
  }
  if (!decoded) {
    SetError(why);
    return 0;
  }
  return LoadFromDib(dib);
}

int DxImage::LoadFile(IArchive* archive, std::u16string_view name) {
  struct FreeBlock {
    void operator()(void* p) const { std::free(p); }
  };
  std::unique_ptr<void, FreeBlock> block;
  size_t size = 0;
  if (archive != nullptr) {
    uint32_t size32 = 0;
    block.reset(LoadArchiveFile(archive, name, nullptr, &size32));
    size = size32;
  } else {
    block.reset(::LoadFile(name, &size));
  }
  m_FileMissing = !block;
  if (!block) {
    SetError(std::u16string(name) + u": file not found");
    return 0;
  }
  const int loaded = LoadFromMemory(std::span<const uint8_t>(static_cast<const uint8_t*>(block.get()), size));
  if (!loaded) SetError(std::u16string(name) + u": " + m_LastError);
  return loaded;
}

}  // namespace DxDraw
