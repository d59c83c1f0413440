// dezov.IniFile and its section view over CKdIni.
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Bindings.h"
#include "GbkText.h"
#include "KdIni.h"
#include "ModuleSupport.h"

namespace py = pybind11;

namespace dezov {
namespace python {
namespace {

// One opened INI file. Like CKdIni, it saves its changes when it ends
// (close(), the end of a with-block, or the object's end); a failure at the
// object's end, where nothing can be raised, is reported as unraisable.
class IniFile {
 public:
  explicit IniFile(const FilePath& path) : store_(std::make_unique<CKdIni>()), path_(path.bytes) {
    if (!store_->Open(path.c_str()))
      RaiseLibraryError(py::str("cannot read or create {}").format(DecodePath(path_)));
  }

  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  ~IniFile() {
    if (!store_ || !store_->bModified) return;
    if (store_->WriteFile()) return;
    store_->bModified = false;  // CKdIni's destructor would try the same write again
    try {
      ReportUnraisable(WriteFailure());
    } catch (...) {  // an end must not throw
    }
  }

  CKdIni& Store() const {
    if (!store_) RaiseClosed("IniFile");
    return *store_;
  }

  const std::string& path() const { return path_; }
  bool closed() const { return !store_; }

  void Save() {
    CKdIni& store = Store();
    if (!store.bModified) return;  // nothing to write
    if (!store.WriteFile()) RaiseLibraryError(WriteFailure());
  }

  // Closed from the start, whatever happens: a failed save raises, and its
  // changes are gone (save() first keeps them for another try).
  void Close(bool save) {
    if (!store_) return;
    const std::unique_ptr<CKdIni> store = std::move(store_);
    const bool failed = save && store->bModified && !store->WriteFile();
    store->bModified = false;  // CKdIni's destructor must not write
    if (failed) RaiseLibraryError(WriteFailure());
  }

 private:
  py::str WriteFailure() const {
    return py::str("cannot write {} (the file is unchanged)").format(DecodePath(path_));
  }

  std::unique_ptr<CKdIni> store_;
  std::string path_;
};

// Whether the key exists: GetValue answers with the default only for a
// missing key, so two different defaults tell a missing key from any value.
bool HasKey(CKdIni& store, const GbkText& section, const GbkText& key) {
  return store.GetValue(section.c_str(), key.c_str(), "\x01") ==
         store.GetValue(section.c_str(), key.c_str(), "\x02");
}

// Key names of the first matching section; KeyError without one.
std::vector<std::string> KeyNames(CKdIni& store, const GbkText& section) {
  std::vector<std::string> keys;
  if (!store.GetKeysInSection(section.c_str(), keys)) RaiseKeyError(section);
  return keys;
}

bool HasSection(CKdIni& store, const GbkText& section) {
  std::vector<std::string> keys;
  return store.GetKeysInSection(section.c_str(), keys);
}

py::list DecodedList(const std::vector<std::string>& texts) {
  py::list list;
  for (const auto& text : texts) list.append(DecodeGbk(text));
  return list;
}

std::vector<std::string> SectionNames(CKdIni& store) {
  std::vector<std::string> sections;
  store.GetSections(sections);
  return sections;
}

// The raw value, or nothing when the key is missing.
bool RawValue(CKdIni& store, const GbkText& section, const GbkText& key, std::string& value) {
  if (!HasKey(store, section, key)) return false;
  value = store.GetValue(section.c_str(), key.c_str());
  return true;
}

py::object Get(IniFile& file, const GbkText& section, const GbkText& key,
               const py::object& fallback) {
  std::string value;
  return RawValue(file.Store(), section, key, value) ? py::object(DecodeGbk(value)) : fallback;
}

py::object GetBytes(IniFile& file, const GbkText& section, const GbkText& key,
                    const py::object& fallback) {
  std::string value;
  return RawValue(file.Store(), section, key, value) ? py::object(py::bytes(value)) : fallback;
}

py::str Lookup(IniFile& file, const GbkText& section, const GbkText& key) {
  std::string value;
  if (!RawValue(file.Store(), section, key, value)) RaiseKeyError(key);
  return DecodeGbk(value);
}

void Set(IniFile& file, const GbkText& section, const GbkText& key, const GbkText& value) {
  if (!file.Store().SetValue(section.c_str(), key.c_str(), value.c_str()))
    RaiseLibraryError(
        py::str("cannot store [{}] {}: the line would not read back as written (a line break, "
                "']' in the section, '=' in the key, or blanks around a name)")
            .format(ShownGbk(section.bytes), ShownGbk(key.bytes)));
}

void RemoveKey(IniFile& file, const GbkText& section, const GbkText& key) {
  CKdIni& store = file.Store();
  if (!HasSection(store, section)) RaiseKeyError(section);
  if (!store.RemoveKey(section.c_str(), key.c_str())) RaiseKeyError(key);
}

void Remove(IniFile& file, const GbkText& section, const std::optional<GbkText>& key) {
  if (key) return RemoveKey(file, section, *key);
  if (!file.Store().RemoveSection(section.c_str())) RaiseKeyError(section);
}

// A view of one section of an IniFile; it reads through to the store.
struct IniSection {
  py::object owner;  // the IniFile, kept alive by the view
  GbkText name;
  IniFile& file() const { return owner.cast<IniFile&>(); }
};

IniSection SectionOf(const py::object& owner, const GbkText& section) {
  if (!HasSection(owner.cast<IniFile&>().Store(), section)) RaiseKeyError(section);
  return IniSection{owner, section};
}

const char kIniFileDoc[] =
    R"(IniFile(path)

An INI file held in memory. Comments, blank lines and the exact text of every
unchanged line are written back as they were. Section and key names match
ignoring the case of A-Z; the first match wins.

Values are str, encoded to and decoded from GBK (GB18030 four-byte sequences
for the characters GBK lacks); names and values may also be given as bytes,
which pass unchanged, and get_bytes() returns raw values. A str with a
character that has neither form raises UnicodeEncodeError; a refused change or
a failed write raises dezov.Error with the reason; a missing section or key
raises KeyError.

A missing file is created empty. Changes are written by save(); like the C++
store, an IniFile also saves its changes when it ends: at close(), at the end
of a with-block, or when the object is collected (a failure there is reported
through sys.unraisablehook). A with-block left by an exception, and
close(save=False), discard the changes instead.

    with dezov.IniFile("app.ini") as ini:
        name = ini["User"]["Name"]
        ini.set("Server", "Port", "9090")
)";

}  // namespace

void BindIniFile(py::module_& module) {
  py::class_<IniSection>(module, "IniSection",
                         "A section of an IniFile, read and changed through the file "
                         "(ini[section]).")
      .def_property_readonly(
          "name", [](const IniSection& s) { return DecodeGbk(s.name.bytes); },
          "The section's name as it was asked for.")
      .def(
          "__getitem__",
          [](const IniSection& s, const GbkText& key) { return Lookup(s.file(), s.name, key); },
          "section[key] -> str: the value of the first matching key; KeyError without one.")
      .def(
          "__setitem__",
          [](const IniSection& s, const GbkText& key, const GbkText& value) {
            Set(s.file(), s.name, key, value);
          },
          "section[key] = value: IniFile.set for this section.")
      .def(
          "__delitem__",
          [](const IniSection& s, const GbkText& key) { RemoveKey(s.file(), s.name, key); },
          "del section[key]: IniFile.remove for this section.")
      .def(
          "__contains__",
          [](const IniSection& s, const GbkText& key) {
            return HasKey(s.file().Store(), s.name, key);
          },
          "key in section: whether the section has the key.")
      .def(
          "__iter__",
          [](const IniSection& s) {
            return py::iter(DecodedList(KeyNames(s.file().Store(), s.name)));
          },
          "Iterates over the key names, in file order.")
      .def(
          "__len__", [](const IniSection& s) { return KeyNames(s.file().Store(), s.name).size(); },
          "Number of keys.")
      .def(
          "keys",
          [](const IniSection& s) { return DecodedList(KeyNames(s.file().Store(), s.name)); },
          "keys() -> list[str]\n\nThe key names, in file order.")
      .def(
          "items",
          [](const IniSection& s) {
            py::list items;
            for (const auto& key : KeyNames(s.file().Store(), s.name))
              items.append(py::make_tuple(DecodeGbk(key), Lookup(s.file(), s.name, GbkText{key})));
            return items;
          },
          "items() -> list[tuple[str, str]]\n\nEach key name with the value that "
          "section[key] gives, in file order.")
      .def(
          "get",
          [](const IniSection& s, const GbkText& key, const py::object& fallback) {
            return Get(s.file(), s.name, key, fallback);
          },
          py::arg("key"), py::arg("default") = py::none(),
          "get(key, default=None) -> str | default\n\nThe value, or default when the key is "
          "missing.")
      .def(
          "get_bytes",
          [](const IniSection& s, const GbkText& key, const py::object& fallback) {
            return GetBytes(s.file(), s.name, key, fallback);
          },
          py::arg("key"), py::arg("default") = py::none(),
          "get_bytes(key, default=None) -> bytes | default\n\nThe raw (GBK) value, or default.")
      .def("__repr__", [](const IniSection& s) {
        return py::str("<dezov.IniSection {!r}>").format(ShownGbk(s.name.bytes));
      });

  py::class_<IniFile>(module, "IniFile", kIniFileDoc)
      .def(py::init<const FilePath&>(), py::arg("path"),
           "IniFile(path)\n\nReads the file (str, bytes or os.PathLike), creating it empty when "
           "missing;\ndezov.Error when it can be neither read nor created.")
      .def_property_readonly(
          "path", [](const IniFile& f) { return DecodePath(f.path()); }, "The file's name.")
      .def_property_readonly(
          "closed", &IniFile::closed, "True after close().")
      .def_property_readonly(
          "modified", [](const IniFile& f) { return f.Store().bModified; },
          "True while there are changes that are not written.")
      .def(
          "__getitem__",
          [](const py::object& self, const GbkText& section) { return SectionOf(self, section); },
          "ini[section] -> IniSection: a view of the first matching section; KeyError without "
          "one.")
      .def(
          "__contains__",
          [](const IniFile& f, const GbkText& section) { return HasSection(f.Store(), section); },
          "section in ini: whether the file has the section.")
      .def(
          "__iter__",
          [](const IniFile& f) { return py::iter(DecodedList(SectionNames(f.Store()))); },
          "Iterates over the section names, in file order (a repeated name repeats).")
      .def(
          "__len__", [](const IniFile& f) { return SectionNames(f.Store()).size(); },
          "Number of sections.")
      .def(
          "sections", [](const IniFile& f) { return DecodedList(SectionNames(f.Store())); },
          "sections() -> list[str]\n\nEvery section name, in file order.")
      .def(
          "keys",
          [](const IniFile& f, const GbkText& section) {
            return DecodedList(KeyNames(f.Store(), section));
          },
          py::arg("section"),
          "keys(section) -> list[str]\n\nThe key names of the first matching section, in file "
          "order; KeyError without one.")
      .def("get", &Get, py::arg("section"), py::arg("key"), py::arg("default") = py::none(),
           "get(section, key, default=None) -> str | default\n\nThe value of the first matching "
           "key, or default when it is missing.")
      .def("get_bytes", &GetBytes, py::arg("section"), py::arg("key"),
           py::arg("default") = py::none(),
           "get_bytes(section, key, default=None) -> bytes | default\n\nThe raw (GBK) value, or "
           "default.")
      .def("set", &Set, py::arg("section"), py::arg("key"), py::arg("value"),
           "set(section, key, value) -> None\n\nSets the value, adding the section and the key "
           "at the end when missing.\nRaises dezov.Error (nothing changed) when the line would "
           "not read back as written.")
      .def("remove", &Remove, py::arg("section"), py::arg("key") = py::none(),
           "remove(section, key=None) -> None\n\nRemoves the first matching key (and its section "
           "when it was the last key),\nor without key the first matching section with all its "
           "keys; KeyError when missing.")
      .def("save", &IniFile::Save,
           "save() -> None\n\nWrites the changes over the file atomically; nothing when there "
           "are none.\nRaises dezov.Error when the write fails: the file is then unchanged and "
           "the\nchanges are kept.")
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
