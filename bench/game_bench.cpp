// One frame of a cross-fade: the stage picture under a full-screen overlay of
// the composed picture at a middle level, drawn and presented whole. The goal
// is well under 2 ms, so a fade paced at 60 Hz never drops a frame.
#include <benchmark/benchmark.h>

#include "dxdraw/dxscreen.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/dxview.h"
#include "game/game_env.h"
#include "game/stage.h"
#include "platform/presenter.h"

namespace {

void BM_CrossFadeFrame(benchmark::State& state) {
  platform::HeadlessPresenter window(800, 600);
  auto* root = new DxDraw::DxDrawGroup;
  auto* screen = new DxDraw::DxScreenSurface32;
  screen->Resize(800, 600);
  root->AddChild(screen);
  Game::SetStageParent(screen);
  Game::BuildStage();
  StageSprite->GetImage()->FillRect(nullptr, 0x204080, 255);
  StageWorkSurface->FillRect(nullptr, 0xC08040, 255);
  auto* overlay = new DxDraw::DxSprite(StageWorkSurface, nullptr, 2);
  StageLayers[0]->AddChild(overlay);
  int level = 0;
  for (auto _ : state) {
    overlay->m_Param.Level = level;
    overlay->SetChanged(DxDraw::kChangedShown);
    level = (level + 2) & 0xFF;
    DxDraw::DRAWINFO info;
    info.presenter = &window;
    root->Draw(&info);
  }
  benchmark::DoNotOptimize(window.PixelAt(400, 300));
  Game::TearDownStage();
  Game::SetStageParent(nullptr);
  root->Release();
}
BENCHMARK(BM_CrossFadeFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
