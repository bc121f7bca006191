// The manifest walk's cost: a generated manifest of 100,000 entries is parsed,
// "news" counted, and "file", "md5" and "url" of every entry read with
// GetText, as the verification walk reads them (300,000 reads).
// Goal: all of it within 3 seconds.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "script/json_object.h"
#include "text/text.h"

namespace {

using corvenhal::Text;
using corvenhal::script::JsonObject;
using Clock = std::chrono::steady_clock;

// The entry count may be given as the first argument (for a profiler's run).
long kEntries = 100000;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Processor time of this process, which other work on the machine does not
// stretch as it does the wall-clock figures.
double CpuSeconds(std::clock_t since) { return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC; }

// One entry per line, CR LF endings, GBK names in some paths, as a server's
// manifest looks.
Text Manifest() {
  Text m = "{\r\n\"news\": [\r\n";
  char md5[80];
  for (long i = 0; i < kEntries; ++i) {
    std::snprintf(md5, sizeof md5, "%08lX%08lX%08lX%08lX", i * 2654435761UL % 0xFFFFFFFF, i, ~i & 0xFFFFFFFF, i * 7);
    md5[32] = '\0';
    Text n = corvenhal::text::NumberToText(static_cast<long long>(i));
    m += "{\"file\": \"/data/" + Text(i % 10 == 0 ? "\xB5\xD8\xCD\xBC" : "pack") + "/" + n + ".pak\", \"md5\": \"" +
         md5 + "\", \"url\": \"https://update.corvenhal.example/client/data/" + n + ".pak\"}";
    m += i + 1 < kEntries ? ",\r\n" : "\r\n";
  }
  m += "],\r\n\"version\": \"1.0.0.7\"\r\n}\r\n";
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) kEntries = std::atol(argv[1]);
  const Text manifest = Manifest();
  std::printf("manifest: %ld entries, %.1f MiB\n", kEntries, manifest.size() / 1048576.0);

  auto start = Clock::now();
  std::clock_t cpuStart = std::clock();
  JsonObject json;
  bool parsed = json.Parse(manifest, false);
  double parseSeconds = Seconds(start);
  double parseCpu = CpuSeconds(cpuStart);

  auto walk = Clock::now();
  std::clock_t cpuWalk = std::clock();
  long count = json.Count("news");
  std::size_t bytes = 0;
  long empty = 0;
  for (long k = 0; k < count; ++k) {
    const Text entry = "news[" + corvenhal::text::NumberToText(static_cast<long long>(k)) + "].";
    for (const char* member : {"file", "md5", "url"}) {
      Text value = json.GetText(entry + member, false);
      bytes += value.size();
      empty += value.empty();
    }
  }
  double walkSeconds = Seconds(walk);
  double walkCpu = CpuSeconds(cpuWalk);
  double total = Seconds(start);
  double totalCpu = CpuSeconds(cpuStart);
  long reads = count * 3;

  std::printf("parse: %s in %.3f s (cpu %.3f s)\n", parsed ? "ok" : "FAILED", parseSeconds, parseCpu);
  std::printf("count of news: %ld\n", count);
  std::printf("reads: %ld in %.3f s (cpu %.3f s), %.2f us per read (cpu %.2f us) (%zu bytes read, %ld empty)\n", reads,
              walkSeconds, walkCpu, reads ? walkSeconds * 1e6 / reads : 0.0, reads ? walkCpu * 1e6 / reads : 0.0, bytes,
              empty);
  bool met = total <= 3.0 * kEntries / 100000 && parsed && count == kEntries;
  std::printf("total: %.3f s (cpu %.3f s) (goal: within 3 s for 100,000 entries) %s\n", total, totalCpu, met ? "met" : "NOT MET");
  return parsed && count == kEntries && empty == 0 ? 0 : 1;
}
