// SPDX-License-Identifier: MIT
// Scratch files for the fuzz targets: one private file per target and process.
#ifndef DEZOV20_FUZZ_FUZZ_FILES_H
#define DEZOV20_FUZZ_FUZZ_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

// A path in the temporary directory, unique to this process and tag.
std::string ScratchPath(const std::string& tag);
// Replaces the file's content with size bytes of data.
void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size);
// Stops the run with a message: a broken invariant is a finding.
[[noreturn]] void Fail(const std::string& what);

}  // namespace fuzzing

#endif  // DEZOV20_FUZZ_FUZZ_FILES_H
