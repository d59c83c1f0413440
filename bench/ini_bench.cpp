// SPDX-License-Identifier: MIT
// The INI store against SimpleIni (and inih for reading) on a generated file
// of 1,000 sections x 100 keys with comment lines (about 4 MB): Open, a
// GetValue of every key, and SetValue + WriteFile. Each benchmark checks that
// it saw every one of the file's values, and reports the heap it used:
// peak_MB is the most heap held at once while the file was loaded and used,
// kept_MB what the loaded file holds (both above the heap in use before).
#include <benchmark/benchmark.h>
#include <ini.h>
#include <malloc.h>
#include <unistd.h>

// Only the narrow CSimpleIniA is used: no wide-character converter needed.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "include/KdIni.h"

// ---- Heap accounting: every operator new and delete of the process --------

namespace {
long long gLiveBytes = 0;  // the benchmarks run on one thread
long long gPeakBytes = 0;

void* CountedAlloc(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) {
    gLiveBytes += static_cast<long long>(malloc_usable_size(block));
    if (gLiveBytes > gPeakBytes) gPeakBytes = gLiveBytes;
  }
  return block;
}

void CountedFree(void* block) {
  if (block == nullptr) return;
  gLiveBytes -= static_cast<long long>(malloc_usable_size(block));
  std::free(block);
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* block = CountedAlloc(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return CountedAlloc(size);
}
void operator delete(void* block) noexcept { CountedFree(block); }
void operator delete[](void* block) noexcept { CountedFree(block); }
void operator delete(void* block, std::size_t) noexcept { CountedFree(block); }
void operator delete[](void* block, std::size_t) noexcept { CountedFree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { CountedFree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { CountedFree(block); }

namespace {

// Heap use from construction on: the peak and the bytes held now.
class HeapWindow {
 public:
  HeapWindow() : base_(gLiveBytes) { gPeakBytes = gLiveBytes; }
  double PeakMB() const { return static_cast<double>(gPeakBytes - base_) / 1e6; }
  double HeldMB() const { return static_cast<double>(gLiveBytes - base_) / 1e6; }

 private:
  long long base_;
};

// ---- The generated file ----------------------------------------------------

constexpr int kSections = 1000;
constexpr int kKeysPerSection = 100;
constexpr long kValues = static_cast<long>(kSections) * kKeysPerSection;

std::string SectionName(int s) {
  char name[32];
  std::snprintf(name, sizeof name, "section_%04d", s);
  return name;
}

std::string KeyName(int k) {
  char name[32];
  std::snprintf(name, sizeof name, "key_%03d", k);
  return name;
}

// The file, written once into a private directory removed at exit.
class BenchFiles {
 public:
  BenchFiles() {
    dir_ = std::filesystem::temp_directory_path() /
           ("dezov20-ini-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    source_ = (dir_ / "source.ini").string();
    std::ofstream out(source_, std::ios::binary);
    out << "; Generated configuration: " << kSections << " sections of " << kKeysPerSection
        << " keys\n\n";
    for (int s = 0; s < kSections; ++s) {
      out << "; Settings of service " << s << ", generated for the benchmark\n";
      out << "[" << SectionName(s) << "]\n";
      for (int k = 0; k < kKeysPerSection; ++k) {
        if (k % 10 == 0) out << "; keys " << k << " to " << k + 9 << " of this service\n";
        out << KeyName(k) << " = value_" << s << "_" << k << "_abcdefghij";
        if (k % 5 == 0) out << " // note " << k;
        out << "\n";
      }
      out << "\n";
    }
  }
  ~BenchFiles() {
    std::error_code error;
    std::filesystem::remove_all(dir_, error);
  }
  const std::string& source() const { return source_; }
  // A fresh copy of the file for a benchmark that writes.
  std::string Copy(const std::string& name) const {
    const std::string path = (dir_ / name).string();
    std::filesystem::copy_file(source_, path, std::filesystem::copy_options::overwrite_existing);
    return path;
  }
  std::uintmax_t size() const { return std::filesystem::file_size(source_); }

 private:
  std::filesystem::path dir_;
  std::string source_;
};

const BenchFiles& Files() {
  static const BenchFiles files;
  return files;
}

long CountValues(const CKdIni& ini) {
  long count = 0;
  for (const CKdIni::CIniSection* section : ini.vecSections) count += section->vecKeys.size();
  return count;
}

long CountValues(const CSimpleIniA& ini) {
  CSimpleIniA::TNamesDepend sections;
  ini.GetAllSections(sections);
  long count = 0;
  for (const auto& section : sections) count += ini.GetSectionSize(section.pItem);
  return count;
}

bool CheckCount(benchmark::State& state, long count) {
  if (count == kValues) return true;
  state.SkipWithError(("found " + std::to_string(count) + " values, expected " +
                       std::to_string(kValues)).c_str());
  return false;
}

void SetFileCounters(benchmark::State& state, const HeapWindow& heap, double keptMB) {
  state.counters["peak_MB"] = heap.PeakMB();
  state.counters["kept_MB"] = keptMB;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Files().size()));
}

// ---- Reading ---------------------------------------------------------------

// The floor for reading: the file's lines found in 64 KiB blocks.
void BM_ReadLineScan(benchmark::State& state) {
  long lines = 0;
  for (auto _ : state) {
    std::FILE* file = std::fopen(Files().source().c_str(), "rb");
    std::vector<char> block(64 * 1024);
    lines = 0;
    for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), file)) > 0;)
      for (const char* p = block.data(); (p = static_cast<const char*>(
                                              std::memchr(p, '\n', block.data() + got - p)));
           ++p)
        ++lines;
    std::fclose(file);
    benchmark::DoNotOptimize(lines);
  }
  state.counters["file_MB"] = static_cast<double>(Files().size()) / 1e6;
  state.counters["lines"] = static_cast<double>(lines);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Files().size()));
}

void BM_Open_KdIni(benchmark::State& state) {
  const std::string path = Files().source();
  HeapWindow heap;
  double keptMB = 0;
  long count = 0;
  for (auto _ : state) {
    CKdIni ini;
    ini.Open(path.c_str());
    keptMB = heap.HeldMB();
    count = CountValues(ini);
  }
  if (CheckCount(state, count)) SetFileCounters(state, heap, keptMB);
}

void BM_Open_SimpleIni(benchmark::State& state) {
  const std::string path = Files().source();
  HeapWindow heap;
  double keptMB = 0;
  long count = 0;
  for (auto _ : state) {
    CSimpleIniA ini;
    ini.LoadFile(path.c_str());
    keptMB = heap.HeldMB();
    count = CountValues(ini);
  }
  if (CheckCount(state, count)) SetFileCounters(state, heap, keptMB);
}

int CountInihValue(void* user, const char*, const char*, const char*) {
  ++*static_cast<long*>(user);
  return 1;
}

// inih keeps nothing: it calls back for each value (no memory figures).
void BM_Open_Inih(benchmark::State& state) {
  long count = 0;
  for (auto _ : state) {
    count = 0;
    ini_parse(Files().source().c_str(), CountInihValue, &count);
  }
  if (CheckCount(state, count))
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Files().size()));
}

// ---- A GetValue of every key -------------------------------------------------

struct Names {
  std::vector<std::string> sections;
  std::vector<std::string> keys;
  Names() {
    for (int s = 0; s < kSections; ++s) sections.push_back(SectionName(s));
    for (int k = 0; k < kKeysPerSection; ++k) keys.push_back(KeyName(k));
  }
};

void BM_GetEveryValue_KdIni(benchmark::State& state) {
  const Names names;
  HeapWindow heap;
  CKdIni ini;
  ini.Open(Files().source().c_str());
  long found = 0;
  for (auto _ : state) {
    found = 0;
    for (const std::string& section : names.sections)
      for (const std::string& key : names.keys)
        found += !ini.GetValue(section.c_str(), key.c_str(), "\x01").empty();
  }
  if (CheckCount(state, found)) state.counters["peak_MB"] = heap.PeakMB();
}

void BM_GetEveryValue_SimpleIni(benchmark::State& state) {
  const Names names;
  HeapWindow heap;
  CSimpleIniA ini;
  ini.LoadFile(Files().source().c_str());
  long found = 0;
  for (auto _ : state) {
    found = 0;
    for (const std::string& section : names.sections)
      for (const std::string& key : names.keys)
        found += ini.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
  }
  if (CheckCount(state, found)) state.counters["peak_MB"] = heap.PeakMB();
}

// ---- SetValue + WriteFile ------------------------------------------------------

void BM_SetAndWrite_KdIni(benchmark::State& state) {
  const std::string path = Files().Copy("ours.ini");
  HeapWindow heap;
  {
    CKdIni ini;
    ini.Open(path.c_str());
    long round = 0;
    for (auto _ : state) {
      ini.SetValue("section_0500", "key_050", std::to_string(++round).c_str());
      if (!ini.WriteFile()) state.SkipWithError("WriteFile failed");
    }
    state.counters["peak_MB"] = heap.PeakMB();
  }
  CKdIni written;
  written.Open(path.c_str());
  CheckCount(state, CountValues(written));
}

void BM_SetAndWrite_SimpleIni(benchmark::State& state) {
  const std::string path = Files().Copy("peer.ini");
  HeapWindow heap;
  {
    CSimpleIniA ini;
    ini.LoadFile(path.c_str());
    long round = 0;
    for (auto _ : state) {
      ini.SetValue("section_0500", "key_050", std::to_string(++round).c_str());
      if (ini.SaveFile(path.c_str()) < 0) state.SkipWithError("SaveFile failed");
    }
    state.counters["peak_MB"] = heap.PeakMB();
  }
  CSimpleIniA written;
  written.LoadFile(path.c_str());
  CheckCount(state, CountValues(written));
}

}  // namespace

BENCHMARK(BM_ReadLineScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open_KdIni)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open_SimpleIni)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open_Inih)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetEveryValue_KdIni)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetEveryValue_SimpleIni)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetAndWrite_KdIni)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetAndWrite_SimpleIni)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
