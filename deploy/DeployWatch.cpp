// SPDX-License-Identifier: MIT
// The deployment watcher: a background thread that sleeps on the OS's change
// notification for the file's directory, compares the file's stamp (identity,
// size, modification time) on each notification and every half second, and
// publishes a freshly loaded resolver when the file changed.
//
// Why both: notifications give a reload within tens of milliseconds and cost
// nothing while nothing happens; the half-second stamp check catches what
// notifications miss (network file systems, a symbolic link's target in
// another directory, a directory replaced as a whole) for the price of one
// stat call. A change is loaded only after the file stayed quiet for a moment,
// and a load is published only when the stamp before and after it agree, so a
// file caught half written is tried again instead of published.
#include "../include/DeployWatch.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "../include/XmlIni.h"
#include "../platform/FileRead.h"
#include "../platform/FileStamp.h"
#include "../platform/FileWatch.h"
#include "../platform/Platform.h"

namespace dezov {
namespace {

constexpr int kStampCheckMs = 500;  // the stamp check that notifications cannot replace
constexpr int kQuietMs = 20;        // a changed file must stay quiet this long before a load
constexpr int kMostQuietWaitMs = 200;  // a file written without pause is loaded after this

}  // namespace

bool LoadDeployment(const std::string& fileName, CKdDeploy& resolver, std::string& error) {
  // A reader reads bytes: opening the file as a store would create a missing
  // one (also one removed between a check and the open).
  std::string bytes;
  const Status read = platform::ReadWholeFile(fileName, bytes);
  if (!read.ok()) {
    error = read.IsNotFound() ? "cannot read '" + fileName + "': no such file" : read.message();
    return false;
  }
  CKdDeploy loaded;
  {
    CXmlIni store;
    if (!store.OpenBuffer(bytes.data(), bytes.size())) {
      error = "cannot load '" + fileName + "': " + store.GetLastErrMsg();
      return false;
    }
    loaded.InitDeloy(&store);
  }
  if (loaded.GetDeploymentCount() == 0) {
    error = "'" + fileName + "' holds no deployment (section DEPLOY, key DEPLOY1 \"name,kind\")";
    return false;
  }
  resolver = loaded;
  return true;
}

struct DeployWatch::State {
  State(const std::string& name, Callback done)
      : fileName(name), callback(std::move(done)), watch(name) {}

  // Loads the file when its stamp differs from the one last tried, or always
  // when forced (a notification may report a rewrite within one tick of the
  // file system's clock, which leaves the stamp as it was). A file that
  // changes while it loads is left for the next round.
  void Check(bool report, bool force) {
    platform::FileStamp before;
    const Status stamped = platform::StampFile(fileName, before);
    if (stamped.ok() && tried && before == lastTried && !force) return;
    if (!stamped.ok()) {
      // Reported once; the stamp of a file that cannot be seen stays empty.
      if (tried && lastTried == platform::FileStamp()) return;
      Finish(false, nullptr, stamped.message(), before, report);
      return;
    }
    auto fresh = std::make_shared<CKdDeploy>();
    std::string error;
    const bool good = LoadDeployment(fileName, *fresh, error);
    platform::FileStamp after;
    if (!platform::StampFile(fileName, after).ok() || after != before) return;
    Finish(good, std::move(fresh), error, before, report);
  }

  // Publishes a good load or keeps the last good snapshot, then reports.
  void Finish(bool good, std::shared_ptr<CKdDeploy> fresh, const std::string& error,
              const platform::FileStamp& stamp, bool report) {
    tried = true;
    lastTried = stamp;
    Reload reload;
    if (good) {
      std::atomic_store(&current, std::shared_ptr<const CKdDeploy>(std::move(fresh)));
      reload.generation = generation.fetch_add(1) + 1;
    } else {
      reload.generation = generation.load();
      reload.error = error;
    }
    {
      std::lock_guard<std::mutex> lock(errorMutex);
      lastError = reload.error;
    }
    if (report && callback) {
      try {
        callback(reload);
      } catch (...) {
        // A throwing callback must not end the watcher (or the program).
      }
    }
  }

  // Waits until the file has been quiet for a moment; false when woken to stop.
  bool WaitForQuiet() {
    const auto giveUp = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(kMostQuietWaitMs);
    for (;;) {
      const platform::FileWatch::Event event = watch.Wait(kQuietMs);
      if (event == platform::FileWatch::Event::kWoken) return false;
      if (event == platform::FileWatch::Event::kTimeout) return true;
      if (std::chrono::steady_clock::now() >= giveUp) return true;
    }
  }

  // Notes whether the system reports changes, for PollReason.
  void NotePolling() {
    std::string reason = watch.pollReason();
    if (!reason.empty()) reason = "changes are found by a check every half second: " + reason;
    std::lock_guard<std::mutex> lock(errorMutex);
    if (pollReason != reason) pollReason.swap(reason);
  }

  void Run() {
    while (!stopping.load()) {
      const platform::FileWatch::Event event = watch.Wait(kStampCheckMs);
      NotePolling();
      if (stopping.load()) return;
      const bool changed = event == platform::FileWatch::Event::kChanged;
      if (changed && !WaitForQuiet()) continue;
      if (stopping.load()) return;
      Check(true, changed);
    }
  }

  const std::string fileName;
  const Callback callback;
  platform::FileWatch watch;
  std::shared_ptr<const CKdDeploy> current;  // read and written with std::atomic_load/store
  std::atomic<std::uint64_t> generation{0};
  mutable std::mutex errorMutex;  // guards lastError and pollReason
  std::string lastError;
  std::string pollReason;
  std::atomic<bool> stopping{false};
  bool tried = false;             // watcher thread only, after the first load
  platform::FileStamp lastTried;  // stamp of the file last loaded or refused
  std::thread thread;
};

DeployWatch::DeployWatch(const std::string& fileName, Callback callback)
    : state_(std::make_unique<State>(fileName, std::move(callback))) {
  state_->NotePolling();
  state_->Check(false, false);
  if (!state_->tried) {
    // The file changed while it loaded: one more try, after it settles.
    std::this_thread::sleep_for(std::chrono::milliseconds(kQuietMs));
    state_->Check(false, false);
  }
  state_->thread = std::thread([state = state_.get()] { state->Run(); });
}

DeployWatch::~DeployWatch() {
  state_->stopping.store(true);
  state_->watch.Wake();
  if (state_->thread.joinable()) state_->thread.join();
}

std::shared_ptr<const CKdDeploy> DeployWatch::Current() const {
  return std::atomic_load(&state_->current);
}

std::uint64_t DeployWatch::Generation() const { return state_->generation.load(); }

std::string DeployWatch::LastError() const {
  std::lock_guard<std::mutex> lock(state_->errorMutex);
  return state_->lastError;
}

std::string DeployWatch::PollReason() const {
  std::lock_guard<std::mutex> lock(state_->errorMutex);
  return state_->pollReason;
}

const std::string& DeployWatch::FileName() const { return state_->fileName; }

}  // namespace dezov
