#include "core/setupdata/data_files.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "core/bytes.h"
#include "core/errors.h"
#include "core/setupdata/block.h"
#include "core/setupdata/solid_blocks.h"

namespace qv {

namespace {

// Every read of a source goes through here, so that a failing device is
// reported with the data file and the offset it failed at.
std::size_t ReadSource(TExtractContext& context, std::uint8_t* buffer, std::size_t count) {
    std::size_t got = 0;
    try {
        got = context.Source->Read(buffer, count);
    } catch (const EInOutError& error) {
        RaiseSourceFailure(SourceFailureAt(context, SourceFailureKind::ReadFailed), error.code());
    }
    context.SourceOffset += got;
    return got;
}

// A record that no writer produces would make the callbacks count with
// negative sizes or walk the disks backwards.
void CheckRecord(const TFileRec& file, const TFileLocationRec& location, bool slFile) {
    SourceFailure failure;
    failure.Disk = location.FirstDisk;
    failure.InSlFile = slFile;
    if (file.CompressedSize < 0 || file.OriginalSize < 0) {
        failure.Kind = SourceFailureKind::NegativeSize;
        failure.Expected = file.OriginalSize;
        failure.Actual = file.CompressedSize;
        RaiseSourceFailure(failure);
    }
    // Only data files have numbers; the /SL file holds whatever the first one is.
    if (location.LastDisk < location.FirstDisk || (!slFile && location.FirstDisk < 1)) {
        failure.Kind = SourceFailureKind::BadDiskRange;
        failure.Actual = location.LastDisk;
        RaiseSourceFailure(failure);
    }
}

}  // namespace

SourceFailure SourceFailureAt(const TExtractContext& context, SourceFailureKind kind, std::int64_t expected,
                              std::int64_t actual) {
    SourceFailure failure;
    failure.Kind = kind;
    failure.Disk = context.CurrentDisk;
    failure.InSlFile = context.SourceIsSlFile;
    failure.Offset = static_cast<std::int64_t>(context.SourceOffset);
    failure.Expected = expected;
    failure.Actual = actual;
    return failure;
}


void CheckDataFileHeader(InStream& source, std::int32_t diskNumber) {
    SourceFailure failure;
    failure.Disk = diskNumber;
    std::uint8_t header[kDataFileHeaderSize];
    std::size_t got = 0;
    try {
        got = source.Read(header, sizeof header);
    } catch (const EInOutError& error) {
        failure.Kind = SourceFailureKind::ReadFailed;
        RaiseSourceFailure(failure, error.code());
    }
    if (got != sizeof header) {
        failure.Kind = SourceFailureKind::HeaderCutShort;
        failure.Expected = sizeof header;
        failure.Actual = static_cast<std::int64_t>(got);
        RaiseSourceFailure(failure, io_code::ReadBeyondEnd);
    }
    if (std::memcmp(header, kDataFileSignature.data(), kDataFileSignature.size()) != 0) {
        failure.Kind = SourceFailureKind::BadSignature;
        RaiseSourceFailure(failure);
    }
    const std::int64_t stated = GetI32(header + 8);
    const std::uint64_t size = source.Size();
    if (stated < 0 || static_cast<std::uint64_t>(stated) != size) {
        failure.Kind = SourceFailureKind::SizeFieldDiffers;
        failure.Offset = 8;
        failure.Expected = stated;
        failure.Actual = static_cast<std::int64_t>(size);
        RaiseSourceFailure(failure);
    }
}

std::size_t ExtractReadProc(std::uint8_t* buffer, std::size_t count, TExtractContext& context) {
    std::size_t n = count;
    if (context.BytesLeft < static_cast<std::int64_t>(n))
        n = context.BytesLeft > 0 ? static_cast<std::size_t>(context.BytesLeft) : 0;
    const std::size_t result = n;
    while (n != 0) {
        const std::size_t got = ReadSource(context, buffer, n);
        context.BytesLeft -= static_cast<std::int32_t>(got);
        if (got == n) break;
        // This data file has ended inside the stream.
        n -= got;
        buffer += got;
        if (context.CurrentDisk >= context.LastDisk)
            RaiseSourceFailure(SourceFailureAt(context, SourceFailureKind::StreamEndedEarly, context.BytesLeft, 0));
        context.Source.reset();
        ++context.CurrentDisk;
        context.SourceIsSlFile = false;
        context.SourceOffset = 0;
        context.Source = context.Opener->OpenDataFile(context.CurrentDisk);
        CheckDataFileHeader(*context.Source, context.CurrentDisk);
        context.SourceOffset = kDataFileHeaderSize;
    }
    if (context.OnRead) context.OnRead(result);
    return result;
}

std::size_t ExtractWriteProc(const std::uint8_t* buffer, std::size_t count, TExtractContext& context) {
    const std::int64_t reached = std::int64_t{context.BytesWritten} + static_cast<std::int64_t>(count);
    if (reached > context.ExpectedSize)
        RaiseSourceFailure(SourceFailureAt(context, SourceFailureKind::MoreDataThanExpected, context.ExpectedSize, reached));
    context.Dest->Write(buffer, count);
    context.BytesWritten += static_cast<std::int32_t>(count);
    return count;
}

namespace {

}  // namespace

void OpenDataAt(TExtractContext& context, DataFileOpener& opener, const TFileLocationRec& location,
                std::int32_t slFileDataOffset, const std::array<std::uint8_t, 4>& marker,
                SourceFailureKind missingMarker) {
    const bool slFile = slFileDataOffset != 0;
    context.CurrentDisk = location.FirstDisk;
    context.LastDisk = location.LastDisk;
    context.Opener = &opener;

    std::int64_t start = location.StartOffset;
    if (slFile) {
        // The /SL file has no data file header.
        context.Source = opener.OpenSlDataFile();
        context.SourceIsSlFile = true;
        start += slFileDataOffset;
    } else {
        context.Source = opener.OpenDataFile(location.FirstDisk);
        CheckDataFileHeader(*context.Source, location.FirstDisk);
    }
    const std::uint64_t sourceSize = context.Source->Size();
    if (start < 0 || static_cast<std::uint64_t>(start) + marker.size() > sourceSize) {
        SourceFailure failure = SourceFailureAt(context, SourceFailureKind::StartOutsideSource);
        failure.Offset = start;
        failure.Actual = static_cast<std::int64_t>(sourceSize);
        RaiseSourceFailure(failure);
    }
    context.SourceOffset = static_cast<std::uint64_t>(start);
    try {
        context.Source->Seek(context.SourceOffset);
    } catch (const EInOutError& error) {
        RaiseSourceFailure(SourceFailureAt(context, SourceFailureKind::ReadFailed), error.code());
    }
    std::uint8_t found[4];
    const SourceFailure markerFailure = SourceFailureAt(context, missingMarker);
    if (ReadSource(context, found, sizeof found) != sizeof found || std::memcmp(found, marker.data(), sizeof found) != 0)
        RaiseSourceFailure(markerFailure);
}

namespace {

// Opens the first source of a file's stream and reads its marker: the
// context is then ready for ExtractReadProc.
void StartExtracting(TExtractContext& context, DataFileOpener& opener, const TFileRec& file,
                     const TFileLocationRec& location, std::int32_t slFileDataOffset) {
    CheckRecord(file, location, slFileDataOffset != 0);
    context.BytesLeft = file.CompressedSize;
    context.ExpectedSize = file.OriginalSize;
    context.BytesWritten = 0;
    OpenDataAt(context, opener, location, slFileDataOffset, kZlibMarker, SourceFailureKind::MissingMarker);
}

// Fills memory of the record's size from its start; ExtractWriteProc has
// already refused more than that.
class SpanOutStream final : public OutStream {
public:
    explicit SpanOutStream(std::uint8_t* bytes) : bytes_(bytes) {}
    void Write(const void* buffer, std::size_t count) override {
        if (count) std::memcpy(bytes_ + position_, buffer, count);
        position_ += count;
    }
    std::uint64_t Position() const override { return position_; }

private:
    std::uint8_t* bytes_;
    std::size_t position_ = 0;
};

}  // namespace

void ExtractFileStream(DataFileOpener& opener, const TFileRec& file, const TFileLocationRec& location,
                       std::int32_t slFileDataOffset, OutStream& dest, const ExtractProgress& onRead) {
    TExtractContext context;
    context.Dest = &dest;
    context.OnRead = onRead;
    StartExtracting(context, opener, file, location, slFileDataOffset);

    std::uint32_t adler = 0;
    try {
        // The sink accepts every byte or raises, so the result is always true.
        DecompressStream([&](std::uint8_t* b, std::size_t n) { return ExtractReadProc(b, n, context); },
                         [&](const std::uint8_t* b, std::size_t n) { return ExtractWriteProc(b, n, context); },
                         adler);
    } catch (const EZlibDataError&) {
        RaiseSourceFailure(SourceFailureAt(context, SourceFailureKind::CorruptData));
    }
    if (context.BytesWritten != file.OriginalSize)
        RaiseSourceFailure(SourceFailureAt(context, SourceFailureKind::LessDataThanExpected, file.OriginalSize,
                                     context.BytesWritten));
    if (adler != file.Adler32)
        RaiseSourceFailure(SourceFailureAt(context, SourceFailureKind::ChecksumMismatch, file.Adler32, adler));
}

namespace {

// A negative size is the record's check to refuse (StartExtracting), before
// any memory is sized or written by it.
void RefuseNegativeSize(DataFileOpener& opener, const TFileRec& file, const TFileLocationRec& location,
                        std::int32_t slFileDataOffset) {
    if (file.OriginalSize >= 0) return;
    TExtractContext context;
    StartExtracting(context, opener, file, location, slFileDataOffset);
}

}  // namespace

void ExtractWholeFileStream(DataFileOpener& opener, const TFileRec& file, const TFileLocationRec& location,
                            std::int32_t slFileDataOffset, const WholeInflater& inflate, std::uint8_t* contents,
                            const ExtractProgress& onRead, std::vector<std::uint8_t>* scratch) {
    RefuseNegativeSize(opener, file, location, slFileDataOffset);
    std::vector<std::uint8_t> own;
    std::vector<std::uint8_t>& compressed = scratch ? *scratch : own;
    const std::size_t compressedSize = static_cast<std::size_t>(file.CompressedSize);
    {
        TExtractContext context;
        context.OnRead = onRead;
        StartExtracting(context, opener, file, location, slFileDataOffset);
        if (compressed.size() < compressedSize) compressed.resize(compressedSize);
        // In pieces, so that progress moves within a large file too.
        constexpr std::size_t kPiece = 1 << 20;
        for (std::size_t got = 0; got < compressedSize;)
            got += ExtractReadProc(compressed.data() + got, std::min(kPiece, compressedSize - got), context);
    }
    const std::size_t size = static_cast<std::size_t>(file.OriginalSize);
    const WholeInflateResult result = inflate(compressed.data(), compressedSize, contents, size);
    if (result.Result == WholeInflateResult::Outcome::Complete && result.Consumed == compressedSize &&
        result.Produced == size && result.Adler32 == file.Adler32)
        return;
    // Whatever is wrong, the engine's own loop says it: the same failure at
    // the same place, and the same acceptance where two decompressors could
    // judge a stream differently (one cut short after all its data).
    own = {};
    SpanOutStream sink(contents);
    ExtractFileStream(opener, file, location, slFileDataOffset, sink);
}

void ExtractWholeFileStream(DataFileOpener& opener, const TFileRec& file, const TFileLocationRec& location,
                            std::int32_t slFileDataOffset, const WholeInflater& inflate,
                            std::vector<std::uint8_t>& contents, const ExtractProgress& onRead,
                            std::vector<std::uint8_t>* scratch) {
    RefuseNegativeSize(opener, file, location, slFileDataOffset);
    // Every byte is the inflater's to write: a complete result covers them all.
    contents.resize(static_cast<std::size_t>(file.OriginalSize));
    ExtractWholeFileStream(opener, file, location, slFileDataOffset, inflate, contents.data(), onRead, scratch);
}

}  // namespace qv
