// Ogg Vorbis encoding for tests and data builds: PCM in, one logical stream of
// Ogg pages out, made by libvorbisenc in variable bit rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace oggenc {

// How a stream is made.
struct Settings {
  int channels = 1;      // samples to a frame, interleaved
  long rate = 22050;     // frames a second
  float quality = 0.2f;  // variable bit rate quality, -0.1..1
  int serial = 1;        // the logical stream's serial number
  // Frames handed to the encoder at a time. The stream's blocks depend on it,
  // so a caller that must keep its bytes keeps its chunk size.
  std::size_t chunk_frames = 4096;
};

// Encodes `interleaved` samples in -1..1 as one logical stream. The same
// samples and settings give the same bytes on every run. Throws
// std::runtime_error when libvorbisenc refuses the settings.
std::vector<uint8_t> EncodeOggVorbis(std::span<const float> interleaved, const Settings& settings);

}  // namespace oggenc
