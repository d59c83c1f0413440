// SPDX-License-Identifier: MIT
// Writing the store back: the whole file is put together in memory, then
// replaces the old file in one atomic step under the save lock, so a failure
// never costs it. When another program changed the file since the store read
// it, the store's own changes are made on the file's current content.
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "../include/KdIni.h"
#include "../platform/Platform.h"
#include "../platform/SaveProtocol.h"
#include "IniLineSyntax.h"
#include "IniParser.h"
#include "IniStoreState.h"

namespace dezov {
namespace {

// Where WriteFile put the new line of a key that was set.
struct SetKeyLine {
  CKdIni::CIniKey* key;
  std::size_t begin;
  std::size_t end;
};

// Counts the bytes of the output, so that the text is allocated once.
class ByteCounter {
 public:
  void Put(std::string_view text) { size_ += text.size(); }
  std::size_t Position() const { return size_; }
  void KeySet(CKdIni::CIniKey*, std::size_t, std::size_t) {}

 private:
  std::size_t size_ = 0;
};

// Appends the output to a text and notes where set keys' lines went.
class TextBuilder {
 public:
  TextBuilder(std::string& text, std::vector<SetKeyLine>& setLines)
      : text_(text), setLines_(setLines) {}
  void Put(std::string_view text) { text_.append(text.data(), text.size()); }
  std::size_t Position() const { return text_.size(); }
  void KeySet(CKdIni::CIniKey* key, std::size_t begin, std::size_t end) {
    setLines_.push_back({key, begin, end});
  }

 private:
  std::string& text_;
  std::vector<SetKeyLine>& setLines_;
};

// Ends a line whose last byte is last. A line that itself ends in a carriage
// return gets CR LF even in an LF file: the reader takes one CR before the LF
// as part of the line end, and so gets the line back whole.
template <class Sink>
void EndLine(Sink& sink, std::string_view lineEnd, char last) {
  sink.Put(last == '\r' ? std::string_view("\r\n") : lineEnd);
}

template <class Sink>
void PutLine(Sink& sink, std::string_view lineEnd, std::string_view line) {
  sink.Put(line);
  EndLine(sink, lineEnd, line.empty() ? '\0' : line.back());
}

// The file's lines in order: each section's attached lines and header, each
// key's attached lines and line, then the tail lines. A key that was set gets
// the fixed form name=value, or name=value //comment.
template <class Sink>
void EmitLines(const CKdIni& ini, std::string_view lineEnd, Sink& sink) {
  auto putLines = [&](const std::vector<std::string>& lines) {
    for (const std::string& line : lines) PutLine(sink, lineEnd, line);
  };
  for (CKdIni::CIniSection* section : ini.vecSections) {
    putLines(section->vecComments);
    if (section->strLine.empty()) {
      PutSectionHeader(sink, section->strName);
      EndLine(sink, lineEnd, ']');
    } else {
      PutLine(sink, lineEnd, section->strLine);
    }
    for (CKdIni::CIniKey* key : section->vecKeys) {
      putLines(key->vecComments);
      if (!key->bModified) {
        PutLine(sink, lineEnd, key->strLine);
        continue;
      }
      const std::size_t begin = sink.Position();
      PutKeyLine(sink, key->strName, key->strValue, key->strComment);
      const std::string& last = key->strComment.empty() ? key->strValue : key->strComment;
      sink.KeySet(key, begin, sink.Position());
      EndLine(sink, lineEnd, last.empty() ? '=' : last.back());
    }
  }
  putLines(ini.vecTailLines);
}

// A key that was set, with the line it gets once the text is on disk.
struct WrittenKey {
  CKdIni::CIniKey* key;
  std::string line;
};

// The store's text: its lines with CR LF or LF, after a byte-order mark when
// mark is set (an empty store stays empty). written receives the set keys'
// new lines.
std::string RenderText(const CKdIni& ini, bool crLf, bool mark, std::vector<WrittenKey>& written) {
  const std::string_view lineEnd = crLf ? "\r\n" : "\n";
  const std::string_view markBytes = "\xEF\xBB\xBF";
  ByteCounter counter;
  EmitLines(ini, lineEnd, counter);
  const bool putMark = mark && counter.Position() > 0;
  std::string text;
  text.reserve(counter.Position() + (putMark ? markBytes.size() : 0));
  if (putMark) text.append(markBytes.data(), markBytes.size());
  std::vector<SetKeyLine> setLines;
  TextBuilder builder(text, setLines);
  EmitLines(ini, lineEnd, builder);
  written.clear();
  written.reserve(setLines.size());
  for (const SetKeyLine& set : setLines)
    written.push_back({set.key, text.substr(set.begin, set.end - set.begin)});
  return text;
}

// Replays the store's changes since it read its file on bytes, the file's
// current content, parsed into merged: first the removals, in order, then
// every key whose modified flag is set (by SetValue, or by a caller that
// edited the key directly), as SetValue of its current value. False when
// memory ran out.
bool MergeChanges(const CKdIni& store, const std::vector<IniRemoval>& removals,
                  std::string_view bytes, CKdIni& merged, IniLayout& layout) {
  if (!ParseIni(bytes, merged.vecSections, merged.vecTailLines, layout)) return false;
  try {
    for (const IniRemoval& removal : removals) {
      if (removal.kind == IniRemoval::kEverything)
        merged.ResetContent();
      else if (removal.kind == IniRemoval::kSection)
        merged.RemoveSection(removal.section.c_str());
      else
        merged.RemoveKey(removal.section.c_str(), removal.key.c_str());
    }
    for (const CKdIni::CIniSection* section : store.vecSections) {
      for (const CKdIni::CIniKey* key : section->vecKeys) {
        if (!key->bModified) continue;
        merged.SetValue(section->strName.c_str(), key->strName.c_str(), key->strValue.c_str());
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace
}  // namespace dezov

bool CKdIni::WriteFile() {
  if (pState) pState->lastError.clear();
  if (strFileName.empty()) {
    _State().lastError = "no file name: the store has no file to write";
    return false;
  }
  if (!bModified) return false;  // nothing to write, which is no failure
  dezov::IniStoreState& state = _State();
  // A file that another program changed since the store read it is read
  // again, and the store's changes are made on that content instead.
  const bool readThisFile = state.readPath == strFileName;
  CKdIni merged;
  bool mergedChanges = false;
  std::vector<dezov::WrittenKey> writtenKeys;
  auto render = [&](const dezov::platform::DiskState& disk, std::string& out) {
    mergedChanges = readThisFile && disk.kind == dezov::platform::DiskState::kChanged;
    if (!mergedChanges) {
      out = dezov::RenderText(*this, bCrLfLines, bByteOrderMark, writtenKeys);
      return dezov::Status::Ok();
    }
    dezov::IniLayout layout;
    merged.ResetContent();
    if (!dezov::MergeChanges(*this, state.removals, disk.bytes, merged, layout))
      return dezov::Status::IOError("'" + strFileName + "' does not fit in memory");
    merged.bModified = false;  // merged is never saved itself
    merged.bCrLfLines = layout.sawLineEnd ? layout.crLfLines : bCrLfLines;
    merged.bByteOrderMark = layout.byteOrderMark;
    out = dezov::RenderText(merged, merged.bCrLfLines, merged.bByteOrderMark, writtenKeys);
    return dezov::Status::Ok();
  };
  dezov::platform::FileStamp written;
  const dezov::Status saved =
      dezov::platform::SaveLocked(strFileName, state.readStamp, render, written);
  if (!saved.ok()) {
    state.lastError = saved.message();
    return false;
  }
  if (mergedChanges) {  // the store now holds what it wrote
    vecSections.swap(merged.vecSections);
    vecTailLines.swap(merged.vecTailLines);
    bCrLfLines = merged.bCrLfLines;
    bByteOrderMark = merged.bByteOrderMark;
    state.index.Clear();
  }
  // Only now is the new form of the set keys on disk: later writes repeat it.
  for (dezov::WrittenKey& set : writtenKeys) {
    set.key->strLine.swap(set.line);
    set.key->bModified = false;
  }
  state.lastError.clear();
  state.removals.clear();
  state.readPath = strFileName;
  state.readStamp = written;
  bModified = false;
  return true;
}
