// Script variables: named 32-bit integers, global to the whole game, in a table
// keyed by a hash of the upper-case name. A second table, the page snapshot,
// holds a copy of every variable as it was when the current page began; saves
// store the snapshot, in its order (ascending hash, then order of creation).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace TextScript {

// Hash of a narrow name: h = rotl(h, 1) + c * 0x12345678 for each byte, wrapping.
uint32_t HashScriptName(std::string_view bytes);

// The CP932 bytes of a name, ASCII letters upper-cased (trail bytes kept), as
// names are hashed.
std::string ScriptNameKey(std::u16string_view name);

// True when two names are equal without regard to ASCII case.
bool ScriptNameEqual(std::u16string_view a, std::u16string_view b);

// Upper-cases the ASCII letters of a name in place; other characters stay.
void UpperCaseScriptName(std::u16string& name);

// The decimal value of the digits `text` begins with, wrapping as unsigned
// 32-bit; 0 when it begins with none.
uint32_t ParseScriptNumber(std::u16string_view text);

struct SCRIPTVARENTRY {
  static constexpr uint32_t kInteger = 0;
  static constexpr uint32_t kString = 1;  // supported by the table; the engine makes only integers

  uint32_t kind;
  uint32_t hash;                    // HashScriptName of the name's key
  std::unique_ptr<char16_t[]> name;   // as first written (case kept)
  int32_t value;                    // kInteger
  std::unique_ptr<char16_t[]> text;   // kString

  std::u16string_view Name() const { return name.get(); }

  // A new entry from the variable pool with the same kind, hash, name and value.
  static SCRIPTVARENTRY* Clone(const SCRIPTVARENTRY& entry);
  static SCRIPTVARENTRY* Make(uint32_t kind, std::u16string_view name, uint32_t hash);
};

// Returns an entry (and what it owns) to its pool.
void FreeVarEntry(SCRIPTVARENTRY* entry);

class ScriptVarTable {
 public:
  using Map = std::multimap<uint32_t, SCRIPTVARENTRY*>;

  ScriptVarTable() = default;
  ~ScriptVarTable();
  ScriptVarTable(const ScriptVarTable&) = delete;
  ScriptVarTable& operator=(const ScriptVarTable&) = delete;

  // The entry of that kind and name (case ignored), or null.
  SCRIPTVARENTRY* Find(uint32_t kind, std::u16string_view name) const;
  // Sets the integer variable, creating it when missing; its name keeps the
  // case it was first written in.
  SCRIPTVARENTRY* Insert(std::u16string_view name, int32_t value);
  // Creates the variable with `value` unless it exists or the name is empty or
  // begins with a digit (such names are numbers).
  void Declare(std::u16string_view name, int32_t value);
  // The value of an operand: a text beginning with a digit is a decimal number
  // (read up to the first other character, wrapping as unsigned 32-bit);
  // otherwise the variable's value, or `fallback` when there is none.
  int32_t GetValue(std::u16string_view text, int32_t fallback) const;

  // Frees every entry.
  void Clear();
  // Clears this table and copies every entry of `other` into it, in its order.
  void CopyFrom(const ScriptVarTable& other);

  std::size_t Count() const { return m_Entries.size(); }
  const Map& Entries() const { return m_Entries; }

 private:
  Map m_Entries;  // owns the entries
};

// The live table and the page snapshot.
ScriptVarTable& ScriptVars();
ScriptVarTable& ScriptVarSnapshot();

// Copies the live table into the snapshot.
void TakeSnapshot();

}  // namespace TextScript
