// SPDX-License-Identifier: MIT
#include "TestFiles.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device entropy;  // may repeat between processes: a name taken is retried
  for (int attempt = 0; path_.empty() && attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() /
                               ("dezov20-test-" + std::to_string(entropy()) + "-" + std::to_string(counter++));
    std::error_code error;
    if (fs::create_directory(candidate, error)) path_ = candidate.string();
  }
  if (path_.empty()) throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code error;
  // Restore rights a test may have taken away, so that removal works.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

std::string TempDir::File(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

int TempDir::EntryCount() const {
  int count = 0;
  for (fs::directory_iterator it(path_), end; it != end; ++it) ++count;
  return count;
}

void RemoveLockFilesOfTheHolder(const TempDir& dir) {
  std::vector<fs::path> locks;
  for (fs::directory_iterator it(dir.path()), end; it != end; ++it) {
    const std::string name = it->path().filename().string();
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".lk") == 0) locks.push_back(it->path());
  }
  for (const fs::path& lock : locks) fs::remove(lock);
}

namespace {
void Put(const std::string& path, const std::string& bytes, std::ios::openmode mode) {
  std::ofstream out(path, std::ios::binary | mode);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}
}  // namespace

void WriteBytes(const std::string& path, const std::string& bytes) { Put(path, bytes, std::ios::trunc); }
void AppendBytes(const std::string& path, const std::string& bytes) { Put(path, bytes, std::ios::app); }

void ReplaceByRename(const std::string& path, const std::string& bytes) {
  WriteBytes(path + ".new", bytes);
  // Windows refuses to rename over a file while anyone has it open, as a
  // reader may for a moment: an editor retries, and so does this, for a while.
  std::error_code error;
  for (int attempt = 0; attempt < 200; ++attempt) {
    fs::rename(path + ".new", path, error);
    if (!error) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  throw fs::filesystem_error("cannot rename over", path, error);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\x") == 0 && i + 4 <= text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> TabFields(const std::string& line) {
  std::vector<std::string> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(Unescape(line.substr(start, tab - start)));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::string SourceFile(const std::string& relative) {
  return (fs::path(DEZOV20_SOURCE_DIR) / relative).string();
}

}  // namespace testing_support
