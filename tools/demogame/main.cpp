// demogame: makes the demo game's data from demo/: draws and encodes every
// picture and sound of demo/assets.txt, converts the scripts, "iv.txt" and
// "config.xml" to CP932, and packs "system.saf", "script.saf" and "sound.saf".
// It also lays out the development folders (system.saf beside "script/data"
// and "script/sound") that the engine reads when "script/data/_start.txt" is there.
//
//   demogame DEMO_FOLDER DATA_FOLDER DEV_FOLDER
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/xml.h"
#include "description.h"
#include "picture_files.h"
#include "pictures.h"
#include "platform/text.h"
#include "safwriter.h"
#include "sound_files.h"

namespace fs = std::filesystem;

namespace demogame {
namespace {

enum class Target { kSystem, kScript, kSound };

// One file of an archive.
struct Entry {
  Target target;
  std::string path;  // with "/" between parts
  std::vector<uint8_t> bytes;
  bool compress;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// UTF-8 source text to CP932; a character CP932 cannot hold is an error naming its line.
std::vector<uint8_t> ToCp932(const std::string& utf8, const std::string& file) {
  const std::u16string wide = platform::Utf8ToUtf16(utf8);
  const std::string narrow = platform::Utf16ToCp932(wide);
  if (platform::Cp932ToUtf16(narrow) != wide) {
    std::size_t line = 1;
    const std::u16string back = platform::Cp932ToUtf16(narrow);
    for (std::size_t i = 0; i < wide.size() && i < back.size() && wide[i] == back[i]; ++i) line += wide[i] == u'\n';
    throw std::runtime_error(file + "(" + std::to_string(line) + "): a character CP932 does not hold");
  }
  return {narrow.begin(), narrow.end()};
}

// The eight numbers of a page button of "config.xml".
PageButton ReadButton(const XmlElement& page, const char16_t* name) {
  const XmlAttribute* value = page.FindAttribute(name);
  PageButton b;
  if (value == nullptr || std::sscanf(platform::Utf16ToUtf8(value->value).c_str(), "%d,%d,%d,%d,%d,%d,%d,%d", &b.x,
                                      &b.y, &b.w, &b.h, &b.sx0, &b.sy0, &b.sx1, &b.sy1) != 8) {
    throw std::runtime_error("config.xml: " + platform::Utf16ToUtf8(page.name) + " lacks eight numbers in " +
                             platform::Utf16ToUtf8(name));
  }
  return b;
}

void ReadPageButtons(const std::vector<uint8_t>& config, PictureContext& context) {
  int line = 0;
  const std::unique_ptr<XmlElement> root = XmlLoad(config.data(), config.size(), kXmlTrimText, &line);
  if (root == nullptr) throw std::runtime_error("config.xml(" + std::to_string(line) + "): not well-formed");
  for (const auto& [element, key] : {std::pair{u"cgalbum", "album"}, std::pair{u"sceneplay", "replay"}}) {
    const XmlElement* page = root->FindChild(element);
    if (page == nullptr) throw std::runtime_error("config.xml: no " + std::string(key) + " element");
    context.pages[key] = {ReadButton(*page, u"exit"), ReadButton(*page, u"prev"), ReadButton(*page, u"next")};
  }
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

Entry MakeSound(const Item& item) {
  const std::string& kind = item.kind();
  const std::string& name = item.Text(0);
  if (kind == "bgm") return {Target::kSound, "bgm/" + name + ".ogg", EncodeOggVorbis(MakeMusic(item.Int(1), item.Rest(2))), false};
  if (kind == "voice") {
    return {Target::kSound, "voice/" + name + ".ogg", EncodeOggVorbis(MakeVoice(item.Number(1), item.Int(2))), false};
  }
  if (kind == "se") {
    return {Target::kSound, "se/" + name + ".ogg", EncodeOggVorbis(MakeEffect(item.Text(1), item.Number(2))), false};
  }
  if (kind == "wave") return {Target::kSystem, name, EncodeWave(MakeBlip(item.Number(1), item.Int(2))), true};
  item.Fail("unknown kind");
}

bool IsSound(const std::string& kind) { return kind == "bgm" || kind == "voice" || kind == "se" || kind == "wave"; }

std::vector<Entry> MakeEntries(const fs::path& demo) {
  std::vector<Entry> entries;
  // Texts: the scripts, "iv.txt" and "config.xml", all CP932.
  std::vector<fs::path> scripts;
  for (const auto& file : fs::directory_iterator(demo / "scripts")) scripts.push_back(file.path());
  std::sort(scripts.begin(), scripts.end());
  scripts.push_back(demo / "iv.txt");
  scripts.push_back(demo / "config.xml");
  for (const fs::path& file : scripts) {
    const std::string name = file.filename().string();
    entries.push_back({Target::kScript, name, ToCp932(ReadFile(file), name), true});
  }

  PictureContext context;
  ReadPageButtons(entries.back().bytes, context);
  for (const Item& item : ParseDescription(ReadFile(demo / "assets.txt"))) {
    if (IsSound(item.kind())) {
      entries.push_back(MakeSound(item));
      continue;
    }
    std::unique_ptr<Canvas> canvas = DrawPicture(item, context);
    if (canvas == nullptr) item.Fail("unknown kind");
    const PictureFormat format = ParsePictureFormat(item.Text(1));
    const Target target = item.kind() == "system" ? Target::kSystem : Target::kScript;
    entries.push_back({target, item.Text(0) + PictureExtension(format), EncodePicture(canvas->surface(), format),
                       format == PictureFormat::kBmp || format == PictureFormat::kTiff});
    context.drawn[Upper(item.Text(0))] = std::move(canvas);
  }
  return entries;
}

safpack::SafWriter Pack(const std::vector<Entry>& entries, Target target, safpack::WriterOptions options) {
  safpack::SafWriter writer(options);
  for (const Entry& entry : entries) {
    if (entry.target == target) writer.AddFile(platform::Utf8ToUtf16(entry.path), entry.bytes, entry.compress);
  }
  return writer;
}

void Run(const fs::path& demo, const fs::path& data, const fs::path& dev) {
  const std::vector<Entry> entries = MakeEntries(demo);
  // The system archive in the older format with a scrambled index; the scripts
  // and pictures LZSS-compressed; the sounds stored, as Ogg needs no more.
  const safpack::SafWriter system = Pack(entries, Target::kSystem, {.version = 5, .scrambled = true});
  const safpack::SafWriter script = Pack(entries, Target::kScript, {.version = 6, .scrambled = true, .lzss = true});
  const safpack::SafWriter sound = Pack(entries, Target::kSound, {.version = 6});
  fs::create_directories(data);
  const std::vector<uint8_t> system_bytes = system.Build();
  WriteFile(data / "system.saf", system_bytes);
  WriteFile(data / "script.saf", script.Build());
  WriteFile(data / "sound.saf", sound.Build());

  fs::remove_all(dev);
  WriteFile(dev / "system.saf", system_bytes);
  for (const Entry& entry : entries) {
    if (entry.target == Target::kScript) WriteFile(dev / "script" / "data" / entry.path, entry.bytes);
    if (entry.target == Target::kSound) WriteFile(dev / "script" / "sound" / entry.path, entry.bytes);
  }
}

}  // namespace
}  // namespace demogame

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: demogame DEMO_FOLDER DATA_FOLDER DEV_FOLDER\n");
    return 2;
  }
  int result = 0;
  try {
    demogame::Run(argv[1], argv[2], argv[3]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "demogame: %s\n", error.what());
    result = 1;
  }
  // Cairo's font caches and fontconfig's configuration go back, so that a leak
  // check of the tool sees only its own memory.
  cairo_debug_reset_static_data();
  FcFini();
  return result;
}
