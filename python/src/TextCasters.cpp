// SPDX-License-Identifier: MIT
#include "TextCasters.h"

#include "GbkText.h"

namespace py = pybind11;

namespace dezov {
namespace python {
namespace {

// The UTF-8 bytes of a str; UnicodeEncodeError for a lone surrogate.
std::string Utf8Of(py::handle text) {
  Py_ssize_t size = 0;
  const char* bytes = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
  if (bytes == nullptr) throw py::error_already_set();
  return std::string(bytes, static_cast<std::size_t>(size));
}

bool ConvertsToGbk(py::handle text, Py_ssize_t length) {
  const py::object prefix =
      py::reinterpret_steal<py::object>(PyUnicode_Substring(text.ptr(), 0, length));
  if (!prefix) throw py::error_already_set();
  std::string gbk, reason;
  return Utf8ToGbk(Utf8Of(prefix), gbk, reason);
}

// UnicodeEncodeError naming the first character of text that has no form: the
// conversion goes character by character, so every prefix before it converts.
[[noreturn]] void RaiseUnconvertible(py::handle text, const std::string& reason) {
  Py_ssize_t converts = 0;  // a prefix of this length converts
  Py_ssize_t fails = PyUnicode_GetLength(text.ptr());
  while (fails - converts > 1) {
    const Py_ssize_t middle = converts + (fails - converts) / 2;
    (ConvertsToGbk(text, middle) ? converts : fails) = middle;
  }
  PyObject* error = PyObject_CallFunction(PyExc_UnicodeEncodeError, "sOnns", "gbk", text.ptr(),
                                          converts, converts + 1, reason.c_str());
  if (error == nullptr) throw py::error_already_set();
  PyErr_SetObject(PyExc_UnicodeEncodeError, error);
  Py_DECREF(error);
  throw py::error_already_set();
}

std::string GbkOf(py::handle text) {
  std::string gbk, reason;
  if (!Utf8ToGbk(Utf8Of(text), gbk, reason)) RaiseUnconvertible(text, reason);
  return gbk;
}

py::str FromUtf8(const std::string& utf8) {
  PyObject* text =
      PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "strict");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

}  // namespace

const char* EncodingName(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf8 ? "utf-8" : "gbk";
}

std::string EncodeText(py::handle text, TextEncoding encoding, const char* what) {
  std::string bytes;
  if (PyBytes_Check(text.ptr())) {
    bytes = py::reinterpret_borrow<py::bytes>(text);
  } else if (PyUnicode_Check(text.ptr())) {
    bytes = encoding == TextEncoding::kUtf8 ? Utf8Of(text) : GbkOf(text);
  } else {
    throw py::type_error(std::string(what) + " must be str or bytes, not " +
                         Py_TYPE(text.ptr())->tp_name);
  }
  if (bytes.find('\0') != std::string::npos) throw py::value_error("embedded null character");
  return bytes;
}

std::string EncodeValue(py::handle value, TextEncoding encoding) {
  if (PyBool_Check(value.ptr())) return value.ptr() == Py_True ? "true" : "false";
  // Read as the plain number: a subclass's own str() (an enum's) does not count.
  py::object number;
  if (PyLong_Check(value.ptr()))
    number = py::reinterpret_steal<py::object>(PyNumber_Long(value.ptr()));
  else if (PyFloat_Check(value.ptr()))
    number = py::reinterpret_steal<py::object>(PyFloat_FromDouble(PyFloat_AsDouble(value.ptr())));
  if (number) return py::str(number).cast<std::string>();
  if (PyErr_Occurred()) throw py::error_already_set();
  if (!PyBytes_Check(value.ptr()) && !PyUnicode_Check(value.ptr()))
    throw py::type_error(std::string("values must be str, bytes, int, float or bool, not ") +
                         Py_TYPE(value.ptr())->tp_name);
  return EncodeText(value, encoding, "values");
}

py::str DecodeText(const std::string& bytes, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) return FromUtf8(bytes);
  std::string utf8, reason;
  if (GbkToUtf8(bytes, utf8, reason)) return FromUtf8(utf8);
  // The reason names the offending byte's offset.
  PyObject* error = PyUnicodeDecodeError_Create("gbk", bytes.data(),
                                                static_cast<Py_ssize_t>(bytes.size()), 0,
                                                static_cast<Py_ssize_t>(bytes.size()),
                                                reason.c_str());
  if (error == nullptr) throw py::error_already_set();
  PyErr_SetObject(PyExc_UnicodeDecodeError, error);
  Py_DECREF(error);
  throw py::error_already_set();
}

py::str ShownText(const std::string& bytes, TextEncoding encoding) {
  try {
    return DecodeText(bytes, encoding);
  } catch (const py::error_already_set&) {
  }
  PyObject* text = PyUnicode_DecodeASCII(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                         "backslashreplace");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

py::str DecodePath(const std::string& bytes) {
  PyObject* text =
      PyUnicode_DecodeFSDefaultAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

}  // namespace python
}  // namespace dezov

namespace pybind11 {
namespace detail {

bool type_caster<dezov::python::GbkText>::load(handle source, bool) {
  if (!PyBytes_Check(source.ptr()) && !PyUnicode_Check(source.ptr())) return false;
  value.bytes = dezov::python::EncodeText(source, dezov::python::TextEncoding::kGbk, "text");
  return true;
}

bool type_caster<dezov::python::FilePath>::load(handle source, bool) {
  const object encoded = module_::import("os").attr("fsencode")(source);
  const bytes path = encoded.cast<bytes>();
  value.bytes = path;
  if (value.bytes.find('\0') != std::string::npos)
    throw value_error("embedded null character in path");
  return true;
}

}  // namespace detail
}  // namespace pybind11
