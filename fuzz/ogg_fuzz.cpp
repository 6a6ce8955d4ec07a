// The Ogg stream control over arbitrary bytes: open, then read a looping stream
// for a while, rewinding through its end; it must neither crash nor hang.
#include <vector>

#include "sound/ogg_test_util.h"
#include "sound/stream.h"

// vorbisfile itself loses a few bytes on some damaged headers (ov_clear after a failed
// open cannot reach them); that is not this engine's leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libvorbisfile.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto* reader = new sound_test::MemoryStreamReader(std::vector<uint8_t>(data, data + size));
  auto control = ComPtr<IStreamControl>::Adopt(CreateOggStreamControl(reader));
  if (control->Open(u"fuzz") == 0) return 0;
  STREAMCHANNEL channel;
  channel.format = *control->GetFormat();
  channel.total = channel.remaining = control->GetDataSize();
  channel.flags = kChannelPlaying | kChannelLoop;
  std::vector<uint8_t> piece(16384);
  for (int i = 0; i < 8; ++i) control->ReadPcm(&channel, piece.data(), static_cast<uint32_t>(piece.size()));
  return 0;
}
