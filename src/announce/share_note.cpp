#include "announce/share_note.h"

#include <string_view>

#include "announce/html_to_text.h"
#include "http/com_http_fetch.h"
#include "platform/encodings.h"
#include "script/json_object.h"
#include "script/regex_object.h"
#include "script/script_host.h"

namespace corvenhal::announce {
namespace {

// The token the request carries in its query (g_tk) and in its cookie
// (wyctoken): one fixed value, the same in both places.
constexpr char kShareToken[] = "5820739164";
constexpr char kViewPath[] = "/webapp/json/weiyunShareNoLogin/WeiyunShareView?refer=unknown_windows&g_tk=";
constexpr char kContentType[] = "application/json;charset=utf-8";
constexpr char kUserAgent[] = "Mozilla/5.0 (Windows NT 10.0; WOW64; Trident/7.0; rv:11.0) like Gecko";
constexpr char kNotePath[] = "data['rsp_body']['RspMsg_body']['note_list'][0]['html_content']";

// The body around the sequence number, the password and the key; every
// backslash and quote is a byte of the body.
constexpr std::string_view kPieceA = R"({"req_header":"{\"seq\":)";
constexpr std::string_view kPieceB =
    R"(,\"type\":1,\"cmd\":12002,\"appid\":30113,\"version\":3,\"major_version\":3,\"minor_version\":3,)"
    R"(\"fix_version\":3,\"wx_openid\":\"\",\"user_flag\":0}","req_body":"{\"ReqMsg_body\":{\"ext_req_head\":)"
    R"({\"token_info\":{\"token_type\":0,\"login_key_type\":1,\"login_key_value\":\"\"},\"language_info\":)"
    R"({\"language_type\":2052}},\".weiyun.WeiyunShareViewMsgReq_body\":{\"share_pwd\":\")";
constexpr std::string_view kPieceC = R"(\",\"share_key\":\")";
constexpr std::string_view kPieceD = R"(\"}}}"})";
static_assert(kPieceA.size() == 24 && kPieceB.size() == 379 && kPieceC.size() == 19 && kPieceD.size() == 7);

}  // namespace

std::vector<Text>& HeaderNames() {
  static std::vector<Text> names;
  return names;
}

std::vector<Text>& HeaderValues() {
  static std::vector<Text> values;
  return values;
}

void AddRequestHeader(const Text& name, const Text& value) {
  HeaderNames().push_back(name);
  HeaderValues().push_back(value);
}

Text BuildHeaderBlock(bool keep) {
  const std::vector<Text>& names = HeaderNames();
  const std::vector<Text>& values = HeaderValues();
  Text block;
  for (size_t i = 0; i < names.size() && i < values.size(); ++i) {
    if (i > 0) block += "\r\n";
    block += names[i] + ": " + values[i];
  }
  if (!keep) ClearRequestHeaders();
  return block;
}

void ClearRequestHeaders() {
  HeaderNames().clear();
  HeaderValues().clear();
}

void ReleaseRequestHeaders() {
  std::vector<Text>().swap(HeaderNames());
  std::vector<Text>().swap(HeaderValues());
}

Text ShareKey(const Text& shareLink) {
  long slash = text::FindLast(shareLink, "/");
  return slash == text::kNotFound ? shareLink : text::Mid(shareLink, slash + 1);
}

Text ShareRequestBody(const Text& seq, const Text& sharePassword, const Text& shareKey) {
  Text body;
  body.reserve(kPieceA.size() + kPieceB.size() + kPieceC.size() + kPieceD.size() + seq.size() +
               sharePassword.size() + shareKey.size());
  body.append(kPieceA).append(seq).append(kPieceB).append(sharePassword).append(kPieceC).append(shareKey).append(kPieceD);
  return body;
}

Text MakeShareSeq() {
  script::ScriptHost host;
  host.ExecuteStatement("function getseq(){return 1e4*(new Date).getTime()+parseInt(9999*Math.random());}");
  Text value = host.Eval("getseq()");
  Text digits;
  {
    script::RegexObject regex;
    regex.SearchText("\\d", value);
    long count = regex.MatchCount();
    for (long i = 1; i <= count; ++i) digits += regex.MatchText(i);
  }
  return digits;
}

Text FetchShareNote(const Text& origin, const Text& shareLink, const Text& sharePassword, Text* rawAnswer) {
  script::JsonObject json;
  Text key = ShareKey(shareLink);
  Text seq = MakeShareSeq();
  Text body = ShareRequestBody(seq, sharePassword, key);
  AddRequestHeader("Content-Type", kContentType);
  AddRequestHeader("User-Agent", kUserAgent);
  Text headers = BuildHeaderBlock(false);

  Text cookies = Text("Cookie:wyctoken=") + kShareToken;
  http::ComFetchOptions o;
  o.method = 1;
  o.body = body;
  o.cookies = &cookies;
  o.headers = &headers;
  Bytes received = http::ComHttpFetch(origin + kViewPath + kShareToken, o);

  Text answer = platform::Utf8ToGbk(text::AsText(received));
  if (rawAnswer) *rawAnswer = answer;
  if (json.Parse(answer, false)) answer = json.GetText(kNotePath, false);
  return HtmlToText(answer);
}

}  // namespace corvenhal::announce
