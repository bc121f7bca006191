// A real HTTP/1.1 server for tests: listens on 127.0.0.1 on an ephemeral port,
// plain or over TLS (a self-signed certificate made when first needed), serves
// every connection on its own thread, answers each request with a scripted
// Reply and records exactly what it received.
//
//   HttpServer server(HttpServer::kHttps);
//   server.Route("/v", Reply::Ok("1.0"));
//   server.Route("/slow", [](const ReceivedRequest&) { return Reply().Pause(3000).Write(...); });
//   ... fetch server.Url("/v") ...
//   EXPECT_EQ(server.LastRequest().requestLine, "GET /v HTTP/1.1");
//
// Request bodies are read by Content-Length. A request with
// "Expect: 100-continue" gets the interim answer before its body is read.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvenhal::testing {

struct ReceivedRequest {
  std::string requestLine;               // without its CRLF
  std::string method, target, version;   // the three parts of the request line
  std::vector<std::string> headerLines;  // in order, byte for byte, without CRLF
  std::string head;                      // everything up to and including the empty line
  std::string body;
  bool secure = false;
  int connection = 0;  // which connection (from 1) it came on

  // The value of the first header line of that name (case ignored), with the
  // spaces after the colon removed; nullopt when there is none.
  std::optional<std::string> Header(std::string_view name) const;
  // Every header line of that name, whole.
  std::vector<std::string> Lines(std::string_view name) const;
  // The target up to its "?".
  std::string Path() const;
};

// What the server does for one request: steps run in order, then either the
// next request on the connection is awaited or, after Close(), the
// connection is closed.
class Reply {
 public:
  Reply() = default;
  // A whole response with a Content-Length line; `headerLines` come after the
  // status line, before Content-Length.
  static Reply Response(int status, std::string_view reason, std::string_view body,
                        const std::vector<std::string>& headerLines = {});
  static Reply Ok(std::string_view body, const std::vector<std::string>& headerLines = {});
  static Reply NotFound();
  // A redirect with a Location line and a short body.
  static Reply Redirect(int status, std::string_view location, const std::vector<std::string>& headerLines = {});

  Reply& Write(std::string bytes);
  // Waits; the server's stop cuts the wait short.
  Reply& Pause(int milliseconds);
  // Writes `total` bytes made of `pattern` repeated, in large pieces.
  Reply& Repeat(std::string pattern, std::uint64_t total);
  // Closes the connection after the preceding steps.
  Reply& Close();

  struct Step {
    enum class Kind { kWrite, kPause, kRepeat, kClose } kind;
    std::string bytes;
    std::uint64_t count = 0;
  };
  const std::vector<Step>& Steps() const { return steps_; }

 private:
  std::vector<Step> steps_;
};

using Handler = std::function<Reply(const ReceivedRequest&)>;

class HttpServer {
 public:
  enum Scheme { kHttp, kHttps };

  explicit HttpServer(Scheme scheme = kHttp);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Answers requests whose path (target up to "?") is `path`.
  void Route(const std::string& path, Handler handler);
  void Route(const std::string& path, Reply reply);
  // Answers every other request (404 unless set).
  void SetFallback(Handler handler);
  // Runs on each new connection before any request is read; a reply given
  // here is sent at once and the connection closed after it.
  void OnConnect(std::function<std::optional<Reply>()> handler);

  std::uint16_t Port() const { return port_; }
  bool Secure() const { return scheme_ == kHttps; }
  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
  std::string Origin() const;
  // Origin followed by `target` (which starts with "/" or "?").
  std::string Url(std::string_view target) const;
  // "127.0.0.1:PORT".
  std::string HostPort() const;

  std::vector<ReceivedRequest> Requests() const;
  std::size_t RequestCount() const;
  // The last request received (an empty one when there is none).
  ReceivedRequest LastRequest() const;
  int ConnectionCount() const { return connections_.load(); }

  // Stops accepting and closes every connection; the destructor calls it.
  void Stop();

 private:
  struct Connection;
  void AcceptLoop();
  void Serve(std::shared_ptr<Connection> connection);
  bool Run(Connection& c, const Reply& reply);
  bool WaitStopped(int milliseconds);
  Handler Find(const std::string& path) const;

  Scheme scheme_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::uint16_t port_ = 0;
  std::thread acceptor_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};

  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::map<std::string, Handler> routes_;
  Handler fallback_;
  std::function<std::optional<Reply>()> onConnect_;
  std::vector<ReceivedRequest> requests_;
  std::vector<std::shared_ptr<Connection>> open_;
  std::vector<std::thread> workers_;
};

// The PEM text of the certificate the HTTPS servers present (CN and SAN
// 127.0.0.1 and localhost).
const std::string& TestCertificatePem();

}  // namespace corvenhal::testing
