// SPDX-License-Identifier: MIT
// Every failing sequence the model test has found, shrunk, run as it stands:
// each must agree with the model. New cases come from the model test's
// failure output, pasted into the table as they are printed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/ModelOps.h"
#include "model/StoreModel.h"

namespace store_model {
namespace {

struct RegressionCase {
  std::string name;
  StoreKind kind;
  std::vector<Op> ops;
};

const std::vector<RegressionCase>& Cases() {
  static const std::vector<RegressionCase> cases = {
    // SetValue took a value with "//" after its first character, which the
    // file then cut (found by seed 20240611); it must refuse such a value.
    {"ini-set-cut (seed 20240611)", StoreKind::kIni,
     {
         {OpKind::kSet, 2, 0, "A", "k", "", "http://h [\xC4\xE3", 0, 0},
     }},
    // Open of another file while this store's file cannot be saved (a
    // directory took its name) dropped the pending change; Open must fail
    // and keep the store, whose change a later save then writes.
    {"ini-open drops changes its save could not write", StoreKind::kIni,
     {
         {OpKind::kRawEdit, 0, 0, "A", "k", "", "v0", 0, 2},
         {OpKind::kOpen, 0, 0, "", "", "", "", 0, 0},
         {OpKind::kSet, 0, 0, "A", "k", "", "v1", 0, 0},
         {OpKind::kBlock, 0, 0, "", "", "", "", 0, 0},
         {OpKind::kOpen, 0, 1, "", "", "", "", 0, 0},
         {OpKind::kUnblock, 0, 0, "", "", "", "", 0, 0},
         {OpKind::kSave, 0, 0, "", "", "", "", 0, 0},
     }},
    // Two keys swapped in the public list: the name index kept the old
    // positions (the list's length did not change) and GetValue missed a key
    // that a scan finds (seed 2204479457). Lookups must equal a scan.
    {"ini-store: keys reordered directly (seed 2204479457)", StoreKind::kIni,
     {
         {OpKind::kRawEdit, 0, 0, "A", "k", "", "", 0, 2},
         {OpKind::kRawEdit, 1, 0, "Sec", "x", "", "", 0, 1},
         {OpKind::kOpen, 1, 0, "", "", "", "", 0, 0},
         {OpKind::kReorder, 1, 0, "Sec", "K", "", "", 0, 1},
     }},
    // Another program inserted a key in front of the one this store changed
    // by position: the merge set the wrong key. It must refuse (or set the
    // key the change was made on).
    {"xml-merge-position: a key inserted in front", StoreKind::kXml,
     {
         {OpKind::kRawEdit, 0, 0, "A", "k", "Value", "a", 0, 2},
         {OpKind::kRawEdit, 0, 0, "A", "k", "Value", "b", 0, 513},
         {OpKind::kOpen, 0, 0, "", "", "", "", 0, 0},
         {OpKind::kSet, 0, 0, "A", "k", "", "new", 1, 0},
         {OpKind::kRawEdit, 0, 0, "A", "k", "Value", "c", 0, 1},
         {OpKind::kSave, 0, 0, "", "", "", "", 0, 0},
     }},
    // Another program removed the keys this store changed by position: the
    // merge dropped the change and WriteFile returned true (seed 20240895).
    {"xml-merge-gone (seed 20240895)", StoreKind::kXml,
     {
         {OpKind::kRawEdit, 2, 0, "A", "", "Value", "\x81@", 0, 2},
         {OpKind::kRawEdit, 1, 0, "a", "", "Value", "0", 1, 57049},
         {OpKind::kOpen, 0, 0, "", "", "", "", 0, 0},
         {OpKind::kOtherEdit, 2, 0, "A", "k", "id", "x/&\xBA\xC3", 0, 1},
         {OpKind::kSet, 0, 1, "A", "k", "", ";&//", 1, 0},
         {OpKind::kSave, 0, 0, "Sec", "k", "", "]\t&", 0, 0},
     }},
    // The same with the key moved: its section was removed by another
    // program and made again by this store's Append, which the change by
    // position addressed (seed 3694130987).
    {"xml-merge-position (seed 3694130987)", StoreKind::kXml,
     {
         {OpKind::kOpen, 0, 0, "", "", "", "", 0, 0},
         {OpKind::kOpen, 1, 0, "", "", "", "", 0, 0},
         {OpKind::kCopy, 2, 0, "Sec", "k", "", "", 1, 1},
         {OpKind::kSet, 2, 0, "A", "k", "", "\xC4\xE3", 0, 0},
         {OpKind::kSave, 2, 1, "B", "k", "", "", 0, 0},
         {OpKind::kOtherEdit, 0, 0, "A", "", "ID", "", 0, 1},
         {OpKind::kCopy, 0, 1, "A", "k", "", "", 2, 1},
         {OpKind::kAppend, 0, 0, "a", "k", "id", "", 0, 0},
         {OpKind::kSet, 2, 0, "A", "K", "", "", 1, 0},
         {OpKind::kSave, 0, 0, "B", "x", "", "", 0, 0},
     }},
    // Another program inserted a section of the same name in front of the
    // one whose key this store changed by position (seed 3924522553).
    {"xml-merge-gone (seed 3924522553)", StoreKind::kXml,
     {
         {OpKind::kRawEdit, 2, 0, "A", "k", "Value", "", 0, 2},
         {OpKind::kRawEdit, 1, 0, "B", "k", "Value", "\x80]]>", 0, 35241},
         {OpKind::kOpen, 0, 0, "", "", "", "", 0, 0},
         {OpKind::kSet, 0, 0, "a", "k", "", "//", 1, 0},
         {OpKind::kRawEdit, 2, 0, "A", "k", "Value", "'\xC4\xE3http://h", 6, 60578},
         {OpKind::kSave, 0, 0, "B", "k", "", "", 0, 0},
     }},
  };
  return cases;
}

TEST(StoreModelRegressions, EveryFoundSequenceAgreesWithTheModel) {
  for (const RegressionCase& c : Cases()) {
    const RunResult result = RunSequence(c.kind, c.ops);
    EXPECT_TRUE(result.ok) << c.name << ": after operation " << result.step << ": " << result.what;
  }
}

}  // namespace
}  // namespace store_model
