#include "textscript/file_history.h"

#include <memory>

#include "core/util.h"
#include "textscript/script_vars.h"

namespace TextScript {

bool FILEHISTGROUP::Contains(std::u16string_view name) const {
  for (FILEHISTNODE* node = GetHead(); node != nullptr; node = node->GetNext()) {
    if (ScriptNameEqual(node->m_Name, name)) return true;
  }
  return false;
}

int FILEHISTGROUP::AddOnce(std::u16string_view name) {
  if (Contains(name)) return 1;
  Append(std::make_unique<FILEHISTNODE>(name).release());
  return 0;
}

FILEHISTGROUP& LoadedFileHistory() {
  static FILEHISTGROUP history;
  return history;
}

FILEHISTGROUP& ScriptRunHistory() {
  static FILEHISTGROUP history;
  return history;
}

std::u16string FileTitle(std::u16string_view path) {
  return ReplacePathParts(path, u"", u"", nullptr, u"");
}

void AddFileHistory(std::u16string_view path) { LoadedFileHistory().AddOnce(FileTitle(path)); }

}  // namespace TextScript
