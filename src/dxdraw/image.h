// The engine's bitmap: pixels in memory of a bit depth fixed when the object is made
// (8 for the font's glyph image, 32 for every drawing surface, 16 for the raw "HBM"
// pictures), addressed through an info header like a DIB section. Every surface
// derives from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dxdraw/dib.h"

struct IArchive;

namespace DxDraw {

struct Picture32;

class DxImage;

// What GetDC hands out: the image whose pixels text is drawn into while the
// context is open.
struct DeviceContext {
  DxImage* image = nullptr;
};
using HDC = DeviceContext*;

class DxImage {
 public:
  // depth: 8, 16 or 32; never changes.
  explicit DxImage(int depth);
  virtual ~DxImage();
  DxImage(const DxImage&) = delete;
  DxImage& operator=(const DxImage&) = delete;

  // Makes width x height pixels, all zero bytes; bottom-up for a positive height.
  // 1- to 8-bit images get a grey ramp palette. 0 (and an empty image) when the size
  // is not positive or too large.
  virtual int Create(int width, int height);
  // Converts a decoded picture into this image's depth (16 or 32); 0 for other
  // depths or a block whose sizes do not hold together.
  virtual int LoadFromDib(const DibBlock& dib);
  // Loads a picture file ("BM", "PNG", or "HBM" for 16-bit images) from an archive
  // entry, or from disk when archive is null. 0 with LastError() naming the file and
  // what is wrong. A damaged archive entry raises the archive's error record.
  virtual int LoadFile(IArchive* archive, std::u16string_view name);
  virtual int SaveBMP24(const std::u16string& name);
  virtual int SaveBMP32(const std::u16string& name);
  // The drawing context over the pixels; counted, the last ReleaseDC closes it.
  virtual HDC GetDC();
  // Returns the remaining use count.
  virtual unsigned ReleaseDC();

  // Loads a picture from whole file data by its signature: "BM", "PNG" and, for
  // 16-bit images, "HBM". Sets LastError() on failure.
  int LoadFromMemory(std::span<const uint8_t> data);
  // The raw 16-bit "HBM" block (16-bit images only).
  int LoadHbm(std::span<const uint8_t> data);
  // A JPEG picture, which the loaders above do not recognise: decoded straight
  // into a 32-bit image, through a DIB block into a 16-bit one. Sets LastError().
  int LoadJpeg(std::span<const uint8_t> data);
  // Takes over pixels decoded straight into the 32-bit layout, re-creating the
  // image at their size through Create (so a surface's bounds follow). 32-bit
  // images only; 0 and nothing changed otherwise.
  int LoadPicture32(Picture32&& picture);

  // Geometry; 0 for an image without pixels.
  int GetWidth() const { return m_HasInfo ? m_Header.biWidth : 0; }
  int GetHeight() const { return m_HasInfo ? m_Header.biHeight : 0; }
  int GetBitCount() const { return m_HasInfo ? m_Header.biBitCount : 0; }
  int GetStride() const { return m_HasInfo ? static_cast<int>(DibStride(m_Header.biWidth, m_Header.biBitCount)) : 0; }
  // Signed distance from one picture row to the next lower one: negative for the
  // engine's bottom-up images.
  ptrdiff_t GetPitch() const { return m_Header.biHeight < 0 ? GetStride() : -static_cast<ptrdiff_t>(GetStride()); }
  // Pixel (x, y), y counted from the top of the picture either way.
  uint8_t* GetPixelAddress(int x, int y) const;
  uint8_t* GetBits() const { return m_pBits.get(); }
  const BITMAPINFOHEADER* GetInfoHeader() const { return m_HasInfo ? &m_Header : nullptr; }
  RGBQUAD* GetPalette() { return m_Palette.empty() ? nullptr : m_Palette.data(); }
  int GetDepth() const { return m_Depth; }
  unsigned GetDCCount() const { return m_DCCount; }

  // Why the last load failed ("which file, what is wrong" once the loader adds the name).
  const std::u16string& LastError() const { return m_LastError; }
  // Whether the last LoadFile failed because the file was not there (rather than
  // being found and refused).
  bool LastFileMissing() const { return m_FileMissing; }

 protected:
  int ConvertTo32(const DibBlock& dib);
  int ConvertTo16(const DibBlock& dib);
  void SetError(std::u16string text) { m_LastError = std::move(text); }

 private:
  void Destroy();
  // Checks the block and creates the picture of its size; false (with the
  // reason kept) when the block is damaged or too large.
  bool CreateForDib(const DibBlock& dib);

  BITMAPINFOHEADER m_Header;             // valid while m_HasInfo
  std::vector<RGBQUAD> m_Palette;        // 1-, 4- and 8-bit images
  bool m_HasInfo = false;
  std::unique_ptr<uint8_t[]> m_pBits;    // stride x |height| bytes
  // Decoded pixels LoadPicture32 hands to the Create it calls, which takes them
  // instead of clearing new memory; empty at every other time.
  std::unique_ptr<uint8_t[]> m_pPending;
  size_t m_PendingBytes = 0;
  std::unique_ptr<DeviceContext> m_pDC;  // present while m_DCCount > 0
  unsigned m_DCCount = 0;
  const int m_Depth;
  std::u16string m_LastError;
  bool m_FileMissing = false;  // set by LoadFile
};

}  // namespace DxDraw
