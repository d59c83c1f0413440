// String-id file names on Windows come from the host executable's own
// string-table resource: block n + 1 holds the ids 16n to 16n + 15.
//
// RegisterHostString keeps a table as on other systems. It is consulted only
// for ids whose block the executable does not carry, so that a host built
// without resources (or code shared with other systems) still resolves its
// names; a block in the executable always wins over registered texts.
//
// LoadStringA converts the resource's UTF-16 text to the process's ANSI code
// page, the same code page the ANSI file functions read names in, so the name
// opens the file the host meant.
#include <windows.h>

#include <map>
#include <mutex>
#include <vector>

#include "../../include/HostStrings.h"
#include "../Platform.h"

namespace {

std::mutex& TableMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<unsigned int, std::string>& Table() {
  static std::map<unsigned int, std::string> table;
  return table;
}

bool LoadRegisteredString(unsigned int id, std::string& text) {
  std::lock_guard<std::mutex> lock(TableMutex());
  const auto& table = Table();
  const unsigned int blockStart = id / 16 * 16;
  auto first = table.lower_bound(blockStart);
  if (first == table.end() || first->first >= blockStart + 16) return false;
  auto found = table.find(id);
  text = found == table.end() ? std::string() : found->second;
  return true;
}

// The executable that hosts the process (not this DLL), fetched once.
HMODULE HostModule() {
  static const HMODULE module = ::GetModuleHandleA(nullptr);
  return module;
}

bool LoadExecutableString(unsigned int id, std::string& text) {
  const HMODULE module = HostModule();
  if (module == nullptr) return false;
  // MAKEINTRESOURCEA(6) is RT_STRING, spelled for the ANSI call.
  const HRSRC block = ::FindResourceA(module, MAKEINTRESOURCEA(id / 16 + 1), MAKEINTRESOURCEA(6));
  if (block == nullptr) return false;
  const DWORD size = ::SizeofResource(module, block);
  if (size == 0) return false;
  // The block's size in bytes bounds every entry's ANSI text with its NUL.
  std::vector<char> buffer(size + 1, '\0');
  // A failing load leaves the zeroed buffer: the empty text. The copy stops at
  // the first NUL.
  (void)::LoadStringA(module, id, buffer.data(), static_cast<int>(size));
  text = buffer.data();
  return true;
}

}  // namespace

void RegisterHostString(unsigned int id, const char* text) {
  std::lock_guard<std::mutex> lock(TableMutex());
  Table()[id] = text ? text : "";
}

void ClearHostStrings() {
  std::lock_guard<std::mutex> lock(TableMutex());
  Table().clear();
}

namespace dezov {
namespace platform {

bool LoadHostString(unsigned int id, std::string& text) {
  return LoadExecutableString(id, text) || LoadRegisteredString(id, text);
}

}  // namespace platform
}  // namespace dezov
