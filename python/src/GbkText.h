// Text crossing between Python and the library. The library's strings are GBK
// bytes: a str argument is encoded with Python's own "gbk" codec (a character
// GBK lacks raises UnicodeEncodeError naming it), a bytes argument passes
// unchanged, and results are decoded with the same codec.
#ifndef DEZOV20_PYTHON_GBK_TEXT_H
#define DEZOV20_PYTHON_GBK_TEXT_H

#include <pybind11/pybind11.h>

#include <string>

namespace dezov {
namespace python {

// GBK bytes of a str or bytes argument, without NUL (the library reads C strings).
struct GbkText {
  std::string bytes;
  const char* c_str() const { return bytes.c_str(); }
};

// A file name from str, bytes or os.PathLike, in the file system's encoding.
struct FilePath {
  std::string bytes;
  const char* c_str() const { return bytes.c_str(); }
};

// The str of GBK bytes; bytes GBK does not define raise UnicodeDecodeError.
pybind11::str DecodeGbk(const std::string& bytes);

// The str of a file name in the file system's encoding (os.fsdecode).
pybind11::str DecodePath(const std::string& bytes);

}  // namespace python
}  // namespace dezov

namespace pybind11 {
namespace detail {

template <>
struct type_caster<dezov::python::GbkText> {
  PYBIND11_TYPE_CASTER(dezov::python::GbkText, _("str | bytes"));
  // False for other types (a TypeError); raises for text that cannot pass.
  bool load(handle source, bool convert);
  static handle cast(const dezov::python::GbkText& text, return_value_policy, handle) {
    return dezov::python::DecodeGbk(text.bytes).release();
  }
};

template <>
struct type_caster<dezov::python::FilePath> {
  PYBIND11_TYPE_CASTER(dezov::python::FilePath, _("str | bytes | os.PathLike[str]"));
  // Raises TypeError for other types, as os.fsencode does.
  bool load(handle source, bool convert);
  static handle cast(const dezov::python::FilePath& path, return_value_policy, handle) {
    return dezov::python::DecodePath(path.bytes).release();
  }
};

}  // namespace detail
}  // namespace pybind11

#endif  // DEZOV20_PYTHON_GBK_TEXT_H
