#include "textscript/script_vars.h"

#include <new>

#include "core/fixheap.h"
#include "core/util.h"
#include "platform/text.h"

namespace TextScript {

static_assert(sizeof(SCRIPTVARENTRY) <= kVarEntryBlockSize);
static_assert(alignof(SCRIPTVARENTRY) <= kFixHeapPoolAlignment);

uint32_t HashScriptName(std::string_view bytes) {
  uint32_t h = 0;
  for (unsigned char c : bytes) {
    if (c == 0) break;
    h = ((h << 1) | (h >> 31)) + c * 0x12345678u;
  }
  return h;
}

std::string ScriptNameKey(std::u16string_view name) {
  std::string bytes = platform::Utf16ToCp932(name);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (platform::IsCp932LeadByte(c)) {
      ++i;  // the trail byte is not a letter
    } else {
      bytes[i] = static_cast<char>(AsciiUpper(c));
    }
  }
  return bytes;
}

bool ScriptNameEqual(std::u16string_view a, std::u16string_view b) { return platform::SameIgnoringAsciiCase(a, b); }

void UpperCaseScriptName(std::u16string& name) {
  for (char16_t& c : name) c = AsciiUpper(c);
}

uint32_t ParseScriptNumber(std::u16string_view text) {
  uint32_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') break;
    value = value * 10 + (c - u'0');
  }
  return value;
}

SCRIPTVARENTRY* SCRIPTVARENTRY::Make(uint32_t kind, std::u16string_view name, uint32_t hash) {
  void* block = VarEntryPool().Alloc(sizeof(SCRIPTVARENTRY));
  if (block == nullptr) throw std::bad_alloc();
  auto* entry = new (block) SCRIPTVARENTRY{kind, hash, nullptr, 0, nullptr};
  try {
    entry->name = DuplicateText(name);
  } catch (...) {
    FreeVarEntry(entry);
    throw;
  }
  return entry;
}

SCRIPTVARENTRY* SCRIPTVARENTRY::Clone(const SCRIPTVARENTRY& source) {
  SCRIPTVARENTRY* entry = Make(source.kind, source.Name(), source.hash);
  entry->value = source.value;
  if (source.text) {
    try {
      entry->text = DuplicateText(source.text.get());
    } catch (...) {
      FreeVarEntry(entry);
      throw;
    }
  }
  return entry;
}

void FreeVarEntry(SCRIPTVARENTRY* entry) {
  if (entry == nullptr) return;
  entry->~SCRIPTVARENTRY();
  VarEntryPool().Free(entry);
}

ScriptVarTable::~ScriptVarTable() { Clear(); }

SCRIPTVARENTRY* ScriptVarTable::Find(uint32_t kind, std::u16string_view name) const {
  auto range = m_Entries.equal_range(HashScriptName(ScriptNameKey(name)));
  for (auto it = range.first; it != range.second; ++it) {
    SCRIPTVARENTRY* entry = it->second;
    if (entry->kind == kind && ScriptNameEqual(entry->Name(), name)) return entry;
  }
  return nullptr;
}

SCRIPTVARENTRY* ScriptVarTable::Insert(std::u16string_view name, int32_t value) {
  uint32_t hash = HashScriptName(ScriptNameKey(name));
  auto range = m_Entries.equal_range(hash);
  for (auto it = range.first; it != range.second; ++it) {
    SCRIPTVARENTRY* entry = it->second;
    if (entry->kind == SCRIPTVARENTRY::kInteger && ScriptNameEqual(entry->Name(), name)) {
      entry->value = value;
      return entry;
    }
  }
  SCRIPTVARENTRY* entry = SCRIPTVARENTRY::Make(SCRIPTVARENTRY::kInteger, name, hash);
  entry->value = value;
  try {
    m_Entries.emplace(hash, entry);  // after the entries of the same hash
  } catch (...) {
    FreeVarEntry(entry);
    throw;
  }
  return entry;
}

void ScriptVarTable::Declare(std::u16string_view name, int32_t value) {
  if (name.empty() || (name[0] >= u'0' && name[0] <= u'9')) return;
  if (Find(SCRIPTVARENTRY::kInteger, name) != nullptr) return;
  Insert(name, value);
}

int32_t ScriptVarTable::GetValue(std::u16string_view text, int32_t fallback) const {
  if (!text.empty() && text[0] >= u'0' && text[0] <= u'9') return static_cast<int32_t>(ParseScriptNumber(text));
  SCRIPTVARENTRY* entry = Find(SCRIPTVARENTRY::kInteger, text);
  return entry != nullptr ? entry->value : fallback;
}

void ScriptVarTable::Clear() {
  for (auto& [hash, entry] : m_Entries) FreeVarEntry(entry);
  m_Entries.clear();
}

void ScriptVarTable::CopyFrom(const ScriptVarTable& other) {
  if (&other == this) return;
  Clear();
  for (const auto& [hash, entry] : other.m_Entries) {
    SCRIPTVARENTRY* copy = SCRIPTVARENTRY::Clone(*entry);
    try {
      m_Entries.emplace_hint(m_Entries.end(), hash, copy);
    } catch (...) {
      FreeVarEntry(copy);
      throw;
    }
  }
}

ScriptVarTable& ScriptVars() {
  static ScriptVarTable table;
  return table;
}

ScriptVarTable& ScriptVarSnapshot() {
  static ScriptVarTable table;
  return table;
}

void TakeSnapshot() { ScriptVarSnapshot().CopyFrom(ScriptVars()); }

}  // namespace TextScript
