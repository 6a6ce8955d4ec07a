#include "game/stage.h"

#include <memory>

#include "app/settings.h"
#include "app/frame.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/dxview.h"
#include "game/game_env.h"
#include "game/game_state.h"
#include "game/holders.h"
#include "game/screen_parts.h"
#include "textscript/script_host.h"

namespace Game {

DxDraw::DxDrawGroup* StageGroup = nullptr;
std::array<DxDraw::DxDrawGroup*, kStageLayerCount> StageLayers{};
DxDraw::DxSprite* StageSprite = nullptr;
DxDraw::DxSurface* StageWorkSurface = nullptr;
int32_t StageFlags = 0;

namespace {

constexpr int kFullLevel = 255;

DxDraw::DxSurface* NewStageSurface() {
  DxDraw::DxSurface* surface = DxDraw::CreateSurface(32);
  surface->Create(kStageWidth, kStageHeight);
  surface->FillRect(nullptr, kBlack, 255);
  return surface;
}

void SetBlend(DxDraw::DxSprite* sprite, uint32_t flags, int level) {
  sprite->m_Param.Flags = flags;
  sprite->m_Param.Level = level;
  sprite->SetChanged(DxDraw::kChangedShown);
}

using SpriteHolder = ViewHolder<DxDraw::DxSprite>;

// A sprite showing the work surface above the StageSprite, level 0.
SpriteHolder OverlayWorkSurface() {
  SpriteHolder sprite(new DxDraw::DxSprite(StageWorkSurface, nullptr, DxDraw::BLT_FADE));
  sprite->m_Param.Level = 0;
  StageLayers[0]->AddChild(sprite.get());
  return sprite;
}

// Raises the overlay's level from 0 by `step` a frame, ending after the frame at 255.
void RiseLevel(DxDraw::DxSprite* sprite, int step) {
  RampLevel(0, kFullLevel, step, [sprite](int level) { SetBlend(sprite, DxDraw::BLT_FADE, level); });
}

// The work surface becomes the shown picture, drawn as a plain copy.
void PresentWork() {
  CopyWorkToStage();
  SetBlend(StageSprite, 0, StageSprite->m_Param.Level);
  StageSprite->Show();
}

}  // namespace

void BuildStage() {
  TearDownStage();
  StageGroup = new DxDraw::DxDrawGroup;
  if (StageParent() != nullptr) StageParent()->AddChild(StageGroup);
  for (auto& layer : StageLayers) {
    layer = new DxDraw::DxDrawGroup;
    StageGroup->AddChild(layer);
  }
  DxDraw::DxSurface* image = NewStageSurface();
  StageSprite = new DxDraw::DxSprite(image, nullptr, 0);
  image->Release();  // the sprite holds it
  StageLayers[0]->AddChild(StageSprite);
  StageWorkSurface = NewStageSurface();
  StageFlags = kStageShowsFill;
}

void TearDownStage() {
  if (StageWorkSurface != nullptr) StageWorkSurface->Release();
  StageWorkSurface = nullptr;
  if (StageSprite != nullptr) StageSprite->SetImage(nullptr);
  StageSprite = nullptr;  // released with its layer
  if (StageGroup != nullptr) StageGroup->Release();
  StageGroup = nullptr;
  StageLayers.fill(nullptr);
}

bool StageBuilt() { return StageGroup != nullptr; }

void CopyWorkToStage() {
  DxDraw::BLTPARAM copy{};
  StageSprite->GetImage()->Blt(0, 0, StageWorkSurface, nullptr, nullptr, &copy);
  StageSprite->SetChanged(DxDraw::kChangedShown);
}

void FillStage(uint32_t rgb) {
  StageWorkSurface->FillRect(nullptr, rgb, 255);
  CopyWorkToStage();
  StageFlags |= kStageShowsFill;
}

void FillStageNow(uint32_t rgb) {
  SetBlend(StageSprite, 0, StageSprite->m_Param.Level);
  FillStage(rgb);
  App::WaitNextFrame();
}

void FadeOutStage() {
  StageFlags |= kStageShowsFill;
  RampLevel(kFullLevel, 0, 2, [](int level) { SetBlend(StageSprite, DxDraw::BLT_FADE, level); });
  FillStageNow(kBlack);
}

void FadeToWhite() {
  StageFlags |= kStageShowsFill;
  StageWorkSurface->FillRect(nullptr, kWhite, 255);
  {
    SpriteHolder overlay = OverlayWorkSurface();
    RiseLevel(overlay.get(), 2);
  }
  FillStageNow(kWhite);
}

void ShowPendingPicture() {
  if ((StageFlags & kStagePending) == 0) return;
  if (App::Settings().game.display_speed == 1 || SkipMode != 0) {
    PresentWork();
  } else {
    // The picture lands on the stage however the fade ends.
    struct Land {
      ~Land() { PresentWork(); }
    } land;
    SpriteHolder overlay = OverlayWorkSurface();
    RiseLevel(overlay.get(), (StageFlags & kStageShowsFill) != 0 ? 2 : 16);
  }
  App::WaitNextFrame();
  StageFlags = 0;
}

void FlashStage(int count) {
  DxDraw::DxSurface* white = NewStageSurface();
  white->FillRect(nullptr, kWhite, 255);
  {
    SpriteHolder flash(new DxDraw::DxSprite(white, nullptr, 0));
    white->Release();
    flash->Hide();
    if (StageParent() != nullptr) StageParent()->AddChild(flash.get());
    for (int i = 0; i < count; ++i) {
      flash->Show();
      App::WaitTime(100, App::kWaitPlain);
      if (i + 1 < count) {
        flash->Hide();
        App::WaitTime(100, App::kWaitPlain);
      }
    }
    StageFlags |= kStageShowsFill;
    if ((StageFlags & kStagePending) != 0) {
      // The composed picture keeps waiting; only the shown image turns white.
      StageSprite->GetImage()->FillRect(nullptr, kWhite, 255);
    } else {
      FillStage(kWhite);
    }
    SetBlend(StageSprite, 0, StageSprite->m_Param.Level);
  }
  App::WaitNextFrame();
}

}  // namespace Game
