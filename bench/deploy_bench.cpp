// SPDX-License-Identifier: MIT
// The deployment resolver: loading a description of the largest size the loader
// reads (99 deployments x 299 domains, every value read through the XML store),
// and single trade and history lookups on the small worked description.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "KdDeploy.h"
#include "XmlIni.h"

namespace {

constexpr int kDeployments = 99;
constexpr int kDomains = 299;

// A file in the temporary directory, removed when the program ends.
class BenchFile {
 public:
  explicit BenchFile(const std::string& xml)
      : path_((std::filesystem::temp_directory_path() /
               ("dezov20-deploy-bench-" + std::to_string(std::random_device{}()) + ".xml"))
                  .string()) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << xml;
  }
  ~BenchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

std::string LargeDescription() {
  std::string xml = "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\n<vornini>\n<DEPLOY>";
  for (int n = 1; n <= kDeployments; ++n)
    xml += "<DEPLOY" + std::to_string(n) + " Value=\"D" + std::to_string(n) + "," +
           (n % 2 ? "0" : "1") + "\"/>";
  xml += "</DEPLOY>\n";
  for (int n = 1; n <= kDeployments; ++n) {
    const std::string section = "D" + std::to_string(n);
    xml += "<" + section + ">";
    for (int m = 1; m <= kDomains; ++m) {
      const std::string number = std::to_string(100000 + m);
      xml += "<DOMAIN" + std::to_string(m) + " Value=\"S" + number + ":T" + number + "," + number +
             ":" + number + "\"/>";
    }
    xml += "</" + section + ">\n";
  }
  return xml + "</vornini>\n";
}

const char kExample[] =
    "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\n<vornini>"
    "<DEPLOY><DEPLOY1 Value=\"YYB,0\"/><DEPLOY2 Value=\"JYS,0\"/><DEPLOY3 Value=\"RQ,1\"/></DEPLOY>"
    "<YYB><DOMAIN1 Value=\"TA_SH1:TA_SH2:TA_SZ1:HA_2005:HA_2006,0101;0102\"/>"
    "<DOMAIN2 Value=\"TB_SH1:TB_SZ1:HB_2007,0201\"/></YYB>"
    "<JYS><DOMAIN1 Value=\"SH,1\"/><DOMAIN2 Value=\"SZ,2\"/></JYS>"
    "<RQ><DOMAIN1 Value=\"2005,20050101:20051231\"/><DOMAIN2 Value=\"2006,20060101:20061231\"/>"
    "<DOMAIN3 Value=\"2007,20070101:20071231\"/></RQ></vornini>\n";

void BM_InitDeloyLargest(benchmark::State& state) {
  BenchFile file(LargeDescription());
  CXmlIni store;
  if (!store.Open(file.path())) state.SkipWithError(store.GetLastErrMsg().c_str());
  CKdDeploy resolver;
  for (auto _ : state) resolver.InitDeloy(&store);
  if (resolver.GetDomainStr("D99", "100299", "100299") != "S100299:T100299")
    state.SkipWithError("wrong table");
  state.counters["values"] = benchmark::Counter(
      double(kDeployments + kDeployments * kDomains) * double(state.iterations()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InitDeloyLargest)->Unit(benchmark::kMillisecond);

// Last domain of the last deployment of the largest description: the longest scan.
void BM_GetDomainStrLargestScan(benchmark::State& state) {
  BenchFile file(LargeDescription());
  CXmlIni store;
  store.Open(file.path());
  CKdDeploy resolver;
  resolver.InitDeloy(&store);
  for (auto _ : state) benchmark::DoNotOptimize(resolver.GetDomainStr("D99", "100299", "100299"));
}
BENCHMARK(BM_GetDomainStrLargestScan);

// A resolver loaded with the worked description; the store is gone afterwards.
CKdDeploy& ExampleResolver() {
  static CKdDeploy resolver = [] {
    BenchFile file(kExample);
    CXmlIni store;
    store.Open(file.path());
    CKdDeploy loaded;
    loaded.InitDeloy(&store);
    return loaded;
  }();
  return resolver;
}

void BM_GetTradeDomain(benchmark::State& state) {
  CKdDeploy& resolver = ExampleResolver();
  std::string yyb = "0101", jys = "2";
  for (auto _ : state) benchmark::DoNotOptimize(resolver.GetTradeDomain(yyb, jys));
  if (resolver.GetTradeDomain(yyb, jys) != "TA_SZ1") state.SkipWithError("wrong answer");
}
BENCHMARK(BM_GetTradeDomain);

// The walking case: two passes over the "RQ" domains behind the current one.
void BM_GetHistoryDomainWalk(benchmark::State& state) {
  CKdDeploy& resolver = ExampleResolver();
  for (auto _ : state)
    benchmark::DoNotOptimize(resolver.GetHistoryDomain("0201", "20050301", "20071231", "2005"));
  if (resolver.GetHistoryDomain("0201", "20050301", "20071231", "2005") != "HB_2007")
    state.SkipWithError("wrong answer");
}
BENCHMARK(BM_GetHistoryDomainWalk);

void BM_GetHistoryDomainFirst(benchmark::State& state) {
  CKdDeploy& resolver = ExampleResolver();
  for (auto _ : state)
    benchmark::DoNotOptimize(resolver.GetHistoryDomain("0101", "20060315", "20060315", ""));
}
BENCHMARK(BM_GetHistoryDomainFirst);

}  // namespace

BENCHMARK_MAIN();
