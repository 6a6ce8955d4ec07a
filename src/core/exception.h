// The error record every fatal condition travels as, thrown and caught by value,
// and the small printers that report failures.
#pragma once

#include <cstdint>
#include <string>

#include "platform/message_box.h"

template <class Char>
struct ExceptionHandleT;

// Text is UTF-16 throughout; the record is only ever instantiated for char16_t.
template <>
struct ExceptionHandleT<char16_t> {
  static constexpr int kTextSize = 256;  // units of Source and Message, terminator included

  char16_t Source[kTextSize];  // module of the throw site, e.g. u"act" or u"dxdraw/dxsurface"
  int32_t Line;                // source line of the throw site
  void* Ptr;                   // an optional pointer shown in reports; as a rule null
  char16_t Message[kTextSize];
  int32_t Type;                // 0 = error, 1 = quit (shown to nobody)

  // Copies `source` (cut to fit) and the line; returns the record.
  ExceptionHandleT& SetSource(const char16_t* source, int line);

  // Stores type and pointer, formats the message, then copies the whole record to
  // `out` and returns `out`; the caller throws `out` by value.
  static ExceptionHandleT& Format(ExceptionHandleT& record, ExceptionHandleT& out, int type,
                                  void* ptr, const char16_t* format, ...);

  // Empties Source and Message; Line, Ptr and Type keep their values.
  void Clear();
};

using ExceptionHandle = ExceptionHandleT<char16_t>;

inline constexpr int32_t kErrorTypeError = 0;
inline constexpr int32_t kErrorTypeQuit = 1;

// Builds a record from module, line and a formatted message, as a throw site does.
ExceptionHandle MakeError(const char16_t* source, int line, int type, void* ptr,
                          const char16_t* format, ...);

// Builds and throws a Type 0 record.
[[noreturn]] void ThrowError(const char16_t* source, int line, const char16_t* format, ...);

// Formats into a 128-unit buffer and writes it to the debugger output.
void DebugPrintf(const char16_t* format, ...);

// Formats into a 1024-unit buffer and shows it in an OK box; returns the box's result.
int MessageBoxF(platform::WindowHandle owner, const char16_t* caption, const char16_t* format, ...);

// The debugger report of a record, one DebugPrintf a line.
void DebugReportException(const ExceptionHandle& record);

// The text of the message-box report of a record.
std::u16string FormatExceptionReport(const ExceptionHandle& record);

// Internal assertion failures of the engine's own code (a corrupted heap, a count
// released below zero). The handler decides how they are shown; the default writes
// them to the debugger output. Returns the previous handler.
using AssertionHandler = void (*)(const char16_t* module, int line, const char16_t* expression);
void ReportAssertion(const char16_t* module, int line, const char16_t* expression);
AssertionHandler SetAssertionHandler(AssertionHandler handler);
