#include "sound_files.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "oggenc.h"

namespace demogame {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

std::size_t SampleCount(double seconds) { return static_cast<std::size_t>(seconds * kSampleRate); }

// The same noise on every build, so that the archives come out byte for byte alike.
class Noise {
 public:
  float Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<float>(state_ >> 8) / static_cast<float>(1u << 23) - 1.0f;
  }

 private:
  uint32_t state_ = 0x2545F491u;
};

double MidiToHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// A chord name as MIDI notes from the third octave: root letter, '#' or 'b',
// then "", "m", "7", "m7" or "maj7".
std::vector<int> ParseChord(const std::string& name) {
  static constexpr int kLetters[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (name.empty() || name[0] < 'A' || name[0] > 'G') throw std::runtime_error("bad chord '" + name + "'");
  int root = 48 + kLetters[name[0] - 'A'];
  std::size_t at = 1;
  if (at < name.size() && (name[at] == '#' || name[at] == 'b')) root += name[at++] == '#' ? 1 : -1;
  const std::string quality = name.substr(at);
  if (quality.empty()) return {root, root + 4, root + 7};
  if (quality == "m") return {root, root + 3, root + 7};
  if (quality == "7") return {root, root + 4, root + 7, root + 10};
  if (quality == "m7") return {root, root + 3, root + 7, root + 10};
  if (quality == "maj7") return {root, root + 4, root + 7, root + 11};
  throw std::runtime_error("bad chord '" + name + "'");
}

// Adds signal(t), t in seconds from `start`, for `seconds`; what would fall
// past the end of `out` is left out.
template <class Signal>
void AddSignal(Samples& out, double start, double seconds, Signal signal) {
  const std::size_t first = SampleCount(start);
  const std::size_t n = SampleCount(seconds);
  for (std::size_t i = 0; i < n && first + i < out.size(); ++i) {
    out[first + i] += static_cast<float>(signal(static_cast<double>(i) / kSampleRate));
  }
}

// Adds a decaying tone with a few harmonics at `start` seconds.
void AddPluck(Samples& out, double start, double hz, double seconds, float level, double decay) {
  AddSignal(out, start, seconds, [=](double t) {
    const double envelope = std::min(1.0, t * 200) * std::exp(-t * decay);
    const double phase = kTwoPi * hz * t;
    return level * envelope * (std::sin(phase) + 0.3 * std::sin(2 * phase) + 0.1 * std::sin(3 * phase));
  });
}

// Scales the samples so that the loudest one reaches `peak`.
void Normalize(Samples& samples, float peak) {
  float loudest = 0;
  for (float s : samples) loudest = std::max(loudest, std::fabs(s));
  if (loudest <= 0) return;
  for (float& s : samples) s *= peak / loudest;
}

// Fades the first and last `seconds` in and out, so that a loop or an end never clicks.
void FadeEdges(Samples& samples, double seconds) {
  const std::size_t n = std::min(SampleCount(seconds), samples.size() / 2);
  for (std::size_t i = 0; i < n; ++i) {
    const float g = static_cast<float>(i) / static_cast<float>(n);
    samples[i] *= g;
    samples[samples.size() - 1 - i] *= g;
  }
}

// A one-pole low-pass filter over the samples.
void LowPass(Samples& samples, double cutoff) {
  const float a = static_cast<float>(1 - std::exp(-kTwoPi * cutoff / kSampleRate));
  float y = 0;
  for (float& s : samples) {
    y += a * (s - y);
    s = y;
  }
}

}  // namespace

Samples MakeMusic(int tempo, const std::vector<std::string>& chords) {
  const double beat = 60.0 / tempo;
  const double bar = 4 * beat;
  Samples out(SampleCount(bar * static_cast<double>(chords.size())), 0.0f);
  for (std::size_t c = 0; c < chords.size(); ++c) {
    const std::vector<int> notes = ParseChord(chords[c]);
    const double start = bar * static_cast<double>(c);
    // Pad: the chord held through the bar, swelling in and out.
    AddSignal(out, start, bar, [&](double t) {
      double sum = 0;
      for (int note : notes) sum += std::sin(kTwoPi * MidiToHz(note) * t) + 0.5 * std::sin(kTwoPi * MidiToHz(note) * 1.003 * t);
      return 0.08 * std::sin(std::numbers::pi * t / bar) * sum;
    });
    // Bass on beats one and three, arpeggio in eighths an octave up.
    AddPluck(out, start, MidiToHz(notes[0] - 12), 2 * beat, 0.35f, 2.5);
    AddPluck(out, start + 2 * beat, MidiToHz(notes[0] - 12), 2 * beat, 0.3f, 2.5);
    for (int k = 0; k < 8; ++k) {
      const int note = notes[static_cast<std::size_t>(k) % notes.size()] + 12 + (k >= 4 ? 12 : 0);
      AddPluck(out, start + k * beat / 2, MidiToHz(note), beat * 1.5, 0.18f, 4.0);
    }
  }
  Normalize(out, 0.8f);
  FadeEdges(out, 0.01);
  return out;
}

Samples MakeVoice(double pitch, int syllables) {
  // Relative strengths of the first five harmonics, one row a vowel (a, i, u, e, o).
  static constexpr float kVowels[5][5] = {
      {1.0f, 0.9f, 0.7f, 0.3f, 0.2f}, {1.0f, 0.2f, 0.1f, 0.5f, 0.4f}, {1.0f, 0.4f, 0.1f, 0.05f, 0.02f},
      {1.0f, 0.6f, 0.3f, 0.5f, 0.2f}, {1.0f, 0.8f, 0.2f, 0.1f, 0.05f}};
  constexpr double kSyllable = 0.16;
  constexpr double kGap = 0.04;
  Samples out(SampleCount((kSyllable + kGap) * syllables + 0.2), 0.0f);
  for (int s = 0; s < syllables; ++s) {
    const float* vowel = kVowels[(s * 3 + syllables) % 5];
    const double start = (kSyllable + kGap) * s;
    const double progress = static_cast<double>(s) / std::max(1, syllables - 1);
    const double hz = pitch * (1.0 + 0.12 * std::sin(progress * std::numbers::pi) - 0.1 * progress);
    AddSignal(out, start, kSyllable, [&](double t) {
      double sum = 0;
      for (int h = 0; h < 5; ++h) sum += vowel[h] * std::sin(kTwoPi * hz * (h + 1) * t) / (h + 1);
      return std::sin(std::numbers::pi * t / kSyllable) * sum;
    });
  }
  Normalize(out, 0.7f);
  return out;
}

Samples MakeEffect(std::string_view kind, double seconds) {
  Samples out(SampleCount(seconds), 0.0f);
  Noise noise;
  if (kind == "waves") {
    // Noise, low-passed, swelling twice over the length so that it loops.
    for (float& s : out) s = noise.Next();
    LowPass(out, 600);
    for (std::size_t i = 0; i < out.size(); ++i) {
      const double t = static_cast<double>(i) / static_cast<double>(out.size());
      out[i] *= static_cast<float>(0.35 + 0.65 * std::pow(std::sin(2 * std::numbers::pi * t), 2));
    }
  } else if (kind == "bell") {
    for (double ratio : {1.0, 2.76, 5.4}) AddPluck(out, 0, 660 * ratio, seconds, 0.4f / static_cast<float>(ratio), 2.0);
  } else if (kind == "thunder") {
    for (std::size_t i = 0; i < out.size(); ++i) {
      const double t = static_cast<double>(i) / kSampleRate;
      out[i] = noise.Next() * static_cast<float>(std::exp(-t * 1.5) * (0.6 + 0.4 * std::sin(kTwoPi * 3 * t)));
    }
    LowPass(out, 250);
  } else if (kind == "cicada") {
    for (std::size_t i = 0; i < out.size(); ++i) {
      const double t = static_cast<double>(i) / kSampleRate;
      const double pulse = std::sin(kTwoPi * 45 * t) > 0 ? 1.0 : 0.2;
      out[i] = static_cast<float>(pulse * (std::sin(kTwoPi * 4200 * t) + 0.3 * noise.Next()));
    }
  } else if (kind == "knock") {
    for (double at : {0.0, 0.22, 0.44}) AddPluck(out, at, 110, 0.2, 1.0f, 30.0);
  } else {
    throw std::runtime_error("unknown effect kind '" + std::string(kind) + "'");
  }
  Normalize(out, 0.8f);
  FadeEdges(out, 0.01);
  return out;
}

Samples MakeBlip(double pitch, int ms) {
  Samples out(SampleCount(ms / 1000.0), 0.0f);
  AddPluck(out, 0, pitch, ms / 1000.0, 1.0f, 12.0);
  Normalize(out, 0.6f);
  FadeEdges(out, 0.003);
  return out;
}

std::vector<uint8_t> EncodeOggVorbis(const Samples& samples, float quality) {
  return oggenc::EncodeOggVorbis(samples, {.channels = 1, .rate = kSampleRate, .quality = quality, .chunk_frames = 4096});
}

std::vector<uint8_t> EncodeWave(const Samples& samples) {
  std::vector<uint8_t> out;
  auto put = [&out](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto tag = [&out](const char* four) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(four[i]));
  };
  const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
  // "RIFF" size "WAVE", then the 16-byte "fmt " chunk and the "data" chunk.
  tag("RIFF");
  put(4 + (8 + 16) + (8 + data_bytes), 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);                // PCM
  put(1, 2);                // channels
  put(kSampleRate, 4);      // samples per second
  put(kSampleRate * 2, 4);  // bytes per second
  put(2, 2);                // block align
  put(16, 2);               // bits per sample
  tag("data");
  put(data_bytes, 4);
  for (float s : samples) {
    const auto v = static_cast<int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
    put(static_cast<uint16_t>(v), 2);
  }
  return out;
}

}  // namespace demogame
