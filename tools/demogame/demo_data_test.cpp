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
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "core/exception.h"
#include "core/util.h"
#include "core/xml.h"
#include "dxdraw/dxsurface.h"
#include "game/config.h"
#include "game/picture.h"
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
    // The character positions the composers read.
    ReadSystemConfig(*config_, GetSystemConfig(), u"config.xml");
  }
  static void TearDownTestSuite() {
    delete group_;
    delete config_;
    system_.reset();
    script_.reset();
    sound_.reset();
  }

  // The size of the picture the game layer's loader makes of a base name (0 x 0,
  // and a failure naming it, when it is missing or does not decode).
  static std::pair<int, int> Picture(IArchive* archive, const std::u16string& name) {
    try {
      DxDraw::DxSurface* surface = ScriptLoadImage(archive, name, 0, 0);
      const std::pair<int, int> size{surface->GetWidth(), std::abs(surface->GetHeight())};
      surface->Release();
      return size;
    } catch (const ExceptionHandle& error) {
      ADD_FAILURE() << Utf8(name) << ": " << Utf8(error.Message);
      return {0, 0};
    }
  }

  // Every layer of a composed picture: present, and inside the screen.
  static void ExpectLayers(const std::vector<PictureLayer>& layers, const std::u16string& name) {
    EXPECT_FALSE(layers.empty()) << Utf8(name) << " composes nothing";
    for (const PictureLayer& layer : layers) {
      EXPECT_LE(layer.x + Picture(script_.get(), layer.name).first, 800) << Utf8(layer.name) << " leaves the screen";
    }
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

// Walks every way through the story, taking every choice: each way ends in one of
// the three endings, never runs off the end of the script, and never runs from
// one choice's branch into the next one's label.
TEST_F(DemoData, EveryWayThroughTheStoryReachesAnEndingWithoutRunningIntoAnotherBranch) {
  auto judged = [](int id) {  // the labels the judge tables may choose for id
    std::vector<std::u16string> labels;
    for (auto* judge = group_->JudgeTable().GetHead(); judge != nullptr; judge = judge->GetNext()) {
      if (judge->m_Id == id) labels.push_back(judge->m_Name);
    }
    labels.push_back(group_->JumpTable().GetAt(id)->m_Key);
    return labels;
  };
  std::map<ScriptStateNode*, std::vector<std::u16string>> branches;  // node -> the labels it may take
  std::set<std::u16string> alternatives;
  for (ScriptStateNode* node = group_->GetHead(); node != nullptr; node = node->GetNext()) {
    std::vector<std::u16string>& labels = branches[node];
    switch (node->m_Opcode) {
      case 10:  // SEL, one node per choice
        if (node->GetPrev() != nullptr && node->GetPrev()->m_Opcode == 10) break;
        for (ScriptStateNode* n = node; n != nullptr && n->m_Opcode == 10; n = n->GetNext()) labels.push_back(n->Arg(0));
        break;
      case 16:  // RJP, three in a row
        if (node->GetPrev() != nullptr && node->GetPrev()->m_Opcode == 16) break;
        for (ScriptStateNode* n = node; n != nullptr && n->m_Opcode == 16; n = n->GetNext()) labels.push_back(n->Arg(0));
        break;
      case 26:  // SSL: results 1 to 6
        for (int id = 1; id <= 6; ++id) {
          for (const std::u16string& label : judged(id)) labels.push_back(label);
        }
        break;
      case 25:  // IVG
        labels = judged(std::stoi(Utf8(node->Arg(0))));
        break;
      default: break;
    }
    alternatives.insert(labels.begin(), labels.end());
  }

  std::set<int> endings;
  std::set<ScriptStateNode*> seen;
  std::vector<ScriptStateNode*> todo{group_->GetHead()};
  while (!todo.empty()) {
    ScriptStateNode* node = todo.back();
    todo.pop_back();
    // A jump lands on the page break before its label, which it may enter.
    for (bool landed = true; node != nullptr && seen.insert(node).second; landed = false) {
      const int op = node->m_Opcode;
      if (op == 27 || op == 28 || op == 29) {
        endings.insert(op);
        break;
      }
      ASSERT_NE(op, 0) << "a way runs off the end of the script after line " << node->GetPrev()->m_Line;
      for (const std::u16string& label : branches[node]) todo.push_back(group_->FindLabel(label));
      if (!branches[node].empty()) break;
      if (op == 15 || op == 17) todo.push_back(group_->FindLabel(node->Arg(op == 15 ? 0 : 2)));
      if (op == 15) break;
      ScriptStateNode* ahead = node->GetNext();
      while (ahead != nullptr && ahead->m_Opcode == 34) ahead = ahead->GetNext();
      if (!landed && ahead != nullptr && ahead->m_Opcode == 5) {
        EXPECT_FALSE(alternatives.count(ahead->Arg(0))) << "line " << node->m_Line << " runs into the branch "
                                                        << Utf8(ahead->Arg(0));
      }
      node = node->GetNext();
    }
  }
  EXPECT_EQ(endings, (std::set<int>{27, 28, 29}));
}

TEST_F(DemoData, EveryPictureAndSoundTheScriptNamesExistsAndEveryMessageFitsTheWindow) {
  std::set<int> seen;
  for (ScriptStateNode* node : Nodes()) {
    const std::u16string arg = node->Arg(0);
    seen.insert(node->m_Opcode);
    switch (node->m_Opcode) {
      case 1: {  // a message: 48 cells a line, 4 lines, one of them left empty unless it opens with a speaker
        std::size_t lines = 0;
        for (std::size_t start = 0; start <= arg.size(); ++lines) {
          const std::size_t end = std::min(arg.find(u'\n', start), arg.size());
          const std::u16string line = arg.substr(start, end - start);
          EXPECT_LE(CountDisplayCells(line.c_str()), 48) << Utf8(line);
          start = end + 1;
        }
        EXPECT_LE(lines, arg.starts_with(u"【") ? 4u : 3u) << Utf8(arg);
        break;
      }
      case 2:  // GRP
        if (arg != u"BLACK" && arg != u"WHITE") ExpectLayers(GrpLayers(arg), arg);
        break;
      case 3:  // CHR, CHL
      case 4:
        ExpectLayers(CharacterLayers(arg, node->m_Opcode), arg);
        break;
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

TEST_F(DemoData, ConfigReadsWithTheGameReadersAndNamesOnlyDataThatExists) {
  SystemConfig system;
  std::vector<BacklogFace> faces;
  ASSERT_NO_THROW(ReadSystemConfig(*config_, system, u"config.xml"));
  ASSERT_NO_THROW(faces = ReadBacklogFaces(*config_, u"config.xml"));
  EXPECT_GT(system.endingCount, 0);
  for (int n = 1; n <= system.endingCount; ++n) Picture(script_.get(), platform::FormatString(u"ed%02d", n));
  ExpectSound(u"bgm/" + system.titleMusic + u".ogg");
  ExpectSound(u"bgm/" + system.cgModeMusic + u".ogg");

  // A face for every speaker who has a voice, inside the face sheet.
  int cells = 0;
  for (const BacklogFace& face : faces) cells = std::max(cells, face.number + 1);
  EXPECT_GE(Picture(script_.get(), u"title/backlogface").first, 48 * cells);
  std::set<std::u16string> scenes;
  for (ScriptStateNode* node : Nodes()) {
    if (node->m_Opcode == 21) scenes.insert(node->Arg(0));
    if (node->m_Opcode != 14 || node->Arg(0) == std::u16string(u"00")) continue;
    const char16_t speaker = node->Arg(0)[0];
    EXPECT_TRUE(std::any_of(faces.begin(), faces.end(), [&](const BacklogFace& f) { return f.key == speaker; }))
        << "no backlog face for " << Utf8(node->Arg(0));
  }

  // Album items unlock by a background's three-letter key and show .GRP pictures;
  // replay items start at a label that an SFS statement unlocks.
  for (const char16_t* section : {u"cgalbum", u"sceneplay"}) {
    GalleryConfig gallery;
    ASSERT_NO_THROW(gallery = ReadGalleryConfig(*config_, section, u"config.xml")) << Utf8(section);
    const bool album = section[0] == u'c';
    for (std::size_t p = 0; p < gallery.pages.size(); ++p) {
      const auto page = Picture(script_.get(), platform::FormatString(album ? u"title/cg_p%d" : u"title/s_p%d",
                                                                      static_cast<int>(p + 1)));
      for (const GalleryButton& b : {gallery.exit, gallery.prev, gallery.next}) {
        EXPECT_LE(std::max(b.sy0, b.sy1) + b.h, page.second) << "a button outside the page picture";
      }
      for (const GalleryItem& item : gallery.pages[p]) {
        if (!album) {
          EXPECT_TRUE(scenes.count(item.flag)) << "no SFS " << Utf8(item.flag);
          ExpectLabel(item.flag, "scene replay");
          continue;
        }
        for (const std::u16string& name : SplitCommaList(item.text)) {
          EXPECT_EQ(name.substr(0, 3), item.flag);
          ExpectLayers(GrpLayers(name), name);
        }
      }
    }
    const auto sheet = Picture(script_.get(), album ? u"title/cg_thumb1" : u"title/s_thumb1");
    EXPECT_GE(sheet.first, gallery.cellWidth + gallery.width);
    EXPECT_GE(sheet.second, gallery.cellHeight * gallery.lockedRow + gallery.height) << "the locked row";
  }
}

TEST_F(DemoData, FixedPicturesAndSoundsCoverTheRegionsTheEngineCuts) {
  const struct {
    IArchive* archive;
    std::u16string name;
    int width, height;  // at least
  } fixed[] = {
      {system_.get(), u"SYSTEM", 800, 808},
      {script_.get(), u"brand", 800, 600},
      {script_.get(), u"title/title", 760, 1176},
      {script_.get(), u"title/rm_parts", 106, 162},
      {script_.get(), u"title/rm_base1", 800, 600},
      {script_.get(), u"title/rm_base2", 800, 600},
      {script_.get(), u"title/rm_base3", 800, 600},
      {script_.get(), u"title/rm_base4", 800, 600},
      {script_.get(), u"turnbg", 800, 600},
      {script_.get(), u"select/selbg", 800, 600},
      {script_.get(), u"select/SEL_A_0", 170, 300},
      {script_.get(), u"select/SEL_B_1", 170, 300},
      {script_.get(), u"select/SEL_AB_0", 356, 300},
      {script_.get(), u"select/SEL_CD_1", 356, 300},
  };
  for (const auto& f : fixed) {
    const auto [width, height] = Picture(f.archive, f.name);
    EXPECT_GE(width, f.width) << Utf8(f.name);
    EXPECT_GE(height, f.height) << Utf8(f.name);
  }
  for (const char16_t* item : {u"A", u"B", u"C", u"D", u"AB", u"CD"}) {
    for (const char16_t* state : {u"_0", u"_1"}) Picture(script_.get(), u"select/SEL_" + std::u16string(item) + state);
  }
  for (const char16_t* wave : {u"SUBMIT.WAV", u"CANCEL.WAV"}) {
    const std::vector<uint8_t> data = Load(system_.get(), wave);
    ASSERT_GT(data.size(), 44u) << Utf8(wave);
    EXPECT_EQ(std::memcmp(data.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(data.data() + 8, "WAVEfmt ", 8), 0);
  }
}

// The title, settings and extras items are copied without blending, so a
// see-through pixel of an item would show black on the screen.
TEST_F(DemoData, TitleItemsAreOpaqueToTheirCorners) {
  DxDraw::DxSurface* sheet = ScriptLoadImage(script_.get(), u"title/title", 0, 0);
  // The rows each column uses: the title's six, the settings menu's four, the extras' three.
  const std::vector<int> rows[3] = {{0, 1, 2, 3, 4, 5}, {0, 1, 2, 5}, {0, 1, 5}};
  for (int column = 0; column < 3; ++column) {
    const int left = 256 * column;
    for (const int row : rows[column]) {
      for (const int top : {608 + 48 * row, 896 + 48 * row}) {
        for (const int y : {top, top + 39}) {
          for (const int x : {left, left + 247}) {
            EXPECT_EQ(sheet->GetPixelAddress(x, y)[3], 0) << "item corner at " << x << ", " << y;
          }
        }
      }
    }
  }
  sheet->Release();
}

}  // namespace
