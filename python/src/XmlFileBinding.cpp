// dezov.XmlFile, its section view and its records over CXmlIni.
#include "XmlFileBinding.h"

#include <pybind11/stl.h>

#include <optional>
#include <vector>

#include "Bindings.h"
#include "ModuleSupport.h"

namespace py = pybind11;

namespace dezov {
namespace python {

XmlFile::XmlFile(const FilePath& path) : store_(std::make_unique<CXmlIni>()), path_(path.bytes) {
  bool opened = store_->Open(path.c_str());
  // False with no message: the file was missing and has just been created.
  if (!opened && store_->GetLastErrMsg().empty()) opened = store_->Open(path.c_str());
  if (!opened)
    RaiseLibraryError(py::str("cannot open {}: {}")
                          .format(DecodePath(path_), ShownGbk(store_->GetLastErrMsg())));
}

XmlFile::~XmlFile() {
  if (!store_ || !changed_) return;
  try {
    WarnResource(py::str("XmlFile {!r} ended without saving its changes; they are discarded")
                     .format(DecodePath(path_)));
  } catch (...) {  // an end must not throw
  }
}

CXmlIni& XmlFile::Store() const {
  if (!store_) RaiseClosed("XmlFile");
  return *store_;
}

void XmlFile::Save() {
  CXmlIni& store = Store();
  if (!store.WriteFile())
    RaiseLibraryError(py::str("cannot write {}: {} (the file is unchanged)")
                          .format(DecodePath(path_), ShownGbk(store.GetLastErrMsg())));
  changed_ = false;
}

void XmlFile::Close(bool save) {
  if (!store_) return;
  if (save && changed_) {
    // Closed whatever happens, as IniFile.close is.
    const std::unique_ptr<CXmlIni> store = std::move(store_);
    changed_ = false;
    if (!store->WriteFile())
      RaiseLibraryError(py::str("cannot write {}: {} (the file is unchanged)")
                            .format(DecodePath(path_), ShownGbk(store->GetLastErrMsg())));
    return;
  }
  changed_ = false;
  store_.reset();
}

namespace {

// Fails with the store's last error text, or with fallback when it has none.
[[noreturn]] void RaiseStoreError(const XmlFile& file, const py::str& fallback) {
  const std::string reason = file.Store().GetLastErrMsg();
  RaiseLibraryError(reason.empty() ? fallback : ShownGbk(reason));
}

bool HasKey(const XmlFile& file, const GbkText& section, const GbkText& key, int index) {
  return file.Store().HaveNode(KeyPath(section, key).c_str(), index);
}

bool HasElement(const XmlFile& file, const GbkText& path) {
  return file.Store().HaveNode(path.c_str(), 0);
}

py::list DecodedList(const std::vector<std::string>& texts) {
  py::list list;
  for (const auto& text : texts) list.append(DecodeGbk(text));
  return list;
}

std::vector<std::string> SectionNames(const XmlFile& file) {
  std::vector<std::string> sections;
  file.Store().GetSections(sections);
  return sections;
}

std::vector<std::string> KeyNames(const XmlFile& file, const GbkText& section) {
  std::vector<std::string> keys;
  if (!file.Store().GetKeysInSection(section.c_str(), keys)) RaiseKeyError(section);
  return keys;
}

py::object Get(const XmlFile& file, const GbkText& section, const GbkText& key,
               const py::object& fallback, int index) {
  if (!HasKey(file, section, key, index)) return fallback;
  return DecodeGbk(file.Store().GetValue(section.c_str(), key.c_str(), index));
}

py::object GetBytes(const XmlFile& file, const GbkText& section, const GbkText& key,
                    const py::object& fallback, int index) {
  if (!HasKey(file, section, key, index)) return fallback;
  return py::bytes(file.Store().GetValue(section.c_str(), key.c_str(), index));
}

py::str Lookup(const XmlFile& file, const GbkText& section, const GbkText& key) {
  if (!HasKey(file, section, key, 0)) RaiseKeyError(key);
  return DecodeGbk(file.Store().GetValue(section.c_str(), key.c_str(), 0));
}

py::str NotStored(const std::string& path, int index) {
  return py::str("cannot store a value at {} (index {}): no such element, or its name cannot "
                 "be stored")
      .format(ShownGbk(path), index);
}

void SetText(XmlFile& file, const GbkText& section, const GbkText& key, const GbkText& value,
             int index) {
  if (!file.Store().SetValue(section.c_str(), key.c_str(), value.c_str(), index))
    RaiseStoreError(file, NotStored(KeyPath(section, key), index));
  file.MarkChanged();
}

void SetNumber(XmlFile& file, const GbkText& section, const GbkText& key, long value, int index) {
  if (!file.Store().SetValue(section.c_str(), key.c_str(), value, index))
    RaiseStoreError(file, NotStored(KeyPath(section, key), index));
  file.MarkChanged();
}

void RemoveKey(XmlFile& file, const GbkText& section, const GbkText& key) {
  if (!file.Store().RemoveKey(section.c_str(), key.c_str())) RaiseKeyError(key);
  file.MarkChanged();
}

void Remove(XmlFile& file, const GbkText& section, const std::optional<GbkText>& key) {
  if (key) return RemoveKey(file, section, *key);
  if (!file.Store().RemoveSection(section.c_str())) RaiseKeyError(section);
  file.MarkChanged();
}

py::object GetAttribute(const XmlFile& file, const GbkText& path, const GbkText& name,
                        const py::object& fallback, int index) {
  if (!file.Store().HaveAttribute(path.c_str(), name.c_str(), index)) return fallback;
  return DecodeGbk(file.Store().GetAttribute(path.c_str(), name.c_str(), index));
}

void SetAttribute(XmlFile& file, const GbkText& path, const GbkText& name, const GbkText& value,
                  int index) {
  if (!file.Store().SetAttribute(path.c_str(), name.c_str(), value.c_str(), index))
    RaiseStoreError(file, NotStored(path.bytes, index));
  file.MarkChanged();
}

void RemoveAttribute(XmlFile& file, const GbkText& path, const GbkText& name, int index) {
  if (!file.Store().RemoveAttribute(path.c_str(), name.c_str(), index)) RaiseKeyError(name);
  file.MarkChanged();
}

void ClearAttributes(XmlFile& file, const GbkText& path) {
  if (!file.Store().ClearAttribute(path.c_str())) RaiseKeyError(path);
  file.MarkChanged();
}

// Appends an element at path and stores the attributes in it, in the
// mapping's order, through the record cursor.
void Append(XmlFile& file, const GbkText& path, const py::object& attributes) {
  CXmlIni& store = file.Store();
  if (!store.Append(path.c_str()))
    RaiseStoreError(file, py::str("cannot append an element at {}").format(ShownGbk(path.bytes)));
  file.MarkChanged();
  if (attributes.is_none()) return;
  for (const auto& item : py::reinterpret_borrow<py::dict>(py::dict(attributes))) {
    const GbkText name = item.first.cast<GbkText>();
    const py::handle value = item.second;
    bool stored;
    if (PyFloat_Check(value.ptr()))
      stored = store.Set(name.c_str(), value.cast<double>());
    else if (PyLong_Check(value.ptr()))
      stored = store.Set(name.c_str(), value.cast<long>());
    else
      stored = store.Set(name.c_str(), value.cast<GbkText>().c_str());
    if (!stored)
      RaiseStoreError(file,
                      py::str("cannot set the attribute {}").format(ShownGbk(name.bytes)));
  }
}

// A view of one section of an XmlFile; it reads through to the store.
struct XmlSection {
  py::object owner;  // the XmlFile, kept alive by the view
  GbkText name;
  XmlFile& file() const { return owner.cast<XmlFile&>(); }
};

// One record of a list, read on demand: the library has no call that lists an
// element's attributes, so a Record answers for any name but cannot be iterated.
struct Record {
  py::object owner;
  std::string path;  // element path of the records; index picks this one
  int index;
  XmlFile& file() const { return owner.cast<XmlFile&>(); }
  bool Has(const GbkText& name) const {
    return file().Store().HaveAttribute(path.c_str(), name.c_str(), index);
  }
  std::string Value(const GbkText& name) const {
    return file().Store().GetAttribute(path.c_str(), name.c_str(), index);
  }
};

// Iterates over the records of one list: a dict of the asked attributes each,
// or a Record when none were asked for.
struct RecordIterator {
  py::object owner;
  std::string path;
  std::optional<std::vector<py::object>> attributes;
  long count;
  int next = 0;

  py::object Next() {
    XmlFile& file = owner.cast<XmlFile&>();
    if (next >= count || !file.Store().HaveNode(path.c_str(), next)) throw py::stop_iteration();
    Record record{owner, path, next++};
    if (!attributes) return py::cast(record);
    py::dict values;
    for (const auto& name : *attributes) {
      const GbkText attribute = name.cast<GbkText>();
      if (record.Has(attribute)) values[name] = DecodeGbk(record.Value(attribute));
    }
    return std::move(values);
  }
};

RecordIterator Records(const py::object& owner, const GbkText& path, const GbkText& name,
                       const std::optional<std::vector<py::object>>& attributes) {
  XmlFile& file = owner.cast<XmlFile&>();
  if (attributes)
    for (const auto& attribute : *attributes) attribute.cast<GbkText>();  // fail early
  if (!file.Store().Locate(path.c_str(), name.c_str())) RaiseKeyError(name);
  // The same element path as the cursor's list: path, or path\name.
  const std::string records = name.bytes.empty() ? path.bytes : KeyPath(path, name);
  return RecordIterator{owner, records, attributes, file.Store().GetCount()};
}

const char kXmlFileDoc[] =
    R"(XmlFile(path)

An XML configuration file under the root element "vornini", held in memory. A
section is an element below the root, a key an element in a section, and a
key's value its attribute "Value". Paths such as "STATIONS\\Station" address
deeper elements; names match ignoring the case of A-Z.

Values are str, encoded to and decoded from GBK (GB18030 four-byte sequences
for the characters GBK lacks, as the store writes them); names and values may
also be given as bytes, which pass unchanged. A str with a character that has
neither form raises UnicodeEncodeError; a refused change or a failed write
raises dezov.Error with the library's reason; a missing element or attribute
raises KeyError.

A missing file is created with the default document. Changes stay in memory
until save(); close() and the end of a with-block save them when there are
any (a with-block left by an exception discards them). Like the C++ store, an
XmlFile never writes when it is collected: unsaved changes are dropped with a
ResourceWarning.

    with dezov.XmlFile("stations.xml") as xml:
        title = xml["SERVER"]["Title"]
        for station in xml.records("STATIONS", "Station"):
            print(station["name"], station["host"])
)";

}  // namespace

void BindXmlFile(py::module_& module) {
  py::class_<Record>(module, "Record",
                     "One record of XmlFile.records(), read on demand. Any attribute can be "
                     "asked for;\nthe library cannot list them, so a Record cannot be iterated: "
                     "pass attrs=\nto records() for dicts.")
      .def_readonly("index", &Record::index, "The record's position in its list, from 0.")
      .def(
          "__getitem__",
          [](const Record& r, const GbkText& name) {
            if (!r.Has(name)) RaiseKeyError(name);
            return DecodeGbk(r.Value(name));
          },
          "record[name] -> str: the attribute; KeyError when the record lacks it.")
      .def(
          "__contains__", [](const Record& r, const GbkText& name) { return r.Has(name); },
          "name in record: whether the record has the attribute.")
      .def(
          "get",
          [](const Record& r, const GbkText& name, const py::object& fallback) -> py::object {
            return r.Has(name) ? py::object(DecodeGbk(r.Value(name))) : fallback;
          },
          py::arg("name"), py::arg("default") = py::none(),
          "get(name, default=None) -> str | default")
      .def(
          "get_bytes",
          [](const Record& r, const GbkText& name, const py::object& fallback) -> py::object {
            return r.Has(name) ? py::object(py::bytes(r.Value(name))) : fallback;
          },
          py::arg("name"), py::arg("default") = py::none(),
          "get_bytes(name, default=None) -> bytes | default")
      .def(
          "__iter__",
          [](const Record&) -> py::object {
            throw py::type_error(
                "the attributes of a record cannot be listed; pass attrs= to records()");
          },
          "Raises TypeError: the library cannot list a record's attributes.")
      .def("__repr__", [](const Record& r) {
        return py::str("<dezov.Record {}[{}]>").format(ShownGbk(r.path), r.index);
      });

  py::class_<RecordIterator>(module, "RecordIterator", "Iterator returned by XmlFile.records().")
      .def("__iter__", [](const py::object& self) { return self; })
      .def("__next__", &RecordIterator::Next);

  py::class_<XmlSection>(module, "XmlSection",
                         "A section of an XmlFile, read and changed through the file "
                         "(xml[section]).")
      .def_property_readonly(
          "name", [](const XmlSection& s) { return DecodeGbk(s.name.bytes); },
          "The section's name as it was asked for.")
      .def(
          "__getitem__",
          [](const XmlSection& s, const GbkText& key) { return Lookup(s.file(), s.name, key); },
          "section[key] -> str: the key's value (\"\" without one); KeyError without the key.")
      .def(
          "__setitem__",
          [](const XmlSection& s, const GbkText& key, const GbkText& value) {
            SetText(s.file(), s.name, key, value, 0);
          },
          "section[key] = value: XmlFile.set for this section.")
      .def(
          "__delitem__",
          [](const XmlSection& s, const GbkText& key) { RemoveKey(s.file(), s.name, key); },
          "del section[key]: removes every key of that name in the section.")
      .def(
          "__contains__",
          [](const XmlSection& s, const GbkText& key) { return HasKey(s.file(), s.name, key, 0); },
          "key in section: whether the section has the key.")
      .def(
          "__iter__",
          [](const XmlSection& s) { return py::iter(DecodedList(KeyNames(s.file(), s.name))); },
          "Iterates over the key names, in document order.")
      .def(
          "__len__", [](const XmlSection& s) { return KeyNames(s.file(), s.name).size(); },
          "Number of keys.")
      .def(
          "keys", [](const XmlSection& s) { return DecodedList(KeyNames(s.file(), s.name)); },
          "keys() -> list[str]\n\nThe key names, in document order.")
      .def(
          "get",
          [](const XmlSection& s, const GbkText& key, const py::object& fallback, int index) {
            return Get(s.file(), s.name, key, fallback, index);
          },
          py::arg("key"), py::arg("default") = py::none(), py::arg("index") = 0,
          "get(key, default=None, index=0) -> str | default")
      .def("__repr__", [](const XmlSection& s) {
        return py::str("<dezov.XmlSection {!r}>").format(ShownGbk(s.name.bytes));
      });

  py::class_<XmlFile>(module, "XmlFile", kXmlFileDoc)
      .def(py::init<const FilePath&>(), py::arg("path"),
           "XmlFile(path)\n\nReads the file (str, bytes or os.PathLike), creating a missing "
           "one with the\ndefault document; dezov.Error with the reason when it cannot be "
           "opened.")
      .def_property_readonly(
          "path", [](const XmlFile& f) { return DecodePath(f.path()); }, "The file's name.")
      .def_property_readonly("closed", &XmlFile::closed, "True after close().")
      .def_property_readonly(
          "modified",
          [](const XmlFile& f) {
            f.Store();
            return f.changed();
          },
          "True after a change that is not saved yet.")
      .def(
          "__getitem__",
          [](const py::object& self, const GbkText& section) {
            if (!HasElement(self.cast<XmlFile&>(), section)) RaiseKeyError(section);
            return XmlSection{self, section};
          },
          "xml[section] -> XmlSection: a view of the first matching section; KeyError without "
          "one.")
      .def(
          "__contains__",
          [](const XmlFile& f, const GbkText& section) { return HasElement(f, section); },
          "section in xml: whether the document has the section.")
      .def(
          "__iter__", [](const XmlFile& f) { return py::iter(DecodedList(SectionNames(f))); },
          "Iterates over the section names, in document order.")
      .def(
          "__len__", [](const XmlFile& f) { return SectionNames(f).size(); },
          "Number of sections.")
      .def(
          "sections", [](const XmlFile& f) { return DecodedList(SectionNames(f)); },
          "sections() -> list[str]\n\nThe name of every element below the root, in document "
          "order.")
      .def(
          "keys",
          [](const XmlFile& f, const GbkText& section) {
            return DecodedList(KeyNames(f, section));
          },
          py::arg("section"),
          "keys(section) -> list[str]\n\nThe element names in the first matching section; "
          "KeyError without one.")
      .def("get", &Get, py::arg("section"), py::arg("key"), py::arg("default") = py::none(),
           py::arg("index") = 0,
           "get(section, key, default=None, index=0) -> str | default\n\nThe value of the "
           "index-th key of that name in the first matching section\n(\"\" when the key has no "
           "value), or default when there is no such key.")
      .def("get_bytes", &GetBytes, py::arg("section"), py::arg("key"),
           py::arg("default") = py::none(), py::arg("index") = 0,
           "get_bytes(section, key, default=None, index=0) -> bytes | default\n\nThe raw (GBK) "
           "value, or default.")
      .def("set", &SetText, py::arg("section"), py::arg("key"), py::arg("value"),
           py::arg("index") = 0,
           "set(section, key, value, index=0) -> None\n\nStores the value (str, bytes, or int "
           "written in decimal); index 0 creates\nthe section and the key when missing. Raises "
           "dezov.Error when there is no\nsuch key (index > 0) or the text cannot be stored.")
      .def("set", &SetNumber, py::arg("section"), py::arg("key"), py::arg("value"),
           py::arg("index") = 0)
      .def("remove", &Remove, py::arg("section"), py::arg("key") = py::none(),
           "remove(section, key=None) -> None\n\nRemoves every key of that name in the first "
           "matching section, or without key\nevery element matching the section path; KeyError "
           "when none was there.")
      .def(
          "has_node",
          [](const XmlFile& f, const GbkText& path, int index) {
            return f.Store().HaveNode(path.c_str(), index);
          },
          py::arg("path"), py::arg("index") = 0,
          "has_node(path, index=0) -> bool\n\nWhether the index-th element at the path exists.")
      .def("get_attribute", &GetAttribute, py::arg("path"), py::arg("name"),
           py::arg("default") = py::none(), py::arg("index") = 0,
           "get_attribute(path, name, default=None, index=0) -> str | default\n\nAn attribute of "
           "the index-th element at the path, or default without it.")
      .def("set_attribute", &SetAttribute, py::arg("path"), py::arg("name"), py::arg("value"),
           py::arg("index") = 0,
           "set_attribute(path, name, value, index=0) -> None\n\nSets an attribute (exact-case "
           "name); index 0 creates missing elements.")
      .def(
          "has_attribute",
          [](const XmlFile& f, const GbkText& path, const GbkText& name, int index) {
            return f.Store().HaveAttribute(path.c_str(), name.c_str(), index);
          },
          py::arg("path"), py::arg("name"), py::arg("index") = 0,
          "has_attribute(path, name, index=0) -> bool")
      .def("remove_attribute", &RemoveAttribute, py::arg("path"), py::arg("name"),
           py::arg("index") = 0,
           "remove_attribute(path, name, index=0) -> None\n\nRemoves the first attribute of "
           "that name (every attribute for \"\");\nKeyError when there was none.")
      .def("clear_attributes", &ClearAttributes, py::arg("path"),
           "clear_attributes(path) -> None\n\nRemoves every attribute of the first element at "
           "the path; KeyError without it.")
      .def("records", &Records, py::arg("path"), py::arg("name"), py::arg("attrs") = py::none(),
           "records(path, name, attrs=None) -> Iterator[Record] | Iterator[dict[str, str]]\n\n"
           "The records named name in the list at path, in document order. With attrs\n"
           "(names), each record is a dict of those of its attributes that it has;\n"
           "without, a Record that reads any attribute on demand. KeyError when the\n"
           "list has no such record.")
      .def("append", &Append, py::arg("path"), py::arg("attrs") = py::none(),
           "append(path, attrs=None) -> None\n\nAppends a new element at the path (a record) "
           "and sets its attributes from\nthe mapping: str, bytes, int, or float (six "
           "decimals).")
      .def("save", &XmlFile::Save,
           "save() -> None\n\nWrites the whole document over the file atomically. Raises "
           "dezov.Error with\nthe library's reason on failure; the file is then unchanged.")
      .def("close", &XmlFile::Close, py::arg("save") = true,
           "close(save=True) -> None\n\nSaves the changes, if any (unless save is False), and "
           "releases the file;\nclosed even when the save fails and raises.")
      .def(
          "__enter__", [](const py::object& self) { return self; },
          "with XmlFile(path) as xml: the file, closed at the end of the block.")
      .def(
          "__exit__",
          [](XmlFile& f, const py::object& type, const py::object&, const py::object&) {
            f.Close(type.is_none());
          },
          "Closes the file: saves changes on a normal exit, discards them after an exception.")
      .def("__repr__", [](const XmlFile& f) {
        return py::str("<dezov.XmlFile {!r}{}>")
            .format(DecodePath(f.path()), f.closed() ? " closed" : "");
      });
}

}  // namespace python
}  // namespace dezov
