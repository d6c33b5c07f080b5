// Numbers as the logs and messages write them: decimal or hexadecimal, with
// leading zeros up to a least number of digits. The programs write numbers
// through these rather than the C library's printf family, whose Windows
// form brings its whole formatting engine (about 40 KB with its
// floating-point part) into every program for a handful of padded numbers.
#pragma once

#include <string>

namespace qv {

enum class HexLetters { Upper, Lower };

// "%.*llu": at least `minDigits` digits, zeros in front (zero digits: zero
// is written as nothing).
std::string UnsignedDigits(unsigned long long value, int minDigits = 1);
// "%.*lld": the sign, then at least `minDigits` digits.
std::string SignedDigits(long long value, int minDigits = 1);
// "%.1f" of a value of at least zero: the tenths rounded half up.
std::string DecimalTenths(double value);
// "%.*llX" or "%.*llx", without a "0x".
std::string HexDigits(unsigned long long value, int minDigits = 1, HexLetters letters = HexLetters::Upper);

}  // namespace qv
