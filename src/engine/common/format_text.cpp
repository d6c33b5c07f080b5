#include "engine/common/format_text.h"

#include <vector>

#include "core/text/number_text.h"

namespace qv {

std::string FormatText(const std::string& format, std::initializer_list<FormatArg> args) {
    const std::vector<FormatArg> list(args);
    std::size_t next = 0;
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // %[-][width][.precision]type
        std::size_t j = i + 1;
        const bool left = j < format.size() && format[j] == '-';
        if (left) ++j;
        int width = 0, precision = -1;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9' && width < 1000) width = width * 10 + (format[j++] - '0');
        if (j < format.size() && format[j] == '.') {
            precision = 0;
            ++j;
            while (j < format.size() && format[j] >= '0' && format[j] <= '9' && precision < 1000)
                precision = precision * 10 + (format[j++] - '0');
        }
        if (j >= format.size() || next >= list.size()) throw EFormatError(format);
        const char type = format[j];
        const FormatArg& arg = list[next++];
        std::string piece;
        if (type == 's') {
            if (!arg.IsText()) throw EFormatError(format);
            piece = precision >= 0 ? arg.Text().substr(0, static_cast<std::size_t>(precision)) : arg.Text();
        } else if (type == 'd' || type == 'u' || type == 'x' || type == 'X') {
            if (arg.IsText()) throw EFormatError(format);
            const int digits = precision < 0 ? 1 : precision;
            // Unsigned and hexadecimal forms show the 32-bit pattern, as for a negative %x.
            const unsigned long long bits = static_cast<std::uint32_t>(arg.Number());
            if (type == 'd') piece = SignedDigits(arg.Number(), digits);
            else if (type == 'u') piece = UnsignedDigits(bits, digits);
            else piece = HexDigits(bits, digits, type == 'x' ? HexLetters::Lower : HexLetters::Upper);
        } else {
            throw EFormatError(format);
        }
        // Width counts bytes, which is what a fixed-width ASCII column needs.
        if (piece.size() < static_cast<std::size_t>(width)) {
            const std::string pad(static_cast<std::size_t>(width) - piece.size(), ' ');
            piece = left ? piece + pad : pad + piece;
        }
        out += piece;
        i = j;
    }
    return out;
}

}  // namespace qv
