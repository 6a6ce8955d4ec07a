// Shared helpers of the archive tests: scratch folders, archive files written by the
// packer library, and the formats the parametrised tests walk.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/archive.h"
#include "core/combase.h"
#include "platform/text.h"
#include "safwriter.h"

namespace archive_test {

// A folder of its own under the test temp folder, removed at the end.
class ScratchDir {
 public:
  ScratchDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::path(::testing::TempDir()) /
            ("archive_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // Writes bytes to a file below the folder (making folders on the way); returns its path.
  std::filesystem::path Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::filesystem::path p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p;
  }
  std::filesystem::path Write(const std::string& name, const std::string& text) const {
    return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
  }

 private:
  std::filesystem::path path_;
};

inline std::u16string U16(const std::filesystem::path& p) { return platform::Utf8ToUtf16(p.string()); }

using ArchivePtr = ComPtr<IArchive>;

inline ArchivePtr OpenSaf(const std::filesystem::path& p) { return ArchivePtr::Adopt(OpenSafArchive(U16(p))); }

// Bytes that compress, deterministic per seed.
inline std::vector<uint8_t> PatternBytes(std::size_t n, uint32_t seed) {
  std::vector<uint8_t> out(n);
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < n; ++i) {
    // Runs and repeats with some noise, like pictures and text.
    out[i] = (rng() % 8 == 0) ? static_cast<uint8_t>(rng()) : static_cast<uint8_t>((i / 7) % 61 + 'A');
  }
  return out;
}

// Bytes that do not compress.
inline std::vector<uint8_t> NoiseBytes(std::size_t n, uint32_t seed) {
  std::vector<uint8_t> out(n);
  std::mt19937 rng(seed);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Loads a whole entry into a vector; throws what LoadArchiveFile throws.
inline std::vector<uint8_t> Load(IArchive* archive, std::u16string_view name, bool* found = nullptr) {
  uint32_t size = 0;
  void* p = LoadArchiveFile(archive, name, nullptr, &size);
  if (found != nullptr) *found = p != nullptr;
  if (p == nullptr) return {};
  std::vector<uint8_t> out(static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + size);
  std::free(p);
  return out;
}

// One archive format of the parametrised tests.
struct Format {
  int version;
  bool scrambled;
  bool lzss;  // compressed entries are LZSS (version 6), else deflate

  safpack::WriterOptions Options() const {
    safpack::WriterOptions o;
    o.version = version;
    o.scrambled = scrambled;
    o.lzss = lzss;
    return o;
  }
};

inline std::ostream& operator<<(std::ostream& os, const Format& f) {
  return os << "v" << f.version << (f.scrambled ? "_scrambled" : "_plain") << (f.lzss ? "_lzss" : "_zlib");
}

inline const Format kFormats[] = {
    {5, false, false}, {5, true, false}, {6, false, false}, {6, true, false}, {6, false, true}, {6, true, true},
};

inline std::string FormatName(const ::testing::TestParamInfo<Format>& info) {
  std::ostringstream os;
  os << info.param;
  return os.str();
}

// Catches the error record a call raises; empty message when none was raised.
template <class F>
std::u16string ErrorOf(F&& f) {
  try {
    f();
  } catch (const ExceptionHandle& e) {
    return std::u16string(e.Message);
  }
  return {};
}

}  // namespace archive_test
