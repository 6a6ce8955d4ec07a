#include "core/exception.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/debug_output.h"
#include "platform/message_box.h"

namespace {

TEST(ExceptionHandle, FormatCopiesTheWholeRecordAndTheThrownCopyIsIndependent) {
  ExceptionHandle local{};
  local.SetSource(u"act", 224);
  ExceptionHandle out{};
  try {
    throw ExceptionHandle::Format(local, out, 0, nullptr, u"MakeACT: %s", u"Empty Memory!!");
  } catch (ExceptionHandle caught) {
    local.Message[0] = u'X';
    local.Line = 1;
    EXPECT_EQ(std::u16string(caught.Source), u"act");
    EXPECT_EQ(caught.Line, 224);
    EXPECT_EQ(std::u16string(caught.Message), u"MakeACT: Empty Memory!!");
    EXPECT_EQ(caught.Type, 0);
  }
}

TEST(ExceptionHandle, ClearEmptiesTextsAndKeepsTheRest) {
  int marker = 0;
  ExceptionHandle e = MakeError(u"game", 7, kErrorTypeQuit, &marker, u"Quit");
  e.Clear();
  EXPECT_EQ(e.Source[0], 0);
  EXPECT_EQ(e.Message[0], 0);
  EXPECT_EQ(e.Line, 7);
  EXPECT_EQ(e.Ptr, &marker);
  EXPECT_EQ(e.Type, kErrorTypeQuit);
}

TEST(ExceptionHandle, LongTextsAreCutToTheirBuffers) {
  std::u16string long_text(600, u'x');
  ExceptionHandle e = MakeError(long_text.c_str(), 1, 0, nullptr, u"%s", long_text.c_str());
  EXPECT_EQ(std::u16string(e.Source).size(), 255u);
  EXPECT_EQ(std::u16string(e.Message).size(), 255u);
}

TEST(ExceptionHandle, ThrowErrorThrowsATypeZeroRecord) {
  try {
    ThrowError(u"archive", 12, u"cannot open '%s'", u"system.saf");
    FAIL();
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(e.Type, kErrorTypeError);
    EXPECT_EQ(std::u16string(e.Message), u"cannot open 'system.saf'");
  }
}

TEST(Diagnostics, DebugReportAndBoxReportHaveTheirFixedForms) {
  std::u16string seen;
  platform::DebugSink previous = platform::SetDebugSink([&](std::u16string_view t) { seen += t; });
  ExceptionHandle e = MakeError(u"main", 3, 0, nullptr, u"bad");
  DebugReportException(e);
  DebugPrintf(u"%s", std::u16string(300, u'y').c_str());  // cut to 127 units
  platform::SetDebugSink(previous);
  std::u16string ptr(sizeof(void*) * 2, u'0');
  EXPECT_EQ(seen.substr(0, seen.size() - 127),
            u"Exception Error:\n    Type: 0\n  Source: main\n    Line: 3\n     Ptr: " + ptr +
                u"\n Message: bad\n");
  EXPECT_EQ(FormatExceptionReport(e),
            u"Type: 0\r\nSource: main\r\nLine: 3\r\nPtr: " + ptr + u"\r\nMessage: bad");
}

TEST(Diagnostics, MessageBoxFShowsAnOkBox) {
  platform::HeadlessMessageBox box;
  box.SetEcho(false);
  platform::IMessageBox* previous = platform::SetMessageBoxService(&box);
  EXPECT_EQ(MessageBoxF(nullptr, u"エラー", u"File not found '%s'", u"x.rsp"), platform::IDOK);
  platform::SetMessageBoxService(previous);
  ASSERT_EQ(box.shown().size(), 1u);
  EXPECT_EQ(box.shown()[0].text, u"File not found 'x.rsp'");
  EXPECT_EQ(box.shown()[0].flags, platform::MB_OK);
}

}  // namespace
