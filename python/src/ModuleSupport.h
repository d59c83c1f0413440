// SPDX-License-Identifier: MIT
// What the classes of the module share: its exceptions (dezov.Error for
// failed I/O, dezov.RefusedError for refused names and values, KeyError for
// missing ones, ValueError for a closed store), the reports made where an
// exception cannot be raised, and the lock that lets one thread use a store
// while others wait without holding the interpreter's lock.
#ifndef DEZOV20_PYTHON_MODULE_SUPPORT_H
#define DEZOV20_PYTHON_MODULE_SUPPORT_H

#include <pybind11/pybind11.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace dezov {
namespace python {

// Creates dezov.Error and dezov.RefusedError in module and turns the XML
// library's DOM exceptions into the latter. Called once, before any class is bound.
void BindErrors(pybind11::module_& module);

// Raises dezov.Error (an OSError) for a failed operation on the file path:
// the message is the library's reason (prefixed with the file's name when the
// reason does not name it) and suffix; errno is the system error the reason
// names, if any; filename is path.
[[noreturn]] void RaiseFileError(const std::string& reason, const std::string& path,
                                 const char* suffix = "");

// Raises dezov.RefusedError (a dezov.Error and a ValueError) with message.
[[noreturn]] void RaiseRefused(const pybind11::str& message);

// Raises ValueError: the store of that kind was closed.
[[noreturn]] void RaiseClosed(const char* kind);

// Raises KeyError for a name that is not there.
[[noreturn]] void RaiseKeyError(const pybind11::handle& name);

// Reports the dezov.Error that RaiseFileError would raise where nothing can be
// raised (the end of an object), as Python reports a failed close of a file
// that the collector ends.
void ReportFileError(const std::string& reason, const std::string& path, const char* suffix = "");

// Issues a ResourceWarning (reported as unraisable if warnings are errors).
void WarnResource(const pybind11::str& message);

// True once the interpreter is shutting down: its lock must not be released
// then, as threads that take it again are ended on the spot.
bool InterpreterFinalizing();

// The names seen so far, matched as the stores match names (SameName).
class SeenNames {
 public:
  // True the first time a name is added.
  bool Add(const std::string& name);

 private:
  // Same names have equal lengths: each name is compared with those of its length.
  std::unordered_map<std::size_t, std::vector<std::string>> byLength_;
};

// Each name once, at its first place, as lookups by name reach it; an empty
// name (the text lines of an INI section) is no name and is left out.
std::vector<std::string> FirstOfEachName(const std::vector<std::string>& names);

// One store's use by one thread at a time. Loads and saves run without the
// interpreter's lock, so another thread may call into the same object
// meanwhile: it waits here, without that lock, until the first is done.
// Recursive, so that an operation may call another of the same object.
class StoreLock {
 public:
  // Holds the store's lock for the life of the object.
  class Use {
   public:
    explicit Use(StoreLock& lock);
    ~Use() { lock_.unlock(); }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

   private:
    std::recursive_mutex& lock_;
  };

 private:
  std::recursive_mutex mutex_;
};

}  // namespace python
}  // namespace dezov

#endif  // DEZOV20_PYTHON_MODULE_SUPPORT_H
