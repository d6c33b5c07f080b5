// UTF-8, the text of the programs, one character at a time, and UTF-16, the
// text of the Windows file functions.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace qv::utf8 {

// Decodes the character at text[i] and moves i past it. nullopt (i unmoved)
// for bytes that are not well-formed UTF-8: a stray continuation byte, a
// cut sequence, an overlong form, a surrogate or a value above U+10FFFF,
// each of which another decoder could read as some other character.
std::optional<char32_t> Next(const std::string& text, std::size_t& i);

// Appends the UTF-8 form of `c` (at most U+10FFFF).
void Append(std::string& out, char32_t c);

// The UTF-16 form of UTF-8 text; nullopt when the text is not well-formed.
// Windows names files in UTF-16; a name cut short or guessed at could name
// another file, so nothing is replaced.
std::optional<std::u16string> ToUtf16(const std::string& text);

}  // namespace qv::utf8
