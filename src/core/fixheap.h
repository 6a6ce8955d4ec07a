// Fixed-size block heaps. A FixHeap is a bitmap allocator laid over one memory
// area; a FixHeapPool is a growing set of such chunks of one block size. Every
// heap and every pool has its own lock (pool lock first, then chunk lock).
//
// The four global pools serve the script engine's small records. Their block
// sizes are given below as multiples of the pointer size: on a 32-bit build they
// are the 24/12/16/32 bytes the records took there, and on 64-bit they leave room
// for every word of a record having grown to a pointer. A record kept in a pool
// must fit its block; its owner checks that where the record is declared:
//
//   static_assert(sizeof(ArgNode) <= kArgNodeBlockSize);
//   static_assert(alignof(ArgNode) <= kFixHeapPoolAlignment);
//
// A request larger than the block size gets null, so a record that outgrows its
// block must raise the constant here, not be allocated by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// One chunk: the holder keeps the header fields and the lock; the area holds the
// allocation bitmap and the blocks. The area's first kHeaderBytes are left
// unused: they are the room of the 32-bit header layout, kept so that the block
// count and the position of block 0 are the same on every build.
class FixHeap {
 public:
  static constexpr std::size_t kHeaderBytes = 48;  // room of the header; the bitmap follows

  FixHeap() = default;
  FixHeap(const FixHeap&) = delete;
  FixHeap& operator=(const FixHeap&) = delete;

  // Lays the heap over `area` of `areaBytes` bytes (not owned). Alignment is at
  // least 4 and a multiple of 4; the block size at least 4 and a multiple of the
  // alignment. False when not even one block fits.
  bool Init(void* area, std::size_t areaBytes, std::size_t blockSize, std::size_t alignment);

  // A free block, or null when `size` exceeds the block size or the heap is full.
  void* Alloc(std::size_t size);

  // True when `p` was the start of a block in use here (now freed), or null.
  // False for a pointer outside the heap, inside a block, or to a free block.
  bool Free(void* p);

  bool Contains(const void* p) const;
  void* Area() const { return m_pArea; }
  std::size_t AreaSize() const { return m_AreaSize; }
  std::size_t BlockSize() const { return m_BlockSize; }
  std::size_t BlockCount() const { return m_BlockCount; }
  std::size_t FreeCount() const;
  uint8_t* DataStart() const { return m_pDataStart; }

 private:
  uint8_t* m_pArea = nullptr;
  std::size_t m_AreaSize = 0;
  uint8_t* m_pBitmap = nullptr;     // in the area; bit 0x80 >> (i % 8) of byte i / 8 set = block i in use
  uint8_t* m_pDataStart = nullptr;  // block 0
  uint8_t* m_pDataEnd = nullptr;    // just past the last block
  std::size_t m_BlockSize = 0;
  std::size_t m_BlockCount = 0;
  std::size_t m_FreeCount = 0;      // read and written under m_Lock only
  // Every bitmap byte before this one is full (0xFF): Alloc starts its search
  // here, Free moves it back. Under m_Lock.
  std::size_t m_FirstOpenByte = 0;
  mutable std::mutex m_Lock;        // kept in the holder: it does not fit the area's 32-bit header
};

class FixHeapPool {
 public:
  // Frees a chunk's area together with its holder.
  struct ChunkDeleter {
    void operator()(FixHeap* heap) const;
  };
  using ChunkPtr = std::unique_ptr<FixHeap, ChunkDeleter>;

  // Each chunk's area is blocksPerChunk x blockSize bytes; the bitmap takes its
  // room from it, so a chunk holds a little fewer blocks than asked. The first
  // chunk is made at once; when it cannot be, the pool starts empty.
  FixHeapPool(std::size_t blockSize, std::size_t blocksPerChunk, std::size_t alignment);
  FixHeapPool(const FixHeapPool&) = delete;
  FixHeapPool& operator=(const FixHeapPool&) = delete;

  // A block from the last-used chunk, else from the first chunk with room, else
  // from a new chunk. Null when `size` exceeds the block size or memory runs out.
  void* Alloc(std::size_t size);

  // True when some chunk freed `p`. A chunk left wholly free is released unless
  // it is the pool's only one.
  bool Free(void* p);

  // A new chunk, not yet in the pool; null when memory runs out.
  ChunkPtr AddChunk();

  std::size_t BlockSize() const { return m_BlockSize; }
  std::size_t ChunkCount() const;

 private:
  std::vector<ChunkPtr> m_Chunks;
  std::size_t m_BlockSize;       // rounded up to the alignment
  std::size_t m_Alignment;
  std::size_t m_BlocksPerChunk;  // asked for; sets the area size
  FixHeap* m_pLastUsed = nullptr;  // tried first by Alloc; may be null
  mutable std::mutex m_Lock;
};

// --- The global pools -------------------------------------------------------

inline constexpr std::size_t kFixHeapPoolAlignment = alignof(void*) > 4 ? alignof(void*) : 4;
inline constexpr std::size_t kFixHeapBlocksPerChunk = 4096;

inline constexpr std::size_t kArgNodeBlockSize = 6 * sizeof(void*);    // script argument nodes
inline constexpr std::size_t kArgItemBlockSize = 3 * sizeof(void*);    // script argument items
inline constexpr std::size_t kVarEntryBlockSize = 4 * sizeof(void*);   // script variable entries
inline constexpr std::size_t kStateNodeBlockSize = 8 * sizeof(void*);  // statement nodes

FixHeapPool& ArgNodePool();
FixHeapPool& ArgItemPool();
FixHeapPool& VarEntryPool();
FixHeapPool& StateNodePool();

namespace fixheap_detail {
// Every file that includes this header makes the pools before its own globals,
// so the pools outlive any global that frees blocks into them at exit.
struct PoolsInit {
  PoolsInit() {
    ArgNodePool();
    ArgItemPool();
    VarEntryPool();
    StateNodePool();
  }
};
[[maybe_unused]] static const PoolsInit kPoolsInit;
}  // namespace fixheap_detail
