// safpack: packs a folder into a SAF archive.
//
//   safpack [-5|-6] [-s] [-c none|zlib|lzss] [-k EXT,...] OUTPUT.saf FOLDER
//
//   -5, -6   archive version (default 6)
//   -s       scramble the index
//   -c       compression of the entries (default zlib; lzss needs version 6)
//   -k       extensions kept stored, e.g. -k .ogg,.png,.jpg (".saf" files, which open
//            as nested archives, are always stored)
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "platform/text.h"
#include "safwriter.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: safpack [-5|-6] [-s] [-c none|zlib|lzss] [-k EXT,...] OUTPUT.saf FOLDER\n");
  return 2;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  safpack::WriterOptions options;
  std::string compression = "zlib";
  std::vector<std::string> kept;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-5") {
      options.version = 5;
    } else if (arg == "-6") {
      options.version = 6;
    } else if (arg == "-s") {
      options.scrambled = true;
    } else if (arg == "-c" && i + 1 < argc) {
      compression = argv[++i];
    } else if (arg == "-k" && i + 1 < argc) {
      std::string list = argv[++i];
      std::size_t start = 0;
      while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        if (comma > start) kept.push_back(Lower(list.substr(start, comma - start)));
        start = comma + 1;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return Usage();
  if (compression == "lzss") {
    if (options.version != 6) {
      std::fprintf(stderr, "safpack: LZSS entries need version 6\n");
      return 2;
    }
    options.lzss = true;
  } else if (compression != "zlib" && compression != "none") {
    return Usage();
  }
  const bool compress_any = compression != "none";

  try {
    safpack::SafWriter writer(options);
    writer.AddFolder(positional[1], u"", [&](std::u16string_view path) {
      if (!compress_any) return false;
      const std::string name = Lower(platform::Utf16ToUtf8(path));
      for (const std::string& ext : kept) {
        if (name.size() >= ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0) return false;
      }
      return true;
    });
    if (!writer.Write(positional[0])) {
      std::fprintf(stderr, "safpack: cannot write %s\n", positional[0].c_str());
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "safpack: %s\n", e.what());
    return 1;
  }
  return 0;
}
