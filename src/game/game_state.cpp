#include "game/game_state.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "platform/text.h"
#include "textscript/script_host.h"
#include "textscript/script_vars.h"

namespace Game {

int32_t SkipMode = 0;
int32_t AutoMode = 0;
int32_t MessageShown = 0;
int32_t MessageDelayPercent = 100;  // until the settings are applied at start-up
int32_t AutoWait = 1;
int32_t LoadSlot = 0;
int32_t SkipPrologue = 0;
int32_t SettingsChanged = 0;

namespace {

// MessageDelayPercent by message-speed index.
constexpr std::array<int32_t, 4> kMessageSpeeds = {0, 50, 200, 400};
constexpr std::array<int32_t, 5> kAutoWaits = {0, 1, 100, 600, 1000};

// The index of `value` in `table`, or `fallback`.
template <std::size_t N>
int IndexOf(const std::array<int32_t, N>& table, int32_t value, int fallback) {
  for (std::size_t i = 0; i < N; ++i) {
    if (table[i] == value) return static_cast<int>(i);
  }
  return fallback;
}

}  // namespace

void SetReadFlag(int page) {
  if (page < 0 || page >= kReadFlagPages) return;
  Save::SetFlag(Save::GetCommonData(), page, true);
}

int TestReadFlag(int page) {
  if (page < 0 || page >= kReadFlagPages) return 0;
  return Save::GetFlag(Save::GetCommonData(), page) ? 1 : 0;
}

void SetPrologueSeen() { Save::SetFlag(Save::GetCommonData(), kPrologueFlag, true); }

void SetLoadSlot(int slot) { LoadSlot = slot; }

void CheckScriptAbort() {
  if ((SettingsChanged & kFontChanged) != 0) throw ScriptException{ScriptException::kRedraw};
}

void SetMessageSpeed(int index) {
  if (index >= 0 && index < static_cast<int>(kMessageSpeeds.size())) MessageDelayPercent = kMessageSpeeds[index];
}

int GetMessageSpeed() { return IndexOf(kMessageSpeeds, MessageDelayPercent, 2); }

void SetAutoSpeed(int index) {
  if (index >= 0 && index < static_cast<int>(kAutoWaits.size())) AutoWait = kAutoWaits[index];
}

int GetAutoSpeed() { return IndexOf(kAutoWaits, AutoWait, 3); }

void BacklogList::Append(std::u16string_view text, std::u16string_view voice) {
  if (TextScript::ScriptNameEqual(voice, u"00")) voice = {};
  BacklogEntry entry{std::u16string(text), std::u16string(voice)};
  TextScript::UpperCaseScriptName(entry.voice);
  m_Entries.push_back(std::move(entry));
  while (m_Entries.size() > kCapacity) {
    // A step back needs no more of them than the page began with.
    if (m_DroppedOnPage.size() < m_PageStartSize) m_DroppedOnPage.push_back(std::move(m_Entries.front()));
    m_Entries.pop_front();
  }
}

void BacklogList::Clear() {
  m_Entries.clear();
  MarkPageStart();
}

void BacklogList::MarkPageStart() {
  m_PageStartSize = m_Entries.size();
  m_DroppedOnPage.clear();
}

void BacklogList::BackToPageStart() {
  // What the page began with is the first m_PageStartSize of everything
  // since: the dropped entries, then those still listed.
  m_Entries.insert(m_Entries.begin(), std::make_move_iterator(m_DroppedOnPage.begin()),
                   std::make_move_iterator(m_DroppedOnPage.end()));
  m_Entries.resize(std::min(m_Entries.size(), m_PageStartSize));
  m_DroppedOnPage.clear();
}

bool ContainsName(const NameList& list, std::u16string_view name) {
  for (const auto& item : list) {
    if (TextScript::ScriptNameEqual(item, name)) return true;
  }
  return false;
}

bool AddName(NameList& list, std::u16string_view name) {
  if (ContainsName(list, name)) return false;
  list.emplace_back(name);
  return true;
}

BacklogList& Backlog() {
  static BacklogList list;
  return list;
}

NameList& AlbumList() {
  static NameList list;
  return list;
}

void SetSceneRecord(Save::SceneSlot slot, uint8_t state, std::u16string_view name) {
  Save::SceneStateRecord& record = Save::GetSceneState().records[slot];
  record.state = state;
  std::string narrow = platform::Utf16ToCp932(name);
  // Cut at a whole character: a lead byte never stands alone at the end.
  std::size_t length = 0;
  const std::size_t room = sizeof(record.name) - 1;
  while (length < narrow.size()) {
    std::size_t step = platform::IsCp932LeadByte(static_cast<unsigned char>(narrow[length])) ? 2 : 1;
    if (length + step > room || length + step > narrow.size()) break;
    length += step;
  }
  std::memset(record.name, 0, sizeof(record.name));
  std::memcpy(record.name, narrow.data(), length);
}

uint8_t SceneRecordState(Save::SceneSlot slot) { return Save::GetSceneState().records[slot].state; }

std::u16string SceneRecordName(Save::SceneSlot slot) {
  const Save::SceneStateRecord& record = Save::GetSceneState().records[slot];
  return platform::Cp932ToUtf16(std::string_view(record.name, strnlen(record.name, sizeof(record.name))));
}

void ClearSceneState() {
  for (int i = 0; i < Save::kSceneSlotCount; ++i) SetSceneRecord(static_cast<Save::SceneSlot>(i), 0);
}

}  // namespace Game
