#include <algorithm>
#include <exception>
#include <iterator>
#include <map>
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

// The folders on the way to the files being written, each held from the
// output folder down (held_folder.h). Written one by one, a file lets go
// of the folders the file before passed and it does not; the files of a
// solid block keep theirs until the block is moved in (LetGo).
class FolderWay {
public:
    explicit FolderWay(const fs::path& root) : root_(HeldFolder::OpenRoot(root)) {}

    // The folder that holds the file of `parts` (all but the last name a
    // folder), each made when missing; refuses to pass through a link or
    // junction, which could lead anywhere. Unless `keepOthers`, folders off
    // this path are let go. The folder stays where it is until let go.
    const HeldFolder& FolderOf(const std::vector<std::string>& parts, const std::string& item,
                               bool keepOthers = false) {
        const std::size_t depth = parts.size() - 1;
        // Keys are the names on the way, each ended by a zero byte, which no
        // name holds: a key is a prefix of another exactly when its folder
        // lies on that one's way.
        std::string key;
        std::vector<std::string> keys;
        for (std::size_t i = 0; i < depth; ++i) keys.push_back(key += parts[i] + '\0');
        if (!keepOthers)
            for (auto it = held_.begin(); it != held_.end();)
                it = key.compare(0, it->first.size(), it->first) == 0 ? std::next(it) : held_.erase(it);
        const HeldFolder* parent = &root_;
        for (std::size_t i = 0; i < depth; ++i) {
            const auto found = held_.find(keys[i]);
            if (found != held_.end()) {
                parent = &found->second;
                continue;
            }
            HeldFolder sub;
            switch (parent->OpenSub(parts[i], sub)) {
            case PathKind::Link:
                throw DamagedData("refused: " + item + " would be written through the link '" +
                                  PathToUtf8(parent->Path() / PathFromUtf8(parts[i])) + "'");
            case PathKind::File:
                throw IoFailure("cannot extract " + item + ": '" + PathToUtf8(parent->Path() / PathFromUtf8(parts[i])) +
                                "' is a file, not a folder");
            default: break;
            }
            parent = &held_.emplace(keys[i], std::move(sub)).first->second;
        }
        return *parent;
    }
    void LetGo() { held_.clear(); }

private:
    HeldFolder root_;
    std::map<std::string, HeldFolder> held_;
};

// A name beside `name` in `folder` for the file while it is written,
// created anew: a link planted at the temporary name is not followed.
std::unique_ptr<FileOutStream> CreateTemporaryBeside(const HeldFolder& folder, const std::string& name,
                                                     std::string& temporary) {
    static std::mt19937 random(std::random_device{}());
    for (int attempt = 0;; ++attempt) {
        temporary = "." + name + ".partial" + std::to_string(random() % 1000000);
        try {
            return folder.CreateNew(temporary);
        } catch (const EInOutError&) {
            // Asked only after a refusal, which is rare: a name taken (left
            // by a run that was killed, or planted) is passed over.
            if (attempt < 100 && folder.KindOf(temporary) != PathKind::Missing) continue;
            throw;
        }
    }
}

// What the threads may hold inflated ahead of the writing thread. Writing
// the files is the slower half: threads further ahead only fill memory the
// system must map and clear anew (a third of extract's page faults and
// more), and hold the writer back no less. A larger file than this still
// goes, alone.
constexpr std::uint64_t kInflatedAheadBudget = std::uint64_t{16} << 20;

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
void ExtractSolid(const LoadedSetup& setup, DataFiles& dataFiles, FolderWay& way,
                  const std::vector<std::vector<std::string>>& places, ProgressBar& bar, std::uint64_t& bytes,
                  int& unsetTimes) {
    const SetupData& d = setup.Data;
    // A file written beside its place, removed unless it was moved in.
    struct Staged {
        const HeldFolder* Folder = nullptr;
        std::size_t File = 0;
        std::string Temporary;
        bool Moved = false;
        ~Staged() {
            if (!Moved && !Temporary.empty()) Folder->Remove(Temporary);
        }
    };
    SolidBlockReader reader;
    for (const auto& block : SolidReadingOrder(d)) {
        std::vector<std::unique_ptr<Staged>> staged;
        for (const SolidGroup& group : block) {
            ThrowIfInterrupted();
            std::vector<std::unique_ptr<FileOutStream>> sinks;
            for (const std::size_t i : group.Files) {
                const std::string item = FileItemName(d, i);
                const HeldFolder& place = way.FolderOf(places[i], item, true);
                const std::string& name = places[i].back();
                const fs::path target = place.Path() / PathFromUtf8(name);
                if (place.KindOf(name) == PathKind::Link)
                    throw DamagedData("refused: " + item + " would replace the link '" + PathToUtf8(target) + "'");
                staged.push_back(std::make_unique<Staged>());
                staged.back()->Folder = &place;
                staged.back()->File = i;
                try {
                    sinks.push_back(CreateTemporaryBeside(place, name, staged.back()->Temporary));
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
        for (auto& file : staged) {
            const std::string& name = places[file->File].back();
            if (!file->Folder->SetLocalTime(file->Temporary, d.FileRecords[file->File].FileTime)) ++unsetTimes;
            file->Folder->MoveReplacing(file->Temporary, name);
            file->Moved = true;
            bytes += static_cast<std::uint64_t>(d.FileRecords[file->File].OriginalSize);
        }
        staged.clear();
        way.LetGo();
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
        // Not cleared when made: the decompressor writes every byte, and
        // clearing first cost a tenth of extract's processor time.
        std::unique_ptr<std::uint8_t[]> Contents;
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
    if (d.SetupInfo.Has(optSolidBlocks)) ExtractSolid(setup, dataFiles, way, places, bar, bytes, unsetTimes);
    else RunInOrder<Decompressed>(
        d.FileRecords.size(), workers, kInflatedAheadBudget, cost,
        [&](std::size_t i) {
            ThrowIfInterrupted();
            Decompressed result;
            if (!ReadsWhole(d.FileRecords[i])) return result;
            result.Whole = true;
            try {
                result.Contents.reset(new std::uint8_t[std::max<std::size_t>(
                    static_cast<std::size_t>(d.FileRecords[i].OriginalSize), 1)]);
                ReadWholeFile(setup, dataFiles, i, result.Contents.get());
            } catch (...) {
                result.Failure = std::current_exception();
                result.Contents.reset();
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
                        sink->Write(result.Contents.get(), static_cast<std::size_t>(d.FileRecords[i].OriginalSize));
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
