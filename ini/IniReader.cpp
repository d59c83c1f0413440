// Reading an INI file into the store: Open and OpenAtExeDirectory. The file
// is read whole through the platform layer and parsed from memory.
#include <new>
#include <string>

#include "../include/KdIni.h"
#include "../platform/Platform.h"
#include "../text/TextUtil.h"
#include "IniParser.h"
#include "IniStoreState.h"

namespace dezov {
namespace {

#if defined(_WIN32)
constexpr bool kNewFileCrLf = true;
#else
constexpr bool kNewFileCrLf = false;
#endif

}  // namespace
}  // namespace dezov

bool CKdIni::Open(const char* name) {
  WriteFile();
  ResetContent();
  // Nothing is written over a file unless it was read whole; pending changes
  // were saved above or cannot be saved any more.
  strFileName.clear();
  bModified = false;
  bCrLfLines = dezov::kNewFileCrLf;
  bByteOrderMark = false;
  dezov::IniStoreState& state = _State();
  state.lastError.clear();
  if (name == nullptr || *name == '\0') {
    state.lastError = "no file name";
    return false;
  }

  std::string bytes;
  try {
    if (!dezov::platform::FileExists(name) && !dezov::platform::CreateEmptyFile(name)) {
      state.lastError = std::string("cannot create '") + name + "'";
      return false;
    }
    if (!dezov::platform::ReadWholeFile(name, bytes, state.lastError)) return false;
  } catch (const std::bad_alloc&) {
    state.lastError = std::string("'") + name + "' does not fit in memory";
    return false;
  }
  dezov::IniLayout layout;
  const bool parsed = dezov::ParseIni(bytes, vecSections, vecTailLines, layout);
  if (!parsed) {
    ResetContent();
    state.lastError = std::string("'") + name + "' does not fit in memory";
    return false;
  }
  if (layout.sawLineEnd) bCrLfLines = layout.crLfLines;
  bByteOrderMark = layout.byteOrderMark;
  strFileName = name;  // also for an empty or new file, so that it can be saved
  return true;
}

bool CKdIni::OpenAtExeDirectory(const char* name) {
  std::string directory;
  if (!dezov::platform::CurrentDirectory(directory)) return Open(nullptr);
  const std::string path = dezov::platform::JoinDirectory(directory, dezov::OrEmpty(name));
  return Open(path.c_str());
}
