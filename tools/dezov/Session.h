// The state of one run of the tool: how text is converted, the answer that
// goes to stdout, and the command chosen on the command line.
#ifndef DEZOV_TOOL_SESSION_H
#define DEZOV_TOOL_SESSION_H

#include <functional>
#include <string>

#include "TerminalText.h"

namespace dezov {
namespace tool {

// Collects the answer while a command runs; main prints it only when the
// command succeeded, so a failed command never leaves half an answer.
class Session {
 public:
  explicit Session(TerminalText terminal);

  // An argument as the stores need it (GBK, or as typed with --raw); what
  // names the argument in an error message.
  std::string Gbk(const std::string& argument, const std::string& what) const;
  // Like Gbk, and refuses the empty text: an empty name selects nothing.
  std::string Name(const std::string& argument, const std::string& what) const;
  // GBK text as the terminal shows it (as stored with --raw).
  std::string Shown(const std::string& gbk) const;
  // Appends a line of GBK text to the answer, as the terminal shows it.
  void Print(const std::string& gbkLine);
  // Appends a line that is already in the terminal's encoding.
  void PrintAsIs(const std::string& line);
  // The answer so far, in the terminal's encoding.
  const std::string& answer() const { return answer_; }

  bool raw = false;             // --raw: names, values and answers pass unconverted
  std::function<int()> action;  // the command to run, set while parsing

 private:
  TerminalText terminal_;
  std::string answer_;
};

// Throws a Failure unless path names an existing file: the stores would
// create a missing file, which a typing error should not do.
void RequireExistingFile(const std::string& path);

// path\name, the element path one level below path ("" for the root).
std::string ChildPath(const std::string& path, const std::string& name);

// text in double quotes, for messages.
std::string Quoted(const std::string& text);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_SESSION_H
