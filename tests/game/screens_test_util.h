// The game's own screens played headless: the game harness with a script
// folder of solid-colour pictures made here, and a player who moves the cursor
// and clicks at chosen frames of the screen that runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/input.h"
#include "game/config.h"
#include "game/game_state.h"
#include "game/picture.h"
#include "game/title.h"
#include "game_test_util.h"
#include "message/messview.h"

namespace screens_test {

struct Rgb {
  uint8_t r, g, b;
  uint32_t Shown() const { return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b; }
};

// A 24-bit bottom-up BMP of w x h whose pixels `colour` gives.
inline std::string Bmp(int w, int h, const std::function<Rgb(int x, int y)>& colour) {
  const int pitch = (w * 3 + 3) & ~3;
  const uint32_t size = 54 + static_cast<uint32_t>(pitch * h);
  std::string out;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  };
  out += "BM";
  put(size, 4), put(0, 4), put(54, 4);
  put(40, 4), put(static_cast<uint32_t>(w), 4), put(static_cast<uint32_t>(h), 4), put(1, 2), put(24, 2);
  put(0, 4), put(size - 54, 4), put(2835, 4), put(2835, 4), put(0, 4), put(0, 4);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      Rgb c = colour(x, y);
      out.push_back(static_cast<char>(c.b)), out.push_back(static_cast<char>(c.g)), out.push_back(static_cast<char>(c.r));
    }
    out.append(static_cast<std::size_t>(pitch - w * 3), '\0');
  }
  return out;
}

inline constexpr Rgb kBrand{250, 0, 0};
inline constexpr Rgb kTitleBack{0, 0, 200};
inline constexpr Rgb kItemNormal{100, 100, 100};
// The title sheet's highlighted row r (from y 896, 48 px a row) has a colour of its own.
inline constexpr Rgb ItemLit(int row) { return Rgb{0, 200, static_cast<uint8_t>(40 * row)}; }
inline constexpr Rgb kPages[4] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {200, 200, 0}};
inline constexpr Rgb kEndings[3] = {{200, 0, 200}, {0, 200, 200}, {200, 100, 0}};
inline constexpr Rgb kBox{100, 100, 100};
// A SYSTEM sheet whose boxes' piece, from row 240, is grey; black above it.
inline std::string SystemSheet() { return Bmp(656, 322, [](int, int y) { return y < 240 ? Rgb{0, 0, 0} : kBox; }); }

inline constexpr int kMenuX = 500;
inline constexpr int kMenuY = 200;

// Where the player points at: the centre of title item i.
inline int ItemY(int i) { return kMenuY + 48 * i + 20; }
inline constexpr int kItemX = kMenuX + 124;

// One move of the player: from frame `at` of the screen on, the cursor is at
// (x, y); `button` (0 left, 1 right, -1 none) and the key of scan code `key`
// (0 none) are held for `hold` frames from `at`.
struct Move {
  int at;
  int x;
  int y;
  int button = 0;
  int hold = 1;
  int key = 0;
};

class ScreenHarness : public game_test::GameHarness {
 public:
  uint32_t ShownAt(int x, int y) const { return Shown(x, y); }

 protected:
  static constexpr int kGiveUp = 4000;  // frames; then back-to-title requests end any screen

  ScreenHarness() {
    folder_.Write("brand.bmp", Bmp(64, 64, [](int, int) { return kBrand; }));
    folder_.Write("title/title.bmp", Bmp(800, 1176, [](int, int y) {
      return y < 600 ? kTitleBack : y < 896 ? kItemNormal : ItemLit((y - 896) / 48);
    }));
    // The manual's buttons: next, previous and close in rows 56 apart, lit on the right.
    folder_.Write("title/rm_parts.bmp",
                  Bmp(106, 162, [](int x, int y) { return x < 56 ? kItemNormal : ItemLit(y / 56); }));
    for (int i = 0; i < 4; ++i) {
      folder_.Write("title/rm_base" + std::to_string(i + 1) + ".bmp", Bmp(64, 64, [i](int, int) { return kPages[i]; }));
    }
    for (int i = 0; i < 3; ++i) {
      folder_.Write("ed0" + std::to_string(i + 1) + ".bmp", Bmp(64, 64, [i](int, int) { return kEndings[i]; }));
    }
    folder_.Write("SYSTEM.bmp", SystemSheet());
    folder_.Install();
    TextScript::SetSystemPicture(ScriptLoadImage(ScriptArchive, u"SYSTEM", 0, 0));
    ::GetSystemConfig() = SystemConfig{};
    ::GetSystemConfig().titleMenuX = kMenuX;
    ::GetSystemConfig().titleMenuY = kMenuY;
    ::GetSystemConfig().endingCount = 3;
    Game::SettingsChanged = 0;
    Game::SkipPrologue = 0;
    Game::LoadSlot = 0;
    Save::SetFlag(Save::GetCommonData(), Game::kPrologueFlag, false);
  }
  ~ScreenHarness() override {
    TextScript::SetSystemPicture(nullptr);
    Game::SetTitleScreens({});
    Game::SettingsChanged = 0;
  }

  // The player for the next screen; `watch` sees each frame's number (from 1)
  // before that frame runs, with what the previous frame presented.
  void Play(std::vector<Move> moves, std::function<void(int frame)> watch = {}) {
    int frame = 0;
    source_.play = [this, moves = std::move(moves), watch = std::move(watch), frame](game_test::PlayerSource& s) mutable {
      ++frame;
      s.SetMouseButton(0, false);
      s.SetMouseButton(1, false);
      for (const Move& m : moves) {
        if (m.key != 0) s.SetKey(m.key, m.at <= frame && frame < m.at + m.hold);
        if (m.at > frame) continue;
        s.SetCursor(m.x, m.y);
        if (m.button >= 0 && frame < m.at + m.hold) s.SetMouseButton(m.button, true);
      }
      if (watch) watch(frame);
      if (frame > kGiveUp) frame_.SetRequest(App::kRequestTitle);
    };
  }

  int ScreenChildren() {
    int children = 0;
    screen_->ForEachChild([&](DxDraw::ssView*) { ++children; });
    return children;
  }

  game_test::ScriptFolder folder_;
};

}  // namespace screens_test
