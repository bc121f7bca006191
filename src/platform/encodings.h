// Conversions between the program's GBK text, UTF-16LE buffers and other code
// pages. All of them are lenient: an invalid input byte or a character the
// target lacks becomes "?", never an error.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace corvenhal::platform {

// Code pages in use. 0 is the system's ANSI code page, 936 on this build.
inline constexpr unsigned kCodePageAnsi = 0;
inline constexpr unsigned kCodePageGbk = 936;
inline constexpr unsigned kCodePageUtf8 = 65001;

// A byte buffer of little-endian UTF-16 units.
using WideBuffer = std::string;

// Terminated UTF-16 of the bytes before the first zero byte; empty when none.
WideBuffer CodePageBytesToWide(std::string_view bytes, unsigned codePage);
WideBuffer GbkToWide(std::string_view text);
WideBuffer CodePageTextToWide(std::string_view text, unsigned codePage = kCodePageUtf8);
// The units before the first zero unit in the target code page, without a
// terminator; empty when none.
Bytes WideToCodePageBytes(std::string_view wide, unsigned codePage);
Text WideToCodePageText(std::string_view wide, unsigned codePage = kCodePageAnsi);
Text WideToGbk(std::string_view wide);
Text Utf8ToGbk(std::string_view utf8);

// The whole units of a UTF-16 buffer before its first zero unit (a trailing
// odd byte is not a unit), and units back to a buffer without a terminator.
std::u16string WideUnits(std::string_view wide);
WideBuffer WideFromUnits(std::u16string_view units);

// Edge conversions for the screen, the terminal, file names and the automation
// bridge (same lenient rules, no terminators, embedded zeros kept).
std::u16string GbkToUtf16(std::string_view gbk);
Text Utf16ToGbk(std::u16string_view utf16);
std::string GbkToUtf8(std::string_view gbk);
Text Utf8ToGbkText(std::string_view utf8);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace corvenhal::platform
