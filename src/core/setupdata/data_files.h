// The data files SETUP.1, SETUP.2, ... that hold the files' compressed
// streams, and the single-file layout of the /SL form.
//
// Data file: 0 signature "idska32" 0x1A, 8 int32 total size of the file,
// 12 streams. A stream is the marker "zlb" 0x1A and a zlib stream of
// TFileRec.CompressedSize bytes; a stream that runs past the end of data
// file n continues at offset 12 of data file n + 1.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/io/streams.h"
#include "core/setupdata/records.h"
#include "core/setupdata/source_failure.h"

namespace qv {

constexpr std::size_t kDataFileHeaderSize = 12;

// Finds and opens the sources of a file's stream: the engine looks for
// data file n beside the setup data and in ..\DISKn and may ask for the
// next disk (raising EAbort when the user gives up); the tool opens it or
// fails with its own message. Whatever they raise passes the extractor
// untouched.
class DataFileOpener {
public:
    virtual ~DataFileOpener() = default;
    virtual std::unique_ptr<InStream> OpenDataFile(int diskNumber) = 0;
    // The file named after /SL, which holds the file data from its file
    // data offset on; asked only when that offset is not 0.
    virtual std::unique_ptr<InStream> OpenSlDataFile() = 0;
};

// Reads and checks the 12-byte header of data file `diskNumber`, just
// opened; leaves `source` at the first stream byte. A wrong signature or
// size field raises ESourceStreamDamaged, a file shorter than the header
// ESourceReadError (Read beyond end of file).
void CheckDataFileHeader(InStream& source, std::int32_t diskNumber);

// Reports compressed bytes as they are read; the engine advances its gauge
// and pumps messages there, and may raise EAbort.
using ExtractProgress = std::function<void(std::size_t compressedBytes)>;

// One file being extracted; passed unchanged to both callbacks.
struct TExtractContext {
    std::int32_t CurrentDisk = 0;
    std::int32_t LastDisk = 0;
    std::int32_t BytesLeft = 0;
    std::int32_t ExpectedSize = 0;
    std::int32_t BytesWritten = 0;

    std::unique_ptr<InStream> Source;  // the open data file (or /SL file)
    bool SourceIsSlFile = false;
    std::uint64_t SourceOffset = 0;    // of the next byte read from Source
    DataFileOpener* Opener = nullptr;  // for the next disks
    OutStream* Dest = nullptr;
    ExtractProgress OnRead;
};

// A failure of the source `context` reads now, at its disk and offset.
SourceFailure SourceFailureAt(const TExtractContext& context, SourceFailureKind kind, std::int64_t expected = 0,
                              std::int64_t actual = 0);

// Delivers up to `count` compressed bytes, crossing into the next data
// files as the stream does.
std::size_t ExtractReadProc(std::uint8_t* buffer, std::size_t count, TExtractContext& context);
// Writes to context.Dest; more bytes than ExpectedSize are damage. Failures
// of Dest pass as they are.
std::size_t ExtractWriteProc(const std::uint8_t* buffer, std::size_t count, TExtractContext& context);

// Opens the first source of the data at `location` (the /SL file when
// slFileDataOffset is not 0, else data file FirstDisk with its header
// checked) and reads the 4-byte `marker` there; `context` is then ready for
// ExtractReadProc with BytesLeft still to be set. A different marker
// raises `missingMarker` (as ESourceStreamDamaged).
void OpenDataAt(TExtractContext& context, DataFileOpener& opener, const TFileLocationRec& location,
                std::int32_t slFileDataOffset, const std::array<std::uint8_t, 4>& marker,
                SourceFailureKind missingMarker);

// Decompresses one file's stream into `dest`: opens its first source
// through `opener` (the /SL file when slFileDataOffset is not 0, else data
// file FirstDisk with its header checked), checks the marker, decompresses
// in pieces of kDecompressBufferSize across the data files, and checks the
// size and the Adler-32. Damage raises ESourceStreamDamaged, a failed read
// of a source ESourceReadError; EZlibInternalError, the opener's and
// `onRead`'s exceptions and those of `dest` pass unchanged.
void ExtractFileStream(DataFileOpener& opener, const TFileRec& file, const TFileLocationRec& location,
                       std::int32_t slFileDataOffset, OutStream& dest, const ExtractProgress& onRead = {});

// What a decompressor that takes a whole zlib stream in one call made of it.
struct WholeInflateResult {
    enum class Outcome {
        Complete,   // the stream ended within its input and the room
        Corrupt,    // corrupt data, or the input ended inside the stream
        NoRoom,     // the stream holds more bytes than the room
    };
    Outcome Result = Outcome::Corrupt;
    std::size_t Consumed = 0;  // input bytes up to the stream's end
    std::size_t Produced = 0;
    std::uint32_t Adler32 = 1;  // of the Produced bytes
};
// Inflates the zlib stream of `input` into at most `room` bytes of `output`.
using WholeInflater = std::function<WholeInflateResult(const std::uint8_t* input, std::size_t inputSize,
                                                       std::uint8_t* output, std::size_t room)>;

// A WholeInflater over libdeflate (third_party/libdeflate), several times
// zlib's speed on a whole stream, which it checks against the stream's own
// Adler-32 as it ends; the same build in every program. Safe on any thread.
WholeInflateResult InflateWholeWithLibdeflate(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                                              std::size_t room);

// ExtractFileStream in one piece, for files small enough to hold twice in
// memory: the compressed stream is read whole (across the data files, with
// the same checks of the sources), `inflate` decompresses it into
// `contents`, and the result passes the checks of the streamed form: the
// same failures, the same kinds. Input left after the stream's end is
// corrupt data, as it is to the engine's loop.
// `contents` keeps its storage from file to file: only bytes it never
// held are cleared before the inflater overwrites them. With `scratch`,
// the compressed stream is read into it, grown and never shrunk, so that
// a thread reading many files allocates (and the system maps) no new
// memory for each.
void ExtractWholeFileStream(DataFileOpener& opener, const TFileRec& file, const TFileLocationRec& location,
                            std::int32_t slFileDataOffset, const WholeInflater& inflate,
                            std::vector<std::uint8_t>& contents, const ExtractProgress& onRead = {},
                            std::vector<std::uint8_t>* scratch = nullptr);
// The same into `contents`, file.OriginalSize bytes of the caller's (a
// negative size is refused before anything is written): memory a caller
// keeps from file to file is then neither resized nor cleared, only
// overwritten.
void ExtractWholeFileStream(DataFileOpener& opener, const TFileRec& file, const TFileLocationRec& location,
                            std::int32_t slFileDataOffset, const WholeInflater& inflate, std::uint8_t* contents,
                            const ExtractProgress& onRead = {}, std::vector<std::uint8_t>* scratch = nullptr);

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

    // Compresses all of `source` with zlib at the writer's level, in
    // pieces; `onRead` is told the bytes read so far.
    StoredStream AddStream(InStream& source, const std::function<void(std::size_t)>& onRead = {});
    // Places a stream compressed elsewhere: `zlibStream` holds all of it,
    // made from `originalSize` bytes whose Adler-32 is `adler`.
    StoredStream AddCompressed(const std::uint8_t* zlibStream, std::size_t size, std::uint64_t originalSize,
                               std::uint32_t adler);
    // Places a solid block (solid_blocks.h): its marker, then `block`, the
    // header from its checksum on and the LZMA2 stream. The result's sizes
    // are those of the bytes placed, the marker included.
    StoredStream AddSolidBlock(const std::uint8_t* block, std::size_t size);
    // Completes the last data file's header; returns the number of data files.
    int Finish();
    // Paths of the data files written so far.
    const std::vector<std::string>& DataFilePaths() const { return paths_; }

private:
    // Puts the marker, on a new disk when the marker would not fit whole.
    StoredStream BeginStream(const std::array<std::uint8_t, 4>& marker);
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
