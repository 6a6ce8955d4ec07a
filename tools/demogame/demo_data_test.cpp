// The demo game's data as the engine reads it: the archives the build made open,
// the development folders hold the same files, every script compiles and every
// jump lands on a label, "config.xml" parses, and every picture and sound that the
// scripts, the judge tables, "config.xml" and the fixed screens name exists and
// decodes. A fault here is a fault in demo/ (or in the tool that packs it).
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "core/exception.h"
#include "core/xml.h"
#include "dxdraw/decoders.h"
#include "platform/text.h"
#include "platform/wformat.h"
#include "textscript/script_state.h"

namespace {

using TextScript::ScriptStateGroup;
using TextScript::ScriptStateNode;

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

struct Released {
  void operator()(IUnknown* p) const {
    if (p != nullptr) p->Release();
  }
};
using ArchivePtr = std::unique_ptr<IArchive, Released>;

std::vector<uint8_t> Load(IArchive* archive, std::u16string_view name) {
  uint32_t size = 0;
  void* data = LoadArchiveFile(archive, name, nullptr, &size);
  if (data == nullptr) return {};
  std::vector<uint8_t> bytes(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  std::free(data);
  return bytes;
}

class DemoData : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    system_.reset(OpenSafArchive(u"" DEMO_DATA_DIR "/system.saf"));
    script_.reset(OpenSafArchive(u"" DEMO_DATA_DIR "/script.saf"));
    sound_.reset(OpenSafArchive(u"" DEMO_DATA_DIR "/sound.saf"));
    ASSERT_TRUE(system_ && script_ && sound_);
    const std::vector<uint8_t> iv = Load(script_.get(), u"iv.txt");
    const std::vector<uint8_t> start = Load(script_.get(), u"_start.txt");
    ASSERT_FALSE(iv.empty() || start.empty());
    group_ = new ScriptStateGroup;
    group_->LoadTables({reinterpret_cast<const char*>(iv.data()), iv.size()});
    group_->Compile({reinterpret_cast<const char*>(start.data()), start.size()}, u"_start.txt");
    const std::vector<uint8_t> config = Load(script_.get(), u"config.xml");
    config_ = XmlLoadOrThrow(config.data(), config.size(), kXmlTrimText, u"config.xml").release();
  }
  static void TearDownTestSuite() {
    delete group_;
    delete config_;
    system_.reset();
    script_.reset();
    sound_.reset();
  }

  // The picture the engine's loader takes for a base name (the first of .jpg,
  // .tif, .png, .bmp), decoded; fails the test naming it when missing or broken.
  static DxDraw::DibBlock Picture(IArchive* archive, const std::u16string& name) {
    DxDraw::DibBlock dib;
    for (const char16_t* extension : {u".jpg", u".tif", u".png", u".bmp"}) {
      const std::u16string file = name + extension;
      if (!archive->Exists(file)) continue;
      const std::vector<uint8_t> data = Load(archive, file);
      std::u16string error;
      const bool ok = extension[1] == u'j'   ? DxDraw::DecodeJpegToDib(data, dib, error)
                      : extension[1] == u't' ? DxDraw::LoadTiffToDib(data, dib, error)
                      : extension[1] == u'p' ? DxDraw::DecodePngToDib(data, dib, error)
                                             : DxDraw::DecodeBmpToDib(data, dib, error);
      EXPECT_TRUE(ok) << Utf8(file) << ": " << Utf8(error);
      return dib;
    }
    ADD_FAILURE() << "no picture " << Utf8(name);
    return dib;
  }

  // A sound of the sound archive: an Ogg Vorbis stream vorbisfile opens.
  static void ExpectSound(const std::u16string& path) {
    std::vector<uint8_t> data = Load(sound_.get(), path);
    ASSERT_FALSE(data.empty()) << "no sound " << Utf8(path);
    struct Cursor {
      std::vector<uint8_t>* data;
      std::size_t at = 0;
    } cursor{&data};
    ov_callbacks callbacks{};
    callbacks.read_func = [](void* out, size_t size, size_t count, void* source) -> size_t {
      auto* c = static_cast<Cursor*>(source);
      const std::size_t n = std::min(size * count, c->data->size() - c->at);
      std::memcpy(out, c->data->data() + c->at, n);
      c->at += n;
      return size == 0 ? 0 : n / size;
    };
    callbacks.seek_func = [](void* source, ogg_int64_t offset, int whence) -> int {
      auto* c = static_cast<Cursor*>(source);
      const int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(c->at)
                           : whence == SEEK_END ? static_cast<int64_t>(c->data->size())
                                                : 0;
      if (base + offset < 0 || base + offset > static_cast<int64_t>(c->data->size())) return -1;
      c->at = static_cast<std::size_t>(base + offset);
      return 0;
    };
    callbacks.tell_func = [](void* source) -> long { return static_cast<long>(static_cast<Cursor*>(source)->at); };
    OggVorbis_File file;
    ASSERT_EQ(ov_open_callbacks(&cursor, &file, nullptr, 0, callbacks), 0) << Utf8(path);
    EXPECT_GT(ov_pcm_total(&file, -1), 0) << Utf8(path);
    ov_clear(&file);
  }

  // The pictures a .GRP name composes: the base and one per layer character.
  static std::vector<std::u16string> GrpLayers(const std::u16string& name) {
    EXPECT_TRUE(name.size() == 7 || name.size() == 9) << Utf8(name);
    std::vector<std::u16string> layers{name.substr(0, 3) + std::u16string(name.size() - 3, u'0')};
    for (std::size_t p = 3; p < name.size(); ++p) {
      if (name[p] == u'0') continue;
      layers.push_back(layers[0]);
      layers.back()[p] = name[p];
    }
    return layers;
  }

  static std::vector<ScriptStateNode*> Nodes() {
    std::vector<ScriptStateNode*> nodes;
    for (ScriptStateNode* n = group_->GetHead(); n != nullptr; n = n->GetNext()) nodes.push_back(n);
    return nodes;
  }

  static void ExpectLabel(std::u16string_view label, const char* who) {
    ScriptStateNode* node = nullptr;
    EXPECT_NO_THROW(node = group_->FindLabel(label)) << who << " " << Utf8(label);
    EXPECT_NE(node, nullptr) << who << " names the missing label " << Utf8(label);
  }

  static inline ArchivePtr system_, script_, sound_;
  static inline ScriptStateGroup* group_ = nullptr;
  static inline XmlElement* config_ = nullptr;
};

TEST_F(DemoData, DevelopmentFoldersHoldTheArchivesFilesAndEachNameInOneFormat) {
  const ArchivePtr dev_system(OpenSafArchive(u"" DEMO_DEV_DIR "/system.saf"));
  const ArchivePtr dev_script(OpenDirArchive(u"" DEMO_DEV_DIR "/script/data"));
  const ArchivePtr dev_sound(OpenDirArchive(u"" DEMO_DEV_DIR "/script/sound"));
  ASSERT_TRUE(dev_system && dev_script && dev_sound);
  EXPECT_TRUE(dev_script->Exists(u"_start.txt"));  // what makes the engine choose the folders
  const std::pair<IArchive*, IArchive*> pairs[] = {
      {script_.get(), dev_script.get()}, {sound_.get(), dev_sound.get()}, {system_.get(), dev_system.get()}};
  for (const auto& [packed, folder] : pairs) {
    std::vector<SAFFILEINFO> files;
    packed->GetFileList(files);
    std::set<std::u16string> bases;
    for (const SAFFILEINFO& file : files) {
      const std::u16string path = file.path;
      EXPECT_EQ(Load(packed, path), Load(folder, path)) << Utf8(path);
      const std::u16string base = path.substr(0, path.rfind(u'.'));
      std::u16string upper;
      for (char16_t c : base) upper.push_back(c >= u'a' && c <= u'z' ? c - 32 : c);
      EXPECT_TRUE(bases.insert(upper).second) << Utf8(base) << " exists in two formats: one is never loaded";
    }
  }
}

TEST_F(DemoData, EveryLabelAndJumpOfTheScriptAndTheJudgeTablesLands) {
  int labels = 0;
  for (ScriptStateNode* node : Nodes()) {
    switch (node->m_Opcode) {
      case 5: ++labels; ExpectLabel(node->Arg(0), "LAB"); break;
      case 10: ExpectLabel(node->Arg(0), "SEL"); break;
      case 15: ExpectLabel(node->Arg(0), "JMP"); break;
      case 16: ExpectLabel(node->Arg(0), "RJP"); break;
      case 17: ExpectLabel(node->Arg(2), "PJP"); break;
      default: break;
    }
  }
  EXPECT_GT(labels, 10);
  ExpectLabel(u"PRSK", "the title's prologue skip");
  int entries = 0;
  for (auto* jump = group_->JumpTable().GetHead(); jump != nullptr; jump = jump->GetNext(), ++entries) {
    ExpectLabel(jump->m_Key, "iv.txt jump line");
  }
  EXPECT_EQ(entries, 20);
  for (auto* judge = group_->JudgeTable().GetHead(); judge != nullptr; judge = judge->GetNext()) {
    ExpectLabel(judge->m_Name, "iv.txt judge record");
    for (int i = 0; i < judge->m_Count; ++i) {
      EXPECT_NE(judge->m_Conditions[i].op, TextScript::kJudgeUnknown) << "judge record " << judge->m_Id;
    }
  }
}

TEST_F(DemoData, EveryPictureAndSoundTheScriptNamesExists) {
  std::set<int> seen;
  for (ScriptStateNode* node : Nodes()) {
    const std::u16string arg = node->Arg(0);
    seen.insert(node->m_Opcode);
    switch (node->m_Opcode) {
      case 2:  // GRP
        if (arg != u"BLACK" && arg != u"WHITE") {
          for (const std::u16string& layer : GrpLayers(arg)) Picture(script_.get(), layer);
        }
        break;
      case 3:    // CHR
      case 4: {  // CHL
        ASSERT_EQ(arg.size(), 7u) << Utf8(arg);
        const std::u16string letter = arg.substr(0, 1);
        if (arg.substr(1, 2) != u"00") Picture(script_.get(), u"H" + arg.substr(1, 2) + u"0000");
        if (arg.substr(3, 2) != u"00") Picture(script_.get(), letter + u"00" + arg.substr(3, 2) + u"00");
        if (arg.substr(5, 2) != u"00") Picture(script_.get(), letter + u"0000" + arg.substr(5, 2));
        break;
      }
      case 8:  // WAV
        if (arg != u"00") ExpectSound(u"bgm/" + arg + u".ogg");
        break;
      case 14:  // VOI and '@'
        if (arg != u"00") ExpectSound(u"voice/" + arg + u".ogg");
        break;
      case 36: case 37: case 39: case 40:  // S1A, S1B, S2A, S2B
        ExpectSound(u"se/" + arg + u".ogg");
        break;
      default: break;
    }
  }
  // The story uses every command the engine knows.
  for (int opcode : {1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                     27, 28, 29, 30, 31, 34, 35, 36, 37, 38, 39, 40, 41}) {
    EXPECT_TRUE(seen.count(opcode)) << "no statement of opcode " << opcode;
  }
}

TEST_F(DemoData, ConfigNamesOnlyDataThatExists) {
  const XmlElement* system = config_->FindChild(u"system");
  ASSERT_NE(system, nullptr);
  for (const auto& [element, attribute] : {std::pair{u"name", u"first"}, {u"name", u"last"}, {u"title", u"menu"},
                                           {u"ending", u"credit"}}) {
    const XmlElement* e = system->FindChild(element);
    ASSERT_TRUE(e != nullptr && e->FindAttribute(attribute) != nullptr) << Utf8(element) << " " << Utf8(attribute);
  }
  const int credits = std::atoi(Utf8(system->FindChild(u"ending")->FindAttribute(u"credit")->value).c_str());
  EXPECT_GT(credits, 0);
  for (int n = 1; n <= credits; ++n) Picture(script_.get(), platform::FormatString(u"ed%02d", n));
  std::vector<XmlElement*> list;
  system->FindChildren(list, u"bgm");
  EXPECT_EQ(list.size(), 2u);
  for (const XmlElement* bgm : list) ExpectSound(u"bgm/" + bgm->FindAttribute(u"name")->value + u".ogg");
  for (const char16_t* kind : {u"chr", u"chl"}) {
    ASSERT_NE(system->FindChild(kind), nullptr) << Utf8(kind);
  }

  // Album items unlock by a background's three-letter key and show .GRP pictures;
  // replay items start at a label that an SFS statement unlocks.
  std::set<std::u16string> scenes;
  for (ScriptStateNode* node : Nodes()) {
    if (node->m_Opcode == 21) scenes.insert(node->Arg(0));
  }
  for (const char16_t* screen : {u"cgalbum", u"sceneplay"}) {
    const XmlElement* root = config_->FindChild(screen);
    ASSERT_NE(root, nullptr) << Utf8(screen);
    std::vector<XmlElement*> pages;
    root->FindChildren(pages, u"page");
    ASSERT_FALSE(pages.empty());
    int items = 0;
    for (std::size_t p = 0; p < pages.size(); ++p) {
      Picture(script_.get(), platform::FormatString(screen[0] == u'c' ? u"title/cg_p%d" : u"title/s_p%d",
                                                  static_cast<int>(p + 1)));
      for (const auto& child : pages[p]->children) {
        ASSERT_EQ(child->name, u"cg") << "a page holds nothing but cg elements";
        ++items;
        const std::u16string flag = child->FindAttribute(u"flag")->value;
        if (screen[0] == u's') {
          EXPECT_TRUE(scenes.count(flag)) << "no SFS " << Utf8(flag);
          ExpectLabel(flag, "scene replay");
          continue;
        }
        std::u16string text = child->GetText();
        for (std::size_t start = 0; start <= text.size();) {
          const std::size_t comma = std::min(text.find(u',', start), text.size());
          const std::u16string name = text.substr(start, comma - start);
          EXPECT_EQ(name.substr(0, 3), flag);
          for (const std::u16string& layer : GrpLayers(name)) Picture(script_.get(), layer);
          start = comma + 1;
        }
      }
    }
    const DxDraw::DibBlock thumbs =
        Picture(script_.get(), screen[0] == u'c' ? u"title/cg_thumb1" : u"title/s_thumb1");
    EXPECT_GE(thumbs.header.biHeight, 105 * (items + 1)) << "thumbnail rows and the locked row";
  }
}

TEST_F(DemoData, FixedPicturesAndSoundsCoverTheRegionsTheEngineCuts) {
  struct Fixed {
    IArchive* archive;
    std::u16string name;
    int width, height;  // at least
  };
  const Fixed fixed[] = {
      {system_.get(), u"SYSTEM", 800, 808},          {script_.get(), u"brand", 800, 600},
      {script_.get(), u"title/title", 760, 1176},    {script_.get(), u"title/rm_parts", 106, 162},
      {script_.get(), u"title/rm_base1", 800, 600},  {script_.get(), u"title/rm_base2", 800, 600},
      {script_.get(), u"title/rm_base3", 800, 600},  {script_.get(), u"title/rm_base4", 800, 600},
      {script_.get(), u"title/backlogface", 144, 48}, {script_.get(), u"turnbg", 800, 600},
      {script_.get(), u"select/selbg", 800, 600},
  };
  for (const Fixed& f : fixed) {
    const DxDraw::DibBlock dib = Picture(f.archive, f.name);
    EXPECT_GE(dib.header.biWidth, f.width) << Utf8(f.name);
    EXPECT_GE(std::abs(dib.header.biHeight), f.height) << Utf8(f.name);
  }
  for (const char16_t* item : {u"A", u"B", u"C", u"D", u"AB", u"CD"}) {
    for (const char16_t* state : {u"_0", u"_1"}) {
      const DxDraw::DibBlock dib = Picture(script_.get(), u"select/SEL_" + std::u16string(item) + state);
      EXPECT_EQ(dib.header.biWidth, item[1] == 0 ? 170 : 356) << Utf8(item);
    }
  }
  for (const char16_t* wave : {u"SUBMIT.WAV", u"CANCEL.WAV"}) {
    const std::vector<uint8_t> data = Load(system_.get(), wave);
    ASSERT_GT(data.size(), 44u) << Utf8(wave);
    EXPECT_EQ(std::memcmp(data.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(data.data() + 8, "WAVEfmt ", 8), 0);
  }
}

}  // namespace
