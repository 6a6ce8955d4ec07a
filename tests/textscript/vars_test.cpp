#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "script_test_util.h"

namespace {

using namespace TextScript;
using textscript_test::VarsReset;

TEST(ScriptVariables, HashRotatesAndAddsEachByte) {
  EXPECT_EQ(HashScriptName(""), 0u);
  EXPECT_EQ(HashScriptName("A"), 65u * 0x12345678u);
  const uint32_t a = 65u * 0x12345678u;
  EXPECT_EQ(HashScriptName("AB"), ((a << 1) | (a >> 31)) + 66u * 0x12345678u);
}

TEST(ScriptVariables, NamesIgnoreCase) {
  VarsReset reset;
  ScriptVarTable& vars = ScriptVars();
  vars.Declare(u"Flag_a", 0);
  vars.Insert(u"FLAG_A", 5);
  EXPECT_EQ(vars.Count(), 1u);
  EXPECT_EQ(vars.GetValue(u"flag_A", -1), 5);
  // The name keeps the case it was first written in.
  EXPECT_EQ(vars.Find(SCRIPTVARENTRY::kInteger, u"FLAG_A")->Name(), u"Flag_a");
}

TEST(ScriptVariables, GetValueReadsNumbersAndVariables) {
  VarsReset reset;
  ScriptVarTable& vars = ScriptVars();
  vars.Insert(u"15", 99);  // never read: a digit-led operand is a number
  vars.Insert(u"X", -4);
  struct Case {
    std::u16string text;
    int32_t value;
  };
  const std::vector<Case> cases = {
      {u"15", 15},
      {u"0", 0},
      {u"1A", 1},                   // stops at the first non-digit
      {u"4294967295", -1},          // wraps as unsigned 32-bit
      {u"4294967296", 0},
      {u"99999999999", 1215752191}, // 99999999999 mod 2^32
      {u"X", -4},
      {u"x", -4},
      {u"MISSING", 123},
      {u"", 123},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vars.GetValue(c.text, 123), c.value) << platform::Utf16ToUtf8(c.text);
  }
  EXPECT_EQ(vars.Find(SCRIPTVARENTRY::kInteger, u"MISSING"), nullptr);  // reading creates nothing
}

TEST(ScriptVariables, DeclareSkipsNumbersAndExistingNames) {
  VarsReset reset;
  ScriptVarTable& vars = ScriptVars();
  vars.Declare(u"9LIVES", 0);
  vars.Declare(u"", 0);
  EXPECT_EQ(vars.Count(), 0u);
  vars.Insert(u"A", 3);
  vars.Declare(u"a", 0);
  EXPECT_EQ(vars.GetValue(u"A", 0), 3);
}

TEST(ScriptVariables, TwoNamesWithOneHashAreBothFound) {
  VarsReset reset;
  ASSERT_EQ(HashScriptName("AC"), HashScriptName("BA"));
  ScriptVarTable& vars = ScriptVars();
  vars.Insert(u"AC", 1);
  vars.Insert(u"BA", 2);
  EXPECT_EQ(vars.Count(), 2u);
  EXPECT_EQ(vars.GetValue(u"ac", 0), 1);
  EXPECT_EQ(vars.GetValue(u"ba", 0), 2);
  vars.Insert(u"BA", 3);
  EXPECT_EQ(vars.GetValue(u"AC", 0), 1);
  EXPECT_EQ(vars.GetValue(u"BA", 0), 3);
}

TEST(ScriptVariables, SnapshotIsAnIndependentCopyInTableOrder) {
  VarsReset reset;
  ScriptVarTable& vars = ScriptVars();
  for (const char16_t* name : {u"BA", u"ZED", u"AC", u"M"}) vars.Insert(name, 1);
  TakeSnapshot();
  vars.Insert(u"AC", 50);
  vars.Insert(u"NEW", 1);
  const ScriptVarTable& snapshot = ScriptVarSnapshot();
  EXPECT_EQ(snapshot.GetValue(u"AC", -1), 1);
  EXPECT_EQ(snapshot.Find(SCRIPTVARENTRY::kInteger, u"NEW"), nullptr);
  // Ascending hash; names of one hash in the order they were made.
  std::vector<std::u16string> order;
  uint32_t last = 0;
  for (const auto& [hash, entry] : snapshot.Entries()) {
    EXPECT_LE(last, hash);
    EXPECT_EQ(hash, HashScriptName(platform::Utf16ToCp932(entry->Name())));
    last = hash;
    order.emplace_back(entry->Name());
  }
  ASSERT_EQ(order.size(), 4u);
  auto ba = std::find(order.begin(), order.end(), u"BA");
  auto ac = std::find(order.begin(), order.end(), u"AC");
  EXPECT_EQ(ac, ba + 1);
  // A second snapshot replaces the first.
  TakeSnapshot();
  EXPECT_EQ(ScriptVarSnapshot().Count(), 5u);
  EXPECT_EQ(ScriptVarSnapshot().GetValue(u"AC", -1), 50);
}

TEST(ScriptVariables, CloneCopiesEveryField) {
  VarsReset reset;
  SCRIPTVARENTRY* entry = ScriptVars().Insert(u"Name", 42);
  SCRIPTVARENTRY* copy = SCRIPTVARENTRY::Clone(*entry);
  EXPECT_NE(copy, entry);
  EXPECT_EQ(copy->kind, entry->kind);
  EXPECT_EQ(copy->hash, entry->hash);
  EXPECT_EQ(copy->Name(), u"Name");
  EXPECT_NE(copy->name.get(), entry->name.get());
  EXPECT_EQ(copy->value, 42);
  FreeVarEntry(copy);
}

}  // namespace
