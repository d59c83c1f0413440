// For the command-line tool: why a CKdIni's last file operation failed. Not
// part of the installed headers.
#ifndef DEZOV20_INI_INI_LAST_ERROR_H
#define DEZOV20_INI_INI_LAST_ERROR_H

#include <string>

#include "../include/KdIni.h"

namespace dezov {

// The reason the store's last Open or WriteFile that tried the file failed,
// such as "cannot write 'app.ini': File too large"; empty after a success.
DEZOV20_API std::string IniLastError(const CKdIni& store);

}  // namespace dezov

#endif  // DEZOV20_INI_INI_LAST_ERROR_H
