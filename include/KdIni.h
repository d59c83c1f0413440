// SPDX-License-Identifier: MIT
// CKdIni: a classic INI text file held in memory, keeping every comment and
// blank line and the exact text of every unchanged line, so that writing it
// back reproduces the file except for what was changed.
//
// Section and key names match ignoring the case of A-Z; the first match wins.
// A modified store saves itself in Open and in its destructor. A store is used
// by one thread at a time.
//
// Saves lose no other program's change. A save holds the file's save lock
// from its check of the file to its replace. When the file is still the one
// the store read (or last wrote), the store is written whole. When another
// program changed or replaced it since, the store reads it again and makes its
// own changes on that content: first the sections and keys it removed (and an
// emptying by ResetContent), then every key whose bModified is set, as
// SetValue of its current value; where both changed a key, the store wins, and
// every other line of the file stays byte for byte. After the save the store
// holds what it wrote. A removed file is written anew from the store.
//
// Editing the public members directly: a key edited in place and marked with
// its bModified (and the store's) reaches a changed file like a SetValue.
// Other direct edits (names, lines and comments changed, sections or keys
// added or erased in the lists without the member functions) are written only
// when the file is unchanged on disk; over a changed file they give way to
// its content. A store whose strFileName was set to a file it did not read
// writes that file whole.
#ifndef DEZOV20_KD_INI_H
#define DEZOV20_KD_INI_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "DeZov20Export.h"

namespace dezov {
class IniNameIndex;    // case-folded name lookup over the sections and keys
class IniStoreState;   // that index and file bookkeeping, internal
class IniStoreAccess;  // the library's internal access to that state
}  // namespace dezov

class DEZOV20_API CKdIni {
 public:
  // One key line with the comment and blank lines above it.
  class DEZOV20_API CIniKey {
   public:
    // An empty, unmodified key.
    CIniKey();
    // Copies every member, the modified flag included.
    CIniKey(const CIniKey& other);
    // Copies every member, the modified flag included.
    CIniKey& operator=(const CIniKey& other);
    // Releases the texts.
    ~CIniKey();

    std::string strName;                   // name before the first "=", trimmed
    std::string strValue;                  // value, trimmed, without comment
    std::string strComment;                // text after a trailing "//"
    std::string strLine;                   // the line as read (or last written)
    std::vector<std::string> vecComments;  // lines attached above the key
    bool bModified;                        // set since last written
  };

  // One section header with its keys and the lines above the header.
  class DEZOV20_API CIniSection {
   public:
    // An empty section.
    CIniSection();
    // Deep copy: the copy owns copies of the keys.
    CIniSection(const CIniSection& other);
    // Deep copy: the copy owns copies of the keys.
    CIniSection& operator=(const CIniSection& other);
    // Deletes the keys.
    virtual ~CIniSection();

    std::vector<std::string> vecComments;  // lines attached above the header
    std::string strName;                   // name between "[" and "]", trimmed
    std::string strLine;                   // the header as read; empty if new
    std::vector<CIniKey*> vecKeys;         // owned keys, in file order
  };

  // An empty store that knows no file.
  CKdIni();
  // Deep copy of the content, file name and modified flag.
  CKdIni(const CKdIni& other);
  // Deep copy of the content, file name and modified flag.
  CKdIni& operator=(const CKdIni& other);
  // Saves a modified store to its file, then releases everything.
  virtual ~CKdIni();

  // Saves a modified store, then reads name (created empty when missing);
  // false when the file can be neither read nor created (the store is then
  // empty and has no file name), or when the save failed: then nothing is
  // read and the store keeps its file name, content and changes. A modified
  // store without a file name has nowhere to save, and its changes are dropped.
  bool Open(const char* name);
  // Saves a modified store as Open does, then reads the INI text
  // data[0, size) as Open reads a file; afterwards the store has no file name.
  bool OpenBuffer(const char* data, std::size_t size);
  // Open of the current directory joined with name; false, the store
  // untouched, when the current directory cannot be read.
  bool OpenAtExeDirectory(const char* name);
  // Writes a modified store over its file atomically, merged with changes
  // made on disk since it was read (see above); false when there is no file
  // name, the save lock stayed taken for 10 s, or the write failed (the old
  // file is kept, the store stays modified). Also false for a store with
  // nothing to write, with an empty GetLastErrMsg: that is no failure.
  bool WriteFile();
  // Deletes every section and tail line; keeps the file name and flag.
  void ResetContent();
  // Why the last refused operation failed, naming the file (or section and
  // key) and the cause, with the system's reason for I/O. Open, OpenBuffer,
  // OpenAtExeDirectory, WriteFile, SetValue, RemoveKey and RemoveSection
  // clear it when they start; lookups leave it as it was.
  std::string GetLastErrMsg();

  // Value of the first matching key, or defaultText when absent.
  std::string GetValue(const char* section, const char* key, const char* defaultText = "");
  // The value read as a decimal number (atol rules); 0 when absent.
  long GetLong(const char* section, const char* key);
  // Field index (from 0) of the value split at delimiter; empty when absent.
  std::string GetSubValue(const char* section, const char* key, int index, char delimiter);
  // Sets the value without its outer white space (which the reader trims),
  // creating section and key at the end when missing. What it accepts, a
  // later Open of the written file reads back identically: false (nothing
  // changed, the reason in GetLastErrMsg) for a name with a line break, outer
  // white space, "]" in a section or "=" in a key, a key name that reads as a
  // comment or header line, and a value with "//" after its first character
  // (the start of a trailing comment in this format; "//share" is a value).
  bool SetValue(const char* section, const char* key, const char* value);
  // Removes the first matching key, and its section when that was the last
  // key; false with the reason when there is none.
  bool RemoveKey(const char* section, const char* key);
  // Removes the first matching section with all its keys; false with the
  // reason when there is none.
  bool RemoveSection(const char* section);
  // True when the first matching section has a key named key (never creates).
  bool HaveKey(const char* section, const char* key);
  // Appends every section name, in order, to sections.
  bool GetSections(std::vector<std::string>& sections);
  // Replaces keys with the key names of the first matching section; false
  // (and an empty list) when there is no such section.
  bool GetKeysInSection(const char* section, std::vector<std::string>& keys);

  std::vector<CIniSection*> vecSections;  // owned sections, in file order
  std::vector<std::string> vecTailLines;  // lines after the last key or header
  std::string strFileName;                // file read by Open; empty if none
  bool bModified;                         // changes not yet written

 private:
  // Positions of the first section named section (or key named key in the
  // section at sectionPos); -1 when absent. Same results as a scan in order.
  long _FindSection(const char* section);
  long _FindKey(std::size_t sectionPos, const char* key);
  // The private state, made on first use, and its lookup index.
  dezov::IniStoreState& _State();
  dezov::IniNameIndex& _Index();
  friend class dezov::IniStoreAccess;

  // Holds the name index, built on demand from the lists above: it follows
  // every change made through the member functions, and rebuilds itself when
  // a list's length or order changed behind its back (a name changed in place
  // is not noticed). Also the reason of the last refusal.
  std::unique_ptr<dezov::IniStoreState> pState;
  bool bCrLfLines;     // lines end in CR LF in the file (else LF)
  bool bByteOrderMark; // the file starts with a UTF-8 byte-order mark
};

#endif  // DEZOV20_KD_INI_H
