// SPDX-License-Identifier: MIT
// Reading INI text into the store: Open, OpenBuffer and OpenAtExeDirectory.
// All three take one path: the parser is handed the text piece by piece (a
// file as the platform layer reads it, so that it is never held whole beside
// the lines built from it; a buffer in one piece).
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

bool IniStoreAccess::Load(CKdIni& store, const std::string& fileName,
                          const IniTextSource& source) {
  IniStoreState& state = store._State();
  state.lastError.clear();
  // Changes that cannot be saved are not dropped: the store stays as it was.
  // Only a store without a file name has nowhere to save its changes.
  if (store.bModified && !store.strFileName.empty() && !store.WriteFile()) {
    state.lastError = "cannot save the changes before reading anew (the store keeps them): " +
                      state.lastError;
    return false;
  }
  store.ResetContent();
  // Nothing is written over a file unless it was read whole.
  store.strFileName.clear();
  store.bModified = false;
  store.bCrLfLines = platform::NewFilesUseCrLf();
  store.bByteOrderMark = false;
  state.readPath.clear();
  state.readStamp = platform::FileStamp();
  state.removals.clear();

  platform::FileStamp stamp;
  IniLayout layout;
  try {
    IniTextParser parser(store.vecSections, store.vecTailLines);
    const Status read = source(parser, stamp);
    if (!read.ok()) {
      store.ResetContent();  // what was read before the failure
      state.removals.clear();
      state.lastError = read.message();
      return false;
    }
    layout = parser.Finish();
  } catch (const std::bad_alloc&) {
    store.ResetContent();
    state.removals.clear();
    state.lastError = (fileName.empty() ? std::string("the text") : "'" + fileName + "'") +
                      " does not fit in memory";
    return false;
  }
  if (layout.sawLineEnd) store.bCrLfLines = layout.crLfLines;
  store.bByteOrderMark = layout.byteOrderMark;
  store.strFileName = fileName;  // also for an empty or new file, so that it can be saved
  state.readPath = fileName;
  state.readStamp = stamp;
  return true;
}

}  // namespace dezov

bool CKdIni::Open(const char* name) {
  const std::string fileName = dezov::OrEmpty(name);
  if (fileName.empty()) {
    // Saves and empties the store like any Open, then has nothing to read.
    return dezov::IniStoreAccess::Load(*this, fileName, [](dezov::IniTextParser&,
                                                            dezov::platform::FileStamp&) {
      return dezov::Status::Invalid("no file name");
    });
  }
  return dezov::IniStoreAccess::Load(
      *this, fileName,
      [&fileName](dezov::IniTextParser& parser, dezov::platform::FileStamp& stamp) {
        return dezov::ReadOrCreate(fileName, parser, stamp);
      });
}

bool CKdIni::OpenBuffer(const char* data, std::size_t size) {
  return dezov::IniStoreAccess::Load(
      *this, std::string(),
      [data, size](dezov::IniTextParser& parser, dezov::platform::FileStamp&) {
        if (data == nullptr && size > 0)
          return dezov::Status::Invalid("no text: a null buffer of " + std::to_string(size) +
                                        " bytes");
        parser.Feed(std::string_view(data == nullptr ? "" : data, size));
        return dezov::Status::Ok();
      });
}

bool CKdIni::OpenAtExeDirectory(const char* name) {
  std::string directory;
  const dezov::Status found = dezov::platform::CurrentDirectory(directory);
  if (!found.ok()) {
    _State().lastError = found.message();
    return false;
  }
  const std::string path = dezov::platform::JoinDirectory(directory, dezov::OrEmpty(name));
  return Open(path.c_str());
}

std::string CKdIni::GetLastErrMsg() { return pState ? pState->lastError : std::string(); }
