// SPDX-License-Identifier: MIT
// Text conversion through the C library's iconv.
#ifndef _WIN32
#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>

#include "Transcoder.h"

namespace dezov {
namespace tool {
namespace {

// An open iconv conversion, closed when it goes out of scope.
class IconvHandle {
 public:
  IconvHandle(const std::string& from, const std::string& to)
      : handle_(iconv_open(to.c_str(), from.c_str())) {}
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  ~IconvHandle() {
    if (valid()) iconv_close(handle_);
  }
  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return handle_; }

 private:
  iconv_t handle_;
};

}  // namespace

Transcoded Transcode(const std::string& from, const std::string& to, const std::string& text) {
  Transcoded result;
  IconvHandle converter(from, to);
  if (!converter.valid()) {
    result.unsupported = true;
    return result;
  }
  std::string out(text.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(text.data());  // iconv's interface; the input is not changed
  std::size_t inLeft = text.size();
  std::size_t produced = 0;
  for (bool flushing = false;;) {
    char* next = &out[produced];
    std::size_t outLeft = out.size() - produced;
    const std::size_t status = flushing ? iconv(converter.get(), nullptr, nullptr, &next, &outLeft)
                                        : iconv(converter.get(), &in, &inLeft, &next, &outLeft);
    const int error = errno;
    produced = out.size() - outLeft;
    if (status != static_cast<std::size_t>(-1)) {
      if (flushing) break;
      flushing = true;  // ends a stateful output encoding properly
      continue;
    }
    if (error == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ: invalid or unconvertible character; EINVAL: cut short at the end.
    result.badOffset = static_cast<std::size_t>(in - text.data());
    return result;
  }
  out.resize(produced);
  result.ok = true;
  result.text.swap(out);
  return result;
}

std::string TerminalCodeset() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr || *codeset == '\0' || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
      std::strcmp(codeset, "ASCII") == 0 || std::strcmp(codeset, "US-ASCII") == 0)
    return "UTF-8";
  return codeset;
}

}  // namespace tool
}  // namespace dezov
#endif  // !_WIN32
