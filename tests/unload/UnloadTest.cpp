// SPDX-License-Identifier: MIT
// Loads a module that uses libDeZov20, uses it and unloads it, twice: first
// from a thread that ends before the unload (so DeZov20 and the XML library it
// started really go), then from the main thread (DeZov20 then stays until
// exit for the thread's objects). Run with the probe module's path.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PROBE_MODULE\n", argv[0]);
    return 2;
  }
  char directory[] = "/tmp/dezov20-unload-XXXXXX";
  if (mkdtemp(directory) == nullptr) return 2;
  int result = 0;
  for (int round = 0; round < 2 && result == 0; ++round) {
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      std::fprintf(stderr, "dlopen: %s\n", dlerror());
      result = 1;
      break;
    }
    auto use = reinterpret_cast<int (*)(const char*)>(dlsym(module, "UseStores"));
    int used = 1;
    if (use != nullptr && round == 0)
      std::thread([&] { used = use(directory); }).join();
    else if (use != nullptr)
      used = use(directory);
    if (used != 0) {
      std::fprintf(stderr, "round %d: the stores did not work\n", round);
      result = 1;
    }
    if (dlclose(module) != 0) {
      std::fprintf(stderr, "dlclose: %s\n", dlerror());
      result = 1;
    }
    if (round == 0 && dlopen(argv[1], RTLD_NOW | RTLD_NOLOAD) != nullptr)
      std::fprintf(stderr, "note: the module stayed loaded\n");
  }
  for (const char* name : {"/probe.xml", "/probe.ini"}) unlink((std::string(directory) + name).c_str());
  rmdir(directory);
  if (result == 0) std::puts("loaded, used and unloaded twice");
  return result;
}
