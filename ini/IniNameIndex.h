// SPDX-License-Identifier: MIT
// Lookup of sections and keys by name without a scan: open-addressed hash
// tables from the case-folded name to the position of its first occurrence.
// A lookup gives exactly what a scan in list order would give.
#ifndef DEZOV20_INI_INI_NAME_INDEX_H
#define DEZOV20_INI_INI_NAME_INDEX_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "../include/KdIni.h"

namespace dezov {

// Maps a name (A-Z folded) to the position of its first occurrence in a list
// of named items (anything with a strName). The table describes the list of
// the length it last saw; a list of another length makes it rebuild itself,
// and so does an item found at another position than the table last saw it
// (items reordered or replaced in the list directly).
class NamePositionTable {
 public:
  // Position of the first item named name, or -1.
  template <class Item>
  long Find(const std::vector<Item*>& items, std::string_view name);
  // The last item of items was just appended.
  template <class Item>
  void Appended(const std::vector<Item*>& items);
  // The item named name at position was just erased from items.
  template <class Item>
  void Erased(const std::vector<Item*>& items, std::size_t position, std::string_view name);
  // Forgets everything; the next Find rebuilds.
  void Clear();

 private:
  template <class Item>
  void Build(const std::vector<Item*>& items, std::size_t capacityFor);
  template <class Item>
  void Insert(const std::vector<Item*>& items, std::uint32_t position);
  template <class Item>
  void DeleteSlot(const std::vector<Item*>& items, std::size_t slot);

  std::vector<std::uint32_t> slots_;  // position + 1; 0 marks a free slot
  std::vector<const void*> members_;  // the item at each position, as last seen
  std::size_t count_ = 0;             // length of the list described
  bool built_ = false;
};

// The index of one store: its sections, and the keys of each section.
class IniNameIndex {
 public:
  using Sections = std::vector<CKdIni::CIniSection*>;

  long FindSection(const Sections& sections, std::string_view name);
  long FindKey(const Sections& sections, std::size_t sectionPos, std::string_view name);
  void SectionAppended(const Sections& sections);
  void SectionErased(const Sections& sections, std::size_t position, std::string_view name);
  void KeyAppended(const Sections& sections, std::size_t sectionPos);
  void KeyErased(const Sections& sections, std::size_t sectionPos, std::size_t keyPos,
                 std::string_view name);
  void Clear();

 private:
  // The key table of one section, and the section it was made for.
  struct KeyTable {
    const CKdIni::CIniSection* owner = nullptr;
    NamePositionTable table;
  };
  NamePositionTable& KeysOf(const Sections& sections, std::size_t sectionPos);

  NamePositionTable sections_;
  std::vector<KeyTable> keys_;  // parallel to the section list
};

}  // namespace dezov

#endif  // DEZOV20_INI_INI_NAME_INDEX_H
