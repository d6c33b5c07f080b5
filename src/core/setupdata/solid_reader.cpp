#include "core/setupdata/solid_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "Bra.h"
#include "Lzma2Dec.h"
#include "core/bytes.h"
#include "core/setupdata/block.h"
#include "core/setupdata/solid_blocks.h"

namespace qv {

namespace {

void* LzmaAlloc(ISzAllocPtr, std::size_t size) { return std::malloc(size); }
void LzmaFree(ISzAllocPtr, void* address) { std::free(address); }
const ISzAlloc kLzmaAlloc = {LzmaAlloc, LzmaFree};

constexpr std::size_t kBufferSize = 1 << 16;
// The x86 filter holds back up to 4 bytes of an instruction cut by the
// end of a piece; they go in front of the next one.
constexpr std::size_t kFilterCarry = 8;
// The fixed header after the marker: checksum, count, size, property, 3 zero bytes.
constexpr std::size_t kFixedAfterMarker = kSolidHeaderFixedSize - 4;

bool SameBlock(const TFileLocationRec& a, const TFileLocationRec& b) {
    return a.FirstDisk == b.FirstDisk && a.LastDisk == b.LastDisk && a.StartOffset == b.StartOffset;
}

}  // namespace

struct SolidBlockReader::State {
    State() { Lzma2Dec_CONSTRUCT(&Decoder); }
    ~State() { Lzma2Dec_Free(&Decoder, &kLzmaAlloc); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    void Open(DataFileOpener& opener, const TFileLocationRec& location, std::int32_t slFileDataOffset);
    void ReadHeaderBytes(std::uint8_t* buffer, std::size_t size);
    [[noreturn]] void RaiseBadHeader() const;
    [[noreturn]] void RaiseCorrupt() const { RaiseSourceFailure(SourceFailureAt(Context, SourceFailureKind::CorruptData)); }
    // Decodes between 1 and `room` bytes into `out`; the stream may not end before.
    std::size_t Decode(std::uint8_t* out, std::size_t room);
    // After the last member: the end mark, at the stream's last byte.
    void CheckEnd();
    // Decodes member `index` and hands it to `sink` in pieces.
    template <typename Sink>
    void DecodeMember(std::uint32_t index, Sink sink);

    CLzma2Dec Decoder;
    bool IsOpen = false;
    TFileLocationRec Location;
    std::int32_t SlFileDataOffset = 0;
    std::int64_t HeaderOffset = 0;  // of the marker, for the failures of the header
    TExtractContext Context;
    SolidBlockHeader Header;
    std::uint32_t NextMember = 0;
    std::vector<std::uint8_t> Input = std::vector<std::uint8_t>(kBufferSize);
    std::size_t InPos = 0;
    std::size_t InSize = 0;
    std::vector<std::uint8_t> Output = std::vector<std::uint8_t>(kBufferSize + kFilterCarry);
};

void SolidBlockReader::State::ReadHeaderBytes(std::uint8_t* buffer, std::size_t size) {
    Context.BytesLeft = static_cast<std::int32_t>(size);
    for (std::size_t got = 0; got < size;) got += ExtractReadProc(buffer + got, size - got, Context);
}

void SolidBlockReader::State::RaiseBadHeader() const {
    SourceFailure failure = SourceFailureAt(Context, SourceFailureKind::BadSolidHeader);
    failure.Disk = Location.FirstDisk;
    failure.InSlFile = SlFileDataOffset != 0;
    failure.Offset = HeaderOffset;
    RaiseSourceFailure(failure);
}

void SolidBlockReader::State::Open(DataFileOpener& opener, const TFileLocationRec& location,
                                   std::int32_t slFileDataOffset) {
    IsOpen = false;
    Context = TExtractContext{};
    Location = location;
    SlFileDataOffset = slFileDataOffset;
    OpenDataAt(Context, opener, location, slFileDataOffset, kSolidMarker, SourceFailureKind::MissingSolidMarker);
    HeaderOffset = static_cast<std::int64_t>(Context.SourceOffset) - static_cast<std::int64_t>(kSolidMarker.size());

    // Checksum, count, compressed size and property first: the count says
    // how much more there is, and is bounded before it is trusted that far.
    std::vector<std::uint8_t> checked(kFixedAfterMarker);
    ReadHeaderBytes(checked.data(), checked.size());
    const std::uint32_t check = GetUi32(checked.data());
    const std::uint32_t count = GetUi32(checked.data() + 4);
    if (count == 0 || count > kMaxSolidMembers) RaiseBadHeader();
    checked.resize(kFixedAfterMarker + kSolidMemberEntrySize * count);
    ReadHeaderBytes(checked.data() + kFixedAfterMarker, kSolidMemberEntrySize * count);
    if (Adler32(checked.data() + 4, checked.size() - 4) != check) RaiseBadHeader();

    // Checked, but not necessarily written by a sound writer: every value
    // is held to what the reader can serve.
    Header.CompressedSize = GetUi32(checked.data() + 8);
    Header.DictionaryProperty = checked[12];
    if (Header.CompressedSize == 0 || Header.CompressedSize > kMaxSolidStreamSize ||
        Header.DictionaryProperty > kMaxSolidDictionaryProperty || checked[13] != 0 || checked[14] != 0 ||
        checked[15] != 0)
        RaiseBadHeader();
    Header.Members.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = checked.data() + kFixedAfterMarker + kSolidMemberEntrySize * i;
        Header.Members[i].Size = GetUi32(entry);
        Header.Members[i].Flags = entry[4];
        if (Header.Members[i].Size > 0x7FFFFFFFu || (Header.Members[i].Flags & ~kSolidMemberX86) != 0)
            RaiseBadHeader();
    }

    const SRes allocated = Lzma2Dec_Allocate(&Decoder, Header.DictionaryProperty, &kLzmaAlloc);
    if (allocated == SZ_ERROR_MEM) throw std::bad_alloc();
    if (allocated != SZ_OK) RaiseBadHeader();
    Lzma2Dec_Init(&Decoder);
    Context.BytesLeft = static_cast<std::int32_t>(Header.CompressedSize);
    InPos = InSize = 0;
    NextMember = 0;
    IsOpen = true;
}

std::size_t SolidBlockReader::State::Decode(std::uint8_t* out, std::size_t room) {
    for (;;) {
        if (InPos == InSize) {
            InPos = 0;
            InSize = Context.BytesLeft > 0 ? ExtractReadProc(Input.data(), Input.size(), Context) : 0;
        }
        SizeT produced = room;
        SizeT used = InSize - InPos;
        ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
        const SRes result =
            Lzma2Dec_DecodeToBuf(&Decoder, out, &produced, Input.data() + InPos, &used, LZMA_FINISH_ANY, &status);
        InPos += used;
        if (result != SZ_OK) RaiseCorrupt();
        if (produced > 0) return produced;
        // Ended before its members did, or cut short, or stuck.
        if (status == LZMA_STATUS_FINISHED_WITH_MARK || used == 0) RaiseCorrupt();
    }
}

void SolidBlockReader::State::CheckEnd() {
    for (;;) {
        if (InPos == InSize) {
            InPos = 0;
            InSize = Context.BytesLeft > 0 ? ExtractReadProc(Input.data(), Input.size(), Context) : 0;
        }
        std::uint8_t extra = 0;
        SizeT produced = 1;
        SizeT used = InSize - InPos;
        ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
        const SRes result =
            Lzma2Dec_DecodeToBuf(&Decoder, &extra, &produced, Input.data() + InPos, &used, LZMA_FINISH_ANY, &status);
        InPos += used;
        // More data than the members hold is damage as much as less.
        if (result != SZ_OK || produced != 0) RaiseCorrupt();
        if (status == LZMA_STATUS_FINISHED_WITH_MARK) {
            if (InPos != InSize || Context.BytesLeft != 0) RaiseCorrupt();
            return;
        }
        if (used == 0) RaiseCorrupt();
    }
}

template <typename Sink>
void SolidBlockReader::State::DecodeMember(std::uint32_t index, Sink sink) {
    const SolidMember member = Header.Members[index];
    const bool x86 = (member.Flags & kSolidMemberX86) != 0;
    std::uint64_t left = member.Size;
    std::size_t held = 0;
    UInt32 position = 0;
    UInt32 filterState = Z7_BRANCH_CONV_ST_X86_STATE_INIT_VAL;
    while (left > 0 || held > 0) {
        std::size_t got = 0;
        if (left > 0) got = Decode(Output.data() + held, static_cast<std::size_t>(std::min<std::uint64_t>(left, kBufferSize)));
        left -= got;
        const std::size_t total = held + got;
        std::size_t ready = total;
        if (x86) {
            const Byte* end = z7_BranchConvSt_X86_Dec(Output.data(), total, position, &filterState);
            // The member's last bytes pass as the writer left them.
            if (left > 0) ready = static_cast<std::size_t>(end - Output.data());
        }
        sink(Output.data(), ready);
        position += static_cast<UInt32>(ready);
        held = total - ready;
        std::memmove(Output.data(), Output.data() + ready, held);
    }
}

SolidBlockReader::SolidBlockReader() : state_(std::make_unique<State>()) {}
SolidBlockReader::~SolidBlockReader() = default;

bool SolidBlockReader::ContinuesAt(const TFileLocationRec& location, std::int32_t slFileDataOffset,
                                   std::uint32_t member) const {
    return state_->IsOpen && SameBlock(state_->Location, location) && state_->SlFileDataOffset == slFileDataOffset &&
           member >= state_->NextMember;
}

void SolidBlockReader::Close() {
    state_->IsOpen = false;
    state_->Context = TExtractContext{};
}

void SolidBlockReader::Extract(DataFileOpener& opener, const TFileRec& file, const TFileLocationRec& location,
                               std::uint32_t member, std::int32_t slFileDataOffset, OutStream& dest,
                               const ExtractProgress& onRead) {
    State& s = *state_;
    try {
        // The record's own checks, as a stream's.
        SourceFailure failure;
        failure.Disk = location.FirstDisk;
        failure.InSlFile = slFileDataOffset != 0;
        if (file.CompressedSize < 0 || file.OriginalSize < 0) {
            failure.Kind = SourceFailureKind::NegativeSize;
            failure.Expected = file.OriginalSize;
            failure.Actual = file.CompressedSize;
            RaiseSourceFailure(failure);
        }
        if (location.LastDisk < location.FirstDisk || (!failure.InSlFile && location.FirstDisk < 1)) {
            failure.Kind = SourceFailureKind::BadDiskRange;
            failure.Actual = location.LastDisk;
            RaiseSourceFailure(failure);
        }

        if (!ContinuesAt(location, slFileDataOffset, member)) s.Open(opener, location, slFileDataOffset);
        // Later data files come through this call's opener.
        s.Context.Opener = &opener;
        const std::uint32_t count = static_cast<std::uint32_t>(s.Header.Members.size());
        if (member >= count)
            RaiseSourceFailure(SourceFailureAt(s.Context, SourceFailureKind::MemberOutsideBlock, member, count));
        const std::uint32_t size = s.Header.Members[member].Size;
        if (size != static_cast<std::uint32_t>(file.OriginalSize))
            RaiseSourceFailure(SourceFailureAt(s.Context,
                                         size > static_cast<std::uint32_t>(file.OriginalSize)
                                             ? SourceFailureKind::MoreDataThanExpected
                                             : SourceFailureKind::LessDataThanExpected,
                                         file.OriginalSize, size));

        for (; s.NextMember < member; ++s.NextMember)
            s.DecodeMember(s.NextMember, [&](const std::uint8_t*, std::size_t) {
                if (onRead) onRead(0);
            });

        std::uint32_t adler = 1;
        std::uint64_t written = 0;
        std::uint64_t reported = 0;
        s.DecodeMember(member, [&](const std::uint8_t* bytes, std::size_t n) {
            dest.Write(bytes, n);
            adler = Adler32(adler, bytes, n);
            written += n;
            if (!onRead) return;
            const std::uint64_t share = written * static_cast<std::uint64_t>(file.CompressedSize) / size;
            const std::uint64_t step = share - reported;
            reported = share;
            onRead(static_cast<std::size_t>(step));
        });
        ++s.NextMember;
        if (adler != file.Adler32)
            RaiseSourceFailure(SourceFailureAt(s.Context, SourceFailureKind::ChecksumMismatch, file.Adler32, adler));
        if (s.NextMember == count) {
            s.CheckEnd();
            Close();
        }
        // An empty file still counts its share.
        if (onRead && size == 0 && file.CompressedSize > 0) onRead(static_cast<std::size_t>(file.CompressedSize));
    } catch (...) {
        Close();
        throw;
    }
}

}  // namespace qv
