// SPDX-License-Identifier: MIT
// Texts the host program registers for string ids (include/HostStrings.h).
// Ids are grouped in blocks of 16 as in a Windows string table: an id whose
// block holds no entry has no text at all, a missing entry in a block that
// has one is the empty text.
#include <map>
#include <mutex>

#include "../include/HostStrings.h"
#include "Platform.h"

namespace {

std::mutex& TableMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<unsigned int, std::string>& Table() {
  static std::map<unsigned int, std::string> table;
  return table;
}

}  // namespace

void RegisterHostString(unsigned int id, const char* text) {
  std::lock_guard<std::mutex> lock(TableMutex());
  Table()[id] = text ? text : "";
}

void ClearHostStrings() {
  std::lock_guard<std::mutex> lock(TableMutex());
  Table().clear();
}

namespace dezov {
namespace platform {

bool LoadRegisteredString(unsigned int id, std::string& text) {
  std::lock_guard<std::mutex> lock(TableMutex());
  const auto& table = Table();
  const unsigned int blockStart = id / 16 * 16;
  auto first = table.lower_bound(blockStart);
  if (first == table.end() || first->first >= blockStart + 16) return false;
  auto found = table.find(id);
  text = found == table.end() ? std::string() : found->second;
  return true;
}

}  // namespace platform
}  // namespace dezov
