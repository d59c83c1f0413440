// SPDX-License-Identifier: MIT
#include "ModuleSupport.h"

#include <pybind11/eval.h>
#include <xercesc/dom/DOMException.hpp>

#include <cstring>
#include <exception>

#include "StoreNames.h"
#include "TextCasters.h"

namespace py = pybind11;

namespace dezov {
namespace python {
namespace {

// The exception types, created once and kept for the life of the process:
// objects may report through them while the interpreter finalises.
PyObject* errorType = nullptr;
PyObject* refusedType = nullptr;

// Written in Python: str() of an Error is its message alone, as the library
// worded it (OSError would add the errno and the file's name to it).
const char kErrorClasses[] = R"(
class Error(OSError):
    """A file operation of the library failed, or it refused a change.

    str(error) is the library's reason, naming the file and the cause;
    filename is the file, errno the system's error number where the reason
    gives one (else None). Missing sections, keys and attributes raise
    KeyError instead, text that cannot be converted UnicodeError, and a
    closed store ValueError.
    """

    def __str__(self):
        return self.strerror if self.strerror is not None else super().__str__()


class RefusedError(Error, ValueError):
    """The library refused a name or a value; nothing was changed."""
)";

// Saves the error indicator of the code that ends an object, and restores it.
class PendingErrorGuard {
 public:
  PendingErrorGuard() { PyErr_Fetch(&type_, &value_, &traceback_); }
  ~PendingErrorGuard() { PyErr_Restore(type_, value_, traceback_); }
  PendingErrorGuard(const PendingErrorGuard&) = delete;
  PendingErrorGuard& operator=(const PendingErrorGuard&) = delete;

 private:
  PyObject* type_;
  PyObject* value_;
  PyObject* traceback_;
};

// The message of a DOM exception (UTF-16) as a str.
py::str DomMessage(const xercesc::DOMException& error) {
  const XMLCh* message = error.getMessage();
  std::size_t length = 0;
  while (message != nullptr && message[length] != 0) ++length;
  int byteOrder = 0;  // native
  PyObject* text = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(message),
                                         static_cast<Py_ssize_t>(length * sizeof(XMLCh)),
                                         "replace", &byteOrder);
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

// The system error whose text the reason gives after ": " (the library words
// I/O failures as "what 'file': <strerror>"); 0 when it gives none.
int ErrorNumberIn(const std::string& reason) {
  int found = 0;
  std::size_t foundLength = 0;
  for (int number = 1; number < 134; ++number) {
    const std::string text = std::string(": ") + std::strerror(number);
    if (text.size() > foundLength && reason.find(text) != std::string::npos) {
      found = number;
      foundLength = text.size();
    }
  }
  return found;
}

// A reason as str: the library's reasons name files in the file system's
// encoding (UTF-8 here) and carry GBK text otherwise.
py::str ShownReason(const std::string& reason) {
  try {
    return DecodeText(reason, TextEncoding::kUtf8);
  } catch (const py::error_already_set&) {
    return ShownText(reason, TextEncoding::kGbk);
  }
}

// The arguments of dezov.Error for the reason about path.
py::tuple FileErrorArguments(const std::string& reason, const std::string& path,
                             const char* suffix) {
  const py::str file = DecodePath(path);
  py::str message = ShownReason(reason);
  if (reason.find(path) == std::string::npos) message = py::str("{}: {}").format(file, message);
  message = py::str("{}{}").format(message, suffix);
  const int number = ErrorNumberIn(reason);
  return py::make_tuple(number != 0 ? py::object(py::int_(number)) : py::object(py::none()),
                        message, file);
}

}  // namespace

void BindErrors(py::module_& module) {
  py::dict scope;
  scope["__name__"] = "dezov";
  scope["__builtins__"] = py::module_::import("builtins");
  py::exec(kErrorClasses, scope);
  errorType = scope["Error"].ptr();
  refusedType = scope["RefusedError"].ptr();
  Py_INCREF(errorType);  // kept here besides the module's reference
  Py_INCREF(refusedType);
  module.add_object("Error", py::handle(errorType));
  module.add_object("RefusedError", py::handle(refusedType));
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const xercesc::DOMException& error) {
      // A name the XML library refuses (empty, starting with a digit, ...).
      const py::str message =
          py::str("the XML library refused the name: {}").format(DomMessage(error));
      PyErr_SetObject(refusedType, message.ptr());
    }
  });
}

void RaiseFileError(const std::string& reason, const std::string& path, const char* suffix) {
  PyErr_SetObject(errorType, FileErrorArguments(reason, path, suffix).ptr());
  throw py::error_already_set();
}

void RaiseRefused(const py::str& message) {
  PyErr_SetObject(refusedType, message.ptr());
  throw py::error_already_set();
}

void RaiseClosed(const char* kind) {
  throw py::value_error(std::string("I/O operation on closed ") + kind);
}

void RaiseKeyError(const py::handle& name) {
  PyErr_SetObject(PyExc_KeyError, name.ptr());
  throw py::error_already_set();
}

void ReportFileError(const std::string& reason, const std::string& path, const char* suffix) {
  PendingErrorGuard keep;
  PyErr_SetObject(errorType != nullptr ? errorType : PyExc_OSError,
                  FileErrorArguments(reason, path, suffix).ptr());
  PyErr_WriteUnraisable(nullptr);
}

void WarnResource(const py::str& message) {
  PendingErrorGuard keep;
  if (PyErr_WarnEx(PyExc_ResourceWarning, message.cast<std::string>().c_str(), 1) != 0)
    PyErr_WriteUnraisable(nullptr);
}

bool InterpreterFinalizing() {
#if PY_VERSION_HEX >= 0x030D0000
  return Py_IsFinalizing();
#else
  return _Py_IsFinalizing();
#endif
}

bool SeenNames::Add(const std::string& name) {
  std::vector<std::string>& sameLength = byLength_[name.size()];
  for (const auto& seen : sameLength)
    if (SameName(seen, name)) return false;
  sameLength.push_back(name);
  return true;
}

std::vector<std::string> FirstOfEachName(const std::vector<std::string>& names) {
  SeenNames seen;
  std::vector<std::string> unique;
  for (const auto& name : names)
    if (!name.empty() && seen.Add(name)) unique.push_back(name);
  return unique;
}

StoreLock::Use::Use(StoreLock& lock) : lock_(lock.mutex_) {
  if (lock_.try_lock()) return;
  if (InterpreterFinalizing()) {
    lock_.lock();
    return;
  }
  py::gil_scoped_release release;
  lock_.lock();
}

}  // namespace python
}  // namespace dezov
