#include "core/setupdata/setup_data.h"

#include <algorithm>
#include <cstring>

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

template <typename Rec>
void WriteRecords(OutStream& out, const std::vector<Rec>& records, BlockWriter& blocks) {
    std::uint8_t bytes[Rec::kSize];
    for (const auto& r : records) {
        r.Encode(bytes);
        blocks.Write(out, bytes, sizeof bytes);
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

std::string TextBytes(const std::string& utf8, const char* name) {
    return ToFileText(utf8, name, 0x7FFFFFFF);
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

void WriteSetupData(OutStream& out, const SetupData& data, int level) {
    if (data.FileLocationRecords.size() != data.FileRecords.size())
        throw Exception("every file record needs exactly one location record");
    const bool solid = data.SetupInfo.Has(optSolidBlocks);
    if (solid && data.FileMembers.size() != data.FileRecords.size())
        throw Exception("every file record in solid blocks needs exactly one member index");
    const std::string license = TextBytes(data.LicenseText, "LicenseText");
    const std::string infoBefore = TextBytes(data.InfoBeforeText, "InfoBeforeText");
    const std::string infoAfter = TextBytes(data.InfoAfterText, "InfoAfterText");

    TSetupHeaderRec h = data.SetupInfo;
    const auto count = [](const auto& list) { return static_cast<std::int32_t>(list.size()); };
    h.DirCount = count(data.DirRecords);
    h.FileCount = count(data.FileRecords);
    h.IconCount = count(data.IconRecords);
    h.IniCount = count(data.IniRecords);
    h.RegistryCount = count(data.RegistryRecords);
    h.UninstallDeleteCount = count(data.UninstallDeleteRecords);
    h.RunCount = count(data.RunRecords);
    h.LicenseTextSize = count(license);
    h.InfoBeforeTextSize = count(infoBefore);
    h.InfoAfterTextSize = count(infoAfter);

    out.Write(kSetupDataSignature.data(), kSetupDataSignature.size());
    std::uint8_t header[TSetupHeaderRec::kSize];
    h.Encode(header);
    BlockWriter blocks(level);
    blocks.Write(out, header, sizeof header);
    for (const std::string* text : {&license, &infoBefore, &infoAfter})
        if (!text->empty()) blocks.Write(out, text->data(), text->size());
    WriteRecords(out, data.DirRecords, blocks);
    WriteRecords(out, data.FileRecords, blocks);
    WriteRecords(out, data.FileLocationRecords, blocks);
    WriteRecords(out, data.IconRecords, blocks);
    WriteRecords(out, data.IniRecords, blocks);
    WriteRecords(out, data.RegistryRecords, blocks);
    WriteRecords(out, data.UninstallDeleteRecords, blocks);
    WriteRecords(out, data.RunRecords, blocks);
    if (solid) {
        std::vector<std::uint8_t> table(4 + 4 * data.FileMembers.size());
        SetUi32(table.data(), static_cast<std::uint32_t>(data.FileMembers.size()));
        for (std::size_t i = 0; i < data.FileMembers.size(); ++i) SetUi32(table.data() + 4 + 4 * i, data.FileMembers[i]);
        blocks.Write(out, table.data(), table.size());
    }
}

}  // namespace qv
