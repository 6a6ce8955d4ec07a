#include "app/probe.h"

#include <csignal>
#include <fstream>
#include <string>

#include "app/product.h"
#include "core/exception.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/wformat.h"

namespace App {

namespace {

constexpr const char16_t* kModeCaption = u"DirectDraw 初期化";

// Depths tried after the requested one, by requested depth.
struct DepthOrder {
  int32_t requested;
  int32_t next[2];
  const char16_t* window_text;  // the box when none is left
};
constexpr DepthOrder kDepthOrders[] = {
    {16, {32, 24}, u"ウィンドウモードに変更します(1)。"},
    {24, {32, 16}, u"ウィンドウモードに変更します(3)。"},
    {32, {24, 16}, u"ウィンドウモードに変更します(2)。"},
};

void ModeBox(bool full_screen, const char16_t* text) {
  if (full_screen) platform::ShowMessageBox(platform::MainWindow().Handle(), text, kModeCaption, platform::MB_OK);
}

}  // namespace

bool EnterFullScreen() {
  if (platform::MainWindow().SetFullScreen(true) && platform::MainWindow().IsFullScreen()) return true;
  platform::ShowMessageBox(platform::MainWindow().Handle(), u"フルスクリーンに設定できませんでした。", kModeCaption,
                           platform::MB_OK);
  return false;
}

ModeMatch CheckDisplayMode(std::span<const DisplayMode> modes, const DisplayMode& wanted) {
  ModeMatch best = ModeMatch::kNoSize;
  for (const DisplayMode& m : modes) {
    if (m.width != wanted.width || m.height != wanted.height) continue;
    if (m.depth != wanted.depth) {
      if (best == ModeMatch::kNoSize) best = ModeMatch::kOtherDepth;
      continue;
    }
    if (wanted.refresh == 0 || m.refresh == wanted.refresh) return ModeMatch::kFound;
    best = ModeMatch::kOtherRefresh;
  }
  return best;
}

ModeChoice ChooseDisplayMode(std::span<const DisplayMode> modes, DisplayMode wanted, bool full_screen) {
  const DepthOrder* order = nullptr;
  for (const DepthOrder& o : kDepthOrders) {
    if (o.requested == wanted.depth) order = &o;
  }
  int tried = 0;
  for (;;) {
    switch (CheckDisplayMode(modes, wanted)) {
      case ModeMatch::kFound:
        return ModeChoice{wanted, full_screen};
      case ModeMatch::kOtherRefresh:
        wanted.refresh = 0;
        ModeBox(full_screen, u"リフレッシュレートをデフォルトに変更します。");
        continue;
      case ModeMatch::kOtherDepth:
        if (order != nullptr && tried < 2) {
          wanted.depth = order->next[tried++];
          continue;
        }
        ModeBox(full_screen, order != nullptr ? order->window_text : u"ウィンドウモードに変更します(3)。");
        return ModeChoice{wanted, false};
      case ModeMatch::kNoSize:
        ModeBox(full_screen, u"ウィンドウモードに変更します(4)。");
        return ModeChoice{wanted, false};
    }
  }
}

bool DebuggerAttached() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("TracerPid:", 0) == 0) return std::stoi(line.substr(10)) != 0;
  }
  return false;
}

int AssertBox(const char* expression, const char* file, int line, const char* extra) {
  std::u16string text = extra != nullptr
                            ? platform::FormatString(u"Assert(%hs);\nFile %hs, line %d.  %hs", expression, file, line, extra)
                            : platform::FormatString(u"Assert(%hs);\nFile %hs, line %d.", expression, file, line);
  if (text.size() > 1024) text.resize(1024);
  int answer = platform::ShowMessageBox(platform::MainWindow().Handle(), text, kWindowClass,
                                        platform::MB_ABORTRETRYIGNORE | platform::MB_ICONERROR);
  if (answer == platform::IDABORT) throw MakeError(u"misc", 55, kErrorTypeError, nullptr, u"%s", text.c_str());
  if (answer == platform::IDRETRY && DebuggerAttached()) std::raise(SIGTRAP);
  return 1;
}

}  // namespace App
