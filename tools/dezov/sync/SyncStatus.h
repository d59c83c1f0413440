// SPDX-License-Identifier: MIT
// The sync agent's status file: the last applied revision, when it was
// applied, and what is known of each key, so that a restarted agent never
// takes a file back to an older revision. Text, one item a line:
//   revision 1234
//   time 2026-01-31T12:00:00Z
//   key REVISION FILE_REVISION EXISTS NAME
// NAME is the key with every byte outside '!'..'~' and '%' written %XX.
#ifndef DEZOV_SYNC_SYNC_STATUS_H
#define DEZOV_SYNC_SYNC_STATUS_H

#include <cstdint>
#include <ctime>
#include <map>
#include <string>

#include "SyncState.h"

namespace dezov {
namespace sync {

struct SyncStatus {
  std::int64_t revision = 0;  // the last applied revision
  std::time_t time = 0;       // when it was applied
  std::map<std::string, KeyRecord> records;
};

// The status as the file's text.
std::string FormatStatus(const SyncStatus& status);

// Reads the file's text; false with reason (naming the line) when it is no status.
bool ParseStatus(const std::string& text, SyncStatus& status, std::string& reason);

// key with every byte outside '!'..'~' and '%' written %XX, as in the file.
std::string PrintableKey(const std::string& key);

// time as UTC in ISO 8601 (2026-01-31T12:00:00Z), independent of the locale.
std::string FormatUtc(std::time_t time);

}  // namespace sync
}  // namespace dezov

#endif  // DEZOV_SYNC_SYNC_STATUS_H
