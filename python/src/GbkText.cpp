#include "GbkText.h"

namespace py = pybind11;

namespace dezov {
namespace python {
namespace {

// The codec error handler that completes Python's codecs to the library's
// code page: "gbk" when encoding, "gb18030" when decoding.
const char kLibraryForms[] = "dezov.gbk";

// The one single byte code page 936 gives a character: 0x80, the euro sign
// (GB18030 places the sign at A2 E3 and leaves 0x80 undefined).
constexpr char32_t kEuroSign = 0x20AC;
constexpr unsigned char kEuroByte = 0x80;

[[noreturn]] void RaiseUnencodable(const py::str& text, Py_ssize_t at) {
  PyObject* refusal = PyObject_CallFunction(PyExc_UnicodeEncodeError, "sOnns", "gbk", text.ptr(),
                                            at, at + 1, "illegal multibyte sequence");
  if (refusal == nullptr) throw py::error_already_set();
  PyErr_SetObject(PyExc_UnicodeEncodeError, refusal);
  Py_DECREF(refusal);
  throw py::error_already_set();
}

// The library's form of a character the "gbk" codec cannot encode: its
// GB18030 four-byte sequence, or 0x80 for the euro sign. A character whose
// GB18030 form has two bytes (the library's code page lacks it) or none (a
// lone surrogate) raises UnicodeEncodeError naming it, as "gbk" does.
std::string EncodedForm(const py::str& text, Py_ssize_t at) {
  if (PyUnicode_ReadChar(text.ptr(), at) == kEuroSign) return std::string(1, kEuroByte);
  const py::object character =
      py::reinterpret_steal<py::object>(PyUnicode_Substring(text.ptr(), at, at + 1));
  if (!character) throw py::error_already_set();
  PyObject* form = PyUnicode_AsEncodedString(character.ptr(), "gb18030", "strict");
  if (form == nullptr) PyErr_Clear();
  const py::object kept = py::reinterpret_steal<py::object>(form);
  if (form == nullptr || PyBytes_GET_SIZE(form) != 4) RaiseUnencodable(text, at);
  return std::string(PyBytes_AS_STRING(form), 4);
}

// Called by a codec with the error for [start, end): what to put there and
// where to go on. Decoding takes the byte 0x80 as the euro sign and raises
// the codec's own error for anything else.
py::tuple LibraryForms(const py::handle& error) {
  const auto isA = [&error](PyObject* type) {
    return PyObject_TypeCheck(error.ptr(), reinterpret_cast<PyTypeObject*>(type)) != 0;
  };
  if (!isA(PyExc_UnicodeEncodeError) && !isA(PyExc_UnicodeDecodeError))
    throw py::type_error(std::string("the error handler ") + kLibraryForms +
                         " only encodes and decodes");
  const Py_ssize_t start = error.attr("start").cast<Py_ssize_t>();
  const Py_ssize_t end = error.attr("end").cast<Py_ssize_t>();
  if (isA(PyExc_UnicodeEncodeError)) {
    const py::str text = error.attr("object");
    std::string forms;
    for (Py_ssize_t i = start; i < end; ++i) forms += EncodedForm(text, i);
    return py::make_tuple(py::bytes(forms), end);
  }
  const std::string bytes = error.attr("object").cast<py::bytes>();
  if (end == start + 1 && static_cast<unsigned char>(bytes[start]) == kEuroByte)
    return py::make_tuple(py::reinterpret_steal<py::str>(PyUnicode_FromOrdinal(kEuroSign)), end);
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  throw py::error_already_set();
}

// The bytes of a bytes object; ValueError when they hold a NUL, which would
// silently cut the C string the library reads.
std::string WithoutNul(const py::bytes& bytes) {
  std::string text = bytes;
  if (text.find('\0') != std::string::npos) throw py::value_error("embedded null character");
  return text;
}

}  // namespace

py::str DecodeGbk(const std::string& bytes) {
  PyObject* text = PyUnicode_Decode(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                    "gb18030", kLibraryForms);
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

void RegisterLibraryForms() {
  const py::cpp_function handler(&LibraryForms, py::name("library_forms"));
  if (PyCodec_RegisterError(kLibraryForms, handler.ptr()) != 0) throw py::error_already_set();
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
  PyObject* encoded =
      PyUnicode_AsEncodedString(source.ptr(), "gbk", dezov::python::kLibraryForms);
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
