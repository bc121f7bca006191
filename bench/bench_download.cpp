// DownloadToFile of a large file from a local nginx over HTTPS against
// `curl -o` of the same URL in the same run, with the peak memory of each.
// Goals: at most 1.1 times curl's time; peak memory below 64 MiB.
//   bench_download [MiB]   (default 1024)
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/encodings.h"
#include "platform/portable/download_curl.h"
#include "platform/services.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "updater/download.h"

namespace {

using namespace corvenhal;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

int FreeLoopbackPort() {
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

bool Accepts(int port) {
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

struct Measured {
  double seconds = 0;
  double cpu = 0;  // user and system seconds
  long peakKib = 0;
  int status = -1;
};

// Runs `work` in a child process, for its own peak resident memory.
template <typename Work>
Measured InChild(Work work) {
  auto t = Clock::now();
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(work() ? 0 : 1);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return {Seconds(t), cpu, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace

int main(int argc, char** argv) {
  const long mib = argc > 1 ? std::atol(argv[1]) : 1024;
  testing::TempDir dir;
  const std::string root = dir.str();
  {
    std::vector<char> block(1 << 20);
    unsigned state = 99;
    std::ofstream out(root + "/client.pak", std::ios::binary);
    for (long i = 0; i < mib; ++i) {
      for (char& c : block) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  // A throw-away certificate for 127.0.0.1, trusted by both clients.
  testing::ProcessResult cert = testing::RunProcess(
      {"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-days", "1",
       "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", root + "/key.pem", "-out",
       root + "/cert.pem"});
  if (cert.exitCode != 0) {
    std::fprintf(stderr, "openssl req failed: %s\n", cert.err.c_str());
    return 1;
  }
  const int port = FreeLoopbackPort();
  std::ofstream(root + "/nginx.conf")
      << (::geteuid() == 0 ? "user root; " : "") << "daemon off; worker_processes 1; pid " << root << "/nginx.pid; error_log " << root << "/error.log;\n"
      << "events { worker_connections 64; }\n"
      << "http { access_log off; sendfile on; client_body_temp_path " << root << "/t; proxy_temp_path " << root
      << "/t; fastcgi_temp_path " << root << "/t; uwsgi_temp_path " << root << "/t; scgi_temp_path " << root
      << "/t;\n"
      << "  server { listen 127.0.0.1:" << port << " ssl; ssl_certificate " << root << "/cert.pem; ssl_certificate_key "
      << root << "/key.pem; root " << root << "; } }\n";
  pid_t nginx = ::fork();
  if (nginx == 0) {
    ::execl("/usr/sbin/nginx", "nginx", "-p", root.c_str(), "-c", (root + "/nginx.conf").c_str(), nullptr);
    ::_exit(127);
  }
  for (int i = 0; i < 100 && !Accepts(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/client.pak";

  // Warm the server side's page cache once, then alternate the two clients.
  testing::RunProcess({"/bin/cat", root + "/client.pak"});
  Measured curlBest, oursBest;
  curlBest.seconds = oursBest.seconds = 1e9;
  std::string pem;
  {
    std::ifstream in(root + "/cert.pem");
    pem.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  for (int run = 0; run < 3; ++run) {
    Measured c = InChild([&] {
      ::execl("/usr/bin/curl", "curl", "-fsS", "--cacert", (root + "/cert.pem").c_str(), "-o",
              (root + "/curl.out").c_str(), url.c_str(), nullptr);
      return false;
    });
    if (c.seconds < curlBest.seconds) curlBest = c;
    ::unlink((root + "/curl.out").c_str());
    Measured o = InChild([&] {
      std::unique_ptr<platform::DownloadService> downloads = platform::portable::MakeDownloads(pem);
      platform::Current().downloads = downloads.get();
      return updater::DownloadToFile(url, platform::Utf8ToGbkText(root + "/ours.out"), updater::kReplaceExisting);
    });
    if (o.seconds < oursBest.seconds) oursBest = o;
    ::unlink((root + "/ours.out").c_str());
  }
  ::kill(nginx, SIGTERM);
  ::waitpid(nginx, nullptr, 0);

  std::printf("file: %ld MiB over HTTPS from nginx on 127.0.0.1 (best of 3)\n", mib);
  std::printf("curl -o:        %7.2f s  cpu %5.2f s  peak %6ld KiB  (exit %d)\n", curlBest.seconds, curlBest.cpu,
              curlBest.peakKib, curlBest.status);
  std::printf("DownloadToFile: %7.2f s  cpu %5.2f s  peak %6ld KiB  (exit %d)\n", oursBest.seconds, oursBest.cpu,
              oursBest.peakKib, oursBest.status);
  std::printf("(DownloadToFile's file is on disk when it returns; curl's may still be in the page cache)\n");
  std::printf("time ratio DownloadToFile/curl: %.2f  (goal <= 1.1)\n", oursBest.seconds / curlBest.seconds);
  std::printf("peak memory: %.1f MiB  (goal < 64 MiB)\n", static_cast<double>(oursBest.peakKib) / 1024.0);
  return curlBest.status == 0 && oursBest.status == 0 ? 0 : 1;
}
