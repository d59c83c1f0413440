// SPDX-License-Identifier: MIT
// The headers by their folder, as <DeZov20/...>: an INI file written and read
// back through the installed library.
#include <DeZov20/KdIni.h>

#include "Prefixed.h"

bool IniRoundTrip(const char* fileName) {
  CKdIni store;
  if (!store.Open(fileName) || !store.SetValue("client", "retries", "3") || !store.WriteFile())
    return false;
  CKdIni reread;
  return reread.Open(fileName) && reread.GetLong("CLIENT", "Retries") == 3;
}
