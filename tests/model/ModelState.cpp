// SPDX-License-Identifier: MIT
#include "ModelState.h"

#include <algorithm>

namespace store_model {

bool NamesMatch(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

bool IsIniSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string TrimIni(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsIniSpace(text[begin])) ++begin;
  while (end > begin && IsIniSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string IniReadBack(const std::string& value) {
  const std::size_t slashes = value.size() > 1 ? value.find("//", 1) : std::string::npos;
  return TrimIni(slashes == std::string::npos ? value : value.substr(0, slashes));
}

std::string IniHoldable(std::string value) {
  value.erase(std::remove_if(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }),
              value.end());
  return IniReadBack(value);
}

// ---- INI --------------------------------------------------------------------

IniSectionM* IniDocM::FindSection(const std::string& name) {
  for (IniSectionM& section : sections)
    if (NamesMatch(section.name, name)) return &section;
  return nullptr;
}

IniKeyM* IniDocM::FindKey(const std::string& section, const std::string& key) {
  IniSectionM* found = FindSection(section);
  if (found == nullptr) return nullptr;
  for (IniKeyM& k : found->keys)
    if (NamesMatch(k.name, key)) return &k;
  return nullptr;
}

void IniDocM::Set(const std::string& section, const std::string& key, const std::string& value) {
  IniSectionM* s = FindSection(section);
  if (s == nullptr) {
    sections.push_back(IniSectionM{section, "", {}, {}});
    s = &sections.back();
  }
  for (IniKeyM& k : s->keys) {
    if (NamesMatch(k.name, key)) {
      k.value = value;
      k.modified = true;
      return;
    }
  }
  IniKeyM created;
  created.name = key;
  created.value = value;
  created.modified = true;
  s->keys.push_back(created);
}

bool IniDocM::RemoveKey(const std::string& section, const std::string& key) {
  for (std::size_t s = 0; s < sections.size(); ++s) {
    if (!NamesMatch(sections[s].name, section)) continue;
    std::vector<IniKeyM>& keys = sections[s].keys;
    for (std::size_t k = 0; k < keys.size(); ++k) {
      if (!NamesMatch(keys[k].name, key)) continue;
      keys.erase(keys.begin() + static_cast<long>(k));
      if (keys.empty()) sections.erase(sections.begin() + static_cast<long>(s));
      return true;
    }
    return false;
  }
  return false;
}

bool IniDocM::RemoveSection(const std::string& section) {
  for (std::size_t s = 0; s < sections.size(); ++s) {
    if (NamesMatch(sections[s].name, section)) {
      sections.erase(sections.begin() + static_cast<long>(s));
      return true;
    }
  }
  return false;
}

void IniDocM::Written() {
  for (IniSectionM& section : sections) {
    for (IniKeyM& key : section.keys) {
      if (!key.modified) continue;
      key.line = key.name + "=" + key.value + (key.comment.empty() ? "" : " //" + key.comment);
      key.modified = false;
    }
  }
}

IniDocM IniDocM::DiskForm() const {
  IniDocM disk = *this;
  for (IniSectionM& section : disk.sections) {
    if (section.line.empty()) section.line = "[" + section.name + "]";
    for (IniKeyM& key : section.keys) {
      key.value = IniReadBack(key.value);
      key.modified = false;
    }
  }
  return disk;
}

// ---- XML --------------------------------------------------------------------

Path KeyPath(const std::string& section, const std::string& key) {
  Path path{section};
  if (!key.empty()) path.push_back(key);
  return path;
}

namespace {

XmlElemM* FirstMatch(Elems& list, const std::string& name) {
  for (XmlElemM& element : list)
    if (NamesMatch(element.name, name)) return &element;
  return nullptr;
}

std::uint64_t IdFor(std::size_t level, const std::vector<std::uint64_t>& reuse, IdSource& ids) {
  return level < reuse.size() && reuse[level] != 0 ? reuse[level] : ids.Fresh();
}

// The children list that holds the path's last component: the first match
// at each earlier level; parent receives that element (null: the root).
Elems* WalkParents(Elems& root, const Path& path, bool create, IdSource& ids,
                   const std::vector<std::uint64_t>& reuse, std::vector<std::uint64_t>& created,
                   const XmlElemM** parent) {
  Elems* level = &root;
  if (parent) *parent = nullptr;
  for (std::size_t d = 0; d + 1 < path.size(); ++d) {
    XmlElemM* found = FirstMatch(*level, path[d]);
    if (found == nullptr) {
      if (!create) return nullptr;
      XmlElemM made;
      made.id = IdFor(d, reuse, ids);
      made.name = path[d];
      level->push_back(made);
      found = &level->back();
      created[d] = made.id;
    }
    if (parent) *parent = found;
    level = &found->children;
  }
  return level;
}

void SerializeInto(const XmlElemM& element, bool withIds, std::string& out) {
  out += "<" + element.name;
  if (withIds) out += "#" + std::to_string(element.id);
  for (const auto& attr : element.attrs) out += " " + attr.first + "=\"" + attr.second + "\"";
  out += ">";
  for (const XmlElemM& child : element.children) SerializeInto(child, withIds, out);
  out += "</>";
}

// Where a positional change addressed: the parent and the same-named
// siblings, with ids and content.
std::string Signature(Elems& root, const Path& path) {
  IdSource unused;
  std::vector<std::uint64_t> created(path.size(), 0);
  const XmlElemM* parent = nullptr;
  Elems* level = WalkParents(root, path, false, unused, {}, created, &parent);
  if (level == nullptr) return "missing";
  std::string out = parent ? std::to_string(parent->id) : "root";
  for (const XmlElemM& element : *level)
    if (NamesMatch(element.name, path.back())) SerializeInto(element, true, out);
  return out;
}

}  // namespace

XmlElemM* Resolve(Elems& root, const Path& path, int index, bool create, IdSource& ids,
                  const std::vector<std::uint64_t>& reuse, std::vector<std::uint64_t>& created) {
  created.assign(path.size(), 0);
  if (path.empty() || index < 0) return nullptr;
  const bool making = create && index == 0;
  Elems* level = WalkParents(root, path, making, ids, reuse, created, nullptr);
  if (level == nullptr) return nullptr;
  int count = 0;
  for (XmlElemM& element : *level) {
    if (!NamesMatch(element.name, path.back())) continue;
    if (count++ == index) return &element;
  }
  if (!making) return nullptr;
  XmlElemM made;
  made.id = IdFor(path.size() - 1, reuse, ids);
  made.name = path.back();
  level->push_back(made);
  created.back() = made.id;
  return &level->back();
}

bool RemoveAll(Elems& root, const Path& path) {
  if (path.empty()) return false;
  IdSource unused;
  std::vector<std::uint64_t> created(path.size(), 0);
  Elems* level = WalkParents(root, path, false, unused, {}, created, nullptr);
  if (level == nullptr) return false;
  const std::size_t before = level->size();
  level->erase(std::remove_if(level->begin(), level->end(),
                              [&](const XmlElemM& e) { return NamesMatch(e.name, path.back()); }),
               level->end());
  return level->size() != before;
}

XmlElemM& AppendAt(Elems& root, const Path& path, std::uint64_t id, IdSource& ids,
                   const std::vector<std::uint64_t>& reuse, std::vector<std::uint64_t>& created) {
  created.assign(path.size(), 0);
  Elems* level = WalkParents(root, path, true, ids, reuse, created, nullptr);
  XmlElemM made;
  made.id = id;
  made.name = path.back();
  level->push_back(made);
  return level->back();
}

void SetExact(XmlElemM& element, const std::string& name, const std::string& value) {
  auto at = element.attrs.begin();
  while (at != element.attrs.end() && at->first < name) ++at;
  if (at != element.attrs.end() && at->first == name)
    at->second = value;
  else
    element.attrs.emplace(at, name, value);
}

const std::string* Lookup(const XmlElemM& element, const std::string& name) {
  for (const auto& attr : element.attrs)
    if (NamesMatch(attr.first, name)) return &attr.second;
  return nullptr;
}

bool RemoveFirst(XmlElemM& element, const std::string& name) {
  for (auto at = element.attrs.begin(); at != element.attrs.end(); ++at) {
    if (NamesMatch(at->first, name)) {
      element.attrs.erase(at);
      return true;
    }
  }
  return false;
}

bool SameContent(const Elems& a, const Elems& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].attrs != b[i].attrs) return false;
    if (!SameContent(a[i].children, b[i].children)) return false;
  }
  return true;
}

std::string Dump(const Elems& root) {
  std::string out;
  for (const XmlElemM& element : root) SerializeInto(element, false, out);
  return out.empty() ? "(no elements)" : out;
}

XmlMergeM MergeXml(const Elems& disk, const XmlDocM& doc, IdSource& ids) {
  XmlMergeM result;
  result.merged = disk;
  Elems diskNow = disk;
  Elems base = doc.base;
  std::vector<std::uint64_t> created;
  for (const XmlChangeM& change : doc.log) {
    switch (change.type) {
      case XmlChangeM::kRemove:
        RemoveAll(result.merged, change.path);
        break;
      case XmlChangeM::kClearAttrs: {
        XmlElemM* element = Resolve(result.merged, change.path, 0, false, ids, {}, created);
        if (element) element->attrs.clear();
        break;
      }
      case XmlChangeM::kAppend:
        // The element appended to is found again by what it held: where
        // another program changed its name's elements on the way down, the
        // store may refuse the save as a conflict.
        for (std::size_t depth = 1; depth < change.path.size(); ++depth) {
          const Path parent(change.path.begin(), change.path.begin() + static_cast<std::ptrdiff_t>(depth));
          if (Signature(diskNow, parent) != Signature(base, parent)) result.conflictAllowed = true;
        }
        SetExact(AppendAt(result.merged, change.path, change.target, ids, change.created, created),
                 change.attr, change.value);
        break;
      case XmlChangeM::kSetAttr:
      case XmlChangeM::kRemoveAttr: {
        const bool set = change.type == XmlChangeM::kSetAttr;
        if (change.index == 0) {  // by name: the first of its name (made when missing, to set)
          XmlElemM* element =
              Resolve(result.merged, change.path, 0, set, ids, change.created, created);
          if (element && set) SetExact(*element, change.attr, change.value);
          if (element && !set) RemoveFirst(*element, change.attr);
          break;
        }
        // By position: right only on the element the change was made on.
        if (Signature(diskNow, change.path) != Signature(base, change.path))
          result.conflictAllowed = true;
        XmlElemM* landing = Resolve(result.merged, change.path, change.index, false, ids, {}, created);
        if (landing == nullptr || landing->id != change.target) result.conflictAllowed = true;
        XmlElemM* target = nullptr;
        for (int i = 0;; ++i) {
          XmlElemM* candidate = Resolve(result.merged, change.path, i, false, ids, {}, created);
          if (candidate == nullptr) break;
          if (candidate->id == change.target) target = candidate;
        }
        if (target == nullptr) {
          result.mergeDefined = false;
          result.conflictAllowed = true;
        } else if (set) {
          SetExact(*target, change.attr, change.value);
        } else {
          RemoveFirst(*target, change.attr);
        }
        break;
      }
    }
  }
  return result;
}

// ---- Files and the rules of Open and WriteFile --------------------------------

std::string PathText(const Path& path) {
  std::string text;
  for (std::size_t i = 0; i < path.size(); ++i) text += (i ? "\\" : "") + path[i];
  return text;
}

bool World::IniOpen(IniStoreM& store, int file) {
  if (store.modified && store.file >= 0 && !IniSave(store)) return false;
  store = IniStoreM();
  DiskM& d = disk[file];
  if (d.blocked) return false;
  if (!d.exists) {
    d.exists = true;
    d.ini = IniDocM();
    d.version = NewVersion();
  }
  store.doc = d.ini;
  store.file = file;
  store.readVersion = d.version;
  return true;
}

bool World::IniSave(IniStoreM& store) {
  if (!store.modified || store.file < 0) return false;
  DiskM& d = disk[store.file];
  if (d.blocked) return false;
  if (d.exists && d.version != store.readVersion) {
    IniDocM merged = d.ini;
    for (const IniRemovalM& removal : store.removals) {
      if (removal.kind == IniRemovalM::kEverything)
        merged = IniDocM();
      else if (removal.kind == IniRemovalM::kSection)
        merged.RemoveSection(removal.sectionName);
      else
        merged.RemoveKey(removal.sectionName, removal.keyName);
    }
    for (const IniSectionM& section : store.doc.sections)
      for (const IniKeyM& key : section.keys)
        if (key.modified) merged.Set(section.name, key.name, key.value);
    store.doc = merged;
  }
  store.doc.Written();
  d.exists = true;
  d.ini = store.doc.DiskForm();
  d.version = NewVersion();
  store.readVersion = d.version;
  store.removals.clear();
  store.modified = false;
  return true;
}

int World::IniOtherProgram(int file, int what, const std::string& section, const std::string& key,
                           const std::string& value) {
  IniStoreM store;
  if (!IniOpen(store, file)) return 0;
  int bits = 1;
  bool changed = true;
  if (what == 1) {
    changed = store.doc.RemoveKey(section, key);
    if (changed) store.removals.push_back({IniRemovalM::kKey, section, key});
  } else if (what == 2) {
    changed = store.doc.RemoveSection(section);
    if (changed) store.removals.push_back({IniRemovalM::kSection, section, ""});
  } else {
    store.doc.Set(section, key, value);
  }
  if (changed) {
    store.modified = true;
    bits |= 2;
  }
  if (IniSave(store)) bits |= 4;
  return bits;
}

bool World::XmlOpen(XmlStoreM& store, int file) {
  DiskM& d = disk[file];
  if (d.blocked) return false;
  if (!d.exists) {
    d.exists = true;
    d.xml.clear();
    d.version = NewVersion();
    return false;
  }
  store.doc = std::make_shared<XmlDocM>();
  store.doc->content = d.xml;
  store.doc->base = d.xml;
  store.doc->baseVersion = d.version;
  store.file = file;
  return true;
}

bool World::XmlSet(XmlStoreM& store, const Path& path, const std::string& attr,
                   const std::string& value, int index) {
  if (!store.doc) return false;
  std::vector<std::uint64_t> created;
  XmlElemM* element = Resolve(store.doc->content, path, index, true, ids, {}, created);
  if (element == nullptr) return false;
  SetExact(*element, attr, value);
  XmlChangeM change;
  change.type = XmlChangeM::kSetAttr;
  change.path = path;
  change.attr = attr;
  change.value = value;
  change.index = index;
  change.created = created;
  change.target = index > 0 ? element->id : 0;
  store.doc->log.push_back(change);
  return true;
}

bool World::XmlAppend(XmlStoreM& store, const Path& path, const std::string& attr,
                      const std::string& value) {
  if (!store.doc) return false;
  XmlChangeM change;
  change.type = XmlChangeM::kAppend;
  change.path = path;
  change.attr = attr;
  change.value = value;
  change.target = ids.Fresh();
  SetExact(AppendAt(store.doc->content, path, change.target, ids, {}, change.created), attr, value);
  store.doc->log.push_back(change);
  return true;
}

bool World::XmlRemove(XmlStoreM& store, const Path& path) {
  if (!store.doc || !RemoveAll(store.doc->content, path)) return false;
  XmlChangeM change;
  change.type = XmlChangeM::kRemove;
  change.path = path;
  store.doc->log.push_back(change);
  return true;
}

bool World::XmlRemoveAttr(XmlStoreM& store, const Path& path, const std::string& attr, int index) {
  if (!store.doc) return false;
  std::vector<std::uint64_t> created;
  XmlElemM* element = Resolve(store.doc->content, path, index, false, ids, {}, created);
  if (element == nullptr || !RemoveFirst(*element, attr)) return false;
  XmlChangeM change;
  change.type = XmlChangeM::kRemoveAttr;
  change.path = path;
  change.attr = attr;
  change.index = index;
  change.target = index > 0 ? element->id : 0;
  store.doc->log.push_back(change);
  return true;
}

bool World::XmlClearAttrs(XmlStoreM& store, const Path& path) {
  if (!store.doc) return false;
  std::vector<std::uint64_t> created;
  XmlElemM* element = Resolve(store.doc->content, path, 0, false, ids, {}, created);
  if (element == nullptr) return false;
  element->attrs.clear();
  XmlChangeM change;
  change.type = XmlChangeM::kClearAttrs;
  change.path = path;
  store.doc->log.push_back(change);
  return true;
}

XmlSavePlan World::XmlPlanSave(const XmlStoreM& store) {
  XmlSavePlan plan;
  if (!store.doc || store.file < 0 || disk[store.file].blocked) return plan;
  const DiskM& d = disk[store.file];
  if (!d.exists || d.version == store.doc->baseVersion) {
    plan.kind = XmlSavePlan::kWhole;
    return plan;
  }
  plan.kind = XmlSavePlan::kMerge;
  plan.merge = MergeXml(d.xml, *store.doc, ids);
  return plan;
}

void World::XmlSaved(XmlStoreM& store, const XmlSavePlan& plan) {
  DiskM& d = disk[store.file];
  d.exists = true;
  d.version = NewVersion();
  if (plan.kind == XmlSavePlan::kWhole) {
    d.xml = store.doc->content;
    store.doc->base = store.doc->content;
    store.doc->log.clear();
    store.doc->baseVersion = d.version;
    return;
  }
  d.xml = plan.merge.merged;
  store.doc->log.clear();  // copies keep this document, its changes now on disk
  auto merged = std::make_shared<XmlDocM>();
  merged->content = d.xml;
  merged->base = d.xml;
  merged->baseVersion = d.version;
  store.doc = merged;
}

int World::XmlOtherProgram(int file, int what, const std::string& section, const std::string& key,
                           const std::string& attr, const std::string& value, int index) {
  XmlStoreM store;
  if (!XmlOpen(store, file)) return 0;
  int bits = 1;
  bool changed = false;
  switch (what) {
    case 0: changed = XmlSet(store, KeyPath(section, key), "Value", value, 0); break;
    case 1: changed = XmlRemove(store, KeyPath(section, key)); break;
    case 2: changed = XmlRemove(store, Path{section}); break;
    case 3: changed = XmlAppend(store, Path{section, key.empty() ? "k" : key}, attr, value); break;
    default: changed = XmlSet(store, KeyPath(section, key), attr, value, index); break;
  }
  if (changed) bits |= 2;
  const XmlSavePlan plan = XmlPlanSave(store);
  if (plan.kind != XmlSavePlan::kFail) {
    XmlSaved(store, plan);
    bits |= 4;
  }
  return bits;
}

}  // namespace store_model
