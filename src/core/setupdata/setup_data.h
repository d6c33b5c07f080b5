// Reading and writing the setup data stream: the signature, the header
// block, the three texts and the entry records, in this order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/io/streams.h"
#include "core/setupdata/records.h"

namespace qv {

// The names are those the engine's setup state uses for the same items: the
// engine loads straight into its state, which extends this structure.
struct SetupData {
    TSetupHeaderRec SetupInfo;
    // UTF-8; empty when the header's size is 0.
    std::string LicenseText;
    std::string InfoBeforeText;
    std::string InfoAfterText;
    std::vector<TDirRec> DirRecords;
    std::vector<TFileRec> FileRecords;
    std::vector<TFileLocationRec> FileLocationRecords;  // item i belongs to FileRecords[i]
    std::vector<TIconRec> IconRecords;
    std::vector<TIniRec> IniRecords;
    std::vector<TRegistryRec> RegistryRecords;
    std::vector<TUninstallDeleteRec> UninstallDeleteRecords;
    std::vector<TRunRec> RunRecords;
    // With optSolidBlocks: for each file record, the member of its block
    // that holds its contents (solid_blocks.h).
    std::vector<std::uint32_t> FileMembers;
};

// Sum of the files' OriginalSize, in 64 bits so that sizes past 2 GiB add up.
std::int64_t SumOfOriginalSizes(const std::vector<TFileRec>& files);

// Reads the 8-byte signature at the stream's position; ESetupSignatureError
// when it differs.
void ReadSetupSignature(InStream& stream);
// Reads the header block. Negative text sizes are damaged data (EZlibDataError).
TSetupHeaderRec ReadSetupHeader(InStream& stream);
// Told of each item just before it is read: the name of its kind (a text
// such as "LicenseText" or a record type such as "TFileRec") and its index
// within that kind. Lets a caller name the item that turned out damaged.
using SetupItemObserver = std::function<void(const char* kind, std::int32_t index)>;

// Reads the texts and records that `data.SetupInfo` announces.
void ReadSetupEntries(InStream& stream, SetupData& data, const SetupItemObserver& onItem = {});
// All of the above from `offset`. Raises ESetupSignatureError, EZlibDataError
// (damaged block or value) or EInOutError.
SetupData LoadSetupData(InStream& stream, std::uint64_t offset = 0);

// Writes the whole stream. The header's counts and text sizes are taken
// from the lists and texts, not from `data.SetupInfo`. Raises EFieldTooLong.
void WriteSetupData(OutStream& out, const SetupData& data, int level);

}  // namespace qv
