// A verification walk over many small files and a few large ones, all up to
// date, against `md5sum -c` over the same list, both with a cold page cache
// (dropped as root; otherwise both run warm and the figure says so).
// Goal: at most 1.5 times md5sum's time.
//   bench_verify_walk [small files] [large files] [MiB per large file]
//   (default 20000 10 64)
#include <openssl/evp.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/encodings.h"
#include "platform/headless/headless_window_system.h"
#include "platform/services.h"
#include "support/http_server.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "updater/verify_window.h"

namespace {

using namespace corvenhal;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string Hex(std::string_view bytes, bool upper) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < length; ++i) {
    out += digits[digest[i] >> 4];
    out += digits[digest[i] & 15];
  }
  return out;
}

bool DropCaches() {
  ::sync();
  std::ofstream drop("/proc/sys/vm/drop_caches");
  if (!drop) return false;
  drop << "3\n";
  drop.flush();
  return static_cast<bool>(drop);
}

}  // namespace

int main(int argc, char** argv) {
  const int small = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int large = argc > 2 ? std::atoi(argv[2]) : 10;
  const size_t largeMib = argc > 3 ? static_cast<size_t>(std::atol(argv[3])) : 64;

  testing::TempDir dir;
  const fs::path resource = dir.path() / "run" / "Resource";
  std::string manifest = "{\"news\":[";
  std::string list;  // md5sum -c input
  unsigned state = 7;
  auto add = [&](const std::string& rel, const std::string& body) {
    fs::path p = resource / rel;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(body.data(), static_cast<std::streamsize>(body.size()));
    if (manifest.size() > 10) manifest += ",";
    manifest += "{\"file\":\"/" + rel + "\",\"md5\":\"" + Hex(body, true) + "\",\"url\":\"http://127.0.0.1:1/x\"}";
    list += Hex(body, false) + "  " + p.string() + "\n";
  };
  for (int i = 0; i < small; ++i) {
    std::string body(1024 + (i * 37) % 3072, '\0');
    for (char& c : body) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
    add("data" + std::to_string(i % 200) + "/f" + std::to_string(i) + ".dat", body);
  }
  for (int i = 0; i < large; ++i) {
    std::string body(largeMib << 20, '\0');
    for (char& c : body) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
    add("big" + std::to_string(i) + ".pak", body);
  }
  manifest += "]}";
  const std::string listFile = dir.str() + "/list.md5";
  std::ofstream(listFile) << list;

  testing::HttpServer server;
  server.Route("/update/Updata.ini", testing::Reply::Ok(manifest));
  server.Route("/update/Vers.txt", testing::Reply::Ok("1"));

  const bool cold = DropCaches();
  auto t = Clock::now();
  testing::ProcessResult md5sum = testing::RunProcess({"/usr/bin/md5sum", "--quiet", "-c", listFile});
  const double md5sumSeconds = Seconds(t);

  platform::headless::HeadlessWindowSystem windows;
  platform::Services services = platform::Current();
  services.windows = &windows;
  platform::ScopedServices scope(services);
  updater::UpdateContext context;
  context.origin = server.Origin();
  context.runDirectory = platform::Utf8ToGbkText((dir.path() / "run").string());
  context.recordFile = platform::Utf8ToGbkText(dir.str() + "/Update.dat");
  int downloads = 0;
  context.recordVersion = [&](const Bytes&) { ++downloads; };
  DropCaches();
  t = Clock::now();
  bool ok = updater::RunVerifyWindow(updater::WalkWindow::kUpdate, context);
  const double walkSeconds = Seconds(t);

  std::printf("%d small files (1-4 KiB), %d large files of %zu MiB; page cache %s\n", small, large, largeMib,
              cold ? "dropped before each run" : "NOT dropped (not root): both warm");
  std::printf("md5sum -c:         %8.2f s  (exit %d)\n", md5sumSeconds, md5sum.exitCode);
  std::printf("verification walk: %8.2f s  (%s, %d downloads)\n", walkSeconds, ok ? "ok" : "FAILED", downloads);
  std::printf("time ratio walk/md5sum: %.2f  (goal <= 1.5)\n", walkSeconds / md5sumSeconds);
  return ok && md5sum.exitCode == 0 && downloads == 0 ? 0 : 1;
}
