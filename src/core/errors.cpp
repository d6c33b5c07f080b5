#include "core/errors.h"

#include <cctype>
#include <limits>

namespace qv {

EZlibInternalError::EZlibInternalError(int code)
    : EZlibError("内部错误。代码：" + std::to_string(code)), code_(code) {}

std::string InOutErrorText(int code) {
    switch (code) {
    case io_code::FileNotFound: return "File not found";
    case io_code::InvalidFilename: return "Invalid filename";
    case io_code::TooManyOpenFiles: return "Too many open files";
    case io_code::AccessDenied: return "File access denied";
    case io_code::ReadBeyondEnd: return "Read beyond end of file";
    case io_code::DiskFull: return "Disk full";
    case io_code::InvalidNumericInput: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
    }
}

EInOutError::EInOutError(int code) : Exception(InOutErrorText(code)), code_(code) {}

EConvertError::EConvertError(const std::string& text)
    : Exception("'" + text + "' is not a valid integer value") {}

void SourceFileCorrupted() { throw ESourceFileCorrupted(); }

std::int32_t StrToInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) throw EConvertError(text);
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int digit;
        if (std::isdigit(c)) digit = c - '0';
        else if (base == 16 && std::isxdigit(c)) digit = std::tolower(c) - 'a' + 10;
        else throw EConvertError(text);
        value = value * base + digit;
        // Hex texts may name the full unsigned range, as the run-time library allows.
        const std::int64_t limit = base == 16 ? 0xFFFFFFFFll : std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
        if (value > limit) throw EConvertError(text);
    }
    if (base == 10 && !negative && value > std::numeric_limits<std::int32_t>::max()) throw EConvertError(text);
    if (negative) value = -value;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

}  // namespace qv
