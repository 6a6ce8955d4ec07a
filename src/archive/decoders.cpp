// Whole-entry decoders: stored, zlib and LZSS.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "archive/archive_impl.h"

// --- LZSS --------------------------------------------------------------------

uint64_t LzssDecode(std::span<uint8_t> output, std::span<const uint8_t> input) {
  constexpr std::size_t kRingSize = 4096;
  constexpr std::size_t kRingMask = kRingSize - 1;
  constexpr std::size_t kRingStart = 0xFEE;
  // The whole ring starts cleared, so every decode of the same stream is alike.
  std::array<uint8_t, kRingSize> ring{};
  std::size_t w = kRingStart;
  const uint8_t* in = input.data();
  const uint8_t* const in_end = in + input.size();
  uint8_t* out = output.data();
  uint8_t* const out_end = out + output.size();
  unsigned flags = 0;
  for (;;) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      if (in == in_end) break;
      flags = *in++ | 0xFF00u;  // eight flag bits with a marker above them
    }
    if (flags & 1) {
      if (in == in_end) break;
      if (out == out_end) return ICompressedFile::kDecodeFailed;
      const uint8_t c = *in++;
      *out++ = c;
      ring[w] = c;
      w = (w + 1) & kRingMask;
    } else {
      if (in_end - in < 2) break;
      const unsigned b0 = in[0];
      const unsigned b1 = in[1];
      in += 2;
      const std::size_t p = b0 | ((b1 & 0xF0) << 4);
      const std::size_t length = (b1 & 0x0F) + 3;
      if (static_cast<std::size_t>(out_end - out) < length) return ICompressedFile::kDecodeFailed;
      // Byte by byte: a match may overlap what it writes.
      for (std::size_t i = 0; i < length; ++i) {
        const uint8_t c = ring[(p + i) & kRingMask];
        *out++ = c;
        ring[w] = c;
        w = (w + 1) & kRingMask;
      }
    }
  }
  return static_cast<uint64_t>(out - output.data());
}

// --- Output ------------------------------------------------------------------

namespace {

// The first block of a growing output; later ones double it.
constexpr uint64_t kFirstBlock = 0x10000;

}  // namespace

std::span<uint8_t> DecodeOutput::Room(uint64_t want) {
  want = std::min(want, m_Size - m_Produced);
  if (m_Growing && m_Capacity - m_Produced < want) {
    const uint64_t capacity = std::min(m_Size, std::max({m_Produced + want, m_Capacity * 2, kFirstBlock}));
    void* grown = capacity + m_Extra > SIZE_MAX ? nullptr
                                                : std::realloc(m_pData, static_cast<std::size_t>(capacity + m_Extra));
    if (grown == nullptr) {
      m_OutOfMemory = true;
      return {};
    }
    m_pData = static_cast<uint8_t*>(grown);
    m_Capacity = capacity;
  }
  want = std::min(want, m_Capacity - m_Produced);
  return {m_pData + m_Produced, static_cast<std::size_t>(want)};
}

void* DecodeOutput::Release() {
  if (m_OutOfMemory) return nullptr;
  if (m_Growing && m_pData == nullptr) {
    // An empty entry still gets a block of its own.
    m_pData = static_cast<uint8_t*>(std::malloc(std::max<std::size_t>(m_Extra, 1)));
  }
  void* block = m_pData;
  m_pData = nullptr;
  return block;
}

// --- Common decoder part -------------------------------------------------------

uint64_t CDecoderBase::Decode(void* output) {
  DecodeOutput out(output, m_DecodedSize);
  return DecodeTo(out);
}

void* CDecoderBase::DecodeToNewBlock(std::size_t extra, uint64_t* produced) {
  DecodeOutput out(m_DecodedSize, extra);
  *produced = DecodeTo(out);
  return out.Release();
}

CDecoderBase::CDecoderBase(IArchiveFile* source, uint64_t decoded_size)
    : m_pSource(source), m_DecodedSize(decoded_size) {
  m_pSource->AddRef();
}

CDecoderBase::~CDecoderBase() { m_pSource->Release(); }

HRESULT CDecoderBase::QueryInterface(const IID& iid, void** out) {
  if (out != nullptr && IsEqualGUID(iid, IArchiveFile::kIid)) {
    m_pSource->AddRef();
    *out = m_pSource;
    return S_OK;
  }
  return CComImpl<ICompressedFile>::QueryInterface(iid, out);
}

bool CDecoderBase::ReadWindow(std::vector<uint8_t>& in) {
  const uint64_t n = m_pSource->GetSize();
  in.resize(static_cast<std::size_t>(n));
  if (n == 0) return true;
  if (m_pSource->Seek(0, IArchiveFile::kSeekBegin) != 0) return false;
  return m_pSource->Read(in.data(), n) == n;
}

// --- Stored ------------------------------------------------------------------

uint64_t CFlatFile::DecodeTo(DecodeOutput& out) {
  // The window lies inside the file, so its size is data that is there.
  const uint64_t n = std::min(m_pSource->GetSize(), m_DecodedSize);
  if (n == 0) return 0;
  if (m_pSource->Seek(0, IArchiveFile::kSeekBegin) != 0) return 0;
  std::span<uint8_t> room = out.Room(n);
  if (room.size() < n) return ICompressedFile::kDecodeFailed;
  return m_pSource->Read(room.data(), n);
}

// --- zlib --------------------------------------------------------------------

uint64_t CZipFile::DecodeTo(DecodeOutput& out) {
  const uint64_t window = m_pSource->GetSize();
  const std::size_t chunk = static_cast<std::size_t>(std::min(window, kStreamChunk));
  if (chunk == 0) return 0;
  std::unique_ptr<uint8_t[]> in(new (std::nothrow) uint8_t[chunk]);
  if (!in) return ICompressedFile::kDecodeFailed;
  if (m_pSource->Seek(0, IArchiveFile::kSeekBegin) != 0) return 0;

  z_stream z{};
  if (inflateInit(&z) != Z_OK) return ICompressedFile::kDecodeFailed;
  struct End {
    z_stream* z;
    ~End() { inflateEnd(z); }
  } end{&z};

  // zlib counts in 32-bit units: the output is handed over in steps it can hold,
  // each as large as what came out so far, so a growing block doubles.
  uint64_t out_left = m_DecodedSize;
  uint64_t produced = 0;
  uint64_t in_left = window;
  bool input_short = false;
  for (;;) {
    if (z.avail_in == 0 && in_left > 0 && !input_short) {
      const uint64_t want = std::min<uint64_t>(in_left, chunk);
      const uint64_t got = m_pSource->Read(in.get(), want);
      if (got < want) input_short = true;
      in_left -= got;
      z.next_in = in.get();
      z.avail_in = static_cast<uInt>(got);
    }
    if (z.avail_out == 0 && out_left > 0) {
      const std::span<uint8_t> room = out.Room(std::clamp<uint64_t>(produced, kFirstBlock, 1u << 30));
      if (room.empty()) return ICompressedFile::kDecodeFailed;
      z.next_out = room.data();
      z.avail_out = static_cast<uInt>(room.size());
      out_left -= room.size();
    }
    const uInt before_out = z.avail_out;
    const uInt before_in = z.avail_in;
    const int r = inflate(&z, Z_NO_FLUSH);
    produced += before_out - z.avail_out;
    out.Commit(before_out - z.avail_out);
    if (r == Z_STREAM_END) return produced;
    if (r == Z_BUF_ERROR || (r == Z_OK && z.avail_out == before_out && z.avail_in == before_in)) {
      // No progress: go on when either side can be refilled; otherwise the output is
      // full while the stream goes on (it runs past the decoded size), or the input
      // is used up before the stream's end.
      const bool more_in = z.avail_in == 0 && in_left > 0 && !input_short;
      const bool more_out = z.avail_out == 0 && out_left > 0;
      if (more_in || more_out) continue;
      if (z.avail_in == 0 && produced < m_DecodedSize) return produced;
      return ICompressedFile::kDecodeFailed;
    }
    if (r != Z_OK) return ICompressedFile::kDecodeFailed;
  }
}

// --- LZSS entries --------------------------------------------------------------

uint64_t CEggFile::DecodeTo(DecodeOutput& out) {
  std::vector<uint8_t> in;
  if (!ReadWindow(in)) return 0;
  // Nine bytes out per byte in is more than any stream makes (144 from 17), so the
  // room never needs to pass what the stored bytes can produce.
  const uint64_t most = std::min<uint64_t>(m_DecodedSize, uint64_t{in.size()} * 9);
  std::span<uint8_t> room = out.Room(most);
  if (room.size() < most) return ICompressedFile::kDecodeFailed;
  return LzssDecode(room, in);
}
