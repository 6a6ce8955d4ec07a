#include "core/fixheap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/exception.h"

namespace {

constexpr std::size_t RoundUp(std::size_t v, std::size_t m) { return (v + m - 1) / m * m; }

}  // namespace

// --- FixHeap ------------------------------------------------------------------

bool FixHeap::Init(void* area, std::size_t areaBytes, std::size_t blockSize, std::size_t alignment) {
  std::lock_guard<std::mutex> guard(m_Lock);
  m_pArea = static_cast<uint8_t*>(area);
  m_AreaSize = areaBytes;
  m_BlockCount = 0;
  m_FreeCount = 0;
  if (area == nullptr) return false;

  const std::size_t align = RoundUp(std::max<std::size_t>(alignment, 4), 4);
  m_BlockSize = RoundUp(std::max<std::size_t>(blockSize, 4), align);

  // Each block costs its bytes and one bitmap bit; 415 bits are the header's
  // room and the slack of the rounding below.
  if (areaBytes * 8 <= 415) return false;
  std::size_t n = (areaBytes * 8 - 415) / (m_BlockSize * 8 + 1);
  if (n == 0) return false;

  const std::size_t bitmapBytes = (n + 7) / 8;
  const uintptr_t base = reinterpret_cast<uintptr_t>(area);
  const uintptr_t start = RoundUp(base + ((bitmapBytes + 54) & ~std::size_t{3}), align);
  const uintptr_t limit = base + areaBytes;
  uintptr_t end = start + n * m_BlockSize;
  if (end > limit) {
    if (n == 1) return false;
    --n;
    end -= m_BlockSize;
  }

  m_pBitmap = m_pArea + kHeaderBytes;
  m_pDataStart = m_pArea + (start - base);
  m_pDataEnd = m_pArea + (end - base);
  std::memset(m_pBitmap, 0, bitmapBytes);
  m_BlockCount = n;
  m_FreeCount = n;
  m_FirstOpenByte = 0;
  return true;
}

void* FixHeap::Alloc(std::size_t size) {
  if (size > m_BlockSize) return nullptr;
  std::lock_guard<std::mutex> guard(m_Lock);
  if (m_FreeCount == 0) return nullptr;
  // The lowest free block, as a search from block 0 would find it: the bytes
  // before m_FirstOpenByte are known to be full.
  for (std::size_t i = m_FirstOpenByte * 8; i < m_BlockCount; i += 8) {
    uint8_t& bits = m_pBitmap[i / 8];
    if (bits == 0xFF) continue;
    m_FirstOpenByte = i / 8;
    for (std::size_t bit = 0; bit < 8 && i + bit < m_BlockCount; ++bit) {
      const uint8_t mask = static_cast<uint8_t>(0x80u >> bit);
      if ((bits & mask) == 0) {
        bits |= mask;
        --m_FreeCount;
        return m_pDataStart + (i + bit) * m_BlockSize;
      }
    }
  }
  ReportAssertion(u"fixheap", 109, u"free count and bitmap disagree");
  return nullptr;
}

bool FixHeap::Contains(const void* p) const {
  auto q = static_cast<const uint8_t*>(p);
  return m_pDataStart != nullptr && q >= m_pDataStart && q < m_pDataEnd;
}

bool FixHeap::Free(void* p) {
  if (p == nullptr) return true;
  if (!Contains(p)) return false;
  const std::size_t offset = static_cast<std::size_t>(static_cast<uint8_t*>(p) - m_pDataStart);
  // A pointer into the middle of a block is not one this heap handed out.
  if (offset % m_BlockSize != 0) return false;
  const std::size_t i = offset / m_BlockSize;
  const uint8_t mask = static_cast<uint8_t>(0x80u >> (i % 8));
  std::lock_guard<std::mutex> guard(m_Lock);
  uint8_t& bits = m_pBitmap[i / 8];
  if ((bits & mask) == 0) return false;
  bits &= static_cast<uint8_t>(~mask);
  ++m_FreeCount;
  m_FirstOpenByte = std::min(m_FirstOpenByte, i / 8);
  return true;
}

std::size_t FixHeap::FreeCount() const {
  std::lock_guard<std::mutex> guard(m_Lock);
  return m_FreeCount;
}

// --- FixHeapPool --------------------------------------------------------------

void FixHeapPool::ChunkDeleter::operator()(FixHeap* heap) const {
  void* area = heap->Area();
  delete heap;
  std::free(area);
}

FixHeapPool::FixHeapPool(std::size_t blockSize, std::size_t blocksPerChunk, std::size_t alignment)
    : m_BlockSize(RoundUp(std::max<std::size_t>(blockSize, 4),
                          RoundUp(std::max<std::size_t>(alignment, 4), 4))),
      m_Alignment(alignment),
      m_BlocksPerChunk(blocksPerChunk) {
  m_Chunks.reserve(16);
  if (ChunkPtr first = AddChunk()) {
    m_pLastUsed = first.get();
    m_Chunks.push_back(std::move(first));
  }
}

FixHeapPool::ChunkPtr FixHeapPool::AddChunk() {
  const std::size_t bytes = m_BlocksPerChunk * m_BlockSize;
  if (bytes == 0) return nullptr;
  FixHeap* heap = new (std::nothrow) FixHeap;
  if (heap == nullptr) return nullptr;
  void* area = std::malloc(bytes);
  if (area == nullptr) {
    delete heap;
    return nullptr;
  }
  if (!heap->Init(area, bytes, m_BlockSize, m_Alignment)) {
    delete heap;
    std::free(area);
    return nullptr;
  }
  return ChunkPtr(heap);
}

void* FixHeapPool::Alloc(std::size_t size) {
  if (size > m_BlockSize) return nullptr;
  std::lock_guard<std::mutex> guard(m_Lock);
  if (m_pLastUsed != nullptr) {
    if (void* p = m_pLastUsed->Alloc(size)) return p;
  }
  m_pLastUsed = nullptr;
  for (const ChunkPtr& chunk : m_Chunks) {
    if (void* p = chunk->Alloc(size)) {
      m_pLastUsed = chunk.get();
      return p;
    }
  }
  ChunkPtr chunk = AddChunk();
  if (!chunk) return nullptr;
  void* p = chunk->Alloc(size);
  m_pLastUsed = chunk.get();
  try {
    m_Chunks.push_back(std::move(chunk));
  } catch (const std::bad_alloc&) {
    m_pLastUsed = nullptr;
    return nullptr;
  }
  return p;
}

bool FixHeapPool::Free(void* p) {
  std::lock_guard<std::mutex> guard(m_Lock);
  for (auto it = m_Chunks.begin(); it != m_Chunks.end(); ++it) {
    FixHeap* chunk = it->get();
    if (!chunk->Free(p)) continue;
    if (chunk == m_pLastUsed) m_pLastUsed = nullptr;
    // The last chunk is kept, so a pool that empties does not start over.
    if (m_Chunks.size() > 1 && chunk->FreeCount() == chunk->BlockCount()) m_Chunks.erase(it);
    return true;
  }
  return false;
}

std::size_t FixHeapPool::ChunkCount() const {
  std::lock_guard<std::mutex> guard(m_Lock);
  return m_Chunks.size();
}

// --- The global pools -----------------------------------------------------------

FixHeapPool& ArgNodePool() {
  static FixHeapPool pool(kArgNodeBlockSize, kFixHeapBlocksPerChunk, kFixHeapPoolAlignment);
  return pool;
}

FixHeapPool& ArgItemPool() {
  static FixHeapPool pool(kArgItemBlockSize, kFixHeapBlocksPerChunk, kFixHeapPoolAlignment);
  return pool;
}

FixHeapPool& VarEntryPool() {
  static FixHeapPool pool(kVarEntryBlockSize, kFixHeapBlocksPerChunk, kFixHeapPoolAlignment);
  return pool;
}

FixHeapPool& StateNodePool() {
  static FixHeapPool pool(kStateNodeBlockSize, kFixHeapBlocksPerChunk, kFixHeapPoolAlignment);
  return pool;
}
