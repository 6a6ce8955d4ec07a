// Four stereo Ogg Vorbis streams at 44,100 Hz played by the engine (decoded by the
// channels, mixed by the manual device in 10 ms periods with a service pass after
// each) beside decoding the same streams with bare ov_read. Both are measured in
// process CPU time, so the service thread's work counts. Counters:
//   cpu_share  the engine's CPU time as a fraction of the audio's duration;
//   ratio      engine / bare decoding (the goal: at most 1.1).
// The service pass alone, with four channels playing and nothing to refill, is the
// second benchmark.
//
// SOUND_BENCH_SECONDS sets the length of each stream (10 by default; CTest runs 1).
#include <time.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <benchmark/benchmark.h>

#include "archive/archive.h"
#include "platform/audio.h"
#include "platform/text.h"
#include "sound/ogg_test_util.h"
#include "sound/sound_internal.h"
#include "sound/stream.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr int kStreams = 4;
constexpr uint32_t kPeriodFrames = kRate / 100;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Something closer to music than a sine: a chord whose notes change every quarter
// second, over a little noise.
std::vector<int16_t> Music(uint32_t frames, int seed) {
  std::vector<int16_t> pcm(std::size_t{frames} * 2);
  uint32_t noise = 12345u + static_cast<uint32_t>(seed);
  const double notes[] = {220.0, 246.9, 261.6, 293.7, 329.6, 349.2, 392.0, 440.0};
  for (uint32_t f = 0; f < frames; ++f) {
    const uint32_t bar = f / (kRate / 4) + static_cast<uint32_t>(seed);
    for (int c = 0; c < 2; ++c) {
      double v = 0;
      for (int n = 0; n < 3; ++n) v += std::sin(6.283185307 * notes[(bar + 2 * n + c) % 8] * f / kRate);
      noise = noise * 1664525u + 1013904223u;
      v = v * 6000.0 + static_cast<int32_t>(noise >> 16) % 800 - 400;
      pcm[2 * f + c] = static_cast<int16_t>(v);
    }
  }
  return pcm;
}

// The streams, written once into a folder the engine reads as its sound archive.
struct Streams {
  uint32_t seconds = 10;
  std::filesystem::path folder;
  std::vector<std::vector<uint8_t>> oggs;
  IArchive* archive = nullptr;

  Streams() {
    if (const char* s = std::getenv("SOUND_BENCH_SECONDS")) seconds = static_cast<uint32_t>(std::max(1, std::atoi(s)));
    folder = std::filesystem::temp_directory_path() / ("sound_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (int i = 0; i < kStreams; ++i) {
      oggs.push_back(sound_test::EncodeOgg(Music(seconds * kRate, i), 2, kRate));
      std::ofstream(folder / ("s" + std::to_string(i) + ".ogg"), std::ios::binary)
          .write(reinterpret_cast<const char*>(oggs.back().data()), static_cast<std::streamsize>(oggs.back().size()));
    }
    archive = OpenDirArchive(platform::Utf8ToUtf16(folder.string()));
  }
  ~Streams() {
    ReleaseInterface(archive);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  static std::u16string Name(int i) { return u"s" + platform::Utf8ToUtf16(std::to_string(i)) + u".ogg"; }
  static std::string Path(const Streams& s, int i) { return (s.folder / ("s" + std::to_string(i) + ".ogg")).string(); }
};

Streams& TheStreams() {
  static Streams streams;
  return streams;
}

// The sound engine on the manual device, for the life of a benchmark.
class Engine {
 public:
  Engine() {
    previous_ = platform::SetAudioDeviceOpener([this](uint32_t rate) {
      auto device = std::make_unique<platform::ManualAudioDevice>(rate);
      device_ = device.get();
      return device;
    });
    SOUNDCONFIG config{1, kRate, 2, 16, 2, 0, 0};
    InitSound(nullptr, &config);
  }
  ~Engine() {
    for (int c = 0; c < kStreamChannelCount; ++c) StopChannel(c);
    ShutdownSound();
    platform::SetAudioDeviceOpener(previous_);
  }
  platform::ManualAudioDevice& device() { return *device_; }

 private:
  platform::ManualAudioDevice* device_ = nullptr;
  platform::AudioDeviceOpener previous_;
};

// Bare decoding of the same files: ov_read into one small buffer until the end.
double DecodeWithOvRead(const Streams& streams) {
  const double start = ProcessCpuSeconds();
  for (int i = 0; i < kStreams; ++i) {
    OggVorbis_File vf;
    if (ov_fopen(Streams::Path(streams, i).c_str(), &vf) != 0) continue;
    char chunk[4096];
    int section = 0;
    while (ov_read(&vf, chunk, sizeof chunk, 0, 2, 1, &section) > 0) benchmark::DoNotOptimize(chunk);
    ov_clear(&vf);
  }
  return ProcessCpuSeconds() - start;
}

double PlayThroughEngine(const Streams& streams, Engine& engine) {
  const double start = ProcessCpuSeconds();
  for (int i = 0; i < kStreams; ++i) OpenOggStream(streams.archive, Streams::Name(i), i, 0, 4096, -600, 0);
  std::vector<int16_t> out(kPeriodFrames * 2);
  for (uint32_t period = 0; period < streams.seconds * 100; ++period) {
    engine.device().Mixer().Mix(out.data(), kPeriodFrames);
    RunSoundServicePass();
    benchmark::DoNotOptimize(out.data());
  }
  for (int i = 0; i < kStreams; ++i) StopChannel(i);
  return ProcessCpuSeconds() - start;
}

void BM_FourStreamsBesideOvRead(benchmark::State& state) {
  Streams& streams = TheStreams();
  Engine engine;
  double engineSeconds = 0, bareSeconds = 0;
  for (auto _ : state) {
    engineSeconds += PlayThroughEngine(streams, engine);
    bareSeconds += DecodeWithOvRead(streams);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["engine_ms"] = benchmark::Counter(engineSeconds * 1e3 / n);
  state.counters["ov_read_ms"] = benchmark::Counter(bareSeconds * 1e3 / n);
  state.counters["cpu_share"] = benchmark::Counter(engineSeconds / n / streams.seconds);
  state.counters["ratio"] = benchmark::Counter(bareSeconds > 0 ? engineSeconds / bareSeconds : 0);
}

void BM_ServicePassFourChannels(benchmark::State& state) {
  Streams& streams = TheStreams();
  Engine engine;
  for (int i = 0; i < kStreams; ++i) OpenOggStream(streams.archive, Streams::Name(i), i, 1, 4096, 0, 0);
  for (auto _ : state) RunSoundServicePass();
}

}  // namespace

BENCHMARK(BM_FourStreamsBesideOvRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ServicePassFourChannels)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
