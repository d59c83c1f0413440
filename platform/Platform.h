// SPDX-License-Identifier: MIT
// The thin layer over the operating system. Everything Windows does
// differently from POSIX lives behind these functions; each platform has its
// own folder with one implementation of them.
#ifndef DEZOV20_PLATFORM_PLATFORM_H
#define DEZOV20_PLATFORM_PLATFORM_H

#include <string>

#include "Status.h"

namespace dezov {
namespace platform {

// The process's current directory.
Status CurrentDirectory(std::string& directory);

// The native separator between a directory and a name.
char PathSeparator();

// directory + native separator + name (nothing is added or removed otherwise).
std::string JoinDirectory(const std::string& directory, const std::string& name);

// The directory part of path ("." when there is none), to open, list or flush.
std::string DirectoryOf(const std::string& path);

// The last part of path: the name within its directory.
std::string NameOf(const std::string& path);

// path with its last part replaced by name: a file beside it.
std::string SiblingPath(const std::string& path, const std::string& name);

// Whether path names a file without reference to the current directory.
bool IsAbsolutePath(const std::string& path);

// True when something exists at path (symbolic links followed).
bool FileExists(const std::string& path);

// Whether files carry POSIX owners and permission bits that a save keeps
// (false on Windows, where a replaced file keeps its security by itself).
bool FilesCarryPosixModes();

// The calling process's id, as it appears in the names of its temporary files.
long CurrentProcessId();

// The effective user id whose temporary files a save may clean up; -1 where
// files have no such owner (Windows).
long CurrentUserId();

// Text of string id `id` in the host program's string table. False when the
// table has no block for the id (text untouched); true otherwise, with text
// empty when the block lacks that entry.
bool LoadHostString(unsigned int id, std::string& text);

// Text of string id `id` among the texts the host registered
// (RegisterHostString), with the same result rules as LoadHostString.
bool LoadRegisteredString(unsigned int id, std::string& text);

// Windows: sets the process locale to "chinese-simplified", which hosts there
// expect after making an XML store. Elsewhere: does nothing.
void SetChineseLocale();

// Calls destroy(object) when the calling thread ends, after any later
// registration of the same thread. False when the system cannot arrange it
// (the object then lives until the process ends). Used instead of thread_local
// objects with destructors, which some Windows toolchains run unsafely.
bool DestroyAtThreadExit(void* object, void (*destroy)(void* object));

// Whether files this library creates anew end their lines with CR LF (the
// platform's text convention) rather than LF.
bool NewFilesUseCrLf();

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_PLATFORM_H
