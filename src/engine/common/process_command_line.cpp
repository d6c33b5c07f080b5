#include "engine/common/process_command_line.h"

#include <windows.h>

#include "core/text/command_line.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {
std::vector<std::string> TailParams() { return SplitParams(CommandLineTail()); }

std::string ModuleFileName() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        // A full buffer may hold a cut path: ask again with more room.
        if (n < buffer.size()) return Narrow(buffer.data(), n);
        buffer.assign(buffer.size() * 2, L'\0');
    }
}
}  // namespace

std::string CommandLineTail() { return CommandLineTail(Narrow(GetCommandLineW())); }

int GetParamCount() { return static_cast<int>(TailParams().size()); }

std::string GetParam(int index) {
    if (index == 0) return ModuleFileName();
    const std::vector<std::string> params = TailParams();
    if (index < 0 || static_cast<std::size_t>(index) > params.size()) return {};
    return params[static_cast<std::size_t>(index) - 1];
}

std::vector<std::string> GetParams() {
    std::vector<std::string> params = TailParams();
    params.insert(params.begin(), ModuleFileName());
    return params;
}

}  // namespace qv
