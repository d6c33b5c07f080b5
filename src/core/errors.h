// The exception types of QV Setup. Every message is the exact text a user
// sees (UTF-8); the engine shows it, the tool prints it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace qv {

// The general exception class: carries the user-visible message. Derived
// from std::exception itself, not std::runtime_error: the standard error
// classes keep their text in the runtime's older reference-counted string,
// whose code (some 30 KB) would come into every program with them.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// A fault of the calling code, never of the data or the system: an argument
// outside a function's contract.
class EProgramFault : public Exception {
public:
    using Exception::Exception;
};

// A failure already shown to the user, or a confirmed cancel: never shown again.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

class EZlibError : public Exception {
public:
    using Exception::Exception;
};

// A block check failed, the decompressor found corrupt data, or the setup
// data holds a value that no valid writer produces.
class EZlibDataError : public EZlibError {
public:
    EZlibDataError() : EZlibError("压缩数据已损坏。") {}
};

class EZlibInternalError : public EZlibError {
public:
    explicit EZlibInternalError(int code);
    int code() const { return code_; }

private:
    int code_;
};

// Run-time I/O failure with the run-time library's code: 2 file not found,
// 3 invalid filename, 4 too many open files, 5 access denied, 100 read beyond
// end of file, 101 disk full, 106 invalid numeric input.
class EInOutError : public Exception {
public:
    explicit EInOutError(int code);
    int code() const { return code_; }

private:
    int code_;
};

namespace io_code {
constexpr int FileNotFound = 2;
constexpr int InvalidFilename = 3;
constexpr int TooManyOpenFiles = 4;
constexpr int AccessDenied = 5;
constexpr int ReadBeyondEnd = 100;
constexpr int DiskFull = 101;
constexpr int InvalidNumericInput = 106;
}  // namespace io_code

// The run-time library's text for an I/O error code.
std::string InOutErrorText(int code);

// A text that is not a valid signed 32-bit decimal number.
class EConvertError : public Exception {
public:
    explicit EConvertError(const std::string& text);
};

// The setup data does not begin with its signature.
class ESetupSignatureError : public Exception {
public:
    ESetupSignatureError() : Exception("setup data signature not found") {}
};

// File data in the data files is damaged: wrong data file header, a stream
// that ends early, or a size or checksum that does not match.
class ESourceFileCorrupted : public Exception {
public:
    ESourceFileCorrupted() : Exception("源文件已损坏。") {}
};

[[noreturn]] void SourceFileCorrupted();

// Converts a signed 32-bit decimal integer as the run-time library does
// (optional sign, digits, or $ followed by hex digits); raises EConvertError.
std::int32_t StrToInt(const std::string& text);

}  // namespace qv
