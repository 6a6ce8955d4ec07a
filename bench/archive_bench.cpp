// Loading every entry of a generated archive, stored, deflated and LZSS, beside
// memcpy and zlib's own uncompress of the same bytes. The ratio counters compare
// the loader with those in the same run: the goal is about 1.0 for stored entries
// and at most 1.2 for deflated ones.
//
// ARCHIVE_BENCH_MB sets the data size (64 MB by default; CTest runs it small).
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "archive/archive.h"
#include "platform/text.h"
#include "safwriter.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Corpus {
  std::filesystem::path folder;
  std::vector<std::u16string> names;
  std::vector<std::vector<uint8_t>> plain;  // each entry's bytes
  std::vector<std::vector<uint8_t>> deflated;
  std::size_t total = 0;
  IArchive* stored = nullptr;
  IArchive* zlib = nullptr;
  IArchive* lzss = nullptr;

  ~Corpus() {
    for (IArchive* a : {stored, zlib, lzss}) {
      if (a != nullptr) a->Release();
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

// Picture-like bytes: smooth runs with noise, compressing about 3:1.
std::vector<uint8_t> EntryBytes(std::size_t n, uint32_t seed) {
  std::vector<uint8_t> out(n);
  std::minstd_rand rng(seed);
  uint8_t value = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const uint32_t r = rng();
    if (r % 16 == 0) value = static_cast<uint8_t>(r >> 8);
    out[i] = (r % 5 == 0) ? static_cast<uint8_t>(value + (r >> 20) % 8) : value;
  }
  return out;
}

const Corpus& GetCorpus() {
  static Corpus corpus = [] {
    Corpus c;
    std::size_t mb = 64;
    if (const char* env = std::getenv("ARCHIVE_BENCH_MB")) mb = std::max(1, std::atoi(env));
    const std::size_t total = mb << 20;
    const std::size_t entry = std::min<std::size_t>(1 << 20, total / 4);
    c.folder = std::filesystem::temp_directory_path() / ("archive_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(c.folder);
    safpack::WriterOptions stored_options, zlib_options, lzss_options;
    lzss_options.lzss = true;
    safpack::SafWriter stored(stored_options), zlib(zlib_options), lzss(lzss_options);
    for (std::size_t at = 0, i = 0; at < total; at += entry, ++i) {
      std::u16string name = platform::Utf8ToUtf16("data/e" + std::to_string(i) + ".bin");
      std::vector<uint8_t> bytes = EntryBytes(entry, static_cast<uint32_t>(i + 1));
      stored.AddFile(name, bytes, false);
      zlib.AddFile(name, bytes, true);
      lzss.AddFile(name, bytes, true);
      c.deflated.push_back(safpack::ZlibCompress(bytes));
      c.total += bytes.size();
      c.names.push_back(std::move(name));
      c.plain.push_back(std::move(bytes));
    }
    auto open = [&](const safpack::SafWriter& w, const char* file) {
      const std::filesystem::path p = c.folder / file;
      w.Write(p);
      return OpenSafArchive(platform::Utf8ToUtf16(p.string()));
    };
    c.stored = open(stored, "stored.saf");
    c.zlib = open(zlib, "zlib.saf");
    c.lzss = open(lzss, "lzss.saf");
    return c;
  }();
  return corpus;
}

// Loads every entry into one reused buffer; returns the seconds taken.
double LoadAll(IArchive* archive, std::vector<uint8_t>& buffer) {
  const Corpus& c = GetCorpus();
  const auto start = Clock::now();
  for (const std::u16string& name : c.names) {
    uint32_t size = 0;
    benchmark::DoNotOptimize(LoadArchiveFile(archive, name, buffer.data(), &size));
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double CopyAll(std::vector<uint8_t>& buffer) {
  const Corpus& c = GetCorpus();
  const auto start = Clock::now();
  for (const auto& bytes : c.plain) {
    std::memcpy(buffer.data(), bytes.data(), bytes.size());
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double UncompressAll(std::vector<uint8_t>& buffer) {
  const Corpus& c = GetCorpus();
  const auto start = Clock::now();
  for (const auto& stream : c.deflated) {
    uLongf size = static_cast<uLongf>(buffer.size());
    uncompress(buffer.data(), &size, stream.data(), static_cast<uLong>(stream.size()));
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Times the loader and its baseline in turn, iteration by iteration.
template <class Baseline>
void Compare(benchmark::State& state, IArchive* archive, Baseline baseline) {
  const Corpus& c = GetCorpus();
  std::vector<uint8_t> buffer(c.plain.front().size());
  double loader = 0;
  double base = 0;
  for (auto _ : state) {
    loader += LoadAll(archive, buffer);
    base += baseline(buffer);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.total));
  state.counters["loader_ms"] = benchmark::Counter(loader * 1e3 / static_cast<double>(state.iterations()));
  state.counters["baseline_ms"] = benchmark::Counter(base * 1e3 / static_cast<double>(state.iterations()));
  state.counters["ratio"] = benchmark::Counter(base > 0 ? loader / base : 0);
}

void BM_StoredBesideMemcpy(benchmark::State& state) { Compare(state, GetCorpus().stored, CopyAll); }
void BM_ZlibBesideUncompress(benchmark::State& state) { Compare(state, GetCorpus().zlib, UncompressAll); }
void BM_LzssBesideUncompress(benchmark::State& state) { Compare(state, GetCorpus().lzss, UncompressAll); }

// Looks up every file of a development folder of 1,000 files by a name whose
// case differs from the file's, as scripts written on a case-blind system do.
void BM_FolderLookupOtherCase(benchmark::State& state) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("archive_bench_dir_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder / "bg");
  std::vector<std::u16string> names;
  for (int i = 0; i < 1000; ++i) {
    const std::string file = "bg/pic" + std::to_string(i) + ".png";
    std::FILE* f = std::fopen((folder / file).c_str(), "wb");
    if (f != nullptr) std::fclose(f);
    names.push_back(platform::Utf8ToUtf16("BG/PIC" + std::to_string(i) + ".PNG"));
  }
  // Folders as a game ships them, not just written.
  const auto settled = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  std::filesystem::last_write_time(folder, settled);
  std::filesystem::last_write_time(folder / "bg", settled);
  IArchive* archive = OpenDirArchive(platform::Utf8ToUtf16(folder.string()));
  for (auto _ : state) {
    for (const std::u16string& name : names) benchmark::DoNotOptimize(archive->Exists(name));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
  archive->Release();
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

BENCHMARK(BM_FolderLookupOtherCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoredBesideMemcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZlibBesideUncompress)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LzssBesideUncompress)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
