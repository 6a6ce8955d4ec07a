// The cost of presenting a frame: the screen surface redrawing five layers
// over the whole 800x600 picture and copying it to the (headless) window,
// beside a plain memcpy of the back buffer and beside pixman compositing the
// same layers with OVER. Prints the ratios at the end.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "dxdraw/dxscreen.h"
#include "dxdraw/dxsurface.h"
#include "platform/presenter.h"

namespace {

using namespace DxDraw;

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// Layer pixels, as B, G, R, T (T = transparency) for the engine.
uint32_t Engine(uint8_t r, uint8_t g, uint8_t b, uint8_t transparency) {
  return static_cast<uint32_t>(transparency) << 24 | r << 16 | g << 8 | b;
}

// The same pixel premultiplied for pixman's a8r8g8b8.
uint32_t Premultiplied(uint32_t engine) {
  const uint32_t a = 255 - (engine >> 24);
  auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
  return a << 24 | mul(engine >> 16 & 0xFF) << 16 | mul(engine >> 8 & 0xFF) << 8 | mul(engine & 0xFF);
}

struct Layer {
  int x, y, width, height;
  std::vector<uint32_t> pixels;  // engine pixels, top row first
};

// The five layers of a scene: an opaque background, two full-screen character
// layers with transparent surroundings and soft edges, a half-transparent
// message window and one line of text.
std::vector<Layer> MakeLayers() {
  std::vector<Layer> layers;
  Layer background{0, 0, kWidth, kHeight, {}};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      background.pixels.push_back(Engine(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0x40, 0));
    }
  }
  layers.push_back(std::move(background));
  for (int c = 0; c < 2; ++c) {
    Layer character{0, 0, kWidth, kHeight, {}};
    const int centre = c == 0 ? 250 : 550;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const int d = std::abs(x - centre);
        const uint8_t t = d < 120 ? 0 : d < 140 ? static_cast<uint8_t>((d - 120) * 12) : 255;
        character.pixels.push_back(Engine(0xE0, static_cast<uint8_t>(y / 3), static_cast<uint8_t>(c * 100), t));
      }
    }
    layers.push_back(std::move(character));
  }
  Layer window{0, 400, kWidth, 200, std::vector<uint32_t>(kWidth * 200, Engine(0x10, 0x10, 0x30, 0x60))};
  layers.push_back(std::move(window));
  Layer text{40, 420, 720, 24, std::vector<uint32_t>(720 * 24, Engine(0, 0, 0, 255))};
  for (int glyph = 0; glyph < 30; ++glyph) {
    for (int y = 2; y < 22; ++y) {
      for (int x = 2; x < 20; ++x) {
        if ((x + y) % 3 != 0) text.pixels[y * 720 + glyph * 24 + x] = Engine(0xFF, 0xFF, 0xFF, (x * y) % 2 ? 0 : 128);
      }
    }
  }
  layers.push_back(std::move(text));
  return layers;
}

DxSurface* SurfaceOf(const Layer& layer) {
  DxSurface* s = CreateSurface(32);
  s->Create(layer.width, layer.height);
  for (int y = 0; y < layer.height; ++y) {
    std::memcpy(s->GetPixelAddress(0, y), &layer.pixels[static_cast<size_t>(y) * layer.width], layer.width * 4u);
  }
  s->ClearDirty();
  return s;
}

// The screen surface with the five layers as sprites, all drawn weighted but
// the background.
struct Scene {
  platform::HeadlessPresenter window{kWidth, kHeight};
  DxDrawGroup* root = new DxDrawGroup;
  DxScreenSurface32* screen = new DxScreenSurface32;
  std::vector<DxSurface*> images;

  Scene() {
    root->AddChild(screen);
    screen->Resize(kWidth, kHeight);
    bool first = true;
    for (const Layer& layer : MakeLayers()) {
      DxSurface* image = SurfaceOf(layer);
      images.push_back(image);
      auto* sprite = new DxSprite(image, nullptr, first ? 0 : BLT_WEIGHTED);
      sprite->SetPosition(layer.x, layer.y);
      screen->AddChild(sprite);
      first = false;
    }
    Frame();
  }
  ~Scene() {
    root->Release();
    for (DxSurface* image : images) image->Release();
  }
  void Frame() {
    DRAWINFO info;
    info.presenter = &window;
    root->Draw(&info);
  }
};

void BM_PresentFiveLayers(benchmark::State& state) {
  Scene scene;
  uint64_t allocations = 0;
  for (auto _ : state) {
    scene.screen->OnMessage(kMsgSetChanged, kChangedShown, 0);  // everything must be redrawn
    scene.window.ClearRects();
    const uint64_t before = g_Allocations.load();
    scene.Frame();
    allocations += g_Allocations.load() - before;
    benchmark::DoNotOptimize(scene.window.PixelAt(400, 300));
  }
  state.counters["pixels_copied"] = static_cast<double>(scene.window.PixelsCopied());
  state.counters["allocs_per_frame"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PresentFiveLayers)->Unit(benchmark::kMicrosecond);

void BM_PresentNothingChanged(benchmark::State& state) {
  Scene scene;
  scene.window.ClearRects();
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = g_Allocations.load();
    scene.Frame();
    allocations += g_Allocations.load() - before;
  }
  if (!scene.window.Rects().empty() || scene.window.PixelsCopied() != 0) state.SkipWithError("an unchanged frame copied pixels");
  state.counters["pixels_copied"] = static_cast<double>(scene.window.PixelsCopied());
  state.counters["allocs_per_frame"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PresentNothingChanged)->Unit(benchmark::kMicrosecond);

void BM_MemcpyBackBuffer(benchmark::State& state) {
  std::vector<uint32_t> from(kWidth * kHeight, 0x12345678u);
  std::vector<uint32_t> to(kWidth * kHeight);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * 4);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyBackBuffer)->Unit(benchmark::kMicrosecond);

void BM_PixmanOverFiveLayers(benchmark::State& state) {
  std::vector<std::vector<uint32_t>> buffers;
  std::vector<pixman_image_t*> images;
  std::vector<Layer> layers = MakeLayers();
  for (const Layer& layer : layers) {
    std::vector<uint32_t> premultiplied;
    premultiplied.reserve(layer.pixels.size());
    for (uint32_t p : layer.pixels) premultiplied.push_back(Premultiplied(p));
    buffers.push_back(std::move(premultiplied));
    images.push_back(pixman_image_create_bits(PIXMAN_a8r8g8b8, layer.width, layer.height, buffers.back().data(),
                                              layer.width * 4));
  }
  std::vector<uint32_t> target(kWidth * kHeight);
  pixman_image_t* dest = pixman_image_create_bits(PIXMAN_x8r8g8b8, kWidth, kHeight, target.data(), kWidth * 4);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, images[0], nullptr, dest, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    for (size_t i = 1; i < images.size(); ++i) {
      pixman_image_composite32(PIXMAN_OP_OVER, images[i], nullptr, dest, 0, 0, 0, 0, layers[i].x, layers[i].y,
                               layers[i].width, layers[i].height);
    }
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  pixman_image_unref(dest);
  for (pixman_image_t* image : images) pixman_image_unref(image);
}
BENCHMARK(BM_PixmanOverFiveLayers)->Unit(benchmark::kMicrosecond);

// Console output plus the real time per iteration of each benchmark, for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        times[run.run_name.function_name] = run.real_accumulated_time / static_cast<double>(run.iterations);
      }
    }
  }
  std::map<std::string, double> times;  // seconds per iteration
};

}  // namespace

int main(int argc, char** argv) {
  InitDxDraw();  // as start-up does: the two-pixel routines on
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& t = reporter.times;
  auto has = [&t](const char* name) { return t.count(name) != 0 && t.at(name) > 0; };
  if (has("BM_PresentFiveLayers") && has("BM_MemcpyBackBuffer")) {
    std::printf("present of five layers / memcpy of the back buffer: %.2f\n",
                t.at("BM_PresentFiveLayers") / t.at("BM_MemcpyBackBuffer"));
  }
  if (has("BM_PresentFiveLayers") && has("BM_PixmanOverFiveLayers")) {
    std::printf("present of five layers / pixman OVER of the same layers: %.2f\n",
                t.at("BM_PresentFiveLayers") / t.at("BM_PixmanOverFiveLayers"));
  }
  if (has("BM_PresentNothingChanged")) {
    std::printf("unchanged frame: %.2f us\n", t.at("BM_PresentNothingChanged") * 1e6);
  }
  benchmark::Shutdown();
  return 0;
}
