// md5: client file digests as the verification walk computes them.
// download: one URL into one file under an existing-file policy.
// verify: one verification walk in a run directory, printing its labels.
// publish: the update manifest and version text for a client directory.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/app_state.h"
#include "app/version_store.h"
#include "platform/encodings.h"
#include "platform/headless/headless_window_system.h"
#include "platform/portable/download_curl.h"
#include "platform/services.h"
#include "tool.h"
#include "updater/download.h"
#include "updater/file_md5.h"
#include "updater/verify_window.h"

namespace corvenhal::tool {
namespace {

constexpr char kMd5Usage[] = "usage: md5 FILE...";
constexpr char kDownloadUsage[] = "usage: download URL PATH [--policy N] [--cacert FILE]";
constexpr char kVerifyUsage[] = "usage: verify --origin URL --dir RUNDIR [--window verify|update] [--cacert FILE]";
constexpr char kPublishUsage[] = "usage: publish CLIENTDIR --url-base URL --version TEXT --out DIR";

void Error(const std::string& message) { std::fprintf(stderr, "corvenhal-tool: %s\n", message.c_str()); }

int Md5(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {}, {})) return UsageError(args.Error());
  if (args.Positionals().empty()) return UsageError(kMd5Usage);
  int status = kOk;
  for (size_t i = 0; i < args.Positionals().size(); ++i) {
    const std::string& name = args.RawPositionals()[i];
    Text digest = updater::FileMd5(args.Positionals()[i]);
    if (digest.empty()) {
      Error("md5: " + name + ": no digest (missing, not a regular file, or unreadable)");
      status = kFailed;
      continue;
    }
    PrintBytes(digest + "  " + name + "\n");
  }
  return status;
}

// Installs a download service that also trusts --cacert for this run.
class TrustedDownloads {
 public:
  bool Load(const Args& args) {
    auto file = args.RawValue("cacert");
    if (!file) return true;
    Bytes pem;
    if (!ReadFileBytes(*file, pem)) {
      Error("cannot read the CA file " + *file);
      return false;
    }
    service_ = platform::portable::MakeDownloads(pem);
    platform::Current().downloads = service_.get();
    return true;
  }

 private:
  std::unique_ptr<platform::DownloadService> service_;
};

int Download(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {}, {"policy", "cacert"})) return UsageError(args.Error());
  if (args.Positionals().size() != 2) return UsageError(kDownloadUsage);
  TrustedDownloads trust;
  if (!trust.Load(args)) return kFailed;
  int policy = static_cast<int>(text::TextToNumber(args.Value("policy").value_or("0")));
  return updater::DownloadToFile(args.Positionals()[0], args.Positionals()[1], policy) ? kOk : kFailed;
}

// A window that prints every label write as "control: text".
class PrintingWindow final : public platform::Window {
 public:
  PrintingWindow(std::shared_ptr<platform::Window> inner, bool raw) : inner_(std::move(inner)), raw_(raw) {}
  platform::Window& Inner() { return *inner_; }

  const platform::WindowForm& Form() const override { return inner_->Form(); }
  bool IsOpen() const override { return inner_->IsOpen(); }
  void Close() override { inner_->Close(); }
  Text GetText(const Text& control) const override { return inner_->GetText(control); }
  void SetText(const Text& control, const Text& value) override {
    PrintText(control + ": " + text::AsText(value) + "\n", raw_);
    inner_->SetText(control, value);
  }
  bool GetChecked(const Text& control) const override { return inner_->GetChecked(control); }
  void SetChecked(const Text& control, bool checked) override { inner_->SetChecked(control, checked); }
  int GetSelected(const Text& control) const override { return inner_->GetSelected(control); }
  void SetSelected(const Text& control, int index) override { inner_->SetSelected(control, index); }
  void OnClick(const Text& control, std::function<void()> handler) override {
    inner_->OnClick(control, std::move(handler));
  }

 private:
  std::shared_ptr<platform::Window> inner_;
  bool raw_;
};

class PrintingWindowSystem final : public platform::WindowSystem {
 public:
  explicit PrintingWindowSystem(bool raw) : raw_(raw) {}
  platform::headless::HeadlessWindowSystem& Headless() { return headless_; }

  std::shared_ptr<platform::Window> Open(const platform::WindowForm& form, platform::WindowRole role) override {
    return std::make_shared<PrintingWindow>(headless_.Open(form, role), raw_);
  }
  void RunUntilClosed(platform::Window& window) override {
    auto* printing = dynamic_cast<PrintingWindow*>(&window);
    headless_.RunUntilClosed(printing ? printing->Inner() : window);
  }
  void PumpEvents() override { headless_.PumpEvents(); }
  void MessageBox(const Text& text, const Text& caption) override { headless_.MessageBox(text, caption); }
  bool Ending() const override { return headless_.Ending(); }

 private:
  platform::headless::HeadlessWindowSystem headless_;
  bool raw_;
};

int Verify(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {"raw"}, {"origin", "dir", "window", "cacert"})) return UsageError(args.Error());
  auto origin = args.Value("origin");
  auto dir = args.RawValue("dir");
  std::string which = args.RawValue("window").value_or("verify");
  if (!origin || !dir || !args.Positionals().empty() || (which != "verify" && which != "update")) {
    return UsageError(kVerifyUsage);
  }
  if (::chdir(dir->c_str()) != 0) {
    Error("verify: cannot enter " + *dir);
    return kFailed;
  }
  TrustedDownloads trust;
  if (!trust.Load(args)) return kFailed;

  platform::Services services = platform::Current();
  PrintingWindowSystem windows(args.Has("raw"));
  services.windows = &windows;
  platform::ScopedServices scope(services);

  updater::UpdateContext context;
  context.origin = *origin;
  context.runDirectory = services.system->CurrentDirectory();
  context.recordFile = app::kVersionFileName;
  context.recordVersion = [](const Bytes& version) {
    app::State().remoteVersion = version;
    app::WriteInstalledVersion(version);
  };
  updater::WalkWindow window = which == "update" ? updater::WalkWindow::kUpdate : updater::WalkWindow::kVerify;
  return updater::RunVerifyWindow(window, context,
                                  [&](platform::Window&) {
                                    if (window == updater::WalkWindow::kVerify) {
                                      windows.Headless().PostClick("VerifyWindow", updater::Verify().button);
                                    }
                                  })
             ? kOk
             : kFailed;
}

// JSON string contents: quotes, backslashes and control characters escaped,
// double-byte characters (whose trail byte may be 0x5C) left whole.
Text JsonEscaped(std::string_view gbk) {
  static const char kHex[] = "0123456789abcdef";
  Text out;
  for (size_t i = 0; i < gbk.size(); ++i) {
    auto b = static_cast<unsigned char>(gbk[i]);
    if (text::IsLeadByte(b) && i + 1 < gbk.size()) {
      out.append(gbk.substr(i, 2));
      ++i;
    } else if (b == '"' || b == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(b));
    } else if (b < 0x20) {
      out += "\\u00";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    } else {
      out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

// What a web server on this system serves a file under: its UTF-8 name with
// every byte but the unreserved characters and "/" percent-encoded.
std::string UrlPath(std::string_view utf8) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : utf8) {
    auto b = static_cast<unsigned char>(ch);
    bool keep = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
                b == '_' || b == '~' || b == '/';
    if (keep) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    }
  }
  return out;
}

int Publish(const std::vector<std::string>& argv) {
  namespace fs = std::filesystem;
  Args args;
  if (!args.Parse(argv, {}, {"url-base", "version", "out"})) return UsageError(args.Error());
  auto urlBase = args.Value("url-base");
  auto version = args.Value("version");
  auto out = args.RawValue("out");
  if (args.Positionals().size() != 1 || !urlBase || !version || !out) return UsageError(kPublishUsage);
  const fs::path client = args.RawPositionals()[0];
  std::error_code ec;
  if (!fs::is_directory(client, ec)) {
    Error("publish: " + client.string() + " is not a directory");
    return kFailed;
  }

  // Every regular file below the client directory, by the UTF-8 bytes of its
  // relative path. Links are not followed.
  std::vector<std::string> files;
  for (auto it = fs::recursive_directory_iterator(client, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file() && !it->is_symlink()) files.push_back(it->path().lexically_relative(client).string());
  }
  if (ec) {
    Error("publish: cannot list " + client.string() + ": " + ec.message());
    return kFailed;
  }
  std::sort(files.begin(), files.end());

  for (const std::string& rel : files) {
    if (platform::GbkToUtf8(platform::Utf8ToGbkText(rel)) != rel) {
      Error("publish: " + rel + ": the name cannot be written in GBK; nothing was written");
      return kFailed;
    }
  }
  Text manifest = "{\"news\":[";
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string& rel = files[i];
    Text digest = updater::FileMd5(platform::Utf8ToGbkText((client / rel).string()));
    if (digest.empty()) {
      Error("publish: " + rel + ": cannot be read; nothing was written");
      return kFailed;
    }
    manifest += i == 0 ? "\r\n" : ",\r\n";
    manifest += "{\"file\":\"" + JsonEscaped("/" + platform::Utf8ToGbkText(rel)) + "\",\"md5\":\"" + digest +
                "\",\"url\":\"" + JsonEscaped(*urlBase + "/" + UrlPath(rel)) + "\"}";
  }
  manifest += "\r\n]}\r\n";

  fs::create_directories(*out, ec);
  platform::FileSystem& fileSystem = *platform::Current().files;
  const Text outDir = platform::Utf8ToGbkText(*out);
  if (!fileSystem.WriteAll(outDir + "/Updata.ini", manifest) || !fileSystem.WriteAll(outDir + "/Vers.txt", *version)) {
    Error("publish: cannot write into " + *out);
    return kFailed;
  }
  return kOk;
}

}  // namespace

CORVENHAL_TOOL_COMMAND("md5", "md5 FILE...  (upper-case digest, two spaces, the name)", Md5);
CORVENHAL_TOOL_COMMAND("download", "download URL PATH [--policy N] [--cacert FILE]", Download);
CORVENHAL_TOOL_COMMAND("verify", "verify --origin URL --dir RUNDIR [--window verify|update] [--cacert FILE] [--raw]",
                       Verify);
CORVENHAL_TOOL_COMMAND("publish", "publish CLIENTDIR --url-base URL --version TEXT --out DIR", Publish);

}  // namespace corvenhal::tool
