// What a CKdIni keeps besides its public members, behind the one private
// pointer of its layout: the name index, what the store knows of its file,
// the removals made since it was read, and the reason of the last failed file
// operation.
#ifndef DEZOV20_INI_INI_STORE_STATE_H
#define DEZOV20_INI_INI_STORE_STATE_H

#include <string>
#include <vector>

#include "../platform/FileStamp.h"
#include "IniNameIndex.h"

namespace dezov {

// A removal made through the member functions, replayed on the file's
// current content when another program changed the file before a save.
struct IniRemoval {
  enum Kind { kKey, kSection, kEverything };
  Kind kind;
  std::string section;  // names as the caller gave them
  std::string key;
};

class IniStoreState {
 public:
  IniStoreState() = default;
  // Copies everything but the index, which describes the other store's lists.
  IniStoreState(const IniStoreState& other)
      : readPath(other.readPath),
        readStamp(other.readStamp),
        removals(other.removals),
        lastError(other.lastError) {}
  IniStoreState& operator=(const IniStoreState&) = delete;

  IniNameIndex index;
  std::string readPath;              // the file last read or written whole
  platform::FileStamp readStamp;     // that file as the store saw it then
  std::vector<IniRemoval> removals;  // since then
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
