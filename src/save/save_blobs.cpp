#include "save/save_blobs.h"

#include <time.h>

#include <algorithm>
#include <cstring>

#include "core/exception.h"
#include "platform/text.h"
#include "save/sqlite_db.h"
#include "textscript/script_vars.h"

namespace Save {

namespace {

// COMMON, 2308 bytes.
constexpr size_t kCommonLastSlot = 0;     // i32
constexpr size_t kCommonFamilyName = 4;   // 64 UTF-16LE units
constexpr size_t kCommonGivenName = 132;  // 64 UTF-16LE units
constexpr size_t kCommonFlags = 260;      // 2048 bytes

// SAVEDATA2, 65796 bytes.
constexpr size_t kHeaderZero = 0;        // u32, always 0
constexpr size_t kHeaderComment = 4;     // char[36], NUL-terminated
constexpr size_t kCommentField = 36;
constexpr size_t kHeaderTime = 40;       // SYSTEMTIME, eight u16
constexpr size_t kHeaderPage = 56;       // u32 resume page
constexpr size_t kHeaderThumbInfo = 60;  // BITMAPINFOHEADER, 40 bytes
constexpr size_t kHeaderThumbBits = 100; // 65536 bytes of pixel rows, the rest 0
constexpr size_t kThumbBitsField = 65536;
constexpr size_t kHeaderScene = 65636;   // five 32-byte scene-state records

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutWideName(uint8_t* p, const char16_t (&name)[kNameUnits]) {
  for (int i = 0; i < kNameUnits; ++i) Put16(p + 2 * i, name[i]);
}
void GetWideName(const uint8_t* p, char16_t (&name)[kNameUnits]) {
  for (int i = 0; i < kNameUnits; ++i) name[i] = Get16(p + 2 * i);
  name[kNameUnits - 1] = 0;
}

[[noreturn]] void BlobError(int line, const char16_t* what) {
  RaiseSqliteError(line, 0, what);
}

// The bytes of a NUL-terminated narrow field of `size` bytes, up to its NUL.
std::string_view FieldText(const uint8_t* p, size_t size) {
  const auto* text = reinterpret_cast<const char*>(p);
  return std::string_view(text, strnlen(text, size));
}

void PutInfoHeader(uint8_t* p, const DxDraw::BITMAPINFOHEADER& h) {
  Put32(p + 0, h.biSize);
  Put32(p + 4, static_cast<uint32_t>(h.biWidth));
  Put32(p + 8, static_cast<uint32_t>(h.biHeight));
  Put16(p + 12, h.biPlanes);
  Put16(p + 14, h.biBitCount);
  Put32(p + 16, h.biCompression);
  Put32(p + 20, h.biSizeImage);
  Put32(p + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
  Put32(p + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
  Put32(p + 32, h.biClrUsed);
  Put32(p + 36, h.biClrImportant);
}

DxDraw::BITMAPINFOHEADER GetInfoHeader(const uint8_t* p) {
  DxDraw::BITMAPINFOHEADER h;
  h.biSize = Get32(p + 0);
  h.biWidth = static_cast<int32_t>(Get32(p + 4));
  h.biHeight = static_cast<int32_t>(Get32(p + 8));
  h.biPlanes = Get16(p + 12);
  h.biBitCount = Get16(p + 14);
  h.biCompression = Get32(p + 16);
  h.biSizeImage = Get32(p + 20);
  h.biXPelsPerMeter = static_cast<int32_t>(Get32(p + 24));
  h.biYPelsPerMeter = static_cast<int32_t>(Get32(p + 28));
  h.biClrUsed = Get32(p + 32);
  h.biClrImportant = Get32(p + 36);
  return h;
}

void PutTime(uint8_t* p, const SlotTime& t) {
  const uint16_t fields[8] = {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
  for (int i = 0; i < 8; ++i) Put16(p + 2 * i, fields[i]);
}

SlotTime GetTime(const uint8_t* p) {
  return SlotTime{Get16(p), Get16(p + 2), Get16(p + 4), Get16(p + 6),
                  Get16(p + 8), Get16(p + 10), Get16(p + 12), Get16(p + 14)};
}

}  // namespace

std::string CutCp932(std::string_view text, size_t maxBytes) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t step = platform::IsCp932LeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + step > maxBytes || end + step > text.size()) break;
    end += step;
  }
  return std::string(text.substr(0, end));
}

// ---- COMMON ----

std::vector<uint8_t> EncodeCommon(const CommonData& data) {
  std::vector<uint8_t> blob(kCommonBytes);
  Put32(&blob[kCommonLastSlot], static_cast<uint32_t>(data.lastSavedSlot));
  PutWideName(&blob[kCommonFamilyName], data.familyName);
  PutWideName(&blob[kCommonGivenName], data.givenName);
  std::memcpy(&blob[kCommonFlags], data.flags, kFlagBytes);
  return blob;
}

void DecodeCommon(std::span<const uint8_t> blob, CommonData& data) {
  // Lay the blob over the record's present bytes, so a short one changes only
  // what it covers.
  std::vector<uint8_t> image = EncodeCommon(data);
  std::copy_n(blob.begin(), std::min(blob.size(), kCommonBytes), image.begin());
  data.lastSavedSlot = static_cast<int32_t>(Get32(&image[kCommonLastSlot]));
  GetWideName(&image[kCommonFamilyName], data.familyName);
  GetWideName(&image[kCommonGivenName], data.givenName);
  std::memcpy(data.flags, &image[kCommonFlags], kFlagBytes);
}

// ---- Name lists ----

std::vector<uint8_t> EncodeNameList(const std::vector<std::u16string>& names) {
  std::vector<uint8_t> blob;
  for (const std::u16string& name : names) {
    const std::string narrow = platform::Utf16ToCp932(name);
    const size_t length = strnlen(narrow.c_str(), narrow.size());
    if (length == 0) continue;
    blob.insert(blob.end(), narrow.begin(), narrow.begin() + static_cast<ptrdiff_t>(length));
    blob.push_back(0);
  }
  blob.push_back(0);
  return blob;
}

std::vector<std::u16string> DecodeNameList(std::span<const uint8_t> blob) {
  std::vector<std::u16string> names;
  size_t pos = 0;
  while (pos < blob.size() && blob[pos] != 0) {
    const std::string_view name = FieldText(&blob[pos], blob.size() - pos);
    names.push_back(platform::Cp932ToUtf16(CutCp932(name, kNameBytesMax)));
    pos += name.size() + 1;
  }
  return names;
}

// ---- Variables ----

std::vector<uint8_t> EncodeVariables(const TextScript::ScriptVarTable& table) {
  std::vector<uint8_t> blob;
  for (const auto& [hash, entry] : table.Entries()) {
    if (entry->kind != TextScript::SCRIPTVARENTRY::kInteger) continue;
    const std::string narrow = platform::Utf16ToCp932(entry->Name());
    const size_t length = strnlen(narrow.c_str(), narrow.size());
    if (length == 0) continue;
    blob.insert(blob.end(), narrow.begin(), narrow.begin() + static_cast<ptrdiff_t>(length));
    blob.push_back(0);
    const size_t at = blob.size();
    blob.resize(at + 4);
    Put32(&blob[at], static_cast<uint32_t>(entry->value));
  }
  blob.push_back(0);
  if (blob.size() > kVariablesBytesMax)
    ThrowError(kSaveErrorSource, __LINE__, u"too many script variables to save: %zu bytes, at most %zu",
               blob.size(), kVariablesBytesMax);
  return blob;
}

std::vector<VariableRecord> DecodeVariables(std::span<const uint8_t> blob) {
  std::vector<VariableRecord> records;
  size_t pos = 0;
  while (pos < blob.size() && blob[pos] != 0) {
    const std::string_view name = FieldText(&blob[pos], blob.size() - pos);
    pos += name.size() + 1;
    if (pos + 4 > blob.size()) BlobError(__LINE__, u"the saved variables are cut short");
    records.push_back({platform::Cp932ToUtf16(name), static_cast<int32_t>(Get32(&blob[pos]))});
    pos += 4;
  }
  return records;
}

// ---- SAVEDATA2 ----

SlotTime LocalSlotTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return SlotTime{static_cast<uint16_t>(local.tm_year + 1900), static_cast<uint16_t>(local.tm_mon + 1),
                  static_cast<uint16_t>(local.tm_wday),        static_cast<uint16_t>(local.tm_mday),
                  static_cast<uint16_t>(local.tm_hour),        static_cast<uint16_t>(local.tm_min),
                  static_cast<uint16_t>(local.tm_sec),         static_cast<uint16_t>(now.tv_nsec / 1000000)};
}

std::vector<uint8_t> EncodeSlotHeader(const SlotHeader& header) {
  std::vector<uint8_t> blob(kSlotHeaderBytes);
  Put32(&blob[kHeaderZero], 0);
  PutSlotComment(blob, header.summary.comment);
  PutTime(&blob[kHeaderTime], header.summary.time);
  Put32(&blob[kHeaderPage], header.resumePage);
  // Without rows the info header stays all zero: the file's "no thumbnail".
  if (!header.thumbBits.empty()) PutInfoHeader(&blob[kHeaderThumbInfo], header.thumbInfo);
  std::copy_n(header.thumbBits.begin(), std::min(header.thumbBits.size(), kThumbBitsField), &blob[kHeaderThumbBits]);
  for (int i = 0; i < kSceneSlotCount; ++i) {
    const SceneStateRecord& record = header.scene.records[i];
    uint8_t* field = &blob[kHeaderScene + size_t{kSceneNameBytes} * i];
    field[0] = record.state;
    const std::string_view name = FieldText(reinterpret_cast<const uint8_t*>(record.name), sizeof record.name - 1);
    std::copy(name.begin(), name.end(), field + 1);
  }
  return blob;
}

void PutSlotComment(std::span<uint8_t> blob, std::string_view text) {
  if (blob.size() < kHeaderComment + kCommentField) return;
  std::fill_n(&blob[kHeaderComment], kCommentField, 0);
  const std::string comment = CutCp932(text.substr(0, text.find('\0')), kCommentBytesMax);
  std::copy(comment.begin(), comment.end(), &blob[kHeaderComment]);
}

SlotSummary DecodeSlotSummary(std::span<const uint8_t> blob) {
  if (blob.size() < kSlotSummaryBytes) BlobError(__LINE__, u"a saved slot header is cut short");
  return SlotSummary{CutCp932(FieldText(&blob[kHeaderComment], kCommentField), kCommentBytesMax),
                     GetTime(&blob[kHeaderTime])};
}

SlotHeader DecodeSlotHeader(std::span<const uint8_t> blob) {
  if (blob.size() != kSlotHeaderBytes) BlobError(__LINE__, u"a saved slot header has the wrong size");
  SlotHeader header;
  header.summary = DecodeSlotSummary(blob);
  header.resumePage = Get32(&blob[kHeaderPage]);
  header.thumbInfo = GetInfoHeader(&blob[kHeaderThumbInfo]);
  header.thumbBits.assign(&blob[kHeaderThumbBits], &blob[kHeaderThumbBits] + kThumbPixelBytes);
  for (int i = 0; i < kSceneSlotCount; ++i) {
    SceneStateRecord& record = header.scene.records[i];
    const uint8_t* field = &blob[kHeaderScene + size_t{kSceneNameBytes} * i];
    record.state = field[0];
    // Every name is written with its NUL inside the field.
    if (std::memchr(field + 1, 0, kSceneNameBytes - 1) == nullptr) BlobError(__LINE__, u"the saved scene is damaged");
    const std::string name = CutCp932(FieldText(field + 1, kSceneNameBytes - 1), sizeof record.name - 1);
    std::copy(name.begin(), name.end(), record.name);
  }
  return header;
}

std::vector<uint32_t> DecodeThumbnail(std::span<const uint8_t> blob) {
  if (blob.size() != kSlotHeaderBytes) return {};
  const DxDraw::BITMAPINFOHEADER info = GetInfoHeader(&blob[kHeaderThumbInfo]);
  // Only the thumbnail's own shape is shown; anything else is not trusted.
  if (info.biWidth != kThumbWidth || (info.biHeight != kThumbHeight && info.biHeight != -kThumbHeight) ||
      info.biBitCount != 32 || info.biCompression != DxDraw::BI_RGB)
    return {};
  std::vector<uint32_t> pixels(size_t{kThumbWidth} * kThumbHeight);
  for (int y = 0; y < kThumbHeight; ++y) {
    const int stored = info.biHeight > 0 ? kThumbHeight - 1 - y : y;
    const uint8_t* row = &blob[kHeaderThumbBits + size_t{kThumbWidth} * 4 * stored];
    for (int x = 0; x < kThumbWidth; ++x) pixels[size_t{kThumbWidth} * y + x] = Get32(row + 4 * x) & 0x00FFFFFF;
  }
  return pixels;
}

}  // namespace Save
