// One regular-expression search at a time over a text or a byte buffer, run by
// the "VBScript.RegExp" automation object; matches and capture groups are then
// handed out by index counted from 1. Made, used and destroyed inside one
// operation; never copied.
#pragma once

#include "platform/automation.h"
#include "text/text.h"

namespace corvenhal::script {

class RegexObject {
 public:
  RegexObject();
  ~RegexObject();
  RegexObject(const RegexObject&) = delete;
  RegexObject& operator=(const RegexObject&) = delete;

  // Runs a new search, forgetting the last one. True when the search ran (also
  // when it found nothing); false when the object could not be made, the
  // pattern was rejected or the search failed. With `quoteMarker` every "#引号"
  // in the pattern stands for a double quote.
  bool SearchText(const Text& pattern, const Text& subject, bool caseSensitive = false, bool multiLine = true,
                  bool global = true, bool quoteMarker = false);
  // The same over a byte buffer, whose byte pairs are the UTF-16 units searched.
  bool SearchBytes(const Text& pattern, const Bytes& subject, bool caseSensitive = false, bool multiLine = true,
                   bool global = true, bool quoteMarker = false);

  // The pattern of the last search (after the quote-marker replacement).
  Text PatternText();
  // The subject of the last search with its matches replaced ($1, $& ... as
  // the object reads them); empty before any search.
  Text ReplaceText(const Text& replacement);
  // The same with the replacement passed as a byte array and the result read
  // as bytes (UTF-16LE units).
  Bytes ReplaceBytes(const Bytes& replacement);

  // Number of matches; 0 before a search or after one that failed.
  long MatchCount();
  // Match `index` (from 1); empty when there is no such match. The byte forms
  // give the UTF-16LE units of the value.
  Text MatchText(long index);
  Bytes MatchBytes(long index);
  // Capture group `group` (from 1) of match `match` (from 1); empty when either
  // does not exist or the group took no part in the match.
  Text SubmatchText(long match, long group);
  Bytes SubmatchBytes(long match, long group);
  // Number of capture groups of the first match; 0 when there is no match.
  long SubmatchCount();

 private:
  bool Search(const Text& pattern, bool caseSensitive, bool multiLine, bool global, bool quoteMarker);
  platform::AutomationObject Match(long index);
  platform::AutomationVariant Submatch(long match, long group);

  platform::AutomationBridge bridge_;
  platform::AutomationObject compiled_;
  platform::AutomationObject matches_;
  platform::AutomationVariant subject_;
};

}  // namespace corvenhal::script
