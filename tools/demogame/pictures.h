// The picture kinds of the description. Each draws one picture from its line:
// scenery (backgrounds, their layers, characters, cards) and the sheets whose
// regions the engine cuts by fixed rectangles (the SYSTEM sheet, the title
// sheet, the manual buttons, the backlog faces, album and replay pages and
// thumbnails).
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>

#include "canvas.h"
#include "description.h"

namespace demogame {

// A screen button of the album and replay pages as "config.xml" gives it: at
// (x, y), w x h, its normal picture at (sx0, sy0) and its highlighted one at
// (sx1, sy1) of the page picture.
struct PageButton {
  int x = 0, y = 0, w = 0, h = 0, sx0 = 0, sy0 = 0, sx1 = 0, sy1 = 0;
};

// What a picture may draw on besides its own line.
struct PictureContext {
  // Every picture drawn so far, by upper-case name: the layers a thumbnail composes.
  std::map<std::string, std::unique_ptr<Canvas>> drawn;
  // "album" and "replay": exit, previous and next buttons.
  std::map<std::string, std::array<PageButton, 3>> pages;
};

// Draws the picture of a description line; null when the kind is no picture.
// Throws std::runtime_error (naming the line) for bad words.
std::unique_ptr<Canvas> DrawPicture(const Item& item, const PictureContext& context);

// The scenery kinds: backdrop, layer, body, face, card, band, choice.
std::unique_ptr<Canvas> DrawScenery(const Item& item);
// The sheet kinds: system, titlesheet, manualparts, faces, thumbs, thumb, page.
std::unique_ptr<Canvas> DrawSheet(const Item& item, const PictureContext& context);

}  // namespace demogame
