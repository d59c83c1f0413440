// SPDX-License-Identifier: MIT
#include "IniNameIndex.h"

#include <limits>

#include "../text/TextUtil.h"

namespace dezov {
namespace {

// Lists this long cannot be numbered in 32 bits; they are scanned instead.
constexpr std::size_t kMaxIndexed = std::numeric_limits<std::uint32_t>::max() - 1;

template <class Item>
long ScanFor(const std::vector<Item*>& items, std::string_view name, std::size_t from = 0) {
  for (std::size_t i = from; i < items.size(); ++i)
    if (NamesEqual(items[i]->strName, name)) return static_cast<long>(i);
  return -1;
}

}  // namespace

void NamePositionTable::Clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  members_.clear();
  members_.shrink_to_fit();
  count_ = 0;
  built_ = false;
}

template <class Item>
void NamePositionTable::Build(const std::vector<Item*>& items, std::size_t capacityFor) {
  std::size_t capacity = 8;
  while (capacity < 2 * capacityFor) capacity *= 2;  // at most half full
  slots_.assign(capacity, 0);
  members_.assign(items.begin(), items.end());
  count_ = items.size();
  built_ = true;
  for (std::size_t i = 0; i < items.size(); ++i) Insert(items, static_cast<std::uint32_t>(i));
}

template <class Item>
void NamePositionTable::Insert(const std::vector<Item*>& items, std::uint32_t position) {
  const std::string& name = items[position]->strName;
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = NameHash(name) & mask;
  for (; slots_[slot] != 0; slot = (slot + 1) & mask)
    if (NamesEqual(items[slots_[slot] - 1]->strName, name)) return;  // first one stays
  slots_[slot] = position + 1;
}

template <class Item>
long NamePositionTable::Find(const std::vector<Item*>& items, std::string_view name) {
  if (items.size() > kMaxIndexed) return ScanFor(items, name);
  if (!built_ || count_ != items.size()) Build(items, items.size());
  for (int attempt = 0; attempt < 2; ++attempt) {
    const std::size_t mask = slots_.size() - 1;
    bool stale = false;
    for (std::size_t slot = NameHash(name) & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
      const std::size_t position = slots_[slot] - 1;
      if (items[position] != members_[position]) {
        stale = true;  // the list was reordered behind the table's back
        break;
      }
      if (NamesEqual(items[position]->strName, name)) return static_cast<long>(position);
    }
    if (!stale) return -1;
    Build(items, items.size());
  }
  return ScanFor(items, name);
}

template <class Item>
void NamePositionTable::Appended(const std::vector<Item*>& items) {
  if (!built_ || count_ + 1 != items.size() || items.size() > kMaxIndexed) {
    Clear();
    return;
  }
  count_ = items.size();
  members_.push_back(items.back());
  if (2 * count_ > slots_.size())
    Build(items, count_);
  else
    Insert(items, static_cast<std::uint32_t>(count_ - 1));
}

// Empties slot and moves later members of its probe run back, so that every
// remaining name is still found from its home slot without tombstones.
template <class Item>
void NamePositionTable::DeleteSlot(const std::vector<Item*>& items, std::size_t slot) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t hole = slot;
  for (std::size_t next = (slot + 1) & mask; slots_[next] != 0; next = (next + 1) & mask) {
    const std::size_t home = NameHash(items[slots_[next] - 1]->strName) & mask;
    const bool homeAfterHole =
        hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
    if (!homeAfterHole) {
      slots_[hole] = slots_[next];
      hole = next;
    }
  }
  slots_[hole] = 0;
}

template <class Item>
void NamePositionTable::Erased(const std::vector<Item*>& items, std::size_t position,
                               std::string_view name) {
  if (!built_ || count_ != items.size() + 1) {
    Clear();
    return;
  }
  count_ = items.size();
  if (position < members_.size()) members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(position));
  const std::uint32_t removed = static_cast<std::uint32_t>(position + 1);
  const std::size_t mask = slots_.size() - 1;
  std::size_t found = slots_.size();
  for (std::size_t slot = NameHash(name) & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
    if (slots_[slot] == removed) {
      found = slot;
      break;
    }
  }
  for (std::uint32_t& value : slots_)
    if (value > removed) --value;  // the items behind the erased one moved up
  if (found == slots_.size()) return;  // a later duplicate went; the first stays
  DeleteSlot(items, found);
  const long next = ScanFor(items, name, position);
  if (next >= 0) Insert(items, static_cast<std::uint32_t>(next));
}

long IniNameIndex::FindSection(const Sections& sections, std::string_view name) {
  return sections_.Find(sections, name);
}

NamePositionTable& IniNameIndex::KeysOf(const Sections& sections, std::size_t sectionPos) {
  if (keys_.size() != sections.size()) {
    keys_.clear();
    keys_.resize(sections.size());
  }
  KeyTable& keys = keys_[sectionPos];
  if (keys.owner != sections[sectionPos]) {
    keys.table.Clear();
    keys.owner = sections[sectionPos];
  }
  return keys.table;
}

long IniNameIndex::FindKey(const Sections& sections, std::size_t sectionPos,
                           std::string_view name) {
  return KeysOf(sections, sectionPos).Find(sections[sectionPos]->vecKeys, name);
}

void IniNameIndex::SectionAppended(const Sections& sections) {
  sections_.Appended(sections);
  if (keys_.size() + 1 == sections.size()) keys_.emplace_back();
}

void IniNameIndex::SectionErased(const Sections& sections, std::size_t position,
                                 std::string_view name) {
  sections_.Erased(sections, position, name);
  if (keys_.size() == sections.size() + 1)
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(position));
  else
    keys_.clear();
}

void IniNameIndex::KeyAppended(const Sections& sections, std::size_t sectionPos) {
  if (keys_.size() == sections.size() && keys_[sectionPos].owner == sections[sectionPos])
    keys_[sectionPos].table.Appended(sections[sectionPos]->vecKeys);
}

void IniNameIndex::KeyErased(const Sections& sections, std::size_t sectionPos,
                             std::size_t keyPos, std::string_view name) {
  if (keys_.size() == sections.size() && keys_[sectionPos].owner == sections[sectionPos])
    keys_[sectionPos].table.Erased(sections[sectionPos]->vecKeys, keyPos, name);
}

void IniNameIndex::Clear() {
  sections_.Clear();
  keys_.clear();
}

}  // namespace dezov
