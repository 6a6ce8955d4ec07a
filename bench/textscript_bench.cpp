// Compile speed of a generated 10,000-line script of messages, commands, labels
// and pages (items per second: lines per second), and label lookup along a chain.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/text.h"
#include "textscript/script_state.h"
#include "textscript/script_vars.h"

namespace {

constexpr int kLines = 10000;

std::string GenerateScript() {
  const std::string message = platform::Utf16ToCp932(u"「今日はいい天気ですね。」と彼女は言った。");
  const std::string more = platform::Utf16ToCp932(u"　空を見上げると、雲がゆっくり流れていた。");
  std::string text;
  int line = 0;
  for (int block = 0; line < kLines; ++block) {
    const std::string n = std::to_string(block);
    const std::string lines[] = {
        ".LAB L" + n,
        ".GRP bg" + n + " 1",
        "@v" + n,
        message,
        more,
        "",
        ".PST flag" + n + " = 1",
        ".PJP flag" + n + " > 3 L" + n,
        ".WAV se" + n + " // effect",
        message,
        "",
        "",
    };
    for (const std::string& l : lines) {
      if (line++ == kLines) break;
      text += l;
      text += "\r\n";
    }
  }
  return text;
}

void CompileScript(benchmark::State& state) {
  const std::string text = GenerateScript();
  for (auto _ : state) {
    TextScript::ScriptStateGroup group;
    group.Compile(text, u"bench.txt");
    benchmark::DoNotOptimize(group.GetCount());
  }
  state.SetItemsProcessed(state.iterations() * kLines);
  TextScript::ScriptVars().Clear();
}
BENCHMARK(CompileScript)->Unit(benchmark::kMillisecond);

// Follows a chain of 5,000 labels, each page jumping to the next one by name.
void FindLabelChain(benchmark::State& state) {
  constexpr int kLabels = 5000;
  std::string text = ".DOF\r\n\r\n";
  for (int i = 0; i < kLabels; ++i) text += ".LAB L" + std::to_string(i) + "\r\n.JMP L" + std::to_string(i + 1) + "\r\n\r\n";
  TextScript::ScriptStateGroup group;
  group.Compile(text, u"labels.txt");
  std::vector<std::u16string> labels;
  for (int i = 0; i < kLabels; ++i) labels.push_back(platform::Utf8ToUtf16("l" + std::to_string(i)));
  for (auto _ : state) {
    for (const std::u16string& label : labels) benchmark::DoNotOptimize(group.FindLabel(label));
  }
  state.SetItemsProcessed(state.iterations() * kLabels);
}
BENCHMARK(FindLabelChain)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
