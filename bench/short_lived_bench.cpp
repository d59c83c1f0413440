// SPDX-License-Identifier: MIT
// Stores made where a value is needed, and configurations reloaded while a
// program runs: a new store + Open of a 2 KB file + one lookup, Open again on a
// store that is kept + one lookup, each against the peer a program would use
// instead; a new store whose document cannot be used again, so that every Open
// parses; and the resident memory of a store that re-opens a 730 KB file 30
// times against that after its first open (rss_MB, the whole process).
#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <unistd.h>

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "XmlIni.h"
#include "include/KdIni.h"

namespace {

std::string TempFile(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("dezov20-short-" + std::to_string(::getpid()) + "-" + name))
      .string();
}

// An XML configuration of sections x keys (20 x 5 is about 2 KB).
std::string WriteXml(const std::string& name, int sections, int keys) {
  const std::string path = TempFile(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\r\n"
         "<vornini comment=\"VornSoft Config Data\" Version=\"1.0\">\n";
  for (int s = 0; s < sections; ++s) {
    out << "  <S" << s << ">\n";
    for (int k = 0; k < keys; ++k)
      out << "    <K" << k << " Value=\"v" << s * keys + k << "\"/>\n";
    out << "  </S" << s << ">\n";
  }
  out << "</vornini>\n";
  return path;
}

const std::string& SmallXml() {
  static const std::string path = WriteXml("small.xml", 20, 5);
  return path;
}

const std::string& LargeXml() {
  static const std::string path = WriteXml("large.xml", 600, 30);  // about 730 KB
  return path;
}

// An INI file of about 2 KB.
const std::string& SmallIni() {
  static const std::string path = [] {
    const std::string file = TempFile("small.ini");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (int s = 0; s < 10; ++s) {
      out << "; service " << s << "\n[S" << s << "]\n";
      for (int k = 0; k < 8; ++k) out << "K" << k << "=value " << s * 8 + k << "\n";
    }
    return file;
  }();
  return path;
}

// Every file goes when the program ends.
struct RemoveFiles {
  ~RemoveFiles() {
    for (const std::string* path : {&SmallXml(), &LargeXml(), &SmallIni()})
      std::remove(path->c_str());
  }
} removeFiles;

const char kWantedValue[] = "v97";  // S19\K2

double ResidentMB() {
  long pages = 0;
  long resident = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(statm);
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e6;
}

void BM_NewStoreOpenLookup_DeZov20(benchmark::State& state) {
  for (auto _ : state) {
    CXmlIni store;
    store.Open(SmallXml().c_str());
    if (store.GetValue("S19", "K2") != kWantedValue) state.SkipWithError("wrong value");
  }
}

void BM_NewStoreOpenLookup_Pugixml(benchmark::State& state) {
  for (auto _ : state) {
    pugi::xml_document document;
    document.load_file(SmallXml().c_str());
    const std::string value =
        document.child("vornini").child("S19").child("K2").attribute("Value").value();
    if (value != kWantedValue) state.SkipWithError("wrong value");
  }
}

void BM_ReopenLookup_DeZov20(benchmark::State& state) {
  CXmlIni store;
  for (auto _ : state) {
    store.Open(SmallXml().c_str());
    if (store.GetValue("S19", "K2") != kWantedValue) state.SkipWithError("wrong value");
  }
}

void BM_ReopenLookup_Pugixml(benchmark::State& state) {
  pugi::xml_document document;
  for (auto _ : state) {
    document.load_file(SmallXml().c_str());
    const std::string value =
        document.child("vornini").child("S19").child("K2").attribute("Value").value();
    if (value != kWantedValue) state.SkipWithError("wrong value");
  }
}

void BM_NewIniStoreOpenLookup_KdIni(benchmark::State& state) {
  for (auto _ : state) {
    CKdIni ini;
    ini.Open(SmallIni().c_str());
    if (ini.GetValue("S9", "K3") != "value 75") state.SkipWithError("wrong value");
  }
}

void BM_NewIniStoreOpenLookup_SimpleIni(benchmark::State& state) {
  for (auto _ : state) {
    CSimpleIniA ini;
    ini.LoadFile(SmallIni().c_str());
    const char* value = ini.GetValue("S9", "K3");
    if (value == nullptr || std::string(value) != "value 75") state.SkipWithError("wrong value");
  }
}

// The same with a value set before each store goes, so that its document
// differs from the file and is never used again: every Open parses.
void BM_NewStoreOpenLookupSet_DeZov20(benchmark::State& state) {
  for (auto _ : state) {
    CXmlIni store;
    store.Open(SmallXml().c_str());
    if (store.GetValue("S19", "K2") != kWantedValue) state.SkipWithError("wrong value");
    store.SetValue("S19", "K3", "set");
  }
}

void BM_NewStoreOpenLookupSet_Pugixml(benchmark::State& state) {
  for (auto _ : state) {
    pugi::xml_document document;
    document.load_file(SmallXml().c_str());
    pugi::xml_node section = document.child("vornini").child("S19");
    const std::string value = section.child("K2").attribute("Value").value();
    if (value != kWantedValue) state.SkipWithError("wrong value");
    section.child("K3").attribute("Value").set_value("set");
  }
}

// Resident memory while one store holds the large file after `opens` opens;
// with changeBetween, a value is set before each re-open, so that every Open
// parses the file and the earlier document must be freed.
void ReopenMemory(benchmark::State& state, int opens, bool changeBetween) {
  double residentMB = 0;
  for (auto _ : state) {
    CXmlIni store;
    for (int i = 0; i < opens; ++i) {
      if (changeBetween) store.SetValue("S0", "K0", "changed");
      if (!store.Open(LargeXml().c_str())) state.SkipWithError("open failed");
    }
    residentMB = ResidentMB();
  }
  state.counters["rss_MB"] = residentMB;
}

void BM_ReopenMemory_FirstOpen(benchmark::State& state) { ReopenMemory(state, 1, false); }
void BM_ReopenMemory_DeZov20(benchmark::State& state) { ReopenMemory(state, 30, false); }
void BM_ReopenChangedMemory_FirstOpen(benchmark::State& state) { ReopenMemory(state, 1, true); }
void BM_ReopenChangedMemory_DeZov20(benchmark::State& state) { ReopenMemory(state, 30, true); }

}  // namespace

BENCHMARK(BM_NewStoreOpenLookup_DeZov20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewStoreOpenLookup_Pugixml)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewStoreOpenLookupSet_DeZov20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewStoreOpenLookupSet_Pugixml)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReopenLookup_DeZov20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReopenLookup_Pugixml)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewIniStoreOpenLookup_KdIni)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewIniStoreOpenLookup_SimpleIni)->Unit(benchmark::kMicrosecond);
// The first open runs first, in a process that has held no large document yet.
BENCHMARK(BM_ReopenMemory_FirstOpen)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReopenMemory_DeZov20)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReopenChangedMemory_FirstOpen)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReopenChangedMemory_DeZov20)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
