#include "testkit/setup_files.h"

#include <stdexcept>

#include "core/bytes.h"
#include "core/io/streams.h"
#include "core/setupdata/block.h"
#include "core/setupdata/data_files.h"
#include "core/setupdata/program_payload.h"
#include "core/setupdata/solid_writer.h"
#include "testkit/scratch.h"

namespace qv::test {

SetupData SampleSetupData() {
    SetupData d;
    d.SetupInfo.AppName = "示例程序";
    d.SetupInfo.AppNameVersion = "示例程序 1.0";
    d.SetupInfo.DefaultFolderName = "{pf}\\示例";
    d.SetupInfo.DefaultGroup = "示例";
    d.SetupInfo.MinWinVersionMajor = 4;
    d.SetupInfo.MinNTVersionMajor = 4;
    d.SetupInfo.Options = optUninstallable;
    d.LicenseText = "许可协议\r\n第二行";
    for (int i = 0; i < 2; ++i) {
        TFileRec f;
        f.DestPath = "{app}\\file" + std::to_string(i) + ".txt";
        f.OriginalSize = 1000 + i;
        d.FileRecords.push_back(f);
        d.FileLocationRecords.push_back({1, 1, 12});
    }
    d.IconRecords = {{"{group}\\示例", "{app}\\file0.txt", "", "{app}", "", 0}};
    return d;
}

std::vector<std::uint8_t> SetupDataBytes(const SetupData& data) {
    MemoryOutStream out;
    WriteSetupData(out, data, 9);
    return out.Bytes();
}

void WriteSetupDataFile(const std::string& path, const SetupData& data) { WriteFileBytes(path, SetupDataBytes(data)); }

std::vector<std::uint8_t> PatternedContent(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    return bytes;
}

namespace {

// Stores each file's stream and adds its TFileRec and TFileLocationRec.
void StoreFiles(FileDataWriter& writer, SetupData& data, const std::vector<PayloadFile>& files) {
    for (const PayloadFile& file : files) {
        MemoryInStream in(file.Content);
        const StoredStream stored = writer.AddStream(in);
        TFileRec f;
        f.DestPath = file.DestPath;
        f.OriginalSize = stored.OriginalSize;
        f.CompressedSize = stored.CompressedSize;
        f.Adler32 = stored.Adler32;
        data.FileRecords.push_back(f);
        data.FileLocationRecords.push_back(stored.Location);
    }
}

}  // namespace

std::vector<SolidPlacement> WriteSolidBlocks(FileDataWriter& writer,
                                             const std::vector<const std::vector<std::uint8_t>*>& contents,
                                             std::uint64_t blockBytes) {
    std::vector<SolidPlacement> placed(contents.size());
    std::vector<std::size_t> firstOf(contents.size());
    std::vector<std::vector<std::size_t>> blocks;
    std::uint64_t inBlock = 0;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        firstOf[i] = i;
        for (std::size_t k = 0; k < i; ++k)
            if (*contents[k] == *contents[i]) {
                firstOf[i] = firstOf[k];
                break;
            }
        if (firstOf[i] != i) continue;
        if (blocks.empty() || (!blocks.back().empty() && inBlock + contents[i]->size() > blockBytes)) {
            blocks.emplace_back();
            inBlock = 0;
        }
        blocks.back().push_back(i);
        inBlock += contents[i]->size();
    }
    for (const auto& block : blocks) {
        std::vector<SolidMemberOpener> members;
        std::uint64_t total = 0;
        for (const std::size_t i : block) {
            members.push_back([&contents, i] { return std::make_unique<MemoryInStream>(*contents[i]); });
            total += contents[i]->size();
        }
        const EncodedSolidBlock encoded = EncodeSolidBlock(members, 6, total);
        const StoredStream stored = writer.AddSolidBlock(encoded.Bytes.data(), encoded.Bytes.size());
        for (std::size_t m = 0; m < block.size(); ++m) {
            SolidPlacement& p = placed[block[m]];
            p.Location = stored.Location;
            p.Member = static_cast<std::uint32_t>(m);
            p.OriginalSize = static_cast<std::int32_t>(encoded.Sizes[m]);
            p.CompressedSize = total ? static_cast<std::int32_t>(std::uint64_t{encoded.Sizes[m]} *
                                                                 static_cast<std::uint64_t>(stored.CompressedSize) / total)
                                     : 0;
            p.Adler32 = encoded.Adler32s[m];
        }
    }
    for (std::size_t i = 0; i < contents.size(); ++i) placed[i] = placed[firstOf[i]];
    return placed;
}

namespace {

void StoreSolidFiles(FileDataWriter& writer, SetupData& data, const std::vector<PayloadFile>& files) {
    std::vector<const std::vector<std::uint8_t>*> contents;
    for (const PayloadFile& file : files) contents.push_back(&file.Content);
    data.SetupInfo.Options |= optSolidBlocks;
    const std::vector<SolidPlacement> placed = WriteSolidBlocks(writer, contents);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const SolidPlacement& p = placed[i];
        TFileRec f;
        f.DestPath = files[i].DestPath;
        f.OriginalSize = p.OriginalSize;
        f.CompressedSize = p.CompressedSize;
        f.Adler32 = p.Adler32;
        data.FileRecords.push_back(f);
        data.FileLocationRecords.push_back(p.Location);
        data.FileMembers.push_back(p.Member);
    }
}

}  // namespace

int AddPayloadFiles(SetupData& data, const std::string& folder, const std::vector<PayloadFile>& files,
                    std::uint64_t diskSize) {
    FileDataWriter writer(folder, diskSize, 0);
    StoreFiles(writer, data, files);
    return writer.Finish();
}

std::vector<std::uint8_t> SingleFileStreams(SetupData& data, const std::vector<PayloadFile>& files, bool solid) {
    MemoryOutStream streams;
    FileDataWriter writer(streams, 0);
    if (solid) StoreSolidFiles(writer, data, files);
    else StoreFiles(writer, data, files);
    writer.Finish();
    return streams.Bytes();
}

PayloadLocator WriteProgramFile(const std::string& path, const std::string& enginePath, const SetupData& data,
                                const std::vector<std::uint8_t>& streams) {
    EngineImage engine;
    if (MakeEngineImage(ReadFileBytes(enginePath), engine) != EngineProblem::None)
        throw std::runtime_error(enginePath + " cannot serve as the engine");
    FileOutStream out(path);
    ProgramWriter writer(out, engine);
    WriteSetupData(writer.Payload(), data, 9);
    const auto fileData = static_cast<std::int64_t>(out.Position());
    writer.Payload().Write(streams.data(), streams.size());
    const PayloadLocator locator = writer.Finish(fileData);
    out.Close();
    return locator;
}

std::vector<std::size_t> BlockOffsets(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::size_t> offsets;
    for (std::size_t at = 8; at + kBlockHeaderSize <= bytes.size();) {
        offsets.push_back(at);
        const std::int32_t compressed = GetI32(bytes.data() + at + 4);
        const std::int32_t original = GetI32(bytes.data() + at + 8);
        at += kBlockHeaderSize + static_cast<std::size_t>(compressed == kStoredBlock ? original : compressed);
    }
    return offsets;
}

void DamageBlock(std::vector<std::uint8_t>& bytes, std::size_t offset) { bytes.at(offset + kBlockHeaderSize + 2) ^= 0xFF; }

}  // namespace qv::test
