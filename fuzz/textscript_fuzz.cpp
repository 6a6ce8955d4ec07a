// Arbitrary bytes compiled as a script and read as jump and judge tables: every
// failure must be a script error or the program's error record, never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/exception.h"
#include "platform/debug_output.h"
#include "textscript/script_error.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::SetDebugSink([](std::u16string_view) {});
  // An internal assertion (a full pushback stack, a damaged pool) is a finding.
  SetAssertionHandler([](const char16_t*, int, const char16_t*) { __builtin_trap(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  TextScript::ScriptStateGroup group;
  try {
    group.Compile(text, u"fuzz.txt");
  } catch (const ExceptionHandle&) {
  }
  bool tables = true;
  try {
    group.LoadTables(text);
  } catch (const TextScript::ScriptError2&) {
    tables = false;
  }
  if (tables) {
    group.Prepare();
    for (int n = -22; n <= 22; ++n) {
      try {
        TextScript::ScriptStateNode* node = group.EvaluateJudgeTable(n);
        if (node == nullptr || node->m_Opcode != TextScript::kOpPageBreak) __builtin_trap();
      } catch (const TextScript::ScriptError2&) {
      }
    }
  }
  for (TextScript::ScriptStateNode* node = group.GetHead(); node != nullptr; node = node->GetNext()) {
    if (node->m_Opcode == TextScript::kOpLAB) {
      try {
        group.FindLabel(node->Arg(0));
      } catch (const TextScript::ScriptError2&) {
      }
    }
  }
  TextScript::ScriptVars().Clear();
  TextScript::ScriptVarSnapshot().Clear();
  return 0;
}
