// Feeds arbitrary bytes to the picture loaders. The first byte picks the decoder
// when the data carries no known signature, so each decoder sees every input.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "dxdraw/decoders.h"
#include "dxdraw/image.h"
#include "platform/debug_output.h"
#include "platform/message_box.h"

namespace {

// Answers every box at once and keeps nothing.
class NoBoxes : public platform::IMessageBox {
 public:
  int Show(platform::WindowHandle, std::u16string_view, std::u16string_view, uint32_t flags) override {
    return platform::DefaultAnswer(flags);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    platform::SetDebugSink([](std::u16string_view) {});
    static NoBoxes boxes;
    platform::SetMessageBoxService(&boxes);
    return true;
  }();
  (void)quiet;
  if (size < 1) return 0;
  const std::span<const uint8_t> bytes(data + 1, size - 1);
  DxDraw::DibBlock dib;
  std::u16string why;
  bool decoded = false;
  switch (data[0] % 7) {
    case 0: {
      DxDraw::DxImage image(32);
      image.LoadFromMemory(bytes);  // BMP, PNG by signature
      return 0;
    }
    case 1: {
      DxDraw::DxImage image(16);
      image.LoadFromMemory(bytes);  // BMP, PNG and HBM by signature
      return 0;
    }
    case 2:
      decoded = DxDraw::DecodeJpegToDib(bytes, dib, why);
      break;
    case 6: {
      DxDraw::DxImage image(32);
      image.LoadJpeg(bytes);  // straight into the pixels
      return 0;
    }
    case 3:
      decoded = DxDraw::LoadTiffToDib(bytes, dib, why);
      break;
    case 4:
      decoded = DxDraw::DecodePngToDib(bytes, dib, why);
      break;
    default:
      decoded = DxDraw::DecodeBmpToDib(bytes, dib, why);
      break;
  }
  if (decoded) {
    DxDraw::DxImage image(32);
    image.LoadFromDib(dib);
  }
  return 0;
}
