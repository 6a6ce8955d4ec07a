// Loading a surface from an archive entry: a picture written by the image
// writer into a folder archive, a missing entry and a damaged one.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <string>

#include "archive/archive.h"
#include "core/exception.h"
#include "dxdraw/dxsurface.h"
#include "platform/text.h"

namespace DxDraw {
namespace {

struct FolderArchive : ::testing::Test {
  std::filesystem::path folder =
      std::filesystem::path(::testing::TempDir()) / ("surface_load_" + std::to_string(::getpid()));
  IArchive* archive = nullptr;

  FolderArchive() { std::filesystem::create_directories(folder); }
  ~FolderArchive() override {
    if (archive != nullptr) archive->Release();
    std::filesystem::remove_all(folder);
  }
  std::u16string Wide(const std::filesystem::path& p) { return platform::Utf8ToUtf16(p.string()); }
  void Open() { archive = OpenDirArchive(Wide(folder)); }
};

TEST_F(FolderArchive, LoadsAPictureIntoANewSurface) {
  DxSurface* picture = CreateSurface(32);
  ASSERT_EQ(picture->Create(6, 4), 1);
  picture->FillRect(nullptr, 0x123456, 255);
  const RECT corner{5, 3, 6, 4};
  picture->FillRect(&corner, 0xABCDEF, 255);
  ASSERT_EQ(picture->SaveBMP32(Wide(folder / "pic.bmp")), 1);
  picture->Release();
  Open();
  ASSERT_NE(archive, nullptr);

  DxSurface* loaded = LoadSurfaceArchive_Dx(archive, u"pic.bmp");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetRefCount(), 1);
  EXPECT_EQ(loaded->GetBounds(), (RECT{0, 0, 6, 4}));  // the bounds follow the load
  uint32_t pixel;
  std::memcpy(&pixel, loaded->GetPixelAddress(5, 3), 4);
  EXPECT_EQ(pixel, 0x00ABCDEFu);
  std::memcpy(&pixel, loaded->GetPixelAddress(0, 0), 4);
  EXPECT_EQ(pixel, 0x00123456u);
  loaded->Release();
}

TEST_F(FolderArchive, MissingOrDamagedEntryThrowsItsReasonAndLeaksNothing) {
  std::ofstream(folder / "notes.bmp") << "BM but not a picture";
  Open();
  ASSERT_NE(archive, nullptr);
  const struct {
    const char16_t* name;
    std::u16string message;
  } cases[] = {
      {u"nope.bmp", u"LoadSurfaceArchive_Dx: file not found 'nope.bmp'.\n"},
      {u"notes.bmp", u"LoadSurfaceArchive_Dx: cannot load notes.bmp: BMP data is truncated or not a BMP.\n"},
  };
  for (const auto& c : cases) {
    try {
      LoadSurfaceArchive_Dx(archive, c.name);
      ADD_FAILURE() << "no throw";
    } catch (const ExceptionHandle& record) {
      EXPECT_EQ(std::u16string(record.Source), u"dxdraw/dxdraw");
      EXPECT_EQ(record.Line, 431);
      EXPECT_EQ(std::u16string(record.Message), c.message);
      EXPECT_EQ(record.Type, 0);
    }
  }
}

}  // namespace
}  // namespace DxDraw
