// SPDX-License-Identifier: MIT
// Uses the installed library the way a program would: open (creating the
// file), set, write, reopen and read back; the headers by name here, by their
// folder in prefixed.cpp.
#include <XmlIni.h>

#include <cstdio>
#include <string>

#include "Prefixed.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  CXmlIni store;
  store.Open(argv[1]);
  if (!store.Open(argv[1])) return 3;
  if (!store.SetValue("SERVER", "Port", 8080L) || !store.WriteFile()) return 4;
  CXmlIni reread;
  if (!reread.Open(argv[1]) || reread.GetLong("server", "port") != 8080) return 5;
  if (!IniRoundTrip((std::string(argv[1]) + ".ini").c_str())) return 6;
  std::puts("consumer ok");
  return 0;
}
