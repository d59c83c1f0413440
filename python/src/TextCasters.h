// SPDX-License-Identifier: MIT
// Text crossing between Python and the library. The stores' strings are bytes:
// GBK for the XML store, the resolver and INI files by default, UTF-8 for INI
// files that start with a byte-order mark or are opened as UTF-8. A str is
// converted by the library's one GBK rule (GbkToUtf8 / Utf8ToGbk: code page
// 936 with GB18030 four-byte forms for what it lacks), or encoded as UTF-8; a
// bytes argument passes unchanged. Text that cannot pass raises
// UnicodeEncodeError / UnicodeDecodeError with the library's reason.
#ifndef DEZOV20_PYTHON_TEXT_CASTERS_H
#define DEZOV20_PYTHON_TEXT_CASTERS_H

#include <pybind11/pybind11.h>

#include <string>

namespace dezov {
namespace python {

// How a store's text is held in its bytes.
enum class TextEncoding { kGbk, kUtf8 };

// The name Python's codecs use for the encoding ("gbk", "utf-8").
const char* EncodingName(TextEncoding encoding);

// The bytes of a str (converted) or bytes (unchanged) argument. TypeError
// naming what for any other type; ValueError for a NUL, which would silently
// cut the C string the library reads.
std::string EncodeText(pybind11::handle text, TextEncoding encoding, const char* what);

// The text of a value: str and bytes as EncodeText, a bool as "true" or
// "false", an int in decimal, a float as str() writes it (the shortest text
// that reads back as the same number). TypeError for any other type.
std::string EncodeValue(pybind11::handle value, TextEncoding encoding);

// The str of a store's bytes; UnicodeDecodeError when they are not text in
// that encoding.
pybind11::str DecodeText(const std::string& bytes, TextEncoding encoding);

// The str of bytes for a message: the text when it decodes, else the bytes
// with every byte outside ASCII shown as an escape.
pybind11::str ShownText(const std::string& bytes, TextEncoding encoding = TextEncoding::kGbk);

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
    return dezov::python::DecodeText(text.bytes, dezov::python::TextEncoding::kGbk).release();
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

#endif  // DEZOV20_PYTHON_TEXT_CASTERS_H
