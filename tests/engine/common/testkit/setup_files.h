// Setup data for engine tests, written by the core's writer: the same
// bytes that the author's tool produces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/setupdata/data_files.h"
#include "core/setupdata/program_payload.h"
#include "core/setupdata/setup_data.h"

namespace qv::test {

// A small valid setup: two files, one icon, a licence text, minimum
// versions 4.0 for both platforms.
SetupData SampleSetupData();

std::vector<std::uint8_t> SetupDataBytes(const SetupData& data);
void WriteSetupDataFile(const std::string& path, const SetupData& data);

// Bytes of a fixed pattern that compresses poorly, the same for the same seed.
std::vector<std::uint8_t> PatternedContent(std::size_t size, std::uint32_t seed);

struct PayloadFile {
    std::string DestPath;  // as in TFileRec.DestPath, "{app}\\..."
    std::vector<std::uint8_t> Content;
};

// Where solid blocks put one content (solid_blocks.h).
struct SolidPlacement {
    TFileLocationRec Location;
    std::uint32_t Member = 0;
    std::int32_t OriginalSize = 0;
    std::int32_t CompressedSize = 0;  // the content's share of its block
    std::uint32_t Adler32 = 1;
};
// Writes the contents as solid blocks of at most `blockBytes` bytes each
// (a larger content is a block of its own), as qvsetup build does;
// identical contents share one member.
std::vector<SolidPlacement> WriteSolidBlocks(FileDataWriter& writer,
                                             const std::vector<const std::vector<std::uint8_t>*>& contents,
                                             std::uint64_t blockBytes = 32u << 20);

// Compresses the files into data files SETUP.1, ... of at most `diskSize`
// bytes in `folder` and adds their TFileRec and TFileLocationRec to
// `data`. Returns the number of data files.
int AddPayloadFiles(SetupData& data, const std::string& folder, const std::vector<PayloadFile>& files,
                    std::uint64_t diskSize = 1u << 30);

// The file data of a single-file layout (the /SL form, a program): the
// files' streams one after the other, their TFileRec and TFileLocationRec
// (offsets from the start of the file data) added to `data`.
// With `solid`, the files go into solid blocks and `data` says so.
std::vector<std::uint8_t> SingleFileStreams(SetupData& data, const std::vector<PayloadFile>& files, bool solid = false);

// The program that `qvsetup build --exe` writes: the engine at
// `enginePath`, then `data` and `streams` behind it, as the core lays them
// out. Returns the locator.
PayloadLocator WriteProgramFile(const std::string& path, const std::string& enginePath, const SetupData& data,
                                const std::vector<std::uint8_t>& streams);

// The offsets of the blocks in setup data bytes (the signature's 8 bytes
// skipped): [0] is the header block, then the texts and records in order.
std::vector<std::size_t> BlockOffsets(const std::vector<std::uint8_t>& bytes);
// Inverts one byte of the data of the block at `offset`.
void DamageBlock(std::vector<std::uint8_t>& bytes, std::size_t offset);

}  // namespace qv::test
