// SPDX-License-Identifier: MIT
// A client of an etcd cluster's v3 HTTP/JSON gateway: reads at one revision,
// watches from a revision on, authenticates, and moves on to the next member
// when the one in use fails.
#ifndef DEZOV_SYNC_ETCD_CLIENT_H
#define DEZOV_SYNC_ETCD_CLIENT_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EtcdWire.h"
#include "HttpPost.h"

namespace dezov {
namespace sync {

struct EtcdOptions {
  std::vector<std::string> endpoints;  // member URLs (http:// or https://)
  TlsFiles tls;
  std::string user;                    // "" : no authentication
  std::string password;
};

// How a request ended.
enum class EtcdResult {
  kOk,
  kRetry,    // this member failed or refused for now: another one, or later, may answer
  kRefused,  // the cluster refuses the name or password: no retry mends it
  kStopped,  // the wake-up descriptor became readable
};

// The gateway's answers as a stream of watch messages.
class EtcdWatch {
 public:
  EtcdWatch(std::unique_ptr<HttpPost> post, int wakeFd);
  // Waits up to waitMs and appends the messages that arrived; kRetry with
  // reason when the stream broke or ended, kStopped when woken.
  EtcdResult Next(int waitMs, std::vector<WatchMessage>& messages, std::string& reason);

 private:
  std::unique_ptr<HttpPost> post_;
  int wakeFd_;
  std::string pending_;  // the start of a message not yet complete
};

class EtcdClient {
 public:
  // wakeFd: requests give up (kStopped) when it becomes readable.
  EtcdClient(const EtcdOptions& options, int wakeFd);

  // The member in use; the first one is chosen by seed, to spread agents out.
  const std::string& endpoint() const { return options_.endpoints[current_]; }
  // Moves on to the next member, round the list.
  void NextEndpoint();
  std::size_t EndpointCount() const { return options_.endpoints.size(); }

  // Gets a new token from the member in use, when a user is set (none, and
  // kOk, while the cluster has authentication turned off).
  EtcdResult Authenticate(std::string& reason);
  // Reads key (every key up to rangeEnd when not "") at the current revision.
  EtcdResult Range(const std::string& key, const std::string& rangeEnd, RangeAnswer& answer,
                   std::string& reason);
  // Watches key (up to rangeEnd) from startRevision on. The member ends the
  // watch when it loses the cluster's leader, so that no agent follows a
  // member cut off from the others.
  EtcdWatch Watch(const std::string& key, const std::string& rangeEnd, std::int64_t startRevision);

 private:
  EtcdResult Post(const char* path, const std::string& body, long totalMs, std::string& answer,
                  std::string& reason);
  std::vector<std::string> Headers(bool requireLeader) const;

  EtcdOptions options_;
  int wakeFd_;
  std::size_t current_ = 0;
  std::string token_;
};

// An endpoint as a base URL: "host:port" gains http:// (https:// when TLS
// files are given); a trailing '/' is dropped. False with reason for an
// empty one or another scheme.
bool NormalizeEndpoint(const std::string& endpoint, bool tls, std::string& url,
                       std::string& reason);

}  // namespace sync
}  // namespace dezov

#endif  // DEZOV_SYNC_ETCD_CLIENT_H
