// Writes small archives of every format into a folder, as seeds of the archive fuzzer.
#include <cstdio>
#include <filesystem>
#include <string>

#include "safwriter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: archive_fuzz_seeds FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  int n = 0;
  for (int version : {5, 6}) {
    for (bool scrambled : {false, true}) {
      for (bool lzss : {false, true}) {
        if (version == 5 && lzss) continue;
        safpack::WriterOptions o;
        o.version = version;
        o.scrambled = scrambled;
        o.lzss = lzss;
        safpack::SafWriter inner(o);
        inner.AddFile(u"in/x.txt", std::string("nested nested nested"), true);
        safpack::SafWriter w(o);
        w.AddFile(u"a.txt", std::string("stored text"));
        w.AddFile(u"d/b.txt", std::string("compressed compressed compressed"), true);
        w.AddFile(u"d/e/empty", std::string());
        w.AddArchive(u"n.saf", inner);
        if (!w.Write(folder / ("seed" + std::to_string(n++) + ".saf"))) return 1;
      }
    }
  }
  return 0;
}
