// SPDX-License-Identifier: MIT
// CXmlIni: an XML configuration file held in memory, used through sections and
// keys, element paths, a record cursor and attributes.
//
// The file is an XML document under the root element "vornini". A section is an
// element child of the root, a key an element child of a section, and a key's
// value is its attribute "Value". Element paths are backslash-separated element
// names below the root; names match ignoring the case of A-Z, equal lengths
// only. Narrow strings crossing this interface are GBK (code page 936).
// Changes stay in memory until WriteFile.
//
// Threads: any number of threads may make, open, use and destroy their own
// stores at once. Copies of a store share its document: they may be read on
// several threads at once, but a change through any of them (SetValue, Set,
// Append, Remove..., attribute changes) needs every copy sharing that document
// to be left alone meanwhile. The XML library is started once per process, on
// the first store, and stopped when DeZov20 is unloaded or the process ends;
// a host may start and stop it itself as well.
//
// Locale: on Windows each construction sets the process locale to
// "chinese-simplified", as hosts there expect; elsewhere the process locale
// is never changed (no string of the store depends on it).
//
// Names the XML library refuses: SetValue, SetAttribute, Append and Set throw
// xercesc::DOMException (code INVALID_CHARACTER_ERR; declared in
// <xercesc/dom/DOMException.hpp>, catch it by const reference) when an element
// they would create, or the attribute they set, has a name that is no XML name
// (empty, or beginning with a digit, for example). Nothing is changed then.
// The exception's message stays readable after the XML library stopped.
// Nothing else of the store throws, short of running out of memory.
#ifndef DEZOV20_XML_INI_H
#define DEZOV20_XML_INI_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DeZov20Export.h"

namespace dezov {

class XmlDocument;      // one parsed document with its lookup index
class XmlChangeLog;     // a document's changes since it agreed with its file
class Status;
class NodeHandleTable;  // the node handles a store and its copies gave out
class XmlElementLines;  // where a store's elements stood in its file

// Where the record cursor last handed out a record, so that reading records
// 0..n-1 in order walks the list once.
struct RecordPosition {
  const void* node = nullptr;
  int index = -1;
  std::uint64_t generation = 0;
};

}  // namespace dezov

class DEZOV20_API CXmlIni {
 public:
  // An empty store; starts the XML library if this is the process's first.
  CXmlIni();
  // Makes a store that shares the source's document (its unsaved changes
  // included), file name, error text, cursor and node handles: a change through
  // either is seen by both, and either one's WriteFile writes both's changes.
  CXmlIni(const CXmlIni& other);
  // As the copy constructor, replacing what this store held (both stay usable).
  CXmlIni& operator=(const CXmlIni& other);
  // Frees the document when no copy uses it; never writes the file.
  virtual ~CXmlIni();

  // ---- Files -------------------------------------------------------------
  // Loads fileName (a text, or a string id 1..65535); a missing file is created
  // with the default document and false is returned (no error text; "open xml
  // file error: FILE: REASON" when it cannot be created). False keeps the old
  // state. Success drops this store's unsaved changes (copies still sharing the
  // earlier document keep it and them), resets the record cursor, and frees the
  // earlier document unless a copy still uses it; node handles into a freed
  // document find nothing.
  bool Open(const char* fileName);
  // Loads the document held in data[0..size) as Open loads a file's bytes (no
  // default document is made; bytes that do not parse or lack the root give
  // false with the reason and keep the old state). Afterwards the store has no
  // file: GetFileName() is "" and WriteFile() fails.
  bool OpenBuffer(const char* data, std::size_t size);
  // Open of the current directory joined with fileName; "cannot read the
  // current directory: REASON" when there is none.
  bool OpenAtExeDirectory(const char* fileName);
  // Name of the loaded file as resolved by the last successful open.
  std::string GetFileName();
  // Text of the last error, naming the file or element path and the cause.
  // Open, WriteFile, GetSections and every operation taking a non-empty path
  // clear it first; those that change something or list set it when they
  // return false ("SetValue Fail ( S\K[1]: no such element ... )"), while
  // the lookups (GetValue, GetAttribute, HaveNode, HaveKey, HaveAttribute)
  // answer without one. Set, Get and the node-handle functions leave it as it
  // was, except that Set refusing its text says so.
  std::string GetLastErrMsg();
  // Does nothing: kept for callers that call it.
  void ResetContent();
  // Writes the whole document over its file atomically, holding a lock that
  // every save of this library takes (other processes included). When the
  // file changed on disk since this store read or last wrote it, the save
  // reads it again and applies this store's changes since then on top, and
  // the file's other changes survive:
  //  - changes by path at index 0 (SetValue, SetAttribute, RemoveAttribute,
  //    ClearAttribute, RemoveSection, RemoveKey) apply to the first element at
  //    their path, creating what SetValue created: this store's value wins
  //    where both changed the same key or attribute;
  //  - changes made on one element (SetValue, SetAttribute, RemoveAttribute
  //    with an index above 0; Set on the cursor's element; the element Append
  //    adds to) apply to that element, found again by what it held when the
  //    change was made: level by level from the root, its name, its exact
  //    attributes, its place among same-named siblings and what it holds.
  //    Where it is gone, changed on disk, or cannot be told from others, the
  //    save fails with "conflict: PATH changed on disk since it was read
  //    (...)" and writes nothing.
  // Afterwards the store holds that merged document with its record cursor
  // reset (copies keep the document they had). A removed file is written anew
  // from the store. False and an error text on failure (a lock held by another
  // save for over 10 s: "locked"; a store opened from memory: "no file to
  // write"), with the file left as it was and the store's changes kept for a
  // later save. Never throws.
  bool WriteFile();

  // ---- Section and key values -------------------------------------------
  // Value of the index-th key element named key in the first section named
  // section; empty when absent.
  std::string GetValue(const char* section, const char* key, int index = 0);
  // As GetValue with the strings' texts.
  std::string GetValue(std::string& section, std::string& key, int index = 0);
  // As GetValue with the string's text.
  std::string GetValue(const char* section, std::string& key, int index = 0);
  // GetValue read as a decimal number (atol rules); 0 when absent.
  long GetLong(const char* section, const char* key, int index = 0);
  // Stores value in the key, creating section and key for index 0; false with
  // the reason when there is no such element (index above 0 or negative), no
  // document, the value or a name is not storable GBK text, or the key would
  // lie deeper than 1000 levels. Throws for a name that is no XML name (above).
  bool SetValue(const char* section, const char* key, const char* value, int index = 0);
  // As SetValue with the string's text.
  bool SetValue(const char* section, const char* key, std::string value, int index = 0);
  // As SetValue with the number in decimal.
  bool SetValue(const char* section, const char* key, int value, int index = 0);
  // As SetValue with the number in decimal.
  bool SetValue(const char* section, const char* key, long value, int index = 0);

  // ---- Enumeration and removal ------------------------------------------
  // Appends the name of every element child of the root; false without document.
  bool GetSections(std::vector<std::string>& sections);
  // Appends the names of the element children of the first section at the path.
  bool GetKeysInSection(const char* section, std::vector<std::string>& keys);
  // Removes every element matching the path's last component (earlier
  // components take their first match); true if any.
  bool RemoveSection(const char* section);
  // Removes every key element of that name in the first matching section.
  bool RemoveKey(const char* section, const char* key);

  // ---- Paths --------------------------------------------------------------
  // True when the index-th element at the path exists; never creates.
  bool HaveNode(const char* path, int index = 0);
  // True when the index-th key element named key exists in the first section
  // named section (the path GetValue reads); never creates. An empty key names
  // no key element: false.
  bool HaveKey(const char* section, const char* key, int index = 0);

  // ---- Record cursor ----------------------------------------------------
  // Puts the cursor on the list holding records named name at path.
  bool Locate(const char* path, const char* name);
  // Appends a new element at path (earlier components take their first match,
  // missing ones are made) and makes it the cursor element.
  bool Append(const char* path);
  // Sets an attribute of the cursor element (exact-case name).
  bool Set(const char* name, const char* value);
  // As Set with the number in decimal.
  bool Set(const char* name, long value);
  // As Set with the number in decimal.
  bool Set(const char* name, int value);
  // As Set with the number in fixed notation with six decimals.
  bool Set(const char* name, double value);
  // Attribute of the index-th record under the cursor; empty when absent.
  std::string Get(const char* name, int index);
  // Get read as a decimal number (atol rules).
  long GetLong(const char* name, int index);
  // Get read as a floating-point number (atof rules, '.' decimal point).
  double GetDouble(const char* name, int index);
  // Get read as true/false (any case) or as a number greater than 0.
  bool GetBool(const char* name, int index);

  // ---- Attributes by path -------------------------------------------------
  // Attribute of the index-th element at path; empty when absent.
  std::string GetAttribute(const char* path, const char* attribute, int index = 0);
  // Sets an attribute (exact-case name), creating the element for index 0;
  // false with the reason as SetValue.
  bool SetAttribute(const char* path, const char* attribute, const char* value, int index = 0);
  // Removes the first attribute of that name (every attribute for "").
  bool RemoveAttribute(const char* path, const char* attribute, int index = 0);
  // True when the element has an attribute of that name.
  bool HaveAttribute(const char* path, const char* attribute, int index = 0);
  // Removes every attribute of the first element at path; false when absent.
  bool ClearAttribute(const char* path);

  // ---- Node handles -----------------------------------------------------
  // Number of records under the cursor.
  long GetCount();
  // Handle of the index-th record under the cursor; 0 when absent.
  long GetNodeByIndex(int index);
  // Handle of the first element child of node named name; 0 when absent.
  long GetChildNode(long node, const char* name);
  // Attribute of the element behind a handle; empty when absent.
  std::string GetAttribute(long node, const char* attribute);

 private:
  friend class dezov::XmlElementLines;
  bool OpenResolvedName(const char* fileName);
  // Parses bytes (of the file name, or of memory for "") and on success makes
  // the result the store's document with name as its file name.
  bool OpenBytes(std::string bytes, const std::string& name);
  // The path's components and the document to resolve them in; null when
  // there is none. An empty path keeps the error text; any other clears it.
  dezov::XmlDocument* DocumentForPath(const char* path, std::vector<std::string>& components);
  void* FindElement(const char* path, int index, bool create);
  std::string AttributeAt(const char* path, const char* attribute, int index);
  bool SetAttributeAt(const char* path, const char* attribute, const char* value, int index,
                      const char* operation);
  // Sets the error text "<operation> Fail ( <reason> )"; false.
  bool Refuse(const char* operation, const std::string& reason);
  // The file's current bytes with this store's logged changes applied on top.
  dezov::Status MergeWithDisk(const std::string& bytes,
                              std::shared_ptr<dezov::XmlDocument>& merged);
  // Runs the logged operations again, in order, on this store's document;
  // stops at the first change whose element cannot be found again.
  dezov::Status ApplyChanges(const dezov::XmlChangeLog& log);
  // Forgets the record cursor (its element belongs to a document being left).
  void ResetCursor();

  std::string strFileName;
  std::string strLastErrMsg;
  std::shared_ptr<dezov::XmlDocument> pXMLDoc;           // shared by copies
  std::shared_ptr<dezov::NodeHandleTable> nodeHandles;  // shared by copies
  void* pCurNode;                                       // cursor element, in pXMLDoc
  std::int32_t nCurCount;
  std::string strCurName;
  dezov::RecordPosition lastRecord;
};

#endif  // DEZOV20_XML_INI_H
