// The thin layer over the operating system. Everything Windows does
// differently from POSIX lives behind these functions; each platform has its
// own folder with one implementation of them.
#ifndef DEZOV20_PLATFORM_PLATFORM_H
#define DEZOV20_PLATFORM_PLATFORM_H

#include <string>

namespace dezov {
namespace platform {

// The process's current directory; false when it cannot be read.
bool CurrentDirectory(std::string& directory);

// The native separator between a directory and a name.
char PathSeparator();

// directory + native separator + name (nothing is added or removed otherwise).
std::string JoinDirectory(const std::string& directory, const std::string& name);

// True when something exists at path.
bool FileExists(const std::string& path);

// Text of string id `id` in the host program's string table. False when the
// table has no block for the id (text untouched); true otherwise, with text
// empty when the block lacks that entry.
bool LoadHostString(unsigned int id, std::string& text);

// Text of string id `id` among the texts the host registered
// (RegisterHostString), with the same result rules as LoadHostString.
bool LoadRegisteredString(unsigned int id, std::string& text);

// Sets the process locale to a Simplified Chinese one, when one is installed.
void SetChineseLocale();

// Reads the whole file; false with an error text when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& data, std::string& error);

// Creates an empty file at path when nothing exists there; false on failure.
bool CreateEmptyFile(const std::string& path);

// Replaces the file at path (following symbolic links) with data, atomically:
// a temporary file in the same directory, flushed and renamed over the target,
// keeping the target's permissions. Where no new file may be created beside a
// writable target, rewrites the target in place. On failure returns false with
// an error text, leaves no temporary file, and (except for a failure part way
// through an in-place rewrite) leaves the old file as it was.
bool ReplaceFileContents(const std::string& path, const std::string& data, std::string& error);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_PLATFORM_H
