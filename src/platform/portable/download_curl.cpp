#include "platform/portable/download_curl.h"

#include <curl/curl.h>

#include <fstream>
#include <iterator>
#include <mutex>

#include "build_config.h"
#include "platform/encodings.h"

namespace corvenhal::platform::portable {
namespace {

constexpr long kConnectSeconds = 30;
constexpr long kStallSeconds = 30;
constexpr long kMaxRedirects = 10;
constexpr long kReceiveBufferBytes = 256 * 1024;

// Characters a URL cannot carry as they are, percent-escaped; the program's
// GBK becomes UTF-8 first, as browsers send it.
std::string UrlBytes(const Text& url) { return text::EscapeUrlBytes(GbkToUtf8(text::AsText(url))); }

std::string ReadText(const char* path) {
  if (!path || !*path) return {};
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// libcurl's own trust store file, read once: a CA blob replaces it, so extra
// certificates are appended to a copy of it.
const std::string& SystemBundle(CURL* curl) {
  static std::once_flag once;
  static std::string bundle;
  std::call_once(once, [curl] {
    char* path = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CAINFO, &path) == CURLE_OK) bundle = ReadText(path);
  });
  return bundle;
}

bool GlobalInit() {
  static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ok;
}

struct Transfer {
  FileWriter* sink;
  bool writeFailed = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  if (!t->sink->Write(std::string_view(data, n))) {
    t->writeFailed = true;
    return 0;
  }
  return n;
}

class CurlDownloads final : public DownloadService {
 public:
  explicit CurlDownloads(std::string extraCaPem) : extraCa_(std::string(build::kExtraCaPem)) {
    if (!extraCaPem.empty()) extraCa_ += "\n" + extraCaPem;
  }

  bool Fetch(const Text& url, FileWriter& sink) override {
    if (!GlobalInit()) return false;
    CURL* curl = curl_easy_init();
    if (!curl) return false;
    std::string address = UrlBytes(url);
    Transfer transfer{&sink};
    curl_slist* headers = nullptr;
    // Every download goes to the server, past any cache on the way.
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");

    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    std::string blob;
    if (!extraCa_.empty()) {
      blob = SystemBundle(curl) + "\n" + extraCa_;
      curl_blob ca{blob.data(), blob.size(), CURL_BLOB_NOCOPY};
      curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &ca);
    }

    CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_off_t announced = -1, received = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    curl_easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &received);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    return rc == CURLE_OK && !transfer.writeFailed && status >= 200 && status < 300 &&
           (announced < 0 || announced == received);
  }

 private:
  std::string extraCa_;
};

}  // namespace

DownloadService& Downloads() {
  static CurlDownloads downloads{std::string()};
  return downloads;
}

std::unique_ptr<DownloadService> MakeDownloads(std::string extraCaPem) {
  return std::make_unique<CurlDownloads>(std::move(extraCaPem));
}

}  // namespace corvenhal::platform::portable
