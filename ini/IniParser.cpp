// SPDX-License-Identifier: MIT
#include "IniParser.h"

#include <cstring>
#include <memory>
#include <new>

#include "IniLineSyntax.h"
#include "IniOwnedList.h"

namespace dezov {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

// Builds sections, keys, attached lines and tail lines from the lines.
class IniTextParser::ModelBuilder {
 public:
  ModelBuilder(std::vector<CKdIni::CIniSection*>& sections, std::vector<std::string>& tail)
      : sections_(sections), tail_(tail) {}

  void Add(std::string_view raw) {
    const std::string_view trimmed = TrimIniSpace(raw);
    const bool firstLine = first_line_;
    first_line_ = false;
    const IniLineKind kind = KindOfLine(trimmed);
    if (kind == IniLineKind::kBlankOrComment) {
      pending_.emplace_back(raw);
    } else if (kind == IniLineKind::kSectionHeader) {
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

IniTextParser::IniTextParser(std::vector<CKdIni::CIniSection*>& sections,
                             std::vector<std::string>& tail)
    : builder_(std::make_unique<ModelBuilder>(sections, tail)) {}

IniTextParser::~IniTextParser() = default;

void IniTextParser::Feed(std::string_view piece) {
  while (!piece.empty()) {
    const void* lineFeed = std::memchr(piece.data(), '\n', piece.size());
    if (lineFeed == nullptr) {
      partial_.append(piece);
      return;
    }
    const auto length = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - piece.data());
    std::string_view line = piece.substr(0, length);
    if (!partial_.empty()) {
      partial_.append(line);
      line = partial_;
    }
    const bool crLf = !line.empty() && line.back() == '\r';
    if (!layout_.sawLineEnd) layout_.crLfLines = crLf;
    layout_.sawLineEnd = true;
    AddLine(crLf ? line.substr(0, line.size() - 1) : line);
    partial_.clear();
    piece.remove_prefix(length + 1);
  }
}

IniLayout IniTextParser::Finish() {
  // A line end at the very end starts no further line, and neither does a
  // byte-order mark alone.
  if (first_line_ && partial_ == kByteOrderMark) {
    layout_.byteOrderMark = true;
  } else if (!partial_.empty()) {
    AddLine(partial_);
  }
  partial_.clear();
  builder_->Finish();
  return layout_;
}

void IniTextParser::AddLine(std::string_view line) {
  if (first_line_) {
    first_line_ = false;
    layout_.byteOrderMark = line.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    if (layout_.byteOrderMark) line.remove_prefix(kByteOrderMark.size());
  }
  builder_->Add(line);
}

bool ParseIni(std::string_view bytes, std::vector<CKdIni::CIniSection*>& sections,
              std::vector<std::string>& tail, IniLayout& layout) {
  try {
    IniTextParser parser(sections, tail);
    parser.Feed(bytes);
    layout = parser.Finish();
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace dezov
