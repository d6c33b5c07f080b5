// qvsetup's entry: the arguments as UTF-8 (wide on Windows), then the CLI.
#include <iostream>
#include <string>
#include <vector>

#include "tool/cli.h"
#include "tool/platform.h"

#ifdef _WIN32
#include <windows.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

#ifdef _WIN32
// The ANSI argv cannot hold every file name; the wide one (wmain) can.
std::vector<std::string> Arguments(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
        WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), size, nullptr, nullptr);
        arg.resize(arg.size() - 1);
        args.push_back(arg);
    }
    return args;
}
#else
std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}
#endif

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);  // messages and listings are UTF-8
#endif
    std::ios::sync_with_stdio(false);
#ifdef __GLIBC__
    // Whole files of up to 32 MiB come and go by the thousand: kept in the
    // heap instead of mapped and unmapped each time, their pages are not
    // faulted in anew for every file. The threads' budget still bounds them.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
    qv::tool::CatchInterrupts();
    const int status = qv::tool::RunCommandLine(Arguments(argc, argv), std::cout, std::cerr,
                                                qv::tool::StandardErrorIsTerminal());
    std::cout.flush();
    return status;
}
