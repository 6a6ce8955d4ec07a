// Helpers shared by the script engine's tests: CP932 text, captured debugger
// output and compiled scripts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/exception.h"
#include "platform/debug_output.h"
#include "platform/text.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

namespace textscript_test {

inline std::string Sjis(std::u16string_view text) { return platform::Utf16ToCp932(text); }

inline std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

// Collects what is written to the debugger output while it lives.
class DebugCapture {
 public:
  DebugCapture() {
    m_Previous = platform::SetDebugSink([this](std::u16string_view text) { m_Text += text; });
  }
  ~DebugCapture() { platform::SetDebugSink(m_Previous); }
  const std::u16string& Text() const { return m_Text; }

 private:
  std::u16string m_Text;
  platform::DebugSink m_Previous;
};

// Compiles `source`; a failing compile fails the test.
inline std::unique_ptr<TextScript::ScriptStateGroup> CompileScript(const std::string& source,
                                                                   std::u16string_view name = u"test.txt") {
  auto group = std::make_unique<TextScript::ScriptStateGroup>();
  try {
    group->Compile(source, name);
  } catch (const ExceptionHandle& e) {
    ADD_FAILURE() << "compile failed at line " << e.Line << ": " << platform::Utf16ToUtf8(e.Message);
  }
  return group;
}

// The error record a compile raises; fails the test when it compiles.
inline ExceptionHandle CompileError(const std::string& source, std::u16string_view name = u"bad.txt") {
  DebugCapture quiet;
  TextScript::ScriptStateGroup group;
  try {
    group.Compile(source, name);
  } catch (const ExceptionHandle& e) {
    return e;
  }
  ADD_FAILURE() << "compiled without error: " << source;
  return ExceptionHandle{};
}

inline std::vector<TextScript::ScriptStateNode*> Nodes(const TextScript::ScriptStateGroup& group) {
  std::vector<TextScript::ScriptStateNode*> nodes;
  for (auto* node = group.GetHead(); node != nullptr; node = node->GetNext()) nodes.push_back(node);
  return nodes;
}

inline std::vector<int> Opcodes(const TextScript::ScriptStateGroup& group) {
  std::vector<int> codes;
  for (auto* node : Nodes(group)) codes.push_back(node->m_Opcode);
  return codes;
}

// Empties the global variable tables around a test.
class VarsReset {
 public:
  VarsReset() { Clear(); }
  ~VarsReset() { Clear(); }

 private:
  static void Clear() {
    TextScript::ScriptVars().Clear();
    TextScript::ScriptVarSnapshot().Clear();
  }
};

}  // namespace textscript_test
