// What the sound engine's own files share, and what its tests reach.
#pragma once

#include "sound/sound.h"
