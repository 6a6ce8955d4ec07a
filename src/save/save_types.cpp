#include "save/save_types.h"

namespace Save {

bool GetFlag(const CommonData& data, int n) {
  if (n < 0 || n >= kFlagCount) return false;
  return (data.flags[n / 8] & (0x80 >> (n % 8))) != 0;
}

void SetFlag(CommonData& data, int n, bool on) {
  if (n < 0 || n >= kFlagCount) return;
  const auto mask = static_cast<uint8_t>(0x80 >> (n % 8));
  if (on) {
    data.flags[n / 8] |= mask;
  } else {
    data.flags[n / 8] &= static_cast<uint8_t>(~mask);
  }
}

CommonData& GetCommonData() {
  static CommonData data;
  return data;
}

SceneState& GetSceneState() {
  static SceneState state;
  return state;
}

}  // namespace Save
