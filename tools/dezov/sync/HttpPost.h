// SPDX-License-Identifier: MIT
// One HTTP POST through libcurl, driven in steps so that the caller waits on
// it together with a wake-up descriptor (a signal's self-pipe) and reads a
// streamed answer as it arrives.
#ifndef DEZOV_SYNC_HTTP_POST_H
#define DEZOV_SYNC_HTTP_POST_H

#include <string>
#include <vector>

namespace dezov {
namespace sync {

// TLS files for https endpoints; empty members use libcurl's defaults.
struct TlsFiles {
  std::string caCert;   // PEM certificates that may sign the server's
  std::string cert;     // PEM client certificate
  std::string certKey;  // its PEM private key
};

// Starts and ends libcurl for the process; one lives while any HttpPost does.
class CurlLibrary {
 public:
  CurlLibrary();
  ~CurlLibrary();
  CurlLibrary(const CurlLibrary&) = delete;
  CurlLibrary& operator=(const CurlLibrary&) = delete;
};

class HttpPost {
 public:
  enum class State {
    kRunning,  // still transferring
    kDone,     // the whole answer arrived (any HTTP status)
    kFailed,   // no connection, a broken one, a TLS failure or the time limit: error()
    kWoken,    // wakeFd became readable
  };

  // Sends body (JSON) to url with the extra header lines; the connection must
  // be made within connectMs and the whole exchange within totalMs (0: no limit).
  HttpPost(const std::string& url, const std::string& body, const std::vector<std::string>& headers,
           const TlsFiles& tls, long connectMs, long totalMs);
  ~HttpPost();
  HttpPost(const HttpPost&) = delete;
  HttpPost& operator=(const HttpPost&) = delete;

  // Transfers for at most waitMs, returning early when the exchange ends, when
  // new answer bytes arrive (kRunning) or when wakeFd (-1: none) is readable.
  State Step(int waitMs, int wakeFd);

  // The answer's bytes received and not yet taken by the caller.
  std::string& received() { return received_; }
  // The HTTP status once answered (0 before).
  long status() const;
  // Why the exchange failed (kFailed), naming the URL.
  const std::string& error() const { return error_; }

 private:
  static std::size_t Receive(char* data, std::size_t size, std::size_t count, void* self);
  bool Finished(State& state);

  State ended_ = State::kRunning;
  void* easy_ = nullptr;
  void* multi_ = nullptr;
  void* headers_ = nullptr;
  std::string url_;
  std::string received_;
  std::string error_;
  std::vector<char> errorBuffer_;
};

// Runs a whole POST, answering within totalMs: the answer's body and HTTP
// status, or false with reason (also "stopped" when wakeFd became readable).
bool PostAndWait(const std::string& url, const std::string& body,
                 const std::vector<std::string>& headers, const TlsFiles& tls, long totalMs,
                 int wakeFd, std::string& answer, long& status, std::string& reason);

}  // namespace sync
}  // namespace dezov

#endif  // DEZOV_SYNC_HTTP_POST_H
