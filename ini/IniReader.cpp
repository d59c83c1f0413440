// Reading an INI file into the store: Open and OpenAtExeDirectory. The file
// is parsed piece by piece as the platform layer reads it, so that it is never
// held whole beside the lines built from it.
#include <new>
#include <string>

#include "../include/KdIni.h"
#include "../platform/FileRead.h"
#include "../platform/Platform.h"
#include "../platform/SaveProtocol.h"
#include "../text/TextUtil.h"
#include "IniParser.h"
#include "IniStoreState.h"

namespace dezov {
namespace {

// Parses path as it is read, creating an empty file when nothing is there.
Status ReadOrCreate(const std::string& path, IniTextParser& parser, platform::FileStamp& stamp) {
  const auto feed = [&parser](std::string_view piece) { parser.Feed(piece); };
  Status read = platform::ReadFilePieces(path, feed, &stamp);
  if (!read.IsNotFound()) return read;
  const Status created = platform::CreateEmptyFile(path);
  return created.ok() ? platform::ReadFilePieces(path, feed, &stamp) : created;
}

}  // namespace
}  // namespace dezov

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
  state.readPath.clear();
  state.readStamp = dezov::platform::FileStamp();
  state.removals.clear();
  state.lastError.clear();
  if (name == nullptr || *name == '\0') {
    state.lastError = "no file name";
    return false;
  }

  dezov::platform::FileStamp stamp;
  dezov::IniLayout layout;
  try {
    dezov::IniTextParser parser(vecSections, vecTailLines);
    const dezov::Status read = dezov::ReadOrCreate(name, parser, stamp);
    if (!read.ok()) {
      ResetContent();  // what was read before the failure
      state.removals.clear();
      state.lastError = read.message();
      return false;
    }
    layout = parser.Finish();
  } catch (const std::bad_alloc&) {
    ResetContent();
    state.removals.clear();
    state.lastError = std::string("'") + name + "' does not fit in memory";
    return false;
  }
  if (layout.sawLineEnd) bCrLfLines = layout.crLfLines;
  bByteOrderMark = layout.byteOrderMark;
  strFileName = name;  // also for an empty or new file, so that it can be saved
  state.readPath = name;
  state.readStamp = stamp;
  return true;
}

bool CKdIni::OpenAtExeDirectory(const char* name) {
  std::string directory;
  if (!dezov::platform::CurrentDirectory(directory).ok()) return Open(nullptr);
  const std::string path = dezov::platform::JoinDirectory(directory, dezov::OrEmpty(name));
  return Open(path.c_str());
}
