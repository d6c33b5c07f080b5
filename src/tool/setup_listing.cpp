#include "tool/setup_listing.h"

#include <cstdio>

#include "tool/platform.h"
#include "tool/record_names.h"

namespace qv::tool {

using Json = nlohmann::ordered_json;

namespace {

std::string Hex(std::uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
    return buffer;
}

// A name of `table`, or null for a value that no name stands for.
Json NameOr(const NameTable& table, std::uint32_t value) {
    const auto name = NameOfValue(table, value);
    return name ? Json(*name) : Json(nullptr);
}

std::string MinVersion(std::uint8_t major, std::uint8_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

// As the script writes it: 2024-05-01T12:30:00, with 100-ns digits when set.
std::string TimeText(std::uint64_t fileTime) {
    const CalendarTime c = CalendarFromFileTime(fileTime);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", c.Year, c.Month, c.Day, c.Hour, c.Minute,
                  c.Second);
    std::string text = buffer;
    if (c.HundredNanoseconds) {
        std::snprintf(buffer, sizeof buffer, ".%07u", c.HundredNanoseconds);
        text += buffer;
    }
    return text;
}

void AddFlags(Json& object, const NameTable& table, std::uint32_t bits) {
    for (const auto& flag : table) object[flag.Name] = (bits & flag.Value) != 0;
}

Json TextOrNull(const std::string& text, std::int32_t size) { return size > 0 ? Json(text) : Json(nullptr); }

Json Header(const TSetupHeaderRec& h) {
    Json j;
    j["app_name"] = h.AppName;
    j["app_name_version"] = h.AppNameVersion;
    j["footer"] = h.AppFooterText;
    j["default_folder"] = h.DefaultFolderName;
    j["default_group"] = h.DefaultGroup;
    j["uninstall_icon_title"] = h.UninstallIconTitle;
    j["min_windows"] = MinVersion(h.MinWinVersionMajor, h.MinWinVersionMinor);
    j["min_nt"] = MinVersion(h.MinNTVersionMajor, h.MinNTVersionMinor);
    j["background_color"] = ColorText(h.BackgroundColor);
    AddFlags(j, HeaderOptionNames(), h.Options);
    j["counts"] = {{"dir", h.DirCount}, {"file", h.FileCount}, {"icon", h.IconCount}, {"ini", h.IniCount},
                   {"registry", h.RegistryCount}, {"uninstall_delete", h.UninstallDeleteCount}, {"run", h.RunCount}};
    j["text_sizes"] = {{"license", h.LicenseTextSize}, {"info_before", h.InfoBeforeTextSize},
                       {"info_after", h.InfoAfterTextSize}};
    j["raw"] = {{"options", Hex(h.Options, 4)},
                {"background_color", Hex(static_cast<std::uint32_t>(h.BackgroundColor), 8)}};
    return j;
}

Json File(const SetupLocation& where, const TFileRec& f, const TFileLocationRec& location, const std::uint32_t* member) {
    Json j;
    j["dest"] = f.DestPath;
    j["replace"] = NameOr(ReplaceModeNames(), f.ReplaceMode);
    AddFlags(j, FileFlagNames(), f.FileFlags);
    j["compare_time"] = (f.VersionFlags & vfCompareTime) != 0;
    j["version"] = (f.VersionFlags & vfHasVersion) ? Json(VersionText(f.FileVersionMS, f.FileVersionLS)) : Json("none");
    j["time"] = TimeText(f.FileTime);
    j["original_size"] = f.OriginalSize;
    j["compressed_size"] = f.CompressedSize;
    j["adler32"] = Hex(f.Adler32, 8);
    Json place;
    place["first_disk"] = location.FirstDisk;
    place["last_disk"] = location.LastDisk;
    place["start_offset"] = location.StartOffset;
    if (where.FileDataOffset != 0) {
        place["file"] = PathToUtf8(where.SetupFile.filename());
        place["offset_in_file"] = std::int64_t{where.FileDataOffset} + location.StartOffset;
    } else {
        place["file"] = "SETUP." + std::to_string(location.FirstDisk);
    }
    // Solid setup data: the location is the block's, and this its member.
    if (member) place["member"] = *member;
    j["location"] = place;
    j["raw"] = {{"file_time", f.FileTime}, {"version_ms", Hex(f.FileVersionMS, 8)},
                {"version_ls", Hex(f.FileVersionLS, 8)}, {"replace_mode", f.ReplaceMode},
                {"file_flags", Hex(f.FileFlags, 2)}, {"version_flags", Hex(f.VersionFlags, 2)}};
    return j;
}

Json Registry(const TRegistryRec& r) {
    Json j;
    j["root"] = NameOr(RegistryRootNames(), r.RootKey);
    j["key"] = r.SubKey;
    j["name"] = r.ValueName;
    j["type"] = NameOr(RegistryTypeNames(), r.ValueType);
    switch (r.ValueType) {
    case rtString:
    case rtExpandString: j["value"] = r.ValueString; break;
    case rtDWord: j["value"] = r.ValueDWord; break;
    case rtBinary: {
        std::string hex;
        for (std::uint8_t b : r.ValueBinary) {
            char buffer[4];
            std::snprintf(buffer, sizeof buffer, "%s%02x", hex.empty() ? "" : " ", b);
            hex += buffer;
        }
        j["value"] = hex;
        break;
    }
    default: break;
    }
    j["keep_existing"] = (r.Flags & rfKeepExistingValue) != 0;
    j["uninstall"] = NameOr(RegistryUninstallNames(), EffectiveRegistryUninstall(r.Flags));
    j["raw"] = {{"root_key", Hex(r.RootKey, 8)}, {"value_type", r.ValueType}, {"flags", Hex(r.Flags, 2)}};
    return j;
}

}  // namespace

Json SetupListing(const LoadedSetup& setup) {
    const SetupData& d = setup.Data;
    Json j;
    Json source;
    source["path"] = PathToUtf8(setup.Where.SetupFile);
    source["data_offset"] = setup.Where.DataOffset;
    source["size"] = setup.EndOffset - setup.Where.DataOffset;
    source["layout"] = setup.Where.Program ? "program" : setup.Where.FileDataOffset != 0 ? "single file" : "data files";
    if (setup.Where.FileDataOffset != 0) source["file_data_offset"] = setup.Where.FileDataOffset;
    if (setup.Where.Program) source["payload_size"] = setup.Where.Program->PayloadSize;
    j["setup_data"] = source;
    j["header"] = Header(d.SetupInfo);
    j["texts"] = {{"license", TextOrNull(d.LicenseText, d.SetupInfo.LicenseTextSize)},
                  {"info_before", TextOrNull(d.InfoBeforeText, d.SetupInfo.InfoBeforeTextSize)},
                  {"info_after", TextOrNull(d.InfoAfterText, d.SetupInfo.InfoAfterTextSize)}};

    Json dirs = Json::array();
    for (const auto& dir : d.DirRecords) {
        Json e;
        e["name"] = dir.DirName;
        AddFlags(e, DirFlagNames(), dir.Flags);
        e["raw"] = {{"flags", Hex(dir.Flags, 2)}};
        dirs.push_back(e);
    }
    j["dir"] = dirs;
    Json files = Json::array();
    for (std::size_t i = 0; i < d.FileRecords.size(); ++i) files.push_back(File(setup.Where, d.FileRecords[i], d.FileLocationRecords[i],
                             i < d.FileMembers.size() ? &d.FileMembers[i] : nullptr));
    j["file"] = files;
    Json icons = Json::array();
    for (const auto& icon : d.IconRecords)
        icons.push_back({{"name", icon.IconPath}, {"program", icon.Filename}, {"parameters", icon.Parameters},
                         {"working_dir", icon.WorkingFolder}, {"icon_file", icon.IconFile},
                         {"icon_index", icon.IconIndex}});
    j["icon"] = icons;
    Json inis = Json::array();
    for (const auto& ini : d.IniRecords)
        inis.push_back({{"file", ini.Filename}, {"section", ini.Section}, {"key", ini.Entry}, {"value", ini.Value},
                        {"uninstall", NameOr(IniUninstallNames(), EffectiveIniUninstall(ini.Flags))},
                        {"raw", {{"flags", Hex(ini.Flags, 2)}}}});
    j["ini"] = inis;
    Json registry = Json::array();
    for (const auto& r : d.RegistryRecords) registry.push_back(Registry(r));
    j["registry"] = registry;
    Json deletes = Json::array();
    for (const auto& u : d.UninstallDeleteRecords) deletes.push_back({{"path", u.Name}});
    j["uninstall_delete"] = deletes;
    Json runs = Json::array();
    for (const auto& run : d.RunRecords)
        runs.push_back({{"program", run.Filename}, {"parameters", run.Parameters},
                        {"no_wait", (run.Flags & rnNoWait) != 0}, {"raw", {{"flags", Hex(run.Flags, 2)}}}});
    j["run"] = runs;
    return j;
}

namespace {

std::string ScalarText(const Json& value) {
    if (value.is_null()) return "-";
    if (value.is_string()) return value.get<std::string>();
    return value.dump();
}

void PrintValue(const std::string& key, const Json& value, int indent, std::ostream& out) {
    const std::string pad(static_cast<std::size_t>(indent) * 2, ' ');
    if (value.is_object()) {
        out << pad << key << ":\n";
        for (const auto& [k, v] : value.items()) PrintValue(k, v, indent + 1, out);
    } else if (value.is_array()) {
        out << pad << key << " (" << value.size() << ")" << (value.empty() ? "" : ":") << "\n";
        for (std::size_t i = 0; i < value.size(); ++i) PrintValue("#" + std::to_string(i + 1), value[i], indent + 1, out);
    } else if (value.is_string() && value.get<std::string>().find('\n') != std::string::npos) {
        // A text of several lines: one output line per text line.
        out << pad << key << ":\n";
        const std::string text = value.get<std::string>();
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out << pad << "  | " << line << "\n";
            start = end + 1;
        }
    } else {
        out << pad << key << ": " << ScalarText(value) << "\n";
    }
}

}  // namespace

void PrintListingText(const Json& listing, std::ostream& out) {
    for (const auto& [key, value] : listing.items()) PrintValue(key, value, 0, out);
}

}  // namespace qv::tool
