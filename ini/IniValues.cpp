// The value operations of the INI store: lookups, SetValue, removal and the
// name lists. All work on memory only.
#include <memory>

#include "../include/KdIni.h"
#include "../text/Numbers.h"
#include "../text/TextUtil.h"
#include "IniLineSyntax.h"
#include "IniStoreState.h"
#include "IniOwnedList.h"

namespace dezov {
namespace {

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

bool HasOuterSpace(std::string_view text) {
  return !text.empty() && (IsIniSpace(text.front()) || IsIniSpace(text.back()));
}

// Whether a section header "[section]" followed by the line "key=value" reads
// back as the same section and key. The value's own trimming and its cut at
// "//" are part of the format and are let through.
bool ReadsBackAsWritten(std::string_view section, std::string_view key, std::string_view value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
  if (section.find(']') != std::string_view::npos || HasOuterSpace(section)) return false;
  if (key.find('=') != std::string_view::npos || HasOuterSpace(key)) return false;
  return key.empty() || (!IsBlankOrComment(key) && !IsSectionHeader(key));
}

}  // namespace
}  // namespace dezov

using dezov::OrEmpty;

long CKdIni::_FindSection(const char* section) {
  return _Index().FindSection(vecSections, OrEmpty(section));
}

long CKdIni::_FindKey(std::size_t sectionPos, const char* key) {
  return _Index().FindKey(vecSections, sectionPos, OrEmpty(key));
}

std::string CKdIni::GetValue(const char* section, const char* key, const char* defaultText) {
  const long sectionPos = _FindSection(section);
  if (sectionPos < 0) return OrEmpty(defaultText);
  const long keyPos = _FindKey(static_cast<std::size_t>(sectionPos), key);
  if (keyPos < 0) return OrEmpty(defaultText);
  return vecSections[static_cast<std::size_t>(sectionPos)]->vecKeys[static_cast<std::size_t>(keyPos)]
      ->strValue;
}

long CKdIni::GetLong(const char* section, const char* key) {
  return dezov::ParseLong(GetValue(section, key, "").c_str());
}

std::string CKdIni::GetSubValue(const char* section, const char* key, int index,
                                char delimiter) {
  const std::string value = GetValue(section, key, "");
  std::vector<std::string> fields;
  dezov::SplitString(value.c_str(), delimiter, fields);
  if (index < 0 || static_cast<std::size_t>(index) >= fields.size()) return std::string();
  return fields[static_cast<std::size_t>(index)];
}

bool CKdIni::SetValue(const char* section, const char* key, const char* value) {
  section = OrEmpty(section);
  key = OrEmpty(key);
  value = OrEmpty(value);
  if (!dezov::ReadsBackAsWritten(section, key, value)) return false;

  long sectionPos = _FindSection(section);
  if (sectionPos < 0) {
    auto created = std::make_unique<CIniSection>();
    created->strName = section;
    dezov::AppendOwned(vecSections, std::move(created));
    sectionPos = static_cast<long>(vecSections.size() - 1);
    _Index().SectionAppended(vecSections);
  }
  bModified = true;
  CIniSection& target = *vecSections[static_cast<std::size_t>(sectionPos)];
  const long keyPos = _FindKey(static_cast<std::size_t>(sectionPos), key);
  if (keyPos >= 0) {
    CIniKey& existing = *target.vecKeys[static_cast<std::size_t>(keyPos)];
    existing.strValue = value;
    existing.bModified = true;
    return true;
  }
  auto created = std::make_unique<CIniKey>();
  created->strName = key;
  created->strValue = value;
  created->bModified = true;
  dezov::AppendOwned(target.vecKeys, std::move(created));
  _Index().KeyAppended(vecSections, static_cast<std::size_t>(sectionPos));
  return true;
}

bool CKdIni::RemoveKey(const char* section, const char* key) {
  const long sectionPos = _FindSection(section);
  if (sectionPos < 0) return false;
  const long keyPos = _FindKey(static_cast<std::size_t>(sectionPos), key);
  if (keyPos < 0) return false;
  const std::size_t s = static_cast<std::size_t>(sectionPos);
  const std::size_t k = static_cast<std::size_t>(keyPos);
  std::vector<CIniKey*>& keys = vecSections[s]->vecKeys;
  const std::unique_ptr<CIniKey> removed(keys[k]);
  keys.erase(keys.begin() + keyPos);
  _Index().KeyErased(vecSections, s, k, removed->strName);
  if (keys.empty()) {
    const std::unique_ptr<CIniSection> emptied(vecSections[s]);  // header and attached lines go too
    vecSections.erase(vecSections.begin() + sectionPos);
    _Index().SectionErased(vecSections, s, emptied->strName);
  }
  _State().removals.push_back({dezov::IniRemoval::kKey, OrEmpty(section), OrEmpty(key)});
  bModified = true;
  return true;
}

bool CKdIni::RemoveSection(const char* section) {
  const long sectionPos = _FindSection(section);
  if (sectionPos < 0) return false;
  const std::size_t s = static_cast<std::size_t>(sectionPos);
  const std::unique_ptr<CIniSection> removed(vecSections[s]);
  vecSections.erase(vecSections.begin() + sectionPos);
  _Index().SectionErased(vecSections, s, removed->strName);
  _State().removals.push_back({dezov::IniRemoval::kSection, OrEmpty(section), std::string()});
  bModified = true;
  return true;
}

bool CKdIni::HaveKey(const char* section, const char* key) {
  const long sectionPos = _FindSection(section);
  return sectionPos >= 0 && _FindKey(static_cast<std::size_t>(sectionPos), key) >= 0;
}

bool CKdIni::GetSections(std::vector<std::string>& sections) {
  sections.reserve(sections.size() + vecSections.size());
  for (const CIniSection* section : vecSections) sections.push_back(section->strName);
  return true;
}

bool CKdIni::GetKeysInSection(const char* section, std::vector<std::string>& keys) {
  keys.clear();
  const long sectionPos = _FindSection(section);
  if (sectionPos < 0) return false;
  const CIniSection& found = *vecSections[static_cast<std::size_t>(sectionPos)];
  keys.reserve(found.vecKeys.size());
  for (const CIniKey* key : found.vecKeys) keys.push_back(key->strName);
  return true;
}
