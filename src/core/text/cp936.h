// Code page 936 (GBK, the Windows code page of simplified Chinese) to and
// from UTF-8. Files hold code page 936; the programs hold UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace qv::cp936 {

// Decodes code page 936 bytes. User-defined characters become the private-use
// code points that Windows gives them; bytes that name no character, U+FFFD.
std::string ToUtf8(const std::string& bytes);

// Encodes UTF-8 text; nullopt when a character has no code page 936 form
// or the text is not valid UTF-8.
std::optional<std::string> FromUtf8(const std::string& utf8);

// Like FromUtf8, with '?' for each character that has no code page 936 form.
std::string FromUtf8Lossy(const std::string& utf8);

// The longest prefix of a code page 936 text that fits in `limit` bytes
// without cutting a double-byte character in half.
std::string TruncateBytes(const std::string& bytes, std::size_t limit);

// True when the byte starts a double-byte character.
inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

}  // namespace qv::cp936
