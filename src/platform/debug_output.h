// The debugger output: where diagnostics of the engine go (UTF-8 to stderr by default).
#pragma once

#include <functional>
#include <string_view>

namespace platform {

// Writes the text as it stands (callers end their lines with "\n").
void OutputDebugText(std::u16string_view text);

// Replaces where the text goes; returns the previous sink. An empty sink restores stderr.
using DebugSink = std::function<void(std::u16string_view)>;
DebugSink SetDebugSink(DebugSink sink);

}  // namespace platform
