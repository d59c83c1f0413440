// SPDX-License-Identifier: MIT
// File helpers for the tests: a private temporary directory and whole-file
// reads and writes in binary mode.
#ifndef DEZOV20_TESTS_SUPPORT_TEST_FILES_H
#define DEZOV20_TESTS_SUPPORT_TEST_FILES_H

#include <string>
#include <vector>

namespace testing_support {

// A fresh directory, removed with everything in it when the object dies.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::string& path() const { return path_; }
  // path() joined with name.
  std::string File(const std::string& name) const;
  // Number of entries in the directory (a save leaves no lock file).
  int EntryCount() const;

 private:
  std::string path_;
};

// Removes the lock files in dir, as the holder of a lock that a test only
// pretends is taken would when its save ends.
void RemoveLockFilesOfTheHolder(const TempDir& dir);
void WriteBytes(const std::string& path, const std::string& bytes);
void AppendBytes(const std::string& path, const std::string& bytes);
// As editors and sync jobs save: a new file renamed over path.
void ReplaceByRename(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);
// text with each "\xHH" replaced by that byte.
std::string Unescape(const std::string& text);
// The tab-separated fields of line, each unescaped.
std::vector<std::string> TabFields(const std::string& line);
// A file below the source tree, e.g. "examples/deploy.xml".
std::string SourceFile(const std::string& relative);

}  // namespace testing_support

#endif  // DEZOV20_TESTS_SUPPORT_TEST_FILES_H
