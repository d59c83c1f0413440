// SPDX-License-Identifier: MIT
// The command line of the sync agent: its options become SyncSettings, and
// SIGINT and SIGTERM end it through a self-pipe that every wait watches.
#include "SyncCommand.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "SyncAgent.h"
#include "ToolError.h"

namespace dezov {
namespace tool {
namespace {

using sync::SyncSettings;

struct SyncArgs {
  std::string first;   // KEY, or DIR with --prefix
  std::string second;  // FILE; none with --prefix
  std::string prefix;
  bool havePrefix = false;
  std::string endpoints;
  bool once = false;
  bool removeDeleted = false;
  std::string exec;
  std::string status;
  std::string caCert, cert, certKey;
  std::string user;
  std::string mode;
  std::string owner;
};

int wakeWriteFd = -1;

extern "C" void WakeUp(int) {
  if (wakeWriteFd >= 0) {
    const int saved = errno;
    (void)!::write(wakeWriteFd, "x", 1);
    errno = saved;
  }
}

// A pipe that becomes readable when SIGINT or SIGTERM arrives; the earlier
// handlers come back when it goes.
class SignalPipe {
 public:
  SignalPipe() {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
      throw Failure(std::string("cannot make a pipe: ") + std::strerror(errno));
    wakeWriteFd = fds_[1];
    struct sigaction action {};
    action.sa_handler = WakeUp;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &oldInt_);
    ::sigaction(SIGTERM, &action, &oldTerm_);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &oldPipe_);
  }
  ~SignalPipe() {
    ::sigaction(SIGINT, &oldInt_, nullptr);
    ::sigaction(SIGTERM, &oldTerm_, nullptr);
    ::sigaction(SIGPIPE, &oldPipe_, nullptr);
    wakeWriteFd = -1;
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;
  int readFd() const { return fds_[0]; }

 private:
  int fds_[2] = {-1, -1};
  struct sigaction oldInt_ {}, oldTerm_ {}, oldPipe_ {};
};

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma - start);
    if (!item.empty()) items.push_back(item);
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

// An id by name or number.
long UserId(const std::string& name) {
  if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos && name.size() < 10)
    return std::stol(name);
  const struct passwd* entry = ::getpwnam(name.c_str());
  if (entry == nullptr) throw Failure("--owner: no user " + name);
  return static_cast<long>(entry->pw_uid);
}

long GroupId(const std::string& name) {
  if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos && name.size() < 10)
    return std::stol(name);
  const struct group* entry = ::getgrnam(name.c_str());
  if (entry == nullptr) throw Failure("--owner: no group " + name);
  return static_cast<long>(entry->gr_gid);
}

SyncSettings Settings(const SyncArgs& args) {
  SyncSettings settings;
  if (args.havePrefix) {
    if (!args.second.empty()) throw Failure("sync --prefix PREFIX takes one folder: DIR");
    if (args.first.empty()) throw Failure("sync: an empty folder name");
    settings.target = sync::SyncTarget::Prefix(args.prefix, args.first);
  } else {
    if (args.first.empty() || args.second.empty())
      throw Failure("sync takes KEY FILE, or --prefix PREFIX DIR");
    settings.target = sync::SyncTarget::OneKey(args.first, args.second);
  }
  settings.etcd.tls = {args.caCert, args.cert, args.certKey};
  const bool tls = !args.caCert.empty() || !args.cert.empty();
  std::string endpoints = args.endpoints;
  if (endpoints.empty() && std::getenv("ETCDCTL_ENDPOINTS") != nullptr)
    endpoints = std::getenv("ETCDCTL_ENDPOINTS");
  if (endpoints.empty()) endpoints = "http://127.0.0.1:2379";
  for (const std::string& endpoint : SplitList(endpoints)) {
    std::string url, reason;
    if (!sync::NormalizeEndpoint(endpoint, tls, url, reason)) throw Failure("--endpoints: " + reason);
    settings.etcd.endpoints.push_back(url);
  }
  if (settings.etcd.endpoints.empty()) throw Failure("--endpoints: no endpoint given");

  std::string user = args.user;
  if (user.empty() && std::getenv("ETCDCTL_USER") != nullptr) user = std::getenv("ETCDCTL_USER");
  const std::size_t colon = user.find(':');
  settings.etcd.user = user.substr(0, colon);
  if (colon != std::string::npos) settings.etcd.password = user.substr(colon + 1);
  else if (std::getenv("ETCDCTL_PASSWORD") != nullptr)
    settings.etcd.password = std::getenv("ETCDCTL_PASSWORD");
  if (colon != std::string::npos && settings.etcd.user.empty())
    throw Failure("--user: the name is empty");

  if (!args.mode.empty()) {
    char* end = nullptr;
    const long mode = std::strtol(args.mode.c_str(), &end, 8);
    if (*end != '\0' || mode < 0 || mode > 07777 || args.mode[0] == '-')
      throw Failure("--mode " + args.mode + ": not octal permission bits (such as 0640)");
    settings.mode = static_cast<int>(mode);
  }
  if (!args.owner.empty()) {
    const std::size_t split = args.owner.find(':');
    const std::string owner = args.owner.substr(0, split);
    if (!owner.empty()) settings.owner = UserId(owner);
    if (split != std::string::npos && split + 1 < args.owner.size())
      settings.group = GroupId(args.owner.substr(split + 1));
  }
  settings.once = args.once;
  settings.removeDeleted = args.removeDeleted;
  settings.exec = args.exec;
  settings.statusFile = args.status;
  return settings;
}

int Sync(const Session& session, const SyncArgs& args) {
  const SyncSettings settings = Settings(args);
  const sync::CurlLibrary curl;
  const SignalPipe signals;
  sync::SyncAgent agent(settings, signals.readFd(),
                        [&session](const std::string& gbk) { return session.Shown(gbk); });
  return agent.Run();
}

}  // namespace

void AddSyncCommand(CLI::App& app, Session& session) {
  auto args = std::make_shared<SyncArgs>();
  CLI::App* command = app.add_subcommand(
      "sync",
      "Keep FILE equal to the etcd key KEY (or each key under PREFIX to DIR/<rest of the key>): "
      "every value is checked as dezov put checks it and replaces the file atomically; a refused "
      "value leaves the file unchanged. Runs until SIGINT or SIGTERM, or once with --once "
      "(exit status 1 when a value was refused or could not be applied)");
  command->add_option("KEY", args->first, "the key (with --prefix: the folder DIR)")
      ->type_name("")
      ->required();
  command->add_option("FILE", args->second, "the file the key's value goes to")->type_name("");
  command->add_option_function<std::string>(
      "--prefix",
      [args](const std::string& prefix) {
        args->prefix = prefix;
        args->havePrefix = true;
      },
      "sync every key beginning with PREFIX into DIR")
      ->type_name("PREFIX");
  command->add_option("--endpoints", args->endpoints,
                   "etcd members, URL[,URL...] (default: $ETCDCTL_ENDPOINTS, else "
                   "http://127.0.0.1:2379)")
      ->type_name("URL[,URL...]");
  command->add_flag("--once", args->once, "read and apply the values once, then exit");
  command->add_option("--exec", args->exec,
                   "run CMD with /bin/sh -c after a file changed, with DEZOV_SYNC_FILE, "
                   "DEZOV_SYNC_REVISION and DEZOV_SYNC_KEY in its environment")
      ->type_name("CMD");
  command->add_option("--status", args->status,
                   "keep the last applied revision, its time and each key's revision in FILE")
      ->type_name("FILE");
  command->add_flag("--delete", args->removeDeleted, "remove a file whose key is deleted");
  command->add_option("--cacert", args->caCert, "verify https members with the certificates in FILE")
      ->type_name("FILE");
  command->add_option("--cert", args->cert, "the client certificate for https members")
      ->type_name("FILE");
  command->add_option("--cert-key", args->certKey, "the client certificate's key")->type_name("FILE");
  command->add_option("--user", args->user,
                   "authenticate as NAME[:PASSWORD] (default: $ETCDCTL_USER; the password "
                   "else from $ETCDCTL_PASSWORD)")
      ->type_name("NAME[:PASSWORD]");
  command->add_option("--mode", args->mode, "permission bits of written files, in octal")
      ->type_name("OCTAL");
  command->add_option("--owner", args->owner, "USER[:GROUP] of written files (needs privilege)")
      ->type_name("USER[:GROUP]");
  command->callback([&session, args] {
    session.action = [&session, args] { return Sync(session, *args); };
  });
}

}  // namespace tool
}  // namespace dezov
