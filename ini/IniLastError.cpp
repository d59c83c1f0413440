#include "IniLastError.h"

#include "IniStoreState.h"

namespace dezov {

std::string IniLastError(const CKdIni& store) {
  const IniStoreState* state = IniStoreAccess::StateOf(store);
  return state == nullptr ? std::string() : state->lastError;
}

}  // namespace dezov
