// SPDX-License-Identifier: MIT
// Exit statuses of the tool and the error that carries one to main.
#ifndef DEZOV_TOOL_TOOL_ERROR_H
#define DEZOV_TOOL_TOOL_ERROR_H

#include <stdexcept>
#include <string>

namespace dezov {
namespace tool {

constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;  // the value, section, key or domain asked for does not exist
constexpr int kExitFailure = 2;   // usage error, unreadable input, a store that failed

// Ends a command: main prints the message on stderr and exits with status.
class ToolError : public std::runtime_error {
 public:
  ToolError(int status, const std::string& message)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

// A lookup that found nothing (exit status 1).
inline ToolError NotFound(const std::string& message) { return ToolError(kExitNotFound, message); }
// A failure or bad input (exit status 2).
inline ToolError Failure(const std::string& message) { return ToolError(kExitFailure, message); }

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_TOOL_ERROR_H
