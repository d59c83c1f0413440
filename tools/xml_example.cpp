// A small program that opens an XML configuration, reads a value, changes it
// and writes the file back.
#include <cstdio>

#include "XmlIni.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CONFIG.xml\n", argv[0]);
    return 2;
  }
  CXmlIni ini;
  if (!ini.Open(argv[1])) {
    std::fprintf(stderr, "cannot open %s: %s\n", argv[1], ini.GetLastErrMsg().c_str());
    return 2;
  }
  std::printf("DEPLOY\\DEPLOY1 = %s\n", ini.GetValue("DEPLOY", "DEPLOY1").c_str());
  const long runs = ini.GetLong("EXAMPLE", "Runs") + 1;
  ini.SetValue("EXAMPLE", "Runs", runs);
  if (!ini.WriteFile()) {
    std::fprintf(stderr, "cannot write %s: %s\n", argv[1], ini.GetLastErrMsg().c_str());
    return 2;
  }
  std::printf("EXAMPLE\\Runs is now %ld (written to %s)\n", runs, ini.GetFileName().c_str());
  return 0;
}
