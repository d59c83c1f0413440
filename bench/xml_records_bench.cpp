// SPDX-License-Identifier: MIT
// Reading a list of records the usual way: Locate, GetCount, then one read
// per index. The cursor remembers the last record it handed out, so the whole
// loop walks the list once and its time grows linearly with the record count.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "XmlIni.h"

namespace {

namespace fs = std::filesystem;

// A file of n records written with Append/Set and opened again, so that the
// list holds the whitespace text the writer puts between records.
class RecordFile {
 public:
  explicit RecordFile(long n) {
    dir_ = fs::temp_directory_path() / ("dezov20-records-bench-" + std::to_string(n));
    fs::create_directories(dir_);
    const std::string file = (dir_ / "records.xml").string();
    fs::remove(file);
    CXmlIni writer;
    writer.Open(file.c_str());  // creates the default document
    writer.Open(file.c_str());
    for (long i = 0; i < n; ++i) {
      writer.Append("data\\list\\rec");
      writer.Set("id", i);
      writer.Set("name", ("record " + std::to_string(i)).c_str());
      writer.Set("on", i % 2 == 0 ? "true" : "false");
    }
    writer.WriteFile();
    store.Open(file.c_str());
  }
  ~RecordFile() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  CXmlIni store;

 private:
  fs::path dir_;
};

void BM_ReadRecordsWithGet(benchmark::State& state) {
  RecordFile file(state.range(0));
  CXmlIni& store = file.store;
  for (auto _ : state) {
    store.Locate("data\\list", "rec");
    const long count = store.GetCount();
    for (int i = 0; i < count; ++i) {
      benchmark::DoNotOptimize(store.Get("name", i));
      benchmark::DoNotOptimize(store.GetLong("id", i));
    }
  }
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadRecordsWithGet)->Arg(1000)->Arg(10000)->Arg(40000)->Complexity(benchmark::oN);

void BM_ReadRecordsThroughHandles(benchmark::State& state) {
  RecordFile file(state.range(0));
  CXmlIni& store = file.store;
  for (auto _ : state) {
    store.Locate("data\\list", "rec");
    const long count = store.GetCount();
    for (int i = 0; i < count; ++i) {
      const long record = store.GetNodeByIndex(i);
      benchmark::DoNotOptimize(store.GetAttribute(record, "name"));
    }
  }
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadRecordsThroughHandles)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(40000)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
