// JPEG pictures through libjpeg (interface 62). The library leaves by longjmp on
// errors, so its calls happen inside plain functions whose frames hold no object
// with a destructor; the C++ wrapper owns the output and destroys the decoder.
#include <cstddef>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

// The B, G, R output spaces of the library's extensions.
#ifndef JCS_EXTENSIONS
#error "libjpeg with the colour-space extensions (JCS_EXT_BGR) is needed"
#endif

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <functional>
#include <memory>

#include "dxdraw/decoders.h"
#include "platform/debug_output.h"
#include "platform/text.h"

namespace DxDraw {
namespace {

// The error manager with the way back and the last message.
struct JpegError {
  jpeg_error_mgr manager;
  jmp_buf back;
  char message[JMSG_LENGTH_MAX];
};

// The memory source: the data once, then an end-of-image marker for as long as
// the library keeps asking, so damaged data ends the picture instead of being read
// again from the start.
struct JpegSource {
  jpeg_source_mgr manager;
  const uint8_t* data;
  size_t size;
  bool started;
  bool ranOut;  // the data ended before the picture did
};

const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

void OnJpegErrorExit(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, error->message);
  longjmp(error->back, 1);
}

void OnJpegOutputMessage(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX + 16];
  char message[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, message);
  std::snprintf(text, sizeof text, "libjpeg: %s\n", message);
  platform::OutputDebugText(platform::Utf8ToUtf16(text));
}

void OnSourceInit(j_decompress_ptr) {}
void OnSourceTerm(j_decompress_ptr) {}

boolean OnSourceFill(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<JpegSource*>(cinfo->src);
  if (!source->started) {
    source->started = true;
    source->manager.next_input_byte = source->data;
    source->manager.bytes_in_buffer = source->size;
  } else {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->ranOut = true;
    source->manager.next_input_byte = kFakeEoi;
    source->manager.bytes_in_buffer = sizeof kFakeEoi;
  }
  return TRUE;
}

void OnSourceSkip(j_decompress_ptr cinfo, long count) {
  auto* source = reinterpret_cast<JpegSource*>(cinfo->src);
  if (count <= 0) return;
  while (static_cast<size_t>(count) > source->manager.bytes_in_buffer) {
    count -= static_cast<long>(source->manager.bytes_in_buffer);
    OnSourceFill(cinfo);
    // Past the end only the fake marker remains: stop skipping at it.
    if (source->manager.next_input_byte == kFakeEoi) return;
  }
  source->manager.next_input_byte += count;
  source->manager.bytes_in_buffer -= static_cast<size_t>(count);
}

// Creating the decoder can fail too (a version mismatch). 1 on success.
int CreateJpeg(jpeg_decompress_struct* cinfo) {
  auto* error = reinterpret_cast<JpegError*>(cinfo->err);
  if (setjmp(error->back)) return 0;
  jpeg_create_decompress(cinfo);
  return 1;
}

// Reads the header and starts decompression into `space` (B, G, R with or
// without a fourth byte). 1 on success, -1 for an unsupported colour space, -2 for
// a picture too large to hold, 0 on a library error.
int StartJpeg(jpeg_decompress_struct* cinfo, J_COLOR_SPACE space) {
  auto* error = reinterpret_cast<JpegError*>(cinfo->err);
  if (setjmp(error->back)) return 0;
  jpeg_read_header(cinfo, TRUE);
  if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) return -1;
  // Refused before the library sizes its own buffers by the header.
  if (static_cast<uint64_t>(cinfo->image_width) * cinfo->image_height * 4 > kMaxPictureBytes) return -2;
  // Colour and grey pictures alike come out as the engine's byte order.
  cinfo->out_color_space = space;
  jpeg_start_decompress(cinfo);
  return 1;
}

// Lines asked of the library per call; it gives what its buffers hold.
constexpr int kLinesPerCall = 16;

// Reads every line straight into the bottom-up rows (`stride` bytes apart); with
// four bytes a pixel the fourth, which the library sets to 255, becomes a zero
// transparency while the lines are still in the cache. 1 on success.
int ReadJpegLines(jpeg_decompress_struct* cinfo, uint8_t* bits, size_t stride) {
  auto* error = reinterpret_cast<JpegError*>(cinfo->err);
  if (setjmp(error->back)) return 0;
  const JDIMENSION height = cinfo->output_height;
  const bool four = cinfo->output_components == 4;
  const size_t rowBytes = static_cast<size_t>(cinfo->output_width) * cinfo->output_components;
  JSAMPROW lines[kLinesPerCall];
  while (cinfo->output_scanline < height) {
    const JDIMENSION first = cinfo->output_scanline;
    const JDIMENSION want = std::min<JDIMENSION>(kLinesPerCall, height - first);
    for (JDIMENSION i = 0; i < want; ++i) lines[i] = bits + (height - 1 - (first + i)) * stride;
    const JDIMENSION got = jpeg_read_scanlines(cinfo, lines, want);
    if (got == 0) break;
    if (four) {
      for (JDIMENSION i = 0; i < got; ++i)
        for (size_t t = 3; t < rowBytes; t += 4) lines[i][t] = 0;
    }
  }
  jpeg_finish_decompress(cinfo);
  return 1;
}

// Decodes into 24-bit (DIB) or 32-bit (engine) rows; `rowsAt` gets the header and
// returns the bottom-up rows of DibStride bytes each, or null.
bool DecodeJpeg(std::span<const uint8_t> data, int bits, DibBlock& out,
                const std::function<uint8_t*(const DibBlock&)>& rowsAt, std::u16string& error) {
  if (data.empty()) {
    error = u"JPEG data is empty";
    return false;
  }
  auto cinfo = std::make_unique<jpeg_decompress_struct>();
  auto err = std::make_unique<JpegError>();
  auto source = std::make_unique<JpegSource>();
  cinfo->err = jpeg_std_error(&err->manager);
  err->manager.error_exit = OnJpegErrorExit;
  err->manager.output_message = OnJpegOutputMessage;
  err->message[0] = 0;
  if (!CreateJpeg(cinfo.get())) {
    error = u"libjpeg error: " + platform::Utf8ToUtf16(err->message);
    return false;
  }

  source->manager.init_source = OnSourceInit;
  source->manager.fill_input_buffer = OnSourceFill;
  source->manager.skip_input_data = OnSourceSkip;
  source->manager.resync_to_restart = jpeg_resync_to_restart;
  source->manager.term_source = OnSourceTerm;
  source->manager.next_input_byte = nullptr;
  source->manager.bytes_in_buffer = 0;
  source->data = data.data();
  source->size = data.size();
  source->started = false;
  source->ranOut = false;
  cinfo->src = &source->manager;

  auto fail = [&](std::u16string why) {
    jpeg_destroy_decompress(cinfo.get());
    error = std::move(why);
    return false;
  };
  const int started = StartJpeg(cinfo.get(), bits == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR);
  if (started == -1) return fail(u"CMYK JPEG pictures are not supported");
  if (started == -2) return fail(u"JPEG picture is too large");
  if (started == 0) return fail(u"libjpeg error: " + platform::Utf8ToUtf16(err->message));
  if (source->ranOut) return fail(u"JPEG data is truncated");

  const uint32_t stride = DibStride(cinfo->output_width, bits);
  const uint64_t total = static_cast<uint64_t>(stride) * cinfo->output_height;
  if (stride == 0 || cinfo->output_height == 0 || total > kMaxPictureBytes || cinfo->output_components != bits / 8)
    return fail(u"JPEG picture is too large or of an unknown layout");
  out.header = BITMAPINFOHEADER{};
  out.header.biWidth = static_cast<int32_t>(cinfo->output_width);
  out.header.biHeight = static_cast<int32_t>(cinfo->output_height);
  out.header.biBitCount = static_cast<uint16_t>(bits);
  out.header.biSizeImage = static_cast<uint32_t>(total);
  out.palette.clear();
  uint8_t* rows = rowsAt(out);
  if (rows == nullptr) return fail(u"JPEG picture is too large");
  if (!ReadJpegLines(cinfo.get(), rows, stride)) return fail(u"libjpeg error: " + platform::Utf8ToUtf16(err->message));
  // The library finishes a cut-off picture with grey; report it as the damage it is.
  if (source->ranOut) return fail(u"JPEG data is truncated");
  jpeg_destroy_decompress(cinfo.get());
  return true;
}

}  // namespace

bool DecodeJpegToDib(std::span<const uint8_t> data, DibBlock& out, std::u16string& error) {
  auto rowsAt = [&out](const DibBlock&) {
    // Every padding byte is written here, the pixels by the library.
    out.bits.assign(static_cast<size_t>(out.header.biSizeImage), 0);
    return out.bits.data();
  };
  return DecodeJpeg(data, 24, out, rowsAt, error);
}

bool DecodeJpegTo32(std::span<const uint8_t> data, Picture32& out, std::u16string& error) {
  DibBlock layout;
  return DecodeJpeg(data, 32, layout, [&](const DibBlock& dib) { return out.Allocate(dib.header); }, error);
}

}  // namespace DxDraw
