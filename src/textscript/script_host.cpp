#include "textscript/script_host.h"

namespace TextScript {

namespace {
IScriptFrame* g_Frame = nullptr;
}

IScriptFrame* SetScriptFrame(IScriptFrame* frame) {
  IScriptFrame* previous = g_Frame;
  g_Frame = frame;
  return previous;
}

IScriptFrame* GetScriptFrame() { return g_Frame; }

void WaitNextFrame() {
  if (g_Frame != nullptr) g_Frame->WaitNextFrame();
}

uint32_t HeldInput() { return g_Frame != nullptr ? g_Frame->HeldInput() : 0; }

}  // namespace TextScript
