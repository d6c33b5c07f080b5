// Test helper: prints what the engine reads from this process's command
// line, one item a line (UTF-8): the tail, the count, then GetParam(0) to
// GetParam(count + 1).
#include <windows.h>

#include <string>

#include "engine/common/process_command_line.h"

int main() {
    std::string out = "tail=" + qv::CommandLineTail() + "\n";
    const int count = qv::GetParamCount();
    out += "count=" + std::to_string(count) + "\n";
    for (int i = 0; i <= count + 1; ++i) out += "param" + std::to_string(i) + "=" + qv::GetParam(i) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
    return 0;
}
