#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/image_fixtures.h"
#include "game/config.h"
#include "game/picture.h"
#include "game/stage.h"
#include "platform/text.h"

namespace {

using image_test::Bytes;

// w x h RGBA rows: a gradient, opaque or, with `cut`, transparent left of x = cut.
Bytes Rows(int w, int h, int cut) {
  Bytes rows;
  rows.reserve(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      rows.insert(rows.end(), {uint8_t(x), uint8_t(y), uint8_t(x + y), uint8_t(x < cut ? 0 : 255)});
    }
  }
  return rows;
}

Bytes Png(int w, int h, int cut) {
  image_test::PngSpec spec;
  spec.width = w;
  spec.height = h;
  spec.colourType = 6;
  spec.rows = Rows(w, h, cut);
  return image_test::EncodePng(spec);
}

Bytes Jpeg(int w, int h) {
  Bytes rgba = Rows(w, h, 0), rgb;
  for (size_t i = 0; i < rgba.size(); i += 4) rgb.insert(rgb.end(), rgba.begin() + i, rgba.begin() + i + 3);
  return image_test::EncodeJpeg(w, h, 3, rgb);
}

// The demo's kind of pictures in a development folder: a JPEG background with two
// PNG layers, and a character of a scene layer, a body and a face.
struct Pictures {
  Pictures() : dir(image_test::TempPath("compose_bench")) {
    std::filesystem::create_directories(dir);
    Write("BG10000.jpg", Jpeg(800, 600));
    Write("BG11000.png", Png(800, 600, 400));
    Write("BG10100.png", Png(800, 600, 600));
    Write("H010000.png", Png(800, 600, 700));
    Write("A000200.png", Png(320, 600, 40));
    Write("A000003.png", Png(320, 600, 200));
    ScriptArchive = OpenDirArchive(platform::Utf8ToUtf16(dir));
    GetSystemConfig().chrPositions = {{u'A', 240}};
    work = DxDraw::CreateSurface(32);
    work->Create(800, 600);
    Game::StageWorkSurface = work;
  }
  ~Pictures() {
    Game::StageWorkSurface = nullptr;
    work->Release();
    ScriptArchive->Release();
    ScriptArchive = nullptr;
    std::filesystem::remove_all(dir);
  }
  void Write(const std::string& name, const Bytes& b) {
    std::ofstream(dir + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }

  std::string dir;
  DxDraw::DxSurface* work = nullptr;
};

const std::vector<std::u16string> kFiles = {u"BG10000", u"BG11000", u"BG10100",
                                            u"H010000", u"A000200", u"A000003"};

// Only decoding: each of the six pictures loaded and released.
void BM_DecodeOnly(benchmark::State& state) {
  Pictures p;
  for (auto _ : state) {
    for (const std::u16string& name : kFiles) ScriptLoadImage(ScriptArchive, name, 1, 0)->Release();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond);

// The same six pictures composed: the background with its layers, then the character.
void BM_ComposeGrpAndChr(benchmark::State& state) {
  Pictures p;
  for (auto _ : state) {
    ComposeGrpPicture(u"BG11100");
    LoadCharacterImage(u"A010203", 3);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ComposeGrpAndChr)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
