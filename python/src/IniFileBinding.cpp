// SPDX-License-Identifier: MIT
// dezov.IniFile and its section view over CKdIni.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Bindings.h"
#include "KdIni.h"
#include "ModuleSupport.h"
#include "TextCasters.h"

namespace py = pybind11;

namespace dezov {
namespace python {
namespace {

constexpr char kWriteFailed[] = " (the file is unchanged)";

// How the file at path starts now: with a UTF-8 byte-order mark, with three
// other bytes, or with nothing that tells (fewer bytes, nothing readable
// there, or no regular file: a FIFO is not waited on here; the store says
// what it makes of it).
enum class FileStart { kNone, kMark, kOther };

FileStart StartOf(const std::string& path) {
  struct Descriptor {
    int number;
    ~Descriptor() {
      if (number >= 0) ::close(number);
    }
  } file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
  struct stat status;
  if (file.number < 0 || ::fstat(file.number, &status) != 0 || !S_ISREG(status.st_mode))
    return FileStart::kNone;
  char start[3];
  if (::read(file.number, start, sizeof start) != sizeof start) return FileStart::kNone;
  return std::memcmp(start, "\xEF\xBB\xBF", sizeof start) == 0 ? FileStart::kMark
                                                              : FileStart::kOther;
}

// The encoding asked for by name: Python's names and aliases of "gbk" and
// "utf-8" ("utf-8-sig" too, as a mark is always read); LookupError for a
// name Python does not know, ValueError for any other codec.
TextEncoding RequestedEncoding(const py::str& name) {
  const std::string codec =
      py::module_::import("codecs").attr("lookup")(name).attr("name").cast<std::string>();
  if (codec == "gbk") return TextEncoding::kGbk;
  if (codec == "utf-8" || codec == "utf-8-sig") return TextEncoding::kUtf8;
  throw py::value_error("an IniFile is read as 'gbk' or 'utf-8', not " +
                        py::repr(name).cast<std::string>());
}

// A store to try changes on: empty, or a copy of another store. Never
// written, whatever happens.
class TrialStore {
 public:
  TrialStore() = default;
  explicit TrialStore(const CKdIni& store) : store_(store) { store_.strFileName.clear(); }
  ~TrialStore() { store_.bModified = false; }
  CKdIni* operator->() { return &store_; }
  CKdIni& operator*() { return store_; }

 private:
  CKdIni store_;
};

bool HasSection(CKdIni& store, const std::string& section) {
  std::vector<std::string> keys;
  return store.GetKeysInSection(section.c_str(), keys);
}

// Appends an empty section, which the store's member functions cannot make
// (a section comes with its first key): it goes into the store's list
// directly, which CKdIni writes when the file is unchanged on disk.
void AppendEmptySection(CKdIni& store, const std::string& section) {
  auto created = std::make_unique<CKdIni::CIniSection>();
  created->strName = section;
  store.vecSections.push_back(created.get());
  created.release();
  store.bModified = true;
}

// One opened INI file. Like CKdIni, it saves its changes when it ends
// (close(), the end of a with-block, or the object's end); a failure at the
// object's end, where nothing can be raised, is reported as unraisable.
class IniFile {
 public:
  IniFile(const FilePath& path, const py::str& encoding)
      : store_(std::make_unique<CKdIni>()), path_(path.bytes) {
    const TextEncoding requested = RequestedEncoding(encoding);
    // A mark makes the file UTF-8. It is looked at before and after the read;
    // a file replaced meanwhile by one with the other form is read again.
    for (int attempt = 0;; ++attempt) {
      const bool mark = StartOf(path_) == FileStart::kMark;
      bool opened;
      std::string reason;
      {
        py::gil_scoped_release release;
        opened = store_->Open(path_.c_str());
        if (!opened) reason = store_->GetLastErrMsg();
      }
      if (!opened) RaiseFileError(reason, path_);
      if ((StartOf(path_) == FileStart::kMark) == mark || attempt == 2) {
        mark_ = mark;
        encoding_ = mark ? TextEncoding::kUtf8 : requested;
        return;
      }
    }
  }

  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  ~IniFile() {
    if (!store_ || !store_->bModified) return;
    std::string reason;
    const bool written = InterpreterFinalizing() ? WriteHoldingLock(reason) : Write(reason);
    store_->bModified = false;  // CKdIni's destructor would try the same write again
    if (written) return;
    try {
      ReportFileError(reason, path_, kWriteFailed);
    } catch (...) {  // an end must not throw
    }
  }

  // The store; ValueError once closed. Callers hold lock() meanwhile.
  CKdIni& Store() const {
    if (!store_) RaiseClosed("IniFile");
    return *store_;
  }
  StoreLock& lock() { return lock_; }
  const std::string& path() const { return path_; }
  bool closed() const { return !store_; }
  TextEncoding encoding() const { return encoding_; }

  // The bytes of a name or value argument in the file's encoding.
  std::string Name(const py::handle& name, const char* what) const {
    return EncodeText(name, encoding_, what);
  }
  std::string Value(const py::handle& value) const { return EncodeValue(value, encoding_); }
  py::str Decode(const std::string& bytes) const { return DecodeText(bytes, encoding_); }
  py::str Shown(const std::string& bytes) const { return ShownText(bytes, encoding_); }

  void Save() {
    StoreLock::Use use(lock_);
    std::string reason;
    if (!Write(reason)) RaiseFileError(reason, path_, kWriteFailed);
  }

  // Closed from the start, whatever happens: a failed save raises, and its
  // changes are gone (save() first keeps them for another try).
  void Close(bool save) {
    StoreLock::Use use(lock_);
    if (!store_) return;
    std::string reason;
    const bool written = !save || Write(reason);
    const std::unique_ptr<CKdIni> store = std::move(store_);
    store->bModified = false;  // CKdIni's destructor must not write
    if (!written) RaiseFileError(reason, path_, kWriteFailed);
  }

  // Adds an empty section at the end (see AppendEmptySection), kept by the
  // saves (see WriteHoldingLock).
  void AddEmptySection(const std::string& section) {
    AppendEmptySection(Store(), section);
    emptySections_.push_back(section);
  }

  // Forgets the empty sections added here that are gone from the store
  // (removed, or removed with their last key).
  void ForgetRemovedSections() {
    CKdIni& store = Store();
    std::vector<std::string> kept;
    for (auto& section : emptySections_)
      if (HasSection(store, section)) kept.push_back(std::move(section));
    emptySections_.swap(kept);
  }

 private:
  // Writes the changes without the interpreter's lock; false with the
  // library's reason.
  bool Write(std::string& reason) {
    CKdIni& store = Store();
    if (!store.bModified) return true;
    py::gil_scoped_release release;
    return WriteHoldingLock(reason);
  }

  // A file that was rewritten with a byte-order mark since it was read
  // without one, or the other way round, is not written: the store's text
  // and the file's would be in two encodings. A save that merges the changes
  // into a file changed on disk carries the store's keys, not its empty
  // sections: those are added again and written once more.
  bool WriteHoldingLock(std::string& reason) {
    CKdIni& store = *store_;
    const FileStart start = StartOf(path_);
    if (start != FileStart::kNone && (start == FileStart::kMark) != mark_) {
      reason = "'" + path_ + "' was rewritten " + (mark_ ? "without" : "with") +
               " a UTF-8 byte-order mark since it was read; the changes are not merged into "
               "text of another encoding";
      return false;
    }
    for (int attempt = 0; attempt < 3 && store.bModified; ++attempt) {
      if (!store.WriteFile()) {
        reason = store.GetLastErrMsg();
        return false;
      }
      std::vector<std::string> stillEmpty;
      for (auto& section : emptySections_) {
        std::vector<std::string> keys;
        const bool present = store.GetKeysInSection(section.c_str(), keys);
        if (present && !keys.empty()) continue;  // saved with its keys from now on
        if (!present) AppendEmptySection(store, section);
        stillEmpty.push_back(std::move(section));
      }
      emptySections_.swap(stillEmpty);
    }
    if (store.bModified) {
      reason = "'" + path_ + "' kept changing on disk while its new empty sections were saved";
      return false;
    }
    return true;
  }

  std::unique_ptr<CKdIni> store_;
  std::string path_;
  TextEncoding encoding_ = TextEncoding::kGbk;
  bool mark_ = false;  // the file started with a byte-order mark when read
  std::vector<std::string> emptySections_;  // added empty by this object
  StoreLock lock_;
};

// The store of an IniFile for one call, used by this thread alone meanwhile.
class InUse {
 public:
  explicit InUse(IniFile& file) : use_(file.lock()), store_(file.Store()) {}
  CKdIni* operator->() const { return &store_; }
  CKdIni& operator*() const { return store_; }

 private:
  StoreLock::Use use_;
  CKdIni& store_;
};

// The keys of the first matching section, each once; KeyError without it.
std::vector<std::string> KeyNames(IniFile& file, const std::string& section,
                                  const py::handle& asked) {
  InUse store(file);
  std::vector<std::string> keys;
  if (!store->GetKeysInSection(section.c_str(), keys)) RaiseKeyError(asked);
  return FirstOfEachName(keys);
}

std::vector<std::string> SectionNames(IniFile& file) {
  InUse store(file);
  std::vector<std::string> sections;
  store->GetSections(sections);
  // A section without a name ("[]") is one: it is reached by "".
  SeenNames seen;
  std::vector<std::string> unique;
  for (auto& section : sections)
    if (seen.Add(section)) unique.push_back(std::move(section));
  return unique;
}

py::list Decoded(const IniFile& file, const std::vector<std::string>& texts) {
  py::list list;
  for (const auto& text : texts) list.append(file.Decode(text));
  return list;
}

// The raw value of a key with a name; false when it is missing.
bool RawValue(IniFile& file, const std::string& section, const std::string& key,
              std::string& value) {
  InUse store(file);
  if (key.empty() || !store->HaveKey(section.c_str(), key.c_str())) return false;
  value = store->GetValue(section.c_str(), key.c_str());
  return true;
}

bool Contains(IniFile& file, const py::handle& section) {
  const std::string name = file.Name(section, "section names");
  InUse store(file);
  return HasSection(*store, name);
}

bool ContainsKey(IniFile& file, const py::handle& section, const py::handle& key) {
  std::string value;
  return RawValue(file, file.Name(section, "section names"), file.Name(key, "key names"), value);
}

// The value, or the fallback: configparser's fallback= when given, else default.
py::object Get(IniFile& file, const py::handle& section, const py::handle& key,
               const py::object& fallback, const py::object& keywordFallback) {
  std::string value;
  if (RawValue(file, file.Name(section, "section names"), file.Name(key, "key names"), value))
    return file.Decode(value);
  return keywordFallback.is_none() ? fallback : keywordFallback;
}

py::object GetBytes(IniFile& file, const py::handle& section, const py::handle& key,
                    const py::object& fallback) {
  std::string value;
  if (RawValue(file, file.Name(section, "section names"), file.Name(key, "key names"), value))
    return py::bytes(value);
  return fallback;
}

// section[key]: KeyError naming the section or the key that is missing.
py::str Lookup(IniFile& file, const py::handle& section, const py::handle& key) {
  const std::string sectionName = file.Name(section, "section names");
  const std::string keyName = file.Name(key, "key names");
  std::string value;
  if (RawValue(file, sectionName, keyName, value)) return file.Decode(value);
  InUse store(file);
  RaiseKeyError(HasSection(*store, sectionName) ? key : section);
}

// RefusedError with the store's reason for refusing a change, or fallback
// when it gives none.
[[noreturn]] void RaiseRefusedBy(const IniFile& file, CKdIni& store, const py::str& fallback) {
  const std::string reason = store.GetLastErrMsg();
  RaiseRefused(reason.empty() ? fallback : file.Shown(reason));
}

py::str NotStored(const IniFile& file, const std::string& section, const std::string& key) {
  return py::str("cannot store [{}] {}: the line would not read back as written")
      .format(file.Shown(section), file.Shown(key));
}

// A key line without a name is text in its section, not a key.
void CheckKeyName(const IniFile& file, const std::string& section, const std::string& key) {
  if (key.empty())
    RaiseRefused(py::str("cannot store a key without a name in [{}]").format(file.Shown(section)));
}

// Refuses a section name that the store would not take with a key.
// The store's reason then speaks of the key the name was tried with.
void CheckSectionName(const IniFile& file, const std::string& section) {
  TrialStore trial;
  if (trial->SetValue(section.c_str(), "key", "")) return;
  const py::str refused = py::str("cannot add the section [{}]").format(file.Shown(section));
  const std::string reason = trial->GetLastErrMsg();
  RaiseRefused(reason.empty() ? refused : py::str("{}: {}").format(refused, file.Shown(reason)));
}

void SetRaw(IniFile& file, const std::string& section, const std::string& key,
            const std::string& value) {
  CheckKeyName(file, section, key);
  InUse store(file);
  if (!store->SetValue(section.c_str(), key.c_str(), value.c_str()))
    RaiseRefusedBy(file, *store, NotStored(file, section, key));
}

void Set(IniFile& file, const py::handle& section, const py::handle& key,
         const py::handle& value) {
  SetRaw(file, file.Name(section, "section names"), file.Name(key, "key names"),
         file.Value(value));
}

void RemoveKey(IniFile& file, const py::handle& section, const py::handle& key) {
  const std::string sectionName = file.Name(section, "section names");
  const std::string keyName = file.Name(key, "key names");
  InUse store(file);
  if (!HasSection(*store, sectionName)) RaiseKeyError(section);
  if (keyName.empty() || !store->RemoveKey(sectionName.c_str(), keyName.c_str()))
    RaiseKeyError(key);
  file.ForgetRemovedSections();
}

void RemoveSection(IniFile& file, const py::handle& section) {
  const std::string name = file.Name(section, "section names");
  InUse store(file);
  if (!store->RemoveSection(name.c_str())) RaiseKeyError(section);
  file.ForgetRemovedSections();
}

void Remove(IniFile& file, const py::handle& section, const py::object& key) {
  if (key.is_none()) return RemoveSection(file, section);
  RemoveKey(file, section, key);
}

void AddSection(IniFile& file, const py::handle& section) {
  const std::string name = file.Name(section, "section names");
  InUse store(file);
  if (HasSection(*store, name))
    RaiseRefused(py::str("section [{}] already exists").format(file.Shown(name)));
  CheckSectionName(file, name);
  file.AddEmptySection(name);
}

// ini[section] = mapping: the section holds exactly the mapping's keys and
// values afterwards. The changes are made on a copy of the store first, so
// that a refusal changes nothing. Keys kept keep their lines and places; a
// section emptied goes with its last key (the store's rule) and comes back
// empty at the end.
void ReplaceSection(IniFile& file, const py::handle& section, const py::handle& mapping) {
  const std::string name = file.Name(section, "section names");
  std::vector<std::pair<std::string, std::string>> values;
  const py::object items = py::reinterpret_borrow<py::object>(mapping).attr("items")();
  for (const py::handle item : items) {
    const py::tuple pair = py::reinterpret_borrow<py::tuple>(item);
    values.emplace_back(file.Name(pair[0], "key names"), file.Value(pair[1]));
    CheckKeyName(file, name, values.back().first);
  }
  InUse store(file);
  if (values.empty()) {
    CheckSectionName(file, name);
  } else {
    TrialStore trial(*store);
    for (const auto& [key, value] : values)
      if (!trial->SetValue(name.c_str(), key.c_str(), value.c_str()))
        RaiseRefusedBy(file, *trial, NotStored(file, name, key));
  }
  SeenNames kept;
  for (const auto& [key, value] : values) {
    store->SetValue(name.c_str(), key.c_str(), value.c_str());
    kept.Add(key);
  }
  std::vector<std::string> old;
  store->GetKeysInSection(name.c_str(), old);
  for (const auto& key : FirstOfEachName(old))
    if (kept.Add(key))
      while (store->RemoveKey(name.c_str(), key.c_str())) {
      }
  file.ForgetRemovedSections();
  if (!HasSection(*store, name)) file.AddEmptySection(name);
}

// A view of one section of an IniFile; it reads through to the store.
struct IniSection {
  py::object owner;  // the IniFile, kept alive by the view
  py::object name;   // the section's name as asked for
  IniFile& file() const { return owner.cast<IniFile&>(); }
};

IniSection SectionOf(const py::object& owner, const py::object& section) {
  if (!Contains(owner.cast<IniFile&>(), section)) RaiseKeyError(section);
  return IniSection{owner, section};
}

const char kIniFileDoc[] =
    R"(IniFile(path, encoding="gbk")

An INI file held in memory. Comments, blank lines and the exact text of every
unchanged line are written back as they were. Section and key names match
ignoring the case of A-Z; the first match wins.

A mutable mapping of section names to sections, as configparser's parser is:
ini["S"]["k"], "S" in ini, dict(ini), ini["S"] = {"k": "v"}, del ini["S"],
get/getint/getfloat/getboolean with fallback=, has_section, has_option,
add_section, sections() and options(). Values are str; int, float and bool
values are stored as their text ("true"/"false" for bool).

Text is GBK (the library's rule: code page 936 with GB18030 four-byte forms),
or UTF-8 for a file that starts with a UTF-8 byte-order mark or that is opened
with encoding="utf-8". Names and values may also be given as bytes, which pass
unchanged, and get_bytes() returns raw values. A refused name or value raises
dezov.RefusedError, a failed read or write dezov.Error (an OSError) with the
library's reason; a missing section or key raises KeyError.

A missing file is created empty. Changes are written by save(); like the C++
store, an IniFile also saves its changes when it ends: at close(), at the end
of a with-block, or when the object is collected (a failure there is reported
through sys.unraisablehook). A with-block left by an exception, and
close(save=False), discard the changes instead. Reads and saves run without
the interpreter's lock; other threads using the same file wait for them.

    with dezov.IniFile("app.ini") as ini:
        name = ini["User"]["Name"]
        ini["Server"]["Port"] = 9090
)";

void BindSection(py::module_& module) {
  py::class_<IniSection>(module, "IniSection",
                         "A section of an IniFile, read and changed through the file "
                         "(ini[section]):\na mutable mapping of key names to values, as "
                         "configparser's section proxy is.")
      .def_property_readonly(
          "name", [](const IniSection& s) { return s.name; },
          "The section's name as it was asked for.")
      .def(
          "__getitem__",
          [](const IniSection& s, const py::object& key) { return Lookup(s.file(), s.name, key); },
          "section[key] -> str: the value of the first matching key; KeyError without one.")
      .def(
          "__setitem__",
          [](const IniSection& s, const py::object& key, const py::object& value) {
            Set(s.file(), s.name, key, value);
          },
          "section[key] = value: IniFile.set for this section (the key is added when missing).")
      .def(
          "__delitem__",
          [](const IniSection& s, const py::object& key) { RemoveKey(s.file(), s.name, key); },
          "del section[key]: removes the first matching key (the section goes with its last "
          "key).")
      .def(
          "__contains__",
          [](const IniSection& s, const py::object& key) {
            return ContainsKey(s.file(), s.name, key);
          },
          "key in section: whether the section has the key.")
      .def(
          "__iter__",
          [](const IniSection& s) {
            IniFile& file = s.file();
            const std::string section = file.Name(s.name, "section names");
            return py::iter(Decoded(file, KeyNames(file, section, s.name)));
          },
          "Iterates over the key names, in file order, each once.")
      .def(
          "__len__",
          [](const IniSection& s) {
            IniFile& file = s.file();
            return KeyNames(file, file.Name(s.name, "section names"), s.name).size();
          },
          "Number of keys.")
      .def(
          "get",
          [](const IniSection& s, const py::object& key, const py::object& fallback,
             const py::object& keywordFallback) {
            return Get(s.file(), s.name, key, fallback, keywordFallback);
          },
          py::arg("key"), py::arg("default") = py::none(), py::kw_only(),
          py::arg("fallback") = py::none(),
          "get(key, default=None, *, fallback=None) -> str | default\n\nThe value, or "
          "fallback (default) when the key is missing.")
      .def(
          "get_bytes",
          [](const IniSection& s, const py::object& key, const py::object& fallback) {
            return GetBytes(s.file(), s.name, key, fallback);
          },
          py::arg("key"), py::arg("default") = py::none(),
          "get_bytes(key, default=None) -> bytes | default\n\nThe raw value, or default.")
      .def("__repr__", [](const IniSection& s) {
        return py::str("<dezov.IniSection {!r}>").format(s.name);
      });
}

}  // namespace

void BindIniFile(py::module_& module) {
  BindSection(module);
  py::class_<IniFile>(module, "IniFile", kIniFileDoc)
      .def(py::init<const FilePath&, const py::str&>(), py::arg("path"),
           py::arg("encoding") = "gbk",
           "IniFile(path, encoding=\"gbk\")\n\nReads the file (str, bytes or os.PathLike), "
           "creating it empty when missing;\ndezov.Error when it can be neither read nor "
           "created. encoding (\"gbk\" or\n\"utf-8\") is the file's text unless it starts "
           "with a UTF-8 byte-order mark,\nwhich makes it UTF-8.")
      .def_property_readonly(
          "path", [](const IniFile& f) { return DecodePath(f.path()); }, "The file's name.")
      .def_property_readonly("closed", &IniFile::closed, "True after close().")
      .def_property_readonly(
          "encoding", [](const IniFile& f) { return EncodingName(f.encoding()); },
          "\"utf-8\" or \"gbk\": how the file's text is read and written.")
      .def_property_readonly(
          "modified",
          [](IniFile& f) {
            InUse store(f);
            return store->bModified;
          },
          "True while there are changes that are not written.")
      .def(
          "__getitem__",
          [](const py::object& self, const py::object& section) {
            return SectionOf(self, section);
          },
          "ini[section] -> IniSection: a view of the first matching section; KeyError without "
          "one.")
      .def("__setitem__", &ReplaceSection,
           "ini[section] = mapping: the section (added when missing) holds exactly the "
           "mapping's\nkeys and values; nothing changes when one is refused.")
      .def("__delitem__", &RemoveSection,
           "del ini[section]: removes the first matching section; KeyError without one.")
      .def("__contains__", &Contains, "section in ini: whether the file has the section.")
      .def(
          "__iter__", [](IniFile& f) { return py::iter(Decoded(f, SectionNames(f))); },
          "Iterates over the section names, in file order, each once.")
      .def(
          "__len__", [](IniFile& f) { return SectionNames(f).size(); }, "Number of sections.")
      .def(
          "sections", [](IniFile& f) { return Decoded(f, SectionNames(f)); },
          "sections() -> list[str]\n\nThe section names, in file order, each once.")
      .def("has_section", &Contains, py::arg("section"),
           "has_section(section) -> bool\n\nWhether the file has the section.")
      .def("has_option", &ContainsKey, py::arg("section"), py::arg("option"),
           "has_option(section, option) -> bool\n\nWhether the section exists and has the "
           "key.")
      .def("add_section", &AddSection, py::arg("section"),
           "add_section(section) -> None\n\nAdds an empty section at the end; "
           "dezov.RefusedError when it exists or its\nname cannot be stored.")
      .def(
          "options",
          [](IniFile& f, const py::object& section) {
            return Decoded(f, KeyNames(f, f.Name(section, "section names"), section));
          },
          py::arg("section"),
          "options(section) -> list[str]\n\nThe key names of the first matching section, in "
          "file order; KeyError without one.")
      .def(
          "keys",
          [](const py::object& self, const py::object& section) -> py::object {
            if (section.is_none())
              return py::module_::import("collections.abc").attr("KeysView")(self);
            IniFile& f = self.cast<IniFile&>();
            return Decoded(f, KeyNames(f, f.Name(section, "section names"), section));
          },
          py::arg("section") = py::none(),
          "keys(section=None) -> KeysView[str] | list[str]\n\nThe section names as a mapping's "
          "keys; with a section, its key names (as\noptions(section)).")
      .def("get", &Get, py::arg("section"), py::arg("key"), py::arg("default") = py::none(),
           py::kw_only(), py::arg("fallback") = py::none(),
           "get(section, key, default=None, *, fallback=None) -> str | default\n\nThe value of "
           "the first matching key, or fallback (default) when it is missing.")
      .def("get_bytes", &GetBytes, py::arg("section"), py::arg("key"),
           py::arg("default") = py::none(),
           "get_bytes(section, key, default=None) -> bytes | default\n\nThe raw value, or "
           "default.")
      .def("set", &Set, py::arg("section"), py::arg("key"), py::arg("value"),
           "set(section, key, value) -> None\n\nSets the value (str, bytes, int, float or "
           "bool), adding the section and the key\nat the end when missing. Raises "
           "dezov.RefusedError (nothing changed) when the line\nwould not read back as written.")
      .def("remove", &Remove, py::arg("section"), py::arg("key") = py::none(),
           "remove(section, key=None) -> None\n\nRemoves the first matching key (and its section "
           "when it was the last key),\nor without key the first matching section with all its "
           "keys; KeyError when missing.")
      .def("save", &IniFile::Save,
           "save() -> None\n\nWrites the changes over the file atomically; nothing when there "
           "are none.\nRaises dezov.Error with the library's reason when the write fails: the "
           "file\nis then unchanged and the changes are kept.")
      .def("close", &IniFile::Close, py::arg("save") = true,
           "close(save=True) -> None\n\nSaves the changes (unless save is False, which discards "
           "them) and\nreleases the file. The file is closed even when the save fails and "
           "raises;\ncall save() first to keep the changes for another try.")
      .def(
          "__enter__", [](const py::object& self) { return self; },
          "with IniFile(path) as ini: the file, closed at the end of the block.")
      .def(
          "__exit__",
          [](IniFile& f, const py::object& type, const py::object&, const py::object&) {
            f.Close(type.is_none());
          },
          "Closes the file: saves on a normal exit, discards the changes after an exception.")
      .def("__repr__", [](const IniFile& f) {
        return py::str("<dezov.IniFile {!r}{}>")
            .format(DecodePath(f.path()), f.closed() ? " closed" : "");
      });
}

}  // namespace python
}  // namespace dezov
