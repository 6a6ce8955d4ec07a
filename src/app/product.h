// The names the program goes by on the desktop.
#pragma once

#include <string_view>

namespace App {

// The window caption and the prefix of the exception box's caption.
inline constexpr std::u16string_view kProductTitle = u"mesrin 体験版";
// The class the single-instance lock and the window are named after.
inline constexpr std::u16string_view kWindowClass = u"MESRIN";

}  // namespace App
