// SPDX-License-Identifier: MIT
// Opening and writing an INI store on a file the user named, and the
// encoding of the file's text.
#ifndef DEZOV_TOOL_INI_FILE_H
#define DEZOV_TOOL_INI_FILE_H

#include <string>

#include "Session.h"

class CKdIni;

namespace dezov {
namespace tool {

// The encoding of an INI file's text: UTF-8 when it starts with a UTF-8
// byte-order mark, else chosen (--encoding); a missing file has no mark.
StoreEncoding IniEncodingOf(const std::string& file, StoreEncoding chosen);

// Opens an existing file; throws a Failure with the store's reason.
void OpenIniFile(CKdIni& store, const std::string& file);
// Opens file, or when it is missing and create is set, readies store to
// write it anew (nothing is created before WriteIniFile); throws a Failure
// otherwise.
void OpenOrStartIniFile(CKdIni& store, const std::string& file, bool create);
// Writes a modified store over its file; throws a Failure with the store's reason.
void WriteIniFile(CKdIni& store, const std::string& file);

}  // namespace tool
}  // namespace dezov

#endif  // DEZOV_TOOL_INI_FILE_H
