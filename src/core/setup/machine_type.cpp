#include "core/setup/machine_type.h"

namespace qv {

std::optional<TMachineType> MachineTypeOfPe(std::uint16_t machine) {
    if (machine == kPeMachineI386) return TMachineType::X86;
    if (machine == kPeMachineAmd64) return TMachineType::X64;
    return std::nullopt;
}

std::optional<TMachineType> MachineTypeNamed(const std::string& name) {
    if (name == "x86") return TMachineType::X86;
    if (name == "x64") return TMachineType::X64;
    return std::nullopt;
}

const char* MachineTypeName(TMachineType type) { return type == TMachineType::X64 ? "x64" : "x86"; }

const char* MachineTypeWords(TMachineType type) { return type == TMachineType::X64 ? "64 位" : "32 位"; }

const char* UninstallerFileName(TMachineType type) {
    return type == TMachineType::X64 ? "UNISTB64.EXE" : "UNISTB32.EXE";
}

}  // namespace qv
