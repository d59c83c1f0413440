#include "IniParser.h"

#include <cstring>
#include <memory>
#include <new>

#include "IniLineSyntax.h"
#include "IniOwnedList.h"

namespace dezov {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Hands out the lines of a text one at a time, without their line ends (a CR
// before the LF included). A line end at the very end starts no further line.
class TextLines {
 public:
  explicit TextLines(std::string_view text) : text_(text) {}

  bool Next(std::string_view& line) {
    if (next_ >= text_.size()) return false;
    const char* begin = text_.data() + next_;
    const void* lineFeed = std::memchr(begin, '\n', text_.size() - next_);
    if (lineFeed == nullptr) {
      line = text_.substr(next_);  // the last line has no line end
      next_ = text_.size();
      return true;
    }
    const char* end = static_cast<const char*>(lineFeed);
    const bool crLf = end > begin && end[-1] == '\r';
    if (!sawLineEnd_) crLfLines_ = crLf;
    sawLineEnd_ = true;
    line = std::string_view(begin, static_cast<std::size_t>(end - begin) - (crLf ? 1 : 0));
    next_ = static_cast<std::size_t>(end - text_.data()) + 1;
    return true;
  }

  bool sawLineEnd() const { return sawLineEnd_; }
  bool crLfLines() const { return crLfLines_; }

 private:
  std::string_view text_;
  std::size_t next_ = 0;
  bool sawLineEnd_ = false;
  bool crLfLines_ = false;
};

// Builds sections, keys, attached lines and tail lines from the lines.
class ModelBuilder {
 public:
  ModelBuilder(std::vector<CKdIni::CIniSection*>& sections, std::vector<std::string>& tail)
      : sections_(sections), tail_(tail) {}

  void Add(std::string_view raw) {
    const std::string_view trimmed = TrimIniSpace(raw);
    const bool firstLine = first_line_;
    first_line_ = false;
    if (IsBlankOrComment(trimmed)) {
      pending_.emplace_back(raw);
    } else if (IsSectionHeader(trimmed)) {
      AddSection(raw, SectionNameOf(trimmed));
    } else if (current_ == nullptr) {
      // Text before the first section is kept trimmed; but trimming the
      // file's first line must not bring byte-order-mark bytes to the front,
      // where the next read would take them for a mark.
      const bool exposesMark = firstLine && trimmed.substr(0, 3) == kByteOrderMark &&
                               trimmed.data() != raw.data();
      pending_.emplace_back(exposesMark ? raw.substr(0, trimmed.data() + trimmed.size() - raw.data())
                                        : trimmed);
    } else {
      AddKey(raw, SplitKeyLine(trimmed));
    }
  }

  // The lines after the last header or key line become the tail lines.
  void Finish() { tail_ = std::move(pending_); }

 private:
  // Texts are built at their exact size (assigning to an empty string would
  // round its capacity up, which costs much memory over a large file).
  void AddSection(std::string_view raw, std::string_view name) {
    auto section = std::make_unique<CKdIni::CIniSection>();
    section->strLine = std::string(raw);
    section->strName = std::string(name);
    section->vecComments.swap(pending_);
    current_ = AppendOwned(sections_, std::move(section));
  }

  void AddKey(std::string_view raw, const KeyLineParts& parts) {
    auto key = std::make_unique<CKdIni::CIniKey>();
    key->strLine = std::string(raw);
    key->strName = std::string(parts.name);
    key->strValue = std::string(parts.value);
    key->strComment = std::string(parts.comment);
    key->vecComments.swap(pending_);
    AppendOwned(current_->vecKeys, std::move(key));
  }

  std::vector<CKdIni::CIniSection*>& sections_;
  std::vector<std::string>& tail_;
  std::vector<std::string> pending_;  // lines waiting for a header or key
  CKdIni::CIniSection* current_ = nullptr;
  bool first_line_ = true;
};

}  // namespace

bool ParseIni(std::string_view bytes, std::vector<CKdIni::CIniSection*>& sections,
              std::vector<std::string>& tail, IniLayout& layout) {
  layout = IniLayout();
  layout.byteOrderMark = bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark;
  if (layout.byteOrderMark) bytes.remove_prefix(kByteOrderMark.size());
  TextLines lines(bytes);
  try {
    ModelBuilder builder(sections, tail);
    std::string_view line;
    while (lines.Next(line)) builder.Add(line);
    builder.Finish();
  } catch (const std::bad_alloc&) {
    return false;
  }
  layout.sawLineEnd = lines.sawLineEnd();
  layout.crLfLines = lines.crLfLines();
  return true;
}

}  // namespace dezov
