// Entry windows and their memory mappings.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "archive/archive_impl.h"

// --- CArchiveFile --------------------------------------------------------------

CArchiveFile::CArchiveFile(std::u16string_view name, IArchive* owner, platform::File file,
                           uint64_t base, uint64_t size)
    : m_pOwner(owner), m_Name(name), m_File(std::move(file)), m_Base(base), m_Size(size) {
  if (m_pOwner != nullptr) m_pOwner->AddRef();
}

CArchiveFile::~CArchiveFile() {
  if (m_pOwner != nullptr) m_pOwner->Release();
}

HRESULT CArchiveFile::QueryInterface(const IID& iid, void** out) {
  if (out != nullptr && IsEqualGUID(iid, IArchive::kIid)) {
    if (m_pOwner == nullptr) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    m_pOwner->AddRef();
    *out = m_pOwner;
    return S_OK;
  }
  return CComImpl<IArchiveFile>::QueryInterface(iid, out);
}

uint64_t CArchiveFile::Seek(int64_t offset, int origin) {
  // The window lies inside a file, so its size and position fit in 63 bits; only an
  // offset near the limits can overflow the sum, and such a target is refused.
  int64_t from;
  switch (origin) {
    case kSeekBegin: from = 0; break;
    case kSeekCurrent: from = static_cast<int64_t>(m_Pos); break;
    case kSeekEnd: from = static_cast<int64_t>(m_Size); break;
    default: return kSeekFailed;
  }
  int64_t target;
  if (__builtin_add_overflow(from, offset, &target) || target < 0) return kSeekFailed;
  const uint64_t t = static_cast<uint64_t>(target);
  if (origin == kSeekEnd ? t > m_Size : t >= m_Size) return kSeekFailed;
  m_Pos = t;
  return m_Pos;
}

uint64_t CArchiveFile::Read(void* buffer, uint64_t count) {
  const uint64_t n = std::min(count, m_Size - m_Pos);
  if (n == 0) return 0;
  const int64_t got = m_File.ReadAt(buffer, static_cast<std::size_t>(n), static_cast<int64_t>(m_Base + m_Pos));
  if (got <= 0) return 0;
  m_Pos += static_cast<uint64_t>(got);
  return static_cast<uint64_t>(got);
}

IArchiveFile* CArchiveFile::Duplicate() {
  if (m_pOwner == nullptr) return nullptr;
  IArchiveFile* copy = m_pOwner->OpenFile(m_Name);
  if (copy == nullptr) return nullptr;
  // A window at its end stays at its end: an offset of the size is only reachable
  // from the end.
  if (m_Pos == m_Size) {
    copy->Seek(0, kSeekEnd);
  } else {
    copy->Seek(static_cast<int64_t>(m_Pos), kSeekBegin);
  }
  return copy;
}

void* CArchiveFile::MapView(uint64_t offset, std::size_t count) {
  if (!m_File.IsOpen() || count == 0) return nullptr;
  // Pages past the end of the file would fault when touched: the range must lie
  // inside the file as it is now.
  const int64_t file_size = m_File.Size();
  if (file_size < 0 || offset > static_cast<uint64_t>(file_size) ||
      count > static_cast<uint64_t>(file_size) - offset) {
    return nullptr;
  }
  void* view = ::mmap(nullptr, count, PROT_READ, MAP_SHARED, m_File.native_handle(), static_cast<off_t>(offset));
  return view == MAP_FAILED ? nullptr : view;
}

void CArchiveFile::UnmapView(void* view, std::size_t count) {
  if (view != nullptr) ::munmap(view, count);
}

// --- CMappingFile --------------------------------------------------------------

CMappingFile::CMappingFile(IArchiveFile* source)
    : m_pSource(source), m_RawBase(source->GetRawPosition() - source->Tell()) {
  m_pSource->AddRef();
}

CMappingFile::~CMappingFile() {
  Unmap();
  m_pSource->Release();
}

HRESULT CMappingFile::QueryInterface(const IID& iid, void** out) {
  if (out != nullptr && IsEqualGUID(iid, IArchiveFile::kIid)) {
    m_pSource->AddRef();
    *out = m_pSource;
    return S_OK;
  }
  return CComImpl<IMappingFile>::QueryInterface(iid, out);
}

void CMappingFile::Unmap() {
  if (m_pView != nullptr) m_pSource->UnmapView(m_pView, m_ViewSize);
  m_pView = nullptr;
  m_ViewSize = 0;
}

const void* CMappingFile::Map(uint64_t offset, uint32_t count) {
  Unmap();
  const uint64_t size = m_pSource->GetSize();
  if (offset >= size) return nullptr;
  uint64_t n = size - offset;
  if (count != 0 && count < n) n = count;
  if (m_pSource->GetHandle() < 0) {
    // A window without a file maps by its own offsets.
    m_pView = m_pSource->MapView(offset, static_cast<std::size_t>(n));
    if (m_pView != nullptr) m_ViewSize = static_cast<std::size_t>(n);
    return m_pView;
  }
  static const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  const uint64_t at = m_RawBase + offset;
  const uint64_t aligned = at - at % page;
  const uint64_t lead = at - aligned;
  m_pView = m_pSource->MapView(aligned, static_cast<std::size_t>(n + lead));
  if (m_pView == nullptr) return nullptr;
  m_ViewSize = static_cast<std::size_t>(n + lead);
  return static_cast<const uint8_t*>(m_pView) + lead;
}

IMappingFile* CMappingFile::Duplicate() {
  IArchiveFile* copy = m_pSource->Duplicate();
  if (copy == nullptr) return nullptr;
  auto* mapping = new CMappingFile(copy);
  copy->Release();
  return mapping;
}

IMappingFile* OpenMappingFileOf(IArchive* archive, std::u16string_view name) {
  IArchiveFile* file = archive->OpenFile(name);
  if (file == nullptr) return nullptr;
  auto* mapping = new CMappingFile(file);
  file->Release();
  return mapping;
}
