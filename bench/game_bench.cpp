// One frame of a cross-fade: the stage picture under a full-screen overlay of
// the composed picture at a middle level, drawn and presented whole. The goal
// is well under 2 ms, so a fade paced at 60 Hz never drops a frame.
//
// The demo game's start: its archives opened, the SYSTEM sheet and
// "config.xml" read, the script compiled, up to the first frame where the
// title would show.
#include <benchmark/benchmark.h>

#include "app/frame.h"
#include "archive/archive.h"
#include "dxdraw/dxscreen.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/dxview.h"
#include "game/config.h"
#include "game/game_env.h"
#include "game/picture.h"
#include "game/session.h"
#include "game/stage.h"
#include "message/messview.h"
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
  Game::StageSprite->GetImage()->FillRect(nullptr, 0x204080, 255);
  Game::StageWorkSurface->FillRect(nullptr, 0xC08040, 255);
  auto* overlay = new DxDraw::DxSprite(Game::StageWorkSurface, nullptr, DxDraw::BLT_FADE);
  Game::StageLayers[0]->AddChild(overlay);
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

#ifdef DEMO_DATA_DIR
void BM_DemoStartToFirstFrame(benchmark::State& state) {
  platform::HeadlessPresenter window(800, 600);
  App::Frame frame;
  App::Frame* previous = App::SetCurrentFrame(&frame);
  auto* root = new DxDraw::DxDrawGroup;
  auto* screen = new DxDraw::DxScreenSurface32;
  screen->Resize(800, 600);
  root->AddChild(screen);
  frame.SetRoot(root);
  frame.SetScreen(screen);
  frame.SetPresenter(&window);
  Game::SetStageParent(screen);
  Game::SessionHooks hooks;
  hooks.showTitle = [] {
    App::WaitNextFrame();
    return 0;
  };
  Game::SetSessionHooks(hooks);
  for (auto _ : state) {
    SystemArchive = OpenSafArchive(u"" DEMO_DATA_DIR "/system.saf");
    ScriptArchive = OpenSafArchive(u"" DEMO_DATA_DIR "/script.saf");
    SoundArchive = OpenSafArchive(u"" DEMO_DATA_DIR "/sound.saf");
    if (SystemArchive == nullptr || ScriptArchive == nullptr || SoundArchive == nullptr) {
      state.SkipWithError("the demo data is not built");
      break;
    }
    TextScript::SetSystemPicture(ScriptLoadImage(SystemArchive, u"SYSTEM", 0, 0));
    LoadSystemConfig();
    benchmark::DoNotOptimize(Game::RunGameSession(u"_start.txt", 0));
    TextScript::SetSystemPicture(nullptr);
    for (IArchive** archive : {&SystemArchive, &ScriptArchive, &SoundArchive}) {
      if (*archive != nullptr) (*archive)->Release();
      *archive = nullptr;
    }
  }
  Game::SetSessionHooks({});
  Game::SetStageParent(nullptr);
  root->Release();
  App::SetCurrentFrame(previous);
}
BENCHMARK(BM_DemoStartToFirstFrame)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
