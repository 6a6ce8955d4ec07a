#include "core/fixheap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

TEST(FixHeap, BlocksPerChunkFollowTheLayout) {
  const struct {
    std::size_t blockSize;
    std::size_t expected;
  } cases[] = {{24, 4072}, {12, 4049}, {16, 4061}, {32, 4078}};
  for (const auto& c : cases) {
    FixHeapPool pool(c.blockSize, 4096, 4);
    std::vector<void*> blocks;
    while (pool.ChunkCount() == 1) {
      void* p = pool.Alloc(c.blockSize);
      ASSERT_NE(p, nullptr);
      blocks.push_back(p);
    }
    // The block that needed a second chunk is the one past the first chunk's count.
    EXPECT_EQ(blocks.size(), c.expected + 1) << c.blockSize;
    for (void* p : blocks) EXPECT_TRUE(pool.Free(p));
    EXPECT_EQ(pool.ChunkCount(), 1u);
  }
}

TEST(FixHeap, EveryBlockHoldsItsOwnBytesAtEachAlignment) {
  struct Case {
    std::size_t area_bytes;
    std::size_t block_size;
    std::size_t alignment;
    std::size_t area_offset;  // from a 16-byte boundary
    std::size_t blocks;       // 0: as the layout gives
  };
  const Case cases[] = {
      {4096, 24, 4, 0, 0}, {4096, 24, 8, 4, 0}, {4096, 32, 16, 4, 0},
      // Small areas whose last block would pass the end: one block is taken away.
      {89, 4, 4, 0, 8}, {125, 8, 8, 4, 8}, {197, 16, 16, 12, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.area_bytes + c.alignment);
    std::vector<uint8_t> buffer(c.area_bytes + 32, 0xEE);
    auto* aligned = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(buffer.data()) + 15) & ~uintptr_t{15});
    uint8_t* area = aligned + c.area_offset;
    FixHeap heap;
    ASSERT_TRUE(heap.Init(area, c.area_bytes, c.block_size, c.alignment));
    if (c.blocks != 0) {
      EXPECT_EQ(heap.BlockCount(), c.blocks);
    }
    std::vector<uint8_t*> blocks;
    while (auto* p = static_cast<uint8_t*>(heap.Alloc(c.block_size))) {
      ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % c.alignment, 0u);
      ASSERT_GE(p, area + FixHeap::kHeaderBytes);
      ASSERT_LE(p + c.block_size, area + c.area_bytes);
      std::memset(p, static_cast<int>(blocks.size() + 1), c.block_size);
      blocks.push_back(p);
    }
    ASSERT_EQ(blocks.size(), heap.BlockCount());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      for (std::size_t b = 0; b < c.block_size; ++b) ASSERT_EQ(blocks[i][b], static_cast<uint8_t>(i + 1)) << i;
    }
    // The bitmap survived the writes: every block frees once, in any order.
    for (std::size_t i = blocks.size(); i-- > 0;) EXPECT_TRUE(heap.Free(blocks[i]));
    EXPECT_EQ(heap.Alloc(c.block_size), blocks[0]);
    EXPECT_EQ(buffer.back(), 0xEE);
  }
}

TEST(FixHeap, InitRoundsSizesAndRejectsTinyAreas) {
  std::vector<uint8_t> area(4096);
  FixHeap heap;
  ASSERT_TRUE(heap.Init(area.data(), area.size(), 10, 3));
  EXPECT_EQ(heap.BlockSize(), 12u);
  ASSERT_TRUE(heap.Init(area.data(), area.size(), 1, 8));
  EXPECT_EQ(heap.BlockSize(), 8u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(heap.DataStart()) % 8, 0u);
  EXPECT_FALSE(heap.Init(area.data(), 40, 4, 4));
  EXPECT_FALSE(heap.Init(area.data(), 60, 64, 4));
  EXPECT_EQ(heap.Alloc(4), nullptr);
}

TEST(FixHeap, AllocatesAdjacentBlocksUntilFull) {
  std::vector<uint8_t> area(1024);
  FixHeap heap;
  ASSERT_TRUE(heap.Init(area.data(), area.size(), 16, 4));
  const std::size_t n = heap.BlockCount();
  ASSERT_GT(n, 8u);
  auto* first = static_cast<uint8_t*>(heap.Alloc(16));
  auto* second = static_cast<uint8_t*>(heap.Alloc(1));
  EXPECT_EQ(first, heap.DataStart());
  EXPECT_EQ(second, first + 16);
  EXPECT_EQ(heap.Alloc(17), nullptr);
  for (std::size_t i = 2; i < n; ++i) ASSERT_NE(heap.Alloc(16), nullptr);
  EXPECT_EQ(heap.FreeCount(), 0u);
  EXPECT_EQ(heap.Alloc(16), nullptr);
  // The last block ends inside the area.
  EXPECT_LE(heap.DataStart() + n * 16, area.data() + area.size());
  // A freed block in the middle is the next one handed out.
  EXPECT_TRUE(heap.Free(second));
  EXPECT_EQ(heap.Alloc(16), second);
}

TEST(FixHeap, FreeRefusesForeignTwiceFreedAndInteriorPointers) {
  std::vector<uint8_t> area(1024);
  FixHeap heap;
  ASSERT_TRUE(heap.Init(area.data(), area.size(), 24, 4));
  auto* a = static_cast<uint8_t*>(heap.Alloc(24));
  auto* b = static_cast<uint8_t*>(heap.Alloc(24));
  const std::size_t freeBefore = heap.FreeCount();

  int outside = 0;
  EXPECT_TRUE(heap.Free(nullptr));
  EXPECT_FALSE(heap.Free(&outside));
  EXPECT_FALSE(heap.Free(area.data()));  // the bitmap, before block 0
  // Regression: a pointer into the middle of a block used to free that block.
  EXPECT_FALSE(heap.Free(b + 4));
  EXPECT_EQ(heap.FreeCount(), freeBefore);

  EXPECT_TRUE(heap.Free(a));
  EXPECT_FALSE(heap.Free(a));
  EXPECT_EQ(heap.FreeCount(), freeBefore + 1);
  EXPECT_TRUE(heap.Free(b));
}

TEST(FixHeapPool, RequestsAboveTheBlockSizeGetNull) {
  FixHeapPool pool(24, 64, 4);
  EXPECT_EQ(pool.Alloc(25), nullptr);
  void* p = pool.Alloc(24);
  EXPECT_NE(p, nullptr);
  EXPECT_TRUE(pool.Free(p));
  EXPECT_FALSE(pool.Free(p));
}

TEST(FixHeapPool, ReleasesAnEmptiedChunkButKeepsTheLastOne) {
  FixHeapPool pool(24, 4096, 4);
  std::vector<void*> first;
  for (int i = 0; i < 4072; ++i) first.push_back(pool.Alloc(24));
  EXPECT_EQ(pool.ChunkCount(), 1u);
  std::vector<void*> second;
  for (int i = 0; i < 10; ++i) second.push_back(pool.Alloc(24));
  EXPECT_EQ(pool.ChunkCount(), 2u);

  for (void* p : second) EXPECT_TRUE(pool.Free(p));
  EXPECT_EQ(pool.ChunkCount(), 1u);
  for (void* p : first) EXPECT_TRUE(pool.Free(p));
  EXPECT_EQ(pool.ChunkCount(), 1u);
  // The kept chunk serves again from block 0.
  EXPECT_EQ(pool.Alloc(24), first[0]);
}

TEST(FixHeapPool, FreeingInAnEarlierChunkReusesIt) {
  FixHeapPool pool(32, 64, 4);
  std::vector<void*> blocks;
  while (pool.ChunkCount() < 3) blocks.push_back(pool.Alloc(32));
  void* early = blocks[3];
  EXPECT_TRUE(pool.Free(early));
  // The last-used chunk was full or the freeing chunk was forgotten; either way
  // the first chunk with room is found.
  std::vector<void*> more;
  bool reused = false;
  for (int i = 0; i < 200 && !reused; ++i) {
    void* p = pool.Alloc(32);
    more.push_back(p);
    reused = p == early;
  }
  EXPECT_TRUE(reused);
  for (void* p : blocks) pool.Free(p);
  for (void* p : more) pool.Free(p);
}

TEST(FixHeapPool, ConcurrentAllocAndFreeKeepTheCounts) {
  FixHeapPool pool(16, 256, 4);
  auto work = [&pool] {
    std::vector<void*> mine;
    for (int round = 0; round < 50; ++round) {
      for (int i = 0; i < 100; ++i) mine.push_back(pool.Alloc(16));
      for (void* p : mine) ASSERT_TRUE(pool.Free(p));
      mine.clear();
    }
  };
  std::thread t1(work), t2(work), t3(work);
  t1.join();
  t2.join();
  t3.join();
  EXPECT_EQ(pool.ChunkCount(), 1u);
}

TEST(GlobalPools, BlocksHoldPointerSizedRecords) {
  struct Words {
    void* w[6];
  };
  static_assert(sizeof(Words) <= kArgNodeBlockSize);
  EXPECT_EQ(ArgNodePool().BlockSize(), kArgNodeBlockSize);
  EXPECT_EQ(ArgItemPool().BlockSize(), kArgItemBlockSize);
  EXPECT_EQ(VarEntryPool().BlockSize(), kVarEntryBlockSize);
  EXPECT_EQ(StateNodePool().BlockSize(), kStateNodeBlockSize);
  void* p = StateNodePool().Alloc(kStateNodeBlockSize);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % kFixHeapPoolAlignment, 0u);
  EXPECT_TRUE(StateNodePool().Free(p));
}

}  // namespace
