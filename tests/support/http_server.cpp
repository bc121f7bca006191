#include "support/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace corvenhal::testing {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool NameIs(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (Lower(line[i]) != Lower(name[i])) return false;
  }
  return true;
}

// The key and self-signed certificate every HTTPS server of the process uses.
struct Credentials {
  EVP_PKEY* key = nullptr;
  X509* certificate = nullptr;
  SSL_CTX* context = nullptr;
  std::string pem;
};

const Credentials& TestCredentials() {
  static const Credentials credentials = [] {
    Credentials c;
    c.key = EVP_EC_gen("P-256");
    c.certificate = X509_new();
    if (!c.key || !c.certificate) throw std::runtime_error("cannot make a test key");
    X509_set_version(c.certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c.certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(c.certificate), -86400);
    X509_gmtime_adj(X509_getm_notAfter(c.certificate), 86400L * 365);
    X509_set_pubkey(c.certificate, c.key);
    X509_NAME* name = X509_get_subject_name(c.certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                               0);
    X509_set_issuer_name(c.certificate, name);
    X509V3_CTX v3;
    X509V3_set_ctx_nodb(&v3);
    X509V3_set_ctx(&v3, c.certificate, c.certificate, nullptr, nullptr, 0);
    X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, &v3, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    X509_add_ext(c.certificate, san, -1);
    X509_EXTENSION_free(san);
    if (!X509_sign(c.certificate, c.key, EVP_sha256())) throw std::runtime_error("cannot sign the test certificate");

    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, c.certificate);
    char* data = nullptr;
    long size = BIO_get_mem_data(bio, &data);
    c.pem.assign(data, static_cast<size_t>(size));
    BIO_free(bio);

    c.context = SSL_CTX_new(TLS_server_method());
    if (!c.context || SSL_CTX_use_certificate(c.context, c.certificate) != 1 ||
        SSL_CTX_use_PrivateKey(c.context, c.key) != 1) {
      throw std::runtime_error("cannot set up the test TLS context");
    }
    return c;
  }();
  return credentials;
}

}  // namespace

std::optional<std::string> ReceivedRequest::Header(std::string_view name) const {
  for (const std::string& line : headerLines) {
    if (!NameIs(line, name)) continue;
    size_t i = name.size() + 1;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    return line.substr(i);
  }
  return std::nullopt;
}

std::vector<std::string> ReceivedRequest::Lines(std::string_view name) const {
  std::vector<std::string> out;
  for (const std::string& line : headerLines) {
    if (NameIs(line, name)) out.push_back(line);
  }
  return out;
}

std::string ReceivedRequest::Path() const { return target.substr(0, target.find('?')); }

Reply Reply::Response(int status, std::string_view reason, std::string_view body,
                      const std::vector<std::string>& headerLines) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
  for (const std::string& line : headerLines) head += line + "\r\n";
  head += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  Reply r;
  r.Write(head + std::string(body));
  return r;
}

Reply Reply::Ok(std::string_view body, const std::vector<std::string>& headerLines) {
  return Response(200, "OK", body, headerLines);
}

Reply Reply::NotFound() { return Response(404, "Not Found", "not found"); }

Reply Reply::Redirect(int status, std::string_view location, const std::vector<std::string>& headerLines) {
  std::vector<std::string> lines = headerLines;
  lines.insert(lines.begin(), "Location: " + std::string(location));
  const char* reason = status == 301 ? "Moved Permanently" : status == 302 ? "Found" : status == 303 ? "See Other"
                       : status == 307 ? "Temporary Redirect" : "Permanent Redirect";
  return Response(status, reason, "moved", lines);
}

Reply& Reply::Write(std::string bytes) {
  steps_.push_back({Step::Kind::kWrite, std::move(bytes), 0});
  return *this;
}

Reply& Reply::Pause(int milliseconds) {
  steps_.push_back({Step::Kind::kPause, {}, static_cast<std::uint64_t>(milliseconds)});
  return *this;
}

Reply& Reply::Repeat(std::string pattern, std::uint64_t total) {
  steps_.push_back({Step::Kind::kRepeat, std::move(pattern), total});
  return *this;
}

Reply& Reply::Close() {
  steps_.push_back({Step::Kind::kClose, {}, 0});
  return *this;
}

struct HttpServer::Connection {
  std::mutex mutex;
  int fd = -1;
  SSL* ssl = nullptr;
  int number = 0;

  ssize_t Receive(char* buffer, size_t size) {
    if (ssl) {
      int n = SSL_read(ssl, buffer, static_cast<int>(size));
      return n > 0 ? n : -1;
    }
    ssize_t n;
    do {
      n = ::recv(fd, buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? n : -1;
  }

  bool SendAll(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n;
      if (ssl) {
        int chunk = static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20));
        n = SSL_write(ssl, bytes.data(), chunk);
        if (n <= 0) return false;
      } else {
        n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
      }
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  void Shutdown() {
    std::lock_guard<std::mutex> lock(mutex);
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
  }

  void CloseNow() {
    std::lock_guard<std::mutex> lock(mutex);
    if (ssl) {
      SSL_shutdown(ssl);
      SSL_free(ssl);
      ssl = nullptr;
    }
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

HttpServer::HttpServer(Scheme scheme) : scheme_(scheme) {
  // A client that goes away must not end the test process.
  std::signal(SIGPIPE, SIG_IGN);
  if (scheme_ == kHttps) TestCredentials();
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 64) != 0) {
    throw std::runtime_error("test server cannot listen");
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  if (::pipe2(wake_, O_CLOEXEC) != 0) throw std::runtime_error("test server cannot make a pipe");
  fallback_ = [](const ReceivedRequest&) { return Reply::NotFound(); };
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpServer::~HttpServer() {
  Stop();
  ::close(wake_[0]);
  ::close(wake_[1]);
}

void HttpServer::Stop() {
  if (stopping_.exchange(true)) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_.notify_all();
  }
  char x = 0;
  (void)!::write(wake_[1], &x, 1);
  acceptor_.join();
  ::close(listener_);
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& c : open_) c->Shutdown();
    workers.swap(workers_);
  }
  for (auto& t : workers) t.join();
}

void HttpServer::Route(const std::string& path, Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(handler);
}

void HttpServer::Route(const std::string& path, Reply reply) {
  Route(path, [reply](const ReceivedRequest&) { return reply; });
}

void HttpServer::SetFallback(Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  fallback_ = std::move(handler);
}

void HttpServer::OnConnect(std::function<std::optional<Reply>()> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  onConnect_ = std::move(handler);
}

std::string HttpServer::Origin() const { return std::string(Secure() ? "https://" : "http://") + HostPort(); }

std::string HttpServer::Url(std::string_view target) const { return Origin() + std::string(target); }

std::string HttpServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<ReceivedRequest> HttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::size_t HttpServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

ReceivedRequest HttpServer::LastRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.empty() ? ReceivedRequest{} : requests_.back();
}

Handler HttpServer::Find(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = routes_.find(path);
  return it != routes_.end() ? it->second : fallback_;
}

bool HttpServer::WaitStopped(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return stopped_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping_.load(); });
}

void HttpServer::AcceptLoop() {
  while (!stopping_) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) break;
    if (!(fds[0].revents & POLLIN)) continue;
    int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto connection = std::make_shared<Connection>();
    connection->fd = fd;
    connection->number = ++connections_;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::close(fd);
      break;
    }
    open_.push_back(connection);
    workers_.emplace_back([this, connection] { Serve(connection); });
  }
}

bool HttpServer::Run(Connection& c, const Reply& reply) {
  for (const Reply::Step& step : reply.Steps()) {
    switch (step.kind) {
      case Reply::Step::Kind::kWrite:
        if (!c.SendAll(step.bytes)) return false;
        break;
      case Reply::Step::Kind::kPause:
        if (WaitStopped(static_cast<int>(step.count))) return false;
        break;
      case Reply::Step::Kind::kRepeat: {
        if (step.bytes.empty()) break;
        std::string piece;
        size_t copies = std::max<size_t>(1, (1 << 20) / step.bytes.size());
        piece.reserve(copies * step.bytes.size());
        for (size_t i = 0; i < copies; ++i) piece += step.bytes;
        std::uint64_t left = step.count;
        while (left > 0) {
          size_t n = static_cast<size_t>(std::min<std::uint64_t>(left, piece.size()));
          if (stopping_ || !c.SendAll(std::string_view(piece).substr(0, n))) return false;
          left -= n;
        }
        break;
      }
      case Reply::Step::Kind::kClose:
        return false;
    }
  }
  return true;
}

void HttpServer::Serve(std::shared_ptr<Connection> connection) {
  Connection& c = *connection;
  std::function<std::optional<Reply>()> onConnect;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    onConnect = onConnect_;
  }
  bool secure = scheme_ == kHttps;
  if (secure) {
    c.ssl = SSL_new(TestCredentials().context);
    SSL_set_fd(c.ssl, c.fd);
    if (SSL_accept(c.ssl) != 1) {
      SSL_free(c.ssl);
      c.ssl = nullptr;
      c.CloseNow();
      return;
    }
  }
  if (onConnect) {
    if (std::optional<Reply> reply = onConnect()) {
      Run(c, *reply);
      c.CloseNow();
      return;
    }
  }

  std::string buffer;
  char chunk[65536];
  auto fill = [&]() {
    ssize_t n = c.Receive(chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(n));
    return true;
  };
  while (!stopping_) {
    size_t end;
    while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
      if (!fill()) {
        c.CloseNow();
        return;
      }
    }
    ReceivedRequest request;
    request.secure = secure;
    request.connection = c.number;
    request.head = buffer.substr(0, end + 4);
    buffer.erase(0, end + 4);
    size_t lineEnd = request.head.find("\r\n");
    request.requestLine = request.head.substr(0, lineEnd);
    for (size_t at = lineEnd + 2; at < end + 2;) {
      size_t next = request.head.find("\r\n", at);
      request.headerLines.push_back(request.head.substr(at, next - at));
      at = next + 2;
    }
    size_t s1 = request.requestLine.find(' ');
    size_t s2 = request.requestLine.rfind(' ');
    if (s1 != std::string::npos && s2 > s1) {
      request.method = request.requestLine.substr(0, s1);
      request.target = request.requestLine.substr(s1 + 1, s2 - s1 - 1);
      request.version = request.requestLine.substr(s2 + 1);
    }
    if (auto expect = request.Header("Expect"); expect && *expect == "100-continue") {
      c.SendAll("HTTP/1.1 100 Continue\r\n\r\n");
    }
    size_t length = 0;
    if (auto value = request.Header("Content-Length")) length = std::stoull(*value);
    while (buffer.size() < length) {
      if (!fill()) break;
    }
    request.body = buffer.substr(0, length);
    buffer.erase(0, std::min(length, buffer.size()));
    bool closeAfter = false;
    if (auto value = request.Header("Connection")) {
      closeAfter = value->size() == 5 && Lower((*value)[0]) == 'c' && Lower((*value)[1]) == 'l';
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    Reply reply = Find(request.Path())(request);
    if (!Run(c, reply) || closeAfter) break;
  }
  c.CloseNow();
}

const std::string& TestCertificatePem() { return TestCredentials().pem; }

}  // namespace corvenhal::testing
