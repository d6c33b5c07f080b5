#include "core/text/number_text.h"

#include <charconv>

namespace qv {

namespace {
std::string Padded(unsigned long long value, int base, int minDigits) {
    if (value == 0 && minDigits <= 0) return {};  // as printf's "%.0d" of zero
    char digits[64];  // a 64-bit value has at most 64 binary digits
    const auto end = std::to_chars(digits, digits + sizeof digits, value, base).ptr;
    const int count = static_cast<int>(end - digits);
    std::string text(count < minDigits ? static_cast<std::size_t>(minDigits - count) : 0, '0');
    text.append(digits, end);
    return text;
}
}  // namespace

std::string UnsignedDigits(unsigned long long value, int minDigits) { return Padded(value, 10, minDigits); }

std::string SignedDigits(long long value, int minDigits) {
    if (value >= 0) return Padded(static_cast<unsigned long long>(value), 10, minDigits);
    // The magnitude is taken unsigned: the most negative value has no positive twin.
    return "-" + Padded(0ULL - static_cast<unsigned long long>(value), 10, minDigits);
}

std::string DecimalTenths(double value) {
    const auto tenths = static_cast<unsigned long long>(value * 10 + 0.5);
    return UnsignedDigits(tenths / 10) + "." + UnsignedDigits(tenths % 10);
}

std::string HexDigits(unsigned long long value, int minDigits, HexLetters letters) {
    std::string text = Padded(value, 16, minDigits);
    if (letters == HexLetters::Upper)
        for (char& c : text)
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

}  // namespace qv
