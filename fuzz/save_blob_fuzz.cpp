// Feeds arbitrary bytes to every reader of a stored blob: COMMON, the name lists,
// the variables and the slot header with its summary and thumbnail.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/exception.h"
#include "save/save_blobs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> blob(data, size);
  Save::CommonData common;
  Save::DecodeCommon(blob, common);
  Save::DecodeNameList(blob);
  try {
    Save::DecodeVariables(blob);
  } catch (const ExceptionHandle&) {
  }
  try {
    Save::DecodeSlotSummary(blob);
  } catch (const ExceptionHandle&) {
  }
  Save::DecodeThumbnail(blob);
  // The header readers need the whole 65796 bytes: repeat the input to fill them.
  if (size > 0) {
    std::vector<uint8_t> header(Save::kSlotHeaderBytes);
    for (size_t i = 0; i < header.size(); ++i) header[i] = data[i % size];
    try {
      Save::EncodeSlotHeader(Save::DecodeSlotHeader(header));
    } catch (const ExceptionHandle&) {
    }
    Save::DecodeThumbnail(header);
  }
  return 0;
}
