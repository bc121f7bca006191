#include "announce/share_note.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvenhal::announce {
namespace {

TEST(ShareKey, LastPathSegment) {
  const std::pair<Text, Text> cases[] = {
      {"https://share.example/s/AbCd1234", "AbCd1234"},
      {"AbCd1234", "AbCd1234"},
      {"https://share.example/s/", ""},
      {"", ""},
      {"https://share.example/a/b/c?x=1", "c?x=1"},
  };
  for (const auto& [link, key] : cases) EXPECT_EQ(ShareKey(link), key) << link;
}

TEST(ShareRequestBody, BytesAroundTheInsertedValues) {
  // Written out by hand: every backslash and quote below is a byte of the body.
  const std::string expected =
      "{\"req_header\":\"{\\\"seq\\\":123,\\\"type\\\":1,\\\"cmd\\\":12002,\\\"appid\\\":30113,"
      "\\\"version\\\":3,\\\"major_version\\\":3,\\\"minor_version\\\":3,\\\"fix_version\\\":3,"
      "\\\"wx_openid\\\":\\\"\\\",\\\"user_flag\\\":0}\",\"req_body\":\"{\\\"ReqMsg_body\\\":"
      "{\\\"ext_req_head\\\":{\\\"token_info\\\":{\\\"token_type\\\":0,\\\"login_key_type\\\":1,"
      "\\\"login_key_value\\\":\\\"\\\"},\\\"language_info\\\":{\\\"language_type\\\":2052}},"
      "\\\".weiyun.WeiyunShareViewMsgReq_body\\\":{\\\"share_pwd\\\":\\\"\\\",\\\"share_key\\\":\\\"K\\\"}}}\"}";
  EXPECT_EQ(ShareRequestBody("123", "", "K"), expected);
  // The four fixed pieces: 24 + 379 + 19 + 7 bytes.
  EXPECT_EQ(ShareRequestBody("", "", "").size(), 429u);
  // Values go in as they are, without escaping.
  Text body = ShareRequestBody("9", "p\"w", "k\\");
  EXPECT_NE(body.find("{\\\"seq\\\":9,"), Text::npos);
  EXPECT_NE(body.find("\\\"share_pwd\\\":\\\"p\"w\\\",\\\"share_key\\\":\\\"k\\\\\"}}}\"}"), Text::npos);
}

class RequestHeaderList : public ::testing::Test {
 protected:
  void SetUp() override { ClearRequestHeaders(); }
  void TearDown() override { ClearRequestHeaders(); }
};

TEST_F(RequestHeaderList, BuildJoinsWithCrLfAndEmptiesUnlessKept) {
  EXPECT_EQ(BuildHeaderBlock(), "");
  AddRequestHeader("Content-Type", "application/json;charset=utf-8");
  AddRequestHeader(" User-Agent", " UA ");  // stored as given
  const Text block = "Content-Type: application/json;charset=utf-8\r\n User-Agent:  UA ";
  EXPECT_EQ(BuildHeaderBlock(true), block);
  EXPECT_EQ(HeaderNames(), (std::vector<Text>{"Content-Type", " User-Agent"}));
  EXPECT_EQ(HeaderValues(), (std::vector<Text>{"application/json;charset=utf-8", " UA "}));
  EXPECT_EQ(BuildHeaderBlock(false), block);
  EXPECT_TRUE(HeaderNames().empty());
  EXPECT_TRUE(HeaderValues().empty());

  AddRequestHeader("A", "1");
  AddRequestHeader("A", "1");  // no de-duplication
  EXPECT_EQ(BuildHeaderBlock(), "A: 1\r\nA: 1");
  AddRequestHeader("B", "");
  ReleaseRequestHeaders();
  EXPECT_TRUE(HeaderNames().empty());
  EXPECT_EQ(BuildHeaderBlock(), "");
}

}  // namespace
}  // namespace corvenhal::announce
