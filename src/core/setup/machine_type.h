// The two machine types of the engine. Each installs applications of its
// own type: the i686 Setup.exe 32-bit ones (in the 32-bit view of 64-bit
// Windows), the x86-64 Setup.exe 64-bit ones, natively. Each has an
// uninstaller of its own type under its own name in the Windows folder, so
// that a 32-bit and a 64-bit installation never share one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv {

enum class TMachineType : std::uint8_t { X86, X64 };

// The PE header's machine field of each type.
inline constexpr std::uint16_t kPeMachineI386 = 0x14C;
inline constexpr std::uint16_t kPeMachineAmd64 = 0x8664;

// nullopt for a machine type that the engine is not built for.
std::optional<TMachineType> MachineTypeOfPe(std::uint16_t machine);
// "x86" and "x64", as scripts and deployment tools write them.
std::optional<TMachineType> MachineTypeNamed(const std::string& name);
const char* MachineTypeName(TMachineType type);
// "32 位" and "64 位", as users read them.
const char* MachineTypeWords(TMachineType type);

// "UNISTB32.EXE" and "UNISTB64.EXE".
const char* UninstallerFileName(TMachineType type);

}  // namespace qv
