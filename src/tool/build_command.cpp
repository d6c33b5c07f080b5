#include "tool/build_command.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/io/streams.h"
#include "core/setupdata/data_files.h"
#include "core/setupdata/setup_data.h"
#include "core/setupdata/solid_blocks.h"
#include "core/setupdata/solid_writer.h"
#include "core/text/cp936.h"
#include "tool/exe_payload.h"
#include "core/uninstall/log_entry_bound.h"
#include "tool/identical_contents.h"
#include "tool/ordered_work.h"
#include "tool/platform.h"
#include "tool/progress_bar.h"
#include "tool/script.h"
#include "tool/sign_command.h"
#include "tool/staged_output.h"
#include "tool/tool_errors.h"
#include "tool/whole_codec.h"

namespace qv::tool {

namespace {

struct BuildResult {
    std::vector<fs::path> OutputFiles;
    std::int64_t FileDataOffset = 0;  // single-file layout only
    std::int64_t DataOffset = 0;      // of the setup data, in a program
    std::size_t StoredContents = 0;
    std::size_t SolidBlocks = 0;  // 0: each content its own zlib stream
    std::uint64_t BytesIn = 0;
};

// One distinct content, compressed by a worker thread; a file too large to
// hold whole is left for the writer to stream.
struct CompressedContent {
    bool LeftToStream = false;
    std::vector<std::uint8_t> Stream;
    std::uint64_t OriginalSize = 0;
    std::uint32_t Adler32 = 1;
};

// The failures of storing a source, named by the script's words for it.
template <typename Work>
auto Storing(const std::string& name, Work work) {
    try {
        return work();
    } catch (const EInOutError& error) {
        throw IoFailure("cannot store '" + name + "': " + error.what());
    } catch (const EZlibError&) {
        throw;
    } catch (const Exception& error) {
        throw UsageError("cannot store '" + name + "': " + error.what());
    }
}

// The whole file, or nothing when it turns out larger than kWholeFileLimit.
CompressedContent CompressWhole(const fs::path& path, WholeCompressorPool& compressors) {
    CompressedContent content;
    FileInStream in(PathToUtf8(path));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(in.Size(), kWholeFileLimit)) + 1);
    std::size_t got = 0;
    while (std::size_t n = in.Read(bytes.data() + got, bytes.size() - got)) {
        got += n;
        ThrowIfInterrupted();
        if (got == bytes.size()) {
            // It grew since it was measured.
            if (got > kWholeFileLimit) {
                content.LeftToStream = true;
                return content;
            }
            bytes.resize(std::min<std::size_t>(2 * got, kWholeFileLimit + 1));
        }
    }
    content.Stream = compressors.Compress(bytes.data(), got);
    content.OriginalSize = got;
    content.Adler32 = FastAdler32(1, bytes.data(), got);
    return content;
}

// Compresses every distinct content into `writer` and fills in the file
// records' sizes, checksums and locations. Worker threads compress ahead
// of the writer; the streams land in the order of the records whatever the
// number of threads, so the output is the same for any number of them.
void StoreContents(BuildScript& script, FileDataWriter& writer, int level, unsigned workers, BuildResult& result,
                   ProgressBar& bar) {
    std::vector<fs::path> paths;
    for (const auto& source : script.Sources) paths.push_back(source.Path);
    const std::vector<std::size_t> first = FindIdenticalContents(paths);

    std::vector<std::size_t> distinct;
    std::vector<std::uint64_t> sizes;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (first[i] != i) continue;
        distinct.push_back(i);
        std::error_code ignored;
        const std::uint64_t size = fs::file_size(paths[i], ignored);
        sizes.push_back(ignored ? 0 : size);
    }
    // A whole file and its stream are held until the writer has them.
    const auto cost = [&](std::size_t k) -> std::uint64_t {
        return sizes[k] > kWholeFileLimit ? 0 : 2 * sizes[k] + (64 << 10);
    };

    std::vector<StoredStream> stored(paths.size());
    std::uint64_t before = 0;
    WholeCompressorPool compressors(level);
    RunInOrder<CompressedContent>(
        distinct.size(), workers, WorkBudget(workers), cost,
        [&](std::size_t k) {
            ThrowIfInterrupted();
            const std::size_t i = distinct[k];
            if (sizes[k] > kWholeFileLimit) return CompressedContent{true, {}, 0, 1};
            return Storing(script.Sources[i].AsWritten, [&] { return CompressWhole(paths[i], compressors); });
        },
        [&](std::size_t k, CompressedContent& content) {
            ThrowIfInterrupted();
            const std::size_t i = distinct[k];
            stored[i] = Storing(script.Sources[i].AsWritten, [&] {
                if (!content.LeftToStream)
                    return writer.AddCompressed(content.Stream.data(), content.Stream.size(), content.OriginalSize,
                                                content.Adler32);
                // Too large to hold: through zlib in pieces, here.
                FileInStream in(PathToUtf8(paths[i]));
                return writer.AddStream(in, [&](std::size_t soFar) {
                    ThrowIfInterrupted();
                    bar.Set(before + soFar);
                });
            });
            before += static_cast<std::uint64_t>(stored[i].OriginalSize);
            bar.Set(before);
            ++result.StoredContents;
        });

    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (first[i] != i) stored[i] = stored[first[i]];
        TFileRec& f = script.Data.FileRecords[i];
        f.OriginalSize = stored[i].OriginalSize;
        f.CompressedSize = stored[i].CompressedSize;
        f.Adler32 = stored[i].Adler32;
        script.Data.FileLocationRecords[i] = stored[i].Location;
    }
    result.BytesIn = before;
}

// Every file's contents, gathered in record order into solid blocks of
// up to kSolidBlockTarget bytes (a larger file is a block of its own),
// each block encoded on a worker thread and placed in order; each file
// learns its block, its member and its share of the block's bytes.
// Identical contents are not shared here: a file that pointed back at an
// earlier member would make Setup.exe decode that block again from its
// start (and then its own block), while a repeat inside one block costs
// LZMA2 a few bytes, the dictionary holding the whole block.
void StoreSolidContents(BuildScript& script, FileDataWriter& writer, int level, unsigned workers,
                        BuildResult& result, ProgressBar& bar) {
    std::vector<fs::path> paths;
    for (const auto& source : script.Sources) paths.push_back(source.Path);

    struct Plan {
        std::vector<std::size_t> Sources;  // one member each
        std::uint64_t Bytes = 0;           // as measured
    };
    std::vector<Plan> plans;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::error_code ignored;
        const std::uint64_t size = fs::file_size(paths[i], ignored);
        if (plans.empty() || (!plans.back().Sources.empty() && plans.back().Bytes + size > kSolidBlockTarget))
            plans.emplace_back();
        plans.back().Sources.push_back(i);
        plans.back().Bytes += size;
    }

    struct Placed {
        StoredStream Stored;
        std::uint32_t Member = 0;
        std::uint32_t Size = 0;
        std::uint32_t Adler32 = 1;
        std::uint64_t BlockBytes = 0;  // the members' total, for the shares
    };
    std::vector<Placed> placed(paths.size());
    std::uint64_t before = 0;
    // Each thread holds one encoder (about 11 times the dictionary); what
    // waits for the writer is the encoded blocks.
    const auto cost = [&](std::size_t b) { return std::min(plans[b].Bytes, kSolidBlockTarget); };
    RunInOrder<EncodedSolidBlock>(
        plans.size(), workers, std::uint64_t{workers} * 2 * kSolidBlockTarget, cost,
        [&](std::size_t b) {
            ThrowIfInterrupted();
            std::size_t current = plans[b].Sources.front();
            std::vector<SolidMemberOpener> members;
            for (const std::size_t i : plans[b].Sources)
                members.push_back([&, i]() -> std::unique_ptr<InStream> {
                    ThrowIfInterrupted();
                    current = i;
                    return std::make_unique<FileInStream>(PathToUtf8(paths[i]));
                });
            try {
                return EncodeSolidBlock(members, level, plans[b].Bytes);
            } catch (const EInOutError& error) {
                throw IoFailure("cannot store '" + script.Sources[current].AsWritten + "': " + error.what());
            } catch (const EZlibError&) {
                throw;
            } catch (const Exception& error) {
                throw UsageError("cannot store '" + script.Sources[current].AsWritten + "': " + error.what());
            }
        },
        [&](std::size_t b, EncodedSolidBlock& block) {
            ThrowIfInterrupted();
            const StoredStream stored = writer.AddSolidBlock(block.Bytes.data(), block.Bytes.size());
            std::uint64_t total = 0;
            for (const std::uint32_t size : block.Sizes) total += size;
            for (std::size_t m = 0; m < plans[b].Sources.size(); ++m)
                placed[plans[b].Sources[m]] = {stored, static_cast<std::uint32_t>(m), block.Sizes[m],
                                               block.Adler32s[m], total};
            before += total;
            bar.Set(before);
            result.StoredContents += plans[b].Sources.size();
            ++result.SolidBlocks;
        });

    script.Data.SetupInfo.Options |= optSolidBlocks;
    script.Data.FileMembers.assign(paths.size(), 0);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const Placed& p = placed[i];
        TFileRec& f = script.Data.FileRecords[i];
        f.OriginalSize = static_cast<std::int32_t>(p.Size);
        // The gauge's measure: the file's part of its block's bytes.
        f.CompressedSize = p.BlockBytes == 0 ? 0
                                             : static_cast<std::int32_t>(std::uint64_t{p.Size} *
                                                                         static_cast<std::uint64_t>(p.Stored.CompressedSize) /
                                                                         p.BlockBytes);
        f.Adler32 = p.Adler32;
        script.Data.FileLocationRecords[i] = p.Stored.Location;
        script.Data.FileMembers[i] = p.Member;
    }
    result.BytesIn = before;
}

void Store(BuildScript& script, FileDataWriter& writer, int level, unsigned workers, BuildResult& result,
           ProgressBar& bar) {
    if (script.Solid) StoreSolidContents(script, writer, level, workers, result, bar);
    else StoreContents(script, writer, level, workers, result, bar);
}

// An uninstall log counts its entries in 16 bits: an installation that
// could record more is refused now, not at the end of its installation.
void RefuseTooManyLogEntries(const BuildScript& script) {
    if (!script.Data.SetupInfo.Has(optUninstallable)) return;
    const UninstallLogEntryCount count = MostUninstallLogEntries(script.Data);
    if (count.Total() <= kUninstallLogEntryLimit) return;
    std::string parts;
    const auto part = [&](std::uint64_t n, const std::string& what) {
        if (n == 0) return;
        parts += (parts.empty() ? "" : ", ") + std::to_string(n) + " " + what;
    };
    part(count.Files, "for files");
    part(count.Folders, "for folders");
    part(count.Icons, "for icons");
    part(count.IniEntries, "for INI entries");
    part(count.RegistryEntries, "for registry entries");
    part(count.RegistryKeys, "for registry keys made on the way to them");
    part(count.UninstallDeletes, "for uninstall deletes");
    part(count.Setup, "for the uninstall log's placeholder and the uninstall key");
    throw ScriptErrors({PathToUtf8(script.Path) + ": an installation of this script can record up to " +
                        std::to_string(count.Total()) + " entries in its uninstall log (" + parts +
                        "; a directory constant counts as " + std::to_string(kMostCreatedFolderLevels) +
                        " folders, the most levels a created folder path can have, since all of them may be "
                        "missing), but the log counts its entries in 16 bits and holds at most " +
                        std::to_string(kUninstallLogEntryLimit) +
                        ": split the application into several setups, or set uninstallable = false"});
}

std::uint64_t TotalSourceBytes(const BuildScript& script) {
    std::uint64_t total = 0;
    for (const auto& source : script.Sources) {
        std::error_code ignored;
        const auto size = fs::file_size(source.Path, ignored);
        if (!ignored) total += size;
    }
    return total;
}

void WriteSetupDataFile(OutStream& out, const BuildScript& script, int level) {
    try {
        WriteSetupData(out, script.Data, level);
    } catch (const EFieldTooLong& error) {
        // The script reader checks every limit; reaching this is a fault of the tool.
        throw UsageError(std::string("a value does not fit its field: ") + error.what());
    }
}

BuildResult BuildDataFiles(BuildScript& script, const fs::path& folder, std::uint64_t diskSize, int level,
                           unsigned workers, ProgressBar& bar) {
    BuildResult result;
    StagedFolder staged(folder);
    int dataFiles = 0;
    try {
        FileDataWriter writer(PathToUtf8(staged.Staging()), diskSize, level);
        Store(script, writer, level, workers, result, bar);
        dataFiles = writer.Finish();
        FileOutStream setup(PathToUtf8(staged.Staging() / "SETUP.0"));
        WriteSetupDataFile(setup, script, level);
        setup.Close();
    } catch (const EInOutError& error) {
        throw IoFailure("cannot write into '" + PathToUtf8(folder) + "': " + error.what());
    }
    std::vector<std::string> names;
    for (int n = 0; n <= dataFiles; ++n) {
        names.push_back("SETUP." + std::to_string(n));
        result.OutputFiles.push_back(folder / names.back());
    }
    staged.Commit(names);
    return result;
}

void CopyFile(InStream& from, OutStream& to) {
    std::vector<std::uint8_t> buffer(1 << 16);
    while (const std::size_t got = from.Read(buffer.data(), buffer.size())) to.Write(buffer.data(), got);
}

// The /SL layout in one file; with `engine`, behind it as one program.
BuildResult BuildSingleFile(BuildScript& script, const fs::path& file, int level, unsigned workers,
                            ProgressBar& bar, const ChosenEngine* engine = nullptr) {
    BuildResult result;
    StagedFile staged(file);
    // The setup data comes first but needs the streams' sizes: the streams
    // go to a scratch file that is then copied in after it.
    StagedFile scratch(file);  // never committed: removed at the end
    try {
        {
            FileOutStream streams(PathToUtf8(scratch.Temporary()));
            FileDataWriter writer(streams, level);
            Store(script, writer, level, workers, result, bar);
            writer.Finish();
            streams.Close();
        }
        FileOutStream out(PathToUtf8(staged.Temporary()));
        std::optional<ProgramWriter> program;
        if (engine) program.emplace(out, engine->Image);
        OutStream& payload = program ? program->Payload() : out;
        WriteSetupDataFile(payload, script, level);
        result.FileDataOffset = static_cast<std::int64_t>(out.Position());
        FileInStream streams(PathToUtf8(scratch.Temporary()));
        CopyFile(streams, payload);
        if (program) result.DataOffset = program->Finish(result.FileDataOffset).SetupDataOffset;
        out.Close();
    } catch (const EInOutError& error) {
        throw IoFailure("cannot write '" + PathToUtf8(file) + "': " + error.what());
    } catch (const std::overflow_error&) {
        throw UsageError("the program would hold its setup data or file data past 2 GiB, beyond what /SL can name");
    }
    if (result.FileDataOffset > 0x7FFFFFFF) throw UsageError("the setup data is larger than 2 GiB");
    if (engine && script.SignCommand) {
        const auto signedProgram = SignFile(*script.SignCommand, staged.Temporary(), file, "the program");
        MoveReplacing(signedProgram->Path(), staged.Temporary());
    }
    staged.Commit();
    result.OutputFiles.push_back(file);
    return result;
}

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void PrintSummary(std::ostream& out, const BuildScript& script, const BuildResult& result, int level,
                  unsigned workers) {
    const SetupData& d = script.Data;
    std::uint64_t bytesOut = 0;
    for (const auto& file : result.OutputFiles) {
        std::error_code ignored;
        bytesOut += fs::file_size(file, ignored);
    }
    out << "records: " << Plural(d.DirRecords.size(), "dir", "dirs") << ", " << Plural(d.FileRecords.size(), "file", "files")
        << ", " << Plural(d.IconRecords.size(), "icon", "icons") << ", " << Plural(d.IniRecords.size(), "ini entry", "ini entries")
        << ", " << Plural(d.RegistryRecords.size(), "registry entry", "registry entries") << ", "
        << Plural(d.UninstallDeleteRecords.size(), "uninstall delete", "uninstall deletes") << ", "
        << Plural(d.RunRecords.size(), "run", "runs") << "\n";
    const auto fileBytes = [](const std::string& text) { return cp936::FromUtf8Lossy(text).size(); };
    out << "texts: licence " << fileBytes(d.LicenseText) << " bytes, info before " << fileBytes(d.InfoBeforeText)
        << " bytes, info after " << fileBytes(d.InfoAfterText) << " bytes\n";
    out << "files: " << Plural(d.FileRecords.size(), "file record", "file records") << ", "
        << Plural(result.StoredContents, "stored content", "stored contents") << "\n";
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.1f%%",
                  result.BytesIn ? 100.0 * static_cast<double>(bytesOut) / static_cast<double>(result.BytesIn) : 0.0);
    out << "uninstaller: " << script.Uninstaller << "\n";
    if (result.SolidBlocks)
        out << "compression: solid, " << Plural(result.SolidBlocks, "LZMA2 block", "LZMA2 blocks") << " of up to "
            << (kSolidBlockTarget >> 20) << " MiB at level " << level << " on " << Plural(workers, "thread", "threads")
            << " (executables through the x86 filter)\n";
    else
        out << "compression: " << CompressorName() << " at level " << level << " on " << Plural(workers, "thread", "threads")
            << " (files above " << (kWholeFileLimit >> 20) << " MiB: zlib, streamed)\n";
    out << "bytes: " << result.BytesIn << " in, " << bytesOut << " out (" << ratio << ")\n";
    out << "wrote:";
    for (const auto& file : result.OutputFiles) out << " " << PathToUtf8(file);
    out << "\n";
}

}  // namespace

void RunBuild(const BuildOptions& options, std::ostream& out, std::ostream& err, bool progress) {
    if ((options.SingleFile || options.Exe) && options.DiskSize)
        throw UsageError(std::string(options.Exe ? "--exe" : "--single-file") +
                         " keeps all file data in one file; it cannot be combined with --disk-size");
    const UninstallerSearch search{options.Uninstaller, RunningProgramPath().parent_path()};
    BuildScript script = ReadScript(options.Script, search);
    if (options.Solid) script.Solid = *options.Solid;
    RefuseTooManyLogEntries(script);
    const unsigned workers = WorkerCount(options.Jobs);

    // The uninstaller is signed before it is carried.
    const auto signedUninstaller = script.SignCommand ? SignCarriedUninstaller(script, *script.SignCommand) : nullptr;
    std::optional<ChosenEngine> engine;
    if (options.Exe)
        engine = ChooseEngine({options.Engine, script.Engine, RunningProgramPath().parent_path(), script.Architecture});

    ProgressBar bar(err, progress, "build", TotalSourceBytes(script));
    BuildResult result;
    if (options.Exe) {
        result = BuildSingleFile(script, *options.Exe, options.Level, workers, bar, &*engine);
    } else if (options.SingleFile) {
        result = BuildSingleFile(script, *options.SingleFile, options.Level, workers, bar);
    } else {
        const fs::path folder = options.OutputFolder ? *options.OutputFolder : script.Path.parent_path() / "output";
        const std::uint64_t diskSize = options.DiskSize ? *options.DiskSize : script.DiskSize;
        result = BuildDataFiles(script, folder, diskSize, options.Level, workers, bar);
    }
    bar.Finish();
    if (engine) out << "engine: " << EngineSummary(*engine) << "\n";
    if (engine || script.Architecture)
        out << "architecture: " << MachineTypeName(engine ? engine->Machine : *script.Architecture) << "\n";
    PrintSummary(out, script, result, options.Level, workers);
    if (options.Exe)
        out << "one program: the setup data at offset " << result.DataOffset << ", the file data at "
            << result.FileDataOffset
            << (script.SignCommand ? "; signed by [setup] sign\n" : "; sign it now, if at all (docs/script.md)\n");
    if (options.SingleFile)
        out << "run it with: Setup.exe /SL " << PathToUtf8(options.SingleFile->filename()) << " 0 "
            << result.FileDataOffset << "\n";
}

}  // namespace qv::tool
