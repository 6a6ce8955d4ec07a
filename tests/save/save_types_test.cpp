// The flag bits of the COMMON record.
#include <gtest/gtest.h>

#include "save/save_types.h"

namespace {

TEST(SaveFlags, BitNLivesInByteNDiv8UnderMask0x80ShiftedRight) {
  struct Case {
    int n;
    int byte;
    uint8_t mask;
  };
  for (Case c : {Case{0, 0, 0x80}, Case{7, 0, 0x01}, Case{8, 1, 0x80}, Case{13, 1, 0x04},
                 Case{Save::kFlagCount - 1, Save::kFlagBytes - 1, 0x01}}) {
    Save::CommonData data;
    Save::SetFlag(data, c.n, true);
    EXPECT_EQ(data.flags[c.byte], c.mask) << c.n;
    EXPECT_TRUE(Save::GetFlag(data, c.n)) << c.n;
    Save::SetFlag(data, c.n, false);
    EXPECT_EQ(data.flags[c.byte], 0) << c.n;
  }
}

TEST(SaveFlags, NumbersOutsideTheArrayReadClearAndWriteNothing) {
  Save::CommonData data;
  for (int n : {-1, Save::kFlagCount, 1 << 30}) {
    Save::SetFlag(data, n, true);
    EXPECT_FALSE(Save::GetFlag(data, n)) << n;
  }
  for (uint8_t b : data.flags) ASSERT_EQ(b, 0);
}

}  // namespace
