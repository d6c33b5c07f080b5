// Writes the seed corpus of every fuzz target with the project's own
// writers, so that the fuzzers start from valid input and reach the checks
// behind the first ones. Run by the build:
//   make_seeds OUTPUT_FOLDER SOURCE_FOLDER
// OUTPUT_FOLDER gets one folder per target; the scripts are the build
// scripts of SOURCE_FOLDER's examples and tests and the ones in fuzz/seeds.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/journal/journal_writer.h"
#include "core/io/streams.h"
#include "core/setupdata/data_files.h"
#include "core/setupdata/program_payload.h"
#include "core/setupdata/setup_data.h"
#include "core/uninstall/uninstall_log.h"
#include "data_file_case.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

void WriteSeed(const fs::path& folder, const std::string& name, const Bytes& bytes) {
    qv::FileOutStream out((folder / name).string());
    out.Write(bytes.data(), bytes.size());
    out.Close();
}

Bytes ReadFile(const fs::path& path) {
    qv::FileInStream in(path.string());
    Bytes bytes(static_cast<std::size_t>(in.Size()));
    in.ReadExact(bytes.data(), bytes.size());
    return bytes;
}

// Text-like bytes that compress, then a run that does not.
Bytes Content(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = i < size / 2 ? static_cast<std::uint8_t>('a' + i % 7) : static_cast<std::uint8_t>(seed >> 24);
    }
    return bytes;
}

qv::SetupData EveryKindOfRecord() {
    qv::SetupData d;
    auto& h = d.SetupInfo;
    h.AppName = "你好";
    h.AppNameVersion = "你好 1.0";
    h.DefaultFolderName = "Hello";
    h.DefaultGroup = "你好";
    h.MinWinVersionMajor = 4;
    h.MinNTVersionMajor = 4;
    h.Options = qv::optUninstallable | qv::optOwnAppFolder;
    d.LicenseText = "许可协议\r\nLicence";
    d.InfoBeforeText = "before";
    d.InfoAfterText = "after";
    d.DirRecords = {{"{app}\\data", qv::dfNoUninstall}};
    for (int i = 0; i < 2; ++i) {
        qv::TFileRec f;
        f.DestPath = "{app}\\f" + std::to_string(i);
        f.OriginalSize = 100 + i;
        f.FileFlags = static_cast<std::uint8_t>(1 << i);
        f.VersionFlags = qv::vfHasVersion;
        d.FileRecords.push_back(f);
        d.FileLocationRecords.push_back({1, 1, 12 + 100 * i});
    }
    d.IconRecords = {{"{group}\\你好", "{app}\\hello.exe", "/x", "{app}", "", 1}};
    d.IniRecords = {{"{win}\\x.ini", "S", "K", "V", qv::ifUninstDeleteKey}};
    const std::uint8_t types[] = {qv::rtNone, qv::rtString, qv::rtDWord, qv::rtBinary};
    for (const std::uint8_t type : types) {
        qv::TRegistryRec r;
        r.SubKey = "Software\\QV";
        r.ValueName = "V" + std::to_string(type);
        r.ValueType = type;
        r.ValueString = type == qv::rtString ? "{app}" : "";
        r.ValueDWord = 7;
        if (type == qv::rtBinary) r.ValueBinary = {1, 2, 0xFF};
        d.RegistryRecords.push_back(r);
    }
    d.UninstallDeleteRecords = {{"{app}\\*.log"}};
    d.RunRecords = {{"{app}\\hello.exe", "", qv::rnNoWait}};
    return d;
}

void SetupDataSeeds(const fs::path& folder) {
    const auto written = [](const qv::SetupData& d, int level) {
        qv::MemoryOutStream out;
        qv::WriteSetupData(out, d, level);
        return out.Bytes();
    };
    qv::SetupData empty;
    empty.SetupInfo.AppName = "A";
    WriteSeed(folder, "empty", written(empty, 9));
    WriteSeed(folder, "every-kind-compressed", written(EveryKindOfRecord(), 9));
    // Level 0 stores every block: the other branch of the block reader.
    WriteSeed(folder, "every-kind-stored", written(EveryKindOfRecord(), 0));
}

void UninstallLogSeeds(const fs::path& folder) {
    using qv::TChangeEntry;
    WriteSeed(folder, "empty", qv::EncodeUninstallLog("空", false, {}));
    const std::vector<TChangeEntry> entries = {
        TChangeEntry::Make(qv::ekFolder, {"D:\\程序"}, qv::efFolderNotify),
        TChangeEntry::Make(qv::ekFile, {"D:\\程序\\a.dll", "D:\\程序\\qv-1.tmp"}, qv::efSharedCount),
        TChangeEntry::Make(qv::ekProgManItem, {"软件组", "说明"}, 0),
        TChangeEntry::Make(qv::ekIniKey, {"", "设置", "路径"}, 0),
        TChangeEntry::Make(qv::ekIniSection, {"x.ini", "S"}, 0),
        TChangeEntry::Make(qv::ekRegKeyTree, {"Software\\QV"}, qv::kHkeyCurrentUser),
        TChangeEntry::Make(qv::ekRegDefaultValue, {"Software\\QV"}, qv::kHkeyLocalMachine),
        TChangeEntry::Make(qv::ekRegKeyIfEmpty, {"Software\\QV"}, qv::kHkeyLocalMachine),
        TChangeEntry::Make(qv::ekRegValue, {"Software\\QV", "Name"}, qv::kHkeyLocalMachine),
        // A kind this system does not know is skipped by the uninstaller.
        TChangeEntry::Make(static_cast<qv::TChangeKind>(12), {"later"}, 0),
    };
    WriteSeed(folder, "every-kind", qv::EncodeUninstallLog("你好", true, entries));
}

// Journals as the writer leaves them: whole, with a record of every kind;
// cut inside its last record; and with a middle record spoilt.
void JournalSeeds(const fs::path& folder) {
    namespace j = qv::journal;
    struct Sink : j::JournalSink {
        Bytes bytes;
        void Append(const std::uint8_t* data, std::size_t count) override {
            bytes.insert(bytes.end(), data, data + count);
        }
        void Flush() override {}
    } sink;
    j::JournalHeader header;
    header.ProcessId = 1234;
    header.ProcessCreationTime = 0x01D9000000000000ull;
    header.AppName = "你好";
    header.AppFolder = "C:\\应用";
    j::JournalWriter writer(sink, header);
    const std::vector<j::JournalFact> facts = {
        j::FileMovedAside{"C:\\应用\\a.dll", "C:\\J\\qv-1.bak", 0x20, 1, 2, 3},
        j::FileWasAbsent{"C:\\应用\\b.lnk", j::jfNotifyShell},
        j::FolderCreated{"C:\\应用", 0},
        j::IniValueBefore{"C:\\W\\x.ini", "S", "K", true, "v"},
        j::RegKeyWasAbsent{0x80000002u, "Software\\QV", j::jfWholeTree},
        j::RegValueBefore{0x80000001u, "Software\\QV", "N", {true, 4, std::string("\x01\0\0\0", 4)}},
        j::RegKeyTreeBefore{0x80000002u, "Software\\U", {{"", {{"DisplayName", 1, "x"}}}, {"Sub", {}}}},
        j::SharedCountRaised{"C:\\W\\s.dll", {false, 0, ""}},
        j::RestartRenameAdded{"C:\\应用\\qv-2.tmp", "C:\\应用\\a.dll", j::RestartRenameWay::WininitIni},
        j::LibraryRegistered{"C:\\应用\\r.ocx"},
        j::ProgManItemAdded{"组", "项"},
    };
    std::uint32_t change = 1;
    for (const j::JournalFact& fact : facts) {
        writer.WriteAhead(change, fact);
        writer.MarkDone(change++);
    }
    writer.MarkUndone(2, 1);
    writer.MarkComplete();
    WriteSeed(folder, "every-kind", sink.bytes);
    WriteSeed(folder, "cut", Bytes(sink.bytes.begin(), sink.bytes.end() - 7));
    Bytes spoilt = sink.bytes;
    spoilt[spoilt.size() / 2] ^= 0x10;
    WriteSeed(folder, "spoilt", spoilt);
}

qv::fuzz::DataFileCase CaseOf(const qv::StoredStream& stored) {
    qv::fuzz::DataFileCase c;
    c.File.OriginalSize = stored.OriginalSize;
    c.File.CompressedSize = stored.CompressedSize;
    c.File.Adler32 = stored.Adler32;
    c.Location = stored.Location;
    return c;
}

// Streams written by FileDataWriter into data files of at most `diskSize`
// bytes (0: one data file); one seed per stream with the disks it spans.
void DataFileSeeds(const fs::path& folder, const fs::path& scratch, const std::string& name,
                   std::uint64_t diskSize, const std::vector<Bytes>& contents) {
    const fs::path disks = scratch / name;
    fs::create_directories(disks);
    qv::FileDataWriter writer(disks.string(), diskSize, 9);
    std::vector<qv::StoredStream> stored;
    for (const Bytes& content : contents) {
        qv::MemoryInStream in(content);
        stored.push_back(writer.AddStream(in));
    }
    writer.Finish();
    for (std::size_t i = 0; i < stored.size(); ++i) {
        qv::fuzz::DataFileCase c = CaseOf(stored[i]);
        for (std::int32_t n = c.Location.FirstDisk; n <= c.Location.LastDisk; ++n)
            c.Sources.push_back(ReadFile(disks / ("SETUP." + std::to_string(n))));
        WriteSeed(folder, name + "-" + std::to_string(i), qv::fuzz::EncodeCase(c));
    }
}

// The single-file layout: the /SL file holds some bytes of its own, then
// the file data without a data file header.
void SlFileSeed(const fs::path& folder) {
    qv::MemoryOutStream data;
    qv::FileDataWriter writer(data, 9);
    qv::MemoryInStream in(Content(600, 3));
    qv::fuzz::DataFileCase c = CaseOf(writer.AddStream(in));
    writer.Finish();
    c.SlFileDataOffset = 20;
    Bytes sl(20, 'M');
    sl.insert(sl.end(), data.Bytes().begin(), data.Bytes().end());
    c.Sources.push_back(sl);
    WriteSeed(folder, "sl-file", qv::fuzz::EncodeCase(c));
}

// A small PE image (two sections of raw data) alone, and as a program with
// a payload behind it, signed-looking with a certificate table appended.
Bytes SmallImage() {
    Bytes image(0x800, 0);
    std::uint8_t* p = image.data();
    p[0] = 'M';
    p[1] = 'Z';
    qv::SetUi32(p + 0x3C, 0x80);
    p[0x80] = 'P';
    p[0x81] = 'E';
    qv::SetUi16(p + 0x84, 0x14C);
    qv::SetUi16(p + 0x86, 2);
    qv::SetUi16(p + 0x94, 224);
    qv::SetUi16(p + 0x98, 0x10B);
    qv::SetUi32(p + 0x98 + 60, 0x400);
    qv::SetUi32(p + 0x98 + 92, 16);
    for (std::uint32_t i = 0; i < 2; ++i) {
        qv::SetUi32(p + 0x98 + 224 + 40 * i + 16, 0x200);
        qv::SetUi32(p + 0x98 + 224 + 40 * i + 20, 0x400 + 0x200 * i);
    }
    return image;
}

void ProgramSeeds(const fs::path& folder, const fs::path& scratch) {
    WriteSeed(folder, "engine", SmallImage());
    qv::EngineImage engine;
    qv::MakeEngineImage(SmallImage(), engine);
    fs::create_directories(scratch);
    {
        qv::FileOutStream out((scratch / "program").string());
        qv::ProgramWriter writer(out, engine);
        qv::MemoryOutStream setup;
        qv::WriteSetupData(setup, EveryKindOfRecord(), 9);
        writer.Payload().Write(setup.Bytes().data(), setup.Bytes().size());
        const auto fileData = static_cast<std::int64_t>(out.Position());
        const Bytes streams = Content(700, 5);
        writer.Payload().Write(streams.data(), streams.size());
        writer.Finish(fileData);
        out.Close();
    }
    Bytes program = ReadFile(scratch / "program");
    WriteSeed(folder, "program", program);
    qv::SetUi32(program.data() + 0x98 + 96 + 32, static_cast<std::uint32_t>(program.size()));
    qv::SetUi32(program.data() + 0x98 + 96 + 36, 16);
    program.insert(program.end(), 16, 0x30);
    WriteSeed(folder, "signed-program", program);
}

void ScriptSeeds(const fs::path& folder, const fs::path& source) {
    for (const char* from : {"examples/hello", "tests/tool/scripts", "tests/tool/scripts/errors", "fuzz/seeds/script"}) {
        const fs::path dir = source / from;
        if (!fs::is_directory(dir)) continue;
        for (const auto& item : fs::directory_iterator(dir)) {
            if (item.path().extension() != ".toml") continue;
            fs::copy_file(item.path(), folder / (fs::path(from).filename().string() + "-" + item.path().filename().string()),
                          fs::copy_options::overwrite_existing);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER SOURCE_FOLDER\n", argv[0]);
        return 1;
    }
    try {
        const fs::path out = argv[1];
        fs::remove_all(out);
        for (const char* target : {"setup_data", "data_files", "uninstall_log", "journal", "program_payload", "script_reader"})
            fs::create_directories(out / target);
        SetupDataSeeds(out / "setup_data");
        UninstallLogSeeds(out / "uninstall_log");
        JournalSeeds(out / "journal");
        const fs::path scratch = out / "scratch";
        DataFileSeeds(out / "data_files", scratch, "one-disk", 0, {Content(2000, 1), {}, {'h', 'i'}});
        DataFileSeeds(out / "data_files", scratch, "spanning", 300, {Content(1500, 2)});
        fs::remove_all(scratch);
        SlFileSeed(out / "data_files");
        ProgramSeeds(out / "program_payload", scratch);
        fs::remove_all(scratch);
        ScriptSeeds(out / "script_reader", argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_seeds: %s\n", error.what());
        return 1;
    }
    return 0;
}
