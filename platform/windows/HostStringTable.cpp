// SPDX-License-Identifier: MIT
// String-id file names on Windows come from the host executable's own
// string-table resource: block n + 1 holds the ids 16n to 16n + 15.
//
// The texts registered with RegisterHostString are consulted only
// for ids whose block the executable does not carry, so that a host built
// without resources (or code shared with other systems) still resolves its
// names; a block in the executable always wins over registered texts.
//
// LoadStringA converts the resource's UTF-16 text to the process's ANSI code
// page, the same code page the ANSI file functions read names in, so the name
// opens the file the host meant.
#include <windows.h>

#include <vector>

#include "../Platform.h"

namespace {

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

namespace dezov {
namespace platform {

bool LoadHostString(unsigned int id, std::string& text) {
  return LoadExecutableString(id, text) || LoadRegisteredString(id, text);
}

}  // namespace platform
}  // namespace dezov
