// SPDX-License-Identifier: MIT
#include "FuzzFiles.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fuzzing {

std::string ScratchPath(const std::string& tag) {
  return (std::filesystem::temp_directory_path() /
          ("dezov20-fuzz-" + tag + "-" + std::to_string(::getpid())))
      .string();
}

void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

}  // namespace fuzzing
