// SPDX-License-Identifier: MIT
// Names of lock files and temporaries (see SaveFileNames.h).
#include "SaveFileNames.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <random>

#include "Platform.h"

namespace dezov {
namespace platform {
namespace {

constexpr std::size_t kPrefixBytes = 16;
const char kTemporaryEnd[] = ".tmp";

// "." + the tag of target's name.
std::string Tag(const std::string& target) {
  const std::string name = NameOf(target);
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char c : name) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<unsigned char>(byte - 'A' + 'a');
    hash = (hash ^ byte) * 1099511628211ull;
  }
  std::string tag = ".";
  for (const char c : name) {
    if (tag.size() > kPrefixBytes || c < 0x20 || c > 0x7e) break;
    tag += c;
  }
  char hex[20];
  std::snprintf(hex, sizeof hex, "-%016llx", static_cast<unsigned long long>(hash));
  return tag + hex;
}

bool IsDigits(const std::string& text, std::size_t from, std::size_t to, bool hex) {
  if (from >= to) return false;
  for (std::size_t i = from; i < to; ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (hex && c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

std::string LockFileOf(const std::string& target) { return SiblingPath(target, Tag(target) + ".lk"); }

std::string NewTemporaryOf(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  thread_local std::minstd_rand random{std::random_device{}()};
  char unique[12];
  std::snprintf(unique, sizeof unique, "%08x",
                static_cast<unsigned>(random() ^ (counter++ * 2654435761u)));
  return SiblingPath(target, Tag(target) + "." + std::to_string(CurrentProcessId()) + "." +
                                 unique + kTemporaryEnd);
}

long TemporaryWriter(const std::string& target, const std::string& name) {
  const std::string tag = Tag(target) + ".";
  const std::size_t endSize = sizeof kTemporaryEnd - 1;
  if (name.size() <= tag.size() + endSize || name.compare(0, tag.size(), tag) != 0 ||
      name.compare(name.size() - endSize, endSize, kTemporaryEnd) != 0)
    return 0;
  const std::size_t dot = name.find('.', tag.size());
  const std::size_t end = name.size() - endSize;
  if (dot == std::string::npos || dot >= end || dot - tag.size() > 9 ||
      !IsDigits(name, tag.size(), dot, false) || !IsDigits(name, dot + 1, end, true))
    return 0;
  return std::stol(name.substr(tag.size(), dot - tag.size()));
}

}  // namespace platform
}  // namespace dezov
