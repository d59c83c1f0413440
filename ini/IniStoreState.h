// What a CKdIni keeps besides its public members, behind the one private
// pointer of its layout: the name index, and the reason of the last failed
// file operation.
#ifndef DEZOV20_INI_INI_STORE_STATE_H
#define DEZOV20_INI_INI_STORE_STATE_H

#include <string>

#include "IniNameIndex.h"

namespace dezov {

class IniStoreState {
 public:
  IniStoreState() = default;
  // Copies everything but the index, which describes the other store's lists.
  IniStoreState(const IniStoreState& other) : lastError(other.lastError) {}
  IniStoreState& operator=(const IniStoreState&) = delete;

  IniNameIndex index;
  std::string lastError;  // why the last Open or write failed; empty after success
};

// Reads a store's private state for the library's own helpers.
class IniStoreAccess {
 public:
  // The store's state; null when it never needed one.
  static const IniStoreState* StateOf(const CKdIni& store) { return store.pState.get(); }
};

}  // namespace dezov

#endif  // DEZOV20_INI_INI_STORE_STATE_H
