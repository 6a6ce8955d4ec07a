// The message window, its buttons and its open and close tasks.
#include "message/messwindow.h"

#include "app/frame.h"
#include "core/act.h"

namespace TextScript {
namespace {

constexpr int kButtonStep = 24;

DxMessWindow* WindowOf(ACT* task) { return reinterpret_cast<DxMessWindow*>(task->user); }

// Style 0 (instant) is the only style: the window changes within the task's
// creation and the task is finished before its first run.
void OpenWindowAnimProc(ACT* task, uint32_t message, intptr_t, intptr_t) {
  if (message != ACT_CREATE) return;
  DxMessWindow* window = WindowOf(task);
  if (window != nullptr && !window->IsVisible()) {
    window->Show();
    if (window->GetView() != nullptr) window->GetView()->Show();
  }
  task->state = -1;
}

void CloseWindowAnimProc(ACT* task, uint32_t message, intptr_t, intptr_t) {
  if (message != ACT_CREATE) return;
  DxMessWindow* window = WindowOf(task);
  if (window != nullptr && window->IsVisible()) window->Hide();
  task->state = -1;
}

}  // namespace

DxMessWindow::DxMessWindow(int width, int height, int left, int right, int top, int bottom, int largeGlyphs) {
  SetPosition(0, 0);
  m_pFrame = new DxDraw::DxSurfaceSprite32(width, height);
  m_pFrame->m_Param.Flags = DxDraw::BLT_FADE;
  m_pFrame->m_Param.Level = 128;
  m_pFrame->FillRect(nullptr, 0, 255);
  AddChild(m_pFrame);
  m_pView = new DxMessView2(width - left - right, height - top - bottom);
  m_pView->SetPosition(left, top);
  m_pView->SetTextOrigin(0, 0);
  AddChild(m_pView);
  if (largeGlyphs != 0) m_pView->SetEffectFlags(m_pView->GetEffectFlags() | DxDraw::TEXT_LARGE);
}

MessageWindow::MessageWindow(int width, int height, int left, int right, int top, int bottom)
    : DxMessWindow(width, height, left, right, top, bottom, 0) {
  for (int i = 0; i < kMessageButtonCount; ++i) {
    const int32_t y = kButtonStep * i;
    const DxDraw::SPRITEFRAME frame{48, 24, 0, 0, DxDraw::RECT{752, 288 + y, 800, 312 + y}, 0};
    auto* button = new DxDraw::DxSprite(GetSystemPicture(), &frame, DxDraw::BLT_WEIGHTED | DxDraw::BLT_FADE);
    button->m_Param.Level = kButtonIdleLevel;
    button->SetPosition(752, 40 + y);
    button->SetChanged(DxDraw::kChangedShown);
    AddChild(button);
    m_pButtons[i] = button;
    m_ButtonRects[i] = DxDraw::RECT{752, 440 + y, 800, 464 + y};
  }
}

void MessageWindow::SetButtonLevel(int i, int level) {
  DxDraw::DxSprite* button = m_pButtons[i];
  button->m_Param.Level = level;
  button->SetChanged(DxDraw::kChangedShown);
}

ACT* MakeOpenWindowTask(DxMessWindow* window) {
  return MakeACT(OpenWindowAnimProc, reinterpret_cast<intptr_t>(window));
}

ACT* MakeCloseWindowTask(DxMessWindow* window) {
  return MakeACT(CloseWindowAnimProc, reinterpret_cast<intptr_t>(window));
}

void RunWindowTask(ACT* task) {
  struct TaskGuard {
    ACT* task;
    ~TaskGuard() { DeleteACT(task); }
  } guard{task};
  while (task->state != -1) {
    RunACT(task);
    App::WaitNextFrame();
  }
}

void CloseWindowNow(DxMessWindow* window) { RunWindowTask(MakeCloseWindowTask(window)); }

}  // namespace TextScript
