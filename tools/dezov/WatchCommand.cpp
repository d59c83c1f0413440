// SPDX-License-Identifier: MIT
// dezov deploy FILE watch QUESTION ...: asks the resolver once and again after
// every reload of FILE that changes the answer, one flushed line per answer,
// until SIGINT or SIGTERM. A reload that fails is reported on stderr and the
// last good answer stands.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>

#include "Commands.h"
#include "DeployWatch.h"
#include "Session.h"
#include "ToolError.h"

namespace dezov {
namespace tool {
namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) { stopRequested = 1; }

// The question's answer on resolver as one line: the lines of a longer answer
// joined by blanks, "" when nothing serves the request.
std::string OneLineAnswer(const Session& session, const CKdDeploy& resolver,
                          const WatchQuestion& ask) {
  Session probe = session;  // collects this answer only
  try {
    ask(probe, resolver);
  } catch (const ToolError& error) {
    if (error.status() != kExitNotFound) throw;
    return std::string();
  }
  std::string text = probe.answer();
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

void WriteLine(FILE* stream, const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

int WatchAnswers(Session& session, const std::string& file, const WatchQuestion& ask) {
  RequireExistingFile(file);
  stopRequested = 0;
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<DeployWatch::Reload> reloads;
  DeployWatch watch(file, [&](const DeployWatch::Reload& reload) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      reloads.push_back(reload);
    }
    wake.notify_one();
  });

  bool answered = false;
  std::string last;
  auto answer = [&] {
    const auto snapshot = watch.Current();
    if (!snapshot) return;
    const std::string line = OneLineAnswer(session, *snapshot, ask);
    if (answered && line == last) return;
    WriteLine(stdout, line);
    answered = true;
    last = line;
  };
  if (!watch.LastError().empty()) WriteLine(stderr, "dezov: " + watch.LastError());
  answer();

  // Signals only set the flag: the loop looks at it four times a second.
  while (!stopRequested) {
    std::deque<DeployWatch::Reload> news;
    {
      std::unique_lock<std::mutex> lock(mutex);
      wake.wait_for(lock, std::chrono::milliseconds(250), [&] { return !reloads.empty(); });
      news.swap(reloads);
    }
    bool published = false;
    for (const auto& reload : news) {
      if (reload.error.empty()) {
        published = true;
      } else {
        WriteLine(stderr, "dezov: reload failed, " +
                              std::string(answered ? "the last good answer stands: "
                                                   : "no answer yet: ") +
                              reload.error);
      }
    }
    if (published) answer();
  }
  return kExitOk;
}

}  // namespace tool
}  // namespace dezov
