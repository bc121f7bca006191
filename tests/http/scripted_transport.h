// A transport that records every step and fails a chosen one, passing the
// others to the real transport, for the failures a real server cannot cause.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/http_transport.h"
#include "platform/services.h"

namespace corvenhal::http::fakes {

struct TransportScript {
  std::string failStep;                  // name of the step that fails, e.g. "Send"
  std::string alsoFailStep;              // a second one
  std::optional<std::size_t> readyOnce;  // reported by the first QueryDataAvailable
  std::vector<std::string> calls;        // every step, with its arguments where they matter
};

class ScriptedTransport final : public platform::HttpTransport {
 public:
  ScriptedTransport(std::unique_ptr<platform::HttpTransport> real, TransportScript& script)
      : real_(std::move(real)), s_(script) {}

  bool CheckPlatform() override { return Step("CheckPlatform") && real_->CheckPlatform(); }
  bool CrackUrl(const platform::WideBuffer& url, platform::UrlParts& parts) override {
    return Step("CrackUrl") && real_->CrackUrl(url, parts);
  }
  bool OpenSession(const platform::WideBuffer& proxyList) override {
    return Step("OpenSession " + platform::WideToGbk(proxyList)) && real_->OpenSession(proxyList);
  }
  bool SetTimeouts(int r, int c, int s, int v) override {
    return Step("SetTimeouts " + std::to_string(r) + " " + std::to_string(c) + " " + std::to_string(s) + " " +
                std::to_string(v)) &&
           real_->SetTimeouts(r, c, s, v);
  }
  bool Connect(const platform::WideBuffer& host, unsigned port) override {
    return Step("Connect " + platform::WideToGbk(host) + " " + std::to_string(port)) && real_->Connect(host, port);
  }
  bool OpenRequest(const platform::WideBuffer& verb, const platform::WideBuffer& target, bool secure) override {
    return Step("OpenRequest " + platform::WideToGbk(verb) + " " + platform::WideToGbk(target) +
                (secure ? " secure" : "")) &&
           real_->OpenRequest(verb, target, secure);
  }
  bool SetCredentials(platform::AuthTarget target, const platform::WideBuffer& user,
                      const platform::WideBuffer& password) override {
    return Step(target == platform::AuthTarget::kServer ? "SetCredentials server" : "SetCredentials proxy") &&
           real_->SetCredentials(target, user, password);
  }
  bool IgnoreCertificateErrors() override {
    return Step("IgnoreCertificateErrors") && real_->IgnoreCertificateErrors();
  }
  bool SetAutomaticCookies(bool enabled) override {
    return Step(enabled ? "SetAutomaticCookies on" : "SetAutomaticCookies off") && real_->SetAutomaticCookies(enabled);
  }
  bool DisableRedirects() override { return Step("DisableRedirects") && real_->DisableRedirects(); }
  bool AddHeaders(const platform::WideBuffer& block) override {
    return Step("AddHeaders") && real_->AddHeaders(block);
  }
  bool Send(std::string_view body) override { return Step("Send") && real_->Send(body); }
  bool ReceiveResponse() override { return Step("ReceiveResponse") && real_->ReceiveResponse(); }
  bool QueryDataAvailable(std::size_t& ready) override {
    if (s_.readyOnce) {
      ready = *s_.readyOnce;
      s_.readyOnce.reset();
      return Step("QueryDataAvailable");
    }
    return Step("QueryDataAvailable") && real_->QueryDataAvailable(ready);
  }
  bool ReadData(char* buffer, std::size_t size, std::size_t& read) override {
    return Step("ReadData") && real_->ReadData(buffer, size, read);
  }
  bool QueryContentLength(std::uint64_t& length) override { return real_->QueryContentLength(length); }
  bool QueryRawHeaders(char* buffer, std::size_t& size) override {
    // The size query is expected to fail; a failure of the step is the second.
    if (!buffer) {
      s_.calls.push_back("QueryRawHeaders size");
      return real_->QueryRawHeaders(buffer, size);
    }
    return Step("QueryRawHeaders") && real_->QueryRawHeaders(buffer, size);
  }
  void Close() override {
    s_.calls.push_back("Close");
    real_->Close();
  }

 private:
  bool Step(const std::string& call) {
    s_.calls.push_back(call);
    std::string name = call.substr(0, call.find(' '));
    return name != s_.failStep && name != s_.alsoFailStep;
  }

  std::unique_ptr<platform::HttpTransport> real_;
  TransportScript& s_;
};

class ScriptedService final : public platform::HttpService {
 public:
  ScriptedService(platform::HttpService& real, TransportScript& script) : real_(real), script_(script) {}
  std::unique_ptr<platform::HttpTransport> NewTransport() override {
    return std::make_unique<ScriptedTransport>(real_.NewTransport(), script_);
  }

 private:
  platform::HttpService& real_;
  TransportScript& script_;
};

}  // namespace corvenhal::http::fakes
