#include <algorithm>
#include <exception>
#include <memory>
#include <utility>
#include <system_error>
#include <vector>

#include "core/errors.h"
#include "core/io/streams.h"
#include "core/setupdata/records.h"
#include "tool/exe_payload.h"
#include "tool/extract_paths.h"
#include "tool/ordered_work.h"
#include "tool/platform.h"
#include "tool/progress_bar.h"
#include "tool/read_commands.h"
#include "tool/scratch_pool.h"
#include "tool/setup_reader.h"
#include "tool/folder_way.h"
#include "tool/temporary_beside.h"
#include "tool/tool_errors.h"

namespace qv::tool {

namespace {

// How far the threads may run ahead of the thread that moves the files
// in, counted as the bytes they wrote and a share for each file. What is
// ahead is on disk, not in memory (each thread keeps the memory of its
// largest file only), but it waits as temporaries, each keeping its
// folders held (one handle each), and all of it is removed again when a
// file before it fails. The share keeps the files ahead to a hundred and
// twenty-eight; the bytes let two of the largest files that are read
// whole go side by side, so that neither processor waits for the other.
constexpr std::uint64_t kWrittenAheadBudget = std::uint64_t{64} << 20;
constexpr std::uint64_t kWrittenAheadShareOfFile = std::uint64_t{512} << 10;

// Writes every byte to each of several files: files with identical
// contents read their member once.
class TeeOutStream final : public OutStream {
public:
    explicit TeeOutStream(std::vector<std::unique_ptr<NewFile>>& sinks) : sinks_(sinks) {}
    void Write(const void* buffer, std::size_t count) override {
        for (auto& sink : sinks_) sink->Write(buffer, count);
        position_ += count;
    }
    std::uint64_t Position() const override { return position_; }

private:
    std::vector<std::unique_ptr<NewFile>>& sinks_;
    std::uint64_t position_ = 0;
};

// Solid blocks, each decoded once from its start to its end mark. A
// block's files are written beside their places and moved in only once
// the block's end has passed its check: a damaged block leaves none of
// them, whichever member the damage lies in.
void ExtractSolid(const LoadedSetup& setup, DataFiles& dataFiles, FolderWay& way,
                  const std::vector<std::vector<std::string>>& places, ProgressBar& bar, std::uint64_t& bytes,
                  int& unsetTimes) {
    const SetupData& d = setup.Data;
    struct Staged {
        std::size_t File = 0;
        TemporaryBeside Temporary;
    };
    SolidBlockReader reader;
    for (const auto& block : SolidReadingOrder(d)) {
        // Each file written keeps its folder held until the block is moved in.
        std::vector<Staged> staged;
        for (const SolidGroup& group : block) {
            ThrowIfInterrupted();
            std::vector<std::unique_ptr<NewFile>> sinks;
            for (const std::size_t i : group.Files) {
                const std::string item = FileItemName(d, i);
                const FolderWay::Held folder = way.FolderOf(places[i], item);
                const HeldFolder& place = *folder;
                const std::string& name = places[i].back();
                const fs::path target = place.Path() / PathFromUtf8(name);
                if (place.KindOf(name) == PathKind::Link)
                    throw DamagedData("refused: " + item + " would replace the link '" + PathToUtf8(target) + "'");
                staged.emplace_back();
                staged.back().File = i;
                try {
                    sinks.push_back(staged.back().Temporary.Create(folder, name));
                } catch (const EInOutError& failure) {
                    throw IoFailure("cannot write '" + PathToUtf8(target) + "': " + failure.what());
                }
            }
            TeeOutStream tee(sinks);
            try {
                ReadSolidFile(setup, dataFiles, reader, group.Files[0], tee, [&](std::size_t n) {
                    ThrowIfInterrupted();
                    bar.Advance(n);
                });
                for (auto& sink : sinks) sink->Close();
            } catch (const EInOutError& failure) {
                // Only the sinks' failures come here: those of the sources are
                // worded by ReadSolidFile.
                throw IoFailure("cannot write the contents of " + FileItemName(d, group.Files[0]) + ": " + failure.what());
            }
            for (std::size_t k = 1; k < group.Files.size(); ++k)
                bar.Advance(static_cast<std::uint64_t>(std::max(d.FileRecords[group.Files[k]].CompressedSize, 0)));
        }
        for (Staged& file : staged) {
            if (!file.Temporary.SetLocalTime(d.FileRecords[file.File].FileTime)) ++unsetTimes;
            file.Temporary.MoveTo(places[file.File].back());
            bytes += static_cast<std::uint64_t>(d.FileRecords[file.File].OriginalSize);
        }
        staged.clear();
        way.LetGo();
    }
}

// Writes a file whole from memory beside its place, its time set: a
// thread's half of a small file, which the writing thread moves in at the
// file's turn.
TemporaryBeside WriteBeside(const FolderWay::Held& place, const std::string& name, const std::uint8_t* contents,
                            std::size_t size, std::uint64_t localFileTime, bool& timeSet) {
    TemporaryBeside temporary;
    try {
        const std::unique_ptr<NewFile> sink = temporary.Create(place, name);
        sink->Write(contents, size);
        sink->Close();
    } catch (const EInOutError& failure) {
        throw IoFailure("cannot write '" + PathToUtf8(place->Path() / PathFromUtf8(name)) + "': " + failure.what());
    }
    timeSet = temporary.SetLocalTime(localFileTime);
    return temporary;
}

}  // namespace

void RunExtract(const std::string& path, const SlOffsets& sl, const std::string& folder, std::ostream& out,
                std::ostream& err, bool progress) {
    const LoadedSetup setup = LoadSetup(LocateSetup(path, sl));
    const SetupData& d = setup.Data;
    // A program is checked whole first, as it checks itself.
    if (setup.Where.Program) CheckProgramPayload(setup.Where.SetupFile, *setup.Where.Program);

    // Every path is checked before anything is written.
    std::vector<std::vector<std::string>> places;
    for (std::size_t i = 0; i < d.FileRecords.size(); ++i) {
        const bool uninstallData = d.FileRecords[i].FileFlags & ffUninstallData;
        const std::string dest = uninstallData ? kUninstallDataPath : d.FileRecords[i].DestPath;
        MappedPath mapped = MapDestination(dest);
        if (!mapped.Refusal.empty())
            throw DamagedData("refused: " + FileItemName(d, i) + ": the path \"" + dest + "\" would land outside '" +
                              folder + "': " + mapped.Refusal);
        places.push_back(std::move(mapped.Parts));
    }

    FolderWay way(PathFromUtf8(folder));

    DataFiles dataFiles(setup);
    std::uint64_t total = 0;
    for (const auto& f : d.FileRecords) total += static_cast<std::uint64_t>(std::max(f.CompressedSize, 0));
    ProgressBar bar(err, progress, "extract", total);

    // Threads decompress small files whole and write each beside its
    // place, ahead of this thread, which moves them in in order; a large
    // file streams here, from its data file to its place. A damaged stream
    // is reported at its file's turn, after the files before it are moved
    // in, as it would be one by one, and what was written ahead of it is
    // removed.
    struct Extracted {
        bool Whole = false;
        FolderWay::Held Place;
        TemporaryBeside Temporary;
        bool TimeSet = false;
        std::exception_ptr Failure;
    };
    const auto cost = [&](std::size_t i) -> std::uint64_t {
        const TFileRec& f = d.FileRecords[i];
        return ReadsWhole(f) ? static_cast<std::uint64_t>(f.OriginalSize) + kWrittenAheadShareOfFile : 0;
    };
    const unsigned workers = WorkerCount(0);
    struct WholeFile {
        std::unique_ptr<std::uint8_t[]> Bytes;
        std::size_t Room = 0;
    };
    ScratchPool<WholeFile> wholeFiles;
    std::uint64_t bytes = 0;
    int unsetTimes = 0;
    try {
        if (d.SetupInfo.Has(optSolidBlocks)) ExtractSolid(setup, dataFiles, way, places, bar, bytes, unsetTimes);
        else RunInOrder<Extracted>(
            d.FileRecords.size(), workers, kWrittenAheadBudget, cost,
            [&](std::size_t i) {
                ThrowIfInterrupted();
                Extracted result;
                const TFileRec& f = d.FileRecords[i];
                if (!ReadsWhole(f)) return result;
                result.Whole = true;
                try {
                    // Files are decompressed into memory kept for the next
                    // one, grown and never cleared: fresh memory for each
                    // file cost the system a fault and a clearing per page,
                    // and clearing it again a tenth of extract's time.
                    const auto scratch = wholeFiles.Take();
                    const std::size_t size = static_cast<std::size_t>(f.OriginalSize);
                    if (scratch->Room < size || !scratch->Bytes) {
                        scratch->Bytes.reset();
                        scratch->Room = std::max<std::size_t>(size, std::size_t{1} << 20);
                        scratch->Bytes.reset(new std::uint8_t[scratch->Room]);
                    }
                    std::uint8_t* const contents = scratch->Bytes.get();
                    ReadWholeFile(setup, dataFiles, i, contents);
                    // Checked whole in memory: only now is anything written.
                    result.Place = way.FolderOf(places[i], FileItemName(d, i));
                    result.Temporary = WriteBeside(result.Place, places[i].back(), contents,
                                                   static_cast<std::size_t>(f.OriginalSize), f.FileTime,
                                                   result.TimeSet);
                } catch (...) {
                    result.Failure = std::current_exception();
                }
                return result;
            },
            [&](std::size_t i, Extracted& result) {
                ThrowIfInterrupted();
                const std::string item = FileItemName(d, i);
                // Asked again when the thread failed: a refusal on the way is
                // then said first, as it would be one by one.
                const FolderWay::Held place = result.Place ? result.Place : way.FolderOf(places[i], item);
                const std::string& name = places[i].back();
                const fs::path target = place->Path() / PathFromUtf8(name);
                if (place->KindOf(name) == PathKind::Link)
                    throw DamagedData("refused: " + item + " would replace the link '" + PathToUtf8(target) + "'");
                if (result.Failure) std::rethrow_exception(result.Failure);
                if (result.Whole) {
                    bar.Advance(static_cast<std::uint64_t>(d.FileRecords[i].CompressedSize));
                } else {
                    // Written beside its place and moved in once checked: a
                    // damaged stream leaves no file behind.
                    try {
                        const std::unique_ptr<NewFile> sink = result.Temporary.Create(place, name);
                        ReadFileStream(setup, dataFiles, i, *sink, [&](std::size_t n) {
                            ThrowIfInterrupted();
                            bar.Advance(n);
                        });
                        sink->Close();
                    } catch (const EInOutError& failure) {
                        // Only the sink's failures come here: those of the sources
                        // are worded by ReadFileStream.
                        throw IoFailure("cannot write '" + PathToUtf8(target) + "': " + failure.what());
                    }
                    result.TimeSet = result.Temporary.SetLocalTime(d.FileRecords[i].FileTime);
                }
                if (!result.TimeSet) ++unsetTimes;
                result.Temporary.MoveTo(name);
                bytes += static_cast<std::uint64_t>(d.FileRecords[i].OriginalSize);
            });
    } catch (...) {
        // Every file written ahead is removed by now; the folders made for
        // them go too.
        way.RemoveEmptyMade();
        throw;
    }
    bar.Finish();
    if (unsetTimes) err << "warning: the time stamps of " << unsetTimes << " files could not be set\n";
    out << "extracted " << d.FileRecords.size() << " files (" << bytes << " bytes) into " << folder << "\n";
}

}  // namespace qv::tool
