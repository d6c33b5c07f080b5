// Writing file data, apart from reading it: the programs that only read
// link no compressor.
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
// Offsets and sizes in the records are 32-bit signed numbers.
constexpr std::uint64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();
}  // namespace

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
