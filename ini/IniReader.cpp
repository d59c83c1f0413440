// Reading an INI file into the store: Open and OpenAtExeDirectory.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "../include/KdIni.h"
#include "../platform/Platform.h"
#include "../text/TextUtil.h"
#include "IniLineSyntax.h"
#include "IniOwnedList.h"

namespace dezov {
namespace {

#if defined(_WIN32)
constexpr bool kNewFileCrLf = true;
#else
constexpr bool kNewFileCrLf = false;
#endif

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Hands out the lines of a file one at a time, reading it in blocks, so that
// reading never holds more than a block and the longest line.
class FileLines {
 public:
  explicit FileLines(std::FILE* file) : file_(file), buffer_(kBlockSize) {}

  // Reads the first block and steps over a UTF-8 byte-order mark.
  void Start() {
    Fill();
    static const char kMark[] = "\xEF\xBB\xBF";
    hasByteOrderMark_ = end_ >= 3 && std::memcmp(buffer_.data(), kMark, 3) == 0;
    if (hasByteOrderMark_) start_ = searched_ = 3;
  }

  // The next line without its line end (a CR before the LF included); false
  // at the end of the file and after a read error. The text stays valid
  // until the next call.
  bool Next(std::string_view& line) {
    for (;;) {
      if (failed_) return false;
      const char* begin = buffer_.data() + start_;
      const void* lineFeed = std::memchr(buffer_.data() + searched_, '\n', end_ - searched_);
      if (lineFeed != nullptr) {
        const char* end = static_cast<const char*>(lineFeed);
        const bool crLf = end > begin && end[-1] == '\r';
        if (!sawLineEnd_) crLfLines_ = crLf;
        sawLineEnd_ = true;
        line = std::string_view(begin, static_cast<std::size_t>(end - begin) - (crLf ? 1 : 0));
        start_ = searched_ = static_cast<std::size_t>(end - buffer_.data()) + 1;
        return true;
      }
      searched_ = end_;
      if (atEnd_) {
        if (start_ == end_) return false;
        line = std::string_view(begin, end_ - start_);  // the last line has no line end
        start_ = end_;
        return true;
      }
      Fill();
    }
  }

  bool failed() const { return failed_; }
  bool hasByteOrderMark() const { return hasByteOrderMark_; }
  bool sawLineEnd() const { return sawLineEnd_; }
  bool crLfLines() const { return crLfLines_; }

 private:
  static constexpr std::size_t kBlockSize = 64 * 1024;

  // Keeps the unread bytes at the front and reads as many more as fit.
  void Fill() {
    const std::size_t kept = end_ - start_;
    if (start_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + start_, kept);
      searched_ -= start_;
      start_ = 0;
      end_ = kept;
    }
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // a long line
    const std::size_t wanted = buffer_.size() - end_;
    const std::size_t got = std::fread(buffer_.data() + end_, 1, wanted, file_);
    end_ += got;
    if (got < wanted) {
      atEnd_ = true;
      failed_ = std::ferror(file_) != 0;
    }
  }

  std::FILE* file_;
  std::vector<char> buffer_;
  std::size_t start_ = 0;     // first byte of the next line
  std::size_t searched_ = 0;  // no line feed between start_ and here
  std::size_t end_ = 0;       // end of the bytes read
  bool atEnd_ = false;
  bool failed_ = false;
  bool hasByteOrderMark_ = false;
  bool sawLineEnd_ = false;
  bool crLfLines_ = false;
};

// Builds sections, keys, attached lines and tail lines from the file's lines.
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
      const bool exposesMark = firstLine && trimmed.substr(0, 3) == "\xEF\xBB\xBF" &&
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

// Reads every line into sections and tail; false on a read error or when the
// file does not fit in memory (the lists may then hold part of it).
bool ReadModel(FileLines& lines, std::vector<CKdIni::CIniSection*>& sections,
               std::vector<std::string>& tail) {
  try {
    ModelBuilder builder(sections, tail);
    lines.Start();
    std::string_view line;
    while (lines.Next(line)) builder.Add(line);
    if (lines.failed()) return false;
    builder.Finish();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace
}  // namespace dezov

bool CKdIni::Open(const char* name) {
  WriteFile();
  ResetContent();
  // Nothing is written over a file unless it was read whole; pending changes
  // were saved above or cannot be saved any more.
  strFileName.clear();
  bModified = false;
  bCrLfLines = dezov::kNewFileCrLf;
  bByteOrderMark = false;
  if (name == nullptr || *name == '\0') return false;

  dezov::FilePtr file(std::fopen(name, "rb"));
  if (!file) {
    if (!dezov::platform::CreateEmptyFile(name)) return false;
    file.reset(std::fopen(name, "rb"));
    if (!file) return false;
  }
  dezov::FileLines lines(file.get());
  if (!dezov::ReadModel(lines, vecSections, vecTailLines)) {
    ResetContent();
    return false;
  }
  if (lines.sawLineEnd()) bCrLfLines = lines.crLfLines();
  bByteOrderMark = lines.hasByteOrderMark();
  strFileName = name;  // also for an empty or new file, so that it can be saved
  return true;
}

bool CKdIni::OpenAtExeDirectory(const char* name) {
  std::string directory;
  if (!dezov::platform::CurrentDirectory(directory)) return Open(nullptr);
  const std::string path = dezov::platform::JoinDirectory(directory, dezov::OrEmpty(name));
  return Open(path.c_str());
}
