// What a running script needs from the program around it: the request that
// leaves a run (ScriptException), and the frame that the run loop calls once per
// pass while a node waits, with the buttons held in that frame. The application
// installs its frame; tests install a fake one.
#pragma once

#include <cstdint>

// Leaves a running script. Thrown by value by the frame (codes 0-2) and by the
// game layer (code 3); caught by the run loop and the game layer.
struct ScriptException {
  static constexpr int32_t kBackToTitle = 0;
  static constexpr int32_t kLoad = 1;
  static constexpr int32_t kStepBack = 2;
  static constexpr int32_t kRedraw = 3;  // the font changed: draw the running text again

  int32_t code;
};

namespace TextScript {

// Held-input bits the run loop tests while a wait task runs: the skip keys
// (either Ctrl key, numpad 7 or 9), the two bits input sets for them.
inline constexpr uint32_t kSkipKeysHeld = 0x30000;

class IScriptFrame {
 public:
  // Runs one whole frame. May throw ScriptException or the quit record.
  virtual void WaitNextFrame() = 0;
  // The button bits held in the last frame.
  virtual uint32_t HeldInput() const = 0;

 protected:
  ~IScriptFrame() = default;
};

// Installs the frame the run loop calls; returns the previous one. Null
// uninstalls it: waits then spin without frames and nothing is held.
IScriptFrame* SetScriptFrame(IScriptFrame* frame);
IScriptFrame* GetScriptFrame();

// One frame through the installed frame (nothing when none is installed).
void WaitNextFrame();
// The held word of the installed frame (0 when none is installed).
uint32_t HeldInput();

}  // namespace TextScript
