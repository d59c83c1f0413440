// SPDX-License-Identifier: MIT
// A 2 KB save of a file nobody else changed: the locked save with its check
// of the file on disk (SaveLocked) against the replacement that does not look
// at the file first (PutFileBytes, under the same lock) and against QSettings::sync() of
// an INI file of the same size. All three flush the file to the device, so
// wall-clock time is measured.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "PutFile.h"
#include "platform/SaveProtocol.h"

#ifdef DEZOV20_BENCH_QT
#include <QSettings>
#include <QString>
#endif

namespace {

namespace platform = dezov::platform;

// 64 keys of about 32 bytes each: 2 KB of INI text.
std::string TwoKilobytes(int round) {
  std::string text = "[settings]\n";
  for (int key = 0; text.size() < 2048 - 40; ++key)
    text += "key" + std::to_string(key) + "=value " + std::to_string(round + key) + " padding\n";
  return text;
}

class BenchDir {
 public:
  BenchDir() {
    char pattern[] = "/tmp/dezov20-save-bench-XXXXXX";
    path_ = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
  }
  ~BenchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void BM_Save2K_DeZov20(benchmark::State& state) {
  BenchDir dir;
  const std::string path = dir.File("app.ini");
  platform::FileStamp stamp;
  int round = 0;
  for (auto _ : state) {
    const std::string text = TwoKilobytes(round++);
    const dezov::Status status = platform::SaveLocked(
        path, stamp,
        [&](const platform::DiskState& disk, std::string& out) {
          if (round > 1 && disk.kind != platform::DiskState::kUnchanged)
            return dezov::Status::Corrupt("the file changed");
          out = text;
          return dezov::Status::Ok();
        },
        stamp);
    if (!status.ok()) state.SkipWithError(status.message().c_str());
  }
}
BENCHMARK(BM_Save2K_DeZov20)->UseRealTime();

void BM_Save2K_Put(benchmark::State& state) {
  BenchDir dir;
  const std::string path = dir.File("app.ini");
  int round = 0;
  std::string reason;
  for (auto _ : state) {
    if (!dezov::PutFileBytes(path, TwoKilobytes(round++), {}, reason))
      state.SkipWithError(reason.c_str());
  }
}
BENCHMARK(BM_Save2K_Put)->UseRealTime();

#ifdef DEZOV20_BENCH_QT
void BM_Save2K_QSettings(benchmark::State& state) {
  BenchDir dir;
  const QString path = QString::fromStdString(dir.File("app.ini"));
  {
    QSettings settings(path, QSettings::IniFormat);
    for (int key = 0; key < 64; ++key)
      settings.setValue("settings/key" + QString::number(key), "value " + QString::number(key) + " pad");
  }
  QSettings settings(path, QSettings::IniFormat);
  int round = 0;
  for (auto _ : state) {
    settings.setValue("settings/key0", "value " + QString::number(round++) + " pad");
    settings.sync();
    if (settings.status() != QSettings::NoError) state.SkipWithError("QSettings::sync failed");
  }
}
BENCHMARK(BM_Save2K_QSettings)->UseRealTime();
#endif

}  // namespace

BENCHMARK_MAIN();
