// The announcement box and the sponsorship button, against a local stub of the
// share service standing in for the build's origin.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "announce/share_note.h"
#include "app/attachments.h"
#include "build_config.h"
#include "platform/encodings.h"
#include "platform/services.h"
#include "support/http_server.h"
#include "support/redirected_http.h"

namespace corvenhal::app {
namespace {

using corvenhal::testing::HttpServer;
using corvenhal::testing::RedirectedHttp;
using corvenhal::testing::ReceivedRequest;
using corvenhal::testing::Reply;

// The program asks the build's share origin at start: in this test program no
// request may leave the loopback interface, whichever test makes it.
class LoopbackOnlyHttp : public ::testing::Environment {
 public:
  void SetUp() override { platform::Current().http = &http_; }

 private:
  RedirectedHttp http_ = RedirectedHttp::LoopbackOnly();
};
::testing::Environment* const kLoopbackOnly = ::testing::AddGlobalTestEnvironment(new LoopbackOnlyHttp);

class RecordingShell final : public platform::Shell {
 public:
  Text DesktopDirectory() override { return "/nowhere/"; }
  bool CreateShortcut(const Text&, const Text&, const Text&) override { return false; }
  bool OpenUrl(const Text& url) override {
    opened.push_back(url);
    return true;
  }
  std::vector<Text> opened;
};

std::string NoteAnswer(const std::string& html) {
  return "{\"data\":{\"rsp_body\":{\"RspMsg_body\":{\"note_list\":[{\"html_content\":\"" + html + "\"}]}}}}";
}

class ShareNoteAttachments : public ::testing::Test {
 protected:
  ShareNoteAttachments() : http_(RedirectedHttp::To(server_.Port())) {
    server_.Route("/webapp/json/weiyunShareNoLogin/WeiyunShareView",
                  [this](const ReceivedRequest&) { return Reply::Ok(answer_); });
    services_.http = &http_;
    services_.shell = &shell_;
  }

  void SetUp() override {
    if (build::kVerifyTls) GTEST_SKIP() << "the build refuses the stub's self-signed certificate";
  }

  // The share key the last request asked for.
  std::string AskedKey() const {
    std::string body = server_.LastRequest().body;
    std::string marker = "\\\"share_key\\\":\\\"";
    size_t at = body.find(marker);
    if (at == std::string::npos) return {};
    at += marker.size();
    return body.substr(at, body.find('\\', at) - at);
  }

  HttpServer server_{HttpServer::kHttps};
  RedirectedHttp http_;
  RecordingShell shell_;
  platform::Services services_ = platform::Current();
  std::string answer_;
};

TEST_F(ShareNoteAttachments, AnnouncementIsTheAnnouncementNotesText) {
  answer_ = NoteAnswer("<p>维护公告</p><p>今晚&nbsp;22:00</p>");
  platform::ScopedServices scope(services_);
  EXPECT_EQ(AnnouncementText(), platform::Utf8ToGbkText("维护公告\r\n\r\n今晚 22:00"));
  EXPECT_EQ(AskedKey(), announce::ShareKey(build::kAnnounceLink));
}

TEST_F(ShareNoteAttachments, SponsorshipOpensOnlyAWebAddress) {
  struct Case {
    std::string answer;
    std::vector<Text> opened;
  };
  const Case cases[] = {
      {NoteAnswer("<div> https://pay.example/sponsor?id=7 </div>"), {"https://pay.example/sponsor?id=7"}},
      {NoteAnswer("<p>HTTP://pay.example/</p>"), {"HTTP://pay.example/"}},
      {NoteAnswer("C:\\\\Windows\\\\System32\\\\cmd.exe"), {}},
      {NoteAnswer("--new-window file:///etc/passwd"), {}},
      {NoteAnswer("<p>https://a.example/</p><p>https://b.example/</p>"), {}},
      {"{\"ret\":114303}", {}},  // an expired share: empty text
      {"not json at all", {}},
  };
  platform::ScopedServices scope(services_);
  for (const Case& c : cases) {
    answer_ = c.answer;
    shell_.opened.clear();
    OpenSponsorPage();
    EXPECT_EQ(shell_.opened, c.opened) << c.answer;
    EXPECT_EQ(AskedKey(), announce::ShareKey(build::kSponsorLink));
  }
}

}  // namespace
}  // namespace corvenhal::app
