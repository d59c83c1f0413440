// SPDX-License-Identifier: MIT
// Appending to the owning pointer lists of the INI model without leaking
// when the list cannot grow.
#ifndef DEZOV20_INI_INI_OWNED_LIST_H
#define DEZOV20_INI_INI_OWNED_LIST_H

#include <memory>
#include <vector>

namespace dezov {

// Moves item to the end of list, which owns it from then on.
template <class T>
T* AppendOwned(std::vector<T*>& list, std::unique_ptr<T> item) {
  list.push_back(item.get());  // if this throws, item still owns the object
  return item.release();
}

// Deletes every element of list and empties it.
template <class T>
void DeleteAll(std::vector<T*>& list) {
  for (T* item : list) delete item;
  list.clear();
}

}  // namespace dezov

#endif  // DEZOV20_INI_INI_OWNED_LIST_H
