#include "core/setupdata/solid_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "Bra.h"
#include "Lzma2Enc.h"
#include "core/bytes.h"
#include "core/errors.h"
#include "core/setupdata/block.h"
#include "core/setupdata/solid_blocks.h"

namespace qv {

std::vector<std::uint8_t> EncodeSolidBlockHeader(const SolidBlockHeader& header) {
    std::vector<std::uint8_t> bytes(kSolidHeaderFixedSize - 4 + kSolidMemberEntrySize * header.Members.size());
    SetUi32(bytes.data() + 4, static_cast<std::uint32_t>(header.Members.size()));
    SetUi32(bytes.data() + 8, header.CompressedSize);
    bytes[12] = header.DictionaryProperty;
    std::uint8_t* entry = bytes.data() + kSolidHeaderFixedSize - 4;
    for (const SolidMember& member : header.Members) {
        SetUi32(entry, member.Size);
        entry[4] = member.Flags;
        entry += kSolidMemberEntrySize;
    }
    SetUi32(bytes.data(), Adler32(bytes.data() + 4, bytes.size() - 4));
    return bytes;
}

bool IsX86Executable(const std::uint8_t* head, std::size_t size) {
    if (size < 0x40 || head[0] != 'M' || head[1] != 'Z') return false;
    const std::uint32_t pe = GetUi32(head + 0x3C);
    if (pe > size || size - pe < 6) return false;
    if (std::memcmp(head + pe, "PE\0\0", 4) != 0) return false;
    const std::uint16_t machine = GetUi16(head + pe + 4);
    return machine == 0x014C || machine == 0x8664;
}

namespace {

void* LzmaAlloc(ISzAllocPtr, std::size_t size) { return std::malloc(size); }
void LzmaFree(ISzAllocPtr, void* address) { std::free(address); }
const ISzAlloc kLzmaAlloc = {LzmaAlloc, LzmaFree};

constexpr std::size_t kPiece = 1 << 20;

// The members one after the other, filtered, as the encoder pulls them.
// Exceptions cannot cross the encoder's C frames: they wait here until it
// has returned.
class MemberFeed {
public:
    MemberFeed(const std::vector<SolidMemberOpener>& members, const std::function<void(std::size_t)>& onRead,
               EncodedSolidBlock& block, SolidBlockHeader& header)
        : members_(members), onRead_(onRead), block_(block), header_(header), buffer_(kPiece) {}

    // As ISeqInStream::Read: up to `size` bytes, 0 at the end of the last member.
    std::size_t Read(std::uint8_t* out, std::size_t size) {
        if (serve_ == ready_ && !Refill()) return 0;
        const std::size_t n = std::min(size, ready_ - serve_);
        std::memcpy(out, buffer_.data() + serve_, n);
        serve_ += n;
        return n;
    }

    std::exception_ptr Failure;

private:
    // Makes bytes ready to serve; false after the last member.
    bool Refill() {
        for (;;) {
            if (!in_) {
                if (next_ == members_.size()) return false;
                in_ = members_[next_++]();
                size_ = 0;
                adler_ = 1;
                position_ = 0;
                filterState_ = Z7_BRANCH_CONV_ST_X86_STATE_INIT_VAL;
                filled_ = ready_ = serve_ = 0;
                first_ = true;
            }
            // What the filter held back goes in front of the next piece.
            const std::size_t tail = filled_ - ready_;
            std::memmove(buffer_.data(), buffer_.data() + ready_, tail);
            position_ += static_cast<UInt32>(ready_);
            filled_ = tail;
            ready_ = serve_ = 0;
            const std::size_t got = in_->Read(buffer_.data() + filled_, buffer_.size() - filled_);
            size_ += got;
            if (size_ > 0x7FFFFFFF) throw Exception("a file of 2 GiB or more cannot be stored");
            adler_ = Adler32(adler_, buffer_.data() + filled_, got);
            filled_ += got;
            if (onRead_ && got) onRead_(got);
            if (first_) {
                x86_ = IsX86Executable(buffer_.data(), filled_);
                first_ = false;
            }
            if (got == 0) {
                // The member's last bytes: converted as far as they go, the rest as they are.
                if (x86_) z7_BranchConvSt_X86_Enc(buffer_.data(), filled_, position_, &filterState_);
                ready_ = filled_;
                header_.Members.push_back({static_cast<std::uint32_t>(size_), x86_ ? kSolidMemberX86 : std::uint8_t{0}});
                block_.Sizes.push_back(static_cast<std::uint32_t>(size_));
                block_.Adler32s.push_back(adler_);
                in_.reset();
                if (ready_ > 0) return true;
                continue;
            }
            ready_ = x86_ ? static_cast<std::size_t>(
                                z7_BranchConvSt_X86_Enc(buffer_.data(), filled_, position_, &filterState_) - buffer_.data())
                          : filled_;
            if (ready_ > 0) return true;
        }
    }

    const std::vector<SolidMemberOpener>& members_;
    const std::function<void(std::size_t)>& onRead_;
    EncodedSolidBlock& block_;
    SolidBlockHeader& header_;
    std::vector<std::uint8_t> buffer_;
    std::size_t next_ = 0;
    std::unique_ptr<InStream> in_;
    std::uint64_t size_ = 0;
    std::uint32_t adler_ = 1;
    UInt32 position_ = 0;
    UInt32 filterState_ = 0;
    bool x86_ = false;
    bool first_ = true;
    std::size_t filled_ = 0;
    std::size_t ready_ = 0;
    std::size_t serve_ = 0;
};

struct InBridge {
    ISeqInStream vt;
    MemberFeed* feed;
};

SRes BridgeRead(ISeqInStreamPtr p, void* buf, std::size_t* size) {
    MemberFeed& feed = *reinterpret_cast<const InBridge*>(p)->feed;
    try {
        *size = feed.Read(static_cast<std::uint8_t*>(buf), *size);
        return SZ_OK;
    } catch (...) {
        feed.Failure = std::current_exception();
        *size = 0;
        return SZ_ERROR_READ;
    }
}

struct OutBridge {
    ISeqOutStream vt;
    std::vector<std::uint8_t>* bytes;
    bool tooLarge;
};

std::size_t BridgeWrite(ISeqOutStreamPtr p, const void* buf, std::size_t size) {
    auto& bridge = *const_cast<OutBridge*>(reinterpret_cast<const OutBridge*>(p));
    if (bridge.bytes->size() + size > kMaxSolidStreamSize) {
        bridge.tooLarge = true;
        return 0;
    }
    try {
        const auto* b = static_cast<const std::uint8_t*>(buf);
        bridge.bytes->insert(bridge.bytes->end(), b, b + size);
        return size;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

struct EncoderHandle {
    CLzma2EncHandle handle;
    ~EncoderHandle() {
        if (handle) Lzma2Enc_Destroy(handle);
    }
};

}  // namespace

EncodedSolidBlock EncodeSolidBlock(const std::vector<SolidMemberOpener>& members, int level,
                                   std::uint64_t expectedSize, const std::function<void(std::size_t)>& onRead) {
    EncodedSolidBlock block;
    SolidBlockHeader header;
    // The dictionary need not exceed the data: the reader then needs no
    // more memory than the block holds.
    const std::uint64_t most = SolidDictionarySize(kMaxSolidDictionaryProperty);
    std::uint32_t dictionary = 1u << 16;
    while (dictionary < expectedSize && dictionary < most) dictionary <<= 1;

    EncoderHandle encoder{Lzma2Enc_Create(&kLzmaAlloc, &kLzmaAlloc)};
    if (!encoder.handle) throw std::bad_alloc();
    CLzma2EncProps props;
    Lzma2EncProps_Init(&props);
    props.lzmaProps.level = std::clamp(level, 0, 9);
    props.lzmaProps.dictSize = dictionary;
    props.lzmaProps.reduceSize = expectedSize;
    props.lzmaProps.numThreads = 1;
    props.blockSize = LZMA2_ENC_PROPS_BLOCK_SIZE_SOLID;
    props.numTotalThreads = 1;
    if (Lzma2Enc_SetProps(encoder.handle, &props) != SZ_OK) throw Exception("LZMA2: the encoder refuses its settings");
    header.DictionaryProperty = Lzma2Enc_WriteProperties(encoder.handle);
    if (header.DictionaryProperty > kMaxSolidDictionaryProperty)
        throw Exception("LZMA2: the dictionary is larger than a reader allows");

    MemberFeed feed(members, onRead, block, header);
    InBridge in{{BridgeRead}, &feed};
    std::vector<std::uint8_t> stream;
    OutBridge out{{BridgeWrite}, &stream, false};
    const SRes result = Lzma2Enc_Encode2(encoder.handle, &out.vt, nullptr, nullptr, &in.vt, nullptr, 0, nullptr);
    if (feed.Failure) std::rethrow_exception(feed.Failure);
    if (out.tooLarge) throw Exception("a solid block of 2 GiB or more cannot be stored");
    if (result == SZ_ERROR_MEM || result == SZ_ERROR_WRITE) throw std::bad_alloc();
    if (result != SZ_OK) throw Exception("LZMA2: the encoder failed (" + std::to_string(result) + ")");
    if (header.Members.size() != members.size() || header.Members.size() > kMaxSolidMembers || stream.empty())
        throw Exception("LZMA2: the encoder stopped before the last member");

    header.CompressedSize = static_cast<std::uint32_t>(stream.size());
    block.StreamSize = header.CompressedSize;
    block.Bytes = EncodeSolidBlockHeader(header);
    block.Bytes.insert(block.Bytes.end(), stream.begin(), stream.end());
    return block;
}

}  // namespace qv
