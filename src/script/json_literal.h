// A document read as a literal and nothing else. The update manifest and the
// share service's answer arrive over the network, so their text must never run
// as script: it is checked token by token and rewritten into strict JSON for
// the engine's JSON decoder.
#pragma once

#include <string>
#include <string_view>

namespace corvenhal::script {

// Reads `text` (UTF-16, as the engine would see the program's text) as one
// literal value and writes it as JSON into `json`. Accepted besides JSON: a
// minus before a number, hexadecimal numbers and numbers with a bare leading
// or trailing point, single-quoted strings and the script string escapes,
// member names that are identifiers or decimal integers, // and /* */
// comments, the white space a script allows (CR, tab, vertical tab, form feed,
// no-break and full-width spaces, byte-order mark), and a comma after the last
// member or element, which is dropped.
// Refused (false): anything else, such as calls, operators, assignments,
// identifiers other than true, false and null as values, empty array slots, a
// line break inside a string, legacy octal numbers and escapes, an empty
// text, and, unless `allowString`, a text that is one string literal.
bool LiteralToJson(std::u16string_view text, bool allowString, std::u16string& json);

}  // namespace corvenhal::script
