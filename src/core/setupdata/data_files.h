// The data files SETUP.1, SETUP.2, ... that hold the files' compressed
// streams, and the single-file layout of the /SL form.
//
// Data file: 0 signature "idska32" 0x1A, 8 int32 total size of the file,
// 12 streams. A stream is the marker "zlb" 0x1A and a zlib stream of
// TFileRec.CompressedSize bytes; a stream that runs past the end of data
// file n continues at offset 12 of data file n + 1.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/io/streams.h"
#include "core/setupdata/records.h"

namespace qv {

constexpr std::size_t kDataFileHeaderSize = 12;

// Finds and opens data file n: the engine looks beside the setup data and in
// ..\DISKn and may ask for the next disk (raising EAbort when the user gives
// up); the tool opens SETUP.n beside SETUP.0.
class DataFileOpener {
public:
    virtual ~DataFileOpener() = default;
    virtual std::unique_ptr<InStream> OpenDataFile(int diskNumber) = 0;
};

// Reads and checks the 12-byte header of a data file just opened;
// ESourceFileCorrupted when the signature or the total size differs.
void CheckDataFileHeader(InStream& source);

// One file being extracted; passed unchanged to both callbacks.
struct TExtractContext {
    std::int32_t CurrentDisk = 0;
    std::int32_t LastDisk = 0;
    std::int32_t BytesLeft = 0;
    std::int32_t ExpectedSize = 0;
    std::int32_t BytesWritten = 0;

    std::unique_ptr<InStream> Source;  // the open data file
    DataFileOpener* Opener = nullptr;  // for the next disks
    OutStream* Dest = nullptr;
    // Told the compressed bytes of each read; the engine advances its gauge
    // and pumps messages there, and may raise EAbort.
    std::function<void(std::size_t)> OnRead;
};

std::size_t ExtractReadProc(std::uint8_t* buffer, std::size_t count, TExtractContext& context);
std::size_t ExtractWriteProc(const std::uint8_t* buffer, std::size_t count, TExtractContext& context);

// Decompresses one file's stream from `context.Source` (already open on the
// first data file, or on the /SL file when slFileDataOffset is not 0) into
// `context.Dest`: header check, marker, decompression, size and Adler-32
// checks. Every kind of damage raises ESourceFileCorrupted.
void ExtractFileStream(TExtractContext& context, const TFileRec& file,
                       const TFileLocationRec& location, std::int32_t slFileDataOffset);

// Where and how big one compressed stream became.
struct StoredStream {
    TFileLocationRec Location;
    std::int32_t OriginalSize = 0;
    std::int32_t CompressedSize = 0;
    std::uint32_t Adler32 = 1;
};

// Writes streams into data files SETUP.n in a folder (each at most
// `maxDiskSize` bytes, 0 = no limit), or into one stream without data file
// headers for the single-file layout.
class FileDataWriter {
public:
    FileDataWriter(std::string folder, std::uint64_t maxDiskSize, int level);
    explicit FileDataWriter(OutStream& single, int level);
    ~FileDataWriter();
    FileDataWriter(const FileDataWriter&) = delete;
    FileDataWriter& operator=(const FileDataWriter&) = delete;

    // Compresses all of `source`; `onRead` is told the bytes read so far.
    StoredStream AddStream(InStream& source, const std::function<void(std::size_t)>& onRead = {});
    // Completes the last data file's header; returns the number of data files.
    int Finish();
    // Paths of the data files written so far.
    const std::vector<std::string>& DataFilePaths() const { return paths_; }

private:
    void Put(const std::uint8_t* data, std::size_t size);
    void StartDisk();
    void EndDisk();
    std::uint64_t RoomOnDisk() const;

    std::string folder_;
    std::uint64_t maxDiskSize_ = 0;
    int level_;
    OutStream* single_ = nullptr;
    std::unique_ptr<FileOutStream> disk_;
    int diskNumber_ = 0;
    std::uint64_t diskPosition_ = 0;
    std::vector<std::string> paths_;
};

}  // namespace qv
