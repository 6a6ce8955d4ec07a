// The renderer driven by arbitrary edits: sprites and groups moved, shown,
// hidden, closed and reframed, image pixels drawn with clipped blits and fills,
// frames presented. After every frame the window, updated only where things
// changed, must equal a full redraw of the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "dxdraw/dxscreen.h"
#include "dxdraw/dxsurface.h"
#include "platform/presenter.h"

namespace {

using namespace DxDraw;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

struct Input {
  const uint8_t* data;
  size_t size;
  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  int Signed(int range) { return static_cast<int>(Byte()) % (2 * range + 1) - range; }
};

DxSurface* NewImage(Input& in) {
  DxSurface* s = CreateSurface(32);
  s->Create(1 + in.Byte() % 40, 1 + in.Byte() % 40);
  s->FillRect(nullptr, in.Byte() * 0x010203u, in.Byte());
  return s;
}

void Present(ssGroup* root, platform::IPresenter* window) {
  DRAWINFO info;
  info.presenter = window;
  root->Draw(&info);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  platform::HeadlessPresenter window(kWidth, kHeight);
  auto* root = new DxDrawGroup;
  auto* screen = new DxScreenSurface32;
  root->AddChild(screen);
  screen->Resize(kWidth, kHeight);

  std::vector<DxSurface*> images;
  for (int i = 0; i < 3; ++i) images.push_back(NewImage(in));
  std::vector<DxDrawGroup*> groups{screen};
  std::vector<DxSprite*> sprites;

  while (in.size > 0) {
    switch (in.Byte() % 12) {
      case 0: {  // a new sprite in some group
        auto* sprite = new DxSprite(images[in.Byte() % images.size()], nullptr, in.Byte() % 2 ? BLT_WEIGHTED : 0);
        sprite->SetPosition(in.Signed(80), in.Signed(60));
        groups[in.Byte() % groups.size()]->AddChild(sprite);
        sprites.push_back(sprite);
        break;
      }
      case 1: {  // a new group
        auto* group = new DxDrawGroup;
        group->SetPosition(in.Signed(40), in.Signed(30));
        groups[in.Byte() % groups.size()]->AddChild(group);
        groups.push_back(group);
        break;
      }
      case 2:
        if (!sprites.empty()) sprites[in.Byte() % sprites.size()]->SetPosition(in.Signed(80), in.Signed(60));
        break;
      case 3:
        if (groups.size() > 1) groups[1 + in.Byte() % (groups.size() - 1)]->SetPosition(in.Signed(40), in.Signed(30));
        break;
      case 4:
        if (!sprites.empty()) {
          DxSprite* sprite = sprites[in.Byte() % sprites.size()];
          if (in.Byte() % 2) sprite->Show(); else sprite->Hide();
        }
        break;
      case 5:
        if (groups.size() > 1) {
          DxDrawGroup* group = groups[1 + in.Byte() % (groups.size() - 1)];
          if (in.Byte() % 2) group->Show(); else group->Hide();
        }
        break;
      case 6:  // close a sprite
        if (!sprites.empty()) {
          const size_t i = in.Byte() % sprites.size();
          sprites[i]->Release();
          sprites.erase(sprites.begin() + static_cast<ptrdiff_t>(i));
        }
        break;
      case 7:  // a new frame, any part of the image, any origin
        if (!sprites.empty()) {
          SPRITEFRAME frame{};
          frame.width = in.Byte() % 48;
          frame.height = in.Byte() % 48;
          frame.originX = static_cast<int16_t>(in.Signed(20));
          frame.originY = static_cast<int16_t>(in.Signed(20));
          frame.source = RECT{in.Signed(10), in.Signed(10), 0, 0};
          frame.source.right = frame.source.left + frame.width;
          frame.source.bottom = frame.source.top + frame.height;
          sprites[in.Byte() % sprites.size()]->SetFrame(in.Byte() % 4 ? &frame : nullptr);
        }
        break;
      case 8: {  // draw into an image through a clipped blit
        DxSurface* target = images[in.Byte() % images.size()];
        DxSurface* source = images[in.Byte() % images.size()];
        const RECT part{in.Signed(50), in.Signed(50), in.Signed(50), in.Signed(50)};
        const RECT clip{in.Signed(60), in.Signed(60), in.Signed(60), in.Signed(60)};
        BLTPARAM param{};
        const uint8_t ops[] = {BLT_COPY, BLT_BRIGHT, BLT_FADE, BLT_ADD, BLT_SUB, BLT_XOR, BLT_BLEND2, 6};
        param.Flags = ops[in.Byte() % 8] | (in.Byte() % 4) << 4 | (in.Byte() % 2 ? BLT_WEIGHTED : 0);
        param.Level = in.Byte();
        if (source != target) {
          target->Blt(in.Signed(60), in.Signed(60), source, in.Byte() % 2 ? &part : nullptr,
                      in.Byte() % 2 ? &clip : nullptr, &param);
        }
        break;
      }
      case 9: {  // fill or clear part of an image
        DxSurface* target = images[in.Byte() % images.size()];
        const RECT r{in.Signed(50), in.Signed(50), in.Signed(50), in.Signed(50)};
        if (in.Byte() % 2) target->FillRect(&r, in.Byte() * 0x01010101u, in.Byte());
        else target->SetAlpha(&r, in.Byte());
        break;
      }
      case 10:  // move a sprite into another group
        if (!sprites.empty()) groups[in.Byte() % groups.size()]->AddChild(sprites[in.Byte() % sprites.size()]);
        break;
      default: {  // a frame, checked against a full redraw
        Present(root, &window);
        platform::HeadlessPresenter full(kWidth, kHeight);
        screen->OnMessage(kMsgSetChanged, kChangedShown, 0);
        const RECT all{0, 0, kWidth, kHeight};
        screen->OnMessage(kMsgAddDirty, reinterpret_cast<MessageArg>(&all), 0);
        Present(root, &full);
        for (int y = 0; y < kHeight; ++y) {
          for (int x = 0; x < kWidth; ++x) {
            if (window.PixelAt(x, y) != full.PixelAt(x, y)) std::abort();
          }
        }
        break;
      }
    }
  }
  root->Release();
  for (DxSurface* image : images) image->Release();
  return 0;
}
