// Reads files out of solid blocks (solid_blocks.h), decoding forward.
//
// One reader serves a whole run: it keeps the block it decoded last open
// with its decoder, so that files taken in record order decode each block
// once from its start to its end. A file whose member lies behind the
// decoder (identical contents met again, a retry) has its block decoded
// again from the start; members before the one asked for are decoded and
// dropped. Memory: the block's dictionary (at most 32 MiB, kMaxSolidDictionaryProperty)
// and the decoder's probabilities (about 30 KiB), two buffers of 64 KiB
// and the member table; nothing grows with a block's size.
#pragma once

#include <cstdint>
#include <memory>

#include "core/setupdata/data_files.h"

namespace qv {

class SolidBlockReader {
public:
    SolidBlockReader();
    ~SolidBlockReader();
    SolidBlockReader(const SolidBlockReader&) = delete;
    SolidBlockReader& operator=(const SolidBlockReader&) = delete;

    // Decompresses member `member` of the block at `location` into `dest`,
    // with the checks of ExtractFileStream: the member's size against the
    // record's (before anything is written), then the Adler-32 of what was
    // written. When the member is its block's last, the block's end is
    // checked too. `onRead` hears the file's share of the compressed bytes
    // as it is written (file.CompressedSize in all), and 0 while members
    // before it are skipped, so that a caller can look for a cancel. Damage
    // raises ESourceStreamDamaged, a failed read ESourceReadError; the
    // opener's, `onRead`'s and `dest`'s exceptions pass unchanged. After
    // any exception the block is closed: the next file starts it afresh.
    void Extract(DataFileOpener& opener, const TFileRec& file, const TFileLocationRec& location,
                 std::uint32_t member, std::int32_t slFileDataOffset, OutStream& dest,
                 const ExtractProgress& onRead = {});

    // Whether Extract of `member` of the block at `location` goes on from
    // where the decoder stands, opening no source (the block's first data
    // file may be gone by then: the disk after it is in the drive).
    bool ContinuesAt(const TFileLocationRec& location, std::int32_t slFileDataOffset, std::uint32_t member) const;

    // Lets go of the open block and its data file (the dictionary stays
    // allocated for the next block).
    void Close();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace qv
