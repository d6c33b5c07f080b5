#include <exception>
#include <memory>
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
#include "tool/setup_reader.h"
#include "tool/staged_output.h"
#include "tool/tool_errors.h"

namespace qv::tool {

namespace {

// Creates the folders of `parts` (all but the last) under `root`, refusing
// to pass through a link or junction, which could lead anywhere.
fs::path PrepareFolders(const fs::path& root, const std::vector<std::string>& parts, const std::string& item) {
    fs::path path = root;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        path /= PathFromUtf8(parts[i]);
        switch (KindOfPath(path)) {
        case PathKind::Link:
            throw DamagedData("refused: " + item + " would be written through the link '" + PathToUtf8(path) + "'");
        case PathKind::File:
            throw IoFailure("cannot extract " + item + ": '" + PathToUtf8(path) + "' is a file, not a folder");
        case PathKind::Folder: continue;
        case PathKind::Missing: break;
        }
        std::error_code error;
        fs::create_directory(path, error);
        if (error) throw IoFailure("cannot create the folder '" + PathToUtf8(path) + "': " + error.message());
    }
    return path / PathFromUtf8(parts.back());
}

// Writes every byte to each of several files: files with identical
// contents read their member once.
class TeeOutStream final : public OutStream {
public:
    explicit TeeOutStream(std::vector<std::unique_ptr<FileOutStream>>& sinks) : sinks_(sinks) {}
    void Write(const void* buffer, std::size_t count) override {
        for (auto& sink : sinks_) sink->Write(buffer, count);
        position_ += count;
    }
    std::uint64_t Position() const override { return position_; }

private:
    std::vector<std::unique_ptr<FileOutStream>>& sinks_;
    std::uint64_t position_ = 0;
};

// Solid blocks, each decoded once from its start to its end mark. A
// block's files are written beside their places and moved in only once
// the block's end has passed its check: a damaged block leaves none of
// them, whichever member the damage lies in.
void ExtractSolid(const LoadedSetup& setup, DataFiles& dataFiles, const fs::path& root,
                  const std::vector<std::vector<std::string>>& places, ProgressBar& bar, std::uint64_t& bytes,
                  int& unsetTimes) {
    const SetupData& d = setup.Data;
    SolidBlockReader reader;
    for (const auto& block : SolidReadingOrder(d)) {
        std::vector<std::unique_ptr<StagedFile>> staged;
        std::vector<std::size_t> stagedFiles;
        for (const SolidGroup& group : block) {
            ThrowIfInterrupted();
            std::vector<std::unique_ptr<FileOutStream>> sinks;
            for (const std::size_t i : group.Files) {
                const std::string item = FileItemName(d, i);
                const fs::path target = PrepareFolders(root, places[i], item);
                if (KindOfPath(target) == PathKind::Link)
                    throw DamagedData("refused: " + item + " would replace the link '" + PathToUtf8(target) + "'");
                staged.push_back(std::make_unique<StagedFile>(target));
                stagedFiles.push_back(i);
                try {
                    sinks.push_back(std::make_unique<FileOutStream>(PathToUtf8(staged.back()->Temporary()), FileCreation::New));
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
        for (std::size_t k = 0; k < staged.size(); ++k) {
            const std::size_t i = stagedFiles[k];
            if (!SetLocalFileTime(staged[k]->Temporary(), d.FileRecords[i].FileTime)) ++unsetTimes;
            staged[k]->Commit();
            bytes += static_cast<std::uint64_t>(d.FileRecords[i].OriginalSize);
        }
    }
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

    const fs::path root = PathFromUtf8(folder);
    std::error_code error;
    fs::create_directories(root, error);
    if (error) throw IoFailure("cannot create the folder '" + folder + "': " + error.message());

    DataFiles dataFiles(setup);
    std::uint64_t total = 0;
    for (const auto& f : d.FileRecords) total += static_cast<std::uint64_t>(std::max(f.CompressedSize, 0));
    ProgressBar bar(err, progress, "extract", total);

    // Threads decompress small files whole, ahead of this thread, which
    // writes them in order; a large file streams here, from its data file
    // to its place. A damaged stream is reported at its file's turn, after
    // the files before it are written, as it would be one by one.
    struct Decompressed {
        bool Whole = false;
        std::vector<std::uint8_t> Contents;
        std::exception_ptr Failure;
    };
    const auto cost = [&](std::size_t i) -> std::uint64_t {
        const TFileRec& f = d.FileRecords[i];
        return ReadsWhole(f) ? static_cast<std::uint64_t>(f.CompressedSize) + static_cast<std::uint64_t>(f.OriginalSize)
                             : 0;
    };
    const unsigned workers = WorkerCount(0);
    std::uint64_t bytes = 0;
    int unsetTimes = 0;
    if (d.SetupInfo.Has(optSolidBlocks)) ExtractSolid(setup, dataFiles, root, places, bar, bytes, unsetTimes);
    else RunInOrder<Decompressed>(
        d.FileRecords.size(), workers, WorkBudget(workers), cost,
        [&](std::size_t i) {
            ThrowIfInterrupted();
            Decompressed result;
            if (!ReadsWhole(d.FileRecords[i])) return result;
            result.Whole = true;
            try {
                ReadWholeFile(setup, dataFiles, i, result.Contents);
            } catch (...) {
                result.Failure = std::current_exception();
                result.Contents = {};
            }
            return result;
        },
        [&](std::size_t i, Decompressed& result) {
            ThrowIfInterrupted();
            const std::string item = FileItemName(d, i);
            const fs::path target = PrepareFolders(root, places[i], item);
            if (KindOfPath(target) == PathKind::Link)
                throw DamagedData("refused: " + item + " would replace the link '" + PathToUtf8(target) + "'");
            if (result.Failure) std::rethrow_exception(result.Failure);
            // Written beside its place and moved in once checked: a damaged
            // stream leaves no file behind.
            StagedFile staged(target);
            try {
                // Made anew: a link planted at the temporary name is not followed.
                FileOutStream sink(PathToUtf8(staged.Temporary()), FileCreation::New);
                if (result.Whole) {
                    sink.Write(result.Contents.data(), result.Contents.size());
                    bar.Advance(static_cast<std::uint64_t>(d.FileRecords[i].CompressedSize));
                } else {
                    ReadFileStream(setup, dataFiles, i, sink, [&](std::size_t n) {
                        ThrowIfInterrupted();
                        bar.Advance(n);
                    });
                }
                sink.Close();
            } catch (const EInOutError& failure) {
                // Only the sink's failures come here: those of the sources are
                // worded by ReadFileStream.
                throw IoFailure("cannot write '" + PathToUtf8(target) + "': " + failure.what());
            }
            if (!SetLocalFileTime(staged.Temporary(), d.FileRecords[i].FileTime)) ++unsetTimes;
            staged.Commit();
            bytes += static_cast<std::uint64_t>(d.FileRecords[i].OriginalSize);
        });
    bar.Finish();
    if (unsetTimes) err << "warning: the time stamps of " << unsetTimes << " files could not be set\n";
    out << "extracted " << d.FileRecords.size() << " files (" << bytes << " bytes) into " << folder << "\n";
}

}  // namespace qv::tool
