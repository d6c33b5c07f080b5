#include "tool/manifest_command.h"

#include <nlohmann/json.hpp>
#include <toml++/toml.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

#include "core/crypto/sha256.h"
#include "core/errors.h"
#include "core/setup/deployment_values.h"
#include "tool/exe_payload.h"
#include "tool/platform.h"
#include "tool/setup_reader.h"
#include "tool/tool_errors.h"

namespace qv::tool {

namespace {

constexpr char kManifestVersion[] = "1.10.0";

// A YAML scalar: JSON's double-quoted form is YAML's too.
std::string Yaml(const std::string& text) { return nlohmann::json(text).dump(); }

std::size_t CodePoints(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// A part of a package identifier: up to 32 characters, none of them a
// dot, a space, a control character or one of \ / : * ? " < > |.
bool IsIdCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u != 0x7F && std::string("./\\:*?\"<>|").find(c) == std::string::npos;
}
std::string IdPartOf(const std::string& name) {
    std::string part;
    for (const char c : name)
        if (IsIdCharacter(c)) part += c;
    // Cut after whole characters only.
    std::size_t points = 0, i = 0;
    for (; i < part.size(); ++i)
        if ((static_cast<unsigned char>(part[i]) & 0xC0) != 0x80 && ++points > 32) break;
    return part.substr(0, i);
}
bool IsPackageIdentifier(const std::string& id) {
    if (id.empty() || CodePoints(id) > 128) return false;
    std::vector<std::string> parts(1);
    for (const char c : id) {
        if (c == '.') parts.emplace_back();
        else if (IsIdCharacter(c)) parts.back() += c;
        else return false;
    }
    if (parts.size() < 2 || parts.size() > 8) return false;
    for (const auto& part : parts)
        if (part.empty() || CodePoints(part) > 32) return false;
    return true;
}

// "zh-CN", "en-US", "zh-Hans-CN": a language and sub tags of letters.
bool IsLocale(const std::string& locale) {
    std::size_t start = 0, parts = 0;
    for (;;) {
        const std::size_t end = std::min(locale.find('-', start), locale.size());
        const std::size_t length = end - start;
        if (length < (parts ? 1u : 2u) || length > (parts ? 8u : 3u)) return false;
        for (std::size_t i = start; i < end; ++i)
            if (!((locale[i] >= 'a' && locale[i] <= 'z') || (locale[i] >= 'A' && locale[i] <= 'Z'))) return false;
        ++parts;
        if (end == locale.size()) return locale.size() <= 20;
        start = end + 1;
    }
}

std::string Architecture(std::uint16_t machine) {
    switch (machine) {
    case 0x14C: return "x86";
    case 0x8664: return "x64";
    case 0xAA64: return "arm64";
    case 0x1C4: return "arm";
    }
    char text[80];
    std::snprintf(text, sizeof text, "the program's machine type 0x%04X is none that winget knows", machine);
    throw UsageError(text);
}

// The script's own names, to make sure the program was built from it.
void CheckBuiltFrom(const std::string& script, const TSetupHeaderRec& header, const std::string& program) {
    std::string content;
    toml::table root;
    try {
        FileInStream in(script);
        content.resize(static_cast<std::size_t>(in.Size()));
        in.ReadExact(content.data(), content.size());
        root = toml::parse(std::string_view(content), std::string_view(script));
    } catch (const EInOutError& error) {
        throw UsageError("cannot read the script '" + script + "': " + error.what());
    } catch (const toml::parse_error& error) {
        throw UsageError("cannot read the script '" + script + "': " + std::string(error.description()));
    }
    const std::string name = root["setup"]["app_name"].value_or(std::string());
    const std::string nameVersion = root["setup"]["app_name_version"].value_or(name);
    if (name != header.AppName || nameVersion != header.AppNameVersion)
        throw UsageError("'" + program + "' was not built from '" + script + "': it installs \"" +
                         header.AppNameVersion + "\", the script describes \"" + nameVersion + "\"; build it again");
}

void WriteManifest(const std::string& folder, const std::string& name, const std::string& schema,
                   const std::string& body, std::ostream& out) {
    const fs::path path = PathFromUtf8(folder) / PathFromUtf8(name);
    const std::string text = "# yaml-language-server: $schema=https://aka.ms/winget-manifest." + schema + "." +
                             kManifestVersion + ".schema.json\n\n" + body;
    try {
        FileOutStream file(PathToUtf8(path));
        file.Write(text.data(), text.size());
        file.Close();
    } catch (const EInOutError& error) {
        throw IoFailure("cannot write '" + PathToUtf8(path) + "': " + error.what());
    }
    out << "wrote " << PathToUtf8(path) << "\n";
}

}  // namespace

void RunManifest(const ManifestOptions& options, std::ostream& out) {
    if (options.Url.compare(0, 8, "https://") != 0 && options.Url.compare(0, 7, "http://") != 0)
        throw UsageError("--url must be an http:// or https:// address, not '" + options.Url + "'");
    const SetupLocation where = LocateSetup(options.Program, std::nullopt);
    if (!where.Program) throw UsageError("'" + options.Program + "' is no program built with qvsetup build --exe");
    const LoadedSetup setup = LoadSetup(where);
    CheckProgramPayload(where.SetupFile, *where.Program);
    const TSetupHeaderRec& header = setup.Data.SetupInfo;
    CheckBuiltFrom(options.Script, header, options.Program);

    const auto version = DisplayVersionOf(header.AppName, header.AppNameVersion);
    if (!version)
        throw UsageError("winget needs the program's version: app_name_version must be app_name, a space and a "
                         "version, such as \"" + header.AppName + " 1.0\" (it is \"" + header.AppNameVersion + "\")");
    const std::string appPart = IdPartOf(header.AppName);
    const std::string id = options.Id ? *options.Id : appPart + "." + appPart;
    if (!IsLocale(options.Locale))
        throw UsageError("'" + options.Locale + "' is no locale such as zh-CN or en-US (--locale)");
    if (!IsPackageIdentifier(id))
        throw UsageError("'" + id + "' is no winget package identifier (Publisher.Application: 2 to 8 parts of up "
                         "to 32 characters, without spaces or \\ / : * ? \" < > |): give one with --id");
    const std::string publisher = options.Publisher ? *options.Publisher : id.substr(0, id.find('.'));
    if (CodePoints(publisher) < 2) throw UsageError("winget needs a publisher of 2 characters or more: give --publisher");
    if (CodePoints(options.License) < 3) throw UsageError("winget needs a --license of 3 characters or more");
    const std::string description = options.Description ? *options.Description : header.AppNameVersion;
    if (CodePoints(description) < 3) throw UsageError("winget needs a --description of 3 characters or more");
    const std::string packageName = CodePoints(header.AppName) >= 2 ? header.AppName : header.AppNameVersion;

    std::string sha256;
    std::uint16_t machine = 0;
    try {
        FileInStream in(PathToUtf8(where.SetupFile));
        machine = FindProgramPayload(in).Image.Machine;
        sha256 = HexDigest(Sha256OfStream(in));
    } catch (const EInOutError& error) {
        throw IoFailure("cannot read '" + options.Program + "': " + error.what());
    }

    const std::string head = "PackageIdentifier: " + Yaml(id) + "\nPackageVersion: " + Yaml(*version) + "\n";
    const std::string tail = "ManifestVersion: " + std::string(kManifestVersion) + "\n";
    std::error_code error;
    fs::create_directories(PathFromUtf8(options.OutputFolder), error);
    if (error) throw IoFailure("cannot create the folder '" + options.OutputFolder + "': " + error.message());

    WriteManifest(options.OutputFolder, id + ".yaml", "version",
                  head + "DefaultLocale: " + Yaml(options.Locale) + "\nManifestType: version\n" + tail, out);

    std::ostringstream installer;
    installer << head
              << "InstallerType: exe\n"
                 "Scope: machine\n"
                 "InstallModes:\n  - interactive\n  - silent\n  - silentWithProgress\n"
                 "InstallerSwitches:\n"
                 "  Silent: \"/VERYSILENT /SUPPRESSMSGBOXES\"\n"
                 "  SilentWithProgress: \"/SILENT /SUPPRESSMSGBOXES\"\n"
                 "  InstallLocation: \"/DIR=\\\"<INSTALLPATH>\\\"\"\n"
                 "  Log: \"/LOG=\\\"<LOGPATH>\\\"\"\n"
                 // winget knows none of these codes for an exe of its own accord.
                 "ExpectedReturnCodes:\n"
                 "  - InstallerReturnCode: 1602\n    ReturnResponse: cancelledByUser\n"
                 "  - InstallerReturnCode: 1618\n    ReturnResponse: installInProgress\n"
                 "  - InstallerReturnCode: 3010\n    ReturnResponse: rebootRequiredToFinish\n"
                 "  - InstallerReturnCode: 1641\n    ReturnResponse: rebootInitiated\n"
                 "ElevationRequirement: elevatesSelf\n"
                 "AppsAndFeaturesEntries:\n"
              << "  - DisplayName: " << Yaml(header.AppNameVersion) << "\n"
              << "    DisplayVersion: " << Yaml(*version) << "\n"
              << "    ProductCode: " << Yaml(UninstallKeyNameOf(header.AppNameVersion, 1)) << "\n"
              << "Installers:\n"
              << "  - Architecture: " << Architecture(machine) << "\n"
              << "    InstallerUrl: " << Yaml(options.Url) << "\n"
              << "    InstallerSha256: " << Yaml(sha256) << "\n"
              << "ManifestType: installer\n"
              << tail;
    WriteManifest(options.OutputFolder, id + ".installer.yaml", "installer", installer.str(), out);

    WriteManifest(options.OutputFolder, id + ".locale." + options.Locale + ".yaml", "defaultLocale",
                  head + "PackageLocale: " + Yaml(options.Locale) + "\nPublisher: " + Yaml(publisher) +
                      "\nPackageName: " + Yaml(packageName) + "\nLicense: " + Yaml(options.License) +
                      "\nShortDescription: " + Yaml(description) + "\nManifestType: defaultLocale\n" + tail,
                  out);
}

}  // namespace qv::tool
