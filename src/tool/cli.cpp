#include "tool/cli.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include <CLI/CLI.hpp>

#include "core/errors.h"
#include "tool/build_command.h"
#include "tool/log_command.h"
#include "tool/manifest_command.h"
#include "tool/platform.h"
#include "tool/read_commands.h"
#include "tool/tool_errors.h"

namespace qv::tool {

namespace {

constexpr const char* kVersion = "qvsetup 0.1.0";
constexpr const char* kPathHelp = "a folder holding SETUP.0, a setup data file, or a program built with --exe";

SlOffsets SlFrom(const std::vector<std::int64_t>& values) {
    if (values.empty()) return std::nullopt;
    return std::make_pair(values[0], values[1]);
}

void AddSlOption(CLI::App* command, std::vector<std::int64_t>& values) {
    command->add_option("--sl", values, "the setup data lies in PATH at DATAOFFSET, the file data at FILEDATAOFFSET "
                                        "(0: in data files SETUP.n beside it), as Setup.exe /SL takes them")
        ->expected(2)
        ->type_name("DATAOFFSET FILEDATAOFFSET");
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress) {
    CLI::App app{"qvsetup: builds, lists, verifies and extracts QV Setup data, and prints uninstall logs.\n"
                 "Exit status: 0 ok, 1 usage or script error, 2 damaged setup data or uninstall log, 3 I/O failure.",
                 "qvsetup"};
    app.set_version_flag("--version", kVersion);
    app.require_subcommand(1);
    // On Windows CLI11 would take "/path" for an option; paths win.
    app.allow_windows_style_options(false);

    BuildOptions build;
    std::string script, output, singleFile, uninstaller;
    std::uint64_t diskSize = 0;
    auto* buildCommand = app.add_subcommand("build", "build setup data (SETUP.0, SETUP.1, ...) from a script");
    buildCommand->add_option("SCRIPT", script, "the build script (TOML; see docs/script.md)")->required();
    auto* outputOption = buildCommand->add_option("-o,--output", output, "the output folder (default: 'output' beside the script)");
    auto* diskOption = buildCommand->add_option("--disk-size", diskSize, "at most this many bytes per data file (overrides disk_size)")
                           ->check(CLI::Range(std::uint64_t{17}, std::uint64_t{0x7FFFFFFF}));
    auto* singleOption = buildCommand->add_option("--single-file", singleFile,
                                                  "write one file: the setup data at offset 0, the file data after it");
    auto* uninstallerOption = buildCommand->add_option(
        "--uninstaller", uninstaller,
        "the uninstaller (UNISTB32.EXE or UNISTB64.EXE) to carry when the script names none (default: the one beside qvsetup)");
    uninstallerOption->type_name("FILE");
    buildCommand->add_option("--level", build.Level, "zlib compression level, 0 to 9 (default 6)")->check(CLI::Range(0, 9));
    std::string compression;
    auto* compressionOption =
        buildCommand
            ->add_option("--compression", compression,
                         "deflate (each file on its own, the default) or solid (files compressed together with "
                         "LZMA2; overrides compression)")
            ->check(CLI::IsMember({"deflate", "solid"}));
    buildCommand->add_option("-j,--jobs", build.Jobs, "compress on N threads (default: one per processor); "
                                                      "the output is the same for any N")
        ->check(CLI::Range(1u, 1024u))
        ->type_name("N");
    singleOption->excludes(outputOption);
    singleOption->excludes(diskOption);
    std::string exe, engine;
    auto* exeOption = buildCommand->add_option(
        "--exe", exe, "write one Windows program: the engine with the whole installation inside, ready to sign");
    exeOption->type_name("FILE");
    auto* engineOption = buildCommand->add_option(
        "--engine", engine, "the engine Setup.exe of --exe (default: [setup] engine, else Setup.exe beside qvsetup)");
    engineOption->type_name("FILE");
    exeOption->excludes(outputOption);
    exeOption->excludes(diskOption);
    exeOption->excludes(singleOption);
    engineOption->needs(exeOption);

    std::string path, folder;
    std::vector<std::int64_t> sl;
    bool json = false;
    auto* listCommand = app.add_subcommand("list", "print every field of setup data");
    listCommand->add_option("PATH", path, kPathHelp)->required();
    listCommand->add_flag("--json", json, "print JSON (UTF-8) instead of text");
    AddSlOption(listCommand, sl);

    auto* verifyCommand = app.add_subcommand("verify", "check every block and every file's stream");
    verifyCommand->add_option("PATH", path, kPathHelp)->required();
    AddSlOption(verifyCommand, sl);

    auto* extractCommand = app.add_subcommand("extract", "write every file, checked, under a folder");
    extractCommand->add_option("PATH", path, kPathHelp)->required();
    extractCommand->add_option("-d,--directory", folder, "the folder to extract into")->required();
    AddSlOption(extractCommand, sl);

    std::string logFile;
    auto* logCommand = app.add_subcommand("log", "print an uninstall log: its header and every change it records");
    logCommand->add_option("FILE", logFile, "the uninstall log (UNINST1.nnn in the application folder)")->required();
    logCommand->add_flag("--json", json, "print JSON (UTF-8) instead of text");

    ManifestOptions manifest;
    std::string manifestId, manifestPublisher, manifestDescription;
    auto* manifestCommand = app.add_subcommand("manifest", "write winget manifests (schema 1.10.0) for a program built with --exe");
    manifestCommand->add_option("SCRIPT", manifest.Script, "the build script the program was built from")->required();
    manifestCommand->add_option("--exe", manifest.Program, "the program, as it is published (signed, if at all)")
        ->required()
        ->type_name("FILE");
    manifestCommand->add_option("--url", manifest.Url, "the address it is downloaded from (https://...)")->required();
    auto* idOption = manifestCommand->add_option("--id", manifestId, "the package identifier Publisher.App (default: <app_name>.<app_name>)");
    auto* publisherOption = manifestCommand->add_option("--publisher", manifestPublisher, "the publisher's name (default: the identifier's first part)");
    manifestCommand->add_option("--license", manifest.License, "the licence, such as MIT (default: Proprietary)");
    auto* descriptionOption = manifestCommand->add_option("--description", manifestDescription, "a short description (default: app_name_version)");
    manifestCommand->add_option("--locale", manifest.Locale, "the manifests' default locale (default: zh-CN)");
    manifestCommand->add_option("-o,--output", manifest.OutputFolder, "the folder to write the three manifests into")->required();

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error, out, err);
        return status == 0 ? kExitOk : kExitUsage;
    }

    try {
        if (*buildCommand) {
            build.Script = PathFromUtf8(script);
            if (*outputOption) build.OutputFolder = PathFromUtf8(output);
            if (*diskOption) build.DiskSize = diskSize;
            if (*compressionOption) build.Solid = compression == "solid";
            if (*singleOption) build.SingleFile = PathFromUtf8(singleFile);
            if (*uninstallerOption) build.Uninstaller = PathFromUtf8(uninstaller);
            if (*exeOption) build.Exe = PathFromUtf8(exe);
            if (*engineOption) build.Engine = PathFromUtf8(engine);
            RunBuild(build, out, err, progress);
        } else if (*listCommand) {
            RunList(path, SlFrom(sl), json, out);
        } else if (*verifyCommand) {
            RunVerify(path, SlFrom(sl), out, err, progress);
        } else if (*extractCommand) {
            RunExtract(path, SlFrom(sl), folder, out, err, progress);
        } else if (*manifestCommand) {
            if (*idOption) manifest.Id = manifestId;
            if (*publisherOption) manifest.Publisher = manifestPublisher;
            if (*descriptionOption) manifest.Description = manifestDescription;
            RunManifest(manifest, out);
        } else if (*logCommand) {
            RunLog(logFile, json, out);
        }
        return kExitOk;
    } catch (const ScriptErrors& errors) {
        for (const auto& message : errors.messages()) err << message << "\n";
        err << errors.messages().size() << (errors.messages().size() == 1 ? " error" : " errors")
            << " in the script; nothing was written\n";
        return kExitUsage;
    } catch (const UsageError& error) {
        err << "qvsetup: " << error.what() << "\n";
        return kExitUsage;
    } catch (const DamagedData& error) {
        err << "qvsetup: damaged: " << error.what() << "\n";
        return kExitDamaged;
    } catch (const Interrupted&) {
        err << "qvsetup: interrupted; nothing half-written was left behind\n";
        return kExitInterrupted;
    } catch (const IoFailure& error) {
        err << "qvsetup: " << error.what() << "\n";
        return kExitIo;
    } catch (const EInOutError& error) {
        err << "qvsetup: I/O failure: " << error.what() << "\n";
        return kExitIo;
    } catch (const std::bad_alloc&) {
        err << "qvsetup: out of memory\n";
        return kExitIo;
    } catch (const std::exception& error) {
        err << "qvsetup: " << error.what() << "\n";
        return kExitIo;
    }
}

}  // namespace qv::tool
