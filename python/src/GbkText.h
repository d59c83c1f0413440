// Text crossing between Python and the library. The library's strings are
// code page 936 (GBK) bytes, with GB18030 four-byte sequences for the
// characters it lacks (as the XML store reads and writes them). A str argument
// is encoded with Python's "gbk" codec; a character it lacks takes its
// four-byte sequence, the euro sign takes code page 936's byte 0x80, and any
// other raises UnicodeEncodeError naming it. A bytes argument passes
// unchanged. Results are decoded with the "gb18030" codec, which reads GBK
// bytes as "gbk" does and four-byte sequences too, and 0x80 as the euro sign.
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

// The str of the library's bytes; bytes that are neither GB18030 nor 0x80
// raise UnicodeDecodeError.
pybind11::str DecodeGbk(const std::string& bytes);

// Registers the codec error handler ("dezov.gbk") that adds the library's
// forms to Python's codecs. Called once, when the module is loaded.
void RegisterLibraryForms();

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
