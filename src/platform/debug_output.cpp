#include "platform/debug_output.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

#include "platform/text.h"

namespace platform {
namespace {

std::mutex& SinkLock() {
  static std::mutex m;
  return m;
}

DebugSink& Sink() {
  static DebugSink sink;
  return sink;
}

}  // namespace

void OutputDebugText(std::u16string_view text) {
  std::lock_guard<std::mutex> lock(SinkLock());
  if (Sink()) {
    Sink()(text);
    return;
  }
  std::string utf8 = Utf16ToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

DebugSink SetDebugSink(DebugSink sink) {
  std::lock_guard<std::mutex> lock(SinkLock());
  return std::exchange(Sink(), std::move(sink));
}

}  // namespace platform
