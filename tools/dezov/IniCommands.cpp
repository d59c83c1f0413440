// SPDX-License-Identifier: MIT
// dezov ini FILE ...: sections, keys and values of an INI file. A command that
// changes the file writes it once, at the end; comments and untouched lines
// stay as they were. The file's text is GBK, or UTF-8 after a UTF-8
// byte-order mark or with --encoding utf-8; the store hands it over unchanged
// and the session converts it.
#include <CLI/CLI.hpp>

#include <limits>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Commands.h"
#include "IniFile.h"
#include "JsonText.h"
#include "KdIni.h"
#include "Session.h"
#include "StoreNames.h"
#include "ToolError.h"
#include "ValueFields.h"

namespace dezov {
namespace tool {
namespace {

// The arguments of every ini subcommand; only one subcommand runs.
struct IniArgs {
  std::string file;
  std::string encoding = "gbk";
  std::string section;
  std::string key;
  std::vector<std::string> keys;  // get's
  std::string value;
  std::string fallback;
  CLI::Option* fallbackGiven = nullptr;
  CLI::Option* sectionGiven = nullptr;
  bool existing = false;
  int index = 0;
  std::string delimiter;
};

// Sets the session's text encoding for the file, before any argument is converted.
void UseEncodingOf(Session& session, const IniArgs& args) {
  session.encoding = IniEncodingOf(
      args.file, args.encoding == "utf-8" ? StoreEncoding::kUtf8 : StoreEncoding::kGbk);
}

std::string KeyText(const std::string& section, const std::string& key) {
  return Quoted("[" + section + "] " + key);
}

// The keys of the first section named section, as the store reads them: the
// first of each name (a later one is never read), none for a line without a
// name (comments and text lines).
std::vector<std::string> ReadableKeys(CKdIni& store, const std::string& section) {
  std::vector<std::string> names;
  store.GetKeysInSection(section.c_str(), names);
  std::vector<std::string> keys;
  for (const auto& name : names) {
    if (name.empty()) continue;
    bool seen = false;
    for (const auto& key : keys) seen = seen || SameName(key, name);
    if (!seen) keys.push_back(name);
  }
  return keys;
}

int Get(Session& session, const IniArgs& args) {
  UseEncodingOf(session, args);
  const std::string section = session.Stored(args.section, "SECTION");
  std::vector<std::string> keys;
  for (const auto& key : args.keys) keys.push_back(session.Name(key, "KEY"));
  const bool hasFallback = args.fallbackGiven->count() > 0;
  const std::string fallback = hasFallback ? session.Stored(args.fallback, "--default") : "";
  CKdIni store;
  OpenIniFile(store, args.file);
  std::vector<std::string> values;
  std::string missing;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (store.HaveKey(section.c_str(), keys[i].c_str()))
      values.push_back(store.GetValue(section.c_str(), keys[i].c_str()));
    else if (hasFallback)
      values.push_back(fallback);
    else
      missing += (missing.empty() ? "" : ", ") + KeyText(args.section, args.keys[i]);
  }
  if (!missing.empty()) throw NotFound("no key " + missing);
  if (session.json) {
    session.PrintAsIs(session.Json(values));
  } else {
    for (const auto& value : values) session.Print(value);
  }
  return kExitOk;
}

int Set(Session& session, const IniArgs& args) {
  UseEncodingOf(session, args);
  const std::string section = session.Stored(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  const std::string value = session.Stored(ValueArgument(args.value), "VALUE");
  CKdIni store;
  OpenOrStartIniFile(store, args.file, !args.existing);
  if (!store.SetValue(section.c_str(), key.c_str(), value.c_str())) {
    const std::string reason = store.GetLastErrMsg();
    throw Failure("cannot store " + KeyText(args.section, args.key) + ": " +
                  (reason.empty() ? "the line would not read back the same" : session.Reason(reason)));
  }
  WriteIniFile(store, args.file);
  return kExitOk;
}

int Sections(Session& session, const IniArgs& args) {
  UseEncodingOf(session, args);
  CKdIni store;
  OpenIniFile(store, args.file);
  std::vector<std::string> sections;
  store.GetSections(sections);
  if (session.json) {
    session.PrintAsIs(session.Json(sections));
  } else {
    for (const auto& section : sections) session.Print(section);
  }
  return kExitOk;
}

int Keys(Session& session, const IniArgs& args) {
  UseEncodingOf(session, args);
  const std::string section = session.Stored(args.section, "SECTION");
  CKdIni store;
  OpenIniFile(store, args.file);
  std::vector<std::string> unused;
  if (!store.GetKeysInSection(section.c_str(), unused))
    throw NotFound("no section " + Quoted(args.section));
  const std::vector<std::string> keys = ReadableKeys(store, section);
  if (session.json) {
    session.PrintAsIs(session.Json(keys));
  } else {
    for (const auto& key : keys) session.Print(key);
  }
  return kExitOk;
}

// The section's keys and values as key=value lines, as the terminal shows them.
void AddSectionLines(Session& session, CKdIni& store, const std::string& section,
                     std::vector<std::string>& lines) {
  for (const auto& key : ReadableKeys(store, section))
    lines.push_back(session.Shown(key + "=" + store.GetValue(section.c_str(), key.c_str())));
}

// The section's keys and values as a JSON object.
std::string SectionJson(Session& session, CKdIni& store, const std::string& section) {
  std::vector<std::pair<std::string, std::string>> members;
  for (const auto& key : ReadableKeys(store, section))
    members.emplace_back(session.Utf8(key),
                         session.Json(store.GetValue(section.c_str(), key.c_str())));
  return JsonObject(members);
}

int Show(Session& session, const IniArgs& args) {
  UseEncodingOf(session, args);
  const bool one = args.sectionGiven->count() > 0;
  std::vector<std::string> sections;
  if (one) sections.push_back(session.Stored(args.section, "SECTION"));
  CKdIni store;
  OpenIniFile(store, args.file);
  std::vector<std::string> unused;
  if (one && !store.GetKeysInSection(sections.front().c_str(), unused))
    throw NotFound("no section " + Quoted(args.section));
  if (!one) {
    std::vector<std::string> all;
    store.GetSections(all);
    for (const auto& name : all) {  // the first of each name: later ones are never read
      bool seen = false;
      for (const auto& earlier : sections) seen = seen || SameName(earlier, name);
      if (!seen) sections.push_back(name);
    }
  }
  if (session.json) {
    if (one) {
      session.PrintAsIs(SectionJson(session, store, sections.front()));
    } else {
      std::vector<std::pair<std::string, std::string>> members;
      for (const auto& name : sections)
        members.emplace_back(session.Utf8(name), SectionJson(session, store, name));
      session.PrintAsIs(JsonObject(members));
    }
    return kExitOk;
  }
  std::vector<std::string> lines;
  for (const auto& name : sections) {
    if (!one) {
      if (!lines.empty()) lines.push_back("");
      lines.push_back(session.Shown("[" + name + "]"));
    }
    AddSectionLines(session, store, name, lines);
  }
  for (const auto& line : lines) session.PrintAsIs(line);
  return kExitOk;
}

int RemoveKey(Session& session, const IniArgs& args) {
  UseEncodingOf(session, args);
  const std::string section = session.Stored(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  CKdIni store;
  OpenIniFile(store, args.file);
  if (!store.RemoveKey(section.c_str(), key.c_str()))
    throw NotFound("no key " + KeyText(args.section, args.key));
  WriteIniFile(store, args.file);
  return kExitOk;
}

int RemoveSection(Session& session, const IniArgs& args) {
  UseEncodingOf(session, args);
  const std::string section = session.Stored(args.section, "SECTION");
  CKdIni store;
  OpenIniFile(store, args.file);
  if (!store.RemoveSection(section.c_str())) throw NotFound("no section " + Quoted(args.section));
  WriteIniFile(store, args.file);
  return kExitOk;
}

int SubValue(Session& session, const IniArgs& args) {
  UseEncodingOf(session, args);
  const std::string section = session.Stored(args.section, "SECTION");
  const std::string key = session.Name(args.key, "KEY");
  const std::string delimiter = session.Stored(args.delimiter, "DELIMITER");
  if (delimiter.size() != 1) throw Failure("DELIMITER must be a single-byte character");
  CKdIni store;
  OpenIniFile(store, args.file);
  if (!store.HaveKey(section.c_str(), key.c_str()))
    throw NotFound("no key " + KeyText(args.section, args.key));
  const std::string value = store.GetValue(section.c_str(), key.c_str());
  if (static_cast<std::size_t>(args.index) >= SplitFields(value, delimiter[0]).size())
    throw NotFound("the value of " + KeyText(args.section, args.key) + " has no field " +
                   std::to_string(args.index));
  session.Print(store.GetSubValue(section.c_str(), key.c_str(), args.index, delimiter[0]));
  return kExitOk;
}

void AddSection(CLI::App* command, IniArgs& args) {
  command->add_option("SECTION", args.section, "section name")->required();
}

void AddSectionAndKey(CLI::App* command, IniArgs& args) {
  AddSection(command, args);
  command->add_option("KEY", args.key, "key name")->required();
}

}  // namespace

void AddIniCommands(CLI::App& app, Session& session) {
  auto args = std::make_shared<IniArgs>();
  CLI::App* ini = app.add_subcommand(
      "ini", "Read and change an INI file, keeping its comments and untouched lines");
  ini->add_option("FILE", args->file, "the INI file")->required();
  ini->add_option("--encoding", args->encoding,
                  "text of a file without a UTF-8 byte-order mark: gbk (default) or utf-8; "
                  "a file with the mark is UTF-8")
      ->check(CLI::IsMember({"gbk", "utf-8"}));
  ini->require_subcommand(1);
  ini->fallthrough();  // --encoding is accepted after the command too

  CLI::App* get = AddCommand(*ini, session, args, "get",
                             "Print the values of keys, one per line in the order asked; exit "
                             "status 1 (and nothing printed) when a key is missing and no "
                             "--default is given",
                             Get);
  AddSection(get, *args);
  get->add_option("KEY", args->keys, "key names")->required();
  args->fallbackGiven =
      get->add_option("--default", args->fallback, "the answer for a missing key");
  OffersJson(get, session);

  CLI::App* set = AddCommand(*ini, session, args, "set",
                             "Store the value of a key, adding section and key when missing; "
                             "a missing FILE is created unless --existing is given",
                             Set);
  AddSectionAndKey(set, *args);
  set->add_option("VALUE", args->value,
                  "the new value; - reads it from standard input (one trailing line end dropped)")
      ->required();
  set->add_flag("--existing", args->existing, "fail when FILE does not exist instead of creating it");

  OffersJson(AddCommand(*ini, session, args, "sections", "List the sections, in file order",
                        Sections),
             session);

  CLI::App* keys = AddCommand(*ini, session, args, "keys",
                              "List the keys of a section (comment and text lines are no keys); "
                              "exit status 1 without the section",
                              Keys);
  AddSection(keys, *args);
  OffersJson(keys, session);

  CLI::App* show = AddCommand(*ini, session, args, "show",
                              "Print every section, or only SECTION, as key=value lines (what the "
                              "store reads: no comments, the first of repeated names)",
                              Show);
  args->sectionGiven = show->add_option("SECTION", args->section, "only this section");
  OffersJson(show, session);

  CLI::App* removeKey = AddCommand(*ini, session, args, "rm-key",
                                   "Remove a key (and its section when it was the last key)",
                                   RemoveKey);
  AddSectionAndKey(removeKey, *args);

  CLI::App* removeSection = AddCommand(*ini, session, args, "rm-section",
                                       "Remove a section with all its keys", RemoveSection);
  AddSection(removeSection, *args);

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
