#include "safwriter.h"

#include <zlib.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "archive/archive_impl.h"
#include "platform/text.h"

namespace safpack {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The parts of an entry path, split as the reader splits it; empty parts dropped.
std::vector<std::u16string_view> SplitPath(std::u16string_view path) {
  archive_detail::EntryPath split = archive_detail::SplitEntryPath(path);
  if (!split.name.empty()) split.directories.push_back(split.name);
  return split.directories;
}

}  // namespace

// --- Codecs ------------------------------------------------------------------

std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> data, int level) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level) != Z_OK) {
    throw std::runtime_error("zlib compression failed");
  }
  out.resize(size);
  return out;
}

std::vector<uint8_t> LzssEncode(std::span<const uint8_t> data) {
  // Greedy matching over hash chains of three-byte prefixes. Ring position of input
  // byte k is (0xFEE + k) mod 4096; matches reach back at most 4095 bytes, so every
  // byte they copy is still in the decoder's ring.
  constexpr std::size_t kWindow = 4096;
  constexpr std::size_t kMaxDistance = kWindow - 1;
  constexpr std::size_t kMinMatch = 3;
  constexpr std::size_t kMaxMatch = 18;
  constexpr std::size_t kHashSize = 1 << 15;
  constexpr int kMaxChain = 32;
  const std::size_t n = data.size();
  std::vector<int64_t> head(kHashSize, -1);
  std::vector<int64_t> prev(kWindow, -1);
  auto hash = [&](std::size_t k) {
    return ((data[k] << 10) ^ (data[k + 1] << 5) ^ data[k + 2]) & (kHashSize - 1);
  };
  auto insert = [&](std::size_t k) {
    if (k + kMinMatch > n) return;
    const std::size_t h = hash(k);
    prev[k & (kWindow - 1)] = head[h];
    head[h] = static_cast<int64_t>(k);
  };

  std::vector<uint8_t> out;
  out.reserve(n + n / 8 + 16);
  std::size_t flag_at = 0;
  int tokens = 8;
  std::size_t k = 0;
  while (k < n) {
    if (tokens == 8) {
      flag_at = out.size();
      out.push_back(0);
      tokens = 0;
    }
    std::size_t best_length = 0;
    std::size_t best_from = 0;
    if (k + kMinMatch <= n) {
      const std::size_t limit = std::min(kMaxMatch, n - k);
      int64_t cand = head[hash(k)];
      for (int depth = 0; cand >= 0 && depth < kMaxChain; ++depth) {
        const std::size_t j = static_cast<std::size_t>(cand);
        if (k - j > kMaxDistance) break;
        std::size_t length = 0;
        while (length < limit && data[j + length] == data[k + length]) ++length;
        if (length > best_length) {
          best_length = length;
          best_from = j;
          if (length == limit) break;
        }
        const int64_t next = prev[j & (kWindow - 1)];
        if (next >= cand) break;
        cand = next;
      }
    }
    if (best_length >= kMinMatch) {
      const std::size_t p = (0xFEE + best_from) & (kWindow - 1);
      out.push_back(static_cast<uint8_t>(p & 0xFF));
      out.push_back(static_cast<uint8_t>(((p >> 4) & 0xF0) | (best_length - kMinMatch)));
      for (std::size_t i = 0; i < best_length; ++i) insert(k + i);
      k += best_length;
    } else {
      out[flag_at] |= static_cast<uint8_t>(1u << tokens);
      out.push_back(data[k]);
      insert(k);
      ++k;
    }
    ++tokens;
  }
  return out;
}

// --- Raw indexes -------------------------------------------------------------------

std::vector<uint8_t> EncodeIndex5(uint8_t flags, std::span<const RawRecord> records) {
  std::vector<uint8_t> out;
  out.push_back(flags);
  out.push_back(5);
  Put16(out, static_cast<uint32_t>(records.size()));
  for (const RawRecord& r : records) {
    std::string name = r.name.substr(0, 20);
    name.resize(20, ' ');
    if (r.directory) name[0] = static_cast<char>(name[0] | 0x80);
    out.insert(out.end(), name.begin(), name.end());
    Put32(out, r.a);
    Put32(out, r.b);
    Put32(out, r.c);
  }
  if (flags & kFlagScrambled) UnscrambleIndex5(std::span<uint8_t>(out).subspan(4));
  return out;
}

std::vector<uint8_t> EncodeIndex6(uint8_t flags, std::span<const RawRecord> records,
                                  const std::vector<uint8_t>* names) {
  std::vector<uint8_t> block;
  std::vector<uint32_t> offsets;
  for (const RawRecord& r : records) {
    offsets.push_back(static_cast<uint32_t>(r.name_offset >= 0 ? r.name_offset : block.size()));
    if (names == nullptr) {
      block.insert(block.end(), r.name.begin(), r.name.end());
      block.push_back(0);
    }
  }
  if (names != nullptr) block = *names;
  std::vector<uint8_t> out;
  out.push_back(flags);
  out.push_back(6);
  Put16(out, static_cast<uint32_t>(records.size()));
  Put32(out, static_cast<uint32_t>(block.size()));
  for (std::size_t i = 0; i < records.size(); ++i) {
    Put32(out, (offsets[i] & 0x7FFFFFFFu) | (records[i].directory ? 0x80000000u : 0));
    Put32(out, records[i].a);
    Put32(out, records[i].b);
    Put32(out, records[i].c);
  }
  if (flags & kFlagScrambled) {
    UnscrambleIndex6(std::span<uint8_t>(out).subspan(8));
    UnscrambleNames6(block);
  }
  out.insert(out.end(), block.begin(), block.end());
  return out;
}

// --- The writer --------------------------------------------------------------------

struct SafWriter::Node {
  std::u16string name;
  bool directory = false;
  std::vector<uint8_t> data;  // stored bytes
  uint32_t decoded = 0;       // decoded size when compressed, else 0
  std::vector<std::unique_ptr<Node>> children;
};

SafWriter::SafWriter(WriterOptions options) : options_(options), root_(std::make_unique<Node>()) {
  if (options_.version != 5 && options_.version != 6) throw std::invalid_argument("SAF version must be 5 or 6");
  if (options_.version == 5) options_.lzss = false;
  root_->directory = true;
}
SafWriter::~SafWriter() = default;
SafWriter::SafWriter(SafWriter&&) noexcept = default;
SafWriter& SafWriter::operator=(SafWriter&&) noexcept = default;

SafWriter::Node* SafWriter::FindOrAddDirectory(Node* parent, std::u16string_view name) {
  for (auto& child : parent->children) {
    if (child->directory && child->name == name) return child.get();
  }
  auto node = std::make_unique<Node>();
  node->name = std::u16string(name);
  node->directory = true;
  parent->children.push_back(std::move(node));
  return parent->children.back().get();
}

void SafWriter::AddDirectory(std::u16string_view path) {
  Node* at = root_.get();
  for (std::u16string_view part : SplitPath(path)) at = FindOrAddDirectory(at, part);
}

void SafWriter::AddFile(std::u16string_view path, std::span<const uint8_t> data, bool compress) {
  std::vector<std::u16string_view> parts = SplitPath(path);
  if (parts.empty()) throw std::invalid_argument("empty entry path");
  Node* at = root_.get();
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) at = FindOrAddDirectory(at, parts[i]);
  auto node = std::make_unique<Node>();
  node->name = std::u16string(parts.back());
  // An empty entry is stored: a decoded size of 0 means "stored".
  if (compress && !data.empty()) {
    node->data = options_.lzss ? LzssEncode(data) : ZlibCompress(data, options_.zlib_level);
    node->decoded = static_cast<uint32_t>(data.size());
  } else {
    node->data.assign(data.begin(), data.end());
  }
  at->children.push_back(std::move(node));
}

void SafWriter::AddFile(std::u16string_view path, std::string_view text, bool compress) {
  AddFile(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()), compress);
}

void SafWriter::AddArchive(std::u16string_view path, const SafWriter& nested) {
  if (nested.options_.version != options_.version) {
    throw std::invalid_argument("a nested archive must have the version of its archive");
  }
  AddFile(path, nested.Build(), false);
}

void SafWriter::AddFolder(const std::filesystem::path& folder, std::u16string_view prefix,
                          const std::function<bool(std::u16string_view)>& compress) {
  std::vector<std::filesystem::path> items;
  for (const auto& item : std::filesystem::directory_iterator(folder)) items.push_back(item.path());
  std::sort(items.begin(), items.end());
  for (const auto& item : items) {
    std::u16string path(prefix);
    if (!path.empty() && !archive_detail::IsSeparator(path.back())) path += u'/';
    path += platform::Utf8ToUtf16(item.filename().string());
    if (std::filesystem::is_directory(item)) {
      AddDirectory(path);
      AddFolder(item, path, compress);
      continue;
    }
    if (!std::filesystem::is_regular_file(item)) continue;
    std::ifstream in(item, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool nested = path.size() >= 4 && std::equal(path.end() - 4, path.end(), u".saf", [](char16_t a, char16_t b) {
                          return (a >= u'A' && a <= u'Z' ? a + 0x20 : a) == b;
                        });
    AddFile(path, bytes, !nested && compress && compress(path));
  }
}

std::vector<uint8_t> SafWriter::Build() const {
  // Records breadth first: each directory's children are consecutive.
  std::vector<const Node*> nodes{root_.get()};
  std::vector<std::pair<uint32_t, uint32_t>> ranges(1);
  std::deque<std::size_t> queue{0};
  while (!queue.empty()) {
    const std::size_t d = queue.front();
    queue.pop_front();
    const Node* dir = nodes[d];
    ranges[d] = {static_cast<uint32_t>(nodes.size()), static_cast<uint32_t>(dir->children.size())};
    for (const auto& child : dir->children) {
      nodes.push_back(child.get());
      ranges.emplace_back(0, 0);
      if (child->directory) queue.push_back(nodes.size() - 1);
    }
  }
  if (nodes.size() > 0xFFFF) throw std::invalid_argument("too many entries for one archive");

  std::vector<RawRecord> records(nodes.size());
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const Node* node = nodes[i];
    RawRecord& r = records[i];
    r.directory = node->directory;
    r.name = platform::Utf16ToCp932(node->name);
    if (platform::Cp932ToUtf16(r.name) != node->name) {
      throw std::invalid_argument("entry name has characters outside CP932: " + platform::Utf16ToUtf8(node->name));
    }
    if (r.name.find('\0') != std::string::npos) throw std::invalid_argument("entry name holds a NUL");
    if (i != 0 && r.name.empty()) throw std::invalid_argument("empty entry name");
    if (options_.version == 5 && i != 0) {
      if (r.name.size() > 20 || r.name.find(' ') != std::string::npos ||
          static_cast<unsigned char>(r.name[0]) >= 0x80) {
        throw std::invalid_argument("name cannot be stored in a version 5 archive: " + platform::Utf16ToUtf8(node->name));
      }
    }
    if (node->directory) {
      r.a = ranges[i].first;
      r.c = ranges[i].second;
    } else {
      r.b = static_cast<uint32_t>(node->data.size());
      r.c = node->decoded;
    }
  }

  uint8_t flags = options_.scrambled ? kFlagScrambled : 0;
  if (options_.version == 6 && options_.lzss) flags |= kFlagLzss;
  // The index size does not depend on the block numbers, so it is measured first.
  const std::size_t index_size =
      (options_.version == 5 ? EncodeIndex5(0, records) : EncodeIndex6(0, records)).size();
  uint64_t at = (index_size + kSectorSize - 1) / kSectorSize * kSectorSize;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i]->directory) continue;
    records[i].a = static_cast<uint32_t>(at / kSectorSize);
    at += (nodes[i]->data.size() + kSectorSize - 1) / kSectorSize * kSectorSize;
  }
  std::vector<uint8_t> out = options_.version == 5 ? EncodeIndex5(flags, records) : EncodeIndex6(flags, records);
  out.resize(static_cast<std::size_t>(at), 0);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i]->directory) continue;
    std::copy(nodes[i]->data.begin(), nodes[i]->data.end(), out.begin() + uint64_t{records[i].a} * kSectorSize);
  }
  return out;
}

bool SafWriter::Write(const std::filesystem::path& path) const {
  const std::vector<uint8_t> bytes = Build();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace safpack
