// Reads a build script into setup data: [setup] and the seven kinds of
// entries, each checked with its line. See docs/script.md.
#include <cctype>
#include <map>

#include "core/errors.h"
#include "core/io/streams.h"
#include "core/setupdata/records.h"
#include "tool/pe_version.h"
#include "tool/platform.h"
#include "tool/script.h"
#include "tool/script_entry.h"
#include "tool/text_checks.h"
#include "tool/tool_errors.h"
#include "tool/uninstaller_file.h"

namespace qv::tool {

namespace {

// Field limits in code page 936 bytes: string[N] holds N, char[N] N bytes.
constexpr std::size_t kString63 = 63, kString47 = 47, kString127 = 127;
constexpr std::size_t kSubKeyBytes = 128, kValueNameBytes = 48, kValueDataBytes = 256;
constexpr std::int64_t kInt32Max = 0x7FFFFFFF;

std::string Quoted(const fs::path& path) { return "'" + PathToUtf8(path) + "'"; }

class ScriptReader {
public:
    ScriptReader(const fs::path& path, const toml::table& root, const UninstallerSearch& search)
        : root_(root), folder_(path.parent_path()), problems_(PathToUtf8(path)), search_(search) {
        script_.Path = path;
    }

    BuildScript Read() {
        struct Kind {
            std::vector<std::string> Keys;
            void (*Read)(ScriptReader&, ScriptEntry&);
        };
        static const std::map<std::string, Kind> kinds = {
            {"dir", {{"name", "no_uninstall", "remove_at_end"}, &ScriptReader::ReadDir}},
            {"file", {{"source", "dest", "replace", "ask_overwrite", "no_uninstall", "restart_replace",
                       "delete_at_end", "self_register", "shared", "readme", "uninstall_data",
                       "compare_time", "version", "time"}, &ScriptReader::ReadFile}},
            {"icon", {{"name", "program", "parameters", "working_dir", "icon_file", "icon_index"},
                      &ScriptReader::ReadIcon}},
            {"ini", {{"file", "section", "key", "value", "uninstall"}, &ScriptReader::ReadIni}},
            {"registry", {{"root", "key", "name", "type", "value", "keep_existing", "uninstall"},
                          &ScriptReader::ReadRegistry}},
            {"uninstall_delete", {{"path"}, &ScriptReader::ReadUninstallDelete}},
            {"run", {{"program", "parameters", "no_wait"}, &ScriptReader::ReadRun}},
        };
        std::string known = "setup";
        for (const auto& kind : kinds) known += ", " + kind.first;

        const toml::node* setup = root_.get("setup");
        if (!setup) problems_.Add(1, "", "the table [setup] is missing (it needs at least app_name)");
        else if (!setup->is_table())
            problems_.Add(setup->source().begin.line, "", "'setup' must be a table ([setup]), not " + TypeName(setup->type()));
        else ReadSetup(*setup->as_table());

        for (auto&& [key, node] : root_) {
            const std::string name(key.str());
            if (name == "setup") continue;
            const auto kind = kinds.find(name);
            if (kind == kinds.end()) {
                problems_.Add(key.source().begin.line, "", "unknown table '" + name + "' (known: " + known + ")");
                continue;
            }
            const toml::array* entries = node.as_array();
            if (!entries) {
                problems_.Add(node.source().begin.line, "", "'" + name + "' must be an array of tables ([[" + name +
                              "]]), not " + TypeName(node.type()));
                continue;
            }
            for (std::size_t i = 0; i < entries->size(); ++i) {
                const std::string entryName = "[[" + name + "]] #" + std::to_string(i + 1);
                const toml::table* table = (*entries)[i].as_table();
                if (!table) {
                    problems_.Add((*entries)[i].source().begin.line, entryName,
                                  "must be a table, not " + TypeName((*entries)[i].type()));
                    continue;
                }
                ScriptEntry entry(problems_, *table, entryName, kind->second.Keys);
                kind->second.Read(*this, entry);
            }
        }
        AddUninstaller();
        if (!problems_.Empty()) problems_.Raise();
        return std::move(script_);
    }

private:
    fs::path Resolve(const std::string& relative) const {
        const fs::path path = PathFromUtf8(relative);
        return path.is_absolute() ? path : folder_ / path;
    }

    void ReadSetup(const toml::table& table) {
        ScriptEntry e(problems_, table, "[setup]",
                      {"app_name", "app_name_version", "footer", "default_folder", "default_group",
                       "uninstall_icon_title", "min_windows", "min_nt", "background_color",
                       "uninstallable", "own_app_folder", "no_folder_page", "no_group_page",
                       "allow_no_icons", "restart_after", "plain_background", "folder_in_program_files",
                       "uninstall_icon_always", "replace_uninstall_entries", "license_file",
                       "info_before_file", "info_after_file", "disk_size", "uninstaller", "engine", "sign",
                       "architecture", "compression"});
        setupRead_ = true;
        setupLine_ = table.source().begin.line;
        TSetupHeaderRec& h = script_.Data.SetupInfo;
        h.AppName = e.Text("app_name", kString63, true);
        if (e.Has("app_name") && h.AppName.empty()) e.Problem(e.Node("app_name"), "'app_name' must not be empty");
        h.AppNameVersion = e.Text("app_name_version", kString63, false, h.AppName);
        h.AppFooterText = e.Text("footer", kString63, false);
        h.DefaultFolderName = e.Text("default_folder", kString63, false, h.AppName);
        h.DefaultGroup = e.Text("default_group", kString63, false, h.AppName);
        h.UninstallIconTitle = e.Text("uninstall_icon_title", kString63, false);
        ReadMinVersion(e, "min_windows", h.MinWinVersionMajor, h.MinWinVersionMinor);
        ReadMinVersion(e, "min_nt", h.MinNTVersionMajor, h.MinNTVersionMinor);

        h.BackgroundColor = *ParseColor("#0000FF");
        if (const toml::node* node = e.Node("background_color")) {
            const auto color = node->is_string() ? ParseColor(node->as_string()->get()) : std::nullopt;
            if (color) h.BackgroundColor = *color;
            else e.Problem(node, "'background_color' must be \"#RRGGBB\" or a system colour: " +
                                     ListOfNames(SystemColorNames()));
        }

        h.Options = 0;
        for (const auto& option : HeaderOptionNames()) {
            // A new script gets an uninstallable application in its own folder.
            const bool byDefault = option.Value == optUninstallable || option.Value == optOwnAppFolder;
            if (e.Flag(option.Name, byDefault)) h.Options = static_cast<std::uint16_t>(h.Options | option.Value);
        }

        script_.Data.LicenseText = ReadText(e, "license_file");
        script_.Data.InfoBeforeText = ReadText(e, "info_before_file");
        script_.Data.InfoAfterText = ReadText(e, "info_after_file");
        if (const auto size = e.Integer("disk_size", 17, kInt32Max)) script_.DiskSize = static_cast<std::uint64_t>(*size);
        ReadArchitectureKey(e);
        ReadCompressionKey(e);
        ReadUninstallerKey(e);
        ReadEngineKey(e);
        // A command of this machine, like a path: any UTF-8.
        const std::string sign = e.LocalPath("sign", false);
        if (!sign.empty() && (sign.find("{in}") == std::string::npos || sign.find("{out}") == std::string::npos))
            e.Problem(e.Node("sign"), "'sign' must name the file to sign as {in} and the signed file as {out}");
        else if (!sign.empty()) script_.SignCommand = sign;
    }

    // [setup] architecture: "x86" (the i686 engine, a 32-bit application) or
    // "x64" (the x86-64 engine, a 64-bit one); without it the engine's or
    // the uninstaller's machine type decides.
    void ReadArchitectureKey(ScriptEntry& e) {
        const toml::node* node = e.Node("architecture");
        if (!node) return;
        const auto type = node->is_string() ? MachineTypeNamed(node->as_string()->get()) : std::nullopt;
        if (type) script_.Architecture = type;
        else e.Problem(node, "'architecture' must be \"x86\" or \"x64\"");
    }

    // [setup] compression: "deflate" (each file its own zlib stream, which
    // every engine reads) or "solid" (the files compressed together in
    // LZMA2 blocks); --compression overrides it.
    void ReadCompressionKey(ScriptEntry& e) {
        const toml::node* node = e.Node("compression");
        if (!node) return;
        const std::string value = node->is_string() ? node->as_string()->get() : std::string();
        if (value == "solid") script_.Solid = true;
        else if (value != "deflate") e.Problem(node, "'compression' must be \"deflate\" or \"solid\"");
    }

    // [setup] engine: the Setup.exe that `build --exe` puts in front of the
    // installation (--engine overrides it).
    void ReadEngineKey(ScriptEntry& e) {
        const std::string name = e.LocalPath("engine", false);
        if (name.empty()) return;
        const ScriptSource engine{Resolve(name), name};
        std::error_code error;
        if (!fs::is_regular_file(engine.Path, error))
            e.Problem(e.Node("engine"), "'engine' names " + Quoted(engine.Path) + ", which is not a file");
        else script_.Engine = engine;
    }

    // [setup] uninstaller: the uninstaller to carry, or false for none.
    // A named file is checked even where the script needs none, as every
    // source is.
    void ReadUninstallerKey(ScriptEntry& e) {
        const toml::node* node = e.Node("uninstaller");
        if (!node) return;
        uninstallerKeyGiven_ = true;
        if (const auto* flag = node->as_boolean()) {
            if (flag->get())
                e.Problem(node, "'uninstaller' is true, but must be the path of the uninstaller to carry "
                                "(UNISTB32.EXE or UNISTB64.EXE), or false to carry none");
            else uninstallerOptedOut_ = true;
            return;
        }
        if (!node->is_string()) {
            e.Problem(node, "'uninstaller' must be a path (a string) or false, not " + TypeName(node->type()));
            return;
        }
        const std::string name = e.LocalPath("uninstaller", false);
        if (name.empty()) return;
        FoundUninstaller named;
        named.Source = {Resolve(name), name};
        named.Origin = "[setup] uninstaller";
        if (const auto problem = MakeUninstallerRecord(named.Source.Path, named.Record, named.Machine))
            e.Problem(node, "'uninstaller' names " + Quoted(named.Source.Path) + ", which " + *problem);
        else namedUninstaller_ = named;
    }

    // After every entry: an uninstallable installation gets the uninstaller
    // as its first file, unless the author opted out or installs one of
    // their own. The script's choice comes before the command line's, and
    // that before the copy shipped beside qvsetup.
    void AddUninstaller() {
        if (!setupRead_) return;  // no [setup]: already a mistake
        if (!(script_.Data.SetupInfo.Options & optUninstallable)) {
            script_.Uninstaller = "none (the installation is not uninstallable)";
            return;
        }
        if (uninstallerOptedOut_) {
            script_.Uninstaller = "none (uninstaller = false)";
            return;
        }
        const auto& files = script_.Data.FileRecords;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!IsUninstallerDest(files[i].DestPath)) continue;
            script_.Uninstaller = "the script's own [[file]] #" + std::to_string(i + 1) + " (" + files[i].DestPath + ")";
            return;
        }
        std::optional<FoundUninstaller> chosen = namedUninstaller_;
        if (uninstallerKeyGiven_) {
            if (!chosen) return;  // its mistake is noted
        } else {
            UninstallerSearchResult searched = SearchUninstaller(search_, script_.Architecture);
            if (!searched.Found) {
                // --uninstaller is no line of the script.
                if (searched.ProblemOfCommandLine) problems_.Add(0, "", searched.Problem);
                else problems_.Add(setupLine_, "[setup]", searched.Problem);
                return;
            }
            chosen = std::move(searched.Found);
        }
        if (script_.Architecture && *script_.Architecture != chosen->Machine) {
            const std::string problem = "the uninstaller " + Quoted(chosen->Source.Path) + " (" + chosen->Origin +
                                        ") is an " + MachineTypeName(chosen->Machine) +
                                        " program, but [setup] architecture is " +
                                        MachineTypeName(*script_.Architecture) + ": carry " +
                                        UninstallerFileName(*script_.Architecture) + " of the " +
                                        MachineTypeName(*script_.Architecture) + " build";
            problems_.Add(setupLine_, "[setup]", problem);
            return;
        }
        script_.Architecture = chosen->Machine;
        const TFileRec& f = chosen->Record;
        script_.Uninstaller = f.DestPath + " " + VersionText(f.FileVersionMS, f.FileVersionLS) +
                              " from " + Quoted(chosen->Source.Path) + " (" + chosen->Origin + ")";
        script_.Data.FileRecords.insert(script_.Data.FileRecords.begin(), f);
        script_.Data.FileLocationRecords.emplace(script_.Data.FileLocationRecords.begin());
        script_.Sources.insert(script_.Sources.begin(), chosen->Source);
    }

    void ReadMinVersion(ScriptEntry& e, const char* key, std::uint8_t& major, std::uint8_t& minor) {
        major = 4;
        minor = 0;
        const toml::node* node = e.Node(key);
        if (!node) return;
        const std::string text = node->is_string() ? node->as_string()->get() : std::string();
        const auto dot = text.find('.');
        const std::string majorText = text.substr(0, dot);
        const std::string minorText = dot == std::string::npos ? "0" : text.substr(dot + 1);
        const auto number = [](const std::string& digits) -> int {
            if (digits.empty() || digits.size() > 3) return -1;
            for (char c : digits)
                if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
            const int value = std::stoi(digits);
            return value <= 255 ? value : -1;
        };
        const int a = number(majorText), b = number(minorText);
        if (a < 0 || b < 0) {
            e.Problem(node, "'" + std::string(key) + "' must be a version such as \"4.0\" or \"3.51\" "
                            "(major.minor, each 0 to 255), or \"0\" for never");
            return;
        }
        major = static_cast<std::uint8_t>(a);
        minor = static_cast<std::uint8_t>(b);
    }

    std::string ReadText(ScriptEntry& e, const char* key) {
        const toml::node* node = e.Node(key);
        const std::string name = e.LocalPath(key, false);
        if (name.empty()) return {};
        const fs::path path = Resolve(name);
        try {
            std::string text = ReadTextFile(path);
            if (text.size() > static_cast<std::size_t>(kInt32Max)) throw std::runtime_error("is larger than 2 GiB");
            return text;
        } catch (const std::runtime_error& problem) {
            e.Problem(node, "'" + std::string(key) + "' names " + Quoted(path) + ", which " + problem.what());
            return {};
        }
    }

    static void ReadDir(ScriptReader& r, ScriptEntry& e) {
        TDirRec d;
        d.DirName = e.Text("name", kString47, true);
        if (e.Flag("no_uninstall")) d.Flags |= dfNoUninstall;
        if (e.Flag("remove_at_end")) d.Flags |= dfRemoveAtEnd;
        r.script_.Data.DirRecords.push_back(d);
    }

    static void ReadFile(ScriptReader& r, ScriptEntry& e) {
        TFileRec f;
        ScriptSource source;
        source.AsWritten = e.LocalPath("source", true);
        const bool sourceFound = !source.AsWritten.empty() && r.CheckSource(e, source);
        for (const auto& flag : FileFlagNames())
            if (e.Flag(flag.Name)) f.FileFlags = static_cast<std::uint8_t>(f.FileFlags | flag.Value);
        // The engine installs uninstall data under its own name, not at dest.
        f.DestPath = e.Text("dest", kString63, !(f.FileFlags & ffUninstallData));
        if (e.Has("dest") && f.DestPath.empty() && !(f.FileFlags & ffUninstallData))
            e.Problem(e.Node("dest"), "'dest' must not be empty");
        f.ReplaceMode = static_cast<std::uint8_t>(e.Choice("replace", ReplaceModeNames(), "normal"));
        if (e.Flag("compare_time")) f.VersionFlags |= vfCompareTime;
        r.ReadFileVersion(e, f, sourceFound ? &source.Path : nullptr);
        r.ReadFileTime(e, f, sourceFound ? &source.Path : nullptr);
        r.script_.Data.FileRecords.push_back(f);
        r.script_.Data.FileLocationRecords.emplace_back();
        r.script_.Sources.push_back(source);
    }

    bool CheckSource(ScriptEntry& e, ScriptSource& source) {
        source.Path = Resolve(source.AsWritten);
        std::error_code error;
        const auto status = fs::status(source.Path, error);
        if (!fs::exists(status)) {
            e.Problem(e.Node("source"), "'source' names " + Quoted(source.Path) + ", which does not exist");
            return false;
        }
        if (!fs::is_regular_file(status)) {
            e.Problem(e.Node("source"), "'source' names " + Quoted(source.Path) + ", which is not a file");
            return false;
        }
        return true;
    }

    void ReadFileVersion(ScriptEntry& e, TFileRec& f, const fs::path* source) {
        const toml::node* node = e.Node("version");
        if (!node) {
            if (!source) return;
            try {
                FileInStream in(PathToUtf8(*source));
                if (const auto version = ReadPeFileVersion(in)) {
                    f.FileVersionMS = version->MS;
                    f.FileVersionLS = version->LS;
                    f.VersionFlags |= vfHasVersion;
                }
            } catch (const EInOutError& error) {
                e.Problem(e.Node("source"), "'source' names " + Quoted(*source) + ", which cannot be read: " + error.what());
            }
            return;
        }
        const std::string text = node->is_string() ? node->as_string()->get() : std::string();
        if (text == "none") return;
        std::uint32_t parts[4] = {0, 0, 0, 0};
        int count = 0;
        bool valid = node->is_string() && !text.empty();
        for (std::size_t pos = 0; valid && pos <= text.size();) {
            const std::size_t dot = std::min(text.find('.', pos), text.size());
            const std::string digits = text.substr(pos, dot - pos);
            valid = count < 4 && !digits.empty() && digits.size() <= 5 &&
                    digits.find_first_not_of("0123456789") == std::string::npos && std::stoul(digits) <= 0xFFFF;
            if (valid) parts[count++] = static_cast<std::uint32_t>(std::stoul(digits));
            pos = dot + 1;
        }
        if (!valid) {
            e.Problem(node, "'version' must be \"a.b.c.d\" (each part 0 to 65535; missing parts are 0) or \"none\"");
            return;
        }
        f.FileVersionMS = parts[0] << 16 | parts[1];
        f.FileVersionLS = parts[2] << 16 | parts[3];
        f.VersionFlags |= vfHasVersion;
    }

    void ReadFileTime(ScriptEntry& e, TFileRec& f, const fs::path* source) {
        const toml::node* node = e.Node("time");
        if (!node) {
            if (!source) return;
            try {
                f.FileTime = LocalFileTimeOf(*source);
            } catch (const IoFailure& error) {
                e.Problem(e.Node("source"), error.what());
            }
            return;
        }
        CalendarTime c;
        bool valid = false;
        if (const auto* dateTime = node->as_date_time(); dateTime && !dateTime->get().offset) {
            const toml::date_time& t = dateTime->get();
            c = {t.date.year, t.date.month, t.date.day, t.time.hour, t.time.minute, t.time.second,
                 t.time.nanosecond / 100};
            valid = true;
        } else if (const auto* date = node->as_date()) {
            c.Year = date->get().year;
            c.Month = date->get().month;
            c.Day = date->get().day;
            valid = true;
        }
        if (!valid || !FileTimeFromCalendar(c, f.FileTime))
            e.Problem(node, "'time' must be a local date-time such as 2024-05-01T12:30:00 (no time zone: "
                            "the engine takes it as local time), from the year 1601 on");
    }

    static void ReadIcon(ScriptReader& r, ScriptEntry& e) {
        TIconRec icon;
        icon.IconPath = e.Text("name", kString47, true);
        icon.Filename = e.Text("program", kString63, true);
        icon.Parameters = e.Text("parameters", kString127, false);
        icon.WorkingFolder = e.Text("working_dir", kString47, false);
        icon.IconFile = e.Text("icon_file", kString63, false);
        icon.IconIndex = static_cast<std::int32_t>(e.Integer("icon_index", -kInt32Max - 1, kInt32Max).value_or(0));
        r.script_.Data.IconRecords.push_back(icon);
    }

    static void ReadIni(ScriptReader& r, ScriptEntry& e) {
        TIniRec ini;
        ini.Filename = e.Text("file", kString63, false);
        ini.Section = e.Text("section", kString47, true);
        ini.Entry = e.Text("key", kString47, true);
        ini.Value = e.Text("value", kString127, false);
        ini.Flags = static_cast<std::uint8_t>(e.Choice("uninstall", IniUninstallNames(), "none"));
        r.script_.Data.IniRecords.push_back(ini);
    }

    static void ReadRegistry(ScriptReader& r, ScriptEntry& e) {
        TRegistryRec reg;
        reg.RootKey = e.Choice("root", RegistryRootNames(), nullptr, true);
        reg.SubKey = e.Text("key", kSubKeyBytes, true);
        reg.ValueName = e.Text("name", kValueNameBytes, false);
        reg.ValueType = static_cast<std::uint8_t>(e.Choice("type", RegistryTypeNames(), "none"));
        if (e.Flag("keep_existing")) reg.Flags |= rfKeepExistingValue;
        reg.Flags = static_cast<std::uint8_t>(reg.Flags | e.Choice("uninstall", RegistryUninstallNames(), "none"));
        const toml::node* value = e.Node("value");
        const std::string typeName = NameOfValue(RegistryTypeNames(), reg.ValueType).value_or("none");
        if (reg.ValueType == rtNone) {
            if (value) e.Problem(value, "'value' has no meaning for type \"none\" (set 'type' to give the key a value)");
        } else if (!value) {
            e.Problem("'value' is missing (type \"" + typeName + "\" needs one)");
        } else if (reg.ValueType == rtString || reg.ValueType == rtExpandString) {
            reg.ValueString = e.Text("value", kValueDataBytes, true);
        } else if (reg.ValueType == rtDWord) {
            if (const auto number = e.Integer("value", -kInt32Max - 1, 0xFFFFFFFFll))
                reg.ValueDWord = static_cast<std::uint32_t>(*number);
        } else if (reg.ValueType == rtBinary) {
            ReadBinary(e, value, reg.ValueBinary);
        }
        r.script_.Data.RegistryRecords.push_back(reg);
    }

    static void ReadBinary(ScriptEntry& e, const toml::node* node, std::vector<std::uint8_t>& bytes) {
        const std::string text = node->is_string() ? node->as_string()->get() : std::string();
        std::string digits;
        bool valid = node->is_string();
        for (char c : text) {
            if (c == ' ') continue;
            valid = valid && std::isxdigit(static_cast<unsigned char>(c));
            digits += c;
        }
        if (!valid || digits.size() % 2 != 0) {
            e.Problem(node, "'value' of type \"binary\" must be hexadecimal bytes such as \"01 a0 ff\"");
            return;
        }
        for (std::size_t i = 0; i < digits.size(); i += 2)
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
        if (bytes.size() > TRegistryRec::kMaxBinarySize)
            e.Problem(node, "'value' is " + std::to_string(bytes.size()) + " bytes, at most " +
                                std::to_string(TRegistryRec::kMaxBinarySize) + " allowed");
    }

    static void ReadUninstallDelete(ScriptReader& r, ScriptEntry& e) {
        r.script_.Data.UninstallDeleteRecords.push_back({e.Text("path", kString63, true)});
    }

    static void ReadRun(ScriptReader& r, ScriptEntry& e) {
        TRunRec run;
        run.Filename = e.Text("program", kString63, true);
        run.Parameters = e.Text("parameters", kString127, false);
        if (e.Flag("no_wait")) run.Flags |= rnNoWait;
        r.script_.Data.RunRecords.push_back(run);
    }

    const toml::table& root_;
    fs::path folder_;
    ScriptProblems problems_;
    const UninstallerSearch& search_;
    BuildScript script_;
    bool setupRead_ = false;
    std::uint32_t setupLine_ = 0;
    bool uninstallerKeyGiven_ = false;
    bool uninstallerOptedOut_ = false;
    std::optional<FoundUninstaller> namedUninstaller_;
};

}  // namespace

BuildScript ReadScript(const fs::path& path, const UninstallerSearch& uninstaller) {
    std::string content;
    try {
        FileInStream in(PathToUtf8(path));
        content.resize(static_cast<std::size_t>(in.Size()));
        in.ReadExact(content.data(), content.size());
    } catch (const EInOutError& error) {
        throw UsageError("cannot read the script '" + PathToUtf8(path) + "': " + error.what());
    }
    toml::table root;
    try {
        root = toml::parse(std::string_view(content), std::string_view(PathToUtf8(path)));
    } catch (const toml::parse_error& error) {
        const auto& at = error.source().begin;
        throw ScriptErrors({PathToUtf8(path) + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) +
                            ": " + std::string(error.description())});
    }
    return ScriptReader(path, root, uninstaller).Read();
}

}  // namespace qv::tool
