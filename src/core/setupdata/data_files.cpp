#include "core/setupdata/data_files.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "core/bytes.h"
#include "core/errors.h"
#include "core/setupdata/block.h"

namespace qv {

namespace {
constexpr std::uint64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();
}

void CheckDataFileHeader(InStream& source) {
    std::uint8_t header[kDataFileHeaderSize];
    source.ReadExact(header, sizeof header);
    if (std::memcmp(header, kDataFileSignature.data(), kDataFileSignature.size()) != 0 ||
        static_cast<std::uint64_t>(static_cast<std::uint32_t>(GetI32(header + 8))) != source.Size() ||
        GetI32(header + 8) < 0)
        SourceFileCorrupted();
}

std::size_t ExtractReadProc(std::uint8_t* buffer, std::size_t count, TExtractContext& context) {
    std::size_t n = count;
    if (context.BytesLeft < static_cast<std::int64_t>(n)) n = context.BytesLeft > 0 ? context.BytesLeft : 0;
    const std::size_t result = n;
    while (n != 0) {
        const std::size_t got = context.Source->Read(buffer, n);
        context.BytesLeft -= static_cast<std::int32_t>(got);
        if (got == n) break;
        n -= got;
        buffer += got;
        if (context.CurrentDisk >= context.LastDisk) SourceFileCorrupted();
        context.Source.reset();
        ++context.CurrentDisk;
        context.Source = context.Opener->OpenDataFile(context.CurrentDisk);
        CheckDataFileHeader(*context.Source);
    }
    if (context.OnRead) context.OnRead(result);
    return result;
}

std::size_t ExtractWriteProc(const std::uint8_t* buffer, std::size_t count, TExtractContext& context) {
    if (static_cast<std::int64_t>(context.BytesWritten) + static_cast<std::int64_t>(count) >
        context.ExpectedSize)
        SourceFileCorrupted();
    context.Dest->Write(buffer, count);
    context.BytesWritten += static_cast<std::int32_t>(count);
    return count;
}

void ExtractFileStream(TExtractContext& context, const TFileRec& file,
                       const TFileLocationRec& location, std::int32_t slFileDataOffset) {
    if (slFileDataOffset == 0) CheckDataFileHeader(*context.Source);
    const std::int64_t start = std::int64_t{slFileDataOffset} + location.StartOffset;
    if (start < 0 || static_cast<std::uint64_t>(start) > context.Source->Size()) SourceFileCorrupted();
    context.Source->Seek(static_cast<std::uint64_t>(start));
    std::uint8_t marker[4];
    context.Source->ReadExact(marker, sizeof marker);
    if (std::memcmp(marker, kZlibMarker.data(), sizeof marker) != 0) SourceFileCorrupted();

    context.CurrentDisk = location.FirstDisk;
    context.LastDisk = location.LastDisk;
    context.BytesLeft = file.CompressedSize;
    context.ExpectedSize = file.OriginalSize;
    context.BytesWritten = 0;
    std::uint32_t adler = 0;
    try {
        DecompressStream([&](std::uint8_t* b, std::size_t n) { return ExtractReadProc(b, n, context); },
                         [&](const std::uint8_t* b, std::size_t n) { return ExtractWriteProc(b, n, context); },
                         adler);
    } catch (const EZlibDataError&) {
        SourceFileCorrupted();
    }
    if (context.BytesWritten != file.OriginalSize || adler != file.Adler32) SourceFileCorrupted();
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

StoredStream FileDataWriter::AddStream(InStream& source, const std::function<void(std::size_t)>& onRead) {
    // The marker is read whole from the stream's first data file.
    if (RoomOnDisk() < kZlibMarker.size() + 1) {
        if (single_) throw Exception("the file data exceeds 2 GiB, the most one data file can hold");
        StartDisk();
    }
    StoredStream stored;
    stored.Location.FirstDisk = diskNumber_;
    stored.Location.StartOffset = static_cast<std::int32_t>(diskPosition_);
    Put(kZlibMarker.data(), kZlibMarker.size());

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

int FileDataWriter::Finish() {
    EndDisk();
    return single_ ? 1 : diskNumber_;
}

}  // namespace qv
