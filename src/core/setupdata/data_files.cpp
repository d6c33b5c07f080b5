#include "core/setupdata/data_files.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "core/bytes.h"
#include "core/errors.h"
#include "core/setupdata/block.h"
#include "core/setupdata/solid_blocks.h"

namespace qv {

namespace {

constexpr std::uint64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();

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

// Appends to a byte vector; ExtractWriteProc has already refused more than
// the record's size.
class VectorOutStream final : public OutStream {
public:
    explicit VectorOutStream(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    void Write(const void* buffer, std::size_t count) override {
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        bytes_.insert(bytes_.end(), p, p + count);
    }
    std::uint64_t Position() const override { return bytes_.size(); }

private:
    std::vector<std::uint8_t>& bytes_;
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

WholeInflateResult InflateWholeWithZlib(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                                        std::size_t room) {
    WholeInflateResult result;
    // zlib counts in uInt; larger spans are the piecewise loop's.
    if (inputSize > std::numeric_limits<uInt>::max() || room > std::numeric_limits<uInt>::max()) return result;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw std::bad_alloc();
    // zlib refuses a null output even when no byte is to be written there.
    std::uint8_t none = 0;
    z.next_in = const_cast<Bytef*>(input);
    z.avail_in = static_cast<uInt>(inputSize);
    z.next_out = room == 0 ? &none : output;
    z.avail_out = static_cast<uInt>(room);
    const int outcome = inflate(&z, Z_FINISH);
    if (outcome == Z_STREAM_END) {
        result.Result = WholeInflateResult::Outcome::Complete;
        result.Consumed = inputSize - z.avail_in;
        result.Produced = room - z.avail_out;
        result.Adler32 = static_cast<std::uint32_t>(z.adler);
    } else if (outcome == Z_BUF_ERROR && z.avail_out == 0 && z.avail_in != 0) {
        result.Result = WholeInflateResult::Outcome::NoRoom;
    }
    inflateEnd(&z);
    return result;
}

void ExtractWholeFileStream(DataFileOpener& opener, const TFileRec& file, const TFileLocationRec& location,
                            std::int32_t slFileDataOffset, const WholeInflater& inflate,
                            std::vector<std::uint8_t>& contents, const ExtractProgress& onRead,
                            std::vector<std::uint8_t>* scratch) {
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
    // Every byte is the inflater's to write: a complete result covers them all.
    contents.resize(static_cast<std::size_t>(file.OriginalSize));
    const WholeInflateResult result = inflate(compressed.data(), compressedSize, contents.data(), contents.size());
    if (result.Result == WholeInflateResult::Outcome::Complete && result.Consumed == compressedSize &&
        result.Produced == contents.size() && result.Adler32 == file.Adler32)
        return;
    // Whatever is wrong, the engine's own loop says it: the same failure at
    // the same place, and the same acceptance where two decompressors could
    // judge a stream differently (one cut short after all its data).
    own = {};
    contents.clear();
    VectorOutStream sink(contents);
    ExtractFileStream(opener, file, location, slFileDataOffset, sink);
}

// ---- writing ----

FileDataWriter::FileDataWriter(std::string folder, std::uint64_t maxDiskSize, int level)
    : folder_(std::move(folder)), maxDiskSize_(maxDiskSize), level_(level) {
    // A disk must hold its header, a marker and at least one byte of a stream.
    if (maxDiskSize_ != 0 && maxDiskSize_ < kDataFileHeaderSize + kZlibMarker.size() + 1)
        throw Exception("the disk size must be at least 17 bytes");
    if (maxDiskSize_ == 0 || maxDiskSize_ > kMaxOffset) maxDiskSize_ = kMaxOffset;
}

FileDataWriter::FileDataWriter(OutStream& single, int level)
    : maxDiskSize_(kMaxOffset), level_(level), single_(&single), diskNumber_(1) {}

FileDataWriter::~FileDataWriter() = default;

std::uint64_t FileDataWriter::RoomOnDisk() const {
    if (!single_ && !disk_) return 0;
    return maxDiskSize_ - diskPosition_;
}

void FileDataWriter::StartDisk() {
    EndDisk();
    ++diskNumber_;
    std::string path = folder_.empty() ? std::string() : folder_ + "/";
    path += "SETUP." + std::to_string(diskNumber_);
    disk_ = std::make_unique<FileOutStream>(path);
    paths_.push_back(path);
    std::uint8_t header[kDataFileHeaderSize] = {};
    std::memcpy(header, kDataFileSignature.data(), kDataFileSignature.size());
    disk_->Write(header, sizeof header);
    diskPosition_ = kDataFileHeaderSize;
}

void FileDataWriter::EndDisk() {
    if (!disk_) return;
    std::uint8_t size[4];
    SetI32(size, static_cast<std::int32_t>(diskPosition_));
    disk_->Patch(8, size, sizeof size);
    disk_->Close();
    disk_.reset();
}

void FileDataWriter::Put(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        if (RoomOnDisk() == 0) {
            if (single_) throw Exception("the file data exceeds 2 GiB, the most one data file can hold");
            StartDisk();
        }
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, RoomOnDisk()));
        if (single_) single_->Write(data, n);
        else disk_->Write(data, n);
        diskPosition_ += n;
        data += n;
        size -= n;
    }
}

StoredStream FileDataWriter::BeginStream(const std::array<std::uint8_t, 4>& marker) {
    // The marker is read whole from the stream's first data file.
    if (RoomOnDisk() < marker.size() + 1) {
        if (single_) throw Exception("the file data exceeds 2 GiB, the most one data file can hold");
        StartDisk();
    }
    StoredStream stored;
    stored.Location.FirstDisk = diskNumber_;
    stored.Location.StartOffset = static_cast<std::int32_t>(diskPosition_);
    Put(marker.data(), marker.size());
    return stored;
}

StoredStream FileDataWriter::AddStream(InStream& source, const std::function<void(std::size_t)>& onRead) {
    StoredStream stored = BeginStream(kZlibMarker);

    z_stream z{};
    if (deflateInit2(&z, level_, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
    struct End {
        z_stream& z;
        ~End() { deflateEnd(&z); }
    } end{z};

    std::vector<std::uint8_t> in(1 << 16), out(1 << 16);
    std::uint64_t original = 0, compressed = 0;
    std::uint32_t adler = 1;
    for (bool done = false; !done;) {
        const std::size_t got = source.Read(in.data(), in.size());
        done = got < in.size();
        original += got;
        if (original > kMaxOffset) throw Exception("a file of 2 GiB or more cannot be stored");
        adler = Adler32(adler, in.data(), got);
        if (onRead) onRead(static_cast<std::size_t>(original));
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(got);
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            const int result = deflate(&z, done ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_ERROR) throw EZlibInternalError(result);
            const std::size_t produced = out.size() - z.avail_out;
            Put(out.data(), produced);
            compressed += produced;
            if (compressed > kMaxOffset) throw Exception("a compressed stream of 2 GiB or more cannot be stored");
        } while (z.avail_out == 0);
    }
    stored.Location.LastDisk = diskNumber_;
    stored.OriginalSize = static_cast<std::int32_t>(original);
    stored.CompressedSize = static_cast<std::int32_t>(compressed);
    stored.Adler32 = adler;
    return stored;
}

StoredStream FileDataWriter::AddCompressed(const std::uint8_t* zlibStream, std::size_t size,
                                           std::uint64_t originalSize, std::uint32_t adler) {
    if (originalSize > kMaxOffset) throw Exception("a file of 2 GiB or more cannot be stored");
    if (size > kMaxOffset) throw Exception("a compressed stream of 2 GiB or more cannot be stored");
    StoredStream stored = BeginStream(kZlibMarker);
    Put(zlibStream, size);
    stored.Location.LastDisk = diskNumber_;
    stored.OriginalSize = static_cast<std::int32_t>(originalSize);
    stored.CompressedSize = static_cast<std::int32_t>(size);
    stored.Adler32 = adler;
    return stored;
}

StoredStream FileDataWriter::AddSolidBlock(const std::uint8_t* block, std::size_t size) {
    if (size > kMaxOffset - kSolidMarker.size()) throw Exception("a solid block of 2 GiB or more cannot be stored");
    StoredStream stored = BeginStream(kSolidMarker);
    Put(block, size);
    stored.Location.LastDisk = diskNumber_;
    stored.CompressedSize = static_cast<std::int32_t>(size + kSolidMarker.size());
    return stored;
}

int FileDataWriter::Finish() {
    EndDisk();
    return single_ ? 1 : diskNumber_;
}

}  // namespace qv
