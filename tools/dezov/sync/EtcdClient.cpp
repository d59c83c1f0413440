// SPDX-License-Identifier: MIT
#include "EtcdClient.h"

#include <random>

namespace dezov {
namespace sync {
namespace {

constexpr long kConnectMs = 2000;
constexpr long kRequestMs = 10000;

}  // namespace

EtcdWatch::EtcdWatch(std::unique_ptr<HttpPost> post, int wakeFd)
    : post_(std::move(post)), wakeFd_(wakeFd) {}

EtcdResult EtcdWatch::Next(int waitMs, std::vector<WatchMessage>& messages, std::string& reason) {
  const HttpPost::State state = post_->Step(waitMs, wakeFd_);
  pending_ += post_->received();
  post_->received().clear();
  // The gateway ends each message with a newline; JSON strings hold none.
  for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
    const std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (line.find_first_not_of(" \r\t") == std::string::npos) continue;
    WatchMessage message;
    if (!ParseWatchMessage(line, message, reason)) return EtcdResult::kRetry;
    messages.push_back(std::move(message));
  }
  switch (state) {
    case HttpPost::State::kRunning:
      return EtcdResult::kOk;
    case HttpPost::State::kWoken:
      return EtcdResult::kStopped;
    case HttpPost::State::kFailed:
      reason = post_->error();
      return EtcdResult::kRetry;
    case HttpPost::State::kDone:
      break;
  }
  WatchMessage last;
  if (!pending_.empty() && !ParseWatchMessage(pending_, last, reason)) return EtcdResult::kRetry;
  reason = "the member ended the watch (HTTP " + std::to_string(post_->status()) + ")";
  return EtcdResult::kRetry;
}

EtcdClient::EtcdClient(const EtcdOptions& options, int wakeFd)
    : options_(options), wakeFd_(wakeFd) {
  std::random_device entropy;
  current_ = entropy() % options_.endpoints.size();
}

void EtcdClient::NextEndpoint() {
  current_ = (current_ + 1) % options_.endpoints.size();
  token_.clear();
}

std::vector<std::string> EtcdClient::Headers(bool requireLeader) const {
  std::vector<std::string> headers;
  if (!token_.empty()) headers.push_back("Authorization: " + token_);
  if (requireLeader) headers.push_back("Grpc-Metadata-hasleader: true");
  return headers;
}

EtcdResult EtcdClient::Post(const char* path, const std::string& body, long totalMs,
                            std::string& answer, std::string& reason) {
  long status = 0;
  if (PostAndWait(endpoint() + path, body, Headers(false), options_.tls, totalMs, wakeFd_, answer,
                  status, reason))
    return EtcdResult::kOk;
  return reason == "stopped" ? EtcdResult::kStopped : EtcdResult::kRetry;
}

EtcdResult EtcdClient::Authenticate(std::string& reason) {
  token_.clear();
  if (options_.user.empty()) return EtcdResult::kOk;
  std::string answer;
  const EtcdResult posted = Post("/v3/auth/authenticate",
                                 AuthenticateRequest(options_.user, options_.password), kRequestMs,
                                 answer, reason);
  if (posted != EtcdResult::kOk) return posted;
  std::string token;
  if (ParseAuthenticate(answer, token, reason)) {
    token_ = token;
    return EtcdResult::kOk;
  }
  // Credentials given before the cluster turns authentication on are no error.
  if (reason.find("authentication is not enabled") != std::string::npos) return EtcdResult::kOk;
  reason = endpoint() + ": " + reason;
  return IsAuthenticationRefusal(reason) ? EtcdResult::kRefused : EtcdResult::kRetry;
}

EtcdResult EtcdClient::Range(const std::string& key, const std::string& rangeEnd,
                             RangeAnswer& answer, std::string& reason) {
  std::string body;
  const EtcdResult posted = Post("/v3/kv/range", RangeRequest(key, rangeEnd), kRequestMs, body,
                                 reason);
  if (posted != EtcdResult::kOk) return posted;
  if (ParseRange(body, answer, reason)) return EtcdResult::kOk;
  reason = endpoint() + ": " + reason;
  return EtcdResult::kRetry;
}

EtcdWatch EtcdClient::Watch(const std::string& key, const std::string& rangeEnd,
                            std::int64_t startRevision) {
  return EtcdWatch(std::unique_ptr<HttpPost>(new HttpPost(
                       endpoint() + "/v3/watch", WatchRequest(key, rangeEnd, startRevision),
                       Headers(true), options_.tls, kConnectMs, 0)),
                   wakeFd_);
}

bool NormalizeEndpoint(const std::string& endpoint, bool tls, std::string& url,
                       std::string& reason) {
  url = endpoint;
  while (!url.empty() && url.back() == '/') url.pop_back();
  const std::size_t scheme = url.find("://");
  if (scheme == std::string::npos) {
    url = (tls ? "https://" : "http://") + url;
  } else if (url.compare(0, scheme, "http") != 0 && url.compare(0, scheme, "https") != 0) {
    reason = "endpoint " + endpoint + ": only http:// and https:// are served";
    return false;
  }
  if (url.size() > url.find("://") + 3) return true;
  reason = "an empty endpoint";
  return false;
}

}  // namespace sync
}  // namespace dezov
