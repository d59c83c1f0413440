#include "Session.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "ToolError.h"

namespace dezov {
namespace tool {

Session::Session(TerminalText terminal) : terminal_(std::move(terminal)) {}

std::string Session::Gbk(const std::string& argument, const std::string& what) const {
  return raw ? argument : terminal_.ToGbk(argument, what);
}

std::string Session::Name(const std::string& argument, const std::string& what) const {
  if (argument.empty()) throw Failure(what + " must not be empty");
  return Gbk(argument, what);
}

std::string Session::Shown(const std::string& gbk) const {
  return raw ? gbk : terminal_.FromGbk(gbk);
}

void Session::Print(const std::string& gbkLine) {
  answer_ += Shown(gbkLine);
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

std::string ChildPath(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "\\" + name;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace tool
}  // namespace dezov
