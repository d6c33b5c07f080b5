#include "tool/record_names.h"

#include <cctype>
#include <cstdio>

#include "core/setupdata/records.h"

namespace qv::tool {

const NameTable& HeaderOptionNames() {
    static const NameTable names = {
        {"uninstallable", optUninstallable},
        {"own_app_folder", optOwnAppFolder},
        {"no_folder_page", optNoFolderPage},
        {"no_group_page", optNoGroupPage},
        {"allow_no_icons", optAllowNoIcons},
        {"restart_after", optRestartAfter},
        {"plain_background", optPlainBackground},
        {"folder_in_program_files", optFolderInProgFiles},
        {"uninstall_icon_always", optUninstallIconAlways},
        {"replace_uninstall_entries", optReplaceUninstallEntries},
        {"solid_blocks", optSolidBlocks},
    };
    return names;
}

const NameTable& DirFlagNames() {
    static const NameTable names = {{"no_uninstall", dfNoUninstall}, {"remove_at_end", dfRemoveAtEnd}};
    return names;
}

const NameTable& FileFlagNames() {
    static const NameTable names = {
        {"ask_overwrite", ffAskOverwrite}, {"no_uninstall", ffNoUninstall},
        {"restart_replace", ffReplaceAtRestart}, {"delete_at_end", ffDeleteAtEnd},
        {"self_register", ffSelfRegister}, {"shared", ffShared},
        {"readme", ffReadme}, {"uninstall_data", ffUninstallData},
    };
    return names;
}

const NameTable& ReplaceModeNames() {
    static const NameTable names = {{"normal", rmNormal}, {"only-if-missing", rmOnlyIfMissing},
                                    {"always", rmAlways}, {"keep-newer", rmKeepNewer}};
    return names;
}

const NameTable& IniUninstallNames() {
    static const NameTable names = {{"none", 0}, {"delete-key", ifUninstDeleteKey},
                                    {"delete-section", ifUninstDeleteSection}};
    return names;
}

const NameTable& RegistryRootNames() {
    static const NameTable names = {{"HKLM", kHkeyLocalMachine}, {"HKCU", kHkeyCurrentUser},
                                    {"HKCR", kHkeyClassesRoot}, {"HKU", kHkeyUsers},
                                    {"HKCC", kHkeyCurrentConfig}};
    return names;
}

const NameTable& RegistryTypeNames() {
    static const NameTable names = {{"none", rtNone}, {"string", rtString},
                                    {"expand-string", rtExpandString}, {"dword", rtDWord},
                                    {"binary", rtBinary}};
    return names;
}

const NameTable& RegistryUninstallNames() {
    static const NameTable names = {{"none", 0}, {"delete-value", rfUninstDeleteValue},
                                    {"delete-key", rfUninstDeleteKey},
                                    {"empty-default", rfUninstEmptyDefault}};
    return names;
}

const NameTable& SystemColorNames() {
    // The Windows COLOR_ indexes, in index order.
    static const NameTable names = {
        {"scrollbar", 0}, {"desktop", 1}, {"active-caption", 2}, {"inactive-caption", 3},
        {"menu", 4}, {"window", 5}, {"window-frame", 6}, {"menu-text", 7}, {"window-text", 8},
        {"caption-text", 9}, {"active-border", 10}, {"inactive-border", 11}, {"app-workspace", 12},
        {"highlight", 13}, {"highlight-text", 14}, {"button-face", 15}, {"button-shadow", 16},
        {"gray-text", 17}, {"button-text", 18}, {"inactive-caption-text", 19},
        {"button-highlight", 20}, {"3d-dark-shadow", 21}, {"3d-light", 22}, {"info-text", 23},
        {"info-background", 24},
    };
    return names;
}

std::optional<std::uint32_t> ValueOfName(const NameTable& table, const std::string& name) {
    for (const auto& entry : table)
        if (name == entry.Name) return entry.Value;
    return std::nullopt;
}

std::optional<std::string> NameOfValue(const NameTable& table, std::uint32_t value) {
    for (const auto& entry : table)
        if (entry.Value == value) return std::string(entry.Name);
    return std::nullopt;
}

std::vector<std::string> NamesOfBits(const NameTable& table, std::uint32_t bits) {
    std::vector<std::string> names;
    for (const auto& entry : table)
        if (entry.Value != 0 && (bits & entry.Value) == entry.Value) names.emplace_back(entry.Name);
    return names;
}

std::string ListOfNames(const NameTable& table) {
    std::string text;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i > 0) text += i + 1 == table.size() ? " or " : ", ";
        text += '"' + std::string(table[i].Name) + '"';
    }
    return text;
}

std::uint32_t EffectiveIniUninstall(std::uint8_t flags) {
    if (flags & ifUninstDeleteKey) return ifUninstDeleteKey;
    if (flags & ifUninstDeleteSection) return ifUninstDeleteSection;
    return 0;
}

std::uint32_t EffectiveRegistryUninstall(std::uint8_t flags) {
    for (std::uint8_t bit : {rfUninstDeleteValue, rfUninstDeleteKey, rfUninstEmptyDefault})
        if (flags & bit) return bit;
    return 0;
}

namespace {
constexpr std::uint32_t kSystemColorBase = 0x80000000;
}

std::optional<std::int32_t> ParseColor(const std::string& text) {
    if (text.size() == 7 && text[0] == '#') {
        std::uint32_t rgb = 0;
        for (std::size_t i = 1; i < 7; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (!std::isxdigit(c)) return std::nullopt;
            rgb = rgb << 4 | static_cast<std::uint32_t>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
        }
        // COLORREF keeps red in the low byte.
        const std::uint32_t colorRef = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
        return static_cast<std::int32_t>(colorRef);
    }
    if (const auto index = ValueOfName(SystemColorNames(), text))
        return static_cast<std::int32_t>(kSystemColorBase + *index);
    return std::nullopt;
}

std::string ColorText(std::int32_t color) {
    const auto value = static_cast<std::uint32_t>(color);
    if (value & kSystemColorBase) {
        if (const auto name = NameOfValue(SystemColorNames(), value - kSystemColorBase)) return *name;
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "system colour %u", value - kSystemColorBase);
        return buffer;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", value & 0xFF, value >> 8 & 0xFF, value >> 16 & 0xFF);
    return buffer;
}

std::string VersionText(std::uint32_t ms, std::uint32_t ls) {
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
           std::to_string(ls & 0xFFFF);
}

}  // namespace qv::tool
