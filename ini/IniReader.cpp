// Reading an INI file into the store: Open and OpenAtExeDirectory. The file
// is read whole through the platform layer and parsed from memory.
#include <new>
#include <string>

#include "../include/KdIni.h"
#include "../platform/Platform.h"
#include "../text/TextUtil.h"
#include "IniParser.h"
#include "IniStoreState.h"

bool CKdIni::Open(const char* name) {
  WriteFile();
  ResetContent();
  // Nothing is written over a file unless it was read whole; pending changes
  // were saved above or cannot be saved any more.
  strFileName.clear();
  bModified = false;
  bCrLfLines = dezov::platform::NewFilesUseCrLf();
  bByteOrderMark = false;
  dezov::IniStoreState& state = _State();
  state.lastError.clear();
  if (name == nullptr || *name == '\0') {
    state.lastError = "no file name";
    return false;
  }

  std::string bytes;
  try {
    dezov::Status status = dezov::platform::CreateEmptyFile(name);
    if (status.ok()) status = dezov::platform::ReadWholeFile(name, bytes);
    if (!status.ok()) {
      state.lastError = status.message();
      return false;
    }
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
  if (!dezov::platform::CurrentDirectory(directory).ok()) return Open(nullptr);
  const std::string path = dezov::platform::JoinDirectory(directory, dezov::OrEmpty(name));
  return Open(path.c_str());
}
