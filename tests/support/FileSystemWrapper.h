// SPDX-License-Identifier: MIT
// A FileSystem that passes every call to another instance; tests derive from
// it and override the calls they break.
#ifndef DEZOV20_TESTS_SUPPORT_FILE_SYSTEM_WRAPPER_H
#define DEZOV20_TESTS_SUPPORT_FILE_SYSTEM_WRAPPER_H

#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace dezov {
namespace platform {

class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}
  int Open(const std::string& path, OpenKind kind, unsigned mode, NativeFile& file) override {
    return target_.Open(path, kind, mode, file);
  }
  int Close(NativeFile file) override { return target_.Close(file); }
  int Read(NativeFile file, char* buffer, std::size_t size, std::size_t& got) override {
    return target_.Read(file, buffer, size, got);
  }
  int Write(NativeFile file, const char* data, std::size_t size, std::size_t& written) override {
    return target_.Write(file, data, size, written);
  }
  int Sync(NativeFile file) override { return target_.Sync(file); }
  int Reserve(NativeFile file, std::uint64_t size) override { return target_.Reserve(file, size); }
  int Resize(NativeFile file, std::uint64_t size) override { return target_.Resize(file, size); }
  int TryLock(NativeFile file) override { return target_.TryLock(file); }
  int Stat(const std::string& path, FileInfo& info) override { return target_.Stat(path, info); }
  int Lstat(const std::string& path, FileInfo& info) override { return target_.Lstat(path, info); }
  int Fstat(NativeFile file, FileInfo& info) override { return target_.Fstat(file, info); }
  int ReadLink(const std::string& path, std::string& link) override {
    return target_.ReadLink(path, link);
  }
  int CheckWritable(const std::string& path) override { return target_.CheckWritable(path); }
  int ChangeOwner(NativeFile file, long owner, long group) override {
    return target_.ChangeOwner(file, owner, group);
  }
  int ChangeMode(NativeFile file, unsigned mode) override { return target_.ChangeMode(file, mode); }
  int ListDirectory(const std::string& directory, std::vector<std::string>& names) override {
    return target_.ListDirectory(directory, names);
  }
  int SyncDirectory(const std::string& directory) override {
    return target_.SyncDirectory(directory);
  }
  int ProcessLives(long pid, bool& lives) override { return target_.ProcessLives(pid, lives); }
  int LinkUnnamed(NativeFile file, const std::string& path) override {
    return target_.LinkUnnamed(file, path);
  }
  int Link(const std::string& from, const std::string& to) override {
    return target_.Link(from, to);
  }
  int Rename(const std::string& from, const std::string& to) override {
    return target_.Rename(from, to);
  }
  int Remove(const std::string& path) override { return target_.Remove(path); }
  void Sleep(int milliseconds) override { target_.Sleep(milliseconds); }

 protected:
  FileSystem& target() { return target_; }

 private:
  FileSystem& target_;
};

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_TESTS_SUPPORT_FILE_SYSTEM_WRAPPER_H
