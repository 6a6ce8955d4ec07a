// The Ogg Vorbis stream control: vorbisfile decodes the reader's bytes into 16-bit
// little-endian PCM.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "platform/debug_output.h"
#include "sound/stream.h"

namespace {

// Holes in a row (lost pages) after which a stream counts as ended.
constexpr int kMaxHolesInARow = 32;

class CStreamControl_Ogg final : public CStreamControl {
 public:
  explicit CStreamControl_Ogg(IStreamReader* reader) : CStreamControl(reader) {}
  ~CStreamControl_Ogg() override { Close(); }

  int Open(std::u16string_view name) override;
  int Rewind(STREAMCHANNEL*) override {
    if (open_) ov_pcm_seek(&decoder_.file, 0);
    return 1;
  }
  uint32_t GetDataSize() override { return total_; }
  void Close() {
    if (open_) ov_clear(&decoder_.file);
    open_ = false;
    if (reader_ != nullptr) reader_->Close();
  }

 protected:
  uint32_t RawRead(void* buffer, uint32_t bytes) override;

 private:
  // What vorbisfile hands to the callbacks: the decoder state and the way back to
  // the control, and through it to the reader.
  struct Decoder {
    OggVorbis_File file{};
    CStreamControl_Ogg* owner = nullptr;
  };

  static size_t ReadCallback(void* ptr, size_t size, size_t count, void* source);
  static int SeekCallback(void* source, ogg_int64_t offset, int whence);
  static long TellCallback(void* source);
  static int CloseCallback(void*) { return 0; }  // the control closes the reader

  static IStreamReader* ReaderOf(void* source) { return static_cast<Decoder*>(source)->owner->GetReader(); }

  Decoder decoder_;
  bool open_ = false;   // ov_open_callbacks succeeded; ov_clear is due
  uint32_t total_ = 0;  // PCM bytes of the whole stream
};

size_t CStreamControl_Ogg::ReadCallback(void* ptr, size_t size, size_t count, void* source) {
  if (size == 0) return 0;
  const uint64_t want = std::min<uint64_t>(uint64_t{size} * count, UINT32_MAX);
  return ReaderOf(source)->Read(ptr, static_cast<uint32_t>(want)) / size;
}

int CStreamControl_Ogg::SeekCallback(void* source, ogg_int64_t offset, int whence) {
  if (whence == SEEK_SET || whence == SEEK_CUR || whence == SEEK_END) {
    ReaderOf(source)->Seek(offset, static_cast<uint32_t>(whence));
  }
  return 0;
}

long CStreamControl_Ogg::TellCallback(void* source) { return static_cast<long>(ReaderOf(source)->Tell()); }

int CStreamControl_Ogg::Open(std::u16string_view name) {
  Close();
  if (reader_ == nullptr || reader_->Open(name) == 0) return 0;
  decoder_.owner = this;
  const ov_callbacks callbacks = {ReadCallback, SeekCallback, CloseCallback, TellCallback};
  if (ov_open_callbacks(&decoder_, &decoder_.file, nullptr, 0, callbacks) != 0) {
    Close();
    return 0;
  }
  open_ = true;
  const vorbis_info* info = ov_info(&decoder_.file, -1);
  const ogg_int64_t samples = ov_pcm_total(&decoder_.file, -1);
  // A stream that reports no length (or a negative one) cannot be sized.
  if (info == nullptr || info->channels <= 0 || info->channels > 0x7FFF || info->rate <= 0 ||
      info->rate > INT32_MAX || samples < 0) {
    Close();
    return 0;
  }
  format_ = WAVEFORMATEX{};
  format_.wFormatTag = platform::WAVE_FORMAT_PCM;
  format_.nChannels = static_cast<uint16_t>(info->channels);
  format_.nSamplesPerSec = static_cast<uint32_t>(info->rate);
  format_.wBitsPerSample = 16;
  format_.nBlockAlign = static_cast<uint16_t>(2 * info->channels);
  format_.nAvgBytesPerSec = format_.nBlockAlign * format_.nSamplesPerSec;
  // A channel counts a stream's bytes in 32 bits. A longer one (in practice a damaged
  // last page whose granule position is far past the data) would play what decodes
  // and then hold its channel with silence for hours.
  if (uint64_t(samples) > UINT32_MAX / format_.nBlockAlign) {
    platform::OutputDebugText(std::u16string(name) +
                              u": the Ogg stream is not played: its length does not fit 32 bits of PCM bytes\n");
    Close();
    return 0;
  }
  total_ = static_cast<uint32_t>(samples) * format_.nBlockAlign;
  // vorbisfile may leave a chained stream at a later link: start at the first sample.
  if (ov_pcm_tell(&decoder_.file) != 0) ov_pcm_seek(&decoder_.file, 0);
  return 1;
}

uint32_t CStreamControl_Ogg::RawRead(void* buffer, uint32_t bytes) {
  if (!open_) return 0;
  auto* out = static_cast<char*>(buffer);
  uint32_t done = 0;
  int holes = 0;
  while (done < bytes) {
    int section = 0;
    const long n = ov_read(&decoder_.file, out + done, static_cast<int>(std::min<uint32_t>(bytes - done, INT32_MAX)),
                           0, 2, 1, &section);
    if (n > 0) {
      done += static_cast<uint32_t>(n);
      holes = 0;
    } else if (n == OV_HOLE && ++holes < kMaxHolesInARow) {
      continue;  // a lost page: the data goes on after it
    } else {
      break;  // the end, a broken link, or only holes: the stream has ended
    }
  }
  return done;
}

}  // namespace

IStreamControl* CreateOggStreamControl(IStreamReader* reader) {
  auto* control = new (std::nothrow) CStreamControl_Ogg(reader);
  if (control == nullptr && reader != nullptr) reader->Release();
  return control;
}
