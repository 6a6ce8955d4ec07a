#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/file.h"
#include "platform/message_box.h"

namespace platform {
namespace {

TEST(MessageBox, HeadlessAnswersTheDefaultButtonOrTheConfiguredAnswer) {
  HeadlessMessageBox box;
  box.SetEcho(false);
  IMessageBox* previous = SetMessageBoxService(&box);
  EXPECT_EQ(ShowMessageBox(nullptr, u"text", u"エラー", MB_OK), IDOK);
  EXPECT_EQ(ShowMessageBox(nullptr, u"q", u"確認", MB_YESNO), IDYES);
  EXPECT_EQ(ShowMessageBox(nullptr, u"q", u"確認", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(ShowMessageBox(nullptr, u"a", u"x", MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
  box.SetAnswer(IDRETRY);
  EXPECT_EQ(ShowMessageBox(nullptr, u"a", u"x", MB_ABORTRETRYIGNORE), IDRETRY);
  SetMessageBoxService(previous);
  ASSERT_EQ(box.shown().size(), 5u);
  EXPECT_EQ(box.shown()[0].caption, u"エラー");
}

TEST(DebugOutput, SinkCapturesTextAndCanBeRestored) {
  std::u16string seen;
  DebugSink previous = SetDebugSink([&](std::u16string_view t) { seen += t; });
  OutputDebugText(u"one\n");
  OutputDebugText(u"二\n");
  SetDebugSink(previous);
  EXPECT_EQ(seen, u"one\n二\n");
}

TEST(Clock, FakeClockWrapsAt32BitsAndScopedClockRestores) {
  FakeClock fake(0xFFFFFFF0u);
  {
    ScopedClock scoped(&fake);
    uint32_t start = TimeGetTime();
    Clock().SleepMs(0x20);
    EXPECT_EQ(TimeGetTime(), 0x10u);
    EXPECT_EQ(TimeGetTime() - start, 0x20u);  // elapsed time survives the wrap
  }
  EXPECT_NE(&Clock(), static_cast<IClock*>(&fake));
}

TEST(File, ReadsAtOffsetsWritesAndRefusesFolders) {
  auto dir = std::filesystem::temp_directory_path() / "engine_file_test";
  std::filesystem::create_directories(dir);
  auto path = dir / "f.bin";
  {
    File f = File::CreateForWrite(path);
    ASSERT_TRUE(f.IsOpen());
    ASSERT_TRUE(f.Write("0123456789", 10));
  }
  File f = File::OpenRead(WidePath(path.u16string()));
  ASSERT_TRUE(f.IsOpen());
  EXPECT_EQ(f.Size(), 10);
  char buf[8] = {};
  EXPECT_EQ(f.ReadAt(buf, 4, 6), 4);
  EXPECT_EQ(std::string(buf, 4), "6789");
  EXPECT_EQ(f.ReadAt(buf, 8, 8), 2);  // short at the end
  EXPECT_EQ(f.Seek(3, File::Origin::kBegin), 3);
  EXPECT_EQ(f.Read(buf, 2), 2);
  EXPECT_EQ(std::string(buf, 2), "34");
  EXPECT_FALSE(File::OpenRead(dir).IsOpen());
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(File::OpenRead(dir / "pipe").IsOpen());  // refused, without waiting for a writer
  EXPECT_FALSE(File::OpenRead(dir / "missing").IsOpen());
  EXPECT_EQ(WidePath(u"a\\b/c.txt"), std::filesystem::path("a/b/c.txt"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace platform
