// SPDX-License-Identifier: MIT
// The one error channel inside the library: a code and a message. Platform
// functions build it from the OS's error number (OsError); the stores turn it
// into their own result conventions at their public boundary.
#ifndef DEZOV20_PLATFORM_STATUS_H
#define DEZOV20_PLATFORM_STATUS_H

#include <string>
#include <utility>

namespace dezov {

class Status {
 public:
  enum class Code { kOk, kNotFound, kAlreadyExists, kIOError, kLocked, kCorrupt, kInvalid };

  Status() = default;  // success
  static Status Ok() { return Status(); }
  static Status NotFound(std::string message) { return Status(Code::kNotFound, std::move(message)); }
  static Status AlreadyExists(std::string message) {
    return Status(Code::kAlreadyExists, std::move(message));
  }
  static Status IOError(std::string message) { return Status(Code::kIOError, std::move(message)); }
  static Status Locked(std::string message) { return Status(Code::kLocked, std::move(message)); }
  static Status Corrupt(std::string message) { return Status(Code::kCorrupt, std::move(message)); }
  static Status Invalid(std::string message) { return Status(Code::kInvalid, std::move(message)); }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  bool IsNotFound() const { return code_ == Code::kNotFound; }
  bool IsAlreadyExists() const { return code_ == Code::kAlreadyExists; }
  bool IsLocked() const { return code_ == Code::kLocked; }
  // The message alone; empty for success.
  const std::string& message() const { return message_; }
  // The same code with another message.
  Status WithMessage(std::string message) const { return Status(code_, std::move(message)); }

 private:
  Status(Code code, std::string message) : code_(code), message_(std::move(message)) {}

  Code code_ = Code::kOk;
  std::string message_;
};

namespace platform {

// A failed OS call on path as a Status: "<what> '<path>': <OS reason>", with
// the code derived from the OS error number (missing file: NotFound; name taken:
// AlreadyExists; lock held: Locked; anything else: IOError). Each platform implements it once.
Status OsError(const char* what, const std::string& path, int osError);

// What the portable code tells apart in the OS error numbers FileSystem
// returns; each platform implements these once, beside OsError.
bool IsInterrupted(int osError);   // a call cut short by a signal, to be made again
bool IsLockBusy(int osError);      // TryLock failed only for now: wait and try again
bool IsMissing(int osError);       // nothing at that path
bool IsNameTaken(int osError);     // a new name exists already
bool IsRefused(int osError);       // not permitted (permissions, a sticky directory)
bool IsUnsupported(int osError);   // the system or file system has no such call
// Opening a lock file failed only for now (Windows: one being deleted); never on POSIX.
bool IsLockFileBusy(int osError);
int NoProgressError();             // what a write that writes nothing reports

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_STATUS_H
