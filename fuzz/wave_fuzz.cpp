// ParseWave over arbitrary bytes: every output it gives lies inside the image.
#include <cstdlib>

#include "platform/debug_output.h"
#include "sound/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (platform::SetDebugSink([](std::u16string_view) {}), true);
  (void)quiet;
  WAVEFORMATEX format;
  const uint8_t* samples = nullptr;
  uint32_t bytes = 0;
  if (ParseWave({data, size}, &format, &samples, &bytes) != 0) {
    if (samples < data || samples + bytes > data + size) std::abort();
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < bytes; ++i) sum = static_cast<uint8_t>(sum + samples[i]);
  }
  return 0;
}
