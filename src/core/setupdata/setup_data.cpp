#include "core/setupdata/setup_data.h"

#include <algorithm>

#include "core/bytes.h"
#include "core/setupdata/block.h"
#include "core/text/cp936.h"

namespace qv {

std::int64_t SumOfOriginalSizes(const std::vector<TFileRec>& files) {
    std::int64_t total = 0;
    for (const auto& f : files) total += f.OriginalSize;
    return total;
}

void ReadSetupSignature(InStream& stream) {
    Signature signature;
    stream.ReadExact(signature.data(), signature.size());
    if (signature != kSetupDataSignature) throw ESetupSignatureError();
}

TSetupHeaderRec ReadSetupHeader(InStream& stream) {
    std::uint8_t bytes[TSetupHeaderRec::kSize];
    ReadBlock(stream, bytes, sizeof bytes);
    TSetupHeaderRec header = TSetupHeaderRec::Decode(bytes);
    if (header.LicenseTextSize < 0 || header.InfoBeforeTextSize < 0 || header.InfoAfterTextSize < 0)
        throw EZlibDataError();
    return header;
}

namespace {

std::string ReadText(InStream& stream, std::int32_t size, const char* kind, const SetupItemObserver& onItem,
                     InflateState& state) {
    if (size <= 0) return {};
    if (onItem) onItem(kind, 0);
    // The size comes from the setup header; room for it is made only once
    // the text's own block has confirmed it.
    const BlockHeader header = ReadBlockHeader(stream, static_cast<std::size_t>(size));
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ReadBlockData(stream, header, bytes.data(), &state);
    return cp936::ToUtf8(bytes);
}

template <typename Rec>
void ReadRecords(InStream& stream, std::int32_t count, std::vector<Rec>& out, const char* kind,
                 const SetupItemObserver& onItem, InflateState& state) {
    out.clear();
    // A damaged count ends at the end of the data, not in a huge allocation.
    out.reserve(static_cast<std::size_t>(std::clamp<std::int32_t>(count, 0, 4096)));
    std::uint8_t bytes[Rec::kSize];
    for (std::int32_t i = 0; i < count; ++i) {
        if (onItem) onItem(kind, i);
        ReadBlock(stream, bytes, sizeof bytes, &state);
        out.push_back(Rec::Decode(bytes));
    }
}

// The member table of solid blocks: the file count, then each file's member.
void ReadFileMembers(InStream& stream, SetupData& data, const SetupItemObserver& onItem, InflateState& state) {
    data.FileMembers.clear();
    if (!data.SetupInfo.Has(optSolidBlocks)) return;
    if (onItem) onItem("FileMembers", 0);
    // The records are read, so their count is real: the table's size
    // cannot ask for more room than they took.
    const std::size_t count = data.FileRecords.size();
    const std::size_t size = 4 + 4 * count;
    const BlockHeader header = ReadBlockHeader(stream, size);
    std::vector<std::uint8_t> bytes(size);
    ReadBlockData(stream, header, bytes.data(), &state);
    if (GetUi32(bytes.data()) != count) throw EZlibDataError();
    data.FileMembers.resize(count);
    for (std::size_t i = 0; i < count; ++i) data.FileMembers[i] = GetUi32(bytes.data() + 4 + 4 * i);
}

}  // namespace

void ReadSetupEntries(InStream& stream, SetupData& data, const SetupItemObserver& onItem) {
    const TSetupHeaderRec& h = data.SetupInfo;
    InflateState state;  // one for every block
    data.LicenseText = ReadText(stream, h.LicenseTextSize, "LicenseText", onItem, state);
    data.InfoBeforeText = ReadText(stream, h.InfoBeforeTextSize, "InfoBeforeText", onItem, state);
    data.InfoAfterText = ReadText(stream, h.InfoAfterTextSize, "InfoAfterText", onItem, state);
    ReadRecords(stream, h.DirCount, data.DirRecords, "TDirRec", onItem, state);
    ReadRecords(stream, h.FileCount, data.FileRecords, "TFileRec", onItem, state);
    ReadRecords(stream, h.FileCount, data.FileLocationRecords, "TFileLocationRec", onItem, state);
    ReadRecords(stream, h.IconCount, data.IconRecords, "TIconRec", onItem, state);
    ReadRecords(stream, h.IniCount, data.IniRecords, "TIniRec", onItem, state);
    ReadRecords(stream, h.RegistryCount, data.RegistryRecords, "TRegistryRec", onItem, state);
    ReadRecords(stream, h.UninstallDeleteCount, data.UninstallDeleteRecords, "TUninstallDeleteRec", onItem, state);
    ReadRecords(stream, h.RunCount, data.RunRecords, "TRunRec", onItem, state);
    ReadFileMembers(stream, data, onItem, state);
}

SetupData LoadSetupData(InStream& stream, std::uint64_t offset) {
    stream.Seek(offset);
    ReadSetupSignature(stream);
    SetupData data;
    data.SetupInfo = ReadSetupHeader(stream);
    ReadSetupEntries(stream, data);
    return data;
}

}  // namespace qv
