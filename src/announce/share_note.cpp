#include "announce/share_note.h"

#include <string_view>


namespace corvenhal::announce {
namespace {

// The token the request carries in its query (g_tk) and in its cookie
// (wyctoken): one fixed value, the same in both places.
[[maybe_unused]] constexpr char kShareToken[] = "5820739164";
[[maybe_unused]] constexpr char kViewPath[] = "/webapp/json/weiyunShareNoLogin/WeiyunShareView?refer=unknown_windows&g_tk=";
[[maybe_unused]] constexpr char kContentType[] = "application/json;charset=utf-8";
[[maybe_unused]] constexpr char kUserAgent[] = "Mozilla/5.0 (Windows NT 10.0; WOW64; Trident/7.0; rv:11.0) like Gecko";
[[maybe_unused]] constexpr char kNotePath[] = "data['rsp_body']['RspMsg_body']['note_list'][0]['html_content']";

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

}  // namespace corvenhal::announce
