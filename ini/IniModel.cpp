// SPDX-License-Identifier: MIT
// The INI model's classes: construction, deep copies, destruction and
// ResetContent.
#include "../include/KdIni.h"
#include "IniStoreState.h"
#include "IniOwnedList.h"

using dezov::AppendOwned;
using dezov::DeleteAll;

namespace {

// Deep copies of the owned elements of source, in order.
template <class T>
std::vector<T*> CopyOwned(const std::vector<T*>& source) {
  std::vector<T*> copy;
  copy.reserve(source.size());
  try {
    for (const T* item : source) AppendOwned(copy, std::make_unique<T>(*item));
  } catch (...) {
    DeleteAll(copy);
    throw;
  }
  return copy;
}

}  // namespace

CKdIni::CIniKey::CIniKey() : bModified(false) {}

CKdIni::CIniKey::CIniKey(const CIniKey& other) = default;

CKdIni::CIniKey& CKdIni::CIniKey::operator=(const CIniKey& other) = default;

CKdIni::CIniKey::~CIniKey() = default;

CKdIni::CIniSection::CIniSection() = default;

CKdIni::CIniSection::CIniSection(const CIniSection& other)
    : vecComments(other.vecComments),
      strName(other.strName),
      strLine(other.strLine),
      vecKeys(CopyOwned(other.vecKeys)) {}

CKdIni::CIniSection& CKdIni::CIniSection::operator=(const CIniSection& other) {
  if (this == &other) return *this;
  CIniSection copy(other);
  vecComments.swap(copy.vecComments);
  strName.swap(copy.strName);
  strLine.swap(copy.strLine);
  vecKeys.swap(copy.vecKeys);  // copy now deletes the old keys
  return *this;
}

CKdIni::CIniSection::~CIniSection() { DeleteAll(vecKeys); }

CKdIni::CKdIni() : bModified(false), bCrLfLines(false), bByteOrderMark(false) {}

CKdIni::CKdIni(const CKdIni& other)
    : vecSections(CopyOwned(other.vecSections)),
      vecTailLines(other.vecTailLines),
      strFileName(other.strFileName),
      bModified(other.bModified),
      pState(other.pState ? std::make_unique<dezov::IniStoreState>(*other.pState) : nullptr),
      bCrLfLines(other.bCrLfLines),
      bByteOrderMark(other.bByteOrderMark) {}

CKdIni& CKdIni::operator=(const CKdIni& other) {
  if (this == &other) return *this;
  std::vector<CIniSection*> sections = CopyOwned(other.vecSections);
  std::vector<std::string> tailLines = other.vecTailLines;
  std::string fileName = other.strFileName;
  std::unique_ptr<dezov::IniStoreState> state =
      other.pState ? std::make_unique<dezov::IniStoreState>(*other.pState) : nullptr;
  ResetContent();  // nothing below can fail
  vecSections.swap(sections);
  vecTailLines.swap(tailLines);
  strFileName.swap(fileName);
  pState.swap(state);
  bModified = other.bModified;
  bCrLfLines = other.bCrLfLines;
  bByteOrderMark = other.bByteOrderMark;
  return *this;
}

CKdIni::~CKdIni() {
  try {
    if (bModified) WriteFile();  // a store that cannot be saved now loses its changes
  } catch (...) {
    // Out of memory while saving: a destructor must not throw.
  }
  ResetContent();
}

void CKdIni::ResetContent() {
  if (pState) {
    pState->index.Clear();
    // A save over a file changed by another program empties it too.
    pState->removals.assign(1, {dezov::IniRemoval::kEverything, std::string(), std::string()});
  }
  DeleteAll(vecSections);
  vecTailLines.clear();
}

dezov::IniStoreState& CKdIni::_State() {
  if (!pState) pState = std::make_unique<dezov::IniStoreState>();
  return *pState;
}

dezov::IniNameIndex& CKdIni::_Index() { return _State().index; }
