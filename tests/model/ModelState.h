// SPDX-License-Identifier: MIT
// The reference model of both stores and their files: small value types with
// the documented rules and nothing else, to compare the library against.
//
// INI: sections and keys in file order with the lines attached to them;
// names match ignoring the case of A-Z, the first match wins; SetValue
// creates at the end; a save over a file someone else changed replays the
// store's removals, then its set keys, on the file's content.
// XML: the elements below the root with ids that only the model sees, so that
// a change addressed by position can be told to land on the element it was
// made on; saves over a changed file replay the store's logged changes.
#ifndef DEZOV20_TESTS_MODEL_MODEL_STATE_H
#define DEZOV20_TESTS_MODEL_MODEL_STATE_H

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ModelOps.h"

namespace store_model {

// Equal ignoring the case of A-Z, equal lengths.
bool NamesMatch(const std::string& a, const std::string& b);
bool IsIniSpace(char c);
std::string TrimIni(const std::string& text);
// The value a key line "k=value" reads back as.
std::string IniReadBack(const std::string& value);
// A value an INI file can hold as it is: no line breaks, read-back form.
std::string IniHoldable(std::string value);

// ---- INI --------------------------------------------------------------------
struct IniKeyM {
  std::string name, value, comment;
  std::string line;                   // the key line as read or last written
  std::vector<std::string> comments;  // lines attached above the key
  bool modified = false;
};

struct IniSectionM {
  std::string name;
  std::string line;  // the header as read; empty for a section SetValue made
  std::vector<std::string> comments;
  std::vector<IniKeyM> keys;
};

struct IniDocM {
  std::vector<IniSectionM> sections;
  std::vector<std::string> tail;

  IniSectionM* FindSection(const std::string& name);
  IniKeyM* FindKey(const std::string& section, const std::string& key);
  // SetValue's change: creates section and key at the end; marks the key.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  bool RemoveKey(const std::string& section, const std::string& key);
  bool RemoveSection(const std::string& section);
  // Written: each set key's line in the fixed form name=value[ //comment].
  void Written();
  // What a file written from this document reads back as.
  IniDocM DiskForm() const;
};

struct IniRemovalM {
  enum Kind { kKey, kSection, kEverything } kind = kKey;  // kEverything: ResetContent
  std::string sectionName, keyName;
};

// The version of a file: every write by anyone gives a new one.
using Version = std::uint64_t;

struct IniStoreM {
  IniDocM doc;
  int file = -1;  // -1: no file name
  bool modified = false;
  Version readVersion = 0;  // the file as read or last written
  std::vector<IniRemovalM> removals;
};

// ---- XML --------------------------------------------------------------------
struct XmlElemM {
  std::uint64_t id = 0;
  std::string name;
  // The element's attributes in the DOM's order: sorted by their exact names.
  std::vector<std::pair<std::string, std::string>> attrs;
  std::vector<XmlElemM> children;
};
using Elems = std::vector<XmlElemM>;  // the children of the root

// Element paths as the store splits them: "s" or "s\k" ("s\" is "s").
using Path = std::vector<std::string>;
Path KeyPath(const std::string& section, const std::string& key);

class IdSource {
 public:
  std::uint64_t Fresh() { return next_++; }

 private:
  std::uint64_t next_ = 1;
};

// One logged change of a document.
struct XmlChangeM {
  enum Type { kSetAttr, kRemoveAttr, kClearAttrs, kRemove, kAppend } type = kSetAttr;
  Path path;
  std::string attr, value;
  int index = 0;
  std::vector<std::uint64_t> created;  // per path level: id given to an element made there, or 0
  std::uint64_t target = 0;  // index > 0: the element changed; kAppend: the new element
};

struct XmlDocM {
  Elems content;
  Elems base;  // the file as read or last written
  std::vector<XmlChangeM> log;
  Version baseVersion = 0;
};

// The element at path and index; with create and index 0 the missing ones
// are made (ids from reuse where given, else fresh), noted in created.
XmlElemM* Resolve(Elems& root, const Path& path, int index, bool create, IdSource& ids,
                  const std::vector<std::uint64_t>& reuse, std::vector<std::uint64_t>& created);
// Removes every element matching the last component below the first match
// of the others; whether any was.
bool RemoveAll(Elems& root, const Path& path);
// Appends a new element at path (missing parents made), returns it.
XmlElemM& AppendAt(Elems& root, const Path& path, std::uint64_t id, IdSource& ids,
                   const std::vector<std::uint64_t>& reuse, std::vector<std::uint64_t>& created);
// DOM setAttribute: the exact name's value replaced, else a new attribute in
// its place by name.
void SetExact(XmlElemM& element, const std::string& name, const std::string& value);
// The first attribute matching name ignoring case; null when none.
const std::string* Lookup(const XmlElemM& element, const std::string& name);
// Removes that attribute; whether there was one.
bool RemoveFirst(XmlElemM& element, const std::string& name);
// Content equality, ids aside.
bool SameContent(const Elems& a, const Elems& b);
// Text of the content, for messages.
std::string Dump(const Elems& root);

// What a save over a changed file must come to: the merge with every change
// on the element it was made on; and whether the store may refuse instead,
// because another program moved what a positional change addressed.
struct XmlMergeM {
  bool mergeDefined = true;   // every positional change's element is still there
  bool conflictAllowed = false;
  Elems merged;
};
XmlMergeM MergeXml(const Elems& disk, const XmlDocM& doc, IdSource& ids);

struct XmlStoreM {
  std::shared_ptr<XmlDocM> doc;  // shared by copies; null before an Open
  int file = -1;
};

// ---- Files and the rules of Open and WriteFile --------------------------------

struct DiskM {
  bool exists = false;
  bool blocked = false;  // a directory took the file's name; the file waits aside
  Version version = 0;
  IniDocM ini;  // in read-back form
  Elems xml;
};

// What an XML save must do: fail (no document, no file to write), write the
// store's document whole (the file is as the store last saw it), or merge.
struct XmlSavePlan {
  enum Kind { kFail, kWhole, kMerge } kind = kFail;
  XmlMergeM merge;
};

// The files and everything that gives out versions and ids. Copyable, so that
// several orders of concurrent saves can be tried on copies.
class World {
 public:
  DiskM disk[kFiles];
  IdSource ids;

  Version NewVersion() { return ++versions_; }

  // Saves first when modified (a failed save keeps the store as it was and
  // fails the Open); then reads the file, creating it empty when missing.
  bool IniOpen(IniStoreM& store, int file);
  // The rules of CKdIni::WriteFile; true when it must succeed.
  bool IniSave(IniStoreM& store);
  // A fresh store of another program: Open, then the change, then WriteFile.
  // Returns the bits the program reports: 1 opened, 2 changed, 4 saved.
  int IniOtherProgram(int file, int what, const std::string& section, const std::string& key,
                      const std::string& value);

  // A missing file is created with the default document and false returned.
  bool XmlOpen(XmlStoreM& store, int file);
  bool XmlSet(XmlStoreM& store, const Path& path, const std::string& attr,
              const std::string& value, int index);
  bool XmlAppend(XmlStoreM& store, const Path& path, const std::string& attr,
                 const std::string& value);
  bool XmlRemove(XmlStoreM& store, const Path& path);
  // RemoveAttribute: the first attribute matching attr ignoring case.
  bool XmlRemoveAttr(XmlStoreM& store, const Path& path, const std::string& attr, int index);
  // ClearAttribute: every attribute of the first element at path.
  bool XmlClearAttrs(XmlStoreM& store, const Path& path);
  XmlSavePlan XmlPlanSave(const XmlStoreM& store);
  // Makes a successful save of plan (kWhole or kMerge) happen in the model.
  void XmlSaved(XmlStoreM& store, const XmlSavePlan& plan);
  // As IniOtherProgram; what: 0 SetValue, 1 RemoveKey, 2 RemoveSection,
  // 3 Append and Set, 4 SetAttribute at index.
  int XmlOtherProgram(int file, int what, const std::string& section, const std::string& key,
                      const std::string& attr, const std::string& value, int index);

 private:
  Version versions_ = 0;
};

// The path text a store is given for path: "s" or "s\k".
std::string PathText(const Path& path);

}  // namespace store_model

#endif  // DEZOV20_TESTS_MODEL_MODEL_STATE_H
