// FetchShareNote against a local share-service stub over HTTPS that records
// what it received.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "announce/share_note.h"
#include "build_config.h"
#include "platform/automation.h"
#include "platform/encodings.h"
#include "support/http_server.h"
#include "support/tinyproxy.h"

namespace corvenhal::announce {
namespace {

using corvenhal::testing::HttpServer;
using corvenhal::testing::ReceivedRequest;
using corvenhal::testing::Reply;
using platform::Utf8ToGbkText;

constexpr char kApiPath[] = "/webapp/json/weiyunShareNoLogin/WeiyunShareView";
constexpr char kTarget[] = "/webapp/json/weiyunShareNoLogin/WeiyunShareView?refer=unknown_windows&g_tk=5820739164";
constexpr char kLink[] = "https://share.example/s/AbCd1234";

// The body before and after the sequence number, for share key AbCd1234 and
// no password, written out by hand.
const std::string kBodyStart = "{\"req_header\":\"{\\\"seq\\\":";
const std::string kBodyEnd =
    ",\\\"type\\\":1,\\\"cmd\\\":12002,\\\"appid\\\":30113,\\\"version\\\":3,\\\"major_version\\\":3,"
    "\\\"minor_version\\\":3,\\\"fix_version\\\":3,\\\"wx_openid\\\":\\\"\\\",\\\"user_flag\\\":0}\","
    "\"req_body\":\"{\\\"ReqMsg_body\\\":{\\\"ext_req_head\\\":{\\\"token_info\\\":{\\\"token_type\\\":0,"
    "\\\"login_key_type\\\":1,\\\"login_key_value\\\":\\\"\\\"},\\\"language_info\\\":{\\\"language_type\\\":2052}},"
    "\\\".weiyun.WeiyunShareViewMsgReq_body\\\":{\\\"share_pwd\\\":\\\"\\\",\\\"share_key\\\":\\\"AbCd1234\\\"}}}\"}";

// A note as the service answers it: UTF-8, its HTML a JSON string.
const std::string kNoteAnswer =
    "{\"ret\":0,\"data\":{\"rsp_header\":{\"retcode\":0},\"rsp_body\":{\"RspMsg_body\":{\"share_name\":\"公告\","
    "\"note_list\":[{\"note_title\":\"公告\",\"html_content\":\"<p>亲爱的玩家：</p><p>服务器将于&nbsp;"
    "<b style=\\\"color:red\\\">12月12日</b> 维护 &amp; 更新</p>\\n<div>详情见&lt;官网&gt;<br>QQ群：12345</div>\"},"
    "{\"html_content\":\"second note\"}]}}}}";
const char kNoteText[] = "亲爱的玩家：\r\n\r\n服务器将于 12月12日 维护 & 更新\r\n\r\n详情见<官网>\r\nQQ群：12345";

const std::string kErrorPage =
    "<html><head><title>502</title></head><body><h1>502 Bad Gateway</h1><hr><p>nginx</p></body></html>";

class ShareServiceStub : public ::testing::Test {
 protected:
  void SetUp() override {
    if (build::kVerifyTls) GTEST_SKIP() << "the build refuses the stub's self-signed certificate";
    ClearRequestHeaders();
    server_.Route(kApiPath, [this](const ReceivedRequest&) { return Reply::Ok(answer_, {"Content-Type: application/json"}); });
  }

  // Checks the one request the stub received against the service's request.
  void ExpectTheRequest() {
    ASSERT_EQ(server_.RequestCount(), 1u);
    ReceivedRequest r = server_.LastRequest();
    EXPECT_EQ(r.requestLine, std::string("POST ") + kTarget + " HTTP/1.1");
    EXPECT_TRUE(r.secure);
    EXPECT_EQ(r.headerLines,
              (std::vector<std::string>{
                  "Cookie: wyctoken=5820739164",
                  "Content-Type: application/json;charset=utf-8",
                  "User-Agent: Mozilla/5.0 (Windows NT 10.0; WOW64; Trident/7.0; rv:11.0) like Gecko",
                  "Accept: */*",
                  "Referer: " + server_.Url(kTarget),
                  "Accept-Language: zh-cn",
                  "Host: " + server_.HostPort(),
                  "Content-Length: " + std::to_string(r.body.size()),
                  "Connection: Keep-Alive",
              }));
    ASSERT_GT(r.body.size(), kBodyStart.size() + kBodyEnd.size());
    EXPECT_EQ(r.body.substr(0, kBodyStart.size()), kBodyStart);
    EXPECT_EQ(r.body.substr(r.body.size() - kBodyEnd.size()), kBodyEnd);
    std::string seq = r.body.substr(kBodyStart.size(), r.body.size() - kBodyStart.size() - kBodyEnd.size());
    EXPECT_EQ(seq.find_first_not_of("0123456789"), std::string::npos) << seq;
    EXPECT_GE(seq.size(), 15u) << seq;
    // The pending header list is empty again.
    EXPECT_TRUE(HeaderNames().empty());
    EXPECT_TRUE(HeaderValues().empty());
  }

  HttpServer server_{HttpServer::kHttps};
  std::string answer_;
};

TEST_F(ShareServiceStub, NoteInUtf8BecomesItsPlainText) {
  answer_ = kNoteAnswer;
  Text raw;
  long depth = platform::ComInitializeDepth();
  EXPECT_EQ(FetchShareNote(server_.Origin(), kLink, "", &raw), Utf8ToGbkText(kNoteText));
  EXPECT_EQ(raw, Utf8ToGbkText(kNoteAnswer));
  EXPECT_EQ(platform::ComInitializeDepth(), depth);
  ExpectTheRequest();
}

TEST_F(ShareServiceStub, PageThatIsNotJsonIsShownAsItsText) {
  answer_ = kErrorPage;
  Text raw;
  EXPECT_EQ(FetchShareNote(server_.Origin(), kLink, "", &raw), "502 Bad Gateway\r\n\r\nnginx");
  EXPECT_EQ(raw, kErrorPage);
  ExpectTheRequest();
}

TEST_F(ShareServiceStub, JsonWithoutTheNoteGivesEmptyText) {
  answer_ = "{\"ret\":1001,\"msg\":\"share expired\",\"data\":{\"rsp_body\":{}}}";
  Text raw;
  EXPECT_EQ(FetchShareNote(server_.Origin(), kLink, "", &raw), "");
  EXPECT_EQ(raw, answer_);
  ExpectTheRequest();
}

TEST_F(ShareServiceStub, NoServerGivesEmptyText) {
  Text raw = "stale";
  std::string origin = "https://127.0.0.1:" + std::to_string(corvenhal::testing::FreeLoopbackPort());
  EXPECT_EQ(FetchShareNote(origin, kLink, "", &raw), "");
  EXPECT_EQ(raw, "");
  EXPECT_TRUE(HeaderNames().empty());
}

TEST(MakeShareSeq, DigitsOnly) {
  Text seq = MakeShareSeq();
  EXPECT_GE(seq.size(), 15u);
  EXPECT_EQ(seq.find_first_not_of("0123456789"), Text::npos) << seq;
}

}  // namespace
}  // namespace corvenhal::announce
