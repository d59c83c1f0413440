// SPDX-License-Identifier: MIT
// The operations a model run applies to the stores and to their files: what
// callers do (set, remove, save, open, copy) and what other programs do (edit
// through a store of their own, rewrite the bytes, die while saving, save all
// at once). Sequences are drawn from a seeded generator, decoded from fuzzer
// bytes, or written out as C++ for the regression table.
#ifndef DEZOV20_TESTS_MODEL_MODEL_OPS_H
#define DEZOV20_TESTS_MODEL_MODEL_OPS_H

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace store_model {

enum class StoreKind { kIni, kXml };

// Stores live in kSlots slots, over kFiles files of one directory.
constexpr int kSlots = 3;
constexpr int kFiles = 2;

enum class OpKind {
  kSet,             // SetValue(section, key, value, index) on slot store
  kSetAttr,         // XML: SetAttribute(section[\key], attr, value, index)
  kAppend,          // XML: Append(section\key), then Set(attr, value)
  kRemoveKey,       // RemoveKey(section, key)
  kRemoveSection,   // RemoveSection(section)
  kRemoveAttr,      // XML: RemoveAttribute(section[\key], attr, index)
  kEditKey,         // INI: the index-th key's strValue edited in place, marked modified
  kClear,           // INI: ResetContent; XML: ClearAttribute(section[\key])
  kReorder,         // INI: two neighbouring sections (arg & 1: keys) swapped directly in the
                    // public lists, as the header allows; XML: nothing
  kSave,            // WriteFile
  kOpen,            // Open(file)
  kCopy,            // slot store = slot index; arg 1: copy-constructed (the old one destroyed)
  kOtherEdit,       // another program's store on file: arg % 5 picks set, remove key,
                    // remove section, append (XML; INI: set), set attribute (XML; INI: set);
                    // arg & 8: that program runs in a process of its own
  kRawEdit,         // the file's bytes rewritten by another program, or (arg & 7 == 7) the file
                    // removed (see RawEdit in StoreModel.cpp)
  kKilledSave,      // another program sets section/key/value, and dies part way through its save
  kConcurrentSaves, // 2 + arg % 2 programs set and save at once (arg & 2: all the same key)
  kBlock,           // the file's name is taken by a directory: saves there fail
  kUnblock,         // the file is put back as it was
};

struct Op {
  OpKind kind = OpKind::kSave;
  int store = 0;
  int file = 0;
  std::string section;
  std::string key;
  std::string attr;
  std::string value;
  int index = 0;
  unsigned arg = 0;
};

// A sequence drawn from rng: a few opens and raw writes to start, then count
// random operations.
std::vector<Op> RandomOps(StoreKind kind, std::mt19937_64& rng, std::size_t count);

// A sequence decoded from arbitrary bytes (the fuzzer's input); never fails.
std::vector<Op> DecodeOps(StoreKind kind, const std::uint8_t* data, std::size_t size);

// One operation as a C++ initializer, e.g. {OpKind::kSet, 0, 0, "A", "k", "", "v", 0, 0}.
std::string OpAsCpp(const Op& op);
// A whole regression case as C++, to paste into the table in RegressionCases.cpp.
std::string CaseAsCpp(const std::string& name, StoreKind kind, const std::vector<Op>& ops);
// text as a C++ string literal (bytes outside ASCII as \xHH).
std::string Quote(const std::string& text);
// Short human description of an operation, for failure messages.
std::string Describe(const Op& op);

}  // namespace store_model

#endif  // DEZOV20_TESTS_MODEL_MODEL_OPS_H
