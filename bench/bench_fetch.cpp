// WinHttpFetch of a large body over loopback, against curl fetching the same
// URL to /dev/null in the same run, and the memory the call needs at its peak.
// Goals: within 1.3 times curl's time; peak memory below 3 times the body;
// the cost per byte about the same for a quarter of the body (linear growth).
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "http/winhttp_fetch.h"
#include "support/http_server.h"

namespace {

using corvenhal::testing::HttpServer;
using corvenhal::testing::Reply;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kMiB = 1 << 20;
constexpr std::uint64_t kBody = 256 * kMiB;
constexpr int kRounds = 3;

// A kibibyte figure of /proc/self/status ("VmRSS", "VmHWM").
long StatusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + line.find(':') + 1);
  }
  return -1;
}

// Starts the peak-memory figure afresh from the present size.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double BestOf(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

struct FetchFigures {
  double seconds;
  double peakMiB;  // above the size before the call
  std::size_t bytes;
};

FetchFigures FetchBest(const std::string& url) {
  FetchFigures best{1e9, 0, 0};
  for (int i = 0; i < kRounds; ++i) {
    long before = StatusKiB("VmRSS:");
    ResetPeak();
    auto start = Clock::now();
    std::size_t bytes = corvenhal::http::WinHttpFetch(url).size();
    double s = Seconds(start);
    double peak = (StatusKiB("VmHWM:") - before) / 1024.0;
    best.seconds = std::min(best.seconds, s);
    best.peakMiB = std::max(best.peakMiB, peak);
    best.bytes = bytes;
  }
  return best;
}

double CurlBest(const std::string& url) {
  std::vector<double> times;
  std::string command = "curl -s -o /dev/null '" + url + "'";
  for (int i = 0; i < kRounds; ++i) {
    auto start = Clock::now();
    int rc = std::system(command.c_str());
    times.push_back(Seconds(start));
    if (rc != 0) std::fprintf(stderr, "curl exited with %d\n", rc);
  }
  return BestOf(times);
}

}  // namespace

int main() {
  HttpServer server;
  // Each body with a Content-Length line, and without one (ended by closing,
  // so that the buffer grows as the bytes come).
  for (std::uint64_t size : {kBody, kBody / 4}) {
    std::string n = std::to_string(size / kMiB);
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n";
    server.Route("/declared" + n, Reply().Write(head).Repeat("0123456789abcdef", size));
    server.Route("/undeclared" + n,
                 Reply().Write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n").Repeat("0123456789abcdef", size).Close());
  }
  double bodyMiB = static_cast<double>(kBody) / kMiB;
  std::printf("body %.0f MiB over loopback, best of %d runs\n", bodyMiB, kRounds);
  for (const char* kind : {"declared", "undeclared"}) {
    std::string full = server.Url("/" + std::string(kind) + std::to_string(kBody / kMiB));
    std::string quarter = server.Url("/" + std::string(kind) + std::to_string(kBody / 4 / kMiB));
    double curl = CurlBest(full);
    FetchFigures f = FetchBest(full);
    FetchFigures q = FetchBest(quarter);
    std::printf("\nlength %s\n", kind);
    std::printf("  curl -o /dev/null         %.3f s  (%.0f MiB/s)\n", curl, bodyMiB / curl);
    std::printf("  WinHttpFetch              %.3f s  (%.0f MiB/s), %zu bytes of text\n", f.seconds,
                bodyMiB / f.seconds, f.bytes);
    std::printf("  time against curl         %.2fx  (goal: within 1.30x)\n", f.seconds / curl);
    std::printf("  peak memory of the call   %.0f MiB = %.2fx the body  (goal: below 3x)\n", f.peakMiB,
                f.peakMiB / bodyMiB);
    std::printf("  a quarter of the body     %.3f s: cost per byte %.2fx the full body's (linear: about 1x)\n",
                q.seconds, (q.seconds / (bodyMiB / 4)) / (f.seconds / bodyMiB));
  }
  return 0;
}
