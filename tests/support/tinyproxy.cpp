#include "support/tinyproxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace corvenhal::testing {
namespace {

constexpr const char* kProgram = "/usr/bin/tinyproxy";

bool Accepts(std::uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

std::uint16_t FreeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

TinyProxy::TinyProxy(const std::string& user, const std::string& password) {
  if (::access(kProgram, X_OK) != 0) return;
  port_ = FreeLoopbackPort();
  std::string config = "Port " + std::to_string(port_) +
                       "\n"
                       "Listen 127.0.0.1\n"
                       "Timeout 30\n"
                       "MaxClients 50\n"
                       "Allow 127.0.0.1\n"
                       "LogLevel Info\n"
                       "LogFile \"" + (dir_.path() / "log").string() + "\"\n";
  if (!user.empty()) config += "BasicAuth " + user + " " + password + "\n";
  std::string configPath = dir_.Write("tinyproxy.conf", config).string();
  dir_.Write("log", "");
  ::chmod((dir_.path() / "log").c_str(), 0666);
  ::chmod(dir_.str().c_str(), 0777);

  std::string program = kProgram;
  std::string foreground = "-d";
  std::string configFlag = "-c";
  char* argv[] = {program.data(), foreground.data(), configFlag.data(), configPath.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  int rc = posix_spawn(&pid_, kProgram, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    return;
  }
  for (int i = 0; i < 250 && !running_; ++i) {
    if (Accepts(port_)) {
      running_ = true;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
}

TinyProxy::~TinyProxy() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 100; ++i) {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, &status, 0);
}

std::string TinyProxy::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TinyProxy::Log() const { return dir_.Read("log"); }

}  // namespace corvenhal::testing
