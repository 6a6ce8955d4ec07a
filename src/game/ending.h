// The ending slideshow of END and END2: the pictures "ed01", "ed02", ... up to
// the ending picture count of "config.xml", each faded in and out over 17
// frames and held 5 seconds between (the last one 20), a decide press ending a
// hold early. After the last picture the music playing on the BGM channel
// fades out over 40 steps of 100 ms from the level the settings give it (none
// when the music is switched off) and stops. Requests pass through; the sprite
// and picture are released on every way out.
#pragma once

namespace Game {

void ShowEndingSlides();

// The music level after `step` of the 40 fade steps (1-40) from the BGM
// level `start`: falls by start / 40 a step, never below 0.
int EndingMusicLevel(int start, int step);

}  // namespace Game
