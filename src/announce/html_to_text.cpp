#include "announce/html_to_text.h"

#include "platform/automation.h"

namespace corvenhal::announce {
namespace {

constexpr char kHtmlDocument[] = "{25336920-03F9-11CF-8FD0-00AA00686F13}";

}  // namespace

Text HtmlToText(const Text& html) {
  platform::ComScope com;
  platform::AutomationBridge bridge;
  platform::AutomationObject document;
  if (!bridge.Create(document, kHtmlDocument)) return Text();
  bridge.Call(document, "write", "<HTML><BODY><div></div></BODY></HTML>");
  platform::AutomationObject body = bridge.GetObject(document, "body");
  bridge.Put(body, "innerHTML", html);
  body.Release();
  bridge.Call(document, "close");
  body = bridge.GetObject(document, "body");
  Text result = bridge.GetText(body, "outerText");
  body.Release();
  document.Release();
  return result;
}

}  // namespace corvenhal::announce
