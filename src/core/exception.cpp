#include "core/exception.h"

#include <atomic>
#include <cstdarg>
#include <string>

#include "platform/debug_output.h"
#include "platform/text.h"
#include "platform/wformat.h"

ExceptionHandle& ExceptionHandleT<char16_t>::SetSource(const char16_t* source, int line) {
  platform::CopyWide(Source, kTextSize, source != nullptr ? source : u"");
  Line = line;
  return *this;
}

namespace {

// Type, pointer and the formatted message: what Format and MakeError both fill.
void FillRecord(ExceptionHandle& record, int type, void* ptr, const char16_t* format, va_list args) {
  record.Type = type;
  record.Ptr = ptr;
  platform::FormatTextV(record.Message, ExceptionHandle::kTextSize, format, args);
}

ExceptionHandle MakeErrorV(const char16_t* source, int line, int type, void* ptr,
                           const char16_t* format, va_list args) {
  ExceptionHandle record{};
  record.SetSource(source, line);
  FillRecord(record, type, ptr, format, args);
  return record;
}

}  // namespace

ExceptionHandle& ExceptionHandleT<char16_t>::Format(ExceptionHandle& record, ExceptionHandle& out,
                                                    int type, void* ptr, const char16_t* format,
                                                    ...) {
  va_list args;
  va_start(args, format);
  FillRecord(record, type, ptr, format, args);
  va_end(args);
  if (&out != &record) out = record;
  return out;
}

void ExceptionHandleT<char16_t>::Clear() {
  Source[0] = 0;
  Message[0] = 0;
}

ExceptionHandle MakeError(const char16_t* source, int line, int type, void* ptr,
                          const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  ExceptionHandle record = MakeErrorV(source, line, type, ptr, format, args);
  va_end(args);
  return record;
}

void ThrowError(const char16_t* source, int line, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  ExceptionHandle record = MakeErrorV(source, line, kErrorTypeError, nullptr, format, args);
  va_end(args);
  throw record;
}

void DebugPrintf(const char16_t* format, ...) {
  char16_t buffer[128];
  va_list args;
  va_start(args, format);
  std::size_t n = platform::FormatTextV(buffer, 128, format, args);
  va_end(args);
  platform::OutputDebugText(std::u16string_view(buffer, n));
}

int MessageBoxF(platform::WindowHandle owner, const char16_t* caption, const char16_t* format, ...) {
  char16_t buffer[1024];
  va_list args;
  va_start(args, format);
  std::size_t n = platform::FormatTextV(buffer, 1024, format, args);
  va_end(args);
  return platform::ShowMessageBox(owner, std::u16string_view(buffer, n),
                                  caption != nullptr ? caption : u"", platform::MB_OK);
}

void DebugReportException(const ExceptionHandle& record) {
  DebugPrintf(u"Exception Error:\n");
  DebugPrintf(u"    Type: %d\n", record.Type);
  DebugPrintf(u"  Source: %s\n", record.Source);
  DebugPrintf(u"    Line: %d\n", record.Line);
  DebugPrintf(u"     Ptr: %p\n", record.Ptr);
  DebugPrintf(u" Message: %s\n", record.Message);
}

std::u16string FormatExceptionReport(const ExceptionHandle& record) {
  return platform::FormatString(u"Type: %d\r\nSource: %s\r\nLine: %d\r\nPtr: %p\r\nMessage: %s",
                                record.Type, record.Source, record.Line, record.Ptr,
                                record.Message);
}

namespace {

void DefaultAssertionHandler(const char16_t* module, int line, const char16_t* expression) {
  platform::OutputDebugText(platform::FormatString(u"%s(%d): Assertion failed: %s\n", module, line,
                                                   expression != nullptr ? expression : u""));
}

std::atomic<AssertionHandler> g_assertion_handler{&DefaultAssertionHandler};

}  // namespace

void ReportAssertion(const char16_t* module, int line, const char16_t* expression) {
  g_assertion_handler.load()(module, line, expression);
}

AssertionHandler SetAssertionHandler(AssertionHandler handler) {
  return g_assertion_handler.exchange(handler != nullptr ? handler : &DefaultAssertionHandler);
}
