#include "ModuleSupport.h"

#include <xercesc/dom/DOMException.hpp>

#include <exception>

namespace py = pybind11;

namespace dezov {
namespace python {
namespace {

// dezov.Error, created once and kept for the life of the process: objects may
// report through it while the interpreter finalises.
PyObject* errorType = nullptr;

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

}  // namespace

void BindErrors(py::module_& module) {
  errorType = PyErr_NewExceptionWithDoc(
      "dezov.Error",
      "The library refused an operation or it failed; str(error) gives the reason.\n\n"
      "Missing sections, keys and attributes raise KeyError instead, text that GBK\n"
      "cannot encode UnicodeEncodeError, and a closed store ValueError.",
      PyExc_Exception, nullptr);
  if (errorType == nullptr) throw py::error_already_set();
  Py_INCREF(errorType);  // one reference for the module, one kept here
  module.add_object("Error", py::handle(errorType));
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const xercesc::DOMException& error) {
      // A name the XML library refuses (empty, starting with a digit, ...).
      const py::str message =
          py::str("the XML library refused the name: {}").format(DomMessage(error));
      PyErr_SetObject(errorType, message.ptr());
    }
  });
}

void RaiseLibraryError(const py::str& message) {
  PyErr_SetObject(errorType, message.ptr());
  throw py::error_already_set();
}

void RaiseClosed(const char* kind) {
  throw py::value_error(std::string("I/O operation on closed ") + kind);
}

void RaiseKeyError(const GbkText& name) {
  PyErr_SetObject(PyExc_KeyError, ShownGbk(name.bytes).ptr());
  throw py::error_already_set();
}

py::str ShownGbk(const std::string& bytes) {
  PyObject* text = PyUnicode_Decode(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                    "gb18030", "backslashreplace");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

void ReportUnraisable(const py::str& message) {
  PendingErrorGuard keep;
  PyErr_SetObject(errorType != nullptr ? errorType : PyExc_OSError, message.ptr());
  PyErr_WriteUnraisable(nullptr);
}

void WarnResource(const py::str& message) {
  PendingErrorGuard keep;
  if (PyErr_WarnEx(PyExc_ResourceWarning, message.cast<std::string>().c_str(), 1) != 0)
    PyErr_WriteUnraisable(nullptr);
}

std::string KeyPath(const GbkText& section, const GbkText& key) {
  return section.bytes + '\\' + key.bytes;
}

}  // namespace python
}  // namespace dezov
