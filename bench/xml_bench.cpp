// SPDX-License-Identifier: MIT
// The XML store against the libraries a program would otherwise use directly:
// a bare parse and a bare serialisation with the same XML library, and
// pugixml's child walk for lookups. Every pair does the same work on the same
// generated file and checks that both sides found the same values.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/LocalFileFormatTarget.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "XmlIni.h"

namespace {

constexpr int kSections = 1000;
constexpr int kKeys = 50;

std::string SectionName(int s) { return "Section" + std::to_string(s); }
std::string KeyName(int k) { return "Key" + std::to_string(k); }

// Deterministic configuration of kSections x kKeys keys; values hold GBK text.
const std::string& ConfigFile() {
  static const std::string path = [] {
    const std::string file =
        (std::filesystem::temp_directory_path() / "dezov20-bench-config.xml").string();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\r\n"
           "<vornini comment=\"VornSoft Config Data\" Version=\"1.0\">\n";
    for (int s = 0; s < kSections; ++s) {
      out << "  <" << SectionName(s) << ">\n";
      for (int k = 0; k < kKeys; ++k)
        out << "    <" << KeyName(k) << " Value=\"\xD6\xD0\xCE\xC4 " << s * kKeys + k
            << " \xC5\xE4\xD6\xC3\"/>\n";
      out << "  </" << SectionName(s) << ">\n";
    }
    out << "</vornini>\n";
    return file;
  }();
  return path;
}

// Section and key names spelled with other letter cases, as callers do.
std::string Recased(std::string name, int salt) {
  for (std::size_t i = 0; i < name.size(); ++i)
    if (((i + static_cast<std::size_t>(salt)) & 1) && name[i] >= 'a' && name[i] <= 'z')
      name[i] = static_cast<char>(name[i] - 'a' + 'A');
  return name;
}

// Keeps the XML library started for the peers' side of each pair.
struct XercesSession {
  XercesSession() { xercesc::XMLPlatformUtils::Initialize(); }
  ~XercesSession() { xercesc::XMLPlatformUtils::Terminate(); }
};

void BM_Open_DeZov20(benchmark::State& state) {
  for (auto _ : state) {
    CXmlIni store;
    if (!store.Open(ConfigFile().c_str())) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(store);
  }
}

void BM_Open_BareXercesParse(benchmark::State& state) {
  XercesSession session;
  for (auto _ : state) {
    xercesc::XercesDOMParser parser;
    parser.parse(ConfigFile().c_str());
    if (parser.getDocument() == nullptr || parser.getErrorCount() != 0)
      state.SkipWithError("parse failed");
  }
}

void BM_GetEveryValue_DeZov20(benchmark::State& state) {
  CXmlIni store;
  store.Open(ConfigFile().c_str());
  std::vector<std::string> sections, keys;
  for (int s = 0; s < kSections; ++s) sections.push_back(Recased(SectionName(s), s));
  for (int k = 0; k < kKeys; ++k) keys.push_back(Recased(KeyName(k), k + 1));
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (int s = 0; s < kSections; ++s)
      for (int k = 0; k < kKeys; ++k)
        found += !store.GetValue(sections[s].c_str(), keys[k].c_str()).empty();
  }
  if (found != static_cast<std::size_t>(kSections * kKeys)) state.SkipWithError("values missing");
  state.counters["values"] = static_cast<double>(found);
}

void BM_GetEveryValue_PugixmlChildWalk(benchmark::State& state) {
  pugi::xml_document document;
  document.load_file(ConfigFile().c_str());
  const pugi::xml_node root = document.child("vornini");
  std::vector<std::string> sections, keys;
  for (int s = 0; s < kSections; ++s) sections.push_back(SectionName(s));
  for (int k = 0; k < kKeys; ++k) keys.push_back(KeyName(k));
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (int s = 0; s < kSections; ++s)
      for (int k = 0; k < kKeys; ++k) {
        std::string value = root.child(sections[s].c_str()).child(keys[k].c_str()).attribute("Value").value();
        found += !value.empty();
      }
  }
  if (found != static_cast<std::size_t>(kSections * kKeys)) state.SkipWithError("values missing");
  state.counters["values"] = static_cast<double>(found);
}

void BM_WriteFile_DeZov20(benchmark::State& state) {
  const std::string copy = ConfigFile() + ".ours.xml";
  std::filesystem::copy_file(ConfigFile(), copy, std::filesystem::copy_options::overwrite_existing);
  CXmlIni store;
  store.Open(copy.c_str());
  for (auto _ : state)
    if (!store.WriteFile()) state.SkipWithError("write failed");
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(copy));
}

void BM_WriteFile_BareSerializer(benchmark::State& state) {
  XercesSession session;
  const std::string copy = ConfigFile() + ".peer.xml";
  xercesc::XercesDOMParser parser;
  parser.parse(ConfigFile().c_str());
  const XMLCh core[] = {'C', 'o', 'r', 'e', 0};
  xercesc::DOMImplementation* implementation =
      xercesc::DOMImplementationRegistry::getDOMImplementation(core);
  const std::basic_string<XMLCh> target(copy.begin(), copy.end());
  for (auto _ : state) {
    xercesc::DOMLSSerializer* serializer = implementation->createLSSerializer();
    serializer->getDomConfig()->setParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, true);
    xercesc::DOMLSOutput* output = implementation->createLSOutput();
    xercesc::LocalFileFormatTarget file(target.c_str());
    output->setByteStream(&file);
    output->setEncoding(u"gb2312");
    if (!serializer->write(parser.getDocument(), output)) state.SkipWithError("write failed");
    output->release();
    serializer->release();
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(copy));
}

}  // namespace

BENCHMARK(BM_Open_DeZov20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open_BareXercesParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetEveryValue_DeZov20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetEveryValue_PugixmlChildWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFile_DeZov20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFile_BareSerializer)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
