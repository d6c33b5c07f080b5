#include <exception>
#include <memory>
#include <random>
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
#include "tool/setup_reader.h"
#include "tool/held_folder.h"
#include "tool/tool_errors.h"

namespace qv::tool {

namespace {

// The folders on the way to the file being written, each held from the
// output folder down (held_folder.h): a file in the same folder as the one
// before reuses them, another lets go of those it does not pass.
class FolderWay {
public:
    explicit FolderWay(const fs::path& root) : root_(HeldFolder::OpenRoot(root)) {}

    // The folder that holds the file of `parts` (all but the last name a
    // folder), each made when missing; refuses to pass through a link or
    // junction, which could lead anywhere.
    const HeldFolder& FolderOf(const std::vector<std::string>& parts, const std::string& item) {
        const std::size_t depth = parts.size() - 1;
        std::size_t same = 0;
        while (same < held_.size() && same < depth && held_[same].first == parts[same]) ++same;
        held_.resize(same);
        for (std::size_t i = same; i < depth; ++i) {
            const HeldFolder& parent = held_.empty() ? root_ : held_.back().second;
            HeldFolder sub;
            switch (parent.OpenSub(parts[i], sub)) {
            case PathKind::Link:
                throw DamagedData("refused: " + item + " would be written through the link '" +
                                  PathToUtf8(parent.Path() / PathFromUtf8(parts[i])) + "'");
            case PathKind::File:
                throw IoFailure("cannot extract " + item + ": '" + PathToUtf8(parent.Path() / PathFromUtf8(parts[i])) +
                                "' is a file, not a folder");
            default: break;
            }
            held_.emplace_back(parts[i], std::move(sub));
        }
        return held_.empty() ? root_ : held_.back().second;
    }

private:
    HeldFolder root_;
    std::vector<std::pair<std::string, HeldFolder>> held_;
};

// A name beside `name` in `folder` for the file while it is written,
// created anew: a link planted at the temporary name is not followed.
std::unique_ptr<FileOutStream> CreateTemporaryBeside(const HeldFolder& folder, const std::string& name,
                                                     std::string& temporary) {
    static std::mt19937 random(std::random_device{}());
    for (int attempt = 0;; ++attempt) {
        temporary = "." + name + ".partial" + std::to_string(random() % 1000000);
        if (folder.KindOf(temporary) != PathKind::Missing && attempt < 100) continue;
        return folder.CreateNew(temporary);
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

    FolderWay way(PathFromUtf8(folder));

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
    RunInOrder<Decompressed>(
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
            const HeldFolder& place = way.FolderOf(places[i], item);
            const std::string& name = places[i].back();
            const fs::path target = place.Path() / PathFromUtf8(name);
            if (place.KindOf(name) == PathKind::Link)
                throw DamagedData("refused: " + item + " would replace the link '" + PathToUtf8(target) + "'");
            if (result.Failure) std::rethrow_exception(result.Failure);
            // Written beside its place and moved in once checked: a damaged
            // stream leaves no file behind.
            std::string temporary;
            bool moved = false;
            try {
                try {
                    const std::unique_ptr<FileOutStream> sink = CreateTemporaryBeside(place, name, temporary);
                    if (result.Whole) {
                        sink->Write(result.Contents.data(), result.Contents.size());
                        bar.Advance(static_cast<std::uint64_t>(d.FileRecords[i].CompressedSize));
                    } else {
                        ReadFileStream(setup, dataFiles, i, *sink, [&](std::size_t n) {
                            ThrowIfInterrupted();
                            bar.Advance(n);
                        });
                    }
                    sink->Close();
                } catch (const EInOutError& failure) {
                    // Only the sink's failures come here: those of the sources
                    // are worded by ReadFileStream.
                    throw IoFailure("cannot write '" + PathToUtf8(target) + "': " + failure.what());
                }
                if (!place.SetLocalTime(temporary, d.FileRecords[i].FileTime)) ++unsetTimes;
                place.MoveReplacing(temporary, name);
                moved = true;
            } catch (...) {
                if (!temporary.empty() && !moved) place.Remove(temporary);
                throw;
            }
            bytes += static_cast<std::uint64_t>(d.FileRecords[i].OriginalSize);
        });
    bar.Finish();
    if (unsetTimes) err << "warning: the time stamps of " << unsetTimes << " files could not be set\n";
    out << "extracted " << d.FileRecords.size() << " files (" << bytes << " bytes) into " << folder << "\n";
}

}  // namespace qv::tool
