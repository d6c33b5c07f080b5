// The single-file program that `qvsetup build --exe` writes: the engine's
// Windows image with the whole installation inside its own file, as the /SL
// form reads it, and the locator that tells the engine where.
//
// File layout:
//   0          the engine's PE image: its headers and sections, up to the
//              end of the section whose raw data ends last (the image end)
//   image end  the locator, kLocatorSize bytes, little-endian:
//                0  8  signature "iexe-32" 0x1A
//                8  4  uint32 locator size (kLocatorSize)
//               12  8  uint64 payload offset: the first byte after the locator
//               20  8  uint64 payload size
//               28  4  int32  setup data offset, from the start of the file
//                            (the payload offset: the setup data comes first)
//               32  4  int32  file data offset, from the start of the file:
//                            the streams' TFileLocationRec.StartOffset count
//                            from here, as after /SL
//               36  4  uint32 CRC-32 (zlib's crc32) of the payload's bytes
//               40  4  reserved, 0
//               44  4  uint32 CRC-32 of the locator's bytes 0 to 43
//   payload    the setup data stream, then the file streams
//   then       zero bytes up to a multiple of 8 of the file's size
//   then       the Authenticode certificate table, once the program is signed
//
// The engine finds the locator from the section table, never from the end
// of the file: signing appends its certificate table at the end and changes
// only the header's checksum and certificate entry, and it covers (hashes)
// everything else, the locator and the payload included. The file is padded
// to 8 bytes beforehand, so that signing adds no padding of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/io/streams.h"

namespace qv {

constexpr std::size_t kLocatorSize = 48;
constexpr char kLocatorSignature[8] = {'i', 'e', 'x', 'e', '-', '3', '2', 0x1A};
// The program's size is padded to this before it is signed.
constexpr std::uint64_t kProgramAlignment = 8;
// The bytes at the start of the file that hold a PE image's headers and
// section table, as far as this reader accepts them.
constexpr std::size_t kPeHeadLimit = 64 * 1024;

// Where the parts of a PE image lie in its file. Offsets are from the start
// of the file.
struct PeImageLayout {
    std::uint16_t Machine = 0;                  // 0x14C i386, 0x8664 x86-64, ...
    std::uint64_t ImageEnd = 0;                 // end of the last section's raw data (at least the headers)
    std::uint32_t CheckSumField = 0;            // the optional header's CheckSum
    std::uint32_t SymbolTableField = 0;         // the COFF header's PointerToSymbolTable (NumberOfSymbols follows)
    std::uint32_t CertificateEntryField = 0;    // the security data directory entry; 0: the header has none
    std::uint32_t CertificateTableOffset = 0;   // what that entry gives (a file offset)
    std::uint32_t CertificateTableSize = 0;
};

// Reads the layout from the first bytes of a file (`head`, at most
// kPeHeadLimit of them) of `fileSize` bytes. nullopt when they are no PE
// image (no "MZ", no "PE\0\0", a header or section table that does not fit
// `head`, or a section whose raw data lies past `fileSize`).
std::optional<PeImageLayout> ReadPeImageLayout(const std::uint8_t* head, std::size_t headSize,
                                               std::uint64_t fileSize);

struct PayloadLocator {
    std::uint64_t PayloadOffset = 0;
    std::uint64_t PayloadSize = 0;
    std::int32_t SetupDataOffset = 0;
    std::int32_t FileDataOffset = 0;
    std::uint32_t PayloadCrc32 = 0;

    std::uint64_t PayloadEnd() const { return PayloadOffset + PayloadSize; }
};

std::array<std::uint8_t, kLocatorSize> EncodeLocator(const PayloadLocator& locator);

enum class PayloadState {
    NotAProgram,  // the file is no PE image
    NoPayload,    // a program without a locator after its sections
    Found,        // a locator whose checks pass, and all of its payload is there
    Damaged,      // a locator that fails its own check or names impossible offsets
    CutShort,     // the file ends before the payload (or inside the locator)
};

struct PayloadSearch {
    PayloadState State = PayloadState::NotAProgram;
    PeImageLayout Image;       // when the file is a PE image
    PayloadLocator Locator;    // when Found or CutShort (then as far as the locator was read)
};

// Decodes the locator bytes found at `at` (the image end) in a file of
// `fileSize` bytes; `bytes` holds what the file has from there, at most
// kLocatorSize. Every offset is checked against the locator's place and
// the file's size.
PayloadSearch DecodeLocator(const std::uint8_t* bytes, std::size_t size, std::uint64_t at, std::uint64_t fileSize);

// Looks for the payload of the program in `file`: its PE headers, then the
// locator at its image end. Reads at most kPeHeadLimit + kLocatorSize bytes;
// I/O errors pass as EInOutError.
PayloadSearch FindProgramPayload(InStream& file);

// zlib's crc32 continued over `size` bytes (start with 0).
std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size);

// The CRC-32 of `size` bytes of `file` from `offset`, read in pieces of
// `bufferSize` bytes. A file that ends early raises EInOutError.
std::uint32_t FileRangeCrc32(InStream& file, std::uint64_t offset, std::uint64_t size,
                             std::size_t bufferSize = 1 << 20);

// Whether the payload's bytes have the CRC-32 that the locator gives.
bool PayloadIsIntact(InStream& file, const PayloadLocator& locator);

// The engine's image as a single-file program starts with it, and what was
// left out of the engine's file to make it.
struct EngineImage {
    std::vector<std::uint8_t> Bytes;  // up to the image end, with the header fields below cleared
    PeImageLayout Layout;
    bool DroppedSignature = false;    // its certificate table (and the header's entry for it)
    bool DroppedSymbols = false;      // its COFF symbol table (and the header's pointer to it)
    std::uint64_t DroppedOtherBytes = 0;  // anything else after the image end
};

// What keeps an engine from serving.
enum class EngineProblem { None, NotAProgram, AlreadyCarriesPayload };

// Makes the start of a single-file program from the engine's file: the
// image up to its end, with a signature and a symbol table that would lie
// after it dropped (the signature would no longer cover the program; the
// symbols would be taken for the payload) and the header's checksum set to
// 0 ("not computed"; signing computes it).
EngineProblem MakeEngineImage(std::vector<std::uint8_t> engineFile, EngineImage& image);

// Writes a program into `out`, which must be empty: the engine's image and
// room for the locator at once, then whatever is written to Payload() (the
// setup data stream, then the file streams), then Finish.
class ProgramWriter {
public:
    ProgramWriter(FileOutStream& out, const EngineImage& engine);
    ProgramWriter(const ProgramWriter&) = delete;
    ProgramWriter& operator=(const ProgramWriter&) = delete;

    // The payload's stream; its Position() is the position in the program.
    OutStream& Payload() { return payload_; }
    // Pads the program to kProgramAlignment and fills in the locator;
    // `fileDataOffset` is where the file data begins in the program.
    // std::overflow_error when an offset is past what /SL can name (2 GiB).
    PayloadLocator Finish(std::int64_t fileDataOffset);

private:
    // Passes everything on to the program and keeps the CRC-32 of it.
    class Crc32OutStream final : public OutStream {
    public:
        explicit Crc32OutStream(FileOutStream& out) : out_(out) {}
        void Write(const void* buffer, std::size_t count) override;
        std::uint64_t Position() const override { return out_.Position(); }
        std::uint32_t Crc() const { return crc_; }

    private:
        FileOutStream& out_;
        std::uint32_t crc_ = 0;
    };

    FileOutStream& out_;
    std::uint64_t locatorOffset_;
    Crc32OutStream payload_;
};

}  // namespace qv
