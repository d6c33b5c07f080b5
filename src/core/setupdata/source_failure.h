// Why reading a file's stream from the data files failed, and where.
//
// The extractor reports every failure of the source as one of two
// exceptions carrying the same details: damage as ESourceStreamDamaged (an
// ESourceFileCorrupted, so the engine shows "源文件已损坏。"), a failed read
// as ESourceReadError (an EInOutError with the run-time library's code and
// text). Each front end words the details in its own language; the engine
// needs no more than what() of the base classes.
#pragma once

#include <cstdint>

#include "core/errors.h"

namespace qv {

enum class SourceFailureKind {
    // Damage (ESourceStreamDamaged).
    BadSignature,          // the data file does not begin with "idska32" 0x1A
    SizeFieldDiffers,      // Expected: the size its header gives; Actual: its real size
    MissingMarker,         // no "zlb" 0x1A at Offset, where the stream should start
    StreamEndedEarly,      // the last data file ended; Expected: the compressed size, Actual: bytes found
    MoreDataThanExpected,  // Expected: the original size, Actual: the bytes the stream had reached
    LessDataThanExpected,  // Expected: the original size, Actual: the bytes the stream gave
    ChecksumMismatch,      // Expected: the Adler-32 of the record, Actual: that of the contents
    CorruptData,           // zlib found corrupt data at or before Offset
    NegativeSize,          // Expected: the original size, Actual: the compressed size of the record
    BadDiskRange,          // Disk: the first data file, Actual: the last one, which lies before it
    StartOutsideSource,    // Offset: where the marker should be, Actual: the size of the source
    MissingSolidMarker,    // no "lzs" 0x1A at Offset, where the solid block should start
    BadSolidHeader,        // the solid block's header at Offset fails its check
    MemberOutsideBlock,    // Expected: the member the file names, Actual: the block's member count
    // Read errors (ESourceReadError).
    HeaderCutShort,        // the data file is shorter than its header; Actual: its size
    ReadFailed,            // the device failed at Offset
};

struct SourceFailure {
    SourceFailureKind Kind = SourceFailureKind::ReadFailed;
    // The data file the failure was found in: SETUP.<Disk>, or, when InSlFile
    // is set, the /SL file that holds the first part of the stream.
    std::int32_t Disk = 0;
    bool InSlFile = false;
    std::int64_t Offset = 0;  // within that file
    std::int64_t Expected = 0;
    std::int64_t Actual = 0;
};

inline bool IsReadError(SourceFailureKind kind) {
    return kind == SourceFailureKind::HeaderCutShort || kind == SourceFailureKind::ReadFailed;
}

class ESourceStreamDamaged : public ESourceFileCorrupted {
public:
    explicit ESourceStreamDamaged(const SourceFailure& failure) : failure_(failure) {}
    const SourceFailure& failure() const { return failure_; }

private:
    SourceFailure failure_;
};

class ESourceReadError : public EInOutError {
public:
    ESourceReadError(int code, const SourceFailure& failure) : EInOutError(code), failure_(failure) {}
    const SourceFailure& failure() const { return failure_; }

private:
    SourceFailure failure_;
};

// Raises ESourceReadError for the read-error kinds (with `ioCode`), and
// ESourceStreamDamaged for the others.
[[noreturn]] inline void RaiseSourceFailure(const SourceFailure& failure, int ioCode = io_code::ReadBeyondEnd) {
    if (IsReadError(failure.Kind)) throw ESourceReadError(ioCode, failure);
    throw ESourceStreamDamaged(failure);
}

}  // namespace qv
