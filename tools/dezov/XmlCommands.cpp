// dezov xml FILE ...: the XML store's sections, keys, values, attributes and
// records. A command that changes the document writes the file once, at the end.
#include <CLI/CLI.hpp>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Session.h"
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
  std::string path;
  std::string name;
  std::string value;
  int index = 0;
  std::vector<std::string> attributes;
};


std::string At(const std::string& where, int index) {
  return Quoted(where) + (index > 0 ? " #" + std::to_string(index) : std::string());
}

std::string WhyNotSet(CXmlIni& store) {
  const std::string error = store.GetLastErrMsg();
  return error.empty() ? "no such element (only index 0 is created)" : error;
}

int Get(Session& session, const XmlArgs& args) {
  const std::string section = session.Name(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  CXmlIni store;
  OpenXmlFile(store, args.file);
  if (!store.HaveAttribute(ChildPath(section, key).c_str(), "Value", args.index))
    throw NotFound("no value at " + At(args.section + "\\" + args.key, args.index));
  session.Print(store.GetValue(section.c_str(), key.c_str(), args.index));
  return kExitOk;
}

int Set(Session& session, const XmlArgs& args) {
  const std::string section = session.Name(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  const std::string value = session.Gbk(args.value, "VALUE");
  CXmlIni store;
  OpenXmlFile(store, args.file);
  if (!store.SetValue(section.c_str(), key.c_str(), value.c_str(), args.index))
    throw Failure("cannot set " + At(args.section + "\\" + args.key, args.index) + ": " +
                  WhyNotSet(store));
  WriteXmlFile(store, args.file);
  return kExitOk;
}

int Sections(Session& session, const XmlArgs& args) {
  CXmlIni store;
  OpenXmlFile(store, args.file);
  std::vector<std::string> sections;
  if (!store.GetSections(sections)) throw Failure(args.file + ": no document");
  for (const auto& section : sections) session.Print(section);
  return kExitOk;
}

int Keys(Session& session, const XmlArgs& args) {
  const std::string section = session.Name(args.section, "SECTION");
  CXmlIni store;
  OpenXmlFile(store, args.file);
  if (!store.HaveNode(section.c_str())) throw NotFound("no section " + Quoted(args.section));
  std::vector<std::string> keys;
  store.GetKeysInSection(section.c_str(), keys);
  for (const auto& key : keys) session.Print(key);
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
    throw NotFound("no key " + Quoted(args.section + "\\" + args.key));
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
  const std::string value = session.Gbk(args.value, "VALUE");
  CXmlIni store;
  OpenXmlFile(store, args.file);
  if (!store.SetAttribute(path.c_str(), name.c_str(), value.c_str(), args.index))
    throw Failure("cannot set " + Quoted(args.name) + " at " + At(args.path, args.index) + ": " +
                  WhyNotSet(store));
  WriteXmlFile(store, args.file);
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

int Show(Session& session, const XmlArgs& args) {
  CXmlIni store;
  OpenXmlFile(store, args.file);
  for (const auto& line : XmlTreeLines(store)) session.Print(line);
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

  CLI::App* get = AddCommand(*xml, session, args, "get",
                             "Print the value of a key; exit status 1 when it has none", Get);
  get->add_option("SECTION", args->section, "section name")->required();
  get->add_option("KEY", args->key, "key name")->required();
  AddIndex(get, *args, indexHelp);

  CLI::App* set = AddCommand(*xml, session, args, "set",
                             "Store the value of a key, creating section and key for index 0", Set);
  set->add_option("SECTION", args->section, "section name")->required();
  set->add_option("KEY", args->key, "key name")->required();
  set->add_option("VALUE", args->value, "the new value")->required();
  AddIndex(set, *args, indexHelp);

  AddCommand(*xml, session, args, "sections", "List the sections, in file order", Sections);

  CLI::App* keys = AddCommand(*xml, session, args, "keys",
                              "List the keys of a section; exit status 1 without the section", Keys);
  keys->add_option("SECTION", args->section, "section name or element path")->required();

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
                                 "Set an attribute of an element, creating it for index 0",
                                 SetAttribute);
  setAttr->add_option("PATH", args->path, pathHelp)->required();
  setAttr->add_option("NAME", args->name, "attribute name (exact case)")->required();
  setAttr->add_option("VALUE", args->value, "the new value")->required();
  AddIndex(setAttr, *args, indexHelp);

  CLI::App* records = AddCommand(*xml, session, args, "records",
                                 "Print the named attributes of every record element as a table",
                                 Records);
  records->add_option("PATH", args->path, "element path of the list holding the records")
      ->required();
  records->add_option("NAME", args->name, "element name of the records")->required();
  records->add_option("ATTR", args->attributes, "attribute names, one column each")->required();

  AddCommand(*xml, session, args, "show",
             "Print the document as an indented tree of sections, keys and values", Show);
}

}  // namespace tool
}  // namespace dezov
