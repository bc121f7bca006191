// Text rules shared by every module.
//
// Text is GBK bytes (code page 936) held in std::string and ending at its first
// zero byte. Positions count bytes from 1; a search that finds nothing gives -1.
// Searching, replacing and splitting step over a double-byte character as a
// unit, so a match never starts on its second byte. Every module uses these
// helpers instead of writing its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvenhal {

// A byte buffer: a counted sequence of bytes (file contents, HTTP bodies,
// cipher output). Read as text it stops at its first zero byte.
using Bytes = std::string;
// A GBK text. Kept in std::string so that text and bytes convert freely.
using Text = std::string;

namespace text {

inline constexpr long kNotFound = -1;

// True for a GBK lead byte (0x81..0xFE): it and the byte after it form one
// character.
constexpr bool IsLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// A byte buffer read as text: its bytes up to the first zero byte.
Text AsText(std::string_view bytes);

// ASCII-only case folding; every other byte is left as it is.
char ToLowerAscii(char c);
char ToUpperAscii(char c);
Text ToLowerAscii(std::string_view s);
Text ToUpperAscii(std::string_view s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Leftmost occurrence of `needle` at or after `start` (from 1; 0 or less counts
// as 1), tried only at character boundaries. Gives the position or kNotFound.
// An empty needle is found at `start` when that lies within the text or just
// past it.
long Find(std::string_view haystack, std::string_view needle, long start = 1, bool ignoreCase = false);
// Rightmost occurrence that begins at a character boundary, or kNotFound.
long FindLast(std::string_view haystack, std::string_view needle, bool ignoreCase = false);
bool Contains(std::string_view haystack, std::string_view needle, bool ignoreCase = false);
bool StartsWith(std::string_view s, std::string_view prefix, bool ignoreCase = false);
bool EndsWith(std::string_view s, std::string_view suffix, bool ignoreCase = false);

// Every occurrence, left to right, without overlap, at character boundaries.
Text ReplaceAll(std::string_view s, std::string_view from, std::string_view to, bool ignoreCase = false);

// Pieces between separators: empty pieces are kept (before a leading separator
// and between adjacent ones), the piece after the last separator only when not
// empty; an empty text gives no pieces.
std::vector<Text> Split(std::string_view s, std::string_view separator);
Text Join(const std::vector<Text>& pieces, std::string_view separator);

// Removes spaces (0x20) and full-width spaces (0xA1 0xA1) at both ends; tabs
// and line breaks stay.
Text Trim(std::string_view s);
Text TrimLeft(std::string_view s);
Text TrimRight(std::string_view s);

// Cutting by byte counts. Mid's start counts from 1; a count below 0 means "to
// the end". Counts and starts outside the text are clamped.
Text Left(std::string_view s, long count);
Text Right(std::string_view s, long count);
Text Mid(std::string_view s, long start, long count = -1);

// Numbers and text: integers in decimal, doubles as "%.13g"; a text becomes a
// number by its leading decimal integer (optional spaces and sign first, 0 when
// there is none); a double becomes an integer by truncation toward zero.
Text NumberToText(long long value);
Text NumberToText(double value);
long long TextToNumber(std::string_view s);
long long Truncate(double value);

// Bytes a URL or request line cannot carry as they are (controls, space and
// everything from 0x7F up) as %XX escapes; every other byte stays.
std::string EscapeUrlBytes(std::string_view bytes);

}  // namespace text
}  // namespace corvenhal
