// Feeds arbitrary bytes as "config.xml" to the system, backlog, album and
// replay readers; a broken file must end in the error record, nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/exception.h"
#include "core/xml.h"
#include "game/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<XmlElement> root = XmlLoad(data, size, kXmlTrimText);
  if (root == nullptr) return 0;
  try {
    SystemConfig config;
    ReadSystemConfig(*root, config, kConfigFileName);
    if (config.familyName[Save::kNameUnits - 1] != 0 || config.givenName[Save::kNameUnits - 1] != 0) std::abort();
    FindCharacterPosition(config.chrPositions, u'a');
  } catch (const ExceptionHandle&) {
  }
  try {
    ReadBacklogFaces(*root, kConfigFileName);
  } catch (const ExceptionHandle&) {
  }
  for (const char16_t* section : {u"cgalbum", u"sceneplay"}) {
    try {
      const GalleryConfig g = ReadGalleryConfig(*root, section, kConfigFileName);
      if (g.pages.empty() || g.width < 0 || g.height < 0) std::abort();
      int32_t row = 0;
      for (const auto& page : g.pages) {
        for (const GalleryItem& item : page) {
          if (item.sheetRow != row++) std::abort();
          SplitCommaList(item.text);
        }
      }
      if (g.lockedRow != row) std::abort();
    } catch (const ExceptionHandle&) {
    }
  }
  return 0;
}
