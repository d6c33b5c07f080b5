// Writing setup data, apart from reading it: Setup.exe and the uninstaller
// only read, and link neither this code nor the deflate code behind it.
#include "core/setupdata/setup_data.h"

#include <vector>

#include "core/bytes.h"
#include "core/setupdata/block.h"

namespace qv {

namespace {

template <typename Rec>
void WriteRecords(OutStream& out, const std::vector<Rec>& records, BlockWriter& blocks) {
    std::uint8_t bytes[Rec::kSize];
    for (const auto& r : records) {
        r.Encode(bytes);
        blocks.Write(out, bytes, sizeof bytes);
    }
}

std::string TextBytes(const std::string& utf8, const char* name) {
    return ToFileText(utf8, name, 0x7FFFFFFF);
}

}  // namespace

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
