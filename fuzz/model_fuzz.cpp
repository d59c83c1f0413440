// SPDX-License-Identifier: MIT
// Sequences of store operations decoded from the input and run against the
// reference model of tests/model, in this process: sets, removals, saves,
// re-opens and copies of three stores over two files, other programs' edits
// through stores of their own and as raw bytes, saves several programs make
// one after the other, files taken away and put back. The first byte picks
// the store (even: INI, odd: XML). Any divergence from the model is a
// finding; the message holds the sequence as a regression case.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "model/ModelOps.h"
#include "model/StoreModel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace store_model;
  if (size == 0) return 0;
  const StoreKind kind = (data[0] & 1u) ? StoreKind::kXml : StoreKind::kIni;
  const std::vector<Op> ops = DecodeOps(kind, data + 1, size - 1);
  RunOptions options;
  options.processes = false;  // one process: fast, and a crash is the fuzzer's own
  options.avoidKnownFaults = std::getenv("DEZOV20_MODEL_AVOID_KNOWN") != nullptr;
  const RunResult result = RunSequence(kind, ops, options);
  if (!result.ok) {
    fuzzing::Fail("the store diverges from the model after operation " + std::to_string(result.step) +
                  ": " + result.what + "\n" + CaseAsCpp("found by model_fuzz", kind, ops));
  }
  return 0;
}
