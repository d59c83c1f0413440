// Stand-ins for the library's ConfigCheck.h and PutFile.h until those are
// merged here; removed then.
#ifndef DEZOV_SYNC_INTERIM_LIBRARY_H
#define DEZOV_SYNC_INTERIM_LIBRARY_H

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "DeployCheck.h"
#include "XmlIni.h"
#include "platform/FileLock.h"

namespace dezov {

enum class ConfigKind { kXml, kIni };

inline ConfigKind ConfigKindOf(const std::string& fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || fileName.size() - dot != 4) return ConfigKind::kIni;
  std::string ext = fileName.substr(dot);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return ext == ".xml" ? ConfigKind::kXml : ConfigKind::kIni;
}

inline bool CheckConfigBytes(ConfigKind kind, const std::string& bytes, const std::string& fileName,
                             std::string& reason) {
  if (bytes.empty()) {
    reason = fileName + ": the new content is empty";
    return false;
  }
  if (kind == ConfigKind::kIni) {
    if (bytes.find('\0') == std::string::npos) return true;
    reason = fileName + ": the new content holds NUL bytes, so it is no INI file";
    return false;
  }
  char path[] = "/tmp/dezov-sync-check-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) {
    reason = std::string("no temporary file: ") + std::strerror(errno);
    return false;
  }
  const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  bool good = false;
  if (written) {
    CXmlIni store;
    if (!store.Open(path)) {
      reason = fileName + ": the new content is no XML configuration file: " + store.GetLastErrMsg();
    } else {
      good = true;
      if (store.HaveNode("DEPLOY"))
        for (const DeployFinding& finding : CheckDeployment(store))
          if (finding.severity == DeployFinding::kError) {
            reason += (good ? "" : "\n") + fileName + FormatFinding("", finding);
            good = false;
          }
    }
  }
  std::remove(path);
  return good;
}

struct PutOptions {
  int mode = -1;
  long owner = -1;
  long group = -1;
};

inline bool PutFileBytes(const std::string& fileName, const std::string& bytes,
                         const PutOptions& options, std::string& reason) {
  platform::FileStamp before, written;
  (void)platform::StampFile(fileName, before);
  const Status saved = platform::SaveLocked(
      fileName, before,
      [&bytes](const platform::DiskState&, std::string& out) {
        out = bytes;
        return Status::Ok();
      },
      written);
  if (!saved.ok()) {
    reason = saved.message();
    return false;
  }
  if (options.mode >= 0) (void)::chmod(fileName.c_str(), static_cast<mode_t>(options.mode));
  if (options.owner >= 0 || options.group >= 0)
    (void)::chown(fileName.c_str(), static_cast<uid_t>(options.owner),
                  static_cast<gid_t>(options.group));
  return true;
}

inline bool RemoveFileLocked(const std::string& fileName, std::string& reason) {
  if (::unlink(fileName.c_str()) == 0 || errno == ENOENT) return true;
  reason = "cannot remove '" + fileName + "': " + std::strerror(errno);
  return false;
}

}  // namespace dezov

#endif  // DEZOV_SYNC_INTERIM_LIBRARY_H
