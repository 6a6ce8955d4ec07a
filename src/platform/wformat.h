// A printf-style formatter over UTF-16 text with the Windows wide conventions:
// %s and %ls take a wide (char16_t) string, %hs and %S a narrow CP932 string,
// %c a wide character, %hc a narrow one; %d %i %u %o %x %X with h, hh, l, ll,
// I64 and z lengths; %p; %e %f %g; flags "-+ 0#", width and precision (also '*').
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace platform {

// Formats into `buf` of `capacity` units; the text is cut to fit and always
// terminated when capacity > 0. Returns the units written, terminator excluded.
std::size_t FormatTextV(char16_t* buf, std::size_t capacity, const char16_t* format, va_list args);
std::size_t FormatText(char16_t* buf, std::size_t capacity, const char16_t* format, ...);

std::u16string FormatStringV(const char16_t* format, va_list args);
std::u16string FormatString(const char16_t* format, ...);

}  // namespace platform
