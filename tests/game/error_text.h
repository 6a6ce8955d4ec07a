// The message of the error record a call throws, as UTF-8; empty when it throws none.
#pragma once

#include <functional>
#include <string>

#include "core/exception.h"
#include "platform/text.h"

namespace game_test {

inline std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const ExceptionHandle& e) {
    return platform::Utf16ToUtf8(e.Message);
  }
  return "";
}

}  // namespace game_test
