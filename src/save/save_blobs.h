// The byte layouts of "save.dat": the COMMON record, the name lists (SCENE and
// ALBUM), the variables blob and the slot header SAVEDATA2. Each is encoded and
// decoded field by field, little-endian, with the offsets written once in
// save_blobs.cpp. Narrow texts are CP932.
//
// Decoders never read past the blob they are given. What cannot be read whole
// (a slot header of the wrong size, a variables record cut short) raises the
// error record of Type 0, source "script/scr_gui", naming what is wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dxdraw/dib.h"
#include "platform/slot_dialog_model.h"
#include "save/save_types.h"

namespace TextScript {
class ScriptVarTable;
}

namespace Save {

// ---- COMMON ----

inline constexpr size_t kCommonBytes = 2308;

std::vector<uint8_t> EncodeCommon(const CommonData& data);
// A blob shorter than the record fills only its own length over `data`; a longer
// one is cut. Names are kept terminated within their 64 units.
void DecodeCommon(std::span<const uint8_t> blob, CommonData& data);

// ---- SCENE and ALBUM name lists ----

inline constexpr size_t kNameBytesMax = 63;  // a stored name is cut to this many bytes when read

// Each name in CP932 with its NUL, then one more 0 byte; an empty list is one
// 0 byte. Empty names are left out (one would end the list).
std::vector<uint8_t> EncodeNameList(const std::vector<std::u16string>& names);
// Reads up to the final 0 byte or the end of the blob, whichever comes first.
std::vector<std::u16string> DecodeNameList(std::span<const uint8_t> blob);

// ---- Variables ----

inline constexpr size_t kVariablesBytesMax = 65536;

struct VariableRecord {
  std::u16string name;
  int32_t value;
};

// One record per integer variable in the table's order (CP932 name, NUL, i32),
// then a 0 byte. Raises the error record when the blob would pass 65536 bytes,
// rather than dropping variables.
std::vector<uint8_t> EncodeVariables(const TextScript::ScriptVarTable& table);
// Reads to the empty name (or the end of the blob); raises the error record for a
// record cut short.
std::vector<VariableRecord> DecodeVariables(std::span<const uint8_t> blob);

// ---- The slot header SAVEDATA2 ----

inline constexpr size_t kSlotHeaderBytes = 65796;
inline constexpr size_t kSlotSummaryBytes = 56;  // zero word, comment and time: what the slot list reads
inline constexpr size_t kCommentBytesMax = 35;
// The thumbnail is stored at the size the slot dialog shows it.
inline constexpr int kThumbWidth = platform::ISlotDialogModel::kPreviewWidth;
inline constexpr int kThumbHeight = platform::ISlotDialogModel::kPreviewHeight;
inline constexpr size_t kThumbPixelBytes = size_t{kThumbWidth} * kThumbHeight * 4;

// The save's local time, as SYSTEMTIME lays it out.
struct SlotTime {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t dayOfWeek = 0;  // 0 Sunday
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
  bool operator==(const SlotTime&) const = default;
};

// The local time now.
SlotTime LocalSlotTime();

struct SlotSummary {
  std::string comment;  // CP932, at most 35 bytes
  SlotTime time;
};

struct SlotHeader {
  SlotSummary summary;
  uint32_t resumePage = 0;                // the page the game resumes at
  DxDraw::BITMAPINFOHEADER thumbInfo{};   // all zero: no thumbnail
  std::vector<uint8_t> thumbBits;         // bottom row first, 560 bytes a row; at most 65536 bytes
  SceneState scene;
};

std::vector<uint8_t> EncodeSlotHeader(const SlotHeader& header);
// The blob must be exactly kSlotHeaderBytes long, and each scene record's name
// must end inside its field.
SlotHeader DecodeSlotHeader(std::span<const uint8_t> blob);
// Bytes 0-55; a shorter blob raises the error record.
SlotSummary DecodeSlotSummary(std::span<const uint8_t> blob);

// Replaces the comment field (bytes 4-39) of a whole slot header: zeroed, then
// the text cut to 35 bytes at a character boundary.
void PutSlotComment(std::span<uint8_t> blob, std::string_view text);

// A valid thumbnail of a slot header as top-down 0x00RRGGBB pixels (140 x 105),
// or empty when the header holds none or its sizes are not the thumbnail's.
std::vector<uint32_t> DecodeThumbnail(std::span<const uint8_t> blob);

// CP932 text cut to at most `maxBytes` without splitting a double-byte character.
std::string CutCp932(std::string_view text, size_t maxBytes);

}  // namespace Save
