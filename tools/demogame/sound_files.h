// Sounds of the demo game: tones, chords and noises synthesised as mono PCM,
// then encoded to Ogg Vorbis (music, voices, effects) or written as a RIFF
// "WAVE" image (the two system sounds).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace demogame {

inline constexpr int kSampleRate = 22050;

// Mono samples in -1..1 at kSampleRate.
using Samples = std::vector<float>;

// Background music: `chords` (names such as "C", "Am", "F", "G7", "Dm") one bar
// of four beats each at `tempo` beats a minute, a soft pad under an arpeggio.
// Throws std::runtime_error for a chord name it cannot read.
Samples MakeMusic(int tempo, const std::vector<std::string>& chords);
// A voice: `syllables` short vowel-like tones around `pitch` Hz, rising and
// falling like speech.
Samples MakeVoice(double pitch, int syllables);
// An effect by kind: "waves", "bell", "thunder", "cicada", "knock",
// `seconds` long. Throws std::runtime_error for another kind.
Samples MakeEffect(std::string_view kind, double seconds);
// A short blip of `ms` milliseconds at `pitch` Hz.
Samples MakeBlip(double pitch, int ms);

// An Ogg Vorbis stream of the samples (quality in -0.1..1).
std::vector<uint8_t> EncodeOggVorbis(const Samples& samples, float quality = 0.2f);
// A RIFF "WAVE" image: 16-bit PCM, mono, kSampleRate.
std::vector<uint8_t> EncodeWave(const Samples& samples);

}  // namespace demogame
