// Text rules for request headers, response headers and cookies, shared by both
// request engines and the update walk. Pure text work on GBK text (positions
// from 1, searches at character boundaries); no state, nothing fails: a case
// without an answer gives empty text.
//
// A header block is CRLF-separated "Name: value" lines; a cookie text is
// "; "-separated "name=value" items, where an item ending in "=deleted" is a
// cookie the server deleted.
#pragma once

#include <string_view>

#include "text/text.h"

namespace corvenhal::http {

// Drops every line without a colon and capitalises the header names: the
// first byte and every byte after a hyphen, when an ASCII lower-case letter.
// Values, colons and spacing stay as they are. The lines are joined with CRLF
// and no CRLF follows the last one.
Text NormalizeHeaderNames(std::string_view block);

// The value of the first line that begins with `name` (case counts): what
// follows the last "name: " in that line; empty when there is none.
Text HeaderValue(std::string_view block, std::string_view name);

// The text from its beginning up to the first `marker` found from `start`;
// empty when the marker is not found.
Text TextBefore(std::string_view text, std::string_view marker, long start = 1, bool ignoreCase = false);

// The text between the first `left` found from `start` and the first `right`
// after it; empty when either is missing. In both markers "#引号" stands for a
// double quote.
Text TextBetween(std::string_view text, std::string_view left, std::string_view right, long start = 1,
                 bool caseSensitive = false);

// Appends the first name=value pair of every "Set-Cookie: " line of a raw
// response header block to `cookies`, "; " between items.
void CollectSetCookies(std::string_view rawHeaders, Text& cookies);

// Received cookies replace sent cookies of the same name, deleted ones go,
// duplicates go. The result also replaces `sent`.
Text MergeCookies(Text& sent, std::string_view received);

// The name of one cookie item: the text before its first "=" (all of it when
// there is none), trimmed.
Text CookieName(std::string_view item);

// The items of `text` split at `separator`, each kept only at its first
// occurrence, joined again with `separator`.
Text RemoveDuplicateItems(std::string_view text, std::string_view separator);

}  // namespace corvenhal::http
