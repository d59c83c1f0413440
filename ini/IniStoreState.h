// SPDX-License-Identifier: MIT
// What a CKdIni keeps besides its public members, behind the one private
// pointer of its layout: the name index, what the store knows of its file,
// the removals made since it was read, and the reason of the last failed file
// operation.
#ifndef DEZOV20_INI_INI_STORE_STATE_H
#define DEZOV20_INI_INI_STORE_STATE_H

#include <functional>
#include <string>
#include <vector>

#include "../platform/FileStamp.h"
#include "IniNameIndex.h"

namespace dezov {

class IniTextParser;

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
  std::string lastError;  // what GetLastErrMsg gives: why the last refusal happened
};

// Hands the parser the text of a store's source (a file's pieces as they are
// read, or a buffer) and receives the stamp of a file read.
using IniTextSource = std::function<Status(IniTextParser& parser, platform::FileStamp& stamp)>;

// The library's own helpers' access to a store's private parts.
class IniStoreAccess {
 public:
  // The store's state; null when it never needed one.
  static const IniStoreState* StateOf(const CKdIni& store) { return store.pState.get(); }
  // The reason GetLastErrMsg gives, made on first use.
  static std::string& LastError(CKdIni& store) { return store._State().lastError; }
  // The one reading path of Open and OpenBuffer: saves the store's pending
  // changes, empties it, parses what source hands over, and on success
  // records fileName (empty for a buffer) as the file the store read.
  static bool Load(CKdIni& store, const std::string& fileName, const IniTextSource& source);
};

}  // namespace dezov

#endif  // DEZOV20_INI_INI_STORE_STATE_H
