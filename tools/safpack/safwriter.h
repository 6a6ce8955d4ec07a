// A writer of SAF archives (versions 5 and 6) for data makers and tests: entries
// stored, zlib- or (version 6) LZSS-compressed, the index optionally scrambled,
// nested archives as stored entries. Also the low-level index encoders, for
// hand-made (and deliberately damaged) archives.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace safpack {

inline constexpr uint32_t kSectorSize = 2048;
inline constexpr uint8_t kFlagScrambled = 0x01;
inline constexpr uint8_t kFlagLzss = 0x02;  // version 6 only

// --- Codecs ------------------------------------------------------------------

// A zlib stream of `data`.
std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> data, int level = 6);
// An LZSS stream of `data` that the engine's decoder turns back into `data`.
std::vector<uint8_t> LzssEncode(std::span<const uint8_t> data);

// Indexes are scrambled with the reader's own routines (each undoes itself).

// --- Raw indexes -----------------------------------------------------------------

// One index record as stored.
struct RawRecord {
  std::string name;  // CP932 bytes; version 5 pads it with blanks to 20 bytes
  bool directory = false;
  uint32_t a = 0;  // directory: first child; file: data block number
  uint32_t b = 0;  // file: stored byte size
  uint32_t c = 0;  // directory: child count; file: decoded size, 0 when stored
  // Version 6: the name's offset in the names block; by default names are laid one
  // after another in record order.
  int64_t name_offset = -1;
};

// Header and index as they lie at the start of an archive; scrambled when the flag
// is set. Version 6 builds its names block from the records, or takes `names` when given.
std::vector<uint8_t> EncodeIndex5(uint8_t flags, std::span<const RawRecord> records);
std::vector<uint8_t> EncodeIndex6(uint8_t flags, std::span<const RawRecord> records,
                                  const std::vector<uint8_t>* names = nullptr);

// --- The writer ------------------------------------------------------------------

struct WriterOptions {
  int version = 6;         // 5 or 6
  bool scrambled = false;  // scramble the index
  bool lzss = false;       // version 6: compressed entries are LZSS, else deflate
  int zlib_level = 6;
};

class SafWriter {
 public:
  explicit SafWriter(WriterOptions options = {});
  ~SafWriter();
  SafWriter(SafWriter&&) noexcept;
  SafWriter& operator=(SafWriter&&) noexcept;

  const WriterOptions& options() const { return options_; }

  // Adds a file at a path with "/" or "\" between parts; directories are made as
  // needed. A second file of the same name is added as a second record (readers
  // find the first). `compress` stores it compressed with the archive's method.
  void AddFile(std::u16string_view path, std::span<const uint8_t> data, bool compress = false);
  void AddFile(std::u16string_view path, std::string_view text, bool compress = false);
  // An empty directory, or the directories on a path.
  void AddDirectory(std::u16string_view path);
  // Another archive, stored whole: it opens as a nested archive. Its version must match.
  void AddArchive(std::u16string_view path, const SafWriter& nested);
  // Every file under `folder`, by name order, below `prefix`; `compress` decides per
  // file (by its entry path). Files ending in ".saf" are always stored.
  void AddFolder(const std::filesystem::path& folder, std::u16string_view prefix,
                 const std::function<bool(std::u16string_view)>& compress);

  // The archive's bytes. Throws std::invalid_argument for a name the version cannot
  // hold (version 5: at most 20 CP932 bytes, no blank, not starting above 0x7F).
  std::vector<uint8_t> Build() const;
  // Builds and writes the archive; false when the file cannot be written.
  bool Write(const std::filesystem::path& path) const;

 private:
  struct Node;
  Node* FindOrAddDirectory(Node* parent, std::u16string_view name);

  WriterOptions options_;
  std::unique_ptr<Node> root_;
};

}  // namespace safpack
