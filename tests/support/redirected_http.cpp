#include "support/redirected_http.h"

#include "platform/encodings.h"
#include "platform/portable/portable.h"

namespace corvenhal::testing {
namespace {

using platform::WideBuffer;

class RedirectedTransport final : public platform::HttpTransport {
 public:
  RedirectedTransport(std::unique_ptr<platform::HttpTransport> real, unsigned port)
      : real_(std::move(real)), port_(port) {}

  bool CheckPlatform() override { return real_->CheckPlatform(); }
  bool CrackUrl(const WideBuffer& url, platform::UrlParts& parts) override { return real_->CrackUrl(url, parts); }
  bool OpenSession(const WideBuffer& proxyList) override { return real_->OpenSession(proxyList); }
  bool SetTimeouts(int a, int b, int c, int d) override { return real_->SetTimeouts(a, b, c, d); }
  bool Connect(const WideBuffer& host, unsigned port) override {
    if (port_ != 0) return real_->Connect(platform::GbkToWide("127.0.0.1"), port_);
    Text name = platform::WideToGbk(host);
    if (name != "127.0.0.1" && name != "::1" && name != "[::1]" && name != "localhost") return false;
    return real_->Connect(host, port);
  }
  bool OpenRequest(const WideBuffer& verb, const WideBuffer& target, bool secure) override {
    return real_->OpenRequest(verb, target, secure);
  }
  bool SetCredentials(platform::AuthTarget target, const WideBuffer& user, const WideBuffer& password) override {
    return real_->SetCredentials(target, user, password);
  }
  bool IgnoreCertificateErrors() override { return real_->IgnoreCertificateErrors(); }
  bool SetAutomaticCookies(bool enabled) override { return real_->SetAutomaticCookies(enabled); }
  bool DisableRedirects() override { return real_->DisableRedirects(); }
  bool AddHeaders(const WideBuffer& block) override { return real_->AddHeaders(block); }
  bool Send(std::string_view body) override { return real_->Send(body); }
  bool ReceiveResponse() override { return real_->ReceiveResponse(); }
  bool QueryDataAvailable(std::size_t& ready) override { return real_->QueryDataAvailable(ready); }
  bool ReadData(char* buffer, std::size_t size, std::size_t& read) override {
    return real_->ReadData(buffer, size, read);
  }
  bool QueryRawHeaders(char* buffer, std::size_t& size) override { return real_->QueryRawHeaders(buffer, size); }
  void Close() override { real_->Close(); }

 private:
  std::unique_ptr<platform::HttpTransport> real_;
  unsigned port_;
};

}  // namespace

std::unique_ptr<platform::HttpTransport> RedirectedHttp::NewTransport() {
  return std::make_unique<RedirectedTransport>(platform::portable::Http().NewTransport(), port_);
}

}  // namespace corvenhal::testing
