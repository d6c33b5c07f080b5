// The names by which scripts and listings call the bits and values of the
// setup data. One table per set, shared by the script reader and `list`, so
// that what `list --json` prints can be written back into a script.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::tool {

struct NamedValue {
    const char* Name;
    std::uint32_t Value;
};
using NameTable = std::vector<NamedValue>;

const NameTable& HeaderOptionNames();     // TSetupHeaderRec.Options bits
const NameTable& DirFlagNames();          // TDirRec.Flags bits
const NameTable& FileFlagNames();         // TFileRec.FileFlags bits
const NameTable& ReplaceModeNames();      // TFileRec.ReplaceMode values
const NameTable& IniUninstallNames();     // TIniRec.Flags, as one choice
const NameTable& RegistryRootNames();     // TRegistryRec.RootKey values
const NameTable& RegistryTypeNames();     // TRegistryRec.ValueType values
const NameTable& RegistryUninstallNames();// TRegistryRec.Flags uninstall bits, as one choice
const NameTable& SystemColorNames();      // COLOR_ indexes for BackgroundColor

std::optional<std::uint32_t> ValueOfName(const NameTable& table, const std::string& name);
// The name of a value, or nullopt for a value no name stands for.
std::optional<std::string> NameOfValue(const NameTable& table, std::uint32_t value);
// Names of the bits set in `bits`, in table order.
std::vector<std::string> NamesOfBits(const NameTable& table, std::uint32_t bits);
// "a", "b" or "c": the names for a message.
std::string ListOfNames(const NameTable& table);

// The uninstall choice in effect for TIniRec.Flags (delete-key wins) and for
// TRegistryRec.Flags (first set of delete-value, delete-key, empty-default).
std::uint32_t EffectiveIniUninstall(std::uint8_t flags);
std::uint32_t EffectiveRegistryUninstall(std::uint8_t flags);

// BackgroundColor: "#RRGGBB" for a COLORREF 0x00BBGGRR, or a system colour's
// name for 0x80000000 + its index. nullopt for a text that is neither.
std::optional<std::int32_t> ParseColor(const std::string& text);
std::string ColorText(std::int32_t color);

// A file version as the script writes it: "a.b.c.d" from TFileRec's
// FileVersionMS and FileVersionLS.
std::string VersionText(std::uint32_t ms, std::uint32_t ls);

}  // namespace qv::tool
