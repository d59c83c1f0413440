#include "GbkText.h"

namespace py = pybind11;

namespace dezov {
namespace python {
namespace {

// The bytes of a bytes object; ValueError when they hold a NUL, which would
// silently cut the C string the library reads.
std::string WithoutNul(const py::bytes& bytes) {
  std::string text = bytes;
  if (text.find('\0') != std::string::npos) throw py::value_error("embedded null character");
  return text;
}

}  // namespace

py::str DecodeGbk(const std::string& bytes) {
  PyObject* text = PyUnicode_Decode(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "gbk",
                                    "strict");
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
  if (PyBytes_Check(source.ptr())) {
    value.bytes = dezov::python::WithoutNul(reinterpret_borrow<bytes>(source));
    return true;
  }
  if (!PyUnicode_Check(source.ptr())) return false;
  PyObject* encoded = PyUnicode_AsEncodedString(source.ptr(), "gbk", "strict");
  if (encoded == nullptr) throw error_already_set();  // UnicodeEncodeError
  value.bytes = dezov::python::WithoutNul(reinterpret_steal<bytes>(encoded));
  return true;
}

bool type_caster<dezov::python::FilePath>::load(handle source, bool) {
  const object encoded = module_::import("os").attr("fsencode")(source);
  value.bytes = dezov::python::WithoutNul(encoded.cast<bytes>());
  return true;
}

}  // namespace detail
}  // namespace pybind11
