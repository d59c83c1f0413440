// SPDX-License-Identifier: MIT
// The state of one run of the tool: how text is converted, the answer that
// goes to stdout, and the command chosen on the command line.
#ifndef DEZOV_TOOL_SESSION_H
#define DEZOV_TOOL_SESSION_H

#include <functional>
#include <string>
#include <vector>

#include "TerminalText.h"

namespace dezov {
namespace tool {

// The encoding of the text a store hands over: GBK (the XML store always,
// INI files by default), or UTF-8 (INI files with a UTF-8 byte-order mark,
// or chosen with --encoding utf-8).
enum class StoreEncoding { kGbk, kUtf8 };

// Collects the answer while a command runs; main prints it only when the
// command succeeded, so a failed command never leaves half an answer.
class Session {
 public:
  explicit Session(TerminalText terminal);

  // An argument as the store needs it (in the store's encoding, or as typed
  // with --raw); what names the argument in an error message.
  std::string Stored(const std::string& argument, const std::string& what) const;
  // Like Stored, and refuses the empty text: an empty name selects nothing.
  std::string Name(const std::string& argument, const std::string& what) const;
  // The store's text as the terminal shows it (as stored with --raw).
  std::string Shown(const std::string& stored) const;
  // A reason a store gave, as the terminal shows it; as given when it does not
  // convert (it may name a file in the file system's bytes).
  std::string Reason(const std::string& stored) const;
  // The store's text as UTF-8 (with --raw it must be UTF-8 already).
  std::string Utf8(const std::string& stored) const;
  // The store's text as a JSON string.
  std::string Json(const std::string& stored) const;
  // The store's texts as a JSON array of strings.
  std::string Json(const std::vector<std::string>& stored) const;
  // Appends a line of the store's text to the answer, as the terminal shows it.
  void Print(const std::string& storedLine);
  // Appends a line that is already in the terminal's encoding (or JSON).
  void PrintAsIs(const std::string& line);
  // The answer so far, in the terminal's encoding.
  const std::string& answer() const { return answer_; }

  bool raw = false;             // --raw: names, values and answers pass unconverted
  bool json = false;            // --format json: the answer is one JSON document
  bool hasJsonForm = false;     // the chosen command can answer in JSON
  StoreEncoding encoding = StoreEncoding::kGbk;  // of the store the command uses
  std::function<int()> action;  // the command to run, set while parsing

 private:
  TerminalText terminal_;
  std::string answer_;
};

// Throws a Failure unless path names an existing file: the stores would
// create a missing file, which a typing error should not do.
void RequireExistingFile(const std::string& path);

// True when path names nothing at all (not even a dangling symbolic link).
bool IsMissingFile(const std::string& path);

// A VALUE argument as typed, or for "-" standard input's bytes with one
// trailing line end ("\n" or "\r\n") dropped, as a shell's $(...) would
// drop it; throws a Failure when standard input cannot be read or holds a
// NUL byte.
std::string ValueArgument(const std::string& argument);

// text in double quotes, for messages.
std::string Quoted(const std::string& text);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_SESSION_H
