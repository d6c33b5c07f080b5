#include "core/text/utf8.h"

namespace qv::utf8 {

std::optional<char32_t> Next(const std::string& text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    int extra;
    char32_t c;
    if (b0 < 0x80) { ++i; return b0; }
    if ((b0 & 0xE0) == 0xC0) { extra = 1; c = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { extra = 2; c = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { extra = 3; c = b0 & 0x07; }
    else return std::nullopt;
    if (i + extra >= text.size()) return std::nullopt;
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        c = c << 6 | (b & 0x3F);
    }
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    i += extra + 1;
    return c;
}

void Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<std::u16string> ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = Next(text, i);
        if (!c) return std::nullopt;
        if (*c < 0x10000) {
            out += static_cast<char16_t>(*c);
        } else {
            // A surrogate pair: the high ten bits, then the low ten.
            out += static_cast<char16_t>(0xD800 + ((*c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((*c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

}  // namespace qv::utf8
