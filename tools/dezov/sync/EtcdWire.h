// SPDX-License-Identifier: MIT
// The messages of etcd's v3 HTTP/JSON gateway as pure functions over text:
// request bodies, and the parsing of range, watch and authentication answers.
// Keys and values travel base64-encoded; 64-bit numbers as decimal strings.
#ifndef DEZOV_SYNC_ETCD_WIRE_H
#define DEZOV_SYNC_ETCD_WIRE_H

#include <cstdint>
#include <string>
#include <vector>

#include "KeyEvent.h"

namespace dezov {
namespace sync {

// Standard base64 with padding.
std::string Base64Encode(const std::string& bytes);
// False when text is not standard base64 (padding optional).
bool Base64Decode(const std::string& text, std::string& bytes);

// The range end that selects every key beginning with prefix: prefix with its
// last byte below 0xff raised by one (bytes after it dropped); "\0", every
// key, when no such byte exists.
std::string PrefixRangeEnd(const std::string& prefix);

// POST bodies for /v3/kv/range (at the current revision; rangeEnd "" for the
// key alone), /v3/watch (from startRevision on, with progress notifications)
// and /v3/auth/authenticate.
std::string RangeRequest(const std::string& key, const std::string& rangeEnd);
std::string WatchRequest(const std::string& key, const std::string& rangeEnd,
                         std::int64_t startRevision);
std::string AuthenticateRequest(const std::string& name, const std::string& password);

// A range answer: the revision it was read at and the keys found.
struct RangeAnswer {
  std::int64_t revision = 0;
  std::vector<KeyEvent> kvs;
};

// One message of a watch stream.
struct WatchMessage {
  enum Kind {
    kCreated,    // the watch is established; revision is the store's
    kEvents,     // events, in revision order
    kProgress,   // no events: everything up to revision has been sent
    kCompacted,  // the start revision was compacted away; compactRevision is the oldest kept
    kCanceled,   // the server ended the watch (reason)
  };
  Kind kind = kProgress;
  std::int64_t revision = 0;          // header.revision
  std::int64_t compactRevision = 0;   // kCompacted only
  std::vector<KeyEvent> events;       // kEvents only
  std::string reason;                 // kCanceled only
};

// Each parser: false with reason when the text is no such answer, or is the
// gateway's error answer (its message and code in reason).
bool ParseRange(const std::string& body, RangeAnswer& answer, std::string& reason);
bool ParseWatchMessage(const std::string& line, WatchMessage& message, std::string& reason);
bool ParseAuthenticate(const std::string& body, std::string& token, std::string& reason);

// Whether reason (from a parser) is the gateway's answer to a bad name or
// password, which no retry mends.
bool IsAuthenticationRefusal(const std::string& reason);

}  // namespace sync
}  // namespace dezov

#endif  // DEZOV_SYNC_ETCD_WIRE_H
