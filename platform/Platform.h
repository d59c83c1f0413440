// The thin layer over the operating system. Everything Windows does
// differently from POSIX lives behind these functions; each platform has its
// own folder with one implementation of them.
#ifndef DEZOV20_PLATFORM_PLATFORM_H
#define DEZOV20_PLATFORM_PLATFORM_H

#include <functional>
#include <string>
#include <string_view>

#include "Status.h"

namespace dezov {
namespace platform {

struct FileStamp;

// The process's current directory.
Status CurrentDirectory(std::string& directory);

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

// Reads the whole file into data (left untouched on failure). stamp, when
// given, receives the stamp of the file the bytes were read from, taken before
// reading, so that a change during the read shows as a change.
Status ReadWholeFile(const std::string& path, std::string& data, FileStamp* stamp = nullptr);

// Reads the file from start to end, handing each piece read to consume, so
// that a caller that parses as it reads never holds the file whole. stamp is
// as for ReadWholeFile. A failure part way comes after some pieces were handed
// over; the caller discards what it built from them.
Status ReadFilePieces(const std::string& path,
                      const std::function<void(std::string_view piece)>& consume,
                      FileStamp* stamp = nullptr);

// Creates an empty file at path when nothing exists there; ok() when a file is
// there afterwards.
Status CreateEmptyFile(const std::string& path);

// Replaces the file at path (following symbolic links) with data, atomically:
// a temporary file in the same directory, flushed and renamed over the target,
// keeping the target's permissions (the temporary file never has wider ones,
// and on Linux has no name until it is complete). Where no new file may be
// created beside a writable target, rewrites the target in place, which is not
// crash-safe. On failure leaves no temporary file and (except for a failure
// part way through an in-place rewrite) the old file as it was. Takes no lock:
// files that others save too are written with SaveLocked (FileLock.h).
Status ReplaceFileContents(const std::string& path, const std::string& data,
                           FileStamp* written = nullptr);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_PLATFORM_H
