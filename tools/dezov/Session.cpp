// SPDX-License-Identifier: MIT
#include "Session.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "GbkText.h"
#include "InputBytes.h"
#include "JsonText.h"
#include "ToolError.h"
#include "Transcoder.h"

namespace dezov {
namespace tool {
namespace {

constexpr const char* kRawHint = "; --raw passes bytes unchanged";

// utf8 unchanged when it is valid UTF-8; throws a Failure saying where it is not.
std::string CheckedUtf8(const std::string& utf8, const std::string& what) {
  const Transcoded checked = Transcode("UTF-8", "UTF-8", utf8);
  if (checked.ok) return utf8;
  if (checked.unsupported) throw Failure("cannot check UTF-8 text on this system");
  throw Failure(what + " is not valid UTF-8" +
                (checked.badOffset < utf8.size()
                     ? " (offset " + std::to_string(checked.badOffset) + ")"
                     : std::string(" (it ends inside a character)")) +
                kRawHint);
}

}  // namespace

Session::Session(TerminalText terminal) : terminal_(std::move(terminal)) {}

std::string Session::Stored(const std::string& argument, const std::string& what) const {
  if (raw) return argument;
  const std::string utf8 = terminal_.ToUtf8(argument, what);
  if (encoding == StoreEncoding::kUtf8) return utf8;
  std::string gbk;
  std::string reason;
  if (!Utf8ToGbk(utf8, gbk, reason)) throw Failure(what + ": " + reason);
  return gbk;
}

std::string Session::Name(const std::string& argument, const std::string& what) const {
  if (argument.empty()) throw Failure(what + " must not be empty");
  return Stored(argument, what);
}

std::string Session::Utf8(const std::string& stored) const {
  if (raw || encoding == StoreEncoding::kUtf8) return CheckedUtf8(stored, "the stored text");
  std::string utf8;
  std::string reason;
  if (!GbkToUtf8(stored, utf8, reason))
    throw Failure("the stored text is not GBK: " + reason + kRawHint);
  return utf8;
}

std::string Session::Shown(const std::string& stored) const {
  return raw ? stored : terminal_.FromUtf8(Utf8(stored));
}

std::string Session::Reason(const std::string& stored) const {
  try {
    return Shown(stored);
  } catch (const ToolError&) {
    return stored;
  }
}

std::string Session::Json(const std::string& stored) const { return JsonString(Utf8(stored)); }

std::string Session::Json(const std::vector<std::string>& stored) const {
  std::vector<std::string> elements;
  elements.reserve(stored.size());
  for (const auto& text : stored) elements.push_back(Json(text));
  return JsonArray(elements);
}

void Session::Print(const std::string& storedLine) {
  answer_ += Shown(storedLine);
  answer_ += '\n';
}

void Session::PrintAsIs(const std::string& line) {
  answer_ += line;
  answer_ += '\n';
}

void RequireExistingFile(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) throw Failure(path + ": no such file");
  if (std::filesystem::is_directory(status)) throw Failure(path + ": is a directory");
}

bool IsMissingFile(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  return status.type() == std::filesystem::file_type::not_found;
}

std::string ValueArgument(const std::string& argument) {
  if (argument != "-") return argument;
  std::string bytes;
  std::string reason;
  if (!ReadStandardInputBytes(bytes, reason)) throw Failure(reason);
  if (!bytes.empty() && bytes.back() == '\n') {
    bytes.pop_back();
    if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
  }
  // The stores take C strings: a NUL would silently cut the value.
  const std::size_t nul = bytes.find('\0');
  if (nul != std::string::npos)
    throw Failure("VALUE: standard input holds a NUL byte (offset " + std::to_string(nul) +
                  "), which no stored value can");
  return bytes;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace tool
}  // namespace dezov
