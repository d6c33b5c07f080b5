#include <set>
#include <tuple>

#include "core/io/streams.h"
#include "tool/exe_payload.h"
#include "tool/platform.h"
#include "tool/progress_bar.h"
#include "tool/read_commands.h"
#include "tool/setup_reader.h"

namespace qv::tool {

namespace {

// Takes the decompressed bytes and keeps none: verifying needs only the checks.
class DiscardingOutStream final : public OutStream {
public:
    void Write(const void*, std::size_t count) override { position_ += count; }
    std::uint64_t Position() const override { return position_; }

private:
    std::uint64_t position_ = 0;
};

}  // namespace

void RunVerify(const std::string& path, const SlOffsets& sl, std::ostream& out, std::ostream& err, bool progress) {
    const LoadedSetup setup = LoadSetup(LocateSetup(path, sl));
    const SetupData& d = setup.Data;
    DataFiles dataFiles(setup);

    // Every data file that a stream names, whole and with a sound header.
    int dataFileCount = 0;
    if (setup.Where.FileDataOffset == 0) {
        for (const auto& location : d.FileLocationRecords) dataFileCount = std::max(dataFileCount, location.LastDisk);
        for (int n = 1; n <= dataFileCount; ++n) dataFiles.CheckDataFile(n);
    }

    // Records that share a stream share its check.
    using StreamKey = std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::uint32_t>;
    std::set<StreamKey> checked;
    std::uint64_t total = 0;
    for (const auto& f : d.FileRecords) total += static_cast<std::uint64_t>(std::max(f.CompressedSize, 0));
    ProgressBar bar(err, progress, "verify", total);
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < d.FileRecords.size(); ++i) {
        const StreamKey key{d.FileLocationRecords[i].FirstDisk, d.FileLocationRecords[i].StartOffset, d.FileRecords[i].CompressedSize,
                            d.FileRecords[i].OriginalSize, d.FileRecords[i].Adler32};
        if (!checked.insert(key).second) {
            bar.Advance(static_cast<std::uint64_t>(d.FileRecords[i].CompressedSize));
            continue;
        }
        DiscardingOutStream sink;
        ReadFileStream(setup, dataFiles, i, sink, [&](std::size_t n) {
            ThrowIfInterrupted();
            bar.Advance(n);
        });
        bytes += sink.Position();
    }
    bar.Finish();
    // What a program checks of itself before it runs: every byte of its payload.
    if (setup.Where.Program) CheckProgramPayload(setup.Where.SetupFile, *setup.Where.Program);
    out << "ok: " << PathToUtf8(setup.Where.SetupFile) << ": every block sound; " << d.FileRecords.size() << " files in "
        << checked.size() << " streams (" << bytes << " bytes) checked";
    if (setup.Where.FileDataOffset == 0) out << " across " << dataFileCount << " data files";
    if (setup.Where.Program) out << "; the program's payload (" << setup.Where.Program->PayloadSize << " bytes) has its CRC-32";
    out << "\n";
}

}  // namespace qv::tool
