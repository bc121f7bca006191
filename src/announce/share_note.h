// The share note: the content of a note in a public cloud-drive share, asked
// of the share service's anonymous web API and rendered as plain text. The
// announcement box and the sponsorship address both come from one.
#pragma once

#include <vector>

#include "text/text.h"

namespace corvenhal::announce {

// The text of the note behind `shareLink` (an https URL whose last path
// segment is the share code), asked of the share service at `origin` (scheme
// and host, no trailing slash). Nothing is reported: a failed request gives
// empty text, an answer that is not JSON gives the text of the whole answer,
// and JSON without the note gives empty text. `rawAnswer`, when given,
// receives the answer decoded from UTF-8.
Text FetchShareNote(const Text& origin, const Text& shareLink, const Text& sharePassword = Text(),
                    Text* rawAnswer = nullptr);

// The sequence number of one request: the digits of the script value
// 1e4 * (milliseconds since 1970) + a random 0..9998, as the script host
// renders it; empty when the script host cannot be made.
Text MakeShareSeq();

// The share code of a link: what follows its last "/" (the whole link when it
// holds none).
Text ShareKey(const Text& shareLink);
// The request body, with the three values inserted as they are.
Text ShareRequestBody(const Text& seq, const Text& sharePassword, const Text& shareKey);

// The pending request-header list: two process-wide arrays kept in step,
// entry i of the names with entry i of the values, stored as given.
std::vector<Text>& HeaderNames();
std::vector<Text>& HeaderValues();
void AddRequestHeader(const Text& name, const Text& value);
// The entries as "name: value" lines joined by CR LF (nothing after the last);
// the list is emptied unless `keep`.
Text BuildHeaderBlock(bool keep = false);
void ClearRequestHeaders();
// Empties the list and gives its memory back (the shutdown routine).
void ReleaseRequestHeaders();

}  // namespace corvenhal::announce
