// SPDX-License-Identifier: MIT
// Whole-file reads: a file read from start to end, as one string or piece by
// piece, with the stamp of the file the bytes came from.
#ifndef DEZOV20_PLATFORM_FILEREAD_H
#define DEZOV20_PLATFORM_FILEREAD_H

#include <functional>
#include <string>
#include <string_view>

#include "FileStamp.h"
#include "Status.h"

namespace dezov {
namespace platform {

// Reads the whole file into data (left untouched on failure). stamp, when
// given, receives the stamp of the file the bytes were read from, taken before
// reading, so that a change during the read shows as a change. A directory is
// refused; symbolic links are followed.
Status ReadWholeFile(const std::string& path, std::string& data, FileStamp* stamp = nullptr);

// Reads the file from start to end, handing each piece read to consume, so
// that a caller that parses as it reads never holds the file whole. stamp is
// as for ReadWholeFile. A failure part way comes after some pieces were handed
// over; the caller discards what it built from them.
Status ReadFilePieces(const std::string& path,
                      const std::function<void(std::string_view piece)>& consume,
                      FileStamp* stamp = nullptr);

}  // namespace platform
}  // namespace dezov

#endif  // DEZOV20_PLATFORM_FILEREAD_H
