// Helpers the POSIX half's file functions share (not part of the platform API).
#ifndef DEZOV20_PLATFORM_POSIX_POSIXFILES_H
#define DEZOV20_PLATFORM_POSIX_POSIXFILES_H

#include <sys/stat.h>

#include <string>

#include "../FileInternals.h"

namespace dezov {
namespace platform {

// The directory part of path ("." when there is none).
std::string DirectoryOf(const std::string& path);

FileStamp StampOf(const struct stat& info);

// A new, empty file beside target, created with mode (less the umask) and
// locked while its writer lives; unnamed where allowed and the file system
// supports it, else named in tempPath (empty while it has no name). errno of
// the failure, 0 for success.
int CreateTemporary(const std::string& target, unsigned mode, bool allowUnnamed, OpenFile& temp,
                    std::string& tempPath);

// Gives temp the owner (where allowed) and exact mode of like, when given,
// then writes data and flushes it; stamp, when given, receives the result.
int FillTemporary(const OpenFile& temp, const std::string& data, const struct stat* like,
                  FileStamp* stamp);

// Gives a temporary created unnamed a unique name beside target.
int NameTemporary(const std::string& target, const OpenFile& temp, std::string& tempPath);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_POSIX_POSIXFILES_H
