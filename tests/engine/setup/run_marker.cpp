// A program for the run-program tests: writes the command line it was
// started with (UTF-8) into the file named by its first parameter.
#include <windows.h>

#include <cstdio>

#include "engine/common/win_text.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 1;
    FILE* f = _wfopen(argv[1], L"wb");
    if (!f) return 2;
    const std::string line = qv::Narrow(GetCommandLineW());
    std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
    return 0;
}
