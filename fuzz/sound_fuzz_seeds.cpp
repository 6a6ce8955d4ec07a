// Writes seeds of the sound fuzzers: wave images of several chunk layouts into the
// first folder, short Ogg Vorbis streams (mono, stereo, chained) into the second.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sound/ogg_test_util.h"
#include "sound/wave_image.h"

namespace {

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sound_fuzz_seeds WAVE_FOLDER OGG_FOLDER\n");
    return 2;
  }
  const std::filesystem::path waves = argv[1];
  const std::filesystem::path oggs = argv[2];
  std::filesystem::create_directories(waves);
  std::filesystem::create_directories(oggs);

  using sound_test::WaveImage;
  Write(waves / "plain", WaveImage().Format(2, 22050, 16).Data({1, 2, 3, 4}).Build());
  Write(waves / "data-first", WaveImage().Data({1, 2, 3}).Format(1, 8000, 8, 14).Build());
  Write(waves / "list-odd", WaveImage().Chunk("LIST", {9}).Format(1, 8000, 8, 18).Data({7}).Build());

  using sound_test::EncodeOgg;
  using sound_test::Tone;
  Write(oggs / "mono", EncodeOgg(Tone(2000, 1, 22050), 1, 22050));
  Write(oggs / "stereo", EncodeOgg(Tone(3000, 2, 44100), 2, 44100));
  std::vector<uint8_t> chained = EncodeOgg(Tone(500, 1, 11025), 1, 11025, 1);
  const std::vector<uint8_t> second = EncodeOgg(Tone(700, 1, 11025, 900.0), 1, 11025, 2);
  chained.insert(chained.end(), second.begin(), second.end());
  Write(oggs / "chained", chained);
  return 0;
}
