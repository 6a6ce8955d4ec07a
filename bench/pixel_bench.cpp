// Throughput of the pixel pipeline in megapixels a second, beside memcpy and memset
// of the same bytes and beside pixman's SRC and OVER composites of the same size:
// every operation x variant x family at 800x600 and 64x64, fills, a full-screen
// quad, StretchBlt to a thumbnail, and decoding 800x600 pictures. After the run a
// table gives each result as a share of memcpy and of pixman OVER.
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dxdraw/decoders.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/image_fixtures.h"
#include "dxdraw/pixel.h"
#include "dxdraw/pixel_internal.h"

namespace {

using namespace DxDraw;

struct Size {
  int w, h;
};
constexpr Size kSizes[] = {{800, 600}, {64, 64}};

std::vector<uint8_t> RandomPixels(int w, int h, unsigned seed) {
  std::vector<uint8_t> v(static_cast<size_t>(w) * h * 4);
  std::mt19937 rng(seed);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

void SetPixels(benchmark::State& state, int64_t perIteration) {
  state.SetItemsProcessed(state.iterations() * perIteration);
}

// ---- references ----

void BM_Memcpy(benchmark::State& state, Size s) {
  std::vector<uint8_t> src = RandomPixels(s.w, s.h, 1), dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{s.w} * s.h);
}

void BM_Memset(benchmark::State& state, Size s) {
  std::vector<uint8_t> dst(static_cast<size_t>(s.w) * s.h * 4);
  for (auto _ : state) {
    std::memset(dst.data(), 0x5A, dst.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t{s.w} * s.h);
}

void BM_Pixman(benchmark::State& state, Size s, pixman_op_t op) {
  std::vector<uint8_t> src = RandomPixels(s.w, s.h, 2), dst = RandomPixels(s.w, s.h, 3);
  pixman_image_t* a = pixman_image_create_bits(PIXMAN_a8r8g8b8, s.w, s.h, reinterpret_cast<uint32_t*>(src.data()),
                                               s.w * 4);
  pixman_image_t* b = pixman_image_create_bits(PIXMAN_a8r8g8b8, s.w, s.h, reinterpret_cast<uint32_t*>(dst.data()),
                                               s.w * 4);
  for (auto _ : state) {
    pixman_image_composite32(op, a, nullptr, b, 0, 0, 0, 0, 0, 0, s.w, s.h);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(a);
  pixman_image_unref(b);
  SetPixels(state, int64_t{s.w} * s.h);
}

// ---- pixel operations through the dispatch ----

struct Operation {
  const char* name;
  uint32_t op;
  int level;
};
constexpr Operation kOperations[] = {
    {"copy", BLT_COPY, 0},  {"bright", BLT_BRIGHT, 384}, {"fade", BLT_FADE, 128}, {"add", BLT_ADD, 200},
    {"sub", BLT_SUB, 200},  {"mask", BLT_MASK, 300},     {"xor", BLT_XOR, 256},   {"blend2", BLT_BLEND2, 200},
};

// family: 0 paired (widest rows the processor has), 1 paired with 128-bit rows only,
// 2 single.
void BM_PixelOp(benchmark::State& state, Size s, Operation operation, bool weighted, int family) {
  const bool paired = family != 2;
  std::vector<uint8_t> src = RandomPixels(s.w, s.h, 4), dst = RandomPixels(s.w, s.h, 5);
  DxImage mask(32);
  mask.Create(s.w, s.h);
  BLTPARAM p;
  p.Flags = operation.op | (weighted ? BLT_WEIGHTED : 0) | BLT_NOFADESHORTCUT;
  p.Level = operation.level;
  p.MaskSurface = &mask;
  InitSimdFlags();
  SetSimdEnabled(paired ? 1 : 0);
  SetWidePairedRows(family == 0);
  const ptrdiff_t pitch = 4 * s.w;
  for (auto _ : state) {
    BltPixels(PixelBlock{dst.data(), pitch}, src.data(), pitch, 0, 0, s.w, s.h, &p);
    benchmark::ClobberMemory();
  }
  SetWidePairedRows(true);
  InitSimdFlags();
  SetPixels(state, int64_t{s.w} * s.h);
}

void BM_FillRect(benchmark::State& state, Size s, bool paired) {
  std::vector<uint8_t> dst(static_cast<size_t>(s.w) * s.h * 4);
  InitSimdFlags();
  SetSimdEnabled(paired ? 1 : 0);
  for (auto _ : state) {
    FillPixels(PixelBlock{dst.data(), 4 * s.w}, s.w, s.h, 0x80102030u);
    benchmark::ClobberMemory();
  }
  InitSimdFlags();
  SetPixels(state, int64_t{s.w} * s.h);
}

struct ReleaseSurface {
  void operator()(DxSurface* s) const { s->Release(); }
};
using SurfacePtr = std::unique_ptr<DxSurface32, ReleaseSurface>;

SurfacePtr RandomSurface(int w, int h, unsigned seed) {
  SurfacePtr s(static_cast<DxSurface32*>(CreateSurface(32)));
  s->Create(w, h);
  std::vector<uint8_t> pixels = RandomPixels(w, h, seed);
  for (int y = 0; y < h; ++y) std::memcpy(s->GetPixelAddress(0, y), pixels.data() + 4 * w * y, 4 * w);
  return s;
}

void BM_DrawQuad(benchmark::State& state, bool weighted) {
  SurfacePtr dest = RandomSurface(800, 600, 6), source = RandomSurface(800, 600, 7);
  const POINTS corners[4] = {{0, 0}, {799, 0}, {799, 599}, {0, 599}};
  BLTPARAM p;
  p.Flags = BLT_COPY | (weighted ? BLT_WEIGHTED : 0);
  for (auto _ : state) {
    dest->DrawQuad(corners, source.get(), corners, nullptr, &p);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 800 * 600);
}

void BM_StretchBlt(benchmark::State& state) {
  SurfacePtr dest = RandomSurface(140, 105, 8), source = RandomSurface(800, 600, 9);
  const RECT to{0, 0, 140, 105};
  for (auto _ : state) {
    dest->StretchBlt(&to, source.get(), nullptr);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 800 * 600);  // source pixels read
}

// An 800x600 picture with smooth gradients and some noise, like a background.
std::vector<uint8_t> PictureSamples(int channels) {
  std::vector<uint8_t> v(800 * 600 * channels);
  std::mt19937 rng(10);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x)
      for (int c = 0; c < channels; ++c)
        v[(y * 800 + x) * channels + c] = static_cast<uint8_t>((x * (c + 1) / 4 + y / 3 + (rng() & 7)) & 0xFF);
  return v;
}

// A picture file into a 32-bit image: through the image's loader, which decodes
// straight into its pixels (straight), or through a DIB block and a second pass.
void BM_Decode(benchmark::State& state, int format, bool straight) {
  image_test::Bytes data;
  if (format == 0) {
    data = image_test::EncodeJpeg(800, 600, 3, PictureSamples(3));
  } else if (format == 1) {
    image_test::PngSpec spec;
    spec.width = 800;
    spec.height = 600;
    spec.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    spec.rows = PictureSamples(4);
    data = image_test::EncodePng(spec);
  } else {
    image_test::TiffSpec spec;
    spec.width = 800;
    spec.height = 600;
    spec.rowsPerStrip = 16;
    spec.rows = PictureSamples(3);
    data = image_test::EncodeTiff(spec);
  }
  for (auto _ : state) {
    DxImage image(32);
    bool ok;
    if (straight && format == 0) {
      ok = image.LoadJpeg(data) == 1;
    } else if (straight && format == 1) {
      ok = image.LoadFromMemory(data) == 1;
    } else {
      DibBlock dib;
      std::u16string why;
      ok = format == 0 ? DecodeJpegToDib(data, dib, why)
           : format == 1 ? DecodePngToDib(data, dib, why)
                         : LoadTiffToDib(data, dib, why);
      ok = ok && image.LoadFromDib(dib) == 1;
    }
    if (!ok) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image.GetBits());
  }
  SetPixels(state, 800 * 600);
}

std::string SizeName(Size s) { return std::to_string(s.w) + "x" + std::to_string(s.h); }

void RegisterAll() {
  for (Size s : kSizes) {
    const std::string size = SizeName(s);
    benchmark::RegisterBenchmark(("memcpy/" + size).c_str(), BM_Memcpy, s);
    benchmark::RegisterBenchmark(("memset/" + size).c_str(), BM_Memset, s);
    benchmark::RegisterBenchmark(("pixman_src/" + size).c_str(), BM_Pixman, s, PIXMAN_OP_SRC);
    benchmark::RegisterBenchmark(("pixman_over/" + size).c_str(), BM_Pixman, s, PIXMAN_OP_OVER);
    for (const Operation& op : kOperations)
      for (bool weighted : {false, true})
        for (int family : {0, 1, 2}) {
          if (family == 1 && !WidePairedRowsAvailable()) continue;  // the same rows as family 0
          static const char* const kFamilies[] = {"/paired/", "/paired_sse2/", "/single/"};
          benchmark::RegisterBenchmark(
              (std::string(op.name) + (weighted ? "_weighted" : "_plain") + kFamilies[family] + size).c_str(),
              BM_PixelOp, s, op, weighted, family);
        }
    for (bool paired : {true, false})
      benchmark::RegisterBenchmark(("fillrect" + std::string(paired ? "/paired/" : "/single/") + size).c_str(),
                                   BM_FillRect, s, paired);
  }
  benchmark::RegisterBenchmark("drawquad_plain/800x600", BM_DrawQuad, false);
  benchmark::RegisterBenchmark("drawquad_weighted/800x600", BM_DrawQuad, true);
  benchmark::RegisterBenchmark("stretchblt/800x600_to_140x105", BM_StretchBlt);
  benchmark::RegisterBenchmark("decode_jpeg/800x600", BM_Decode, 0, true);
  benchmark::RegisterBenchmark("decode_jpeg_block/800x600", BM_Decode, 0, false);
  benchmark::RegisterBenchmark("decode_png/800x600", BM_Decode, 1, true);
  benchmark::RegisterBenchmark("decode_png_block/800x600", BM_Decode, 1, false);
  benchmark::RegisterBenchmark("decode_tiff_block/800x600", BM_Decode, 2, false);
}

// Keeps each result's pixel rate for the table of ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto it = run.counters.find("items_per_second");
      if (it != run.counters.end() && !run.error_occurred) rates_[run.benchmark_name()] = it->second.value;
    }
  }

  void PrintRatios() const {
    std::printf("\n%-36s %10s %9s %9s\n", "pixel throughput", "Mpx/s", "/memcpy", "/OVER");
    for (const auto& [name, rate] : rates_) {
      const auto slash = name.rfind('/');
      const std::string size = name.substr(slash + 1);
      const double memcpyRate = Lookup("memcpy/" + size), overRate = Lookup("pixman_over/" + size);
      std::printf("%-36s %10.1f", name.c_str(), rate / 1e6);
      if (memcpyRate > 0) std::printf(" %8.0f%%", 100.0 * rate / memcpyRate);
      else std::printf(" %9s", "");
      if (overRate > 0) std::printf(" %8.0f%%", 100.0 * rate / overRate);
      std::printf("\n");
    }
  }

 private:
  double Lookup(const std::string& name) const {
    auto it = rates_.find(name);
    return it == rates_.end() ? 0.0 : it->second;
  }
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
