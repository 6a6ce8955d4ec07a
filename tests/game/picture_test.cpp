#include "game/picture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "core/exception.h"
#include "dxdraw/dxscreen.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/image_fixtures.h"
#include "game/error_text.h"
#include "game/config.h"
#include "game/game_env.h"
#include "game/holders.h"
#include "game/session.h"
#include "game/stage.h"
#include "message/frame_fixture.h"
#include "platform/text.h"
#include "save/save_data.h"
#include "textscript/file_history.h"

namespace {

std::string Describe(const std::vector<PictureLayer>& layers) {
  std::string out;
  for (const PictureLayer& l : layers) {
    out += platform::Utf16ToUtf8(l.name);
    if (l.x != 0) out += "@" + std::to_string(l.x);
    out += " ";
  }
  return out;
}

TEST(PictureLayers, GrpNamesOfSevenOrNineCharacters) {
  const struct {
    std::u16string name;
    std::string layers;
  } cases[] = {
      {u"BG11010", "BG10000 BG11000 BG10010 "},
      {u"BG10000", "BG10000 "},
      {u"BGabcde", "BGa0000 BGab000 BGa0c00 BGa00d0 BGa000e "},
      {u"EV0000001", "EV0000000 EV0000001 "},
      {u"EV1002030", "EV1000000 EV1002000 EV1000030 "},
      {u"BG1", ""},
      {u"BG100000", ""},
      {u"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(GrpLayers(c.name)), c.layers) << platform::Utf16ToUtf8(c.name);
}

TEST(PictureLayers, CharacterNamesTakeTheirPositionFromTheConfiguration) {
  SystemConfig& config = GetSystemConfig();
  const SystemConfig saved = config;
  config.chrPositions = {{u'A', 240}, {u'*', 400}};
  config.chlPositions = {{u'*', 560}};
  const struct {
    std::u16string name;
    int command;
    std::string layers;
  } cases[] = {
      {u"A010203", 3, "H010000 A000200@240 A000003@240 "},
      {u"a000203", 3, "a000200@240 a000003@240 "},
      {u"C000300", 3, "C000300@400 "},
      {u"A000300", 4, "A000300@560 "},
      {u"B000000", 4, ""},
      {u"A0102", 3, ""},  // shorter than 7: no field is read past the name
      {u"A01020304", 3, "H010000 A000200@240 A000003@240 "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Describe(CharacterLayers(c.name, c.command)), c.layers) << platform::Utf16ToUtf8(c.name);
  }
  config.chlPositions.clear();
  EXPECT_EQ(Describe(CharacterLayers(u"A000300", 4)), "A000300 ");
  config = saved;
}

}  // namespace

namespace {

using image_test::Bytes;

// A w x h picture of one colour (R, G, B, opacity) in a format by extension.
Bytes EncodeSolid(const std::string& extension, int w, int h, std::array<uint8_t, 4> rgba) {
  if (extension == ".png") {
    image_test::PngSpec spec;
    spec.width = w;
    spec.height = h;
    spec.colourType = 6;  // RGBA
    for (int i = 0; i < w * h; ++i) spec.rows.insert(spec.rows.end(), rgba.begin(), rgba.end());
    return image_test::EncodePng(spec);
  }
  Bytes rgb;
  for (int i = 0; i < w * h; ++i) rgb.insert(rgb.end(), rgba.begin(), rgba.begin() + 3);
  if (extension == ".jpg") return image_test::EncodeJpeg(w, h, 3, rgb);
  if (extension == ".tif") {
    image_test::TiffSpec spec;
    spec.width = w;
    spec.height = h;
    spec.rows = rgb;
    return image_test::EncodeTiff(spec);
  }
  // 24-bit BMP: file header, info header, bottom-up rows padded to 4 bytes.
  const uint32_t stride = (3 * w + 3) & ~3u;
  Bytes out{'B', 'M'};
  image_test::Put32(out, 54 + stride * h);
  image_test::Put32(out, 0);
  image_test::Put32(out, 54);
  for (uint32_t v : {40u, uint32_t(w), uint32_t(h)}) image_test::Put32(out, v);
  image_test::Put16(out, 1);
  image_test::Put16(out, 24);
  for (int i = 0; i < 6; ++i) image_test::Put32(out, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) out.insert(out.end(), {rgba[2], rgba[1], rgba[0]});
    out.resize(out.size() + stride - 3 * w);
  }
  return out;
}

// A development folder standing in as ScriptArchive, emptied for each test.
class PictureArchiveTest : public message_test::FrameFixture {
 protected:
  PictureArchiveTest() : dir_(image_test::TempPath("pictures")) {
    std::filesystem::create_directories(dir_);
    previous_ = ScriptArchive;
    ScriptArchive = OpenDirArchive(platform::Utf8ToUtf16(dir_));
    Game::SetStageParent(screen_);
  }
  ~PictureArchiveTest() override {
    Game::SetStageParent(nullptr);
    ScriptArchive->Release();
    ScriptArchive = previous_;
    std::filesystem::remove_all(dir_);
  }

  void Write(const std::string& file, const Bytes& bytes) {
    std::ofstream(dir_ + "/" + file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                             static_cast<std::streamsize>(bytes.size()));
  }
  void WriteSolid(const std::string& base, const std::string& extension, std::array<uint8_t, 4> rgba,
                  int w = 8, int h = 8) {
    Write(base + extension, EncodeSolid(extension, w, h, rgba));
  }
  void Clean() {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }

  std::string dir_;
  IArchive* previous_ = nullptr;
};

// B, G, R and T of a surface's pixel.
std::array<uint8_t, 4> Pixel(const DxDraw::DxSurface* s, int x, int y) {
  const uint8_t* p = s->GetPixelAddress(x, y);
  return {p[0], p[1], p[2], p[3]};
}

// The colour channel that dominates a pixel: 'B', 'G', 'R', or 'W' for white.
char Dominant(const std::array<uint8_t, 4>& p) {
  if (p[0] > 200 && p[1] > 200 && p[2] > 200) return 'W';
  return p[0] > 200 ? 'B' : p[1] > 200 ? 'G' : p[2] > 200 ? 'R' : '?';
}

using game_test::ErrorOf;

TEST_F(PictureArchiveTest, LoadsTheFirstFormatThatExistsInJpgTifPngBmpOrder) {
  const std::map<std::string, std::array<uint8_t, 4>> colours = {
      {".jpg", {255, 0, 0, 255}}, {".tif", {0, 255, 0, 255}}, {".png", {0, 0, 255, 255}}, {".bmp", {255, 255, 255, 255}}};
  const struct {
    std::vector<std::string> present;
    char loaded;
  } cases[] = {{{".png", ".jpg"}, 'R'}, {{".bmp", ".tif"}, 'G'}, {{".bmp", ".png"}, 'B'}, {{".bmp"}, 'W'}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.loaded);
    Clean();
    for (const std::string& ext : c.present) WriteSolid("X", ext, colours.at(ext));
    Game::SurfaceHolder s(ScriptLoadImage(ScriptArchive, u"X", 0, 0));
    EXPECT_FALSE(TextScript::LoadedFileHistory().Contains(u"X")) << "recorded only when asked";
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetWidth(), 8);
    EXPECT_EQ(s->GetBitCount(), 32);
    EXPECT_EQ(Dominant(Pixel(s.get(), 3, 3)), c.loaded);
    EXPECT_EQ(Pixel(s.get(), 3, 3)[3], 0) << "opaque";
  }
}

TEST_F(PictureArchiveTest, MissingAndUndecodablePicturesAreReportedByName) {
  Bytes badOffset = EncodeSolid(".bmp", 4, 4, {1, 2, 3, 255});
  badOffset[10] = 0xF0;  // pixel offset past the file
  const struct {
    std::string file;
    Bytes bytes;
    std::u16string name;
    int optional;
    std::string error;  // empty: null without a word
  } cases[] = {
      {"", {}, u"Y", 1, ""},
      {"", {}, u"Y", 0, "Script Error: file not found 'Y'."},
      {"Y.tif", Bytes{'I', 'I', 42, 0, 9}, u"Y", 1, "Script Error: TIFF decode error 'Y.tif'"},
      {"Y.jpg", Bytes{0xFF, 0xD8, 0xFF}, u"Y", 1, "Script Error: JPEG decode error 'Y'."},
      {"Y.bmp", badOffset, u"Y", 1, "Script Error: BMP decode error 'Y.bmp'"},
      {"Y.bmp", Bytes{'B', 'M', 0}, u"Y", 0, "Script Error: BMP decode error 'Y.bmp'"},
      {"", {}, std::u16string(kMaxPictureName + 1, u'n'), 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    Clean();
    if (!c.file.empty()) Write(c.file, c.bytes);
    DxDraw::DxSurface* s = nullptr;
    const std::string error = ErrorOf([&] { s = ScriptLoadImage(ScriptArchive, c.name, c.optional, 1); });
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(error.substr(0, c.error.size()), c.error);
    // A file that exists is recorded before it is read, so a broken one is named too.
    if (!c.file.empty()) {
      EXPECT_TRUE(TextScript::LoadedFileHistory().Contains(u"Y"));
    }
  }
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(PictureArchiveTest, ComposersDrawLayersInOrderOverTheTargetAndReportEachMissingOne) {
  WriteSolid("BG10000", ".png", {255, 0, 0, 255}, 16, 16);
  WriteSolid("BG11000", ".bmp", {0, 255, 0, 255}, 8, 8);  // a later layer lies above
  WriteSolid("H010000", ".jpg", {0, 0, 255, 255}, 16, 16);
  WriteSolid("A000200", ".png", {255, 255, 255, 128}, 4, 4);  // half opaque, at the letter's x
  GetSystemConfig().chrPositions = {{u'A', 10}};
  Game::SurfaceHolder target(DxDraw::CreateSurface(32));
  target->Create(32, 32);
  DxDraw::DxSurface* savedWork = Game::StageWorkSurface;
  Game::StageWorkSurface = target.get();

  ComposeGrpPicture(u"BG11010");
  EXPECT_EQ(Dominant(Pixel(target.get(), 2, 2)), 'G');
  EXPECT_EQ(Dominant(Pixel(target.get(), 12, 12)), 'R');
  EXPECT_EQ(Pixel(target.get(), 20, 20), (std::array<uint8_t, 4>{0, 0, 0, 0})) << "outside every layer";
  ComposeGrpPicture(u"BG1");  // no picture, no box
  LoadCharacterImage(u"A010203", 3);
  EXPECT_EQ(Dominant(Pixel(target.get(), 2, 2)), 'B');
  const auto half = Pixel(target.get(), 11, 1);
  EXPECT_NEAR(half[2], 128, 2);  // white at half opacity over blue
  EXPECT_NEAR(half[0], 255, 2);
  Game::StageWorkSurface = savedWork;
  GetSystemConfig().chrPositions.clear();

  std::vector<std::u16string> texts;
  for (const auto& box : boxes_.shown()) {
    texts.push_back(box.text);
    EXPECT_EQ(box.caption, u"エラー");
  }
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"GRP:画像ファイル BG10010 がありません。",
                                                  u"CHR:画像ファイル A000003 がありません。"}));
}

TEST_F(PictureArchiveTest, CgModeEndsOnTheFirstButtonAndReturnsOnceBothAreUp) {
  WriteSolid("EV10000", ".png", {0, 255, 0, 255});
  const struct {
    bool left, right;
    int result;
  } cases[] = {{true, false, 1}, {false, true, 0}, {true, true, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    AddFrames(3);
    AddFrames(1, [&](platform::HeadlessEventSource& s) {
      s.SetMouseButton(0, c.left);
      s.SetMouseButton(1, c.right);
    });
    AddFrames(4);
    AddFrames(1, [](platform::HeadlessEventSource& s) { s.ReleaseAll(); });
    AddFrames(2);
    const uint64_t start = frame_.FrameCount();
    int children = 0;
    screen_->ForEachChild([&](DxDraw::ssView*) { ++children; });
    EXPECT_EQ(ComposeCgModePicture(u"EV10000"), c.result);
    EXPECT_EQ(frame_.FrameCount() - start, 9u) << "returns on the frame both buttons are up";
    EXPECT_EQ(Dominant(Pixel(screen_->GetBackBuffer(), 3, 3)), 'G');
    int after = 0;
    screen_->ForEachChild([&](DxDraw::ssView*) { ++after; });
    EXPECT_EQ(after, children);
    while (source_.pending_frames() > 0) App::WaitNextFrame();
  }
}

// The slot dialog's save and the quick save take the same thumbnail: the
// background's "thumb/" picture when the archive holds it, else the stage.
TEST_F(PictureArchiveTest, BothSavesTakeTheBackgroundsThumbPictureElseTheStage) {
  const std::string saves = image_test::TempPath("saves");
  std::filesystem::create_directories(saves);
  Save::SetSaveFolder(platform::Utf8ToUtf16(saves));
  Save::NameList scene, album;
  Save::OpenSaveDataAtStart(scene, album);
  std::filesystem::create_directories(dir_ + "/thumb");
  WriteSolid("thumb/ABC", ".png", {0, 255, 0, 255});
  Game::BuildStage();
  Game::StageSprite->GetImage()->FillRect(nullptr, 0xFF0000, 255);

  struct Saver {
    const char* what;
    std::function<void()> save;
    int number;
  } savers[] = {{"slot dialog", [] { Game::SaveGameToSlot(5, u""); }, 5},
                {"quick save", [] { Game::DefaultSessionHooks().quickSave(); }, 91}};
  struct Case {
    const char* background;
    uint32_t colour;
  } cases[] = {{"ABC0000", 0x00FF00}, {"XYZ0000", 0xFF0000}};
  for (const Saver& saver : savers) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(saver.what) + " " + c.background);
      Save::SceneStateRecord& background = Save::GetSceneState().records[Save::kSceneBackground];
      background = Save::SceneStateRecord{};
      background.state = 2;
      std::strcpy(background.name, c.background);
      saver.save();
      const std::vector<uint32_t> thumb = Save::ReadSlotThumbnail(saver.number);
      ASSERT_EQ(thumb.size(), 140u * 105u);
      EXPECT_EQ(thumb[52 * 140 + 70], c.colour);
    }
  }
  Game::TearDownStage();
  Save::GetSceneState() = Save::SceneState{};
  Save::ResetGlobalDataState();
  Save::SetSaveFolder(u"");
  std::filesystem::remove_all(saves);
}

}  // namespace
