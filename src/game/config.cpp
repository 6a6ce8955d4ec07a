// The readers of "config.xml".
#include "game/config.h"

#include <climits>
#include <cstdlib>
#include <cwctype>

#include "archive/archive.h"
#include "core/exception.h"
#include "core/xml.h"
#include "platform/text.h"

namespace {

constexpr const char16_t* kSource = u"game/config";

const char16_t* FileOr(const char16_t* fileName) { return fileName != nullptr ? fileName : kConfigFileName; }

std::u16string Join(std::u16string_view path, std::u16string_view name) {
  std::u16string out(path);
  if (!out.empty()) out += u'/';
  out += name;
  return out;
}

// The child element `name` of `parent` (whose path is `path`); a missing one
// throws the record naming the file and the element.
const XmlElement& NeedChild(const XmlElement& parent, std::u16string_view path, std::u16string_view name,
                            const char16_t* file) {
  if (const XmlElement* e = parent.FindChild(name)) return *e;
  const std::u16string full = Join(path, name);
  ThrowError(kSource, __LINE__, u"%s: element '%s' is missing.", FileOr(file), full.c_str());
}

const std::u16string& NeedAttribute(const XmlElement& e, std::u16string_view path, std::u16string_view name,
                                    const char16_t* file) {
  if (const XmlAttribute* a = e.FindAttribute(name)) return a->value;
  const std::u16string attribute(name), element(path);
  ThrowError(kSource, __LINE__, u"%s: attribute '%s' of '%s' is missing.", FileOr(file), attribute.c_str(),
             element.c_str());
}

std::vector<const XmlElement*> Children(const XmlElement& parent, const char16_t* name) {
  std::vector<XmlElement*> found;
  parent.FindChildren(found, name);
  return {found.begin(), found.end()};
}

bool IsScanBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// One decimal number by scanf's "%d" from position i: blanks, a sign, digits.
// Values beyond 32 bits saturate. False (i unchanged) when no digit follows.
bool ScanInt(std::u16string_view s, std::size_t& i, int32_t& out) {
  std::size_t p = i;
  while (p < s.size() && IsScanBlank(s[p])) ++p;
  bool negative = false;
  if (p < s.size() && (s[p] == u'+' || s[p] == u'-')) negative = s[p++] == u'-';
  if (p >= s.size() || s[p] < u'0' || s[p] > u'9') return false;
  int64_t v = 0;
  for (; p < s.size() && s[p] >= u'0' && s[p] <= u'9'; ++p) {
    if (v <= INT64_C(1) << 32) v = v * 10 + (s[p] - u'0');
  }
  v = negative ? -v : v;
  out = static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v));
  i = p;
  return true;
}

// scanf of "%d,%d,...,%d" with `fields.size()` numbers: each field read is
// stored; returns how many were read before the first that could not be.
std::size_t ScanInts(std::u16string_view s, std::span<int32_t* const> fields) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < fields.size(); ++n) {
    if (n > 0) {
      if (i >= s.size() || s[i] != u',') return n;
      ++i;
    }
    int32_t v = 0;
    if (!ScanInt(s, i, v)) return n;
    *fields[n] = v;
  }
  return fields.size();
}

// The C library's decimal string-to-int: 0 when nothing can be read.
int32_t DecimalValue(std::u16string_view s) {
  std::size_t i = 0;
  int32_t v = 0;
  return ScanInt(s, i, v) ? v : 0;
}

char16_t Upper(char16_t c) { return static_cast<char16_t>(std::towupper(c)); }

void ReadPositions(const XmlElement& system, const char16_t* element, std::vector<CharacterPosition>& out,
                   const char16_t* file) {
  const std::u16string path = Join(u"system", element);
  const XmlElement& list = NeedChild(system, u"system", element, file);
  out.clear();
  const std::u16string posPath = Join(path, u"pos");
  for (const XmlElement* pos : Children(list, u"pos")) {
    const std::u16string& name = NeedAttribute(*pos, posPath, u"name", file);
    const std::u16string& x = NeedAttribute(*pos, posPath, u"x", file);
    CharacterPosition entry;
    entry.key = name.empty() ? 0 : (name[0] == u'*' ? u'*' : Upper(name[0]));
    entry.x = DecimalValue(x);
    out.push_back(entry);
  }
}

}  // namespace

SystemConfig& GetSystemConfig() {
  static SystemConfig config;
  return config;
}

std::unique_ptr<XmlElement> LoadConfigTree(const char16_t* fileName) {
  const char16_t* file = FileOr(fileName);
  uint32_t length = 0;
  char* text = ScriptArchive != nullptr ? LoadArchiveTextFile(ScriptArchive, file, nullptr, &length) : nullptr;
  if (text == nullptr) ThrowError(kSource, __LINE__, u"%s: file not found.", file);
  struct FreeText {
    char* text;
    ~FreeText() { std::free(text); }
  } owned{text};
  return XmlLoadOrThrow(text, length, kXmlTrimText, file);
}

void ReadSystemConfig(const XmlElement& root, SystemConfig& out, const char16_t* file) {
  const XmlElement& system = NeedChild(root, u"", u"system", file);
  const XmlElement& name = NeedChild(system, u"system", u"name", file);
  platform::CopyWideField(out.familyName, NeedAttribute(name, u"system/name", u"first", file));
  platform::CopyWideField(out.givenName, NeedAttribute(name, u"system/name", u"last", file));

  const XmlElement& title = NeedChild(system, u"system", u"title", file);
  int32_t* menu[] = {&out.titleMenuX, &out.titleMenuY};
  ScanInts(NeedAttribute(title, u"system/title", u"menu", file), menu);

  const XmlElement& ending = NeedChild(system, u"system", u"ending", file);
  int32_t* credit[] = {&out.endingCount};
  ScanInts(NeedAttribute(ending, u"system/ending", u"credit", file), credit);
  if (out.endingCount < 0) {
    ThrowError(kSource, __LINE__, u"%s: 'credit' of 'system/ending' is negative.", FileOr(file));
  }

  for (const XmlElement* bgm : Children(system, u"bgm")) {
    const XmlAttribute* mode = bgm->FindAttribute(u"mode");
    const XmlAttribute* music = bgm->FindAttribute(u"name");
    if (mode == nullptr || music == nullptr) continue;
    if (mode->value == u"title") out.titleMusic = music->value;
    if (mode->value == u"cgmode") out.cgModeMusic = music->value;
  }

  ReadPositions(system, u"chr", out.chrPositions, file);
  ReadPositions(system, u"chl", out.chlPositions, file);
}

void LoadSystemConfig(const char16_t* fileName) {
  std::unique_ptr<XmlElement> root = LoadConfigTree(fileName);
  // Read into a copy, so a broken file leaves the values as they were.
  SystemConfig config = GetSystemConfig();
  ReadSystemConfig(*root, config, fileName);
  GetSystemConfig() = std::move(config);
  Save::CommonData& common = Save::GetCommonData();
  platform::CopyWideField(common.familyName, GetSystemConfig().familyName);
  platform::CopyWideField(common.givenName, GetSystemConfig().givenName);
}

int32_t FindCharacterPosition(std::span<const CharacterPosition> list, char16_t letter) {
  const char16_t key = Upper(letter);
  for (const CharacterPosition& p : list) {
    if (p.key == key || p.key == u'*') return p.x;
  }
  return 0;
}

std::vector<BacklogFace> ReadBacklogFaces(const XmlElement& root, const char16_t* file) {
  const XmlElement& system = NeedChild(root, u"", u"system", file);
  const XmlElement& backlog = NeedChild(system, u"system", u"backlog", file);
  std::vector<BacklogFace> faces;
  for (const XmlElement* face : Children(backlog, u"face")) {
    std::u16string key = NeedAttribute(*face, u"system/backlog/face", u"chr", file);
    const std::u16string& number = NeedAttribute(*face, u"system/backlog/face", u"number", file);
    BacklogFace entry;
    entry.key = key.empty() ? 0 : Upper(key[0]);
    int32_t* cell[] = {&entry.number};
    ScanInts(number, cell);
    if (entry.number < 0) {
      ThrowError(kSource, __LINE__, u"%s: 'number' of 'system/backlog/face' is negative.", FileOr(file));
    }
    faces.push_back(entry);
  }
  return faces;
}

std::vector<BacklogFace> LoadBacklogFaces(const char16_t* fileName) {
  return ReadBacklogFaces(*LoadConfigTree(fileName), fileName);
}

namespace {

void ReadButton(const XmlElement& section, const std::u16string& path, const char16_t* name, GalleryButton& out,
                const char16_t* file) {
  int32_t* fields[] = {&out.x, &out.y, &out.w, &out.h, &out.sx0, &out.sy0, &out.sx1, &out.sy1};
  if (ScanInts(NeedAttribute(section, path, name, file), fields) != std::size(fields)) {
    ThrowError(kSource, __LINE__, u"%s: '%s' of '%s' needs eight numbers.", FileOr(file), name, path.c_str());
  }
  if (out.w < 0 || out.h < 0) {
    ThrowError(kSource, __LINE__, u"%s: '%s' of '%s' has a negative size.", FileOr(file), name, path.c_str());
  }
}

}  // namespace

GalleryConfig ReadGalleryConfig(const XmlElement& root, std::u16string_view section, const char16_t* file) {
  const std::u16string path(section);
  const XmlElement& e = NeedChild(root, u"", section, file);
  GalleryConfig out;
  int32_t* width[] = {&out.width};
  int32_t* height[] = {&out.height};
  int32_t* cell[] = {&out.cellWidth, &out.cellHeight};
  ScanInts(NeedAttribute(e, path, u"width", file), width);
  ScanInts(NeedAttribute(e, path, u"height", file), height);
  ScanInts(NeedAttribute(e, path, u"thumbsize", file), cell);
  if (out.width < 0 || out.height < 0 || out.cellWidth < 0 || out.cellHeight < 0) {
    ThrowError(kSource, __LINE__, u"%s: '%s' has a negative size.", FileOr(file), path.c_str());
  }
  ReadButton(e, path, u"exit", out.exit, file);
  ReadButton(e, path, u"prev", out.prev, file);
  ReadButton(e, path, u"next", out.next, file);

  const std::u16string cgPath = path + u"/page/cg";
  // Items are numbered by their cg elements only: text between them is no item.
  int32_t row = 0;
  for (const XmlElement* page : Children(e, u"page")) {
    std::vector<GalleryItem>& items = out.pages.emplace_back();
    for (const XmlElement* cg : Children(*page, u"cg")) {
      GalleryItem item;
      int32_t* pos[] = {&item.x, &item.y};
      ScanInts(NeedAttribute(*cg, cgPath, u"pos", file), pos);
      item.flag = NeedAttribute(*cg, cgPath, u"flag", file);
      item.text = cg->GetText();
      item.sheetRow = row++;
      items.push_back(std::move(item));
    }
  }
  if (out.pages.empty()) {
    const std::u16string pagePath = path + u"/page";
    ThrowError(kSource, __LINE__, u"%s: element '%s' is missing.", FileOr(file), pagePath.c_str());
  }
  out.lockedRow = row;
  return out;
}

GalleryConfig LoadGalleryConfig(std::u16string_view section, const char16_t* fileName) {
  return ReadGalleryConfig(*LoadConfigTree(fileName), section, fileName);
}

std::vector<std::u16string> SplitCommaList(std::u16string_view text) {
  std::vector<std::u16string> pieces;
  pieces.reserve(20);
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == u',') {
      pieces.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return pieces;
}
