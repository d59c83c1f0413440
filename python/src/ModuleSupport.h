// What the classes of the module share: the exception dezov.Error that carries
// the library's reasons, the Python errors raised for a closed store or a
// missing name, and the reports made where an exception cannot be raised.
#ifndef DEZOV20_PYTHON_MODULE_SUPPORT_H
#define DEZOV20_PYTHON_MODULE_SUPPORT_H

#include <pybind11/pybind11.h>

#include <string>

#include "GbkText.h"

namespace dezov {
namespace python {

// Creates dezov.Error in module and turns the XML library's DOM exceptions
// into it. Called once, before any class is bound.
void BindErrors(pybind11::module_& module);

// Raises dezov.Error with message.
[[noreturn]] void RaiseLibraryError(const pybind11::str& message);

// Raises ValueError: the store of that kind was closed.
[[noreturn]] void RaiseClosed(const char* kind);

// Raises KeyError for a name that is not there.
[[noreturn]] void RaiseKeyError(const GbkText& name);

// The str of GBK bytes for a message: bytes GBK does not define are shown as
// escapes instead of failing.
pybind11::str ShownGbk(const std::string& bytes);

// Reports an error where it cannot be raised (the end of an object), the way
// Python reports a failed close of a file the collector ends.
void ReportUnraisable(const pybind11::str& message);

// Issues a ResourceWarning (reported as unraisable if warnings are errors).
void WarnResource(const pybind11::str& message);

// The section-and-key path the library builds for a key: "section\key".
std::string KeyPath(const GbkText& section, const GbkText& key);

}  // namespace python
}  // namespace dezov

#endif  // DEZOV20_PYTHON_MODULE_SUPPORT_H
