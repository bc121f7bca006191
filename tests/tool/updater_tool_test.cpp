#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/data_cipher.h"
#include "platform/encodings.h"
#include "support/http_server.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace corvenhal {
namespace {

namespace fs = std::filesystem;
using testing::HttpServer;
using testing::ProcessResult;
using testing::ReceivedRequest;
using testing::Reply;
using testing::TempDir;

ProcessResult Tool(std::vector<std::string> args, const std::string& directory = {}) {
  args.insert(args.begin(), CORVENHAL_TOOL_PATH);
  return testing::RunProcess(args, {}, directory);
}

std::string G(std::string_view utf8) { return platform::Utf8ToGbkText(utf8); }

TEST(Md5Tool, DigestsEveryFileAndReportsTheOnesWithout) {
  TempDir dir;
  dir.Write("a", "abc");
  dir.Write("数据.pak", "");
  ProcessResult r = Tool({"md5", "a", "missing", "数据.pak", "."}, dir.str());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "900150983CD24FB0D6963F7D28E17F72  a\nD41D8CD98F00B204E9800998ECF8427E  数据.pak\n");
  EXPECT_NE(r.err.find("missing"), std::string::npos);
  EXPECT_NE(r.err.find(": .:"), std::string::npos);
  EXPECT_EQ(Tool({"md5", "a"}, dir.str()).exitCode, 0);
  EXPECT_EQ(Tool({"md5"}, dir.str()).exitCode, 2);
}

TEST(DownloadTool, ExitStatusFollowsTheResult) {
  HttpServer server(HttpServer::kHttps);
  server.Route("/x.pak", Reply::Ok("body"));
  TempDir dir;
  dir.Write("ca.pem", testing::TestCertificatePem());
  dir.Write("a.pak", "old");
  // A certificate nobody vouches for is refused.
  EXPECT_EQ(Tool({"download", server.Url("/x.pak"), "a.pak"}, dir.str()).exitCode, 1);
  EXPECT_EQ(dir.Read("a.pak"), "old");
  EXPECT_EQ(Tool({"download", server.Url("/x.pak"), "a.pak", "--cacert", "ca.pem"}, dir.str()).exitCode, 0);
  EXPECT_EQ(dir.Read("a.pak"), "body");
  EXPECT_EQ(Tool({"download", "--policy", "1", server.Url("/x.pak"), "a.pak", "--cacert", "ca.pem"}, dir.str()).exitCode,
            0);
  EXPECT_EQ(dir.Read("a(1).pak"), "body");
  EXPECT_EQ(Tool({"download", server.Url("/none"), "b.pak", "--cacert", "ca.pem"}, dir.str()).exitCode, 1);
  EXPECT_FALSE(fs::exists(dir.path() / "b.pak"));
  EXPECT_EQ(Tool({"download", server.Url("/x.pak")}, dir.str()).exitCode, 2);
}

// A client tree, what `publish` makes of it, and an update server serving
// both over HTTPS.
class PublishedClient : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [name, body] : files_) dir_.Write("client/" + name, body);
    dir_.Write("ca.pem", testing::TestCertificatePem());
    server_.SetFallback([this](const ReceivedRequest& r) {
      std::string path = r.Path();
      if (path == "/update/Updata.ini" || path == "/update/Vers.txt") {
        return Reply::Ok(dir_.Read("out/" + path.substr(8)));
      }
      if (path.rfind("/files/", 0) != 0) return Reply::NotFound();
      std::lock_guard<std::mutex> lock(mutex_);
      fetched_.push_back(Decoded(path.substr(7)));
      return Reply::Ok(dir_.Read("client/" + fetched_.back()));
    });
  }

  static std::string Decoded(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '%' && i + 2 < s.size()) {
        out.push_back(static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
        i += 2;
      } else {
        out.push_back(s[i]);
      }
    }
    return out;
  }

  ProcessResult Publish() {
    return Tool({"publish", dir_.str() + "/client", "--url-base", server_.Url("/files"), "--version", "1.0.6 版", "--out",
                 dir_.str() + "/out"});
  }
  ProcessResult Verify(const std::string& window = "verify") {
    return Tool({"verify", "--origin", server_.Origin(), "--dir", dir_.str() + "/run", "--window", window, "--cacert",
                 dir_.str() + "/ca.pem"});
  }
  std::vector<std::string> Fetched() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fetched_;
  }

  const std::vector<std::pair<std::string, std::string>> files_ = {
      {"a.pak", "alpha"}, {"Z.pak", "zulu"}, {"sub/x.pak", "x"}, {"数据/b c.pak", "bc"}};
  TempDir dir_;
  HttpServer server_{HttpServer::kHttps};
  std::mutex mutex_;
  std::vector<std::string> fetched_;
};

TEST_F(PublishedClient, PublishWritesTheManifestAndVersionInGbk) {
  ProcessResult r = Publish();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string base = server_.Url("/files");
  EXPECT_EQ(dir_.Read("out/Updata.ini"),
            G("{\"news\":[\r\n"
              "{\"file\":\"/Z.pak\",\"md5\":\"7AB2493176D187C505A837D3C5CF8AF5\",\"url\":\"" + base + "/Z.pak\"},\r\n"
              "{\"file\":\"/a.pak\",\"md5\":\"2C1743A391305FBF367DF8E4F069F9F9\",\"url\":\"" + base + "/a.pak\"},\r\n"
              "{\"file\":\"/sub/x.pak\",\"md5\":\"9DD4E461268C8034F5C8564E155C67A6\",\"url\":\"" + base +
              "/sub/x.pak\"},\r\n"
              "{\"file\":\"/数据/b c.pak\",\"md5\":\"5360AF35BDE9EBD8F01F492DC059593C\",\"url\":\"" + base +
              "/%E6%95%B0%E6%8D%AE/b%20c.pak\"}\r\n"
              "]}\r\n"));
  EXPECT_EQ(dir_.Read("out/Vers.txt"), G("1.0.6 版"));
}

TEST_F(PublishedClient, NameOutsideGbkMakesPublishWriteNothing) {
  dir_.Write("client/한.pak", "k");
  ProcessResult r = Publish();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("한.pak"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_.path() / "out"));
}

TEST_F(PublishedClient, WalkOverThePublishedTreeDownloadsNothing) {
  ASSERT_EQ(Publish().exitCode, 0);
  for (const auto& [name, body] : files_) dir_.Write("run/Resource/" + name, body);
  ProcessResult r = Verify();
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "效验文件: 0/4\n效验文件: 效验文件：1/4\n效验文件: 效验文件：2/4\n效验文件: 效验文件：3/4\n"
            "效验文件: 效验文件：4/4\n验证完成: 客户端文件验证完成！\n");
  EXPECT_TRUE(Fetched().empty());
  EXPECT_FALSE(fs::exists(dir_.path() / "run/Update.dat"));
}

TEST_F(PublishedClient, WalkDeliversWhatIsMissingOrChangedAndWritesTheRecord) {
  ASSERT_EQ(Publish().exitCode, 0);
  dir_.Write("run/Resource/a.pak", "changed");
  dir_.Write("run/Resource/Z.pak", "zulu");
  ProcessResult r = Verify("update");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "效验文件: 0/4\n效验文件: 效验文件：1/4\n验证完成: 客户端更新完成！请关闭窗口。\n效验文件: 效验文件：2/4\n"
            "验证完成: 客户端更新完成！请关闭窗口。\n效验文件: 效验文件：3/4\n验证完成: 客户端更新完成！请关闭窗口。\n"
            "效验文件: 效验文件：4/4\n");
  EXPECT_EQ(Fetched(), (std::vector<std::string>{"a.pak", "sub/x.pak", "数据/b c.pak"}));
  for (const auto& [name, body] : files_) EXPECT_EQ(dir_.Read("run/Resource/" + name), body) << name;
  EXPECT_EQ(app::DecryptData(dir_.Read("run/Update.dat"), "blueharbor"), G("1.0.6 版"));
}

TEST_F(PublishedClient, WalkWithoutManifestFails) {
  fs::create_directories(dir_.path() / "run");
  ProcessResult r = Verify();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "效验文件: 0/0\n验证完成: 获取更新列表失败，请检查网络后重试！\n");
  EXPECT_EQ(Tool({"verify", "--origin", server_.Origin()}).exitCode, 2);
}

}  // namespace
}  // namespace corvenhal
