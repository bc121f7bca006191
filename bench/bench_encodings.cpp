// Conversion and record-cipher throughput: short texts (one header line, one
// file name) and a large body.
#include <benchmark/benchmark.h>

#include <string>

#include "app/data_cipher.h"
#include "app/version_store.h"
#include "platform/encodings.h"

namespace {

using namespace corvenhal;

const std::string kLine = "Content-Type: text/html; charset=\xD6\xD0\xCE\xC4";

std::string LargeGbk() {
  std::string s;
  while (s.size() < (1 << 20)) s += "\xD6\xD0\xCE\xC4 abc 123 ";
  return s;
}

void GbkToWideShort(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(platform::GbkToWide(kLine));
}
BENCHMARK(GbkToWideShort);

void WideToGbkShort(benchmark::State& state) {
  std::string wide = platform::GbkToWide(kLine);
  for (auto _ : state) benchmark::DoNotOptimize(platform::WideToGbk(wide));
}
BENCHMARK(WideToGbkShort);

void GbkToUtf8Large(benchmark::State& state) {
  std::string gbk = LargeGbk();
  for (auto _ : state) benchmark::DoNotOptimize(platform::GbkToUtf8(gbk));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(gbk.size()));
}
BENCHMARK(GbkToUtf8Large);

void Utf8ToGbkLarge(benchmark::State& state) {
  std::string utf8 = platform::GbkToUtf8(LargeGbk());
  for (auto _ : state) benchmark::DoNotOptimize(platform::Utf8ToGbk(utf8));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(utf8.size()));
}
BENCHMARK(Utf8ToGbkLarge);

void EncryptRecord(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(app::EncryptData("1.0.0.1", app::kVersionPassword));
}
BENCHMARK(EncryptRecord);

void EncryptLarge(benchmark::State& state) {
  std::string data(1 << 16, 'x');
  for (auto _ : state) benchmark::DoNotOptimize(app::EncryptData(data, "blueharbor"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}
BENCHMARK(EncryptLarge);

}  // namespace

BENCHMARK_MAIN();
