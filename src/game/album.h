// The page screen the CG album and the scene replay share: pages of thumbnails
// laid out by "config.xml", an exit button and two page buttons, locked items
// shown with the sheet's locked picture and never lit.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "game/config.h"

namespace Game {

struct GalleryNames {
  std::u16string_view section;     // "cgalbum" or "sceneplay"
  std::u16string_view pagePrefix;  // page picture n (from 1) is this + n
  std::u16string_view sheet;       // thumbnail sheet
};

struct GalleryActions {
  // Whether an item may be chosen.
  std::function<bool(const GalleryItem&)> unlocked;
  // Runs a chosen unlocked item while the page is hidden; false leaves the screen.
  std::function<bool(const GalleryItem&)> choose;
  // Called before every page is built.
  std::function<void()> beforePage;
};

// Reads the layout and runs the screen until the exit button, a right click or
// a choice that asks to leave. Everything it made is gone when it returns or throws.
void RunGallery(const GalleryNames& names, const GalleryActions& actions);

}  // namespace Game
