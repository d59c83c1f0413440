// SPDX-License-Identifier: MIT
// The value operations of the INI store: lookups, SetValue, removal and the
// name lists. All work on memory only.
#include <memory>

#include "../include/KdIni.h"
#include "../text/Numbers.h"
#include "../text/TextUtil.h"
#include "IniLineSyntax.h"
#include "IniReadBack.h"
#include "IniStoreState.h"
#include "IniOwnedList.h"

namespace dezov {
namespace {

void SetLastError(CKdIni& store, std::string reason) {
  IniStoreAccess::LastError(store) = std::move(reason);
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
  if (pState) pState->lastError.clear();
  const std::string_view sectionName = OrEmpty(section);
  // The reader trims values: the store holds what a later read gives.
  const std::string_view trimmedValue = dezov::TrimIniSpace(OrEmpty(value));
  long sectionPos = _FindSection(section);
  const long keyPos =
      sectionPos < 0 ? -1 : _FindKey(static_cast<std::size_t>(sectionPos), key);
  CIniKey* existing =
      keyPos < 0 ? nullptr
                 : vecSections[static_cast<std::size_t>(sectionPos)]
                       ->vecKeys[static_cast<std::size_t>(keyPos)];
  const std::string problem = dezov::ReadBackProblem(
      {sectionName, sectionPos < 0, existing ? std::string_view(existing->strName) : OrEmpty(key),
       trimmedValue, existing ? std::string_view(existing->strComment) : std::string_view()});
  if (!problem.empty()) {
    dezov::SetLastError(*this, problem);
    return false;
  }

  if (existing != nullptr) {
    existing->strValue = std::string(trimmedValue);
    existing->bModified = true;
    bModified = true;
    return true;
  }
  if (sectionPos < 0) {
    auto created = std::make_unique<CIniSection>();
    created->strName = std::string(sectionName);
    dezov::AppendOwned(vecSections, std::move(created));
    sectionPos = static_cast<long>(vecSections.size() - 1);
    _Index().SectionAppended(vecSections);
  }
  bModified = true;
  CIniSection& target = *vecSections[static_cast<std::size_t>(sectionPos)];
  auto created = std::make_unique<CIniKey>();
  created->strName = OrEmpty(key);
  created->strValue = std::string(trimmedValue);
  created->bModified = true;
  dezov::AppendOwned(target.vecKeys, std::move(created));
  _Index().KeyAppended(vecSections, static_cast<std::size_t>(sectionPos));
  return true;
}

bool CKdIni::RemoveKey(const char* section, const char* key) {
  if (pState) pState->lastError.clear();
  const long sectionPos = _FindSection(section);
  const long keyPos = sectionPos < 0 ? -1 : _FindKey(static_cast<std::size_t>(sectionPos), key);
  if (keyPos < 0) {
    dezov::SetLastError(*this, std::string("cannot remove key '") + OrEmpty(key) +
                                   "' in section '" + OrEmpty(section) + "': " +
                                   (sectionPos < 0 ? "no such section" : "no such key"));
    return false;
  }
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
  if (pState) pState->lastError.clear();
  const long sectionPos = _FindSection(section);
  if (sectionPos < 0) {
    dezov::SetLastError(*this, std::string("cannot remove section '") + OrEmpty(section) +
                                   "': no such section");
    return false;
  }
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
