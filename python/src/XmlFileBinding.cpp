// SPDX-License-Identifier: MIT
// dezov.XmlFile, its section view and its records over CXmlIni.
#include "XmlFileBinding.h"

#include <pybind11/stl.h>

#include <optional>
#include <utility>
#include <vector>

#include "Bindings.h"
#include "StoreNames.h"

namespace py = pybind11;

namespace dezov {
namespace python {
namespace {

constexpr char kWriteFailed[] = " (the file is unchanged)";

}  // namespace

XmlFile::XmlFile(const FilePath& path) : store_(std::make_unique<CXmlIni>()), path_(path.bytes) {
  bool opened;
  std::string reason;
  {
    py::gil_scoped_release release;
    opened = store_->Open(path_.c_str());
    // False with no reason: the file was missing and has just been created.
    if (!opened && store_->GetLastErrMsg().empty()) opened = store_->Open(path_.c_str());
    if (!opened) reason = store_->GetLastErrMsg();
  }
  if (!opened) RaiseFileError(reason, path_);
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
  StoreLock::Use use(lock_);
  CXmlIni& store = Store();
  bool written;
  std::string reason;
  {
    py::gil_scoped_release release;
    written = store.WriteFile();
    if (!written) reason = store.GetLastErrMsg();
  }
  if (!written) RaiseFileError(reason, path_, kWriteFailed);
  changed_ = false;
}

void XmlFile::Close(bool save) {
  StoreLock::Use use(lock_);
  if (!store_) return;
  // Closed whatever happens, as IniFile.close is.
  const std::unique_ptr<CXmlIni> store = std::move(store_);
  const bool write = save && changed_;
  changed_ = false;
  if (!write) return;
  bool written;
  std::string reason;
  {
    py::gil_scoped_release release;
    written = store->WriteFile();
    if (!written) reason = store->GetLastErrMsg();
  }
  if (!written) RaiseFileError(reason, path_, kWriteFailed);
}

namespace {

// The GBK bytes of a name argument.
std::string Gbk(const py::handle& text, const char* what) {
  return EncodeText(text, TextEncoding::kGbk, what);
}

py::list Decoded(const std::vector<std::string>& texts) {
  py::list list;
  for (const auto& text : texts) list.append(DecodeText(text, TextEncoding::kGbk));
  return list;
}

// An empty document for trying names and values on, as every CXmlIni takes them.
class ScratchDocument {
 public:
  ScratchDocument() {
    static const char kEmpty[] = "<vornini/>";
    store_.OpenBuffer(kEmpty, sizeof kEmpty - 1);
  }
  CXmlIni& store() { return store_; }

 private:
  CXmlIni store_;
};

bool HasSection(CXmlIni& store, const std::string& section) {
  return store.HaveNode(section.c_str(), 0);
}

std::vector<std::string> SectionNames(XmlFile& file) {
  XmlInUse store(file);
  std::vector<std::string> sections;
  store->GetSections(sections);
  return FirstOfEachName(sections);
}

std::vector<std::string> KeyNames(XmlFile& file, const py::handle& section) {
  const std::string name = Gbk(section, "section names");
  XmlInUse store(file);
  std::vector<std::string> keys;
  // GetKeysInSection lists nothing, successfully, for a missing section.
  if (!HasSection(*store, name) || !store->GetKeysInSection(name.c_str(), keys))
    RaiseKeyError(section);
  return FirstOfEachName(keys);
}

bool Contains(XmlFile& file, const py::handle& section) {
  const std::string name = Gbk(section, "section names");
  XmlInUse store(file);
  return HasSection(*store, name);
}

// The index-th value of the key; false when there is no such key.
bool RawValue(XmlFile& file, const py::handle& section, const py::handle& key, int index,
              std::string& value) {
  const std::string sectionName = Gbk(section, "section names");
  const std::string keyName = Gbk(key, "key names");
  XmlInUse store(file);
  if (!store->HaveKey(sectionName.c_str(), keyName.c_str(), index)) return false;
  value = store->GetValue(sectionName.c_str(), keyName.c_str(), index);
  return true;
}

bool ContainsKey(XmlFile& file, const py::handle& section, const py::handle& key) {
  std::string value;
  return RawValue(file, section, key, 0, value);
}

py::object Get(XmlFile& file, const py::handle& section, const py::handle& key,
               const py::object& fallback, int index, const py::object& keywordFallback) {
  std::string value;
  if (RawValue(file, section, key, index, value)) return DecodeText(value, TextEncoding::kGbk);
  return keywordFallback.is_none() ? fallback : keywordFallback;
}

py::object GetBytes(XmlFile& file, const py::handle& section, const py::handle& key,
                    const py::object& fallback, int index) {
  std::string value;
  if (RawValue(file, section, key, index, value)) return py::bytes(value);
  return fallback;
}

// KeyError naming the section when it is missing, else the key.
[[noreturn]] void RaiseMissing(XmlFile& file, const py::handle& section, const py::handle& key) {
  const std::string name = Gbk(section, "section names");
  XmlInUse store(file);
  RaiseKeyError(HasSection(*store, name) ? key : section);
}

py::str Lookup(XmlFile& file, const py::handle& section, const py::handle& key) {
  std::string value;
  if (!RawValue(file, section, key, 0, value)) RaiseMissing(file, section, key);
  return DecodeText(value, TextEncoding::kGbk);
}

// Refused with the store's reason, or with fallback when it gives none.
[[noreturn]] void RaiseStoreRefusal(CXmlIni& store, const py::str& fallback) {
  const std::string reason = store.GetLastErrMsg();
  RaiseRefused(reason.empty() ? fallback : ShownText(reason));
}

py::str NotStored(const std::string& section, const std::string& key) {
  return py::str("cannot store [{}] {}").format(ShownText(section), ShownText(key));
}

void Set(XmlFile& file, const py::handle& section, const py::handle& key,
         const py::handle& value, int index) {
  const std::string sectionName = Gbk(section, "section names");
  const std::string keyName = Gbk(key, "key names");
  const std::string text = EncodeValue(value, TextEncoding::kGbk);
  XmlInUse store(file);
  // Only the first key of a name is made when missing.
  if (index > 0 && !store->HaveKey(sectionName.c_str(), keyName.c_str(), index))
    RaiseMissing(file, section, key);
  if (!store->SetValue(sectionName.c_str(), keyName.c_str(), text.c_str(), index))
    RaiseStoreRefusal(*store, NotStored(sectionName, keyName));
  file.MarkChanged();
}

void RemoveKey(XmlFile& file, const py::handle& section, const py::handle& key) {
  const std::string sectionName = Gbk(section, "section names");
  const std::string keyName = Gbk(key, "key names");
  XmlInUse store(file);
  if (!HasSection(*store, sectionName)) RaiseKeyError(section);
  if (!store->RemoveKey(sectionName.c_str(), keyName.c_str())) RaiseKeyError(key);
  file.MarkChanged();
}

void RemoveSection(XmlFile& file, const py::handle& section) {
  const std::string name = Gbk(section, "section names");
  XmlInUse store(file);
  if (!store->RemoveSection(name.c_str())) RaiseKeyError(section);
  file.MarkChanged();
}

void Remove(XmlFile& file, const py::handle& section, const py::object& key) {
  if (key.is_none()) return RemoveSection(file, section);
  RemoveKey(file, section, key);
}

// Appends an empty section (after trying its name on a scratch document).
void AppendSection(XmlFile& file, CXmlIni& store, const std::string& section) {
  ScratchDocument scratch;
  if (!scratch.store().Append(section.c_str()) || !store.Append(section.c_str()))
    RaiseStoreRefusal(store, py::str("cannot add the section [{}]").format(ShownText(section)));
  file.MarkChanged();
}

void AddSection(XmlFile& file, const py::handle& section) {
  const std::string name = Gbk(section, "section names");
  XmlInUse store(file);
  if (HasSection(*store, name))
    RaiseRefused(py::str("section [{}] already exists").format(ShownText(name)));
  AppendSection(file, *store, name);
}

// xml[section] = mapping: the section holds exactly the mapping's keys, one
// element each with its value, afterwards. Every name and value is tried on
// a scratch document first, so a refusal changes nothing.
void ReplaceSection(XmlFile& file, const py::handle& section, const py::handle& mapping) {
  const std::string name = Gbk(section, "section names");
  std::vector<std::pair<std::string, std::string>> values;
  const py::object items = py::reinterpret_borrow<py::object>(mapping).attr("items")();
  for (const py::handle item : items) {
    const py::tuple pair = py::reinterpret_borrow<py::tuple>(item);
    values.emplace_back(Gbk(pair[0], "key names"), EncodeValue(pair[1], TextEncoding::kGbk));
  }
  ScratchDocument scratch;
  for (const auto& [key, value] : values)
    if (!scratch.store().SetValue(name.c_str(), key.c_str(), value.c_str()))
      RaiseStoreRefusal(scratch.store(), NotStored(name, key));

  XmlInUse store(file);
  if (!HasSection(*store, name)) AppendSection(file, *store, name);
  SeenNames kept;
  for (const auto& [key, value] : values) {
    store->SetValue(name.c_str(), key.c_str(), value.c_str());
    kept.Add(key);
  }
  std::vector<std::string> old;
  store->GetKeysInSection(name.c_str(), old);
  for (const auto& key : FirstOfEachName(old))
    if (kept.Add(key)) store->RemoveKey(name.c_str(), key.c_str());
  file.MarkChanged();
}

py::object GetAttribute(XmlFile& file, const GbkText& path, const GbkText& name,
                        const py::object& fallback, int index) {
  XmlInUse store(file);
  if (!store->HaveAttribute(path.c_str(), name.c_str(), index)) return fallback;
  return DecodeText(store->GetAttribute(path.c_str(), name.c_str(), index), TextEncoding::kGbk);
}

void SetAttribute(XmlFile& file, const GbkText& path, const GbkText& name,
                  const py::handle& value, int index) {
  const std::string text = EncodeValue(value, TextEncoding::kGbk);
  XmlInUse store(file);
  if (!store->SetAttribute(path.c_str(), name.c_str(), text.c_str(), index))
    RaiseStoreRefusal(*store, py::str("cannot set the attribute {} of {} (index {}): no such "
                                      "element, or its name cannot be stored")
                                  .format(ShownText(name.bytes), ShownText(path.bytes), index));
  file.MarkChanged();
}

void RemoveAttribute(XmlFile& file, const GbkText& path, const py::object& name, int index) {
  const std::string attribute = Gbk(name, "attribute names");
  XmlInUse store(file);
  if (!store->RemoveAttribute(path.c_str(), attribute.c_str(), index)) RaiseKeyError(name);
  file.MarkChanged();
}

void ClearAttributes(XmlFile& file, const py::object& path) {
  const std::string element = Gbk(path, "paths");
  XmlInUse store(file);
  if (!store->ClearAttribute(element.c_str())) RaiseKeyError(path);
  file.MarkChanged();
}

// Appends an element at path and stores the attributes in it, in the
// mapping's order, through the record cursor: a float with the cursor's six
// decimals, any other value as EncodeValue writes it.
void Append(XmlFile& file, const GbkText& path, const py::object& attributes) {
  std::vector<std::pair<std::string, py::object>> values;
  if (!attributes.is_none())
    for (const auto& item : py::dict(attributes))
      values.emplace_back(Gbk(item.first, "attribute names"),
                          py::reinterpret_borrow<py::object>(item.second));
  XmlInUse store(file);
  if (!store->Append(path.c_str()))
    RaiseStoreRefusal(*store,
                      py::str("cannot append an element at {}").format(ShownText(path.bytes)));
  file.MarkChanged();
  for (const auto& [name, value] : values) {
    const bool stored =
        PyFloat_Check(value.ptr())
            ? store->Set(name.c_str(), value.cast<double>())
            : store->Set(name.c_str(), EncodeValue(value, TextEncoding::kGbk).c_str());
    if (!stored)
      RaiseStoreRefusal(*store, py::str("cannot set the attribute {}").format(ShownText(name)));
  }
}

// A view of one section of an XmlFile; it reads through to the store.
struct XmlSection {
  py::object owner;  // the XmlFile, kept alive by the view
  py::object name;   // the section's name as asked for
  XmlFile& file() const { return owner.cast<XmlFile&>(); }
};

// One record of a list, read on demand: the library has no call that lists an
// element's attributes, so a Record answers for any name but cannot be iterated.
struct Record {
  py::object owner;
  std::string path;  // element path of the records; index picks this one
  int index;
  XmlFile& file() const { return owner.cast<XmlFile&>(); }
  bool Value(const py::handle& name, std::string& value) const {
    const std::string attribute = Gbk(name, "attribute names");
    XmlInUse store(file());
    if (!store->HaveAttribute(path.c_str(), attribute.c_str(), index)) return false;
    value = store->GetAttribute(path.c_str(), attribute.c_str(), index);
    return true;
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
    {
      XmlInUse store(owner.cast<XmlFile&>());
      if (next >= count || !store->HaveNode(path.c_str(), next)) throw py::stop_iteration();
    }
    Record record{owner, path, next++};
    if (!attributes) return py::cast(record);
    py::dict values;
    std::string value;
    for (const auto& name : *attributes)
      if (record.Value(name, value)) values[name] = DecodeText(value, TextEncoding::kGbk);
    return std::move(values);
  }
};

RecordIterator Records(const py::object& owner, const GbkText& path, const py::object& name,
                       const std::optional<std::vector<py::object>>& attributes) {
  XmlFile& file = owner.cast<XmlFile&>();
  const GbkText records{Gbk(name, "record names")};
  if (attributes)
    for (const auto& attribute : *attributes) Gbk(attribute, "attribute names");  // fail early
  XmlInUse store(file);
  if (!store->Locate(path.c_str(), records.c_str())) RaiseKeyError(name);
  // The element path of the records, as the cursor's list reads it.
  const std::string elements =
      records.bytes.empty() ? path.bytes : ElementPath(path.bytes, records.bytes);
  return RecordIterator{owner, elements, attributes, store->GetCount()};
}

const char kXmlFileDoc[] =
    R"(XmlFile(path)

An XML configuration file under the root element "vornini", held in memory. A
section is an element below the root, a key an element in a section, and a
key's value its attribute "Value". Paths such as "STATIONS\\Station" address
deeper elements; names match ignoring the case of A-Z.

A mutable mapping of section names to sections, as configparser's parser is:
xml["S"]["k"], "S" in xml, dict(xml), xml["S"] = {"k": "v"}, del xml["S"],
get/getint/getfloat/getboolean with fallback=, has_section, has_option,
add_section, sections() and options(). Values are str; int, float and bool
values are stored as their text ("true"/"false" for bool).

Text is GBK at the store's interface, whatever the file's declared encoding
(the library's rule: code page 936 with GB18030 four-byte forms); the store
writes the whole document in it. Names and values may also be given as
bytes, which pass unchanged. A refused name or value raises
dezov.RefusedError, a failed read or write dezov.Error (an OSError) with the
library's reason; a missing element or attribute raises KeyError.

A missing file is created with the default document. Changes stay in memory
until save(); close() and the end of a with-block save them when there are
any (a with-block left by an exception discards them). Like the C++ store, an
XmlFile never writes when it is collected: unsaved changes are dropped with a
ResourceWarning. Reads and saves run without the interpreter's lock; other
threads using the same file wait for them.

    with dezov.XmlFile("stations.xml") as xml:
        title = xml["SERVER"]["Title"]
        for station in xml.records("STATIONS", "Station"):
            print(station["name"], station["host"])
)";

void BindRecords(py::module_& module) {
  py::class_<Record>(module, "Record",
                     "One record of XmlFile.records(), read on demand. Any attribute can be "
                     "asked for;\nthe library cannot list them, so a Record cannot be iterated: "
                     "pass attrs=\nto records() for dicts.")
      .def_readonly("index", &Record::index, "The record's position in its list, from 0.")
      .def(
          "__getitem__",
          [](const Record& r, const py::object& name) {
            std::string value;
            if (!r.Value(name, value)) RaiseKeyError(name);
            return DecodeText(value, TextEncoding::kGbk);
          },
          "record[name] -> str: the attribute; KeyError when the record lacks it.")
      .def(
          "__contains__",
          [](const Record& r, const py::object& name) {
            std::string value;
            return r.Value(name, value);
          },
          "name in record: whether the record has the attribute.")
      .def(
          "get",
          [](const Record& r, const py::object& name, const py::object& fallback) -> py::object {
            std::string value;
            if (!r.Value(name, value)) return fallback;
            return DecodeText(value, TextEncoding::kGbk);
          },
          py::arg("name"), py::arg("default") = py::none(),
          "get(name, default=None) -> str | default")
      .def(
          "get_bytes",
          [](const Record& r, const py::object& name, const py::object& fallback) -> py::object {
            std::string value;
            if (!r.Value(name, value)) return fallback;
            return py::bytes(value);
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
        return py::str("<dezov.Record {}[{}]>").format(ShownText(r.path), r.index);
      });

  py::class_<RecordIterator>(module, "RecordIterator", "Iterator returned by XmlFile.records().")
      .def("__iter__", [](const py::object& self) { return self; })
      .def("__next__", &RecordIterator::Next);
}

void BindSection(py::module_& module) {
  py::class_<XmlSection>(module, "XmlSection",
                         "A section of an XmlFile, read and changed through the file "
                         "(xml[section]):\na mutable mapping of key names to values, as "
                         "configparser's section proxy is.")
      .def_property_readonly(
          "name", [](const XmlSection& s) { return s.name; },
          "The section's name as it was asked for.")
      .def(
          "__getitem__",
          [](const XmlSection& s, const py::object& key) { return Lookup(s.file(), s.name, key); },
          "section[key] -> str: the key's value (\"\" without one); KeyError without the key.")
      .def(
          "__setitem__",
          [](const XmlSection& s, const py::object& key, const py::object& value) {
            Set(s.file(), s.name, key, value, 0);
          },
          "section[key] = value: XmlFile.set for this section (the key is added when missing).")
      .def(
          "__delitem__",
          [](const XmlSection& s, const py::object& key) { RemoveKey(s.file(), s.name, key); },
          "del section[key]: removes every key of that name in the section.")
      .def(
          "__contains__",
          [](const XmlSection& s, const py::object& key) {
            return ContainsKey(s.file(), s.name, key);
          },
          "key in section: whether the section has the key.")
      .def(
          "__iter__",
          [](const XmlSection& s) { return py::iter(Decoded(KeyNames(s.file(), s.name))); },
          "Iterates over the key names, in document order, each once.")
      .def(
          "__len__", [](const XmlSection& s) { return KeyNames(s.file(), s.name).size(); },
          "Number of key names.")
      .def(
          "get",
          [](const XmlSection& s, const py::object& key, const py::object& fallback, int index,
             const py::object& keywordFallback) {
            return Get(s.file(), s.name, key, fallback, index, keywordFallback);
          },
          py::arg("key"), py::arg("default") = py::none(), py::arg("index") = 0, py::kw_only(),
          py::arg("fallback") = py::none(),
          "get(key, default=None, index=0, *, fallback=None) -> str | default")
      .def("__repr__", [](const XmlSection& s) {
        return py::str("<dezov.XmlSection {!r}>").format(s.name);
      });
}

}  // namespace

void BindXmlFile(py::module_& module) {
  BindRecords(module);
  BindSection(module);
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
          [](XmlFile& f) {
            XmlInUse store(f);
            return f.changed();
          },
          "True after a change that is not saved yet.")
      .def(
          "__getitem__",
          [](const py::object& self, const py::object& section) {
            if (!Contains(self.cast<XmlFile&>(), section)) RaiseKeyError(section);
            return XmlSection{self, section};
          },
          "xml[section] -> XmlSection: a view of the first matching section; KeyError without "
          "one.")
      .def("__setitem__", &ReplaceSection,
           "xml[section] = mapping: the section (added when missing) holds exactly the "
           "mapping's\nkeys and values; nothing changes when one is refused.")
      .def("__delitem__", &RemoveSection,
           "del xml[section]: removes every section of that name; KeyError without one.")
      .def("__contains__", &Contains, "section in xml: whether the document has the section.")
      .def(
          "__iter__", [](XmlFile& f) { return py::iter(Decoded(SectionNames(f))); },
          "Iterates over the section names, in document order, each once.")
      .def(
          "__len__", [](XmlFile& f) { return SectionNames(f).size(); }, "Number of sections.")
      .def(
          "sections", [](XmlFile& f) { return Decoded(SectionNames(f)); },
          "sections() -> list[str]\n\nThe names of the elements below the root, in document "
          "order, each once.")
      .def("has_section", &Contains, py::arg("section"),
           "has_section(section) -> bool\n\nWhether the document has the section.")
      .def("has_option", &ContainsKey, py::arg("section"), py::arg("option"),
           "has_option(section, option) -> bool\n\nWhether the section exists and has the "
           "key.")
      .def("add_section", &AddSection, py::arg("section"),
           "add_section(section) -> None\n\nAppends an empty section; dezov.RefusedError when it "
           "exists or its name\ncannot be stored.")
      .def(
          "options",
          [](XmlFile& f, const py::object& section) { return Decoded(KeyNames(f, section)); },
          py::arg("section"),
          "options(section) -> list[str]\n\nThe key names in the first matching section, in "
          "document order, each\nonce; KeyError without it.")
      .def(
          "keys",
          [](const py::object& self, const py::object& section) -> py::object {
            if (section.is_none())
              return py::module_::import("collections.abc").attr("KeysView")(self);
            return Decoded(KeyNames(self.cast<XmlFile&>(), section));
          },
          py::arg("section") = py::none(),
          "keys(section=None) -> KeysView[str] | list[str]\n\nThe section names as a mapping's "
          "keys; with a section, its key names (as\noptions(section)).")
      .def("get", &Get, py::arg("section"), py::arg("key"), py::arg("default") = py::none(),
           py::arg("index") = 0, py::kw_only(), py::arg("fallback") = py::none(),
           "get(section, key, default=None, index=0, *, fallback=None) -> str | default\n\nThe "
           "value of the index-th key of that name in the first matching section\n(\"\" when "
           "the key has no value), or fallback (default) when there is no such key.")
      .def("get_bytes", &GetBytes, py::arg("section"), py::arg("key"),
           py::arg("default") = py::none(), py::arg("index") = 0,
           "get_bytes(section, key, default=None, index=0) -> bytes | default\n\nThe raw (GBK) "
           "value, or default.")
      .def("set", &Set, py::arg("section"), py::arg("key"), py::arg("value"),
           py::arg("index") = 0,
           "set(section, key, value, index=0) -> None\n\nStores the value (str, bytes, int, "
           "float or bool); index 0 creates the\nsection and the key when missing, a greater "
           "index raises KeyError without\nsuch a key. Raises dezov.RefusedError when the text "
           "or a name cannot be stored.")
      .def("remove", &Remove, py::arg("section"), py::arg("key") = py::none(),
           "remove(section, key=None) -> None\n\nRemoves every key of that name in the first "
           "matching section, or without key\nevery element matching the section path; KeyError "
           "when none was there.")
      .def(
          "has_node",
          [](XmlFile& f, const GbkText& path, int index) {
            XmlInUse store(f);
            return store->HaveNode(path.c_str(), index);
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
          [](XmlFile& f, const GbkText& path, const GbkText& name, int index) {
            XmlInUse store(f);
            return store->HaveAttribute(path.c_str(), name.c_str(), index);
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
           "and sets its attributes from\nthe mapping: str, bytes, int, bool, or float (six "
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
