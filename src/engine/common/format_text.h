// printf-like formatting of user-visible texts: %s and %d (with optional
// "-", width and ".precision", as "%.2d"), %u, %x and %%.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "core/errors.h"

namespace qv {

class FormatArg {
public:
    FormatArg(const std::string& text) : isText_(true), text_(text) {}
    FormatArg(const char* text) : isText_(true), text_(text) {}
    FormatArg(int value) : number_(value) {}
    FormatArg(long value) : number_(value) {}
    FormatArg(long long value) : number_(value) {}
    FormatArg(unsigned value) : number_(value) {}
    FormatArg(unsigned long value) : number_(static_cast<std::int64_t>(value)) {}

    bool IsText() const { return isText_; }
    const std::string& Text() const { return text_; }
    std::int64_t Number() const { return number_; }

private:
    bool isText_ = false;
    std::string text_;
    std::int64_t number_ = 0;
};

// A format that does not match its arguments (a missing argument, %d given
// a text, an unknown directive).
class EFormatError : public Exception {
public:
    explicit EFormatError(const std::string& format)
        : Exception("Format '" + format + "' invalid or incompatible with argument") {}
};

std::string FormatText(const std::string& format, std::initializer_list<FormatArg> args);

}  // namespace qv
