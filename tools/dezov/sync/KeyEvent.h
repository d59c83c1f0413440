// SPDX-License-Identifier: MIT
// One key's state as etcd reports it: in a read of every key at one revision,
// or as a change in a watch.
#ifndef DEZOV_SYNC_KEY_EVENT_H
#define DEZOV_SYNC_KEY_EVENT_H

#include <cstdint>
#include <string>

namespace dezov {
namespace sync {

struct KeyEvent {
  std::string key;             // the key's bytes
  std::string value;           // the value's bytes; empty for a deletion
  std::int64_t revision = 0;   // the revision that made this state (mod_revision)
  bool deleted = false;        // the key was deleted at revision
};

}  // namespace sync
}  // namespace dezov

#endif  // DEZOV_SYNC_KEY_EVENT_H
