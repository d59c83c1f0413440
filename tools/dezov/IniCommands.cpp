// dezov ini FILE ...: sections, keys and values of an INI file. A command that
// changes the file writes it once, at the end; comments and untouched lines
// stay as they were.
#include <CLI/CLI.hpp>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "KdIni.h"
#include "Session.h"
#include "ToolError.h"
#include "text/TextUtil.h"

namespace dezov {
namespace tool {
namespace {

// The arguments of every ini subcommand; only one subcommand runs.
struct IniArgs {
  std::string file;
  std::string section;
  std::string key;
  std::string value;
  std::string fallback;
  CLI::Option* fallbackGiven = nullptr;
  int index = 0;
  std::string delimiter;
};


void OpenIni(CKdIni& store, const std::string& file) {
  RequireExistingFile(file);
  if (!store.Open(file.c_str()))
    throw Failure("cannot read " + file + ": " + store.GetLastErrMsg());
}

void WriteIni(CKdIni& store, const std::string& file) {
  if (!store.bModified) return;  // the change left the text as it was
  if (!store.WriteFile()) {
    store.bModified = false;  // the destructor would try the same write again
    throw Failure("cannot write " + file + ": " + store.GetLastErrMsg() +
                  " (the file is unchanged)");
  }
}

// Whether the key exists. GetValue answers with the default only for a missing
// key, so two different defaults tell a missing key from every stored value.
bool HasKey(CKdIni& store, const std::string& section, const std::string& key) {
  return store.GetValue(section.c_str(), key.c_str(), "\x01") ==
         store.GetValue(section.c_str(), key.c_str(), "\x02");
}

std::string KeyText(const IniArgs& args) { return Quoted("[" + args.section + "] " + args.key); }

int Get(Session& session, const IniArgs& args) {
  const std::string section = session.Gbk(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  const bool hasFallback = args.fallbackGiven->count() > 0;
  const std::string fallback = hasFallback ? session.Gbk(args.fallback, "DEFAULT") : "";
  CKdIni store;
  OpenIni(store, args.file);
  if (HasKey(store, section, key))
    session.Print(store.GetValue(section.c_str(), key.c_str()));
  else if (hasFallback)
    session.Print(fallback);
  else
    throw NotFound("no key " + KeyText(args));
  return kExitOk;
}

int Set(Session& session, const IniArgs& args) {
  const std::string section = session.Gbk(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  const std::string value = session.Gbk(args.value, "VALUE");
  CKdIni store;
  OpenIni(store, args.file);
  if (!store.SetValue(section.c_str(), key.c_str(), value.c_str()))
    throw Failure("cannot store " + KeyText(args) +
                  ": the line would not read back the same (line breaks, ']' in a section,"
                  " '=' in a key, or blanks around a name)");
  WriteIni(store, args.file);
  return kExitOk;
}

int Sections(Session& session, const IniArgs& args) {
  CKdIni store;
  OpenIni(store, args.file);
  std::vector<std::string> sections;
  store.GetSections(sections);
  for (const auto& section : sections) session.Print(section);
  return kExitOk;
}

int Keys(Session& session, const IniArgs& args) {
  const std::string section = session.Gbk(args.section, "SECTION");
  CKdIni store;
  OpenIni(store, args.file);
  std::vector<std::string> keys;
  if (!store.GetKeysInSection(section.c_str(), keys))
    throw NotFound("no section " + Quoted(args.section));
  for (const auto& key : keys) session.Print(key);
  return kExitOk;
}

int RemoveKey(Session& session, const IniArgs& args) {
  const std::string section = session.Gbk(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  CKdIni store;
  OpenIni(store, args.file);
  if (!store.RemoveKey(section.c_str(), key.c_str())) throw NotFound("no key " + KeyText(args));
  WriteIni(store, args.file);
  return kExitOk;
}

int RemoveSection(Session& session, const IniArgs& args) {
  const std::string section = session.Gbk(args.section, "SECTION");
  CKdIni store;
  OpenIni(store, args.file);
  if (!store.RemoveSection(section.c_str())) throw NotFound("no section " + Quoted(args.section));
  WriteIni(store, args.file);
  return kExitOk;
}

int SubValue(Session& session, const IniArgs& args) {
  const std::string section = session.Gbk(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  const std::string delimiter = session.Gbk(args.delimiter, "DELIMITER");
  if (delimiter.size() != 1) throw Failure("DELIMITER must be a single-byte character");
  CKdIni store;
  OpenIni(store, args.file);
  if (!HasKey(store, section, key)) throw NotFound("no key " + KeyText(args));
  const std::string value = store.GetValue(section.c_str(), key.c_str());
  std::vector<std::string> fields;  // as GetSubValue cuts the value
  SplitString(value.c_str(), delimiter[0], fields);
  if (static_cast<std::size_t>(args.index) >= fields.size())
    throw NotFound("the value of " + KeyText(args) + " has no field " +
                   std::to_string(args.index));
  session.Print(store.GetSubValue(section.c_str(), key.c_str(), args.index, delimiter[0]));
  return kExitOk;
}

void AddSectionAndKey(CLI::App* command, IniArgs& args) {
  command->add_option("SECTION", args.section, "section name")->required();
  command->add_option("KEY", args.key, "key name")->required();
}

}  // namespace

void AddIniCommands(CLI::App& app, Session& session) {
  auto args = std::make_shared<IniArgs>();
  CLI::App* ini = app.add_subcommand(
      "ini", "Read and change an INI file, keeping its comments and untouched lines");
  ini->add_option("FILE", args->file, "the INI file")->required();
  ini->require_subcommand(1);

  CLI::App* get = AddCommand(*ini, session, args, "get",
                             "Print the value of a key; without it DEFAULT, or exit status 1", Get);
  AddSectionAndKey(get, *args);
  args->fallbackGiven = get->add_option("DEFAULT", args->fallback, "answer for a missing key");

  CLI::App* set = AddCommand(*ini, session, args, "set",
                             "Store the value of a key, adding section and key when missing", Set);
  AddSectionAndKey(set, *args);
  set->add_option("VALUE", args->value, "the new value")->required();

  AddCommand(*ini, session, args, "sections", "List the sections, in file order", Sections);

  CLI::App* keys = AddCommand(*ini, session, args, "keys",
                              "List the keys of a section; exit status 1 without the section", Keys);
  keys->add_option("SECTION", args->section, "section name")->required();

  CLI::App* removeKey = AddCommand(*ini, session, args, "rm-key",
                                   "Remove a key (and its section when it was the last key)",
                                   RemoveKey);
  AddSectionAndKey(removeKey, *args);

  CLI::App* removeSection = AddCommand(*ini, session, args, "rm-section",
                                       "Remove a section with all its keys", RemoveSection);
  removeSection->add_option("SECTION", args->section, "section name")->required();

  CLI::App* sub = AddCommand(*ini, session, args, "sub",
                             "Print one field of a value split at DELIMITER; exit status 1 "
                             "without the key or the field",
                             SubValue);
  AddSectionAndKey(sub, *args);
  sub->add_option("INDEX", args->index, "field number, from 0")
      ->required()
      ->check(CLI::Range(0, std::numeric_limits<int>::max()));
  sub->add_option("DELIMITER", args->delimiter, "the character between fields")->required();
}

}  // namespace tool
}  // namespace dezov
