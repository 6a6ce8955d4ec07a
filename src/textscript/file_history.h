// File-name histories: the titles of the pictures loaded and of the scripts run,
// each title kept once (case ignored), in the order first seen.
#pragma once

#include <string>
#include <string_view>

#include "core/list.h"

namespace TextScript {

class FILEHISTGROUP;

class FILEHISTNODE : public CListNode<FILEHISTNODE, FILEHISTGROUP> {
 public:
  explicit FILEHISTNODE(std::u16string_view name) : m_Name(name) {}
  std::u16string m_Name;
};

class FILEHISTGROUP : public CListGroup<FILEHISTGROUP, FILEHISTNODE> {
 public:
  // True when a node's name equals `name` without regard to case.
  bool Contains(std::u16string_view name) const;
  // 1 when the name was there already (nothing added), else 0 after appending it.
  int AddOnce(std::u16string_view name);
};

// The titles of pictures loaded, and of scripts run.
FILEHISTGROUP& LoadedFileHistory();
FILEHISTGROUP& ScriptRunHistory();

// A path without its drive, folders and extension.
std::u16string FileTitle(std::u16string_view path);

// Adds the path's file title once to the loaded-files history.
void AddFileHistory(std::u16string_view path);

}  // namespace TextScript
