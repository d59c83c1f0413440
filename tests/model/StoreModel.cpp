// SPDX-License-Identifier: MIT
#include "StoreModel.h"

#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <thread>

#include "ModelFiles.h"
#include "ModelState.h"
#include "include/KdIni.h"
#include "include/XmlIni.h"

namespace fs = std::filesystem;

namespace store_model {
namespace {

class Divergence : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Diverge(const std::string& category, const std::string& details) {
  throw Divergence(category + ": " + details);
}

std::string YesNo(bool value) { return value ? "true" : "false"; }

// ---- Scratch files and other processes -----------------------------------------

// A private directory, on a memory file system where there is one: every
// save syncs its file, which costs milliseconds on a disk.
class ScratchDir {
 public:
  ScratchDir() {
    std::string base = "/dev/shm";
    if (::access(base.c_str(), W_OK) != 0) base = fs::temp_directory_path().string();
    std::string pattern = base + "/dezov20-model-XXXXXX";
    if (::mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("cannot make a scratch directory");
    path_ = pattern;
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteRaw(const std::string& path, const std::string& bytes, bool inPlace) {
  const std::string target = inPlace ? path : path + ".new";
  {
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + target);
  }
  if (!inPlace) fs::rename(target, path);
}

// Child processes of one step, killed by pid and reaped however the step ends.
class Children {
 public:
  Children() = default;
  Children(const Children&) = delete;
  Children& operator=(const Children&) = delete;
  ~Children() {
    for (pid_t pid : pids_) {
      ::kill(pid, SIGKILL);
      int status = 0;
      ::waitpid(pid, &status, 0);
    }
  }
  // Runs body in a new child, which exits with body's result.
  pid_t Start(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      int code = 120;
      try {
        code = body();
      } catch (...) {
        code = 121;
      }
      ::_exit(code);
    }
    if (pid < 0) Diverge("harness", "fork failed");
    pids_.push_back(pid);
    return pid;
  }
  // The child's exit code once it ended (at most 20 s; then it is killed):
  // -1 when it did not exit by itself.
  int Wait(pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    pid_t done = 0;
    auto pause = std::chrono::microseconds(50);
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
    if (done == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    }
    pids_.erase(std::remove(pids_.begin(), pids_.end(), pid), pids_.end());
    return done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Kill(pid_t pid) { ::kill(pid, SIGKILL); }

 private:
  std::vector<pid_t> pids_;
};

// A pipe whose ends close with it.
struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() {
    if (::pipe(fd) != 0) Diverge("harness", "pipe failed");
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() {
    if (fd[0] >= 0) ::close(fd[0]);
    fd[0] = -1;
  }
  void CloseWrite() {
    if (fd[1] >= 0) ::close(fd[1]);
    fd[1] = -1;
  }
  // Reads count bytes within 10 s.
  bool Await(int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (count > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd p{fd[0], POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
      char buffer[8];
      const ssize_t got = ::read(fd[0], buffer, std::min<std::size_t>(sizeof buffer, static_cast<std::size_t>(count)));
      if (got <= 0) return false;
      count -= static_cast<int>(got);
    }
    return true;
  }
};

struct FileStat {
  bool exists = false;
  ino_t inode = 0;
  off_t size = 0;
  long long modified = 0;
  bool operator==(const FileStat& o) const {
    return exists == o.exists && inode == o.inode && size == o.size && modified == o.modified;
  }
};

FileStat StatOf(const std::string& path) {
  FileStat stat;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return stat;
  stat.exists = true;
  stat.inode = st.st_ino;
  stat.size = st.st_size;
  stat.modified = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return stat;
}

// ---- Comparing INI content ------------------------------------------------------

IniDocM FromStore(const CKdIni& store) {
  IniDocM doc;
  for (const CKdIni::CIniSection* section : store.vecSections) {
    IniSectionM s;
    s.name = section->strName;
    s.line = section->strLine;
    s.comments = section->vecComments;
    for (const CKdIni::CIniKey* key : section->vecKeys) {
      IniKeyM k;
      k.name = key->strName;
      k.value = key->strValue;
      k.comment = key->strComment;
      k.line = key->strLine;
      k.comments = key->vecComments;
      k.modified = key->bModified;
      s.keys.push_back(k);
    }
    doc.sections.push_back(s);
  }
  doc.tail = store.vecTailLines;
  return doc;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += " " + Quote(line);
  return out;
}

std::string DumpIni(const IniDocM& doc, bool flags) {
  std::string out;
  for (const IniSectionM& section : doc.sections) {
    if (!section.comments.empty()) out += "\n      ;" + Lines(section.comments);
    out += "\n      [" + Quote(section.name) + "] line " + Quote(section.line);
    for (const IniKeyM& key : section.keys) {
      if (!key.comments.empty()) out += "\n        ;" + Lines(key.comments);
      out += "\n        " + Quote(key.name) + "=" + Quote(key.value);
      if (!key.comment.empty()) out += " //" + Quote(key.comment);
      out += " line " + Quote(key.line);
      if (flags && key.modified) out += " (modified)";
    }
  }
  if (!doc.tail.empty()) out += "\n      tail:" + Lines(doc.tail);
  return out.empty() ? " (empty)" : out;
}

bool SameIni(const IniDocM& a, const IniDocM& b, bool flags) {
  if (a.sections.size() != b.sections.size() || a.tail != b.tail) return false;
  for (std::size_t s = 0; s < a.sections.size(); ++s) {
    const IniSectionM& x = a.sections[s];
    const IniSectionM& y = b.sections[s];
    if (x.name != y.name || x.line != y.line || x.comments != y.comments || x.keys.size() != y.keys.size())
      return false;
    for (std::size_t k = 0; k < x.keys.size(); ++k) {
      const IniKeyM& p = x.keys[k];
      const IniKeyM& q = y.keys[k];
      if (p.name != q.name || p.value != q.value || p.comment != q.comment || p.line != q.line ||
          p.comments != q.comments || (flags && p.modified != q.modified))
        return false;
    }
  }
  return true;
}

// Every letter's case turned: still the same name to every lookup.
std::string Flip(std::string name) {
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

std::string Names(const std::vector<std::string>& names) {
  std::string out = "{";
  for (const std::string& name : names) out += " " + Quote(name);
  return out + " }";
}

const char* const kQueryAttrs[] = {"Value", "VALUE", "id", "ID"};

// ---- The runner -----------------------------------------------------------------

class Runner {
 public:
  Runner(StoreKind kind, const RunOptions& options) : kind_(kind), options_(options) {
    const std::string ext = ini() ? ".ini" : ".xml";
    for (int f = 0; f < kFiles; ++f) paths_[f] = dir_.path() + (f == 0 ? "/one" : "/two") + ext;
    for (int s = 0; s < kSlots; ++s) {
      if (ini())
        ini_[s] = std::make_unique<CKdIni>();
      else
        xml_[s] = std::make_unique<CXmlIni>();
    }
  }

  void Apply(const Op& raw) {
    Op op = raw;
    op.store = ((op.store % kSlots) + kSlots) % kSlots;
    op.file = ((op.file % kFiles) + kFiles) % kFiles;
    if (op.attr.empty()) op.attr = "Value";  // an empty attribute name is refused by the DOM
    switch (op.kind) {
      case OpKind::kSet:
      case OpKind::kSetAttr:
      case OpKind::kAppend:
        if (ini()) return IniSet(op);
        if (op.kind == OpKind::kSet) return XmlSet(op, "Value", KeyPath(op.section, op.key));
        if (op.kind == OpKind::kSetAttr) return XmlSet(op, op.attr, KeyPath(op.section, op.key));
        return XmlAppend(op);
      case OpKind::kRemoveKey:
      case OpKind::kRemoveSection:
        return Remove(op);
      case OpKind::kRemoveAttr:
        return ini() ? Remove(op) : XmlRemoveAttr(op);
      case OpKind::kEditKey:
        return ini() ? IniEditKey(op) : XmlSet(op, "Value", KeyPath(op.section, op.key));
      case OpKind::kClear:
        return Clear(op);
      case OpKind::kReorder:
        if (ini()) IniReorder(op);
        return;
      case OpKind::kSave:
        return ini() ? IniSave(op.store) : XmlSave(op.store);
      case OpKind::kOpen:
        return Open(op);
      case OpKind::kCopy:
        return Copy(op);
      case OpKind::kOtherEdit:
        return OtherEdit(op);
      case OpKind::kRawEdit:
        return RawEdit(op);
      case OpKind::kKilledSave:
        return KilledSave(op);
      case OpKind::kConcurrentSaves:
        return ConcurrentSaves(op);
      case OpKind::kBlock:
        return Block(op.file);
      case OpKind::kUnblock:
        return Unblock(op.file);
    }
  }

  const std::map<std::string, int>& events() const { return events_; }

  // Every store and every file against the model.
  void Check() {
    for (int s = 0; s < kSlots; ++s) ini() ? CheckIniStore(s) : CheckXmlStore(s);
    for (int f = 0; f < kFiles; ++f) CheckFile(f);
  }

  // The stores go (INI stores save themselves), the files come back.
  void Finish() {
    for (int s = 0; s < kSlots; ++s) {
      if (ini()) {
        world_.IniSave(iniM_[s]);
        ini_[s].reset();
      } else {
        xml_[s].reset();
      }
    }
    for (int f = 0; f < kFiles; ++f) Unblock(f);
    for (int f = 0; f < kFiles; ++f) CheckFile(f);
  }

 private:
  bool ini() const { return kind_ == StoreKind::kIni; }
  void Note(const std::string& event) { ++events_[event]; }
  std::string Category(const char* what) const { return std::string(ini() ? "ini-" : "xml-") + what; }
  std::string FileName(int f) const { return f == 0 ? "one" : "two"; }

  // ---- Operations of the stores -------------------------------------------------

  void IniSet(const Op& op) {
    const std::string& v = op.value;
    if (options_.avoidKnownFaults && v.size() > 1 && v.find("//", 1) != std::string::npos) return;
    const bool got = ini_[op.store]->SetValue(op.section.c_str(), op.key.c_str(), v.c_str());
    const std::string call = "SetValue(" + Quote(op.section) + ", " + Quote(op.key) + ", " + Quote(v) + ")";
    if (TrimIni(v).find_first_of("\r\n") != std::string::npos) {
      if (got) Diverge("ini-set", call + " returned true for a value with a line break");
      return;
    }
    const std::string held = TrimIni(v);
    if (held.size() > 1 && held.find("//", 1) != std::string::npos) {
      if (got)
        Diverge("ini-set-cut", call + " returned true, but a key line cuts its value at that \"//\": "
                               "it reads back as " + Quote(IniReadBack(held)));
      return;
    }
    const bool outerBlank = !v.empty() && (IsIniSpace(v.front()) || IsIniSpace(v.back()));
    if (!got) {
      if (outerBlank) return;  // refusing a value that reads back trimmed is allowed too
      Diverge("ini-set", call + " returned false");
    }
    // A value with outer blanks is either refused or held trimmed, as a
    // later read gives it.
    IniStoreM& m = iniM_[op.store];
    m.doc.Set(op.section, op.key, held);
    m.modified = true;
  }

  void XmlSet(const Op& op, const std::string& attr, const Path& path) {
    if (options_.avoidKnownFaults && op.index > 0) return;
    CXmlIni& store = *xml_[op.store];
    bool got;
    std::string call;
    if (op.kind == OpKind::kSet) {
      got = store.SetValue(op.section.c_str(), op.key.c_str(), op.value.c_str(), op.index);
      call = "SetValue(" + Quote(op.section) + ", " + Quote(op.key) + ", " + Quote(op.value);
    } else {
      got = store.SetAttribute(PathText(path).c_str(), attr.c_str(), op.value.c_str(), op.index);
      call = "SetAttribute(" + Quote(PathText(path)) + ", " + Quote(attr) + ", " + Quote(op.value);
    }
    const bool want = world_.XmlSet(xmlM_[op.store], path, attr, op.value, op.index);
    if (got != want)
      Diverge("xml-set", call + ", " + std::to_string(op.index) + ") returned " + YesNo(got) +
                             " (" + store.GetLastErrMsg() + ")");
  }

  void XmlRemoveAttr(const Op& op) {
    if (options_.avoidKnownFaults && op.index > 0) return;
    const Path path = KeyPath(op.section, op.key);
    const bool got = xml_[op.store]->RemoveAttribute(PathText(path).c_str(), op.attr.c_str(), op.index);
    const bool want = world_.XmlRemoveAttr(xmlM_[op.store], path, op.attr, op.index);
    if (got != want)
      Diverge("xml-remove", "RemoveAttribute(" + Quote(PathText(path)) + ", " + Quote(op.attr) + ", " +
                                std::to_string(op.index) + ") returned " + YesNo(got));
  }

  // Two neighbours swapped in the public lists: sections, or (arg & 1) keys
  // of one section. Lookups must follow; a save over a changed file gives
  // way to the file's order.
  void IniReorder(const Op& op) {
    if (options_.avoidKnownFaults) return;
    CKdIni& store = *ini_[op.store];
    IniDocM& doc = iniM_[op.store].doc;
    const std::size_t n = static_cast<std::size_t>(op.index < 0 ? -op.index : op.index);
    if ((op.arg & 1u) == 0) {
      if (doc.sections.size() < 2) return;
      const std::size_t at = n % (doc.sections.size() - 1);
      std::swap(store.vecSections[at], store.vecSections[at + 1]);
      std::swap(doc.sections[at], doc.sections[at + 1]);
      return;
    }
    if (doc.sections.empty()) return;
    const std::size_t s = n % doc.sections.size();
    std::vector<IniKeyM>& keys = doc.sections[s].keys;
    if (keys.size() < 2) return;
    const std::size_t at = n % (keys.size() - 1);
    std::swap(store.vecSections[s]->vecKeys[at], store.vecSections[s]->vecKeys[at + 1]);
    std::swap(keys[at], keys[at + 1]);
  }

  // INI: ResetContent, which keeps the modified flag; XML: ClearAttribute.
  void Clear(const Op& op) {
    if (ini()) {
      ini_[op.store]->ResetContent();
      IniStoreM& m = iniM_[op.store];
      m.doc = IniDocM();
      m.removals.assign(1, IniRemovalM{IniRemovalM::kEverything, "", ""});
      return;
    }
    const Path path = KeyPath(op.section, op.key);
    const bool got = xml_[op.store]->ClearAttribute(PathText(path).c_str());
    const bool want = world_.XmlClearAttrs(xmlM_[op.store], path);
    if (got != want)
      Diverge("xml-remove", "ClearAttribute(" + Quote(PathText(path)) + ") returned " + YesNo(got));
  }

  // A caller edits a key's value in place and marks it, as the header allows.
  void IniEditKey(const Op& op) {
    CKdIni& store = *ini_[op.store];
    IniStoreM& m = iniM_[op.store];
    std::size_t n = static_cast<std::size_t>(op.index < 0 ? -op.index : op.index);
    for (std::size_t s = 0; s < m.doc.sections.size(); ++s) {
      for (std::size_t k = 0; k < m.doc.sections[s].keys.size(); ++k) {
        if (n-- != 0) continue;
        const std::string value = IniHoldable(op.value);
        CKdIni::CIniKey& key = *store.vecSections[s]->vecKeys[k];
        key.strValue = value;
        key.bModified = true;
        store.bModified = true;
        m.doc.sections[s].keys[k].value = value;
        m.doc.sections[s].keys[k].modified = true;
        m.modified = true;
        return;
      }
    }
  }

  void XmlAppend(const Op& op) {
    CXmlIni& store = *xml_[op.store];
    const Path path{op.section, op.key.empty() ? "k" : op.key};
    const bool appended = store.Append(PathText(path).c_str());
    const bool set = store.Set(op.attr.c_str(), op.value.c_str());
    const bool want = world_.XmlAppend(xmlM_[op.store], path, op.attr, op.value);
    if (appended != want || set != want)
      Diverge("xml-append", "Append(" + Quote(PathText(path)) + ") returned " + YesNo(appended) +
                                ", Set returned " + YesNo(set));
  }

  void Remove(const Op& op) {
    const bool key = op.kind != OpKind::kRemoveSection;
    bool got, want;
    if (ini()) {
      CKdIni& store = *ini_[op.store];
      IniStoreM& m = iniM_[op.store];
      got = key ? store.RemoveKey(op.section.c_str(), op.key.c_str()) : store.RemoveSection(op.section.c_str());
      want = key ? m.doc.RemoveKey(op.section, op.key) : m.doc.RemoveSection(op.section);
      if (want) {
        m.removals.push_back({key ? IniRemovalM::kKey : IniRemovalM::kSection, op.section, key ? op.key : ""});
        m.modified = true;
      }
    } else {
      CXmlIni& store = *xml_[op.store];
      got = key ? store.RemoveKey(op.section.c_str(), op.key.c_str()) : store.RemoveSection(op.section.c_str());
      want = world_.XmlRemove(xmlM_[op.store], key ? KeyPath(op.section, op.key) : Path{op.section});
    }
    if (got != want)
      Diverge(Category("remove"), std::string(key ? "RemoveKey(" : "RemoveSection(") + Quote(op.section) +
                                      (key ? ", " + Quote(op.key) : "") + ") returned " + YesNo(got));
  }

  void IniSave(int slot) {
    CKdIni& store = *ini_[slot];
    const IniStoreM& m = iniM_[slot];
    const bool merging = m.modified && m.file >= 0 && !world_.disk[m.file].blocked &&
                         world_.disk[m.file].exists && world_.disk[m.file].version != m.readVersion;
    const bool modified = m.modified;
    const bool got = store.WriteFile();
    const bool want = world_.IniSave(iniM_[slot]);
    if (got != want)
      Diverge("ini-save", "WriteFile returned " + YesNo(got));
    if (!modified) Note("save of an unmodified store");
    else Note(!got ? "save refused" : merging ? "save merged over another program's change" : "save");
  }

  void XmlSave(int slot) {
    CXmlIni& store = *xml_[slot];
    XmlStoreM& m = xmlM_[slot];
    const XmlSavePlan plan = world_.XmlPlanSave(m);
    const bool got = store.WriteFile();
    const std::string reason = store.GetLastErrMsg();
    if (plan.kind == XmlSavePlan::kFail) {
      if (got) Diverge("xml-save", "WriteFile returned true with no document or no file to write");
      return;
    }
    if (plan.kind == XmlSavePlan::kWhole) {
      if (!got) Diverge("xml-save", "WriteFile failed over an unchanged file: " + reason);
      Note("save");
      world_.XmlSaved(m, plan);
      return;
    }
    const XmlMergeM& merge = plan.merge;
    if (!got) {
      if (!merge.conflictAllowed)
        Diverge("xml-save", "WriteFile failed over a file another program changed, though no change "
                            "of this store conflicts: " + reason);
      if (reason.empty()) Diverge("xml-save", "WriteFile refused a conflicting save without a reason");
      Note("save refused: changes by position conflict");
      return;  // refused: the file and the store stay as they were (checked next)
    }
    if (!merge.mergeDefined)
      Diverge("xml-merge-gone", "WriteFile returned true, though an element that this store changed "
                                "by position is gone from the file; the save must refuse");
    Elems actual;
    std::string why;
    if (!ReadXml(ReadAll(paths_[m.file]), actual, why)) Diverge("xml-merge", "the saved file " + why);
    if (!SameContent(actual, merge.merged))
      Diverge(merge.conflictAllowed ? "xml-merge-position" : "xml-merge", std::string("the merged file is wrong") +
                               (merge.conflictAllowed
                                    ? " (a change made by position landed on another element than "
                                      "the one it was made on: another program moved it; the save "
                                      "must refuse)"
                                    : "") +
                               "\n    file:  " + Dump(actual) + "\n    model: " + Dump(merge.merged));
    Note("save merged over another program's change");
    world_.XmlSaved(m, plan);
  }

  void Open(const Op& op) {
    const IniStoreM& before = iniM_[op.store];
    if (options_.avoidKnownFaults && ini() && before.modified && before.file >= 0 &&
        world_.disk[before.file].blocked)
      return;
    bool got, want;
    std::string reason;
    if (ini()) {
      got = ini_[op.store]->Open(paths_[op.file].c_str());
      want = world_.IniOpen(iniM_[op.store], op.file);
    } else {
      got = xml_[op.store]->Open(paths_[op.file].c_str());
      reason = xml_[op.store]->GetLastErrMsg();
      want = world_.XmlOpen(xmlM_[op.store], op.file);
    }
    if (got != want)
      Diverge(Category("open"), "Open(" + FileName(op.file) + ") returned " + YesNo(got) + " (" + reason + ")");
  }

  void Copy(const Op& op) {
    const int from = ((op.index % kSlots) + kSlots) % kSlots;
    const bool construct = (op.arg & 1) != 0;
    if (ini()) {
      if (construct) {
        const IniStoreM copy = iniM_[from];
        auto made = std::make_unique<CKdIni>(*ini_[from]);
        ini_[op.store] = std::move(made);  // the old store saves itself as it goes
        world_.IniSave(iniM_[op.store]);
        iniM_[op.store] = copy;
      } else {
        *ini_[op.store] = *ini_[from];
        iniM_[op.store] = iniM_[from];
      }
    } else {
      if (construct)
        xml_[op.store] = std::make_unique<CXmlIni>(*xml_[from]);
      else
        *xml_[op.store] = *xml_[from];
      xmlM_[op.store] = xmlM_[from];
    }
  }

  // ---- Other programs -----------------------------------------------------------

  // The value another program's INI store is given: one it can hold.
  std::string OtherValue(const std::string& value) const { return ini() ? IniHoldable(value) : value; }

  // Another program's store: Open, one change, WriteFile; the bits as World::IniOtherProgram.
  int RealOtherProgram(int f, int what, const std::string& section, const std::string& key,
                       const std::string& attr, const std::string& value, int index) const {
    const char* path = paths_[f].c_str();
    int bits = 0;
    if (ini()) {
      CKdIni store;
      if (!store.Open(path)) return 0;
      bits = 1;
      bool changed;
      if (what == 1) changed = store.RemoveKey(section.c_str(), key.c_str());
      else if (what == 2) changed = store.RemoveSection(section.c_str());
      else changed = store.SetValue(section.c_str(), key.c_str(), value.c_str());
      if (changed) bits |= 2;
      if (store.WriteFile()) bits |= 4;
      return bits;
    }
    CXmlIni store;
    if (!store.Open(path)) return 0;
    bits = 1;
    bool changed = false;
    switch (what) {
      case 0: changed = store.SetValue(section.c_str(), key.c_str(), value.c_str(), 0); break;
      case 1: changed = store.RemoveKey(section.c_str(), key.c_str()); break;
      case 2: changed = store.RemoveSection(section.c_str()); break;
      case 3: {
        const std::string appendPath = section + "\\" + (key.empty() ? "k" : key);
        changed = store.Append(appendPath.c_str()) && store.Set(attr.c_str(), value.c_str());
        break;
      }
      default:
        changed = store.SetAttribute(PathText(KeyPath(section, key)).c_str(), attr.c_str(),
                                     value.c_str(), index);
    }
    if (changed) bits |= 2;
    if (store.WriteFile()) bits |= 4;
    return bits;
  }

  int ModelOtherProgram(World& world, int f, int what, const std::string& section,
                        const std::string& key, const std::string& attr, const std::string& value,
                        int index) {
    return ini() ? world.IniOtherProgram(f, what, section, key, value)
                 : world.XmlOtherProgram(f, what, section, key, attr, value, index);
  }

  void OtherEdit(const Op& op) {
    if (world_.disk[op.file].blocked) return;
    const int what = static_cast<int>(op.arg % 5);
    const std::string value = OtherValue(op.value);
    const auto body = [&] {
      return RealOtherProgram(op.file, what, op.section, op.key, op.attr, value, op.index);
    };
    int got;
    if (options_.processes && (op.arg & 8u)) {
      Children children;
      got = children.Wait(children.Start(body));
    } else {
      got = body();
    }
    const int want = ModelOtherProgram(world_, op.file, what, op.section, op.key, op.attr, value, op.index);
    Note("other program's store");
    if (got != want)
      Diverge("other-program", "another program's store reported " + std::to_string(got) +
                                   " (1 opened, 2 changed, 4 saved), expected " + std::to_string(want));
  }

  void RawEdit(const Op& op) {
    DiskM& d = world_.disk[op.file];
    if (d.blocked) return;
    const unsigned edit = op.arg & 7u;
    const unsigned layout = op.arg >> 3;
    const bool inPlace = (op.arg >> 15 & 1u) != 0;
    if (edit == 7) {  // another program removes the file
      if (!d.exists) return;
      fs::remove(paths_[op.file]);
      d.exists = false;
      d.ini = IniDocM();
      d.xml.clear();
      d.version = world_.NewVersion();
      Note("file removed");
      return;
    }
    std::string bytes;
    if (ini()) {
      IniDocM doc = d.exists ? d.ini : IniDocM();
      EditIni(doc, op, edit, layout);
      bytes = RenderIni(doc, layout);
      d.ini = doc;
    } else {
      Elems root = d.exists ? d.xml : Elems();
      EditXml(root, op, edit, layout);
      bytes = RenderXml(root, layout);
      d.xml = root;
    }
    WriteRaw(paths_[op.file], bytes, inPlace);
    Note(inPlace ? "raw rewrite in place" : "raw rewrite by rename");
    d.exists = true;
    d.version = world_.NewVersion();
  }

  static void EditIni(IniDocM& doc, const Op& op, unsigned edit, unsigned layout) {
    static const std::vector<std::string> kLines = {"", "; note", "  ; indented", "// slashes",
                                                    "/* star", ";\xC4\xE3\xBA\xC3", "\t"};
    static const std::vector<std::string> kKeyComments = {"", " note", "x", "\xC4\xE3"};
    const std::string value = IniHoldable(op.value);
    std::vector<std::pair<std::size_t, std::size_t>> keys;
    for (std::size_t s = 0; s < doc.sections.size(); ++s)
      for (std::size_t k = 0; k < doc.sections[s].keys.size(); ++k) keys.emplace_back(s, k);
    const std::size_t n = static_cast<std::size_t>(op.index < 0 ? -op.index : op.index);
    const unsigned position = layout >> 6;
    IniKeyM made;
    made.name = op.key;
    made.value = value;
    made.comment = kKeyComments[(layout >> 7) % kKeyComments.size()];
    if (layout >> 9 & 1u) made.comments.push_back(kLines[(layout >> 10) % kLines.size()]);
    switch (edit) {
      case 0:
        if (!keys.empty()) {
          const auto& at = keys[n % keys.size()];
          doc.sections[at.first].keys[at.second].value = value;
          break;
        }
        [[fallthrough]];  // nothing to change, so a key is added
      case 1: {
        if (doc.sections.empty()) doc.sections.push_back(IniSectionM{op.section, "", {}, {}});
        std::vector<IniKeyM>& list = doc.sections[n % doc.sections.size()].keys;
        list.insert(list.begin() + static_cast<long>(position % (list.size() + 1)), made);
        break;
      }
      case 2: {
        IniSectionM section{op.section, "", {}, {made}};
        if (layout >> 11 & 1u) section.comments.push_back(kLines[(layout >> 3) % kLines.size()]);
        doc.sections.insert(doc.sections.begin() + static_cast<long>(position % (doc.sections.size() + 1)),
                            section);
        break;
      }
      case 3:
        if (!keys.empty()) {
          const auto& at = keys[n % keys.size()];
          std::vector<IniKeyM>& list = doc.sections[at.first].keys;
          list.erase(list.begin() + static_cast<long>(at.second));
        }
        break;
      case 4: {
        const std::string& line = kLines[(layout >> 10) % kLines.size()];
        if (keys.empty() || (layout & 1u))
          doc.tail.push_back(line);
        else
          doc.sections[keys[n % keys.size()].first].keys[keys[n % keys.size()].second].comments.push_back(line);
        break;
      }
      default:
        break;  // the same content in another layout
    }
  }

  void EditXml(Elems& root, const Op& op, unsigned edit, unsigned layout) {
    const std::size_t n = static_cast<std::size_t>(op.index < 0 ? -op.index : op.index);
    const unsigned position = layout >> 6;
    // Every element below the root: its list and its place in it.
    std::vector<std::pair<Elems*, std::size_t>> all;
    for (std::size_t s = 0; s < root.size(); ++s) {
      all.emplace_back(&root, s);
      for (std::size_t k = 0; k < root[s].children.size(); ++k) all.emplace_back(&root[s].children, k);
    }
    XmlElemM key;
    key.id = world_.ids.Fresh();
    key.name = op.key.empty() ? "k" : op.key;
    key.attrs.emplace_back("Value", op.value);
    switch (edit) {
      case 0:
        if (!all.empty()) {
          SetExact((*all[n % all.size()].first)[all[n % all.size()].second], op.attr, op.value);
          break;
        }
        [[fallthrough]];  // nothing to change, so an element is added
      case 1: {
        if (root.empty()) {
          XmlElemM section;
          section.id = world_.ids.Fresh();
          section.name = op.section;
          root.push_back(section);
        }
        Elems& list = root[n % root.size()].children;
        list.insert(list.begin() + static_cast<long>(position % (list.size() + 1)), key);
        break;
      }
      case 2: {
        XmlElemM section;
        section.id = world_.ids.Fresh();
        section.name = op.section;
        section.children.push_back(key);
        root.insert(root.begin() + static_cast<long>(position % (root.size() + 1)), section);
        break;
      }
      case 3:
        if (!all.empty()) {
          const auto& at = all[n % all.size()];
          at.first->erase(at.first->begin() + static_cast<long>(at.second));
        }
        break;
      default:
        break;  // the same content in another layout
    }
  }

  // Another program sets a key and is killed at a random moment of its save.
  void KilledSave(const Op& op) {
    const DiskM& d = world_.disk[op.file];
    if (d.blocked || !d.exists) return;
    const std::string value = OtherValue(op.value);
    World after = world_;
    ModelOtherProgram(after, op.file, 0, op.section, op.key, "Value", value, 0);
    if (!options_.processes) {
      if (op.arg % 2 == 0) {
        RealOtherProgram(op.file, 0, op.section, op.key, "Value", value, 0);
        world_ = after;
      }
      return;
    }
    const std::string& path = paths_[op.file];
    const FileStat before = StatOf(path);
    Children children;
    Pipe ready;
    const pid_t pid = children.Start([&] {
      ready.CloseRead();
      if (ini()) {
        CKdIni store;
        if (!store.Open(path.c_str()) || !store.SetValue(op.section.c_str(), op.key.c_str(), value.c_str()))
          return 2;
        if (::write(ready.fd[1], "r", 1) != 1) return 3;
        store.WriteFile();
        ::_exit(0);  // before the destructor could save again
      }
      CXmlIni store;
      if (!store.Open(path.c_str()) || !store.SetValue(op.section.c_str(), op.key.c_str(), value.c_str(), 0))
        return 2;
      if (::write(ready.fd[1], "r", 1) != 1) return 3;
      store.WriteFile();
      return 0;
    });
    ready.CloseWrite();
    if (!ready.Await(1)) Diverge("harness", "the saving program did not get ready: exit " + std::to_string(children.Wait(pid)));
    std::this_thread::sleep_for(std::chrono::microseconds(op.arg % 3000));
    children.Kill(pid);
    children.Wait(pid);
    if (StatOf(path) == before) {  // killed before it replaced the file: nothing changed
      Note("killed save: file kept");
      return;
    }
    Note("killed save: file replaced");
    const std::string diff = DiskDiff(after.disk[op.file], path);
    if (!diff.empty()) Diverge("killed-save", "the file was replaced, but not by the saved content: " + diff);
    world_ = after;
  }

  // Two or three programs open the file, set a key and save at the same moment.
  void ConcurrentSaves(const Op& op) {
    const DiskM& d = world_.disk[op.file];
    if (d.blocked || !d.exists) return;
    const int count = 2 + static_cast<int>(op.arg & 1u);
    std::vector<std::string> keys, values;
    for (int i = 0; i < count; ++i) {
      const std::string key = op.key.empty() ? "k" : op.key;
      keys.push_back((op.arg & 2u) ? op.key : key + "n" + std::to_string(i));
      values.push_back(OtherValue(op.value) + static_cast<char>('0' + i));
    }
    const std::string& path = paths_[op.file];
    const auto open = [&](int i, std::unique_ptr<CKdIni>& iniStore, std::unique_ptr<CXmlIni>& xmlStore) {
      if (ini()) {
        iniStore = std::make_unique<CKdIni>();
        return iniStore->Open(path.c_str()) &&
               iniStore->SetValue(op.section.c_str(), keys[i].c_str(), values[i].c_str());
      }
      xmlStore = std::make_unique<CXmlIni>();
      return xmlStore->Open(path.c_str()) &&
             xmlStore->SetValue(op.section.c_str(), keys[i].c_str(), values[i].c_str(), 0);
    };
    if (options_.processes) {
      Children children;
      Pipe ready, go;
      std::vector<pid_t> pids;
      for (int i = 0; i < count; ++i) {
        pids.push_back(children.Start([&, i] {
          ready.CloseRead();
          go.CloseWrite();
          std::unique_ptr<CKdIni> iniStore;
          std::unique_ptr<CXmlIni> xmlStore;
          if (!open(i, iniStore, xmlStore)) ::_exit(2);
          if (::write(ready.fd[1], "r", 1) != 1) ::_exit(3);
          char c;
          while (::read(go.fd[0], &c, 1) > 0) {
          }
          const bool saved = iniStore ? iniStore->WriteFile() : xmlStore->WriteFile();
          ::_exit(saved ? 0 : 1);  // before a destructor could save again
          return 0;
        }));
      }
      ready.CloseWrite();
      go.CloseRead();
      const bool allReady = ready.Await(count);
      go.CloseWrite();  // all of them go
      std::string codes;
      bool allSaved = allReady;
      for (pid_t pid : pids) {
        const int code = children.Wait(pid);
        codes += " " + std::to_string(code);
        allSaved = allSaved && code == 0;
      }
      if (!allSaved)
        Diverge("concurrent-saves", "not every program saved (exit codes" + codes + "; 0 saved, 1 WriteFile false)");
    } else {
      std::vector<std::unique_ptr<CKdIni>> iniStores(static_cast<std::size_t>(count));
      std::vector<std::unique_ptr<CXmlIni>> xmlStores(static_cast<std::size_t>(count));
      for (int i = 0; i < count; ++i)
        if (!open(i, iniStores[static_cast<std::size_t>(i)], xmlStores[static_cast<std::size_t>(i)]))
          Diverge("concurrent-saves", "a program could not open and set");
      for (int i = 0; i < count; ++i) {
        const bool saved = ini() ? iniStores[static_cast<std::size_t>(i)]->WriteFile()
                                 : xmlStores[static_cast<std::size_t>(i)]->WriteFile();
        if (!saved) Diverge("concurrent-saves", "program " + std::to_string(i) + "'s WriteFile returned false");
      }
    }
    // The file must be what one order of the saves gives.
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::string tried;
    do {
      World w = world_;
      std::vector<IniStoreM> iniStores(static_cast<std::size_t>(count));
      std::vector<XmlStoreM> xmlStores(static_cast<std::size_t>(count));
      for (int i = 0; i < count; ++i) {
        const std::size_t u = static_cast<std::size_t>(i);
        if (ini()) {
          w.IniOpen(iniStores[u], op.file);
          iniStores[u].doc.Set(op.section, keys[u], values[u]);
          iniStores[u].modified = true;
        } else {
          w.XmlOpen(xmlStores[u], op.file);
          w.XmlSet(xmlStores[u], KeyPath(op.section, keys[u]), "Value", values[u], 0);
        }
      }
      for (int i : order) {
        const std::size_t u = static_cast<std::size_t>(i);
        if (ini()) {
          w.IniSave(iniStores[u]);
        } else {
          const XmlSavePlan plan = w.XmlPlanSave(xmlStores[u]);
          w.XmlSaved(xmlStores[u], plan);
        }
      }
      const std::string diff = DiskDiff(w.disk[op.file], path);
      if (diff.empty()) {
        Note("saves at once");
        world_ = w;
        return;
      }
      tried += "\n    " + diff;
    } while (std::next_permutation(order.begin(), order.end()));
    Diverge("concurrent-saves", "the file matches no order of the saves:" + tried);
  }

  void Block(int f) {
    DiskM& d = world_.disk[f];
    if (d.blocked) return;
    if (d.exists) fs::rename(paths_[f], paths_[f] + ".aside");
    fs::create_directory(paths_[f]);
    d.blocked = true;
  }

  void Unblock(int f) {
    DiskM& d = world_.disk[f];
    if (!d.blocked) return;
    std::error_code error;
    fs::remove(paths_[f], error);
    if (error) Diverge("harness", "the directory in the file's place could not go: " + error.message());
    if (d.exists) fs::rename(paths_[f] + ".aside", paths_[f]);
    d.blocked = false;
  }

  // ---- Checks ---------------------------------------------------------------------

  // How the file at path differs from want; empty when it does not.
  std::string DiskDiff(const DiskM& want, const std::string& path) const {
    if (ini()) {
      CKdIni fresh;
      if (!fresh.Open(path.c_str())) return "cannot be read";
      const IniDocM got = FromStore(fresh);
      if (SameIni(got, want.ini, false)) return "";
      return "holds" + DumpIni(got, false) + "\n    model:" + DumpIni(want.ini, false);
    }
    Elems got;
    std::string why;
    if (!ReadXml(ReadAll(path), got, why)) return "does not read as the store's XML: " + why;
    if (SameContent(got, want.xml)) return "";
    return "holds " + Dump(got) + "\n    model " + Dump(want.xml);
  }

  void CheckFile(int f) {
    const DiskM& d = world_.disk[f];
    const std::string& path = paths_[f];
    std::string diff;
    if (d.blocked) {
      if (!fs::is_directory(path)) Diverge("harness", "the directory in place of " + FileName(f) + " is gone");
      if (d.exists) diff = DiskDiff(d, path + ".aside");
    } else if (!d.exists) {
      if (fs::exists(path)) diff = "exists, though nobody made it";
    } else {
      diff = DiskDiff(d, path);
    }
    if (!diff.empty()) Diverge(Category("disk"), "file " + FileName(f) + " " + diff);
  }

  void CheckIniStore(int slot) {
    CKdIni& store = *ini_[slot];
    const IniStoreM& m = iniM_[slot];
    const std::string where = "store " + std::to_string(slot) + " ";
    const std::string name = m.file >= 0 ? paths_[m.file] : "";
    if (store.strFileName != name)
      Diverge("ini-store", where + "has the file name " + Quote(store.strFileName) + ", the model " + Quote(name));
    if (store.bModified != m.modified)
      Diverge("ini-store", where + "has bModified " + YesNo(store.bModified) + ", the model " + YesNo(m.modified));
    const IniDocM got = FromStore(store);
    if (!SameIni(got, m.doc, true))
      Diverge("ini-store", where + "holds" + DumpIni(got, true) + "\n    model:" + DumpIni(m.doc, true));
    std::vector<std::string> sections, want;
    store.GetSections(sections);
    for (const IniSectionM& s : m.doc.sections) want.push_back(s.name);
    if (sections != want) Diverge("ini-store", where + "lists the sections " + Names(sections));
    IniDocM doc = m.doc;
    for (std::size_t i = 0; i < m.doc.sections.size(); ++i) {
      const IniSectionM& s = m.doc.sections[i];
      if (doc.FindSection(s.name) != &doc.sections[i]) continue;  // lookups reach the first only
      std::vector<std::string> keys, wantKeys;
      store.GetKeysInSection(Flip(s.name).c_str(), keys);
      for (const IniKeyM& k : s.keys) wantKeys.push_back(k.name);
      if (keys != wantKeys) Diverge("ini-store", where + "lists the keys " + Names(keys) + " in " + Quote(s.name));
      for (const IniKeyM& k : s.keys) {
        const IniKeyM* first = doc.FindKey(s.name, k.name);
        const std::string value = store.GetValue(Flip(s.name).c_str(), Flip(k.name).c_str(), "\x01");
        if (value != first->value)
          Diverge("ini-store", where + "reads " + Quote(value) + " for " + Quote(s.name) + "/" +
                                   Quote(k.name) + ", the model " + Quote(first->value));
      }
    }
  }

  void CheckAttributes(CXmlIni& store, const std::string& where, const std::string& path, int index,
                       const XmlElemM& element) {
    if (!store.HaveNode(path.c_str(), index))
      Diverge("xml-store", where + "has no element " + Quote(path) + " #" + std::to_string(index));
    for (const char* attr : kQueryAttrs) {
      const std::string* want = Lookup(element, attr);
      const std::string got = store.GetAttribute(path.c_str(), attr, index);
      const bool have = store.HaveAttribute(path.c_str(), attr, index);
      if (got != (want ? *want : "") || have != (want != nullptr))
        Diverge("xml-store", where + "reads " + Quote(got) + (have ? "" : " (absent)") + " for " +
                                 Quote(path) + " #" + std::to_string(index) + " " + attr +
                                 ", the model " + (want ? Quote(*want) : "absent") +
                                 "\n    model element: " + Dump(Elems{element}));
    }
  }

  void CheckXmlStore(int slot) {
    CXmlIni& store = *xml_[slot];
    const XmlStoreM& m = xmlM_[slot];
    const std::string where = "store " + std::to_string(slot) + " ";
    std::vector<std::string> sections;
    const bool listed = store.GetSections(sections);
    if (!m.doc) {
      if (listed || !sections.empty()) Diverge("xml-store", where + "opened nothing, yet lists sections");
      return;
    }
    if (store.GetFileName() != paths_[m.file])
      Diverge("xml-store", where + "has the file name " + Quote(store.GetFileName()));
    const Elems& root = m.doc->content;
    std::vector<std::string> want;
    for (const XmlElemM& e : root) want.push_back(e.name);
    if (sections != want)
      Diverge("xml-store", where + "lists the sections " + Names(sections) + "\n    model: " + Dump(root));
    for (std::size_t i = 0; i < root.size(); ++i) {
      const XmlElemM& section = root[i];
      int before = 0;
      for (std::size_t j = 0; j < i; ++j) before += NamesMatch(root[j].name, section.name);
      const std::string name = Flip(section.name);
      CheckAttributes(store, where, name, before, section);
      if (before > 0) continue;  // the paths reach the first section of a name only
      std::vector<std::string> keys, wantKeys;
      store.GetKeysInSection(name.c_str(), keys);
      for (const XmlElemM& k : section.children) wantKeys.push_back(k.name);
      if (keys != wantKeys)
        Diverge("xml-store", where + "lists the keys " + Names(keys) + " in " + Quote(section.name) +
                                 "\n    model: " + Dump(root));
      for (std::size_t k = 0; k < section.children.size(); ++k) {
        const XmlElemM& key = section.children[k];
        int same = 0;
        for (std::size_t j = 0; j < k; ++j) same += NamesMatch(section.children[j].name, key.name);
        CheckAttributes(store, where, name + "\\" + Flip(key.name), same, key);
        const std::string* value = Lookup(key, "Value");
        const std::string got = store.GetValue(name.c_str(), Flip(key.name).c_str(), same);
        if (got != (value ? *value : ""))
          Diverge("xml-store", where + "GetValue reads " + Quote(got) + " for " + Quote(section.name) +
                                   "\\" + Quote(key.name) + " #" + std::to_string(same));
      }
    }
  }

  StoreKind kind_;
  RunOptions options_;
  ScratchDir dir_;
  std::string paths_[kFiles];
  World world_;
  std::unique_ptr<CKdIni> ini_[kSlots];
  std::unique_ptr<CXmlIni> xml_[kSlots];
  IniStoreM iniM_[kSlots];
  XmlStoreM xmlM_[kSlots];
  std::map<std::string, int> events_;
};

}  // namespace

std::string Category(const std::string& what) { return what.substr(0, what.find(':')); }

RunResult RunSequence(StoreKind kind, const std::vector<Op>& ops, const RunOptions& options) {
  RunResult result;
  try {
    Runner runner(kind, options);
    for (std::size_t i = 0; i < ops.size(); ++i) {
      result.step = i;
      runner.Apply(ops[i]);
      runner.Check();
    }
    result.step = ops.size();
    runner.Finish();
    result.events = runner.events();
  } catch (const Divergence& divergence) {
    result.ok = false;
    result.what = divergence.what();
  } catch (const std::exception& error) {
    result.ok = false;
    result.what = std::string("exception: ") + error.what();
  }
  return result;
}

}  // namespace store_model
