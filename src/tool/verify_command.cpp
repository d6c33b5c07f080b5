#include <set>
#include <tuple>
#include <vector>

#include "core/io/streams.h"
#include "core/setupdata/records.h"
#include "tool/exe_payload.h"
#include "tool/ordered_work.h"
#include "tool/platform.h"
#include "tool/progress_bar.h"
#include "tool/read_commands.h"
#include "tool/scratch_pool.h"
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

// Each block decoded once, from its start to its end mark.
void VerifySolid(const LoadedSetup& setup, DataFiles& dataFiles, std::ostream& err, bool progress,
                 std::size_t& members, std::size_t& blocks, std::uint64_t& bytes) {
    const SetupData& d = setup.Data;
    std::uint64_t total = 0;
    for (const TFileRec& f : d.FileRecords) total += static_cast<std::uint64_t>(std::max(f.CompressedSize, 0));
    ProgressBar bar(err, progress, "verify", total);
    SolidBlockReader reader;
    for (const auto& block : SolidReadingOrder(d)) {
        for (const SolidGroup& group : block) {
            DiscardingOutStream sink;
            ReadSolidFile(setup, dataFiles, reader, group.Files[0], sink, [&](std::size_t n) {
                ThrowIfInterrupted();
                bar.Advance(n);
            });
            for (std::size_t k = 1; k < group.Files.size(); ++k)
                bar.Advance(static_cast<std::uint64_t>(std::max(d.FileRecords[group.Files[k]].CompressedSize, 0)));
            bytes += static_cast<std::uint64_t>(d.FileRecords[group.Files[0]].OriginalSize);
            ++members;
        }
        ++blocks;
    }
    bar.Finish();
}

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

    std::size_t streamCount = 0;
    std::size_t blockCount = 0;
    std::uint64_t bytes = 0;
    if (d.SetupInfo.Has(optSolidBlocks)) {
        VerifySolid(setup, dataFiles, err, progress, streamCount, blockCount, bytes);
    } else {
        // Records that share a stream share its check.
        using StreamKey = std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::uint32_t>;
        std::set<StreamKey> seen;
        std::vector<std::size_t> streams;  // the first record of each stream
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < d.FileRecords.size(); ++i) {
            const StreamKey key{d.FileLocationRecords[i].FirstDisk, d.FileLocationRecords[i].StartOffset,
                                d.FileRecords[i].CompressedSize, d.FileRecords[i].OriginalSize, d.FileRecords[i].Adler32};
            if (!seen.insert(key).second) continue;
            streams.push_back(i);
            total += static_cast<std::uint64_t>(std::max(d.FileRecords[i].CompressedSize, 0));
        }
        ProgressBar bar(err, progress, "verify", total);

        // Small files are checked whole on every processor; a large one streams
        // on this thread, with its progress, while the others go on ahead.
        const auto compressedSize = [&](std::size_t k) {
            return static_cast<std::uint64_t>(std::max(d.FileRecords[streams[k]].CompressedSize, 0));
        };
        const auto cost = [&](std::size_t k) -> std::uint64_t {
            const TFileRec& f = d.FileRecords[streams[k]];
            return ReadsWhole(f) ? compressedSize(k) + static_cast<std::uint64_t>(f.OriginalSize) : 0;
        };
        const unsigned workers = WorkerCount(0);
        ScratchPool<std::vector<std::uint8_t>> inflated;
        RunInOrder<bool>(
            streams.size(), workers, WorkBudget(workers), cost,
            [&](std::size_t k) {
                ThrowIfInterrupted();
                if (!ReadsWhole(d.FileRecords[streams[k]])) return false;
                // Checked and dropped: inflated into memory kept for the next file.
                const auto contents = inflated.Take();
                ReadWholeFile(setup, dataFiles, streams[k], *contents);
                return true;
            },
            [&](std::size_t k, bool& checked) {
                ThrowIfInterrupted();
                if (checked) {
                    bar.Advance(compressedSize(k));
                } else {
                    DiscardingOutStream sink;
                    ReadFileStream(setup, dataFiles, streams[k], sink, [&](std::size_t n) {
                        ThrowIfInterrupted();
                        bar.Advance(n);
                    });
                }
                bytes += static_cast<std::uint64_t>(d.FileRecords[streams[k]].OriginalSize);
            });
        streamCount = streams.size();
        bar.Finish();
    }
    // What a program checks of itself before it runs: every byte of its payload.
    if (setup.Where.Program) CheckProgramPayload(setup.Where.SetupFile, *setup.Where.Program);
    out << "ok: " << PathToUtf8(setup.Where.SetupFile) << ": every block sound; " << d.FileRecords.size() << " files in "
        << streamCount << (blockCount ? " members of " + std::to_string(blockCount) + " solid blocks" : std::string(" streams"))
        << " (" << bytes << " bytes) checked";
    if (setup.Where.FileDataOffset == 0) out << " across " << dataFileCount << " data files";
    if (setup.Where.Program) out << "; the program's payload (" << setup.Where.Program->PayloadSize << " bytes) has its CRC-32";
    out << "\n";
}

}  // namespace qv::tool
