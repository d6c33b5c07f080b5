#include "tool/text_checks.h"

#include <cstdio>
#include <stdexcept>

#include "core/errors.h"
#include "core/io/streams.h"
#include "core/text/cp936.h"
#include "tool/platform.h"

namespace qv::tool {

namespace {

// Length of the UTF-8 sequence that starts at `pos`, or 0 when it is invalid.
std::size_t Utf8Length(const std::string& s, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || pos + length > s.size()) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80) return 0;
    return length;
}

std::string CodePointText(const std::string& character) {
    std::uint32_t cp = static_cast<unsigned char>(character[0]);
    if (character.size() > 1) {
        cp &= 0xFFu >> (character.size() + 1);
        for (std::size_t i = 1; i < character.size(); ++i)
            cp = cp << 6 | (static_cast<unsigned char>(character[i]) & 0x3F);
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", cp);
    return buffer;
}

}  // namespace

std::optional<std::string> TextProblem(const std::string& utf8) {
    if (cp936::FromUtf8(utf8) && utf8.find('\0') == std::string::npos) return std::nullopt;
    const bool multiline = utf8.find('\n') != std::string::npos;
    int line = 1;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::string where = multiline ? " on line " + std::to_string(line) : "";
        const std::size_t length = Utf8Length(utf8, pos);
        if (length == 0) return "is not valid UTF-8" + where;
        const std::string character = utf8.substr(pos, length);
        if (character[0] == '\0') return "holds a NUL character" + where;
        if (!cp936::FromUtf8(character))
            return "holds '" + character + "' (" + CodePointText(character) + ")" + where +
                   ", which code page 936 cannot hold";
        if (character[0] == '\n') ++line;
        pos += length;
    }
    return "cannot be converted to code page 936";
}

std::string ReadTextFile(const std::filesystem::path& path) {
    std::string bytes;
    try {
        FileInStream in(PathToUtf8(path));
        bytes.resize(static_cast<std::size_t>(in.Size()));
        in.ReadExact(bytes.data(), bytes.size());
    } catch (const EInOutError& e) {
        throw std::runtime_error(std::string("cannot be read: ") + e.what());
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    if (const auto problem = TextProblem(bytes)) throw std::runtime_error(*problem);
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) text += '\r';
        text += bytes[i];
    }
    return text;
}

}  // namespace qv::tool
