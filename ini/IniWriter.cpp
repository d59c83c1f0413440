// Writing the store back: the whole file is put together in memory, then
// replaces the old file in one atomic step, so a failure never costs it.
#include <string_view>

#include "../include/KdIni.h"
#include "../platform/Platform.h"
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
      sink.Put("[");
      sink.Put(section->strName);
      PutLine(sink, lineEnd, "]");
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
      sink.Put(key->strName);
      sink.Put("=");
      sink.Put(key->strValue);
      const std::string& last = key->strComment.empty() ? key->strValue : key->strComment;
      if (!key->strComment.empty()) {
        sink.Put(" //");
        sink.Put(key->strComment);
      }
      sink.KeySet(key, begin, sink.Position());
      EndLine(sink, lineEnd, last.empty() ? '=' : last.back());
    }
  }
  putLines(ini.vecTailLines);
}

}  // namespace
}  // namespace dezov

bool CKdIni::WriteFile() {
  if (!bModified) return false;
  dezov::IniStoreState& state = _State();
  if (strFileName.empty()) {
    state.lastError = "the store has no file name";
    return false;
  }
  const std::string_view lineEnd = bCrLfLines ? "\r\n" : "\n";
  const std::string_view mark = "\xEF\xBB\xBF";

  dezov::ByteCounter counter;
  dezov::EmitLines(*this, lineEnd, counter);
  const bool putMark = bByteOrderMark && counter.Position() > 0;  // an empty store stays empty
  std::string text;
  text.reserve(counter.Position() + (putMark ? mark.size() : 0));
  if (putMark) text.append(mark.data(), mark.size());
  std::vector<dezov::SetKeyLine> setLines;
  dezov::TextBuilder builder(text, setLines);
  dezov::EmitLines(*this, lineEnd, builder);

  const dezov::Status written = dezov::platform::ReplaceFileContents(strFileName, text);
  if (!written.ok()) {
    state.lastError = written.message();
    return false;
  }
  state.lastError.clear();
  // Only now is the new form of the set keys on disk: later writes repeat it.
  for (const dezov::SetKeyLine& set : setLines) {
    set.key->strLine.assign(text, set.begin, set.end - set.begin);
    set.key->bModified = false;
  }
  bModified = false;
  return true;
}
