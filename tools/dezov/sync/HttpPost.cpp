// SPDX-License-Identifier: MIT
#include "HttpPost.h"

#include <curl/curl.h>
#include <poll.h>

#include <stdexcept>

namespace dezov {
namespace sync {
namespace {

CURL* Easy(void* handle) { return static_cast<CURL*>(handle); }
CURLM* Multi(void* handle) { return static_cast<CURLM*>(handle); }

bool Readable(int fd) {
  if (fd < 0) return false;
  struct pollfd probe = {fd, POLLIN, 0};
  return ::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLIN | POLLHUP)) != 0;
}

}  // namespace

CurlLibrary::CurlLibrary() {
  if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
    throw std::runtime_error("libcurl cannot start");
}

CurlLibrary::~CurlLibrary() { curl_global_cleanup(); }

HttpPost::HttpPost(const std::string& url, const std::string& body,
                   const std::vector<std::string>& headers, const TlsFiles& tls, long connectMs,
                   long totalMs)
    : url_(url), errorBuffer_(CURL_ERROR_SIZE + 1, '\0') {
  easy_ = curl_easy_init();
  multi_ = curl_multi_init();
  if (easy_ == nullptr || multi_ == nullptr) throw std::runtime_error("libcurl has no memory");
  curl_slist* list = curl_slist_append(nullptr, "Content-Type: application/json");
  for (const std::string& header : headers) list = curl_slist_append(list, header.c_str());
  headers_ = list;
  CURL* easy = Easy(easy_);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpPost::Receive);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer_.data());
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
  if (totalMs > 0) curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, totalMs);
  // A peer that vanished without closing the connection is noticed within a minute.
  curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L);
  curl_easy_setopt(easy, CURLOPT_TCP_KEEPIDLE, 20L);
  curl_easy_setopt(easy, CURLOPT_TCP_KEEPINTVL, 10L);
  if (!tls.caCert.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, tls.caCert.c_str());
  if (!tls.cert.empty()) curl_easy_setopt(easy, CURLOPT_SSLCERT, tls.cert.c_str());
  if (!tls.certKey.empty()) curl_easy_setopt(easy, CURLOPT_SSLKEY, tls.certKey.c_str());
  curl_multi_add_handle(Multi(multi_), easy);
}

HttpPost::~HttpPost() {
  curl_multi_remove_handle(Multi(multi_), Easy(easy_));
  curl_easy_cleanup(Easy(easy_));
  curl_multi_cleanup(Multi(multi_));
  curl_slist_free_all(static_cast<curl_slist*>(headers_));
}

std::size_t HttpPost::Receive(char* data, std::size_t size, std::size_t count, void* self) {
  static_cast<HttpPost*>(self)->received_.append(data, size * count);
  return size * count;
}

long HttpPost::status() const {
  long code = 0;
  curl_easy_getinfo(Easy(easy_), CURLINFO_RESPONSE_CODE, &code);
  return code;
}

bool HttpPost::Finished(State& state) {
  if (ended_ == State::kRunning) {
    int running = 0;
    curl_multi_perform(Multi(multi_), &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(Multi(multi_), &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      const CURLcode result = message->data.result;
      ended_ = result == CURLE_OK ? State::kDone : State::kFailed;
      if (result != CURLE_OK)
        error_ = url_ + ": " +
                 (errorBuffer_[0] != '\0' ? errorBuffer_.data() : curl_easy_strerror(result));
    }
  }
  state = ended_;
  return ended_ != State::kRunning;
}

HttpPost::State HttpPost::Step(int waitMs, int wakeFd) {
  State state = State::kRunning;
  if (Finished(state) || !received_.empty()) return state;
  if (Readable(wakeFd)) return State::kWoken;
  curl_waitfd extra = {wakeFd, CURL_WAIT_POLLIN, 0};
  int ready = 0;
  curl_multi_poll(Multi(multi_), wakeFd >= 0 ? &extra : nullptr, wakeFd >= 0 ? 1u : 0u, waitMs,
                  &ready);
  if (wakeFd >= 0 && (extra.revents & CURL_WAIT_POLLIN) != 0) return State::kWoken;
  (void)Finished(state);
  return state;
}

bool PostAndWait(const std::string& url, const std::string& body,
                 const std::vector<std::string>& headers, const TlsFiles& tls, long totalMs,
                 int wakeFd, std::string& answer, long& status, std::string& reason) {
  HttpPost post(url, body, headers, tls, totalMs < 2000 ? totalMs : 2000, totalMs);
  answer.clear();
  for (;;) {
    const HttpPost::State state = post.Step(1000, wakeFd);
    answer += post.received();
    post.received().clear();
    switch (state) {
      case HttpPost::State::kRunning:
        continue;
      case HttpPost::State::kDone:
        status = post.status();
        return true;
      case HttpPost::State::kFailed:
        reason = post.error();
        return false;
      case HttpPost::State::kWoken:
        reason = "stopped";
        return false;
    }
  }
}

}  // namespace sync
}  // namespace dezov
