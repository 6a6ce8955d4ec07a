// Feeds arbitrary bytes to the XML loader and walks whatever tree comes back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/xml.h"

namespace {

void Walk(const XmlElement& e) {
  std::vector<const XmlElement*> pending{&e};
  while (!pending.empty()) {
    const XmlElement* x = pending.back();
    pending.pop_back();
    x->GetText();
    x->FindChild(u"a");
    x->FindAttribute(u"a");
    for (const auto& c : x->children) pending.push_back(c.get());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks the flags; the rest is the document.
  if (size == 0) return 0;
  int line = 0;
  auto root = XmlLoad(data + 1, size - 1, data[0] & 1, &line);
  if (root != nullptr) Walk(*root);
  return 0;
}
