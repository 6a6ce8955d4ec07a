// Time to scale a whole 800 x 600 picture up for full screen: to 1440 x 1080
// (a 1920 x 1080 monitor, scale 1.8) and 960 x 720 (1280 x 720, scale 1.2),
// with the fastest kernel the processor has and with the plain one.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/picture_scale.h"

namespace {

using platform::PictureScaler;

void BM_ScaleFrame(benchmark::State& state, int w, int h, PictureScaler::Kernel kernel) {
  constexpr int kW = 800, kH = 600;
  std::vector<uint32_t> source(static_cast<size_t>(kW) * kH);
  std::mt19937 random(1);
  for (uint32_t& p : source) p = static_cast<uint32_t>(random());
  // Bottom-up, as the back buffer lies.
  const auto* bytes = reinterpret_cast<const uint8_t*>(source.data());
  const platform::PixelBuffer from{bytes + static_cast<ptrdiff_t>(kH - 1) * kW * 4, -kW * 4, kW, kH};
  const PictureScaler scaler(kW, kH, w, h, kernel);
  std::vector<uint32_t> to(static_cast<size_t>(w) * h);
  for (auto _ : state) {
    scaler.Scale(from, platform::PresentRect{0, 0, w, h}, reinterpret_cast<uint8_t*>(to.data()), w * 4);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}

BENCHMARK_CAPTURE(BM_ScaleFrame, 1440x1080, 1440, 1080, PictureScaler::Kernel::kFastest);
BENCHMARK_CAPTURE(BM_ScaleFrame, 960x720, 960, 720, PictureScaler::Kernel::kFastest);
BENCHMARK_CAPTURE(BM_ScaleFrame, 1440x1080_plain, 1440, 1080, PictureScaler::Kernel::kPlain);
BENCHMARK_CAPTURE(BM_ScaleFrame, 960x720_plain, 960, 720, PictureScaler::Kernel::kPlain);

}  // namespace

BENCHMARK_MAIN();
