// The picture loader and the composers of the stage picture.
#include "game/picture.h"

#include <cstdlib>
#include <memory>
#include <span>

#include "app/frame.h"
#include "app/input.h"
#include "archive/archive.h"
#include "core/exception.h"
#include "dxdraw/decoders.h"
#include "dxdraw/dxsurface.h"
#include "game/config.h"
#include "game/game_env.h"
#include "game/game_state.h"
#include "game/holders.h"
#include "game/screen_parts.h"
#include "game/stage.h"
#include "platform/message_box.h"
#include "platform/wformat.h"
#include "textscript/file_history.h"

namespace {

constexpr const char16_t* kSource = u"script/scr_gui";

struct FreeBlock {
  void operator()(void* p) const { std::free(p); }
};
using Block = std::unique_ptr<void, FreeBlock>;

// The whole entry, or throws when it vanished between the lookup and the load.
Block LoadWhole(IArchive* archive, const std::u16string& file, uint32_t& size) {
  Block block(LoadArchiveFile(archive, file, nullptr, &size));
  if (!block) ThrowError(kSource, 573, u"Script Error: file not found '%s'.", file.c_str());
  return block;
}

// A decoded picture as a new 32-bit surface, or null when it does not convert.
DxDraw::DxSurface* SurfaceFromDib(const DxDraw::DibBlock& dib) {
  Game::SurfaceHolder held(DxDraw::CreateSurface(32));
  if (held == nullptr || held->LoadFromDib(dib) == 0) return nullptr;
  return held.release();
}

using Decoder = bool (*)(std::span<const uint8_t>, DxDraw::DibBlock&, std::u16string&);

// Reads and decodes the entry; a failure throws naming the file and the reason.
DxDraw::DxSurface* LoadDecoded(IArchive* archive, const std::u16string& file, Decoder decode, const char16_t* kind,
                               int line) {
  uint32_t size = 0;
  Block block = LoadWhole(archive, file, size);
  DxDraw::DibBlock dib;
  std::u16string why;
  DxDraw::DxSurface* surface = nullptr;
  if (decode(std::span<const uint8_t>(static_cast<const uint8_t*>(block.get()), size), dib, why)) {
    surface = SurfaceFromDib(dib);
    if (surface == nullptr) why = u"the picture does not fit a surface";
  }
  if (surface == nullptr) {
    ThrowError(kSource, line, u"Script Error: %s decode error '%s' (%s).", kind, file.c_str(), why.c_str());
  }
  return surface;
}

void ShowMissing(std::u16string_view kind, const std::u16string& name) {
  const std::u16string k(kind);
  platform::ShowMessageBox(nullptr, platform::FormatString(u"%s:画像ファイル %s がありません。", k.c_str(), name.c_str()),
                           u"エラー", platform::MB_OK);
}

PictureLayer Layer(std::u16string name, int32_t x = 0) { return PictureLayer{std::move(name), x, 0}; }

}  // namespace

DxDraw::DxSurface* DecodeJpegImage(const void* bytes, std::size_t size) {
  if (bytes == nullptr) return nullptr;
  DxDraw::DibBlock dib;
  std::u16string why;
  if (!DxDraw::DecodeJpegToDib(std::span<const uint8_t>(static_cast<const uint8_t*>(bytes), size), dib, why)) {
    return nullptr;
  }
  return SurfaceFromDib(dib);
}

DxDraw::DxSurface* ScriptLoadImage(IArchive* archive, std::u16string_view name, int optional, int record) {
  static constexpr const char16_t* kExtensions[] = {u".jpg", u".tif", u".png", u".bmp"};
  const std::u16string base(name);
  int found = -1;
  std::u16string file;
  if (archive != nullptr && base.size() <= kMaxPictureName) {
    for (int i = 0; i < 4 && found < 0; ++i) {
      file = base + kExtensions[i];
      if (archive->Exists(file)) found = i;
    }
  }
  if (found < 0) {
    if (optional != 0) return nullptr;
    ThrowError(kSource, 573, u"Script Error: file not found '%s'.", base.c_str());
  }
  if (record != 0) TextScript::AddFileHistory(file);
  switch (found) {
    case 0: {
      uint32_t size = 0;
      Block block = LoadWhole(archive, file, size);
      DxDraw::DxSurface* surface = DecodeJpegImage(block.get(), size);
      if (surface == nullptr) ThrowError(kSource, 517, u"Script Error: JPEG decode error '%s'.", base.c_str());
      return surface;
    }
    case 1:
      return LoadDecoded(archive, file, DxDraw::LoadTiffToDib, u"TIFF", 530);
    case 2:
      return DxDraw::LoadSurfaceArchive_Dx(archive, file);
    default:
      // The whole file goes to the BMP reader, which checks the file header too.
      return LoadDecoded(archive, file, DxDraw::DecodeBmpToDib, u"BMP", 560);
  }
}

std::vector<PictureLayer> GrpLayers(std::u16string_view name) {
  const std::size_t n = name.size();
  if (n != 7 && n != 9) return {};
  const std::u16string prefix(name.substr(0, 3));
  const std::size_t layers = n - 3;
  std::vector<PictureLayer> out;
  out.push_back(Layer(prefix + std::u16string(layers, u'0')));
  for (std::size_t i = 0; i < layers; ++i) {
    const char16_t c = name[3 + i];
    if (c == u'0') continue;
    std::u16string file = prefix + std::u16string(layers, u'0');
    file[3 + i] = c;
    out.push_back(Layer(std::move(file)));
  }
  return out;
}

std::vector<PictureLayer> CharacterLayers(std::u16string_view name, int command) {
  if (name.size() < 7) return {};
  const std::u16string letter(name.substr(0, 1));
  const std::u16string_view scene = name.substr(1, 2), body = name.substr(3, 2), face = name.substr(5, 2);
  const SystemConfig& config = GetSystemConfig();
  const int32_t x = FindCharacterPosition(command == 3 ? config.chrPositions : config.chlPositions, name[0]);
  std::vector<PictureLayer> out;
  if (scene != u"00") out.push_back(Layer(u"H" + std::u16string(scene) + u"0000"));
  if (body != u"00") out.push_back(Layer(letter + u"00" + std::u16string(body) + u"00", x));
  if (face != u"00") out.push_back(Layer(letter + u"0000" + std::u16string(face), x));
  return out;
}

void ComposeLayers(DxDraw::DxSurface* target, IArchive* archive, const std::vector<PictureLayer>& layers,
                   std::u16string_view kind) {
  DxDraw::BLTPARAM param;
  param.Flags = DxDraw::BLT_WEIGHTED;
  for (const PictureLayer& layer : layers) {
    Game::SurfaceHolder picture(ScriptLoadImage(archive, layer.name, 1, 1));
    if (picture == nullptr) {
      ShowMissing(kind, layer.name);
      continue;
    }
    if (target != nullptr) target->Blt(layer.x, layer.y, picture.get(), nullptr, nullptr, &param);
  }
}

void ComposeGrpPicture(std::u16string_view name) {
  ComposeLayers(Game::StageWorkSurface, ScriptArchive, GrpLayers(name), u"GRP");
}

void LoadCharacterImage(std::u16string_view name, int command) {
  ComposeLayers(Game::StageWorkSurface, ScriptArchive, CharacterLayers(name, command), command == 3 ? u"CHR" : u"CHL");
}

int ComposeCgModePicture(std::u16string_view name) {
  Game::SurfaceHolder picture(DxDraw::CreateSurface(32));
  picture->Create(Game::kStageWidth, Game::kStageHeight);
  ComposeLayers(picture.get(), ScriptArchive, GrpLayers(name), u"CG-MODE");
  // The sprite leaves the tree however the wait ends (a frame may throw a request).
  Game::ViewHolder<DxDraw::DxSprite> shown(new DxDraw::DxSprite(picture.get(), nullptr, 0));
  if (DxDraw::ssGroup* screen = Game::StageParent()) screen->AddChild(shown.get());

  const App::InputState& in = App::Input();
  int result = 1;
  App::WaitNextFrame();
  for (;;) {
    if (in.pressed & App::kButtonClick) break;
    if (in.pressed & App::kButtonRightClick) {
      result = 0;
      break;
    }
    App::WaitNextFrame();
  }
  while (in.held & (App::kButtonClick | App::kButtonRightClick)) App::WaitNextFrame();
  return result;
}

bool IsAlbumName(std::u16string_view name) { return Game::ContainsName(Game::AlbumList(), name); }

namespace Game {

SurfaceHolder LoadScreenPicture(std::u16string_view name) {
  return SurfaceHolder(ScriptLoadImage(ScriptArchive, name, 0, 0));
}

}  // namespace Game
