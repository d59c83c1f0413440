// SPDX-License-Identifier: MIT
#include "SyncAgent.h"

#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "ConfigCheck.h"
#include "PutFile.h"
#include "SyncStatus.h"

extern char** environ;

namespace dezov {
namespace sync {
namespace {

constexpr int kFirstBackoffMs = 100;
constexpr int kLastBackoffMs = 5000;
constexpr int kPollMs = 1000;
constexpr int kFirstRetryMs = 1000;  // failed writes: tried again after 1 s, doubling up to 30 s
constexpr int kLastRetryMs = 30000;
// A member reports progress every 10 minutes by default; one silent for 15 is
// taken for stuck (a stopped process keeps its connections open).
constexpr auto kSilenceLimit = std::chrono::minutes(15);

// The next pause before reconnecting: doubling from 100 ms to 5 s, each drawn
// from its upper half so that agents cut off together do not return together.
int NextBackoff(int& backoffMs) {
  backoffMs = backoffMs == 0 ? kFirstBackoffMs : std::min(backoffMs * 2, kLastBackoffMs);
  static std::minstd_rand jitter{std::random_device{}()};
  return backoffMs / 2 + static_cast<int>(jitter() % static_cast<unsigned>(backoffMs / 2 + 1));
}

std::string OneLine(std::string text) {
  for (std::size_t at; (at = text.find('\n')) != std::string::npos;) text.replace(at, 1, "; ");
  return text;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

SyncAgent::SyncAgent(const SyncSettings& settings, int wakeFd,
                     std::function<std::string(const std::string&)> shown)
    : settings_(settings),
      wakeFd_(wakeFd),
      shown_(std::move(shown)),
      client_(settings.etcd, wakeFd),
      state_(settings.removeDeleted) {}

void SyncAgent::Log(const std::string& line) const {
  const std::string text = "dezov sync: " + line + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool SyncAgent::Pause(int ms) {
  struct pollfd wake = {wakeFd_, POLLIN, 0};
  return ::poll(&wake, 1, ms) <= 0;
}

bool SyncAgent::LoadStatus() {
  if (settings_.statusFile.empty()) return true;
  std::string text;
  struct stat info;
  if (::stat(settings_.statusFile.c_str(), &info) != 0 && errno == ENOENT) return true;
  SyncStatus status;
  std::string reason;
  if (!ReadWholeFile(settings_.statusFile, text)) {
    Log("cannot read the status file " + settings_.statusFile + ": " + std::strerror(errno));
    return false;
  }
  if (!ParseStatus(text, status, reason)) {
    Log("the status file " + settings_.statusFile + " is damaged (" + reason +
        "); remove it to start afresh");
    return false;
  }
  state_.Restore(status.revision, status.records);
  savedRevision_ = status.revision;
  return true;
}

void SyncAgent::SaveStatus() {
  if (settings_.statusFile.empty() || (state_.applied() == savedRevision_ && !dirty_)) return;
  SyncStatus status;
  status.revision = state_.applied();
  status.time = std::time(nullptr);
  status.records = state_.records();
  std::string reason;
  if (!PutFileBytes(settings_.statusFile, FormatStatus(status), PutOptions(), reason)) {
    Log("cannot write the status file: " + shown_(reason));
    return;
  }
  savedRevision_ = status.revision;
  dirty_ = false;
}

bool SyncAgent::AlreadyInPlace(const std::string& file, const std::string& bytes) const {
  struct stat info;
  std::string current;
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (settings_.mode >= 0 && static_cast<int>(info.st_mode & 07777) != settings_.mode) return false;
  if (settings_.owner >= 0 && static_cast<long>(info.st_uid) != settings_.owner) return false;
  if (settings_.group >= 0 && static_cast<long>(info.st_gid) != settings_.group) return false;
  return static_cast<std::size_t>(info.st_size) == bytes.size() && ReadWholeFile(file, current) &&
         current == bytes;
}

void SyncAgent::RunExec(const std::string& file, const FileAction& action) {
  if (settings_.exec.empty()) return;
  // The values reach the command through its environment only, never its text.
  std::vector<std::string> variables = {"DEZOV_SYNC_FILE=" + file,
                                        "DEZOV_SYNC_REVISION=" + std::to_string(action.revision),
                                        "DEZOV_SYNC_KEY=" + action.key};
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (std::strncmp(*entry, "DEZOV_SYNC_", 11) != 0) variables.push_back(*entry);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(&variable[0]);
  envp.push_back(nullptr);
  char shell[] = "/bin/sh", dashC[] = "-c";
  std::string command = settings_.exec;
  char* argv[] = {shell, dashC, &command[0], nullptr};

  // Signals the agent ignores are the command's to handle as usual.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
#ifdef SIGXFSZ
  sigaddset(&defaults, SIGXFSZ);
#endif
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  const int error = posix_spawn(&child, shell, nullptr, &attributes, argv, envp.data());
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    Log("cannot run --exec: " + std::string(std::strerror(error)));
    return;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
  Log("--exec for " + file + " at revision " + std::to_string(action.revision) +
      (WIFEXITED(status) ? " exited with status " + std::to_string(WEXITSTATUS(status))
                         : " ended by signal " + std::to_string(WTERMSIG(status))));
}

Outcome SyncAgent::Perform(const FileAction& action) {
  const std::string at = PrintableKey(action.key) + " revision " + std::to_string(action.revision);
  std::string file, reason;
  if (!settings_.target.FileOf(action.key, file, reason) ||
      (file == settings_.statusFile && (reason = "the file would be the status file", true))) {
    Log(at + " refused: " + reason);
    return Outcome::kRefused;
  }
  if (action.kind == FileAction::kRemove) {
    struct stat info;
    if (::lstat(file.c_str(), &info) != 0 && errno == ENOENT) {
      Log(at + ": key deleted, " + file + " already absent");
      return Outcome::kApplied;
    }
    if (!RemoveFileLocked(file, reason)) {
      Log(at + ": key deleted, but " + shown_(OneLine(reason)) + " (retrying)");
      return Outcome::kFailed;
    }
    Log(at + ": key deleted, " + file + " removed");
    RunExec(file, action);
    return Outcome::kApplied;
  }
  if (!CheckConfigBytes(ConfigKindOf(file), action.value, file, reason)) {
    Log(at + " refused: " + shown_(OneLine(reason)) + " (" + file + " unchanged)");
    return Outcome::kRefused;
  }
  if (AlreadyInPlace(file, action.value)) {
    Log(at + ": " + file + " already holds it");
    return Outcome::kApplied;
  }
  PutOptions options;
  options.mode = settings_.mode;
  options.owner = settings_.owner;
  options.group = settings_.group;
  if (!PutFileBytes(file, action.value, options, reason)) {
    Log(at + ": " + shown_(OneLine(reason)) + " (" + file + " unchanged; retrying)");
    return Outcome::kFailed;
  }
  Log(at + ": " + file + " replaced");
  RunExec(file, action);
  return Outcome::kApplied;
}

void SyncAgent::Apply(const std::vector<FileAction>& actions) {
  for (const FileAction& action : actions) {
    const Outcome outcome = Perform(action);
    if (outcome != Outcome::kApplied) ++unsuccessful_;
    state_.Done(action, outcome);
    dirty_ = true;
  }
  SaveStatus();
}

EtcdResult SyncAgent::ReadAll(std::string& reason) {
  const SyncTarget& target = settings_.target;
  RangeAnswer answer;
  const EtcdResult result = client_.Range(target.key(), target.RangeEnd(), answer, reason);
  if (result != EtcdResult::kOk) return result;
  std::vector<FileAction> actions;
  if (!state_.Snapshot(answer.revision, answer.kvs, actions)) {
    reason = client_.endpoint() + " is at revision " + std::to_string(answer.revision) +
             ", behind the applied revision " + std::to_string(state_.applied());
    return EtcdResult::kRetry;
  }
  Log("read " + std::to_string(answer.kvs.size()) + (answer.kvs.size() == 1 ? " key" : " keys") +
      " at revision " + std::to_string(answer.revision) + " from " + client_.endpoint());
  if (!target.IsPrefix() && answer.kvs.empty()) {
    Log(PrintableKey(target.key()) + " does not exist at revision " + std::to_string(answer.revision));
    ++unsuccessful_;
  }
  dirty_ = true;
  Apply(actions);
  return EtcdResult::kOk;
}

EtcdResult SyncAgent::Follow(bool& readAgain, std::string& reason) {
  const SyncTarget& target = settings_.target;
  EtcdWatch watch = client_.Watch(target.key(), target.RangeEnd(), state_.applied() + 1);
  auto lastRetry = std::chrono::steady_clock::now();
  auto lastWord = lastRetry;
  for (;;) {
    std::vector<WatchMessage> messages;
    const EtcdResult result = watch.Next(kPollMs, messages, reason);
    const auto now = std::chrono::steady_clock::now();
    if (!messages.empty()) lastWord = now;
    for (const WatchMessage& message : messages) {
      switch (message.kind) {
        case WatchMessage::kCreated:
          backoffMs_ = 0;
          Log("watching from revision " + std::to_string(state_.applied() + 1) + " at " +
              client_.endpoint());
          break;
        case WatchMessage::kEvents:
          Apply(state_.Events(message.events));
          break;
        case WatchMessage::kProgress:
          state_.Progress(message.revision);
          SaveStatus();
          break;
        case WatchMessage::kCompacted:
          Log("revision " + std::to_string(state_.applied() + 1) +
              " was compacted away (oldest kept: " + std::to_string(message.compactRevision) +
              "); reading everything afresh");
          readAgain = true;
          return EtcdResult::kOk;
        case WatchMessage::kCanceled:
          reason = client_.endpoint() + " ended the watch: " + message.reason;
          return EtcdResult::kRetry;
      }
    }
    if (result != EtcdResult::kOk) return result;
    if (now - lastWord > kSilenceLimit) {
      reason = client_.endpoint() + " sent nothing for 15 minutes";
      return EtcdResult::kRetry;
    }
    if (state_.Retries().empty()) {
      retryMs_ = kFirstRetryMs;
    } else if (now - lastRetry >= std::chrono::milliseconds(retryMs_)) {
      lastRetry = now;
      retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
      Apply(state_.Retries());
    }
  }
}

int SyncAgent::Run() {
  if (!LoadStatus()) return 2;
  bool readAgain = true;
  std::size_t failedMembers = 0;
  for (;;) {
    std::string reason;
    EtcdResult result = client_.Authenticate(reason);
    if (result == EtcdResult::kOk && readAgain) {
      result = ReadAll(reason);
      if (result == EtcdResult::kOk) {
        readAgain = false;
        if (settings_.once) return unsuccessful_ == 0 ? 0 : 1;
      }
    }
    if (result == EtcdResult::kOk) result = Follow(readAgain, reason);
    if (result == EtcdResult::kOk) continue;  // compacted: read again at once
    if (result == EtcdResult::kStopped) return settings_.once ? 2 : 0;
    if (result == EtcdResult::kRefused) {
      Log(shown_(reason));
      return 2;
    }
    if (settings_.once && ++failedMembers >= client_.EndpointCount()) {
      Log(reason + "; no member answered");
      return 2;
    }
    client_.NextEndpoint();
    const int pauseMs = NextBackoff(backoffMs_);
    Log(reason + "; trying " + client_.endpoint() + " in " + std::to_string(pauseMs) + " ms");
    if (!Pause(pauseMs)) return settings_.once ? 2 : 0;
  }
}

}  // namespace sync
}  // namespace dezov
