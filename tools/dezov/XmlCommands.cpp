// SPDX-License-Identifier: MIT
// dezov xml FILE ...: the XML store's sections, keys, values, attributes and
// records. A command that changes the document writes the file once, at the end.
#include <CLI/CLI.hpp>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "JsonText.h"
#include "Session.h"
#include "StoreNames.h"
#include "TextTable.h"
#include "ToolError.h"
#include "XmlFile.h"
#include "XmlIni.h"
#include "XmlTree.h"

namespace dezov {
namespace tool {
namespace {

// The arguments of every xml subcommand; only one subcommand runs.
struct XmlArgs {
  std::string file;
  std::string section;
  std::string key;
  std::vector<std::string> keys;  // get's
  std::string path;
  std::string name;
  std::string value;
  int index = 0;
  bool existing = false;
  std::vector<std::string> attributes;
};

std::string At(const std::string& where, int index) {
  return Quoted(where) + (index > 0 ? " #" + std::to_string(index) : std::string());
}

std::string WhyNotSet(const Session& session, CXmlIni& store) {
  const std::string error = store.GetLastErrMsg();
  return error.empty() ? "no such element (only index 0 is created)" : session.Reason(error);
}

int Get(Session& session, const XmlArgs& args) {
  const std::string section = session.Name(args.section, "SECTION");
  std::vector<std::string> keys;
  for (const auto& key : args.keys) keys.push_back(session.Name(key, "KEY"));
  CXmlIni store;
  OpenXmlFile(store, args.file);
  std::vector<std::string> values;
  std::string missing;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::string path = ElementPath(section, keys[i]);
    if (store.HaveAttribute(path.c_str(), "Value", args.index))
      values.push_back(store.GetAttribute(path.c_str(), "Value", args.index));
    else
      missing += (missing.empty() ? "" : ", ") + At(ElementPath(args.section, args.keys[i]), args.index);
  }
  if (!missing.empty()) throw NotFound("no value at " + missing);
  if (session.json) {
    session.PrintAsIs(session.Json(values));
  } else {
    for (const auto& value : values) session.Print(value);
  }
  return kExitOk;
}

int Set(Session& session, const XmlArgs& args) {
  const std::string section = session.Name(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  const std::string value = session.Stored(ValueArgument(args.value), "VALUE");
  CXmlIni store;
  XmlFileForChange file(store, args.file, !args.existing);
  if (!store.SetValue(section.c_str(), key.c_str(), value.c_str(), args.index))
    throw Failure("cannot set " + At(ElementPath(args.section, args.key), args.index) + ": " +
                  WhyNotSet(session, store));
  file.Commit();
  return kExitOk;
}

int Sections(Session& session, const XmlArgs& args) {
  CXmlIni store;
  OpenXmlFile(store, args.file);
  std::vector<std::string> sections;
  if (!store.GetSections(sections)) throw Failure(args.file + ": no document");
  if (session.json) {
    session.PrintAsIs(session.Json(sections));
  } else {
    for (const auto& section : sections) session.Print(section);
  }
  return kExitOk;
}

int Keys(Session& session, const XmlArgs& args) {
  const std::string section = session.Name(args.section, "SECTION");
  CXmlIni store;
  OpenXmlFile(store, args.file);
  if (!store.HaveNode(section.c_str())) throw NotFound("no section " + Quoted(args.section));
  std::vector<std::string> keys;
  store.GetKeysInSection(section.c_str(), keys);
  if (session.json) {
    session.PrintAsIs(session.Json(keys));
  } else {
    for (const auto& key : keys) session.Print(key);
  }
  return kExitOk;
}

int RemoveSection(Session& session, const XmlArgs& args) {
  const std::string section = session.Name(args.section, "SECTION");
  CXmlIni store;
  OpenXmlFile(store, args.file);
  if (!store.RemoveSection(section.c_str())) throw NotFound("no section " + Quoted(args.section));
  WriteXmlFile(store, args.file);
  return kExitOk;
}

int RemoveKey(Session& session, const XmlArgs& args) {
  const std::string section = session.Name(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  CXmlIni store;
  OpenXmlFile(store, args.file);
  if (!store.RemoveKey(section.c_str(), key.c_str()))
    throw NotFound("no key " + Quoted(ElementPath(args.section, args.key)));
  WriteXmlFile(store, args.file);
  return kExitOk;
}

int Attribute(Session& session, const XmlArgs& args) {
  const std::string path = session.Name(args.path, "PATH");
  const std::string name = session.Name(args.name, "NAME");
  CXmlIni store;
  OpenXmlFile(store, args.file);
  if (!store.HaveAttribute(path.c_str(), name.c_str(), args.index))
    throw NotFound("no attribute " + Quoted(args.name) + " at " + At(args.path, args.index));
  session.Print(store.GetAttribute(path.c_str(), name.c_str(), args.index));
  return kExitOk;
}

int SetAttribute(Session& session, const XmlArgs& args) {
  const std::string path = session.Name(args.path, "PATH");
  const std::string name = session.Name(args.name, "NAME");
  const std::string value = session.Stored(ValueArgument(args.value), "VALUE");
  CXmlIni store;
  XmlFileForChange file(store, args.file, !args.existing);
  if (!store.SetAttribute(path.c_str(), name.c_str(), value.c_str(), args.index))
    throw Failure("cannot set " + Quoted(args.name) + " at " + At(args.path, args.index) + ": " +
                  WhyNotSet(session, store));
  file.Commit();
  return kExitOk;
}

int Records(Session& session, const XmlArgs& args) {
  const std::string path = session.Name(args.path, "PATH");
  const std::string name = session.Name(args.name, "NAME");
  std::vector<std::string> header{"#"};
  for (const auto& attribute : args.attributes) header.push_back(session.Name(attribute, "ATTR"));
  CXmlIni store;
  OpenXmlFile(store, args.file);
  if (!store.Locate(path.c_str(), name.c_str()))
    throw NotFound("no records " + Quoted(args.name) + " in " + Quoted(args.path));
  TextTable table(header);
  const long count = store.GetCount();
  for (long record = 0; record < count; ++record) {
    std::vector<std::string> row{std::to_string(record)};
    for (std::size_t column = 1; column < header.size(); ++column)
      row.push_back(store.Get(header[column].c_str(), static_cast<int>(record)));
    table.AddRow(row);
  }
  for (const auto& line : table.Lines()) session.Print(line);
  return kExitOk;
}

// The tree as a JSON array of elements: {"name", "value" when it has one,
// "children" when it has any, "cut": true where deeper levels were left out}.
std::string TreeJson(const Session& session, const std::vector<XmlTreeNode>& nodes) {
  std::vector<std::string> elements;
  for (const XmlTreeNode& node : nodes) {
    std::vector<std::pair<std::string, std::string>> members{{"name", session.Json(node.name)}};
    if (node.hasValue) members.emplace_back("value", session.Json(node.value));
    if (!node.children.empty()) members.emplace_back("children", TreeJson(session, node.children));
    if (node.cut) members.emplace_back("cut", "true");
    elements.push_back(JsonObject(members));
  }
  return JsonArray(elements);
}

int Show(Session& session, const XmlArgs& args) {
  CXmlIni store;
  OpenXmlFile(store, args.file);
  const std::vector<XmlTreeNode> tree = ReadXmlTree(store);
  if (session.json) {
    session.PrintAsIs(TreeJson(session, tree));
  } else {
    for (const auto& line : XmlTreeLines(tree)) session.Print(line);
  }
  return kExitOk;
}

void AddIndex(CLI::App* command, XmlArgs& args, const char* help) {
  command->add_option("INDEX", args.index, help)->check(CLI::Range(0, std::numeric_limits<int>::max()));
}

}  // namespace

void AddXmlCommands(CLI::App& app, Session& session) {
  auto args = std::make_shared<XmlArgs>();
  CLI::App* xml = app.add_subcommand(
      "xml", "Read and change an XML configuration file (GBK text under the root vornini)");
  xml->add_option("FILE", args->file, "the XML configuration file")->required();
  xml->require_subcommand(1);
  const char* pathHelp = "element path below the root, names separated by backslashes";
  const char* indexHelp = "which of the elements of that name, from 0 (default 0)";
  const char* valueHelp =
      "the new value; - reads it from standard input (one trailing line end dropped)";
  const char* existingHelp = "fail when FILE does not exist instead of creating it";

  CLI::App* get = AddCommand(*xml, session, args, "get",
                             "Print the values of keys, one per line in the order asked; exit "
                             "status 1 (and nothing printed) when one has none",
                             Get);
  get->add_option("SECTION", args->section, "section name")->required();
  get->add_option("KEY", args->keys, "key names")->required();
  get->add_option("--index", args->index, indexHelp)
      ->check(CLI::Range(0, std::numeric_limits<int>::max()));
  OffersJson(get, session);

  CLI::App* set = AddCommand(*xml, session, args, "set",
                             "Store the value of a key, creating section and key for index 0; "
                             "a missing FILE is created unless --existing is given",
                             Set);
  set->add_option("SECTION", args->section, "section name")->required();
  set->add_option("KEY", args->key, "key name")->required();
  set->add_option("VALUE", args->value, valueHelp)->required();
  AddIndex(set, *args, indexHelp);
  set->add_flag("--existing", args->existing, existingHelp);

  OffersJson(AddCommand(*xml, session, args, "sections", "List the sections, in file order",
                        Sections),
             session);

  CLI::App* keys = AddCommand(*xml, session, args, "keys",
                              "List the keys of a section; exit status 1 without the section", Keys);
  keys->add_option("SECTION", args->section, "section name or element path")->required();
  OffersJson(keys, session);

  CLI::App* removeSection = AddCommand(*xml, session, args, "rm-section",
                                       "Remove every section of that name", RemoveSection);
  removeSection->add_option("SECTION", args->section, "section name or element path")->required();

  CLI::App* removeKey = AddCommand(*xml, session, args, "rm-key",
                                   "Remove every key of that name from a section", RemoveKey);
  removeKey->add_option("SECTION", args->section, "section name")->required();
  removeKey->add_option("KEY", args->key, "key name")->required();

  CLI::App* attr = AddCommand(*xml, session, args, "attr",
                              "Print an attribute of an element; exit status 1 without it",
                              Attribute);
  attr->add_option("PATH", args->path, pathHelp)->required();
  attr->add_option("NAME", args->name, "attribute name")->required();
  AddIndex(attr, *args, indexHelp);

  CLI::App* setAttr = AddCommand(*xml, session, args, "set-attr",
                                 "Set an attribute of an element, creating it for index 0; a "
                                 "missing FILE is created unless --existing is given",
                                 SetAttribute);
  setAttr->add_option("PATH", args->path, pathHelp)->required();
  setAttr->add_option("NAME", args->name, "attribute name (exact case)")->required();
  setAttr->add_option("VALUE", args->value, valueHelp)->required();
  AddIndex(setAttr, *args, indexHelp);
  setAttr->add_flag("--existing", args->existing, existingHelp);

  CLI::App* records = AddCommand(*xml, session, args, "records",
                                 "Print the named attributes of every record element as a table",
                                 Records);
  records->add_option("PATH", args->path, "element path of the list holding the records")
      ->required();
  records->add_option("NAME", args->name, "element name of the records")->required();
  records->add_option("ATTR", args->attributes, "attribute names, one column each")->required();

  OffersJson(AddCommand(*xml, session, args, "show",
                        "Print the document as an indented tree of sections, keys and values",
                        Show),
             session);
}

}  // namespace tool
}  // namespace dezov
