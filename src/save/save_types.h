// The game-wide records that the game layer keeps in memory and the save data
// stores: the COMMON record (names and the 16384 read and album flags) and the
// five scene-state records that a save slot carries.
//
// These are memory records; the bytes in "save.dat" are encoded and decoded field
// by field by the save data, never copied from these structs.
#pragma once

#include <cstdint>

namespace Save {

inline constexpr int kNameUnits = 64;        // UTF-16 units of each name, NUL included
inline constexpr int kFlagBytes = 2048;      // 16384 flag bits
inline constexpr int kFlagCount = kFlagBytes * 8;
inline constexpr int kSceneNameBytes = 32;   // a scene-state record: state byte + 31-byte name

// The COMMON record: last saved slot, the player's two names, read and album flags.
struct CommonData {
  int32_t lastSavedSlot = -1;            // slot index 0-98 of the latest save from the dialog; -1 none
  char16_t familyName[kNameUnits] = {};  // "#1" in message text; NUL-terminated
  char16_t givenName[kNameUnits] = {};   // "#2" in message text; NUL-terminated
  uint8_t flags[kFlagBytes] = {};        // bit n in byte n/8 under mask 0x80 >> n%8
};

// Bit n of the flag array; n outside 0..kFlagCount-1 reads as clear.
bool GetFlag(const CommonData& data, int n);
// Sets or clears bit n; n outside the array changes nothing.
void SetFlag(CommonData& data, int n, bool on);

// The process-wide COMMON record the game layer reads and writes.
CommonData& GetCommonData();

// One scene-state record: what the stage shows or plays, for a save to restore.
struct SceneStateRecord {
  uint8_t state = 0;                    // meaning depends on the record (see SceneSlot)
  char name[kSceneNameBytes - 1] = {};  // narrow (CP932) name, NUL-terminated, at most 30 bytes + NUL
};

// The five records, in the order a save slot stores them.
enum SceneSlot : int {
  kSceneBackground = 0,  // 0 black, 1 white, 2 GRP picture, 3 CHR picture as background
  kSceneCharacter = 1,   // 0 none, 1 a CHL picture is shown
  kSceneBgm = 2,         // 0 none, 1 playing
  kSceneSe1 = 3,         // 0 stopped, 1 played once, 2 looping
  kSceneSe2 = 4,         // as kSceneSe1, for channel 2
  kSceneSlotCount = 5,
};

struct SceneState {
  SceneStateRecord records[kSceneSlotCount];
};

// The process-wide scene state of the running game.
SceneState& GetSceneState();

}  // namespace Save
