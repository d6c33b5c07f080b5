// Pure text helpers for Windows paths and user-visible texts (UTF-8, but
// every rule looks only at ASCII characters, so it holds for code page 936 too).
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// "C:\APP" -> "C:\APP\"; an empty text stays empty.
std::string AppendBackslash(const std::string& s);
// Removes one trailing backslash.
std::string StripBackslash(const std::string& s);
// Like StripBackslash, but keeps a drive root "C:\" and a lone "\" whole.
std::string StripBackslashKeepRoot(const std::string& s);
// Everything up to and including the last "\" or ":"; empty when neither occurs.
std::string ExtractFileDir(const std::string& path);
// Everything after the last "\" or ":".
std::string ExtractFileName(const std::string& path);
// "C:" for "C:\WINDOWS"; empty when the path starts with no drive letter.
std::string ExtractFileDrive(const std::string& path);
// Removes blanks and control characters (bytes up to 0x20) at both ends.
std::string Trim(const std::string& s);
// Trimmed, and enclosed in double quotes when it holds a space and is not quoted yet.
std::string QuoteIfSpaces(const std::string& s);
// Replaces every exact occurrence of `find`; replaced text is never scanned again.
void StringReplaceAll(std::string& s, const std::string& find, const std::string& replace);
// The characters of `set` that are not spaces, separated by single spaces.
std::string SpaceOutChars(const std::string& set);
// Five base-32 digits ("0".."9", "A".."V") of bits 0 to 24, most significant first.
std::string Base32Digits(std::uint32_t value);
// "%.2d" of `minor` with trailing zeros removed, the first digit always kept.
std::string MinorVersionText(int minor);
// ASCII letters in the other case; every other byte (UTF-8 above all) as
// it is: Windows compares names so, whatever the code page.
char LowerAscii(char c);
char UpperAscii(char c);
std::string LowerAscii(std::string text);
// ASCII-only case-insensitive comparison (Windows switch and constant names).
bool SameTextAscii(const std::string& a, const std::string& b);

}  // namespace qv
