// The stage: the view objects every game command draws into, built when a run
// begins and torn down when it ends, and the transitions that bring pictures
// onto it.
//
// StageGroup hangs in the stage parent (the screen surface) and holds 24 layer
// groups, index 0 at the bottom. Layer 0 holds the StageSprite, an 800x600
// surface of its own showing the current picture, and the transition sprites;
// layer 23 holds the message window, the choice boxes and the end fade.
// Pictures are composed off screen into the StageWorkSurface and a transition
// copies them into the StageSprite's image.
//
// Every wait is one frame of App::WaitNextFrame; a ScriptException raised by a
// frame leaves the transition with its temporary sprites released.
#pragma once

#include <array>
#include <cstdint>

namespace DxDraw {
class DxDrawGroup;
class DxSprite;
class DxSurface;
}  // namespace DxDraw

namespace Game {

inline constexpr int kStageLayerCount = 24;
inline constexpr int kStageWidth = 800;
inline constexpr int kStageHeight = 600;
inline constexpr int kTopLayer = kStageLayerCount - 1;

// StageFlags bits.
enum : int32_t {
  kStageShowsFill = 0x1,   // the stage shows a plain fill (black or white)
  kStagePending = 0x2,     // a picture waits in the StageWorkSurface
};

inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kWhite = 0xFFFFFF;

// The stage objects, shared with the picture composers; null while no stage is built.
extern DxDraw::DxDrawGroup* StageGroup;
extern std::array<DxDraw::DxDrawGroup*, kStageLayerCount> StageLayers;
extern DxDraw::DxSprite* StageSprite;
extern DxDraw::DxSurface* StageWorkSurface;
extern int32_t StageFlags;  // kStage* bits

// Builds the groups, the sprite and the work surface (both opaque black);
// StageFlags := kStageShowsFill. A stage already built is torn down first.
void BuildStage();
// Releases everything BuildStage made; all pointers null. Safe when not built.
void TearDownStage();
bool StageBuilt();

// Fills the work surface with `rgb` and copies it into the StageSprite, which
// keeps its drawing flags; the stage shows a plain fill from the next frame on.
void FillStage(uint32_t rgb);
// The same drawn as a plain copy, and waits a frame.
void FillStageNow(uint32_t rgb);
// The stage fades to black over 129 frames, then shows the black fill.
void FadeOutStage();
// A white sprite rises over the stage over 129 frames, then the stage is white.
void FadeToWhite();
// Brings the picture waiting in the work surface onto the stage: at once with
// fast display or while skipping, else by a cross-fade of 129 frames from a
// fill and 17 from a picture. Nothing (no frame either) when none waits.
void ShowPendingPicture();
// `count` white flashes of 100 ms over the stage, which then stays white. A
// picture waiting in the work surface keeps waiting.
void FlashStage(int count);

// Copies the work surface into the StageSprite's image as a plain copy.
void CopyWorkToStage();

}  // namespace Game
