// The state of the game layer that the commands change and the save data keeps:
// the executor's modes, the reading speeds, the read flags, the backlog, the
// album and scene-name lists and the scene records. One instance of each for
// the whole program; everything runs on the game thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "save/save_types.h"

namespace Game {

// Executor state; the stage build sets the first three to 0.
extern int32_t SkipMode;      // 0 off; 1 started by the skip button; 2 while a Ctrl key is held
extern int32_t AutoMode;      // 1 while auto mode runs
extern int32_t MessageShown;  // 1 from the end of a message line to the page break ending its page
// The text speed as a percentage of the message window's delay per character
// (m_DelayBase): 0 (all at once), 50, 200 or 400; SetMessageSpeed sets it.
extern int32_t MessageDelayPercent;
extern int32_t AutoWait;      // auto-mode wait setting in ms: 0, 1, 100, 600 or 1000
extern int32_t LoadSlot;      // 0-based slot a pending load request loads
extern int32_t SkipPrologue;  // set by the title: a new game starts at the label "PRSK"

// Change bits the settings dialogs set; the readers clear the bits they handle.
extern int32_t SettingsChanged;
inline constexpr int32_t kSkipUnreadChanged = 0x4;  // the stop-at-unread-text option changed
inline constexpr int32_t kFontChanged = 0x10;       // the font face changed

// Channels of the game's sounds.
enum : int { kChannelBgm = 0, kChannelSe1 = 1, kChannelSe2 = 2, kChannelVoice = 3, kChannelCount = 4 };

// Read flags live in the COMMON record: bit n is page n read to its end. The
// last bit is the prologue-seen flag, so pages run 0..kReadFlagPages-1; a page
// beyond that is never marked and always tests unread (skipping stops there).
inline constexpr int kPrologueFlag = Save::kFlagCount - 1;
inline constexpr int kReadFlagPages = kPrologueFlag;
void SetReadFlag(int page);
int TestReadFlag(int page);
void SetPrologueSeen();

void SetLoadSlot(int slot);

// The per-character callback of the message text: throws ScriptException 3
// (draw the text again) when the font face changed.
void CheckScriptAbort();

// Reading speeds by index, as the settings file ("MessageWait", "MessageSkip") and
// the menu hold them: message speed 0 (fastest) to 3 (slowest), setting
// MessageDelayPercent; auto wait 0-4, setting AutoWait. An index outside the
// table leaves the setting as it is.
void SetMessageSpeed(int index);
int GetMessageSpeed();
void SetAutoSpeed(int index);
int GetAutoSpeed();

// One message as the backlog shows it.
struct BacklogEntry {
  std::u16string text;   // as shown, names expanded
  std::u16string voice;  // upper-case voice name; empty when the message had none
};

// The messages read in this game cycle, oldest first, never more than kCapacity.
class BacklogList {
 public:
  static constexpr std::size_t kCapacity = 60;

  // Appends, dropping the oldest entry past the capacity. A voice "00" (any
  // case) counts as none.
  void Append(std::u16string_view text, std::u16string_view voice);
  // Empties the list (a load): the page it starts on has nothing before it.
  void Clear();
  // A page begins: a step back returns the list to what it holds now.
  void MarkPageStart();
  // Back to the list as the page began: the page's own messages go, and the
  // older ones they pushed out come back.
  void BackToPageStart();
  std::size_t Size() const { return m_Entries.size(); }
  bool Empty() const { return m_Entries.empty(); }
  const BacklogEntry& operator[](std::size_t i) const { return m_Entries[i]; }
  const BacklogEntry& Back() const { return m_Entries.back(); }

 private:
  std::deque<BacklogEntry> m_Entries;
  std::size_t m_PageStartSize = 0;          // entries when the page began
  std::vector<BacklogEntry> m_DroppedOnPage;  // pushed out since then, oldest first
};

// Names kept once each regardless of case, in the order they were added: the
// album keys (three-character prefixes of the GRP pictures shown) and the scene
// names unlocked for replay (stored upper case).
using NameList = std::vector<std::u16string>;
bool ContainsName(const NameList& list, std::u16string_view name);
// Appends `name` unless the list holds it; true when appended.
bool AddName(NameList& list, std::u16string_view name);

// The game cycle's lists; live from the start of RunGameSession to its end.
BacklogList& Backlog();
NameList& AlbumList();

// The scene records (Save::GetSceneState) by slot. Names are stored narrow and
// cut at a character boundary to fit the record.
void SetSceneRecord(Save::SceneSlot slot, uint8_t state, std::u16string_view name = {});
uint8_t SceneRecordState(Save::SceneSlot slot);
std::u16string SceneRecordName(Save::SceneSlot slot);
// Every record state 0, every name empty.
void ClearSceneState();

}  // namespace Game
