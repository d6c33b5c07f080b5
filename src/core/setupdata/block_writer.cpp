// The writing half of blocks, apart from the reading half so that the
// programs that only read setup data link no deflate code.
#include "core/setupdata/block.h"

#include <zlib.h>

#include <memory>
#include <vector>

#include "core/bytes.h"

namespace qv {

struct BlockWriter::State {
    z_stream Stream{};
    bool Ready = false;
    ~State() {
        if (Ready) deflateEnd(&Stream);
    }
};

BlockWriter::BlockWriter(int level) : level_(level), state_(std::make_unique<State>()) {}

BlockWriter::~BlockWriter() = default;

void BlockWriter::Write(OutStream& file, const void* data, std::size_t size) {
    // Set up once, as compress2 would, and reset for every later block.
    z_stream& z = state_->Stream;
    if (!state_->Ready) {
        CheckZlib(deflateInit(&z, level_));
        state_->Ready = true;
    } else {
        CheckZlib(deflateReset(&z));
    }
    std::vector<std::uint8_t> compressed(deflateBound(&z, static_cast<uLong>(size)));
    z.next_in = const_cast<Bytef*>(static_cast<const Bytef*>(data));
    z.avail_in = static_cast<uInt>(size);
    z.next_out = compressed.data();
    z.avail_out = static_cast<uInt>(compressed.size());
    const int result = deflate(&z, Z_FINISH);
    // The bound leaves room for all of it: anything else is a fault of zlib.
    if (result != Z_STREAM_END) CheckZlib(result == Z_OK ? Z_BUF_ERROR : result);
    const std::size_t compressedSize = compressed.size() - z.avail_out;
    const bool stored = compressedSize >= size;

    std::uint8_t header[kBlockHeaderSize];
    SetI32(header + 4, stored ? kStoredBlock : static_cast<std::int32_t>(compressedSize));
    SetI32(header + 8, static_cast<std::int32_t>(size));
    SetUi32(header + 12, Adler32(data, size));
    SetUi32(header, Adler32(header + 4, 12));
    file.Write(header, sizeof header);
    if (stored) file.Write(data, size);
    else file.Write(compressed.data(), compressedSize);
}

void WriteBlock(OutStream& file, const void* data, std::size_t size, int level) {
    BlockWriter(level).Write(file, data, size);
}

}  // namespace qv
