// The manual: four pages ("title/rm_base1" to "title/rm_base4") under three
// buttons of the sheet "title/rm_parts" (previous, next, close), shown above
// whatever the screen holds. Opened from the title and from the menu; while it
// shows, a second opening (the menu again) does nothing. The right button
// anywhere closes it. Each opening starts at the first page and each page
// change loads the page picture again. Requests pass through; the sprites and
// pictures are released on every way out.
#pragma once

namespace Game {

void ShowManual();

}  // namespace Game
