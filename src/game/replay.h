// One scene of the replay run again: from its label in replay mode, with the
// back-to-title command turned into "back to the replay menu".
#pragma once

#include <string_view>

namespace Game {

class ScriptStateGroup_App;

// What a replay came to.
enum class ReplayEnd {
  kReturned,      // the scene ended or the player went back to the menu
  kMissingLabel,  // the script has no such label: reported, nothing ran
  kLoad,          // the player chose a load: the caller leaves and lets it go on
};

// Runs `group` from the page of `label`. The menu text, the replay flag and the
// scene records are put back on every way out.
ReplayEnd PlayReplayScene(ScriptStateGroup_App& group, std::u16string_view label);

}  // namespace Game
